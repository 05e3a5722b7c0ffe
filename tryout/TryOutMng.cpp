#include "tryout/TryOutMng.h"

#include "browse/BrowseKit.h"
#include "chart/Graph.h"
#include "calc/SetCalcFld.h"
#include "framework/GridBridge.h"
#include "framework/SharedUtils.h"
#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "module/MISPub.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "platform/grid/GridServices.h"
#include "platform/ui/Guard.h"
#include "print/PrintFmt.h"
#include "query/PubQuery.h"
#include "tryout/TryOutLr.h"

#include "ui_TryOutMng.h"

#include <QAction>
#include <QLabel>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>
#include <string_view>

using namespace Qt::StringLiterals;

namespace {

const QString All = u"<全部>"_s;
const QString Satisfied = u"0-满意"_s;
const QString NotSatisfied = u"1-不满意"_s;

struct FieldDef {
    const char* name;
    const char* title; // empty: set at show (the clerk caption)
    int size;
};

// The fields of the list in grid column order.
const FieldDef GridFields[] = {
    {"BookDate", "试用|日期", 10},   {"BookTime", "试用|时间", 8},   {"PluCode", "试用品|编码", 20},
    {"PluName", "试用品|名称", 20},  {"BarCode", "试用品|条码", 20}, {"Spec", "试用品|规格", 10},
    {"ResultD", "试用结果", 10},     {"Remark", "评价", 100},        {"ZdrCode", "", 6},
    {"ZdrName", "", 10},             {"UserCode", "操作员|编码", 6}, {"UserName", "操作员|姓名", 10},
    {"OrgCode", "组织|编码", 6},     {"OrgName", "组织|名称", 10},
};

} // namespace

TfrmTryOutMng::TfrmTryOutMng(QWidget* parent)
    : TfrmBaseB(parent), qryAdoHead(std::make_unique<TQorAdoQry>()), ui(std::make_unique<Ui::TfrmTryOutMng>())
{
    setObjectName(u"frmTryOutMng"_s);
    setWindowTitle(u"试用品试用"_s);

    auto* client = new QWidget(this);
    ui->setupUi(client);
    formLayout()->addWidget(client, 1);
    dgrdHead = ui->dgrdHead;
    pnlRecordcount = ui->pnlRecordcount;

    tbtnNone5 = addToolSeparator(ToolBar1, "tbtnNone5");
    tbtnRefresh = addToolButton(ToolBar1, "tbtnRefresh", actRefresh, u"刷新"_s);

    // The data chain.
    dspHead = new TDataSetProvider(this);
    dspHead->setObjectName(u"dspHead"_s);
    dspHead->setDataSet(qryAdoHead.get());
    qryHead = new TClientDataSet(this);
    qryHead->setObjectName(u"qryHead"_s);
    qryHead->setProvider(dspHead);
    for (const FieldDef& d : GridFields) {
        TField* f = qryHead->addField(QString::fromLatin1(d.name), ftString, d.size);
        if (qstrcmp(d.name, "ResultD") == 0) {
            f->setFieldKind(fkCalculated);
            m_resultD = f;
        }
        if (qstrcmp(d.name, "Remark") == 0) f->setDisplayWidth(30);
        if (*d.title) f->setDisplayLabel(QString::fromUtf8(d.title));
    }
    m_result = qryHead->addField(u"Result"_s, ftString, 1);
    m_result->setDisplayLabel(u"试用结果"_s);
    qryHead->setOnCalcFields([this](TClientDataSet* ds) { qryHeadCalcFields(ds); });
    dsHead = new TDataSource(this);
    dsHead->setObjectName(u"dsHead"_s);
    dsHead->setDataSet(qryHead);
    dsHead->setOnDataChange([this](TDataSource* s, TField* f) { dsHeadDataChange(s, f); });

    dgrdHead->setDataSource(dsHead);
    for (const FieldDef& d : GridFields) {
        TColumnEh* c = dgrdHead->Columns()->Add();
        c->setFieldName(QString::fromLatin1(d.name));
        if (*d.title) c->Title()->setCaption(QString::fromUtf8(d.title));
        if (qstrcmp(d.name, "ResultD") == 0) c->setWidth(68);
    }
    dgrdHead->setReadOnly(true);
    dgrdHead->setUseMultiTitle(true);
    dgrdHead->setFooterRowCount(1);
    dgrdHead->setShowHint(true);
    dgrdHead->setOnDblClick([this](TDBGridEh* g) { dgrdHeadDblClick(g); });
    usePopupMenu(dgrdHead);
    RecordActionSource = dsHead;
}

