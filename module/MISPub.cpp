#include "module/MISPub.h"

#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "platform/ui/Guard.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QPointer>
#include <QWidget>

#include <dlfcn.h>

// --- shared connection ----------------------------------------------------------------------

namespace {

const char kConnLibrary[] = "libQorPubConn.so";

using USysDbConnProc = TADOConnection* (*)();

// Handle of the connection library, kept for the life of the module once loaded.
void*& connLibrary()
{
    static void* h = nullptr;
    return h;
}

} // namespace

QString ModuleFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&GetSharedConnection), &info) && info.dli_fname)
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
    return QCoreApplication::applicationDirPath();
}

QString SharedConnectionLibraryPath()
{
    return QDir(ModuleFolder()).filePath(QString::fromLatin1(kConnLibrary));
}

TADOConnection* GetSharedConnection()
{
    void*& h = connLibrary();
    if (!h) {
        h = dlopen(QFile::encodeName(SharedConnectionLibraryPath()).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!h) h = dlopen(kConnLibrary, RTLD_NOW | RTLD_LOCAL);
        if (!h) return nullptr; // the next call tries again
    }
    auto proc = reinterpret_cast<USysDbConnProc>(dlsym(h, "USysDbConn"));
    if (!proc) return nullptr;
    return proc();
}

// --- query component ------------------------------------------------------------------------

void TQorAdoQry::OpenSized()
{
    FixParamSizes(*this);
    Open();
}

namespace {

QString recordText(const TDbErrorRecord& r)
{
    return r.SqlState.isEmpty() ? r.Description
                                : QStringLiteral("[%1] %2").arg(r.SqlState, r.Description);
}

// Whatever the provider reported besides a failure (success with info, warnings) is kept in the
// error log only; it never turns a completed statement into a failure.
void logProviderNotes(const TADOConnection* c, bool failed)
{
    if (!c) return;
    bool firstError = true;
    for (const TDbErrorRecord& r : c->Errors()) {
        if (failed && !r.Informational && firstError) {
            firstError = false; // the failure itself is reported by the caller
            continue;
        }
        LogException(recordText(r));
    }
}

} // namespace

int ExecChecked(TADOQuery& q)
{
    FixParamSizes(q);
    TADOConnection* c = q.connection();
    if (c) c->clearErrors();
    int rows = 0;
    try {
        rows = q.ExecSQL();
    } catch (const DbError& e) {
        logProviderNotes(c, true);
        if (c) {
            for (const TDbErrorRecord& r : c->Errors())
                if (!r.Informational) throw DbError(r.Description, r.Number, r.SqlState);
        }
        throw;
    }
    logProviderNotes(c, false);
    return rows;
}

// --- organisation list ----------------------------------------------------------------------

