#include "print/PrintFmtSet.h"

#include "ui_PrintFmtSet.h"

#include "framework/PrintFmtRules.h"
#include "framework/SharedUtils.h"
#include "host/include/PubProcDll.h"
#include "module/MISPub.h"
#include "platform/text/Gbk.h"
#include "print/ActionButton.h"
#include "print/PrintFmt.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

using namespace Qt::StringLiterals;

TfrmPrintFmtSet::TfrmPrintFmtSet(QWidget* parent) : TfrmBase(parent), ui(new Ui::TfrmPrintFmtSet)
{
    ui->setupUi(this);
    setObjectName(u"frmPrintFmtSet"_s);
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(437, 130);

    GroupBox1 = ui->GroupBox1;
    edtSerialNo = ui->edtSerialNo;
    edtPrnName = ui->edtPrnName;
    edtRemark = ui->edtRemark;
    btnSave = ui->btnSave;
    btnCancel = ui->btnCancel;
    btnClose = ui->btnClose;

    // Digits only, also when pasted, and no more than an integer column holds.
    edtSerialNo->setValidator(new QRegularExpressionValidator(
        QRegularExpression(u"[0-9]{0,%1}"_s.arg(PrnSerialMaxDigits)), edtSerialNo));
    // The table's widths are GBK bytes.
    edtPrnName->setValidator(new GbkLengthValidator(PrnNameMaxBytes, edtPrnName));
    edtRemark->setValidator(new GbkLengthValidator(PrnRemarkMaxBytes, edtRemark));

    bindButtonToAction(btnSave, actSave);
    bindButtonToAction(btnCancel, actCancel);
    bindButtonToAction(btnClose, actClose);
}

TfrmPrintFmtSet::~TfrmPrintFmtSet() = default;

void TfrmPrintFmtSet::setCurrentRow(int serialNo, const QString& prnName, const QString& remark)
{
    CurSerialNo = serialNo;
    CurPrnName = prnName;
    CurRemark = remark;
    showCurrentRow();
}

void TfrmPrintFmtSet::showCurrentRow()
{
    edtSerialNo->setText(QString::number(CurSerialNo));
    edtPrnName->setText(CurPrnName);
    edtRemark->setText(CurRemark);
}

void TfrmPrintFmtSet::clearEdits()
{
    edtSerialNo->clear();
    edtPrnName->clear();
    edtRemark->clear();
}

void TfrmPrintFmtSet::FormShow(QObject* sender)
{
    TfrmBase::FormShow(sender);
    actSave->setEnabled(true);
    actCancel->setEnabled(true);
}

void TfrmPrintFmtSet::actSaveExecute(QObject* sender)
{
    TfrmBase::actSaveExecute(sender);
    PrnFmtSave s;
    s.prnCode = CurPrnCode;
    s.adding = AddMode;
    s.currentSerial = CurSerialNo;
    s.serialText = edtSerialNo->text();
    s.name = edtPrnName->text();
    s.remark = edtRemark->text();
    s.ver = CurVER();
    s.userCode = CurUserCode();
    const PrnFmtProblem problem = SavePrnFormat(GetSharedConnection(), s);
    switch (problem) {
    case PrnFmtProblem::None: break;
    case PrnFmtProblem::SerialMissing:
    case PrnFmtProblem::DuplicateSerial:
        ShowWarningMsg(PrnFmtProblemText(problem));
        FocusControl(edtSerialNo);
        return;
    case PrnFmtProblem::NameMissing:
    case PrnFmtProblem::NameHasSemicolon:
    case PrnFmtProblem::NameTooLong:
        ShowWarningMsg(PrnFmtProblemText(problem));
        FocusControl(edtPrnName);
        return;
    case PrnFmtProblem::RemarkTooLong:
        ShowWarningMsg(PrnFmtProblemText(problem));
        FocusControl(edtRemark);
        return;
    case PrnFmtProblem::FormatMissing:
        // Deleted at another station meanwhile: nothing was written.
        ShowErrorMsg(PrnFmtProblemText(problem));
        return;
    }

    clearEdits();
    if (AddMode) {
        FocusControl(edtSerialNo);
    } else {
        close();
    }
}

void TfrmPrintFmtSet::actCancelExecute(QObject* sender)
{
    TfrmBase::actCancelExecute(sender);
    if (AddMode)
        clearEdits();
    else
        showCurrentRow();
    if (edtSerialNo->isEnabled() && edtSerialNo->isVisible()) FocusControl(edtSerialNo);
}

void TfrmPrintFmtSet::FormClose(QObject* sender, TCloseAction& action)
{
    TfrmBase::FormClose(sender, action);
    action = caFree;
    if (auto* list = qobject_cast<TfrmPrintFmt*>(parent()); list && list->frmPrintFmtSet == this)
        list->frmPrintFmtSet = nullptr;
}
