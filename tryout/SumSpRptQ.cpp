#include "tryout/SumSpRptQ.h"

#include "browse/BrowseKit.h"
#include "calc/CalcEngine.h"
#include "framework/GridBridge.h"
#include "framework/SharedUtils.h"
#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "module/MISPub.h"
#include "module/ModuleState.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/Field.h"
#include "platform/grid/DBGridEh.h"
#include "platform/sys/Clock.h"

#include "ui_SumSpRptQ.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QToolBar>
#include <QToolButton>

#include <exception>

using namespace Qt::StringLiterals;

namespace {

const QString AllOrgs = u"<全部>"_s;
const QString DateFormat = u"yyyy-MM-dd"_s;

struct FieldDef {
    const char* name;
    const char* title;
    TFieldType type;
    int size;
    const char* format; // empty: none (LyCount gets the host's quantity format at show)
    bool footerSum;
};

// The fields of the result in grid column order.
const FieldDef ReportFields[] = {
    {"OrgCode", "组织|编码", ftString, 6, "", false},
    {"OrgName", "组织|名称", ftString, 10, "", false},
    {"PluCode", "试用品|编码", ftString, 20, "", false},
    {"PluName", "试用品|名称", ftString, 20, "", false},
    {"LyCount", "领用数量", ftCurrency, 0, "", true},
    {"JPrice", "领用金额|含税进价", ftCurrency, 0, "0.0000", false},
    {"NetJPrice", "领用金额|无税进价", ftCurrency, 0, "0.0000", false},
    {"Price", "领用金额|售价", ftCurrency, 0, "0.00", false},
    {"TryTimes", "试用次数", ftInteger, 0, "0", true},
    {"Frequence", "试用频度", ftFloat, 0, "0.00", false},
    {"SatFDgre", "满意度(%)", ftCurrency, 0, "0.00", false},
};

// The drawn and the tried side per organisation and good, one derived table.
QString drawnAndTried()
{
    return u"from(select F.OrgCode OrgCode,D.PluCode PluCode,sum(D.Counts) Counts,"_s
           u"sum(D.Cost) Cost,sum(D.NetCost) NetCost,SUM(D.Total) Total,0 Num1,0 Num2"_s
           u" from DrawDetail D,DrawForm F where DrawDate between :BgnDate and :EndDate and F.DrawNo=D.DrawNo and F.BillType='1' and F.RzDate<>'' and F.RzDate is not null Group By OrgCode,PluCode "_s
           u"Union "_s
           u"select OrgCode,PluCode,0 Counts,0 Cost,0 NetCost,0 Total,sum(Case Result when '0' then 1 else 0 end) Num1, "_s
           u" sum(Case Result when '1' then 1 else 0 end) Num2"_s
           u" from TryOutBK T where BookDate between :BgnDate1 and :EndDate1 Group by OrgCode,PluCode) "_s;
}

} // namespace