TfrmTryOutMng::~TfrmTryOutMng()
{
    // The grid and the dataset go before the query they read from.
    delete dgrdHead;
    delete qryHead;
}

// --- create, show, close --------------------------------------------------------------------

void TfrmTryOutMng::FormCreate(QObject* sender)
{
    FormKey = u"TryOut"_s;
    EnableTitleSort(dgrdHead);
    TfrmBaseB::FormCreate(sender);
}

void TfrmTryOutMng::FormShow(QObject* sender)
{
    std::exception_ptr baseError;
    try {
        TfrmBaseB::FormShow(sender);
    } catch (...) {
        baseError = std::current_exception();
    }
    // The close notifier was handed over at creation: a form shown again keeps its own.
    const QColor gridColor = colorFromTColor(quint32(UGridColor()));
    dgrdHead->setFixedColor(gridColor);
    dgrdHead->setFooterColor(gridColor);
    actSave->setVisible(false);
    actCancel->setVisible(false);
    qryAdoHead->setConnection(GetSharedConnection());
    const QString clerk = UClerkCaption();
    dgrdHead->Columns()->FindColumnByName(u"ZdrCode"_s)->Title()->setCaption(clerk + u"|编码"_s);
    dgrdHead->Columns()->FindColumnByName(u"ZdrName"_s)->Title()->setCaption(clerk + u"|名称"_s);
    UpdateActionStates();
    if (baseError) std::rethrow_exception(baseError);
}

void TfrmTryOutMng::FormClose(QObject* sender, TCloseAction& action)
{
    TfrmBaseB::FormClose(sender, action);
    action = caFree;
    // Exactly once, with the form's own notifier: another list opened later has its own.
    if (!m_notified) {
        m_notified = true;
        const CloseNotifier notify = m_notifier;
        m_notifier = nullptr;
        ModuleState::releaseSlot(ModuleState::registerList(), this);
        if (notify) notify(Tag);
    }
}

// --- action states --------------------------------------------------------------------------

void TfrmTryOutMng::UpdateActionStates()
{
    const bool open = qryHead->Active();
    int count = 0;
    try {
        count = qryHead->RecordCount();
    } catch (...) {
        count = 0;
    }
    const bool hasRows = open && count > 0;
    actAdd->setEnabled(RightAdd);
    actEdit->setEnabled(hasRows && RightEdit);
    actDelete->setEnabled(hasRows && RightDelete);
    actQuery->setEnabled(RightQuery);
    actRefresh->setEnabled(RightQuery);
    actColumn->setEnabled(true);
    actFilt->setEnabled(true);
    ActSetCalc->setEnabled(true);

    pnlRecordcount->setText(u"记录数："_s + QString::number(count));
    UpdateRecordActions(dsHead);
    actPrnFmtDesign->setEnabled(actPrnFmtDesign->isVisible() && open && RightPrnFmt);
    actPreview->setEnabled(hasRows && RightPrint);
    actPrint->setEnabled(hasRows && RightPrint);
    actFind->setEnabled(hasRows);
    actGraph->setEnabled(hasRows);
    actConvertToExcel->setEnabled(hasRows && RightExport);
    actConvertToText->setEnabled(hasRows && RightExport);
    actConvertToHtml->setEnabled(hasRows && RightExport);
}

void TfrmTryOutMng::dsHeadDataChange(TDataSource*, TField*) { UpdateActionStates(); }

void TfrmTryOutMng::qryHeadCalcFields(TClientDataSet*)
{
    static const std::string satisfied = Satisfied.toStdString();
    static const std::string notSatisfied = NotSatisfied.toStdString();
    // Also an empty or any other value reads as not satisfied.
    m_resultD->setUtf8(m_result->asUtf8() == std::string_view("0") ? satisfied : notSatisfied);
}

// --- loading --------------------------------------------------------------------------------

void TfrmTryOutMng::LoadData() { loadRows(); }

