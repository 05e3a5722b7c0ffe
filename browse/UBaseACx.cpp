#include "browse/UBaseACx.h"

#include "browse/BrowseKit.h"
#include "calc/CalcEngine.h"
#include "calc/SetCalcFld.h"
#include "chart/Graph.h"
#include "framework/GridBridge.h"
#include "framework/ShowDetail.h"
#include "host/include/PubProcDll.h"
#include "module/MISPub.h"
#include "module/ModuleState.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/GridServices.h"
#include "platform/ui/Guard.h"
#include "print/PrintFmt.h"
#include "query/PubQuery.h"
#include "query/UQryShow.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QToolBar>
#include <QVBoxLayout>

#include <exception>

using namespace Qt::StringLiterals;

namespace {
const QString AllOrgs = u"<全部>"_s;
// The colour of the grid's fixed and footer areas until the form shows.
constexpr quint32 DesignGridColor = 15659506;
}

TfrmBaseACx::TfrmBaseACx(QWidget* parent) : TfrmBaseA(parent), qryAdoHead(std::make_unique<TQorAdoQry>())
{
    setObjectName(u"frmBaseACx"_s);

    pnlTop = new QFrame(this);
    pnlTop->setObjectName(u"pnlTop"_s);
    pnlTop->setMinimumHeight(66);
    auto* topLayout = new QVBoxLayout(pnlTop);
    topLayout->setContentsMargins(4, 2, 4, 2);
    topLayout->setSpacing(2);
    frameQryShow = new TframeQryShow(pnlTop);
    frameQryShow->setObjectName(u"frameQryShow"_s);
    topLayout->addWidget(frameQryShow);
    auto* orgLine = new QHBoxLayout;
    lblOrgList = new QLabel(u"组织："_s, pnlTop);
    lblOrgList->setObjectName(u"lblOrgList"_s);
    cmbOrgList = new QComboBox(pnlTop);
    cmbOrgList->setObjectName(u"cmbOrgList"_s);
    cmbOrgList->setEditable(false);
    cmbOrgList->setFixedWidth(249);
    cmbOrgList->installEventFilter(this);
    orgLine->addWidget(lblOrgList);
    orgLine->addWidget(cmbOrgList);
    orgLine->addStretch(1);
    topLayout->addLayout(orgLine);
    formLayout()->addWidget(pnlTop);

    Panel2 = new QFrame(this);
    Panel2->setObjectName(u"Panel2"_s);
    auto* clientLayout = new QVBoxLayout(Panel2);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    pnlHead = new QFrame(Panel2);
    pnlHead->setObjectName(u"pnlHead"_s);
    auto* headLayout = new QVBoxLayout(pnlHead);
    headLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->addWidget(pnlHead);
    formLayout()->addWidget(Panel2, 1);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(u"Panel1"_s);
    Panel1->setFrameShape(QFrame::StyledPanel);
    auto* bottomLayout = new QHBoxLayout(Panel1);
    bottomLayout->setContentsMargins(2, 2, 2, 2);
    pnlRecordcount = new QLabel(u"记录数：0"_s, Panel1);
    pnlRecordcount->setObjectName(u"pnlRecordcount"_s);
    pnlRecordcount->setFixedWidth(256);
    bottomLayout->addWidget(pnlRecordcount);
    bottomLayout->addStretch(1);
    formLayout()->addWidget(Panel1);

    // The data chain.
    dspHead = new TDataSetProvider(this);
    dspHead->setObjectName(u"dspHead"_s);
    dspHead->setDataSet(qryAdoHead.get());
    qryHead = new TClientDataSet(this);
    qryHead->setObjectName(u"qryHead"_s);
    qryHead->setProvider(dspHead);
    dsHead = new TDataSource(this);
    dsHead->setObjectName(u"dsHead"_s);
    dsHead->setDataSet(qryHead);
    dsHead->setOnDataChange([this](TDataSource* s, TField* f) { dsHeadDataChange(s, f); });

    dgrdHead = new TDBGridEh(pnlHead);
    dgrdHead->setObjectName(u"dgrdHead"_s);
    dgrdHead->setDataSource(dsHead);
    dgrdHead->setReadOnly(true);
    dgrdHead->setFixedColor(colorFromTColor(DesignGridColor));
    dgrdHead->setFooterColor(colorFromTColor(DesignGridColor));
    dgrdHead->setFooterRowCount(1);
    dgrdHead->setUseMultiTitle(true);
    dgrdHead->setSumListActive(true);
    dgrdHead->setShowHint(true);
    dgrdHead->setOptionsEh(dghHighlightFocus | dghClearSelection | dghEnterAsTab);
    dgrdHead->setOnDblClick([this](TDBGridEh* g) { dgrdHeadDblClick(g); });
    dgrdHead->setOnMouseDown([this](TDBGridEh* g, Qt::MouseButton b, TShiftState s, int x, int y) {
        dgrdHeadMouseDown(g, b, s, x, y);
    });
    headLayout->addWidget(dgrdHead);
    usePopupMenu(dgrdHead);
    RecordActionSource = dsHead;

    // Refresh moves the focus here, so that the condition boxes run their exit checks first.
    ToolBar1->setFocusPolicy(Qt::ClickFocus);

    I1 = addMenuEntry(popBaseA, "I1", actDetail, u"详细(&I)...  Ctrl+左键或双击"_s);
    addMenuSeparator(popBaseA, "N0");

    connect(cmbOrgList, &QComboBox::currentIndexChanged, this,
            [this] { guard([this] { cmbOrgListChange(cmbOrgList); }, this); });
}