TfrmSumSpRptQ::TfrmSumSpRptQ(QWidget* parent) : TfrmBaseACxA(parent), ui(std::make_unique<Ui::TfrmSumSpRptQ>())
{
    setObjectName(u"frmSumSpRptQ"_s);
    setWindowTitle(u"试用品统计报表"_s);

    // The date range sits on the organisation line, after the list.
    auto* dates = new QWidget(pnlTop);
    ui->setupUi(dates);
    lblbgnDate = ui->lblbgnDate;
    dtpBgnDate = ui->dtpBgnDate;
    lblEndDate = ui->lblEndDate;
    dtpEndDate = ui->dtpEndDate;
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    for (QDateEdit* d : {dtpBgnDate, dtpEndDate}) {
        d->setLocale(chinese);
        d->setDate(clockNow().date());
    }
    bool placed = false;
    if (auto* top = pnlTop->layout()) {
        for (int i = 0; i < top->count() && !placed; ++i) {
            auto* line = qobject_cast<QHBoxLayout*>(top->itemAt(i)->layout());
            const int at = line ? line->indexOf(cmbOrgList) : -1;
            if (at >= 0) {
                line->insertWidget(at + 1, dates);
                placed = true;
            }
        }
        if (!placed) top->addWidget(dates);
    }

    tbtnNone5 = addToolSeparator(ToolBar1, "tbtnNone5");
    tbtnRefresh = addToolButton(ToolBar1, "tbtnRefresh", actRefresh, u"刷新"_s);

    for (const FieldDef& d : ReportFields) {
        TField* f = qryHead->addField(QString::fromLatin1(d.name), d.type, d.size);
        f->setDisplayLabel(QString::fromUtf8(d.title));
        if (*d.format) f->setDisplayFormat(QString::fromLatin1(d.format));
        if (qstrcmp(d.name, "Frequence") == 0) f->setDisplayWidth(15);
        TColumnEh* c = dgrdHead->Columns()->Add();
        c->setFieldName(f->FieldName());
        c->Title()->setCaption(f->DisplayLabel());
        if (d.footerSum) c->Footer()->setValueType(fvtSum);
    }
}

TfrmSumSpRptQ::~TfrmSumSpRptQ() = default;

// --- create, show, close ------------------------------------------------------------------------

void TfrmSumSpRptQ::FormCreate(QObject* sender)
{
    FormKey = u"TryOutR"_s;
    OrgListKind = 0;
    // The report builds its calculated columns at creation: a database where nobody has
    // defined one yet has no definition table, which is no error.
    EnsureCalcFieldTable();
    TfrmBaseACxA::FormCreate(sender);
}

void TfrmSumSpRptQ::FormShow(QObject* sender)
{
    std::exception_ptr baseError;
    try {
        TfrmBaseACxA::FormShow(sender);
    } catch (...) {
        baseError = std::current_exception();
    }
    // The close notifier was handed over at creation: a form shown again keeps its own.
    qryHead->FieldByName(u"LyCount"_s)->setDisplayFormat(sDisplayFormat());
    const QDate today = clockNow().date();
    dtpBgnDate->setDate(today);
    dtpEndDate->setDate(today);
    if (baseError) std::rethrow_exception(baseError);
}

void TfrmSumSpRptQ::FormClose(QObject* sender, TCloseAction& action)
{
    // The host hears of the close also when storing the column layout failed.
    std::exception_ptr baseError;
    try {
        TfrmBaseACxA::FormClose(sender, action);
    } catch (...) {
        baseError = std::current_exception();
    }
    action = caFree;
    if (!m_notified) {
        m_notified = true;
        const CloseNotifier notify = m_notifier;
        m_notifier = nullptr;
        ModuleState::releaseSlot(ModuleState::summaryReport(), this);
        if (notify) notify(Tag);
    }
    if (baseError) std::rethrow_exception(baseError);
}

// --- statistics ---------------------------------------------------------------------------------