bool TfrmTryOutMng::loadRows()
{
    TfrmBaseB::LoadData();
    bool loaded = true;
    {
        WaitCursor wait;
        qryHead->DisableControls();
        struct Thaw {
            TClientDataSet* ds;
            ~Thaw() { ds->EnableControls(); }
        } thaw{qryHead};

        qryAdoHead->Close();
        qryAdoHead->SQL.clear();
        qryAdoHead->Parameters.Clear();
        qryAdoHead->SQL << u"select BookDate,BookTime,T.PluCode PluCode,PluName,Spec,BarCode,Result, "_s
                        << u"T.Remark Remark,T.UserCode,T.UserName,ZdrCode,ZdrName, "_s
                        << u" T.OrgCode OrgCode,OrgName"_s
                        << u"from TryOutBK T Left Join SubShop S on T.OrgCode=S.OrgCode "_s
                        << u"                Left Join Goods R on T.PluCode=R.PluCode"_s;
        if (!QryWhere.isEmpty()) qryAdoHead->SQL << u" where  "_s + QryWhere;
        qryAdoHead->SQL << u" order by BookDate,BookTime "_s;
        try {
            TLoadProgress progress(pnlRecordcount);
            LoadHeadRows(*qryAdoHead, *qryHead, [&progress](qint64 rows) { progress.report(rows); });
        } catch (...) {
            LogCurrentException();
            loaded = false;
        }
    }
    // The hint names the condition of the rows shown: it changes only with them.
    if (loaded) dgrdHead->setHint(!QryDesc.isEmpty() && QryDesc != All ? QryDesc : All);
    UpdateActionStates();
    if (!loaded) ShowErrorMsg(u"数据读取失败！"_s);
    return loaded;
}

// --- actions --------------------------------------------------------------------------------

void TfrmTryOutMng::actRefreshExecute(QObject* sender)
{
    TfrmBaseB::actRefreshExecute(sender);
    LoadData();
}

void TfrmTryOutMng::actQueryExecute(QObject* sender)
{
    TfrmBaseB::actQueryExecute(sender);
    QString where = QryWhere;
    QString desc = QryDesc;
    if (!ShowQryDialog(FormKey, where, desc)) return;
    const QString oldWhere = QryWhere;
    const QString oldDesc = QryDesc;
    QryDesc = desc;
    QryWhere = where;
    // A condition whose rows cannot be read is not kept: the list shows the previous rows.
    if (!loadRows()) {
        QryWhere = oldWhere;
        QryDesc = oldDesc;
    }
}

TTryOutRecord TfrmTryOutMng::CurrentRecord() const
{
    const auto text = [this](const QString& name) { return qryHead->FieldByName(name)->AsString(); };
    TTryOutRecord r;
    r.BookDate = text(u"BookDate"_s);
    r.BookTime = text(u"BookTime"_s);
    r.OrgCode = text(u"OrgCode"_s);
    r.OrgName = text(u"OrgName"_s);
    r.ZdrCode = text(u"ZdrCode"_s);
    r.ZdrName = text(u"ZdrName"_s);
    r.PluCode = text(u"PluCode"_s);
    r.PluName = text(u"PluName"_s);
    r.Remark = text(u"Remark"_s);
    r.ResultD = text(u"ResultD"_s);
    return r;
}

void TfrmTryOutMng::actAddExecute(QObject* sender)
{
    TfrmBaseB::actAddExecute(sender);
    ShowTryOutEntry(this, this, nullptr);
}

void TfrmTryOutMng::actEditExecute(QObject* sender)
{
    TfrmBaseB::actEditExecute(sender);
    if (!qryHead->Active() || qryHead->IsEmpty()) return;
    const TTryOutRecord record = CurrentRecord();
    ShowTryOutEntry(this, this, &record);
}

void TfrmTryOutMng::dgrdHeadDblClick(TDBGridEh*)
{
    // Only for a user who may edit: the double click is a way to the Edit action, not past it.
    if (qryHead->Active() && !qryHead->IsEmpty() && actEdit->isEnabled()) actEditExecute(dgrdHead);
}

