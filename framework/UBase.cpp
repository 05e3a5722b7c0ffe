#include "framework/UBase.h"

#include "framework/PrintFmtRules.h"
#include "framework/SharedUtils.h"
#include "host/PubProcDll/PubProcDll.h"
#include "module/ErrLog.h"
#include "module/GridServices.h"
#include "module/MISPub.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Guard.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHash>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTextEdit>

#include <exception>
#include <iterator>

namespace {

const char* const kQtyFieldText =
    "Count,GCount,CCount,BookCount,OCount,YKCount,SumBookCount,KcCount,TotalCount,OCCount,"
    "JcCount,ZCount,ZMCount,RTCount,XcCount,SqCount,BqCount";

const char* const kCostFieldText =
    "JPrice,NetJPrice,Cost,NetCost,BookCost,BookNetCost,PyCost,PyNetCost,PkCost,PkNetCost,"
    "YKCost,YKNetCost,sCost,sNetCost,RealCost,RealNetCost,OJPrice,HJPrice,LJPrice,ActualTotal,"
    "DhCost,DhNetCost,CjCost,NetCjCost,DscCost,NotDscCost,JPriceG,NetJPriceG,JcCost,JcNetCost,"
    "RTCost,RTNetCost,SqCost,SqNetCost,JhCost,JhNetCost,ThCost,ThNetCost,DrCost,DrNetCost,"
    "DcCost,DcNetCost,ZpCost,ZpNetCost,ZtCost,ZtNetCost,LyCost,LyNetCost,PyCost,PyNetCost,"
    "PkCost,PkNetCost,XjCost,XjNetCost,TjCost,TjNetCost,TkCost,TkNetCost,XsCost,XsNetCost,"
    "PfCost,PfNetCost,BqCost,BqNetCost,SumPFCost,SumPFNetCost";

// The form image list: Tango icons (24 x 24) installed by the set-up, by image index.
const char* const kImageFiles[] = {
    "actions/document-print-preview.png",    // 0 preview
    "actions/document-print.png",            // 1 print
    "actions/system-log-out.png",            // 2 close
    "actions/list-add.png",                  // 3 add
    "apps/accessories-text-editor.png",      // 4 edit
    "actions/edit-delete.png",               // 5 delete
    "actions/document-save.png",             // 6 save
    "actions/edit-undo.png",                 // 7 cancel
    "actions/go-first.png",                  // 8 first
    "actions/go-previous.png",               // 9 prior
    "actions/go-next.png",                   // 10 next
    "actions/go-last.png",                   // 11 last
    "actions/format-justify-fill.png",       // 12 columns
    "actions/format-indent-more.png",        // 13 sort
    "actions/system-search.png",             // 14 query
    "actions/edit-find-replace.png",         // 15 filter
    "actions/edit-find.png",                 // 16 locate
    "apps/utilities-system-monitor.png",     // 17 chart
    "actions/document-properties.png",       // 18 detail
    "actions/view-refresh.png",              // 19 refresh
    "actions/document-open.png",             // 20 (spare)
    "apps/accessories-calculator.png",       // 21 calculated columns
    "emblems/emblem-readonly.png",           // 22 check
    "mimetypes/x-office-spreadsheet-template.png", // 23 account
    "mimetypes/x-office-spreadsheet.png",    // 24 Excel
    "mimetypes/text-x-generic.png",          // 25 text
    "mimetypes/text-html.png",               // 26 HTML
    "mimetypes/x-office-document-template.png", // 27 print-format design
    "categories/applications-other.png",     // 28 other
};

const QString kImageDir = QStringLiteral("/usr/share/icons/Tango/24x24/");

bool isMultiLineText(QWidget* w, QWidget* window)
{
    for (; w && w != window; w = w->parentWidget())
        if (qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w)) return true;
    return false;
}

} // namespace

int actionTag(const QObject* a) { return a ? a->property("Tag").toInt() : 0; }
void setActionTag(QObject* a, int tag) { a->setProperty("Tag", tag); }

QIcon TfrmBase::baseImage(int index)
{
    static QHash<int, QIcon> cache;
    if (index < 0 || index >= int(std::size(kImageFiles))) return QIcon();
    auto it = cache.constFind(index);
    if (it != cache.constEnd()) return *it;
    const QString path = kImageDir + QLatin1String(kImageFiles[index]);
    // A missing image leaves the action without one.
    const QIcon icon = QFile::exists(path) ? QIcon(path) : QIcon();
    cache.insert(index, icon);
    return icon;
}