TfrmBaseACx::~TfrmBaseACx()
{
    // The grid and the dataset go before the query they read from.
    delete dgrdHead;
    delete qryHead;
}

QString TfrmBaseACx::LayoutKey() const { return FormKey + u"QH"_s; }

// --- create, show, close ------------------------------------------------------------------------

void TfrmBaseACx::FormCreate(QObject* sender)
{
    // The base create sets the switches to their defaults; a choice a descendant made before
    // calling this handler is kept, so that it may set them before or after.
    const bool useCalcFields = UseCalcFields;
    const bool useQryFrame = UseQryFrame;
    const int orgListKind = OrgListKind;
    TfrmBaseA::FormCreate(sender);
    UseCalcFields = useCalcFields;
    UseQryFrame = useQryFrame;
    OrgListKind = orgListKind;

    if (UseCalcFields) {
        CreateCalcFields(qryHead, FormKey, CalcFieldDefs.get());
        AddCalcColumns(qryHead, dgrdHead);
    }
    CalcFieldSql = GetCalcFieldSql(CalcFieldDefs.get());
    OrgListWithAll = true;
    ShowOrgList = true;
    EnableTitleSort(dgrdHead);
}

void TfrmBaseACx::FormShow(QObject* sender)
{
    // Each step runs even when an earlier one failed, so that the output actions end up
    // disabled; the first error is shown at the end.
    std::exception_ptr firstError;
    const auto step = [&firstError](auto&& fn) {
        try {
            fn();
        } catch (...) {
            if (!firstError) firstError = std::current_exception();
        }
    };
    step([&] { TfrmBaseA::FormShow(sender); });
    step([&] {
        SaveDefaultLayout(1, GetSharedConnection(), dgrdHead, LayoutKey(), CurUserCode());
        LoadCurrentLayout(1, GetSharedConnection(), dgrdHead, LayoutKey(), CurUserCode());
    });
    const QColor gridColor = colorFromTColor(quint32(UGridColor()));
    dgrdHead->setFixedColor(gridColor);
    dgrdHead->setFooterColor(gridColor);
    frameQryShow->setVisible(UseQryFrame);
    if (UseQryFrame) frameQryShow->SetQryType(FormKey);
    lblOrgList->setVisible(ShowOrgList);
    cmbOrgList->setVisible(ShowOrgList);
    if (ShowOrgList) {
        step([&] {
            BuildOrgList(cmbOrgList, OrgListKind, OrgListWithAll);
            cmbOrgListChange(cmbOrgList);
        });
    }
    actQuery->setEnabled(RightQuery);
    for (QAction* a : {actPrint, actPreview, actConvertToExcel, actConvertToText, actConvertToHtml, actDetail})
        a->setEnabled(false);
    if (firstError) std::rethrow_exception(firstError);
}

