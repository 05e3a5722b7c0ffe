#include "print/PrintFmt.h"

#include "ui_PrintFmt.h"

#include "framework/GridBridge.h"
#include "framework/PrintFmtRules.h"
#include "framework/SharedUtils.h"
#include "host/include/PubProcDll.h"
#include "module/Guarded.h"
#include "module/MISPub.h"
#include "module/ModuleState.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Prompter.h"
#include "print/ActionButton.h"
#include "print/PrintFmtSet.h"
#include "print/PrintRight.h"

#include <QPushButton>

using namespace Qt::StringLiterals;

QString CurPrnCode;
QPointer<TClientDataSet> CurPrnDataSet;

namespace {
QPointer<TfrmPrintFmt>& listDialog()
{
    static QPointer<TfrmPrintFmt> d;
    return d;
}

QString rightTrimmed(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) --n;
    s.truncate(n);
    return s;
}
} // namespace

TfrmPrintFmt* PrintFmtDialog() { return listDialog().data(); }

void DesignPrnFormat()
{
    TfrmPrintFmt* list = PrintFmtDialog();
    if (!list) return;
    const int serial = list->CurrentSerialNo();
    if (serial < 0) return;
    PrintFormat(GetSharedConnection(), 0, ModuleState::PrintSetting, CurPrnCode, serial, CurPrnDataSet.data());
}

void ShowPrintFmtList(QWidget* listForm, const QString& formKey, TClientDataSet* data)
{
    if (!listDialog()) listDialog() = TfrmBase::create<TfrmPrintFmt>(listForm);
    CurPrnCode = formKey;
    CurPrnDataSet = data;
    TfrmPrintFmt* dlg = listDialog();
    dlg->OnDesignClick = [] { DesignPrnFormat(); };
    runModal(dlg);
}

// --- the form ------------------------------------------------------------------------------------

TfrmPrintFmt::TfrmPrintFmt(QWidget* parent) : TfrmBase(parent), ui(new Ui::TfrmPrintFmt)
{
    ui->setupUi(this);
    setObjectName(u"frmPrintFmt"_s);
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(466, 227);

    dgrdHead = ui->dgrdHead;
    btnAdd = ui->btnAdd;
    btnEdit = ui->btnEdit;
    btnDelete = ui->btnDelete;
    btnClose = ui->btnClose;
    bbtnPrnFmtDesign = ui->bbtnPrnFmtDesign;
    bbtnRight = ui->bbtnRight;

    QryPrnFormat = new TClientDataSet(this);
    QryPrnFormat->setObjectName(u"QryPrnFormat"_s);
    dsPrnFormat = new TDataSource(this);
    dsPrnFormat->setObjectName(u"dsPrnFormat"_s);
    m_provider = new TDataSetProvider(this);
    m_provider->setObjectName(u"dspPrnFormat"_s);
    m_query = std::make_unique<TQorAdoQry>();
    m_provider->setDataSet(m_query.get());
    QryPrnFormat->setProvider(m_provider);

    bindButtonToAction(btnAdd, actAdd);
    bindButtonToAction(btnEdit, actEdit);
    bindButtonToAction(btnDelete, actDelete);
    bindButtonToAction(btnClose, actClose);
    connect(bbtnPrnFmtDesign, &QPushButton::clicked, this,
            guarded([this] { bbtnPrnFmtDesignClick(bbtnPrnFmtDesign); }, this));
    connect(bbtnRight, &QPushButton::clicked, this, guarded([this] { bbtnRightClick(bbtnRight); }, this));
}

TfrmPrintFmt::~TfrmPrintFmt() = default;

void TfrmPrintFmt::FormCreate(QObject* sender)
{
    TfrmBase::FormCreate(sender);
    QryPrnFormat->addField(u"SerialNo"_s, ftInteger)->setDisplayLabel(u"序列号"_s);
    QryPrnFormat->addField(u"PrnName"_s, ftString, 40)->setDisplayLabel(u"打印名称"_s);
    QryPrnFormat->addField(u"Remark"_s, ftString, 40)->setDisplayLabel(u"备注"_s);
    dsPrnFormat->setDataSet(QryPrnFormat);
    dsPrnFormat->setOnDataChange([this](TDataSource* s, TField* f) { dsPrnFormatDataChange(s, f); });

    dgrdHead->setDataSource(dsPrnFormat);
    dgrdHead->setReadOnly(true);
    dgrdHead->setTitleLines(2);
    const struct {
        const char16_t* field;
        int width;
    } cols[] = {{u"SerialNo", 41}, {u"PrnName", 150}, {u"Remark", 140}};
    for (const auto& c : cols) {
        TColumnEh* col = dgrdHead->Columns()->Add();
        col->setFieldName(QString::fromUtf16(c.field));
        col->setWidth(c.width);
    }
}