// --- construction ---------------------------------------------------------------------------

TfrmBase::TfrmBase(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmBase"));
    setWindowTitle(QStringLiteral("基本窗体"));
    QFont f = font();
    f.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN")});
    f.setPointSize(9);
    setFont(f);

    using B = TfrmBase;
    const QKeySequence none;
    actConvert = addFormAction("actConvert", "File", QStringLiteral("数据格式转化(&R)"),
                               QStringLiteral("数据格式转化"), -1, none, 1, &B::actConvertExecute);
    actConvertToExcel = addFormAction("actConvertToExcel", "File", QStringLiteral("Excel文件格式(&E)..."),
                                      QStringLiteral("Excel文件格式"), -1, none, 0, &B::actConvertToExcelExecute);
    actConvertToText = addFormAction("actConvertToText", "File", QStringLiteral("文本格式(&T)..."),
                                     QStringLiteral("文本格式"), -1, none, 0, &B::actConvertToTextExecute);
    actConvertToHtml = addFormAction("actConvertToHtml", "File", QStringLiteral("HTML格式(&P)..."),
                                     QStringLiteral("HTML格式"), -1, none, 0, &B::actConvertToHtmlExecute);
    actConvertToOther = addFormAction("actConvertToOther", "File", QStringLiteral("其它格式(&O)..."),
                                      QStringLiteral("其它格式"), -1, none, 0, &B::actConvertToOtherExecute);
    actPrnFmtDesign = addFormAction("actPrnFmtDesign", "File", QStringLiteral("打印格式设置(&D)..."),
                                    QStringLiteral("打印格式设置"), -1, none, 0, &B::actPrnFmtDesignExecute);
    actPreview = addFormAction("actPreview", "File", QStringLiteral("打印预览(&V)..."),
                               QStringLiteral("打印预览"), 0, none, 0, &B::actPreviewExecute);
    actPrint = addFormAction("actPrint", "File", QStringLiteral("打印(&P)"), QStringLiteral("打印"), 1,
                             QKeySequence(Qt::CTRL | Qt::Key_P), 0, &B::actPrintExecute);
    actAdd = addFormAction("actAdd", "Operate", QStringLiteral("增加(&A)"), QStringLiteral("增加"), 3,
                           QKeySequence(Qt::Key_F1), 0, &B::actAddExecute);
    actEdit = addFormAction("actEdit", "Operate", QStringLiteral("修改(&E)"), QStringLiteral("修改"), 4,
                            QKeySequence(Qt::Key_F2), 0, &B::actEditExecute);
    actDelete = addFormAction("actDelete", "Operate", QStringLiteral("删除(&D)"), QStringLiteral("删除"), 5,
                              QKeySequence(Qt::Key_F3), 0, &B::actDeleteExecute);
    actSave = addFormAction("actSave", "Operate", QStringLiteral("保存(&S)"), QStringLiteral("保存"), 6,
                            QKeySequence(Qt::Key_F4), 0, &B::actSaveExecute);
    actCancel = addFormAction("actCancel", "Operate", QStringLiteral("取消(&C)"), QStringLiteral("取消"), 7,
                              QKeySequence(Qt::Key_Escape), 0, &B::actCancelExecute);
    actFirst = addFormAction("actFirst", "Operate", QStringLiteral("首条(&F)"), QStringLiteral("首条"), 8,
                             none, 0, &B::actFirstExecute);
    actPrior = addFormAction("actPrior", "Operate", QStringLiteral("上条(&P)"), QStringLiteral("上条"), 9,
                             none, 0, &B::actPriorExecute);
    actNext = addFormAction("actNext", "Operate", QStringLiteral("下条(&N)"), QStringLiteral("下条"), 10,
                            none, 0, &B::actNextExecute);
    actLast = addFormAction("actLast", "Operate", QStringLiteral("末条(&L)"), QStringLiteral("末条"), 11,
                            none, 0, &B::actLastExecute);
    actColumn = addFormAction("actColumn", "Operate", QStringLiteral("选择列(&M)..."),
                              QStringLiteral("选择列"), 12, none, 0, &B::actColumnExecute);
    actSort = addFormAction("actSort", "Operate", QStringLiteral("排序(&O)..."), QStringLiteral("排序"), 13,
                            none, 0, &B::actSortExecute);
    actQuery = addFormAction("actQuery", "Operate", QStringLiteral("查询条件(&Q)..."),
                             QStringLiteral("查询条件"), 14, none, 0, &B::actQueryExecute);
    actFilt = addFormAction("actFilt", "Operate", QStringLiteral("过滤(&T)..."), QStringLiteral("过滤"), 15,
                            none, 0, &B::actFiltExecute);
    actFind = addFormAction("actFind", "Operate", QStringLiteral("定位(&G)..."), QStringLiteral("定位"), 16,
                            none, 0, &B::actFindExecute);
    actClose = addFormAction("actClose", "File", QStringLiteral("关闭(&X)"), QStringLiteral("关闭"), 2,
                             none, 1, &B::actCloseExecute);
    actCheck = addFormAction("actCheck", "Assess", QStringLiteral("审核"), QString(), 22, none, 0,
                             &B::actCheckExecute);
    actApply = addFormAction("actApply", "Assess", QStringLiteral("申请"), QString(), -1, none, 0,
                             &B::actApplyExecute);
    actAssess = addFormAction("actAssess", "Assess", QStringLiteral("审批"), QString(), -1, none, 0,
                              &B::actAssessExecute);
    actAccount = addFormAction("actAccount", "Assess", QStringLiteral("入账"), QString(), 23, none, 0,
                               &B::actAccountExecute);
    actFormat = addFormAction("actFormat", "Operate", QStringLiteral("列格式(&T)..."),
                              QStringLiteral("列格式"), -1, none, 0, &B::actFormatExecute);
    actGraph = addFormAction("actGraph", "Operate", QStringLiteral("图形(&G)..."), QStringLiteral("图形"), 17,
                             none, 0, &B::actGraphExecute);
    actDetail = addFormAction("actDetail", "Operate", QStringLiteral("详细(&I)..."), QStringLiteral("详细"),
                              18, none, 0, &B::actDetailExecute);
    actRefresh = addFormAction("actRefresh", "Operate", QStringLiteral("刷新(&R)"), QStringLiteral("刷新"),
                               19, QKeySequence(Qt::Key_F5), 0, &B::actRefreshExecute);
    ActPrintDgrd = addFormAction("ActPrintDgrd", "Operate", QStringLiteral("所见即所得"), QString(), -1,
                                 none, 100, &B::ActPrintDgrdExecute);
    ActPreviewDgrd = addFormAction("ActPreviewDgrd", "Operate", QStringLiteral("所见即所得"), QString(),
                                   -1, none, 100, &B::ActPreviewDgrdExecute);
    ActSetCalc = addFormAction("ActSetCalc", "Operate", QStringLiteral("自定义列(&U)..."), QString(), 21,
                               none, 0, &B::ActSetCalcExecute);

    actApply->setEnabled(false);
    actApply->setVisible(false);
    actAssess->setEnabled(false);
    actAssess->setVisible(false);
    // The basic-format actions carry the tick of the menus' first entry.
    ActPrintDgrd->setCheckable(true);
    ActPreviewDgrd->setCheckable(true);

    DropDownPrint = makeFormatMenu("DropDownPrint", "mnuPrintDgrd", ActPrintDgrd);
    mnuPrintDgrd = DropDownPrint->actions().value(0);
    DropDownPreview = makeFormatMenu("DropDownPreview", "mnuPreviewDgrd", ActPreviewDgrd);
    mnuPreviewDgrd = DropDownPreview->actions().value(0);

    // Key preview: the form sees key presses of its controls before they do.
    qApp->installEventFilter(this);
}