void TfrmBaseACx::FormClose(QObject* sender, TCloseAction& action)
{
    std::exception_ptr firstError;
    // The layout is stored before the dataset closes: a grid whose columns follow the
    // dataset's fields would otherwise store an empty layout over the user's own.
    try {
        SaveCurrentLayout(1, GetSharedConnection(), dgrdHead, LayoutKey(), CurUserCode());
    } catch (...) {
        firstError = std::current_exception();
    }
    if (qryHead->Active()) qryHead->Close();
    if (UseQryFrame) frameQryShow->FreeQryData();
    TfrmBaseA::FormClose(sender, action);
    if (firstError) std::rethrow_exception(firstError);
}

// --- loading --------------------------------------------------------------------------------

void TfrmBaseACx::LoadData()
{
    TfrmBaseA::LoadData();
    dgrdHead->setHint(!QryDesc.isEmpty() && QryDesc != AllOrgs ? QryDesc : AllOrgs);
}

void TfrmBaseACx::LoadHeadData()
{
    WaitCursor wait;
    qryHead->DisableControls();
    struct Thaw {
        TClientDataSet* ds;
        ~Thaw() { ds->EnableControls(); }
    } thaw{qryHead};
    TLoadProgress progress(pnlRecordcount);
    LoadHeadRows(*qryAdoHead, *qryHead, [&progress](qint64 rows) { progress.report(rows); });
}

void TfrmBaseACx::dsHeadDataChange(TDataSource*, TField*)
{
    int count = 0;
    try {
        count = qryHead->RecordCount();
    } catch (...) {
        count = 0;
    }
    pnlRecordcount->setText(u"记录数："_s + QString::number(count));
    UpdateRecordActions(dsHead);
    const bool hasRows = qryHead->Active() && !qryHead->IsEmpty();
    actPrnFmtDesign->setEnabled(qryHead->Active() && RightPrnFmt);
    actPreview->setEnabled(hasRows && RightPrint);
    actPrint->setEnabled(hasRows && RightPrint);
    actFind->setEnabled(hasRows);
    actGraph->setEnabled(hasRows);
    actDetail->setEnabled(hasRows);
    actConvertToExcel->setEnabled(hasRows && RightExport);
    actConvertToText->setEnabled(hasRows && RightExport);
    actConvertToHtml->setEnabled(hasRows && RightExport);
}

// --- actions --------------------------------------------------------------------------------

void TfrmBaseACx::actColumnExecute(QObject* sender)
{
    TfrmBaseA::actColumnExecute(sender);
    ShowColumnDialog(1, GetSharedConnection(), dgrdHead, LayoutKey(), CurUserCode());
}

void TfrmBaseACx::actSortExecute(QObject*)
{
    // Sorting is done by clicking column titles; the action is hidden.
}

void TfrmBaseACx::actQueryExecute(QObject* sender)
{
    TfrmBaseA::actQueryExecute(sender);
    QString where = QryWhere;
    QString desc = QryDesc;
    const bool ok = ShowQryDialog(FormKey, where, desc);
    frameQryShow->LoadQryItems();
    if (!ok) return;
    const QString oldWhere = QryWhere;
    const QString oldDesc = QryDesc;
    const QString oldHint = dgrdHead->Hint();
    QryDesc = desc;
    QryWhere = where;
    LoadFailed = false;
    LoadData();
    // The rows shown are still those of the previous condition: so are the texts and the hint.
    if (LoadFailed) {
        QryWhere = oldWhere;
        QryDesc = oldDesc;
        dgrdHead->setHint(oldHint);
    }
}

void TfrmBaseACx::actFiltExecute(QObject* sender)
{
    TfrmBaseA::actFiltExecute(sender);
    ShowFilterDialog(dgrdHead);
}

void TfrmBaseACx::actFindExecute(QObject* sender)
{
    TfrmBaseA::actFindExecute(sender);
    ShowLocateDialog(dgrdHead);
}

void TfrmBaseACx::actFormatExecute(QObject* sender)
{
    TfrmBaseA::actFormatExecute(sender);
    LoadCurrentLayout(1, GetSharedConnection(), dgrdHead, LayoutKey(), CurUserCode());
}

void TfrmBaseACx::actRefreshExecute(QObject* sender)
{
    TfrmBaseA::actRefreshExecute(sender);
    ToolBar1->setFocus(Qt::OtherFocusReason);
    const QString oldWhere = QryWhere;
    const QString oldDesc = QryDesc;
    const QString oldHint = dgrdHead->Hint();
    if (UseQryFrame) frameQryShow->GetQryCondition(QryWhere, QryDesc);
    LoadFailed = false;
    LoadData();
    if (LoadFailed) {
        QryWhere = oldWhere;
        QryDesc = oldDesc;
        dgrdHead->setHint(oldHint);
    }
}