namespace {
// Codes compared as the server does: without regard to case, trailing blanks ignored.
bool sameCode(QString a, QString b)
{
    while (a.endsWith(QLatin1Char(' '))) a.chop(1);
    while (b.endsWith(QLatin1Char(' '))) b.chop(1);
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

bool IsAdminUser(const QString& userCode)
{
    return sameCode(userCode, QStringLiteral("QVW"));
}

QString OrgListFilter(int kind)
{
    switch (kind) {
    case 0: return QStringLiteral(" and 0=0");
    case 1: return QStringLiteral(" and OrgType='2'");
    case 2: return QStringLiteral(" and OrgType<>'2' and IsDbDeploy='1'");
    case 3: return QStringLiteral(" and OrgType<>'2' and IsDbDeploy='0'");
    case 4: return QStringLiteral(" and OrgType<>'2'");
    case 5: return QStringLiteral(" and (OrgType='2' or OrgType<>'2' and IsDbDeploy='1')");
    case 6: return QStringLiteral(" and (OrgType='2' or OrgType<>'2' and IsDbDeploy='0')");
    case 7: return QStringLiteral(" and OrgType='1'");
    default: return {};
    }
}

void BuildOrgList(QComboBox* combo, int orgListKind, bool withAll)
{
    combo->clear();
    const bool center = UIsCenter();
    if (center) {
        if (withAll) combo->addItem(QStringLiteral("<全部>"));
        const QString user = CurUserCode();
        TQorAdoQry q;
        q.Close();
        q.setConnection(GetSharedConnection());
        q.SQL.clear();
        q.SQL << QStringLiteral("select rtrim(OrgCode)+'-'+OrgName as OrgCode from SubShop")
              << QStringLiteral("where (exists(select OrgCode from UserOrg where OrgCode=SubShop.OrgCode")
              // The administrator sees every organisation of the kind.
              << QStringLiteral(" and StaffCode=:UserCode) or %1)")
                     .arg(IsAdminUser(user) ? QStringLiteral("1=1") : QStringLiteral("1=0"));
        const QString filter = OrgListFilter(orgListKind);
        if (!filter.isEmpty()) q.SQL << filter;
        q.SQL << QStringLiteral(" order by (case OrgType when '2' then '0' else '1' end),OrgCode");
        q.Parameters.ParamByName(QStringLiteral("UserCode")).Value = user;
        q.OpenSized();
        QStringList items;
        while (!q.Eof()) {
            items << q.FieldByName(QStringLiteral("OrgCode")).AsString();
            q.Next();
        }
        combo->addItems(items);
    } else {
        combo->addItem(sBranchNo() + QLatin1Char('-') + sShopName());
    }
    if (combo->count() > 0) combo->setCurrentIndex(0);
    combo->setEnabled(center);
}

// --- function rights ------------------------------------------------------------------------

bool HasFunctionRight(const QString& funCode, const QString& staffCode, const QString& optCode)
{
    TQorAdoQry q(GetSharedConnection());
    q.SQL << QStringLiteral("select R.* from XtRightFunc R,XtUserSub U where R.UGrpCode=U.UGrpCode"
                            " and U.StaffCode=:StaffCode and R.FunCode=:FunCode");
    q.Parameters.ParamByName(QStringLiteral("StaffCode")).Value = staffCode;
    q.Parameters.ParamByName(QStringLiteral("FunCode")).Value = funCode;
    q.OpenSized();
    if (q.Eof()) return false;
    if (optCode.isEmpty()) return true;
    while (!q.Eof()) {
        if (sameCode(q.FieldByName(QStringLiteral("FunCode")).AsString(), funCode) &&
            sameCode(q.FieldByName(QStringLiteral("OptCode")).AsString(), optCode))
            return true;
        q.Next();
    }
    return false;
}

// --- exit checks and focusing ---------------------------------------------------------------

namespace {

class ExitCheck : public QObject {
public:
    ExitCheck(QWidget* control, std::function<void()> onExit)
        : QObject(control), handler(std::move(onExit)), m_control(control)
    {
        setObjectName(QStringLiteral("qorExitCheck"));
        entered = control->hasFocus();
        control->installEventFilter(this);
    }

    std::function<void()> handler;
    int suspended = 0;
    bool entered = false;

protected:
    bool eventFilter(QObject* watched, QEvent* ev) override
    {
        if (watched != m_control) return false;
        if (ev->type() == QEvent::FocusIn) {
            entered = true;
        } else if (ev->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(ev)->reason();
            const bool leaves = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                                reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason ||
                                reason == Qt::OtherFocusReason;
            if (!leaves) return false; // the window lost activation; the focus comes back
            const bool wasEntered = entered;
            entered = false;
            if (suspended > 0 || !wasEntered || !handler) return false;
            // Only a move to another control of the same window is an exit (not a closing
            // window handing its focus away).
            QWidget* next = QApplication::focusWidget();
            if (!next || next == m_control || next->window() != m_control->window()) return false;
            std::function<void()> h = handler;
            guard(h, m_control->window());
        }
        return false;
    }

private:
    QWidget* m_control;
};

ExitCheck* exitCheckOf(QWidget* control)
{
    if (!control) return nullptr;
    return control->findChild<ExitCheck*>(QStringLiteral("qorExitCheck"), Qt::FindDirectChildrenOnly);
}

} // namespace

void SetOnExit(QWidget* control, std::function<void()> handler)
{
    if (!control) return;
    ExitCheck* c = exitCheckOf(control);
    if (!handler) {
        delete c;
        return;
    }
    if (c)
        c->handler = std::move(handler);
    else
        new ExitCheck(control, std::move(handler));
}

bool HasOnExit(QWidget* control)
{
    ExitCheck* c = exitCheckOf(control);
    return c && c->handler;
}

void FocusControl(QWidget* control)
{
    if (!control) return;
    QPointer<ExitCheck> check = exitCheckOf(control);
    if (check) ++check->suspended;
    struct Resume {
        QPointer<ExitCheck>& c;
        ~Resume()
        {
            if (c) --c->suspended;
        }
    } resume{check};

    auto canFocus = [](QWidget* w) {
        return w->isEnabled() && w->isVisible() && w->focusPolicy() != Qt::NoFocus;
    };
    QWidget* parent = control->parentWidget();
    if (control->isEnabled() && control->isVisible() && parent && canFocus(parent))
        parent->setFocus(Qt::OtherFocusReason);
    if (canFocus(control)) control->setFocus(Qt::OtherFocusReason);
}