TfrmBase::~TfrmBase()
{
    FormDestroy();
    delete CalcFieldDefs;
    CalcFieldDefs = nullptr;
}

QAction* TfrmBase::newAction(const char* name, const char* category, const QString& caption,
                             const QString& hint, int image, const QKeySequence& shortcut, int tag)
{
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    a->setProperty("Category", QString::fromLatin1(category));
    a->setProperty("ImageIndex", image);
    setActionTag(a, tag);
    if (!hint.isEmpty()) {
        a->setToolTip(hint);
        a->setStatusTip(hint);
    }
    if (image >= 0) a->setIcon(baseImage(image));
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    addAction(a); // shortcuts work while the form is active
    m_actions.append(a);
    return a;
}

void TfrmBase::bindAction(QAction* a, std::function<void()> run)
{
    connect(a, &QAction::triggered, this, [this, run = std::move(run)] { guard(run, this); });
}

QMenu* TfrmBase::makeFormatMenu(const char* name, const char* entryName, QAction* basic)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QString::fromLatin1(name));
    auto* entry = new QAction(QStringLiteral("基本格式"), menu);
    entry->setObjectName(QString::fromLatin1(entryName));
    entry->setProperty("MenuEntry", true);
    entry->setCheckable(true);
    menu->addAction(entry);
    const auto sync = [entry, basic] {
        entry->setChecked(basic->isChecked());
        entry->setEnabled(basic->isEnabled());
        entry->setVisible(basic->isVisible());
    };
    sync();
    connect(basic, &QAction::changed, entry, sync);
    connect(entry, &QAction::triggered, this, [basic, sync] {
        basic->trigger();
        sync();
    });
    connect(menu, &QMenu::aboutToShow, this,
            [this, menu] { guard([&] { DropDownPreviewPopup(menu); }, this); });
    return menu;
}

