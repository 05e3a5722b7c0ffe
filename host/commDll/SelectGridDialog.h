// Record picking: the rows of "select <fields> from <table-and-condition>" in a grid with an
// incremental search box; Enter or a double click chooses the current row.
#pragma once

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;
class TADOConnection;

class TfrmSelectGrid : public QDialog {
    Q_OBJECT
public:
    TfrmSelectGrid(const QStringList& titles, unsigned gridColor, QWidget* parent = nullptr);

    // Runs the picking statement and fills the grid (identical rows once). Raises DbError.
    void loadRows(TADOConnection& conn, const QString& tableAndCondition, const QStringList& fields);
    // The texts of the chosen row after OK.
    QStringList chosenRow() const { return m_chosen; }
    // Rows shown (after the search).
    int visibleRowCount() const;
    // Chooses the current row (the first row shown when none is current); false when no row
    // is shown.
    bool chooseCurrent();

    QLineEdit* edtSearch;
    QTableView* grdRows;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void searchChanged(const QString& text);
    QStandardItemModel* m_model;
    QSortFilterProxyModel* m_proxy;
    QStringList m_chosen;
};

// The chosen row's first `take` fields joined by "+" ("" when nothing was chosen).
QString RunSelectGrid(TADOConnection* conn, const QString& tableAndCondition, const QString& fieldList,
                      const QString& titleList, unsigned gridColor, int take);