void TfrmSumSpRptQ::composeStatement(const QString& b, const QString& e, const QString& o)
{
    qryAdoHead->Close();
    qryAdoHead->setConnection(GetSharedConnection());
    qryAdoHead->SQL.clear();
    qryAdoHead->Parameters.Clear();
    qryAdoHead->SQL
        << u"select W.OrgCode OrgCode,S.OrgName OrgName,W.PluCode PluCode,G.PluName PluName, "_s
        << u"sum(W.Counts) LyCount,sum(W.Cost) JPrice,Sum(W.NetCost) NetJPrice,sum(W.Total) Price, "_s
        << u"Sum(W.Num1)+Sum(W.Num2) TryTimes,"_s
        << u"SatFDgre = Case when Sum(W.Num1)+Sum(W.Num2)<>0 then round(Sum(W.Num1)*1.0/(Sum(W.Num1)+Sum(W.Num2))*100,2) else 0 end, "_s
        << u"Frequence =Case when sum(W.Counts)<>0 then round((Sum(W.Num1)+Sum(W.Num2))*1.0/sum(W.Counts),2) else 0 end"_s
        << drawnAndTried() + u" W,subshop S,Goods G"_s
        << u"where W.OrgCode = S.OrgCode and W.PluCode =G.PluCode"_s;
    // The organisation travels as a parameter, never inside the text; it comes before any
    // condition, so positional binding keeps its order.
    if (!o.isEmpty()) qryAdoHead->SQL << u" and W.OrgCode=:OrgCode "_s;
    if (!QryWhere.isEmpty()) qryAdoHead->SQL << u" and  "_s + QryWhere;
    qryAdoHead->SQL << u"group by W.Orgcode,S.OrgName,W.Plucode,G.PluName"_s;
    if (!CalcFieldSql.isEmpty()) {
        FullSql = u"Select * "_s + CalcFieldSql + u" from ("_s + qryAdoHead->sqlText() + u") T  "_s;
        qryAdoHead->SQL.clear();
        qryAdoHead->SQL << FullSql;
    }
    qryAdoHead->SQL << u" order by OrgCode,PluCode"_s;
    qryAdoHead->Parameters.ParamByName(u"BgnDate"_s).Value = b;
    qryAdoHead->Parameters.ParamByName(u"EndDate"_s).Value = e;
    qryAdoHead->Parameters.ParamByName(u"BgnDate1"_s).Value = b;
    qryAdoHead->Parameters.ParamByName(u"EndDate1"_s).Value = e;
    if (!o.isEmpty()) qryAdoHead->Parameters.ParamByName(u"OrgCode"_s).Value = o;
}

void TfrmSumSpRptQ::LoadData()
{
    // Not the head-grid form's reload: the grid hint keeps its text.
    LoadFailed = false;
    const QString b = dtpBgnDate->date().toString(DateFormat);
    const QString e = dtpEndDate->date().toString(DateFormat);
    if (b > e) {
        LoadFailed = true;
        ShowWarningMsg(u"开始日期不能大于截止日期！"_s);
        return;
    }
    const QString orgText = cmbOrgList->currentText();
    QString o;
    if (!orgText.isEmpty() && orgText != AllOrgs) {
        // The single-shop edition always reports on the station's own shop.
        if (CurVER() == u"0"_s) {
            o = sBranchNo();
        } else {
            const qsizetype dash = orgText.indexOf(u'-');
            o = dash < 0 ? orgText : orgText.left(dash);
        }
    }
    try {
        composeStatement(b, e, o);
        LoadHeadData();
    } catch (...) {
        LoadFailed = true;
        LogCurrentException();
        ShowErrorMsg(u"数据统计失败！"_s);
        return;
    }
    m_shownBgn = b;
    m_shownEnd = e;
}

// --- printing -----------------------------------------------------------------------------------

QStringList TfrmSumSpRptQ::printDateLines() const
{
    // The range of the rows printed, not what the pickers show now: they may have been
    // changed since the last statistics.
    return {u"开始日期:"_s + m_shownBgn + u"  "_s + u"截止日期:"_s + m_shownEnd};
}

void TfrmSumSpRptQ::printReport(int formatMode)
{
    if (PrnSerialNo == -1) {
        if (formatMode == 3)
            PrintGrid(dgrdHead, windowTitle(), printDateLines());
        else
            PreviewGrid(dgrdHead, windowTitle(), printDateLines());
        return;
    }
    PrintFormat(GetSharedConnection(), formatMode, ModuleState::PrintSetting, FormKey, PrnSerialNo, qryHead);
}

void TfrmSumSpRptQ::actPrintExecute(QObject* sender)
{
    // Replaces the head-grid form's print: the printout carries the date range.
    TfrmBaseA::actPrintExecute(sender);
    printReport(3);
}

void TfrmSumSpRptQ::actPreviewExecute(QObject* sender)
{
    TfrmBaseA::actPreviewExecute(sender);
    printReport(1);
}