// --- create, show, activate, close ------------------------------------------------------------

void TfrmBase::FormCreate(QObject* sender)
{
    Closing = false;
    OrgListKind = 0;
    actPrnFmtDesign->setVisible(URightPrnFmt());
    UseCalcFields = true;
    UseQryFrame = true;
    if (!CalcFieldDefs) CalcFieldDefs = new QStringList;
    ResetImeNames(this, QString());
    CheckFieldRights = true;
    ShowQtyFields = true;
    ShowCostFields = true;
    QtyFields.clear();
    CostFields.clear();
    AddSplitText(&QtyFields, QString::fromLatin1(kQtyFieldText), QLatin1Char(','));
    AddSplitText(&CostFields, QString::fromLatin1(kCostFieldText), QLatin1Char(','));
}

void TfrmBase::FormShow(QObject* sender)
{
    // 1. Actions with Tag 0 start disabled; the concrete form enables them from rights and data.
    QList<QObject*> owned;
    collectOwned(this, owned);
    for (QObject* o : owned) {
        auto* a = qobject_cast<QAction*>(o);
        if (!a || a->property("MenuEntry").toBool() || !a->property("Tag").isValid()) continue;
        if (actionTag(a) == 0) a->setEnabled(false);
    }

    // A failure of one step must not skip the masking of the later steps: the first error is
    // reported after all steps ran, and a right that could not be read counts as not held.
    std::exception_ptr firstError;
    // 2. The user's default print format.
    try {
        PrnSerialNo = -1;
        PrnSerialNo = ReadPrnDefault(GetSharedConnection(), FormKey, CurUserCode(), UStationID(), CurVER());
    } catch (...) {
        firstError = std::current_exception();
    }
    // 3.
    actColumn->setVisible(URightColumn());
    ActSetCalc->setVisible(URightSetCalc());
    // 4. Quantity and cost fields.
    if (CheckFieldRights) {
        const QString user = CurUserCode();
        try {
            ShowQtyFields = HasFunctionRight(QStringLiteral("OP07"), user, QString());
        } catch (...) {
            ShowQtyFields = false;
            if (!firstError) firstError = std::current_exception();
        }
        try {
            ShowCostFields = HasFunctionRight(QStringLiteral("OP08"), user, QString());
        } catch (...) {
            ShowCostFields = false;
            if (!firstError) firstError = std::current_exception();
        }
        ApplyFieldRights();
    }
    if (firstError) std::rethrow_exception(firstError);
}

void TfrmBase::FormActivate()
{
    if (PendingParam.isEmpty()) return;
    // Cleared first, so that a failing handler does not run again at every activation.
    const QString param = PendingParam;
    PendingParam.clear();
    HandlePendingParam(param);
}

void TfrmBase::FormClose(QObject* sender, TCloseAction& action)
{
    delete CalcFieldDefs;
    CalcFieldDefs = nullptr;
    Closing = true;
    action = caFree;
}

void TfrmBase::actCloseExecute(QObject* sender) { close(); }

void TfrmBase::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) guard([this] { FormShow(this); }, this);
}

