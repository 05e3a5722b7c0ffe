// The format designer of the print service: page set-up, title, header and footer lines with
// variables, the columns to print (order, caption, width, alignment, display format, footer
// sum/count/average), grouping by one field with a subtotal per group, and a preview of the
// chosen page that is drawn again after every change. Save stores the layout for its key.
#pragma once

#include "host/commPrint/PrnLayout.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QTimer>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class TADOConnection;
class TClientDataSet;

namespace commprint {

// Shows a drawn page scaled into the widget, keeping its proportions.
class PrnPreviewPane : public QWidget {
    Q_OBJECT
public:
    explicit PrnPreviewPane(QWidget* parent = nullptr);
    void setPage(const QImage& page);
    const QImage& page() const { return m_page; }
    QSize sizeHint() const override { return {300, 420}; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage m_page;
};

class TfrmPrnDesigner : public QDialog {
    Q_OBJECT
public:
    // Table columns of tblColumns.
    enum { ColField, ColCaption, ColWidth, ColAlign, ColFormat, ColFooter, ColCount };

    TfrmPrnDesigner(TADOConnection& conn, const PrnLayoutKey& key, TClientDataSet* ds, QWidget* parent = nullptr);
    ~TfrmPrnDesigner() override;

    // --- controls ------------------------------------------------------------------------------
    QComboBox *cmbPageSize, *cmbOrientation;
    QDoubleSpinBox *spnMarginLeft, *spnMarginTop, *spnMarginRight, *spnMarginBottom;
    QSpinBox* spnFontSize;
    QLineEdit* edtTitle;
    QPlainTextEdit *mmoHeader, *mmoFooter;
    QComboBox* cmbVariable;
    QPushButton* btnInsertVariable;
    QTableWidget* tblColumns;
    QPushButton *btnUp, *btnDown;
    QComboBox* cmbGroupField;
    QCheckBox* chkGroupSubtotal;
    PrnPreviewPane* pnlPreview;
    QSpinBox* spnPreviewPage;
    QLabel* lblPages;
    QPushButton *btnSave, *btnPreview, *btnCancel;

    // The layout the controls describe (only the ticked columns, in table order).
    PrnLayout currentLayout() const;
    // Shows a layout in the controls: its columns ticked in their order, then the dataset's
    // other fields unticked.
    void showLayout(const PrnLayout& l);

    // Table rows: the cell widgets of a row (null outside the table).
    QDoubleSpinBox* widthBox(int row) const;
    QComboBox* alignBox(int row) const;
    QComboBox* footerBox(int row) const;
    // The row of a field, -1 when there is none.
    int rowOfField(const QString& field) const;
    // Moves the current row up (-1) or down (+1).
    void moveCurrentRow(int step);

    // Draws the preview now; the controls schedule it (zero-delay timer) after every change.
    void refreshPreview();
    bool previewScheduled() const { return m_previewTimer.isActive(); }
    int previewPages() const { return m_pages; }

    // Stores the layout for the key and closes.
    void btnSaveClick();
    // The whole report in the print preview dialog, with the layout as it stands.
    void btnPreviewClick();
    void btnInsertVariableClick();

private:
    struct Row {
        bool print = false;
        PrnColumn column;
    };
    void buildControls();
    void fillTable();
    void readRowFromTable(int row);
    void schedulePreview();
    void connectChange(QObject* sender);

    TADOConnection& m_conn;
    PrnLayoutKey m_key;
    QPointer<TClientDataSet> m_ds;
    QList<Row> m_rows;
    QTimer m_previewTimer;
    int m_pages = 0;
    bool m_filling = false;
    QPointer<QWidget> m_variableTarget;
};

// Opens the designer modally for the key over the dataset's fields, starting from the stored
// layout or the dataset's plain one.
void ShowPrnDesigner(TADOConnection& conn, const PrnLayoutKey& key, TClientDataSet* ds, QWidget* parent);

} // namespace commprint
