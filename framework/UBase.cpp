#include "framework/UBase.h"

#include "framework/PrintFmtRules.h"
#include "framework/SharedUtils.h"
#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "platform/grid/GridServices.h"
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
#include <QStringView>
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

// The standard action set in resource order: where the form keeps the action, its name,
// category, caption, hint, image index (-1: none), shortcut (0: none), Tag, flags and handler.
enum ActionFlag { Hidden = 1, Checkable = 2 };

struct StandardAction {
    QAction* TfrmBase::*slot;
    const char* name;
    const char* category;
    QStringView caption;
    QStringView hint;
    int image;
    int shortcut;
    int tag;
    int flags;
    void (TfrmBase::*handler)(QObject*);
};

const StandardAction kStandardActions[] = {
    {&TfrmBase::actConvert, "actConvert", "File", u"数据格式转化(&R)", u"数据格式转化", -1, 0, 1, 0,
     &TfrmBase::actConvertExecute},
    {&TfrmBase::actConvertToExcel, "actConvertToExcel", "File", u"Excel文件格式(&E)...", u"Excel文件格式", -1, 0, 0, 0,
     &TfrmBase::actConvertToExcelExecute},
    {&TfrmBase::actConvertToText, "actConvertToText", "File", u"文本格式(&T)...", u"文本格式", -1, 0, 0, 0,
     &TfrmBase::actConvertToTextExecute},
    {&TfrmBase::actConvertToHtml, "actConvertToHtml", "File", u"HTML格式(&P)...", u"HTML格式", -1, 0, 0, 0,
     &TfrmBase::actConvertToHtmlExecute},
    {&TfrmBase::actConvertToOther, "actConvertToOther", "File", u"其它格式(&O)...", u"其它格式", -1, 0, 0, 0,
     &TfrmBase::actConvertToOtherExecute},
    {&TfrmBase::actPrnFmtDesign, "actPrnFmtDesign", "File", u"打印格式设置(&D)...", u"打印格式设置", -1, 0, 0, 0,
     &TfrmBase::actPrnFmtDesignExecute},
    {&TfrmBase::actPreview, "actPreview", "File", u"打印预览(&V)...", u"打印预览", 0, 0, 0, 0,
     &TfrmBase::actPreviewExecute},
    {&TfrmBase::actPrint, "actPrint", "File", u"打印(&P)", u"打印", 1, (Qt::CTRL | Qt::Key_P).toCombined(), 0, 0,
     &TfrmBase::actPrintExecute},
    {&TfrmBase::actAdd, "actAdd", "Operate", u"增加(&A)", u"增加", 3, Qt::Key_F1, 0, 0,
     &TfrmBase::actAddExecute},
    {&TfrmBase::actEdit, "actEdit", "Operate", u"修改(&E)", u"修改", 4, Qt::Key_F2, 0, 0,
     &TfrmBase::actEditExecute},
    {&TfrmBase::actDelete, "actDelete", "Operate", u"删除(&D)", u"删除", 5, Qt::Key_F3, 0, 0,
     &TfrmBase::actDeleteExecute},
    {&TfrmBase::actSave, "actSave", "Operate", u"保存(&S)", u"保存", 6, Qt::Key_F4, 0, 0,
     &TfrmBase::actSaveExecute},
    {&TfrmBase::actCancel, "actCancel", "Operate", u"取消(&C)", u"取消", 7, Qt::Key_Escape, 0, 0,
     &TfrmBase::actCancelExecute},
    {&TfrmBase::actFirst, "actFirst", "Operate", u"首条(&F)", u"首条", 8, 0, 0, 0,
     &TfrmBase::actFirstExecute},
    {&TfrmBase::actPrior, "actPrior", "Operate", u"上条(&P)", u"上条", 9, 0, 0, 0,
     &TfrmBase::actPriorExecute},
    {&TfrmBase::actNext, "actNext", "Operate", u"下条(&N)", u"下条", 10, 0, 0, 0,
     &TfrmBase::actNextExecute},
    {&TfrmBase::actLast, "actLast", "Operate", u"末条(&L)", u"末条", 11, 0, 0, 0,
     &TfrmBase::actLastExecute},
    {&TfrmBase::actColumn, "actColumn", "Operate", u"选择列(&M)...", u"选择列", 12, 0, 0, 0,
     &TfrmBase::actColumnExecute},
    {&TfrmBase::actSort, "actSort", "Operate", u"排序(&O)...", u"排序", 13, 0, 0, 0,
     &TfrmBase::actSortExecute},
    {&TfrmBase::actQuery, "actQuery", "Operate", u"查询条件(&Q)...", u"查询条件", 14, 0, 0, 0,
     &TfrmBase::actQueryExecute},
    {&TfrmBase::actFilt, "actFilt", "Operate", u"过滤(&T)...", u"过滤", 15, 0, 0, 0,
     &TfrmBase::actFiltExecute},
    {&TfrmBase::actFind, "actFind", "Operate", u"定位(&G)...", u"定位", 16, 0, 0, 0,
     &TfrmBase::actFindExecute},
    {&TfrmBase::actClose, "actClose", "File", u"关闭(&X)", u"关闭", 2, 0, 1, 0,
     &TfrmBase::actCloseExecute},
    {&TfrmBase::actCheck, "actCheck", "Assess", u"审核", u"", 22, 0, 0, 0,
     &TfrmBase::actCheckExecute},
    {&TfrmBase::actApply, "actApply", "Assess", u"申请", u"", -1, 0, 0, Hidden,
     &TfrmBase::actApplyExecute},
    {&TfrmBase::actAssess, "actAssess", "Assess", u"审批", u"", -1, 0, 0, Hidden,
     &TfrmBase::actAssessExecute},
    {&TfrmBase::actAccount, "actAccount", "Assess", u"入账", u"", 23, 0, 0, 0,
     &TfrmBase::actAccountExecute},
    {&TfrmBase::actFormat, "actFormat", "Operate", u"列格式(&T)...", u"列格式", -1, 0, 0, 0,
     &TfrmBase::actFormatExecute},
    {&TfrmBase::actGraph, "actGraph", "Operate", u"图形(&G)...", u"图形", 17, 0, 0, 0,
     &TfrmBase::actGraphExecute},
    {&TfrmBase::actDetail, "actDetail", "Operate", u"详细(&I)...", u"详细", 18, 0, 0, 0,
     &TfrmBase::actDetailExecute},
    {&TfrmBase::actRefresh, "actRefresh", "Operate", u"刷新(&R)", u"刷新", 19, Qt::Key_F5, 0, 0,
     &TfrmBase::actRefreshExecute},
    {&TfrmBase::ActPrintDgrd, "ActPrintDgrd", "Operate", u"所见即所得", u"", -1, 0, 100, Checkable,
     &TfrmBase::ActPrintDgrdExecute},
    {&TfrmBase::ActPreviewDgrd, "ActPreviewDgrd", "Operate", u"所见即所得", u"", -1, 0, 100, Checkable,
     &TfrmBase::ActPreviewDgrdExecute},
    {&TfrmBase::ActSetCalc, "ActSetCalc", "Operate", u"自定义列(&U)...", u"", 21, 0, 0, 0,
     &TfrmBase::ActSetCalcExecute},
};

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

    for (const StandardAction& s : kStandardActions) {
        QAction* a = addFormAction(s.name, s.category, s.caption.toString(), s.hint.toString(), s.image,
                                   s.shortcut ? QKeySequence(s.shortcut) : QKeySequence(), s.tag,
                                   s.handler);
        if (s.flags & Hidden) {
            a->setEnabled(false);
            a->setVisible(false);
        }
        // The basic-format actions carry the tick of the menus' first entry.
        if (s.flags & Checkable) a->setCheckable(true);
        this->*s.slot = a;
    }

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