int TfrmPrintFmt::CurrentSerialNo() const
{
    if (!QryPrnFormat->Active() || QryPrnFormat->IsEmpty()) return -1;
    return int(QryPrnFormat->FieldByName(u"SerialNo"_s)->AsInteger());
}

void TfrmPrintFmt::OpenList()
{
    QryPrnFormat->Close();
    m_query->setConnection(GetSharedConnection());
    m_query->SQL.clear();
    m_query->Parameters.Clear();
    // The form key is bound, not pasted between quotes: a key is host text.
    m_query->SQL << u"select SerialNo,PrnName,Remark"_s << u"from tXtPrnFormat "_s << u"where PrnCode=:PrnCode "_s;
    AppendPrnEditionFilter(m_query->SQL, CurVER());
    m_query->Parameters.ParamByName(u"PrnCode"_s).Value = QVariant(CurPrnCode.isNull() ? u""_s : CurPrnCode);
    FixParamSizes(*m_query);
    QryPrnFormat->Open();
    // An empty result signals no move: the buttons follow the data here as well.
    dsPrnFormatDataChange(dsPrnFormat, nullptr);
}

void TfrmPrintFmt::FormShow(QObject* sender)
{
    TfrmBase::FormShow(sender);
    actAdd->setEnabled(true);
    actEdit->setEnabled(true);
    actDelete->setEnabled(true);
    OpenList();
    dgrdHead->setFixedColor(colorFromTColor(UGridColor()));
}

void TfrmPrintFmt::dsPrnFormatDataChange(TDataSource*, TField*)
{
    const bool any = QryPrnFormat->Active() && QryPrnFormat->RecordCount() >= 1;
    actEdit->setEnabled(any);
    actDelete->setEnabled(any);
    bbtnPrnFmtDesign->setEnabled(any);
    bbtnRight->setEnabled(any);
}

TfrmPrintFmtSet* TfrmPrintFmt::editDialog()
{
    if (!frmPrintFmtSet) frmPrintFmtSet = TfrmBase::create<TfrmPrintFmtSet>(this);
    return frmPrintFmtSet;
}

void TfrmPrintFmt::actAddExecute(QObject*)
{
    TfrmPrintFmtSet* dlg = editDialog();
    dlg->AddMode = true;
    runModal(dlg);
    OpenList();
}

void TfrmPrintFmt::actEditExecute(QObject*)
{
    if (CurrentSerialNo() < 0) return;
    TfrmPrintFmtSet* dlg = editDialog();
    dlg->AddMode = false;
    dlg->setCurrentRow(CurrentSerialNo(), rightTrimmed(QryPrnFormat->FieldByName(u"PrnName"_s)->AsString()),
                       rightTrimmed(QryPrnFormat->FieldByName(u"Remark"_s)->AsString()));
    runModal(dlg);
    OpenList();
}

void TfrmPrintFmt::actDeleteExecute(QObject*)
{
    const int serial = CurrentSerialNo();
    if (serial < 0) return;
    if (!AskYesNoDefaultNo(u"确认删除当前打印格式吗？"_s)) return;
    DeletePrnFormat(GetSharedConnection(), CurPrnCode, serial);
    OpenList();
}

void TfrmPrintFmt::bbtnPrnFmtDesignClick(QObject*)
{
    if (OnDesignClick) OnDesignClick();
}

void TfrmPrintFmt::bbtnRightClick(QObject*)
{
    if (!frmPrintRight) frmPrintRight = TfrmBase::create<TfrmPrintRight>(this);
    runModal(frmPrintRight);
}

void TfrmPrintFmt::FormClose(QObject* sender, TCloseAction& action)
{
    TfrmBase::FormClose(sender, action);
    action = caFree;
    if (listDialog() == this) listDialog() = nullptr;
}