void TfrmTryOutMng::actDeleteExecute(QObject* sender)
{
    TfrmBaseB::actDeleteExecute(sender);
    if (!qryHead->Active() || qryHead->IsEmpty()) return;
    if (!AskYesNoDefaultNo(u"确定要删除此次试用登记记录吗？"_s)) return;
    const TTryOutRecord r = CurrentRecord();
    int affected = 0;
    try {
        TADOConnection* conn = GetSharedConnection();
        DbTransaction tx(conn);
        TQorAdoQry q(conn);
        q.SQL << u"delete from TryOutBK where BookDate=:BookDate and BookTime=:BookTime and OrgCode =:OrgCode and PluCode=:PluCode"_s;
        q.Parameters.ParamByName(u"BookDate"_s).Value = r.BookDate;
        q.Parameters.ParamByName(u"BookTime"_s).Value = r.BookTime;
        q.Parameters.ParamByName(u"OrgCode"_s).Value = r.OrgCode;
        q.Parameters.ParamByName(u"PluCode"_s).Value = r.PluCode;
        affected = ExecChecked(q);
        // One trial is one row; a statement that hits several is not the user's delete.
        if (affected <= 1) tx.commit();
    } catch (...) {
        LogCurrentException();
        ShowErrorMsg(u"删除试用记录失败！"_s);
        return;
    }
    if (affected > 1) {
        LogException(u"删除试用记录失败：%1 行符合 %2 %3 %4 %5，已撤销"_s.arg(affected).arg(r.BookDate, r.BookTime,
                                                                                     r.OrgCode, r.PluCode));
        ShowErrorMsg(u"删除试用记录失败！"_s);
        return;
    }
    // Also when no row was left (deleted at another station meanwhile): the list shows it.
    LoadData();
}

void TfrmTryOutMng::actColumnExecute(QObject* sender)
{
    TfrmBaseB::actColumnExecute(sender);
    ShowColumnDialog(1, GetSharedConnection(), dgrdHead, FormKey, CurUserCode());
}

void TfrmTryOutMng::actFiltExecute(QObject* sender)
{
    TfrmBaseB::actFiltExecute(sender);
    ShowFilterDialog(dgrdHead);
}

void TfrmTryOutMng::actFindExecute(QObject* sender)
{
    TfrmBaseB::actFindExecute(sender);
    ShowLocateDialog(dgrdHead);
}

void TfrmTryOutMng::ActSetCalcExecute(QObject* sender)
{
    TfrmBaseB::ActSetCalcExecute(sender);
    ShowCalcFieldEditor(qryHead, FormKey);
}

void TfrmTryOutMng::printList(int formatMode)
{
    if (PrnSerialNo == -1) {
        if (formatMode == 3)
            PrintGrid(dgrdHead, windowTitle());
        else
            PreviewGrid(dgrdHead, windowTitle());
        return;
    }
    PrintFormat(GetSharedConnection(), formatMode, ModuleState::PrintSetting, FormKey, PrnSerialNo, qryHead);
}

void TfrmTryOutMng::actPreviewExecute(QObject* sender)
{
    TfrmBaseB::actPreviewExecute(sender);
    printList(1);
}

void TfrmTryOutMng::actPrintExecute(QObject* sender)
{
    TfrmBaseB::actPrintExecute(sender);
    printList(3);
}

void TfrmTryOutMng::actPrnFmtDesignExecute(QObject* sender)
{
    TfrmBaseB::actPrnFmtDesignExecute(sender);
    ShowPrintFmtList(this, FormKey, qryHead);
}

void TfrmTryOutMng::actConvertToExcelExecute(QObject* sender)
{
    TfrmBaseB::actConvertToExcelExecute(sender);
    ExportToExcel(dgrdHead, windowTitle() + u".xls"_s);
}

void TfrmTryOutMng::actConvertToTextExecute(QObject* sender)
{
    TfrmBaseB::actConvertToTextExecute(sender);
    ExportToText(dgrdHead, windowTitle() + u".txt"_s);
}

// The chart of the rows shown, as every list form with a head grid offers it.
void TfrmTryOutMng::actGraphExecute(QObject* sender)
{
    TfrmBaseB::actGraphExecute(sender);
    ShowGraphForm(this, qryHead, dgrdHead);
}

void TfrmTryOutMng::actConvertToHtmlExecute(QObject* sender)
{
    TfrmBaseB::actConvertToHtmlExecute(sender);
    ExportToHtml(dgrdHead, windowTitle() + u".htm"_s);
}