void TfrmBase::FormCreate(QObject*)
{
    Closing = false;
    OrgListKind = 0;
    actPrnFmtDesign->setVisible(URightPrnFmt());
    UseCalcFields = true;
    UseQryFrame = true;
    if (!CalcFieldDefs) CalcFieldDefs = std::make_unique<QStringList>();
    ResetImeNames(this, QString());
    CheckFieldRights = true;
    ShowQtyFields = true;
    ShowCostFields = true;
    QtyFields.clear();
    CostFields.clear();
    AddSplitText(&QtyFields, QString::fromLatin1(kQtyFieldText), QLatin1Char(','));
    AddSplitText(&CostFields, QString::fromLatin1(kCostFieldText), QLatin1Char(','));
}

void TfrmBase::FormShow(QObject*)
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

void TfrmBase::FormClose(QObject*, TCloseAction& action)
{
    CalcFieldDefs.reset();
    Closing = true;
    action = caFree;
}

void TfrmBase::actCloseExecute(QObject*) { close(); }

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

void TfrmBase::actFirstExecute(QObject*)
{
    if (TClientDataSet* ds = sourceDataSet(RecordActionSource)) ds->First();
}

void TfrmBase::actPriorExecute(QObject*)
{
    if (TClientDataSet* ds = sourceDataSet(RecordActionSource)) ds->Prior();
}

void TfrmBase::actNextExecute(QObject*)
{
    if (TClientDataSet* ds = sourceDataSet(RecordActionSource)) ds->Next();
}

void TfrmBase::actLastExecute(QObject*)
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
