// The print formats of one list form: the list dialog "打印格式自定义" (add, edit, delete, design
// and rights) and the module state the list forms hand it.
#pragma once

#include "framework/UBase.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QPushButton;
class TClientDataSet;
class TDataSetProvider;
class TDataSource;
class TDBGridEh;
class TField;
class TQorAdoQry;
class TfrmPrintFmtSet;
class TfrmPrintRight;

namespace Ui {
class TfrmPrintFmt;
}

// FormKey of the list form whose formats are being maintained: the PrnCode of every statement.
extern QString CurPrnCode;
// The data of that list form, handed to the print service when a layout is designed.
extern QPointer<TClientDataSet> CurPrnDataSet;

class TfrmPrintFmt;
// The single format list, null when none is open.
TfrmPrintFmt* PrintFmtDialog();

// Designs the layout of the list's current format through the host print service (mode 0).
void DesignPrnFormat();

// What a list form's "打印格式设置(&D)..." does: makes the single list dialog (owned by the list
// form) when there is none, sets CurPrnCode and CurPrnDataSet, binds the design button to
// DesignPrnFormat and shows the list modally.
void ShowPrintFmtList(QWidget* listForm, const QString& formKey, TClientDataSet* data);

class TfrmPrintFmt : public TfrmBase {
    Q_OBJECT
public:
    explicit TfrmPrintFmt(QWidget* parent = nullptr);
    ~TfrmPrintFmt() override;

    // --- components (object names as the form's) ---------------------------------------------
    TDBGridEh* dgrdHead;
    TClientDataSet* QryPrnFormat; // SerialNo, PrnName, Remark of the form's formats
    TDataSource* dsPrnFormat;
    QPushButton *btnAdd, *btnEdit, *btnDelete, *btnClose, *bbtnPrnFmtDesign, *bbtnRight;

    // The edit and rights dialogs, made on first use and cleared when they close.
    QPointer<TfrmPrintFmtSet> frmPrintFmtSet;
    QPointer<TfrmPrintRight> frmPrintRight;

    // The click of bbtnPrnFmtDesign, bound by the opener (runs inside the guard).
    std::function<void()> OnDesignClick;

    // SerialNo of the current row; -1 when the list is empty.
    int CurrentSerialNo() const;
    // Closes and reopens QryPrnFormat with the form's formats of the current edition.
    void OpenList();

    // --- handlers ------------------------------------------------------------------------------
    void FormCreate(QObject* sender) override;
    void FormShow(QObject* sender) override;
    void FormClose(QObject* sender, TCloseAction& action) override;
    void actAddExecute(QObject* sender) override;
    void actEditExecute(QObject* sender) override;
    void actDeleteExecute(QObject* sender) override;
    void bbtnPrnFmtDesignClick(QObject* sender);
    void bbtnRightClick(QObject* sender);
    void dsPrnFormatDataChange(TDataSource* sender, TField* field);

private:
    TfrmPrintFmtSet* editDialog();

    std::unique_ptr<Ui::TfrmPrintFmt> ui;
    std::unique_ptr<TQorAdoQry> m_query;
    TDataSetProvider* m_provider;
};
