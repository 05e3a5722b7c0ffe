// The reference host: session loading, the host libraries' answers, and qorhost started as a
// program (embedded demo database created on first start, screenshot, missing functions).
#include "host/include/Appres.h"
#include "host/include/PubProcDll.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>

#include <dlfcn.h>

namespace {

void writeText(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

struct HostRun {
    int exitCode = -1;
    QString err;
};

// Runs qorhost on the offscreen platform with its own configuration and data folders.
HostRun runHost(const QString& home, const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("QOR_LOG_DIR"), home + QStringLiteral("/log"));
    env.insert(QStringLiteral("QOR_REGISTRY"), home + QStringLiteral("/registry.ini"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QOR_BIN_DIR "/qorhost"), args);
    HostRun r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

TEST(Session, FileValuesOverTheDefaultsAndMissingKeysKeepThem)
{
    const QString dir = testTempDir();
    const QString ini = dir + QStringLiteral("/session.ini");
    writeText(ini, QStringLiteral("[Session]\nUserCode=2001\nStationID=POS-07\nIsCenter=false\nBranchNo=0101\n"
                                  "Version=0\nRightColumn=0\nGridColor=0x00C0FFEE\n"));
    QorSession base;
    base.userCode = QStringLiteral("1001");
    base.clerkCaption = QStringLiteral("导购");
    const QorSession s = loadSessionFile(ini, base);
    EXPECT_EQ(s.userCode, QStringLiteral("2001"));
    EXPECT_EQ(s.stationId, QStringLiteral("POS-07"));
    EXPECT_FALSE(s.isCenter);
    EXPECT_EQ(s.branchNo, QStringLiteral("0101"));
    EXPECT_EQ(s.version, QStringLiteral("0"));
    EXPECT_FALSE(s.rightColumn);
    EXPECT_TRUE(s.rightPrnFmt);
    EXPECT_EQ(s.gridColor, 0x00C0FFEEu);
    EXPECT_EQ(s.clerkCaption, QStringLiteral("导购"));

    const QorSession none = loadSessionFile(dir + QStringLiteral("/missing.ini"), base);
    EXPECT_EQ(none.userCode, QStringLiteral("1001"));
}

TEST(Session, CompletedFromTheDatabaseAndAnsweredByTheContextFunctions)
{
    auto db = makeTestDb(true);
    QorSession head;
    head.userCode = QStringLiteral("1001");
    ASSERT_TRUE(completeSession(head, *db));
    EXPECT_EQ(head.userName, QStringLiteral("王芳"));
    EXPECT_EQ(head.branchNo, QStringLiteral("0001"));
    EXPECT_EQ(head.shopName, QStringLiteral("总部"));
    EXPECT_FALSE(head.stationId.isEmpty());

    QorSession shop;
    shop.userCode = QStringLiteral("2001");
    shop.isCenter = false;
    shop.branchNo = QStringLiteral("0101");
    shop.stationId = QStringLiteral("POS-07");
    ASSERT_TRUE(completeSession(shop, *db));
    setQorSession(shop);
    EXPECT_EQ(CurUserCode(), QStringLiteral("2001"));
    EXPECT_EQ(CurUserName(), QStringLiteral("张丽"));
    EXPECT_EQ(sBranchNo(), QStringLiteral("0101"));
    EXPECT_EQ(sShopName(), QStringLiteral("一楼化妆品"));
    EXPECT_EQ(UStationID(), QStringLiteral("POS-07"));
    EXPECT_FALSE(UIsCenter());
    EXPECT_TRUE(UIsShop());
    EXPECT_FALSE(UGetProductName_CH().isEmpty());

    QorSession unknown;
    unknown.userCode = QStringLiteral("x' or ''='");
    EXPECT_FALSE(completeSession(unknown, *db));
    EXPECT_TRUE(unknown.userName.isEmpty());
    setQorSession(QorSession{});
}

TEST(QorHostProgram, CreatesTheDemoDatabaseOnFirstStartAndRendersTheMainWindow)
{
    const QString home = testTempDir();
    const QString dbFile = home + QStringLiteral("/data/tryout/demo.db"); // the default place
    const QString shot = home + QStringLiteral("/main.png");
    HostRun r = runHost(home, {QStringLiteral("--screenshot"), shot});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QImage img(shot);
    ASSERT_FALSE(img.isNull());
    EXPECT_GE(img.width(), 640);
    EXPECT_GE(img.height(), 400);
    ASSERT_TRUE(QFile::exists(dbFile));
    {
        auto db = TADOConnection::openSqlite(dbFile);
        EXPECT_EQ(queryRows(*db, QStringLiteral("select StaffName from Staffs where StaffCode='1001'")),
                  QStringList{QStringLiteral("王芳")});
        TADOQuery q(db.get());
        q.SQL << QStringLiteral("insert into Staffs (StaffCode, StaffName) values ('9999', '标记')");
        q.ExecSQL();
    }
    // The second start opens the same database instead of creating it again.
    r = runHost(home, {QStringLiteral("--screenshot"), shot, QStringLiteral("--user"), QStringLiteral("QVW")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    auto db = TADOConnection::openSqlite(dbFile);
    EXPECT_EQ(queryRows(*db, QStringLiteral("select StaffName from Staffs where StaffCode='9999'")),
              QStringList{QStringLiteral("标记")});
}

TEST(QorHostProgram, RefusesAnUnknownUserAndAnUnreadableDatabase)
{
    const QString home = testTempDir();
    const QString dbFile = home + QStringLiteral("/demo.db");
    HostRun r = runHost(home, {QStringLiteral("--db"), dbFile, QStringLiteral("--user"), QStringLiteral("8888"),
                           QStringLiteral("--screenshot"), home + QStringLiteral("/x.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("用户 8888 不存在！"))) << r.err.toStdString();

    // The session file names the user when the command line does not.
    writeText(home + QStringLiteral("/config/Tamrek/session.ini"), QStringLiteral("[Session]\nUserCode=7777\n"));
    r = runHost(home, {QStringLiteral("--db"), dbFile, QStringLiteral("--screenshot"), home + QStringLiteral("/x.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("用户 7777 不存在！"))) << r.err.toStdString();

    writeText(home + QStringLiteral("/junk.db"), QStringLiteral("this is not a database, not at all, no tables here"));
    r = runHost(home, {QStringLiteral("--db"), home + QStringLiteral("/junk.db"), QStringLiteral("--screenshot"),
                       home + QStringLiteral("/x.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("失败"))) << r.err.toStdString();
}

TEST(QorHostProgram, OpensAFunctionThroughTheModulesEntryPoint)
{
    const QString home = testTempDir();
    const QString shot = home + QStringLiteral("/form.png");
    HostRun r = runHost(home, {QStringLiteral("--db"), home + QStringLiteral("/demo.db"), QStringLiteral("--open"),
                           QStringLiteral("tryout"), QStringLiteral("--screenshot"), shot});
    // The module the shell loads, looked into the same way (the test program does not link it).
    void* module = dlopen(QOR_BIN_DIR "/libtryout.so", RTLD_NOW | RTLD_GLOBAL);
    const bool exported = module && dlsym(module, "frmTryoutMngShow") != nullptr;
    // A missing entry is said in an error box, which fails a scripted run.
    ASSERT_EQ(r.exitCode, exported ? 0 : 1) << r.err.toStdString();
    EXPECT_FALSE(QImage(shot).isNull());
    EXPECT_EQ(r.err.contains(QStringLiteral("函数连接错误！")), !exported) << r.err.toStdString();
}
