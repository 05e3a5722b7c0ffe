#include "browse/BrowseKit.h"

#include "framework/UBase.h"
#include "framework/URightCtl.h"
#include "host/include/PubProcDll.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/db/Db.h"

#include <QAction>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

void follow(QAction* stand, QAction* action)
{
    stand->setEnabled(action->isEnabled());
    stand->setVisible(action->isVisible());
    stand->setCheckable(action->isCheckable());
    stand->setChecked(action->isChecked());
    stand->setToolTip(action->toolTip());
    stand->setStatusTip(action->statusTip());
}

// A cursor that counts the rows passing through it and reports them now and then.
class ProgressCursor final : public DbCursor {
public:
    ProgressCursor(DbCursor& inner, const std::function<void(qint64)>& progress)
        : m_inner(inner), m_progress(progress)
    {
    }
    int columnCount() const override { return m_inner.columnCount(); }
    QString columnName(int i) const override { return m_inner.columnName(i); }
    DbType declaredType(int i) const override { return m_inner.declaredType(i); }
    bool atEnd() const override { return m_inner.atEnd(); }
    void next() override
    {
        m_inner.next();
        if (++m_rows % HeadLoadProgressStep == 0 && m_progress) m_progress(m_rows);
    }
    DbType type(int i) const override { return m_inner.type(i); }
    qint64 int64(int i) const override { return m_inner.int64(i); }
    double dbl(int i) const override { return m_inner.dbl(i); }
    std::string_view utf8(int i) const override { return m_inner.utf8(i); }

private:
    DbCursor& m_inner;
    const std::function<void(qint64)>& m_progress;
    qint64 m_rows = 0;
};

} // namespace

QAction* mirrorAction(QAction* action, const QString& caption, QObject* parent)
{
    auto* stand = new QAction(caption.isEmpty() ? action->text() : caption, parent);
    stand->setIcon(action->icon());
    // Not one of the form's own actions: the show handler leaves it to follow its action.
    stand->setProperty("MenuEntry", true);
    follow(stand, action);
    QObject::connect(action, &QAction::changed, stand, [stand, action] { follow(stand, action); });
    QObject::connect(stand, &QAction::triggered, action, [stand, action] {
        // A checkable stand-in flips itself on the click; the action decides the tick.
        action->trigger();
        stand->setChecked(action->isChecked());
    });
    return stand;
}

QAction* addMenuEntry(QMenu* menu, const char* name, QAction* action, const QString& caption, int image,
                      const QKeySequence* shortcut, QWidget* shortcutScope)
{
    QAction* entry = mirrorAction(action, caption, menu);
    entry->setObjectName(QString::fromLatin1(name));
    if (image >= 0) entry->setIcon(TfrmBase::baseImage(image));
    if (shortcut && !shortcut->isEmpty()) {
        entry->setShortcut(*shortcut);
        if (shortcutScope) {
            entry->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            shortcutScope->addAction(entry);
        }
    }
    menu->addAction(entry);
    return entry;
}

QMenu* addSubMenuEntry(QMenu* menu, const char* name, QAction* action)
{
    auto* sub = new QMenu(action->text(), menu);
    sub->setObjectName(QString::fromLatin1(name) + u"Menu"_s);
    QAction* entry = sub->menuAction();
    entry->setObjectName(QString::fromLatin1(name));
    entry->setProperty("MenuEntry", true);
    const auto sync = [entry, action] {
        entry->setEnabled(action->isEnabled());
        entry->setVisible(action->isVisible());
    };
    sync();
    QObject::connect(action, &QAction::changed, entry, sync);
    menu->addMenu(sub);
    return sub;
}

QAction* addMenuSeparator(QMenu* menu, const char* name)
{
    QAction* sep = menu->addSeparator();
    sep->setObjectName(QString::fromLatin1(name));
    sep->setProperty("MenuEntry", true);
    return sep;
}

QToolBar* makeBrowseToolBar(QWidget* parent, const char* name)
{
    auto* bar = new QToolBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(24, 24));
    bar->setMovable(false);
    bar->setFloatable(false);
    return bar;
}

QToolButton* addToolButton(QToolBar* bar, const char* name, QAction* action, const QString& caption,
                           QMenu* dropDown)
{
    QAction* stand = mirrorAction(action, caption, bar);
    stand->setObjectName(QString::fromLatin1(name) + u"Action"_s);
    bar->addAction(stand);
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(stand));
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    button->setMinimumSize(43, 43);
    if (dropDown) {
        button->setMenu(dropDown);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    return button;
}

QAction* addToolSeparator(QToolBar* bar, const char* name)
{
    QAction* sep = bar->addSeparator();
    sep->setObjectName(QString::fromLatin1(name));
    sep->setProperty("MenuEntry", true);
    return sep;
}

TBrowseRights ReadBrowseRights(TRightCtl& rights)
{
    TBrowseRights r;
    r.Add = rights.HasRight(u"01"_s);
    r.Edit = rights.HasRight(u"02"_s);
    r.Delete = rights.HasRight(u"03"_s);
    r.Query = rights.HasRight(u"04"_s);
    r.Export = rights.HasRight(u"06"_s);
    r.Print = rights.HasRight(u"05"_s);
    r.PrnFmt = rights.HasRight(u"OP01"_s);
    r.Qty = rights.HasRight(u"OP07"_s);
    r.Cost = rights.HasRight(u"OP08"_s);
    return r;
}

TBrowseRightFlags::TBrowseRightFlags() = default;
TBrowseRightFlags::~TBrowseRightFlags() = default;

std::exception_ptr TBrowseRightFlags::showReadingRights(TfrmBase& form, const std::function<void()>& baseShow)
{
    form.CheckFieldRights = false;
    std::exception_ptr baseError;
    try {
        baseShow();
    } catch (...) {
        baseError = std::current_exception();
    }
    m_rights = std::make_unique<TRightCtl>(CurUserCode(), form.FunCode);
    const TBrowseRights r = ReadBrowseRights(*m_rights);
    RightAdd = r.Add;
    RightEdit = r.Edit;
    RightDelete = r.Delete;
    RightQuery = r.Query;
    RightExport = r.Export;
    RightPrint = r.Print;
    RightPrnFmt = r.PrnFmt;
    form.ShowQtyFields = r.Qty;
    form.ShowCostFields = r.Cost;
    form.ApplyFieldRights();
    return baseError;
}

void LoadHeadRows(TADOQuery& query, TClientDataSet& ds, const std::function<void(qint64)>& progress)
{
    struct CloseAfter {
        TADOQuery& q;
        ~CloseAfter() { q.Close(); }
    } closer{query};
    if (!query.Active()) query.Open();
    else query.First();
    DbCursor* cursor = query.cursor();
    if (!cursor) throw DatasetError(u"查询没有结果"_s);
    ProgressCursor counted(*cursor, progress);
    ds.loadFromCursor(counted);
}

TLoadProgress::TLoadProgress(QLabel* label) : m_label(label)
{
    if (m_label) m_saved = m_label->text();
}

TLoadProgress::~TLoadProgress()
{
    if (m_label && m_reports > 0) m_label->setText(m_saved);
}

void TLoadProgress::report(qint64 rows)
{
    if (!m_label) return;
    ++m_reports;
    m_label->setText(u"正在读取：%1 行"_s.arg(rows));
    // Painted now: the event loop is not entered from inside the handler.
    m_label->repaint();
}
