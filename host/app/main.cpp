// qorhost: the suite shell. Opens the database (the embedded demo database, created with the
// demo data on first start, or an ODBC connection string), sets the session and shows the main
// window with the suite's menu.
#include "host/Appres/Appres.h"
#include "host/PubProcDll/PubProcDll.h"
#include "host/app/MainWindow.h"
#include "platform/db/Db.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"
#include "schema/Schema.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

int fail(const QString& text)
{
    std::fprintf(stderr, "qorhost: %s\n", text.toUtf8().constData());
    if (!QGuiApplication::platformName().isEmpty())
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
    cl.addOptions({dbOpt, odbcOpt, userOpt, stationOpt, shopOpt, shotOpt});
    cl.process(app);
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
        if (cl.isSet(shotOpt)) {
            const QString file = cl.value(shotOpt);
            QTimer::singleShot(0, &w, [&] {
                const bool ok = w.grab().save(file, "PNG");
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
    return rc;
}
