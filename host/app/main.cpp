// qorhost: the suite shell. Opens the database (the embedded demo database, created with the
// demo data on first start, or an ODBC connection string), sets the session and shows the main
// window with the suite's menu. With script steps on the command line it runs them on the opened
// form and exits.
#include "host/app/HostOptions.h"
#include "host/app/MainWindow.h"
#include "host/app/ShellScript.h"
#include "host/include/Appres.h"
#include "host/include/PubProcDll.h"
#include "platform/db/Db.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"
#include "schema/Schema.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

bool g_scripted = false;

int fail(const QString& text)
{
    // In a scripted run the prompter writes the box to standard error.
    if (!g_scripted) shellErr(text);
    promptMessage(UGetProductName_CH(), text, MsgFlags::OK | MsgFlags::IconError);
    return 1;
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
            for (const QString& suffix : {QString(), u"-wal"_s, u"-shm"_s}) QFile::remove(path + suffix);
        }
        throw;
    }
}

} // namespace

int main(int argc, char** argv)
{
    // The command line first: --help, --version and mistakes need no display.
    QStringList rawArgs;
    for (int i = 0; i < argc; ++i) rawArgs << QString::fromLocal8Bit(argv[i]);
    HostOptions opt;
    const int parsed = parseHostOptions(rawArgs, opt);
    if (parsed >= 0) return parsed;

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::setOrganizationName(u"Tamrek"_s);
    QCoreApplication::setApplicationName(u"qorhost"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(QOR_VERSION));
    QGuiApplication::setApplicationDisplayName(UGetProductName_CH());
    setGuardCaption(UGetProductName_CH());

    g_scripted = !opt.steps.empty();
    ScriptRunner runner(opt.steps);
    if (g_scripted) runner.install();

    std::unique_ptr<TADOConnection> conn;
    QString dbText;
    try {
        conn = opt.odbc.isEmpty() ? openEmbedded(opt.database) : TADOConnection::openOdbc(opt.odbc);
        dbText = conn->description();
    } catch (...) {
        return fail(u"数据库打开失败："_s + currentExceptionMessage());
    }

    QorSession base;
    base.userCode = u"1001"_s;
    QorSession s = loadSessionFile(defaultSessionFile(), base);
    if (!opt.user.isEmpty()) s.userCode = opt.user;
    if (!opt.station.isEmpty()) s.stationId = opt.station;
    if (!opt.shop.isEmpty()) {
        s.isCenter = false;
        s.branchNo = opt.shop;
        s.shopName.clear();
    }
    try {
        if (!completeSession(s, *conn)) return fail(u"用户 %1 不存在！"_s.arg(s.userCode));
    } catch (...) {
        return fail(u"读取用户资料失败："_s + currentExceptionMessage());
    }
    setQorSession(s);
    qorHostConnection() = conn.get();

    int rc = 0;
    {
        MainWindow w(dbText);
        runner.setWindow(&w);
        w.show();
        QObject::connect(&runner, &ScriptRunner::finished, &app, [](int code) { QCoreApplication::exit(code); });
        QTimer::singleShot(0, &w, [&] {
            if (!opt.openEntry.isEmpty()) w.openFunction(opt.openEntry);
            // The steps run once the opened form has shown.
            if (g_scripted) runner.start();
        });
        rc = app.exec();
        // The forms close (and store their settings) while the connection is open.
        w.closeForms();
        QApplication::closeAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // A box raised while the forms closed still counts.
    if (g_scripted) rc = std::max(rc, runner.exitCode());
    qorHostConnection() = nullptr;
    return rc;
}