bool TfrmBase::event(QEvent* e)
{
    const bool r = QDialog::event(e);
    if (e->type() == QEvent::WindowActivate) guard([this] { FormActivate(); }, this);
    return r;
}

void TfrmBase::done(int r)
{
    // A form hides by default; the base close handler frees it.
    TCloseAction action = caHide;
    guard([&] { FormClose(this, action); }, this);
    switch (action) {
    case caNone:
        return;
    case caMinimize:
        showMinimized();
        return;
    case caHide:
        // Hidden, not freed, whatever the attribute said before.
        setAttribute(Qt::WA_DeleteOnClose, false);
        QDialog::done(r);
        return;
    case caFree: {
        QPointer<TfrmBase> self(this);
        setAttribute(Qt::WA_DeleteOnClose, true);
        QDialog::done(r);
        if (self) self->deleteLater();
        return;
    }
    }
}

// --- keys -------------------------------------------------------------------------------------

void TfrmBase::keyPressEvent(QKeyEvent* e)
{
    // Escape belongs to the actions (actCancel); it never closes the form by itself.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

bool TfrmBase::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() != QEvent::KeyPress || !o->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(o);
    if (w->window() != this) return false;
    // Only the first delivery (to the active control), not its propagation to the parents.
    QWidget* active = focusWidget();
    if (o != (active ? active : static_cast<QWidget*>(this))) return false;
    bool handled = false;
    guard([&] { FormKeyPress(static_cast<QKeyEvent*>(e), handled); }, this);
    return handled;
}

void TfrmBase::FormKeyPress(QKeyEvent* e, bool& handled)
{
    if (e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter) return;
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return;
    QWidget* active = focusWidget();
    // Memos and rich-text editors take Enter as a line break; a focused button is pressed.
    if (isMultiLineText(active, this) || qobject_cast<QPushButton*>(active)) return;
    handled = true;
    focusNextPrevChild(true);
}

// --- record-moving actions --------------------------------------------------------------------

namespace {
TClientDataSet* sourceDataSet(TDataSource* s) { return s ? s->DataSet() : nullptr; }
}

void TfrmBase::actFirstExecute(QObject* sender)
{
    if (TClientDataSet* ds = sourceDataSet(RecordActionSource)) ds->First();
}

void TfrmBase::actPriorExecute(QObject* sender)
{
    if (TClientDataSet* ds = sourceDataSet(RecordActionSource)) ds->Prior();
}

void TfrmBase::actNextExecute(QObject* sender)
{
    if (TClientDataSet* ds = sourceDataSet(RecordActionSource)) ds->Next();
}

void TfrmBase::actLastExecute(QObject* sender)
{
    if (TClientDataSet* ds = sourceDataSet(RecordActionSource)) ds->Last();
}

void TfrmBase::UpdateRecordActions(TDataSource* source)
{
    TClientDataSet* ds = sourceDataSet(source);
    if (!ds || !ds->Active()) return;
    const int n = ds->RecordCount();
    const bool back = n != 0 && !ds->Bof();
    const bool forward = n != 0 && !ds->Eof();
    actFirst->setEnabled(back);
    actPrior->setEnabled(back);
    actNext->setEnabled(forward);
    actLast->setEnabled(forward);
}

// --- print formats ----------------------------------------------------------------------------

void TfrmBase::ActPrintDgrdExecute(QObject* sender)
{
    ActPrintDgrd->setChecked(true);
    ActPreviewDgrd->setChecked(true);
    if (PrnSerialNo != -1) {
        ForgetPrnDefault(GetSharedConnection(), FormKey, CurUserCode(), UStationID());
        PrnSerialNo = -1;
    }
    actPrintExecute(sender);
}

void TfrmBase::ActPreviewDgrdExecute(QObject* sender)
{
    ActPrintDgrd->setChecked(true);
    ActPreviewDgrd->setChecked(true);
    if (PrnSerialNo != -1) {
        ForgetPrnDefault(GetSharedConnection(), FormKey, CurUserCode(), UStationID());
        PrnSerialNo = -1;
    }
    actPreviewExecute(sender);
}

