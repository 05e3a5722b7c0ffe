// qorhost: the suite shell. Opens the database (the embedded demo database, created with the
// demo data on first start, or an ODBC connection string), sets the session and shows the main
// window with the suite's menu.
#include "host/include/Appres.h"
#include "host/include/PubProcDll.h"
#include "host/app/MainWindow.h"
#include "platform/db/Db.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"
#include "schema/Schema.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

bool g_unattended = false;

int fail(const QString& text)
{
    if (!g_unattended) std::fprintf(stderr, "qorhost: %s\n", text.toUtf8().constData());
    promptMessage(UGetProductName_CH(), text, MsgFlags::OK | MsgFlags::IconError);
    return 1;
}

QString defaultDatabase()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tryout/demo.db");
}

// The embedded database; a new file gets the schema and the demo data. A file whose set-up
// failed is removed, so that the next start tries again.
std::unique_ptr<TADOConnection> openEmbedded(const QString& path)
{
    const bool fresh = !QFileInfo::exists(path);
    if (fresh) QDir().mkpath(QFileInfo(path).absolutePath());
    try {
        auto conn = TADOConnection::openSqlite(path);
        if (fresh) Schema::createDatabase(*conn, true);
        return conn;
    } catch (...) {
        if (fresh) {
            QFile::remove(path);
            QFile::remove(path + QStringLiteral("-wal"));
            QFile::remove(path + QStringLiteral("-shm"));
        }
        throw;
    }
}

// With --screenshot nobody is there to answer: every box and dialog is written to stderr and
// answered as cancelled, so the program never waits.
class UnattendedPrompter : public Prompter {
public:
    PromptAnswer ask(const PromptCall& c, QWidget*, QPrinter*) override
    {
        std::fprintf(stderr, "qorhost: %s: %s\n", c.caption.toUtf8().constData(), c.text.toUtf8().constData());
        PromptAnswer a;
        a.accepted = false;
        const int buttons = c.flags & 0x0F;
        a.button = buttons == MsgFlags::OK ? MsgResult::OK : buttons == MsgFlags::YesNo ? MsgResult::No : MsgResult::Cancel;
        return a;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::setOrganizationName(QStringLiteral("Tamrek"));
    QCoreApplication::setApplicationName(QStringLiteral("qorhost"));
    QGuiApplication::setApplicationDisplayName(UGetProductName_CH());
    setGuardCaption(UGetProductName_CH());

    QCommandLineParser cl;
    cl.setApplicationDescription(QStringLiteral("The suite shell of the try-out module."));
    cl.addHelpOption();
    const QCommandLineOption dbOpt(QStringLiteral("db"), QStringLiteral("Embedded database file (default: %1).").arg(defaultDatabase()),
                                   QStringLiteral("FILE"));
    const QCommandLineOption odbcOpt(QStringLiteral("odbc"), QStringLiteral("ODBC connection string."),
                                     QStringLiteral("CONNECTION STRING"));
    const QCommandLineOption userOpt(QStringLiteral("user"), QStringLiteral("User code (default: the session file's, else 1001)."),
                                     QStringLiteral("CODE"));
    const QCommandLineOption stationOpt(QStringLiteral("station"), QStringLiteral("Workstation identifier."),
                                        QStringLiteral("ID"));
    const QCommandLineOption shopOpt(QStringLiteral("shop"),
                                     QStringLiteral("Run as the shop station of this organisation code (default: head office)."),
                                     QStringLiteral("CODE"));
    const QCommandLineOption shotOpt(QStringLiteral("screenshot"),
                                     QStringLiteral("Render the main window to a PNG file and exit."), QStringLiteral("FILE"));
    const QCommandLineOption openOpt(QStringLiteral("open"),
                                     QStringLiteral("Open a function at start: tryout (试用品试用) or report (试用品统计报表)."),
                                     QStringLiteral("FUNCTION"));
    cl.addOptions({dbOpt, odbcOpt, userOpt, stationOpt, shopOpt, shotOpt, openOpt});
    cl.process(app);
    const char* openEntry = nullptr;
    if (cl.isSet(openOpt)) {
        const QString f = cl.value(openOpt);
        if (f == QLatin1String("tryout")) openEntry = "frmTryoutMngShow";
        else if (f == QLatin1String("report")) openEntry = "frmSpRptShow";
        else {
            std::fprintf(stderr, "qorhost: --open takes tryout or report\n");
            return 2;
        }
    }
    UnattendedPrompter unattended;
    if (cl.isSet(shotOpt)) {
        g_unattended = true;
        Prompter::install(&unattended);
        setModalHook([](QDialog* d) {
            std::fprintf(stderr, "qorhost: dialog %s not shown\n", d->windowTitle().toUtf8().constData());
            return int(QDialog::Rejected);
        });
    }
    if (cl.isSet(dbOpt) && cl.isSet(odbcOpt)) {
        std::fprintf(stderr, "qorhost: --db and --odbc exclude each other\n");
        return 2;
    }

    std::unique_ptr<TADOConnection> conn;
    QString dbText;
    try {
        if (cl.isSet(odbcOpt)) {
            conn = TADOConnection::openOdbc(cl.value(odbcOpt));
        } else {
            const QString path = cl.isSet(dbOpt) ? cl.value(dbOpt) : defaultDatabase();
            conn = openEmbedded(path);
        }
        dbText = conn->description();
    } catch (...) {
        return fail(QStringLiteral("数据库打开失败：") + currentExceptionMessage());
    }

    QorSession base;
    base.userCode = QStringLiteral("1001");
    QorSession s = loadSessionFile(defaultSessionFile(), base);
    if (cl.isSet(userOpt)) s.userCode = cl.value(userOpt).trimmed();
    if (cl.isSet(stationOpt)) s.stationId = cl.value(stationOpt).trimmed();
    if (cl.isSet(shopOpt)) {
        s.isCenter = false;
        s.branchNo = cl.value(shopOpt).trimmed();
        s.shopName.clear();
    }
    try {
        if (!completeSession(s, *conn)) return fail(QStringLiteral("用户 %1 不存在！").arg(s.userCode));
    } catch (...) {
        return fail(QStringLiteral("读取用户资料失败：") + currentExceptionMessage());
    }
    setQorSession(s);
    qorHostConnection() = conn.get();

    int rc = 0;
    {
        MainWindow w(dbText);
        w.show();
        if (openEntry) QTimer::singleShot(0, &w, [&] { w.openFunction(openEntry); });
        if (cl.isSet(shotOpt)) {
            const QString file = cl.value(shotOpt);
            QTimer::singleShot(0, &w, [&] {
                // The form a function opened, else the main window.
                QWidget* shown = w.lastForm();
                if (!shown || !shown->isVisible()) shown = &w;
                const bool ok = shown->grab().save(file, "PNG");
                if (!ok) std::fprintf(stderr, "qorhost: cannot write %s\n", file.toUtf8().constData());
                app.exit(ok ? 0 : 1);
            });
        }
        rc = app.exec();
        // The module's forms close (and save their settings) while the connection is open.
        QApplication::closeAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    qorHostConnection() = nullptr;
    setModalHook({});
    Prompter::install(nullptr);
    return rc;
}