void TfrmBaseACx::actPrintExecute(QObject* sender)
{
    TfrmBaseA::actPrintExecute(sender);
    if (PrnSerialNo == -1)
        PrintGrid(dgrdHead, windowTitle());
    else
        PrintFormatBill(GetSharedConnection(), 3, ModuleState::PrintSetting, FormKey, PrnSerialNo, qryHead);
}

void TfrmBaseACx::actPreviewExecute(QObject* sender)
{
    TfrmBaseA::actPreviewExecute(sender);
    if (PrnSerialNo == -1)
        PreviewGrid(dgrdHead, windowTitle());
    else
        PrintFormatBill(GetSharedConnection(), 1, ModuleState::PrintSetting, FormKey, PrnSerialNo, qryHead);
}

void TfrmBaseACx::actConvertToExcelExecute(QObject* sender)
{
    TfrmBaseA::actConvertToExcelExecute(sender);
    ExportToExcel(dgrdHead, windowTitle() + u".xls"_s);
}

void TfrmBaseACx::actConvertToTextExecute(QObject* sender)
{
    TfrmBaseA::actConvertToTextExecute(sender);
    ExportToText(dgrdHead, windowTitle() + u".txt"_s);
}

void TfrmBaseACx::actConvertToHtmlExecute(QObject* sender)
{
    TfrmBaseA::actConvertToHtmlExecute(sender);
    ExportToHtml(dgrdHead, windowTitle() + u".htm"_s);
}

void TfrmBaseACx::actConvertToOtherExecute(QObject* sender) { TfrmBaseA::actConvertToOtherExecute(sender); }

void TfrmBaseACx::actGraphExecute(QObject* sender)
{
    TfrmBaseA::actGraphExecute(sender);
    ShowGraphForm(this, qryHead, dgrdHead);
}

void TfrmBaseACx::actPrnFmtDesignExecute(QObject* sender)
{
    TfrmBaseA::actPrnFmtDesignExecute(sender);
    ShowPrintFmtList(this, FormKey, qryHead);
}

void TfrmBaseACx::ActSetCalcExecute(QObject* sender)
{
    TfrmBaseA::ActSetCalcExecute(sender);
    ShowCalcFieldEditor(qryHead, FormKey);
}

void TfrmBaseACx::actDetailExecute(QObject* sender)
{
    TfrmBaseA::actDetailExecute(sender);
    dgrdHeadMouseDown(dgrdHead, Qt::LeftButton, ssCtrl | ssLeft, 0, 0);
}

// --- organisation list ----------------------------------------------------------------------

void TfrmBaseACx::cmbOrgListChange(QObject*)
{
    const QString text = cmbOrgList->currentText();
    const qsizetype dash = text.indexOf(QLatin1Char('-'));
    OrgCode = dash < 0 ? text : text.left(dash);
    OrgName = dash < 0 ? text : text.mid(dash + 1);
    if (OrgCode.trimmed().isEmpty()) OrgCode = AllOrgs;
}

bool TfrmBaseACx::cmbOrgListKeyPress(int key) { return key == Qt::Key_Backspace; }

bool TfrmBaseACx::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == cmbOrgList && event->type() == QEvent::KeyPress) {
        bool used = false;
        guard([&] { used = cmbOrgListKeyPress(static_cast<QKeyEvent*>(event)->key()); }, this);
        if (used) return true;
    }
    return TfrmBaseA::eventFilter(watched, event);
}

// --- linked-function detail -----------------------------------------------------------------

void TfrmBaseACx::dgrdHeadMouseDown(TDBGridEh*, Qt::MouseButton, TShiftState shift, int, int)
{
    // Exactly Ctrl with the left button: not with Shift or Alt, not a double click.
    if (shift == (ssCtrl | ssLeft)) showDetail();
}

void TfrmBaseACx::dgrdHeadDblClick(TDBGridEh*) { showDetail(); }

void TfrmBaseACx::showDetail()
{
    const QPoint at = QCursor::pos();
    ShowRowDetail(linkFuncProc(), dgrdHead, FunCode, 360, 460, QString(), at.y(), at.x(), CurUserCode());
}