void TfrmBase::DropDownPreviewPopup(QMenu* menu)
{
    WaitCursor wait;
    const bool printMenu = menu == DropDownPrint;

    // 1. Keep only the fixed first entry.
    const QList<QAction*> old = menu->actions();
    for (qsizetype i = old.size() - 1; i >= 1; --i) {
        menu->removeAction(old[i]);
        if (old[i]->parent() == menu) delete old[i];
    }

    // 2, 3. The formats the user may use; a failure leaves the fixed entry alone.
    std::vector<PrnMenuEntry> entries;
    try {
        entries = LoadPrnMenuEntries(GetSharedConnection(), FormKey, CurUserCode(), UStationID(), CurVER());
    } catch (...) {
        LogException(currentExceptionMessage());
        entries.clear();
    }

    // 4, 5.
    if (!entries.empty()) {
        auto* sep = new QAction(QStringLiteral("-"), menu);
        sep->setObjectName(QStringLiteral("Distinct"));
        sep->setSeparator(true);
        sep->setProperty("MenuEntry", true);
        menu->addAction(sep);
    }
    bool anyTicked = false;
    for (const PrnMenuEntry& e : entries) {
        auto* item = new QAction(e.PrnName, menu);
        item->setObjectName(QStringLiteral("NO") + QString::number(e.SerialNo));
        item->setProperty("MenuEntry", true);
        item->setCheckable(true);
        item->setChecked(e.IsDefault);
        setActionTag(item, printMenu ? 1 : 0);
        anyTicked = anyTicked || e.IsDefault;
        connect(item, &QAction::triggered, this,
                [this, item] { guard([&] { PrnFmtItemClick(item); }, this); });
        menu->addAction(item);
    }
    // 6.
    (printMenu ? ActPrintDgrd : ActPreviewDgrd)->setChecked(!anyTicked);
}

void TfrmBase::PrnFmtItemClick(QAction* entry)
{
    ActPrintDgrd->setChecked(false);
    ActPreviewDgrd->setChecked(false);
    bool ok = false;
    int serial = entry->objectName().trimmed().mid(2).toInt(&ok);
    if (!ok) serial = 1;
    // The number is taken once the default is stored, so that the form never prints with a
    // format the table does not hold as the user's default.
    StorePrnDefault(GetSharedConnection(), FormKey, serial, CurUserCode(), UStationID());
    PrnSerialNo = serial;
    if (actionTag(entry) == 0)
        actPreviewExecute(entry);
    else
        actPrintExecute(entry);
}

// --- field rights -----------------------------------------------------------------------------

QStringList TfrmBase::maskedFieldNames() const
{
    QStringList names;
    if (!ShowCostFields) names << CostFields;
    if (!ShowQtyFields) names << QtyFields;
    return names;
}

void TfrmBase::collectOwned(QObject* parent, QList<QObject*>& out) const
{
    for (QObject* child : parent->children()) {
        // Another form owned by this one (a dialog it opened) owns its own components.
        if (child->isWidgetType() && qobject_cast<QDialog*>(child)) continue;
        out.append(child);
        // So does a frame placed on the form (class names "Tframe..."): the frame itself is
        // the form's, its components are not.
        if (qstrncmp(child->metaObject()->className(), "Tframe", 6) == 0) continue;
        collectOwned(child, out);
    }
}

void TfrmBase::ApplyFieldRights()
{
    const QStringList names = maskedFieldNames();
    if (names.isEmpty()) return;
    QList<QObject*> owned;
    collectOwned(this, owned);
    for (QObject* o : owned) {
        // Exactly these classes, not their descendants.
        const char* cls = o->metaObject()->className();
        if (qstrcmp(cls, "TClientDataSet") == 0)
            MaskDataSetFields(static_cast<TClientDataSet*>(o), names);
        else if (qstrcmp(cls, "TDBGridEh") == 0)
            MaskGridColumns(static_cast<TDBGridEh*>(o), names);
    }
}

void TfrmBase::ApplyFieldRightsTo(QObject* component)
{
    const QStringList names = maskedFieldNames();
    if (names.isEmpty()) return;
    if (auto* ds = qobject_cast<TClientDataSet*>(component)) MaskDataSetFields(ds, names);
}

// --- groups -----------------------------------------------------------------------------------

QString TfrmBase::GetUserGroups(const QString& userCode)
{
    QStringList quoted;
    for (const QString& group : PrnUserGroups(GetSharedConnection(), userCode)) quoted << QuotedStr(group);
    return quoted.join(QLatin1Char(','));
}
