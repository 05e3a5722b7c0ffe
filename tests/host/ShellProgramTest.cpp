// qorhost and qorctl run as programs: the command line (help and version without a display, a
// wrong option exits 2) and the scripted mode on the real register list and entry form.
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>

using namespace Qt::StringLiterals;

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs a program of the build with its own configuration and data folders; display says whether
// it may reach a display (the offscreen platform) or gets none at all.
ProgramRun runProgram(const QString& program, const QString& home, const QStringList& args, bool display = true)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_s, home + u"/config"_s);
    env.insert(u"XDG_DATA_HOME"_s, home + u"/data"_s);
    env.insert(u"QOR_LOG_DIR"_s, home + u"/log"_s);
    env.insert(u"QOR_REGISTRY"_s, home + u"/registry.ini"_s);
    if (display) {
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    } else {
        for (const QString& v : {u"QT_QPA_PLATFORM"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s}) env.remove(v);
    }
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(home);
    p.start(QStringLiteral(QOR_BIN_DIR "/") + program, args);
    ProgramRun r;
    if (!p.waitForFinished(180000)) {
        p.kill();
        p.waitForFinished();
        r.err = u"timed out"_s;
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// A copy of the demo database for one test (made once, copied per test).
QString demoDb(const QString& home)
{
    static QString master;
    if (master.isEmpty()) {
        master = testTempDir() + u"/demo.db"_s;
        const ProgramRun r = runProgram(u"qorctl"_s, testTempDir(), {u"init-db"_s, master, u"--demo"_s});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    const QString copy = home + u"/demo.db"_s;
    QFile::copy(master, copy);
    return copy;
}

int count(const QString& dbFile, const QString& where)
{
    auto db = TADOConnection::openSqlite(dbFile);
    return queryRows(*db, u"select count(*) from TryOutBK where "_s + where).value(0).toInt();
}

QString readText(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}

QByteArray head(const QString& file, int n)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.read(n);
}

#define STDERR_OF(r) (r).err.toStdString()

} // namespace

TEST(QorHostCommandLine, HelpAndVersionNeedNoDisplayAndAWrongOptionExitsTwo)
{
    const QString home = testTempDir();
    ProgramRun r = runProgram(u"qorhost"_s, home, {u"--help"_s}, false);
    ASSERT_EQ(r.exitCode, 0) << STDERR_OF(r);
    for (const QString& opt : {u"--help"_s, u"--version"_s, u"--db"_s, u"--odbc"_s, u"--user"_s, u"--station"_s,
                               u"--shop"_s, u"--open"_s, u"--set"_s, u"--action"_s, u"--answer"_s, u"--export"_s,
                               u"--screenshot"_s, u"-platform"_s})
        EXPECT_TRUE(r.out.contains(opt)) << opt.toStdString();

    r = runProgram(u"qorhost"_s, home, {u"-v"_s}, false);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith(u"qorhost 1."_s)) << r.out.toStdString();

    r = runProgram(u"qorhost"_s, home, {u"--colour"_s, u"red"_s}, false);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(u"colour"_s) && r.err.contains(u"Usage: qorhost"_s)) << STDERR_OF(r);
    EXPECT_TRUE(r.out.isEmpty());
    r = runProgram(u"qorhost"_s, home, {u"--export"_s, u"list.doc"_s}, false);
    EXPECT_EQ(r.exitCode, 2);
    // Nothing was created for a command line that was refused.
    EXPECT_FALSE(QFileInfo::exists(home + u"/data/tryout/demo.db"_s));
}

TEST(QorCtlCommandLine, HelpAndVersionExitZeroAndAWrongOptionPrintsTheUsageAndExitsTwo)
{
    const QString home = testTempDir();
    ProgramRun r = runProgram(u"qorctl"_s, home, {u"--help"_s}, false);
    ASSERT_EQ(r.exitCode, 0) << STDERR_OF(r);
    for (const QString& opt : {u"init-db"_s, u"--demo"_s, u"--trials"_s, u"--seed"_s, u"sql"_s, u"check-db"_s,
                               u"--odbc"_s, u"initials"_s, u"--help"_s, u"--version"_s})
        EXPECT_TRUE(r.out.contains(opt)) << opt.toStdString();
    r = runProgram(u"qorctl"_s, home, {u"--version"_s}, false);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith(u"qorctl 1."_s)) << r.out.toStdString();

    for (const QStringList& wrong : {QStringList{u"--bogus"_s}, QStringList{u"frobnicate"_s},
                                     QStringList{u"init-db"_s, home + u"/x.db"_s, u"--bogus"_s}}) {
        r = runProgram(u"qorctl"_s, home, wrong, false);
        EXPECT_EQ(r.exitCode, 2) << wrong.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(u"qorctl init-db"_s)) << STDERR_OF(r); // the usage
    }
    EXPECT_FALSE(QFileInfo::exists(home + u"/x.db"_s));
}

TEST(QorHostScript, ExportsTheRegisterListAsShownInEveryFormat)
{
    const QString home = testTempDir();
    const QString db = demoDb(home);
    const QString out = home + u"/out/"_s;
    QDir().mkpath(out);
    // An old file of the same name must not pass for the export.
    QFile old(out + u"list.txt"_s);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("stale");
    old.close();
    const ProgramRun r = runProgram(u"qorhost"_s, home,
                             {u"--db"_s, db, u"--open"_s, u"tryout"_s, u"--action"_s, u"actRefresh"_s, u"--export"_s,
                              out + u"list.txt"_s, u"--export"_s, out + u"list.xlsx"_s, u"--export"_s,
                              u"out/list.htm"_s, u"--export"_s, out + u"list.pdf"_s, u"--screenshot"_s,
                              out + u"list.png"_s});
    ASSERT_EQ(r.exitCode, 0) << STDERR_OF(r);

    const QStringList lines = readText(out + u"list.txt"_s).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_GE(lines.size(), 361) << lines.size(); // a title line and the 360 trials
    EXPECT_FALSE(lines.value(0).contains(u"stale"_s));
    EXPECT_TRUE(lines.join(u'\n').contains(u"雪肌精华水"_s));
    EXPECT_EQ(head(out + u"list.xlsx"_s, 2), QByteArray("PK"));
    const QString html = readText(out + u"list.htm"_s); // a relative name is the working folder's
    EXPECT_TRUE(html.contains(u"<table"_s, Qt::CaseInsensitive) && html.contains(u"雪肌精华水"_s));
    EXPECT_EQ(head(out + u"list.pdf"_s, 5), QByteArray("%PDF-"));
    EXPECT_GT(QFileInfo(out + u"list.pdf"_s).size(), 10000);
    const QImage shot(out + u"list.png"_s);
    EXPECT_GE(shot.width(), 1000);
    EXPECT_TRUE(r.err.contains(u"save dialog"_s)) << STDERR_OF(r); // the form's own save dialogs were answered
}

TEST(QorHostScript, RegistersATrialThroughTheEntryFormAndDeletesOnlyWhenTheQuestionIsAnsweredYes)
{
    const QString home = testTempDir();
    const QString db = demoDb(home);
    ProgramRun r = runProgram(u"qorhost"_s, home,
                       {u"--db"_s, db, u"--open"_s, u"tryout"_s, u"--action"_s, u"actAdd"_s, u"--set"_s,
                        u"edtGrpCode=0101"_s, u"--set"_s, u"edtBeautyCode=3001"_s, u"--set"_s,
                        u"edtGoodsCode=10010001"_s, u"--set"_s, u"cmbResult=1-不满意"_s, u"--set"_s,
                        u"edtRemark=脚本登记"_s, u"--action"_s, u"btnConfirm"_s, u"--action"_s, u"btnClose"_s});
    ASSERT_EQ(r.exitCode, 0) << STDERR_OF(r);
    EXPECT_EQ(count(db, u"Remark = '脚本登记' and OrgCode = '0101' and ZdrCode = '3001' and PluCode = '10010001'"_s), 1);
    const int all = count(db, u"1=1"_s);

    // The delete question has No preselected: without an answer nothing goes.
    r = runProgram(u"qorhost"_s, home, {u"--db"_s, db, u"--open"_s, u"tryout"_s, u"--action"_s, u"actRefresh"_s,
                                        u"--action"_s, u"actDelete"_s});
    ASSERT_EQ(r.exitCode, 0) << STDERR_OF(r);
    EXPECT_TRUE(r.err.contains(u"question box"_s) && r.err.contains(u"-> no"_s)) << STDERR_OF(r);
    EXPECT_EQ(count(db, u"1=1"_s), all);
    r = runProgram(u"qorhost"_s, home, {u"--db"_s, db, u"--open"_s, u"tryout"_s, u"--action"_s, u"actRefresh"_s,
                                        u"--answer"_s, u"yes"_s, u"--action"_s, u"actDelete"_s});
    ASSERT_EQ(r.exitCode, 0) << STDERR_OF(r);
    EXPECT_EQ(count(db, u"1=1"_s), all - 1);
}

TEST(QorHostScript, FailuresSayWhatWentWrongAndExitOne)
{
    const QString home = testTempDir();
    const QString db = demoDb(home);
    // A name the form does not have.
    ProgramRun r = runProgram(u"qorhost"_s, home, {u"--db"_s, db, u"--open"_s, u"tryout"_s, u"--action"_s, u"actNoSuch"_s});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"actNoSuch"_s)) << STDERR_OF(r);

    // Nothing loaded yet: the export actions are disabled, as for a person.
    r = runProgram(u"qorhost"_s, home, {u"--db"_s, db, u"--open"_s, u"tryout"_s, u"--export"_s, home + u"/x.txt"_s});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"disabled"_s)) << STDERR_OF(r);
    EXPECT_FALSE(QFileInfo::exists(home + u"/x.txt"_s));

    // The entry form's warning for an organisation that takes no trials stops the script.
    r = runProgram(u"qorhost"_s, home, {u"--db"_s, db, u"--open"_s, u"tryout"_s, u"--action"_s, u"actAdd"_s,
                                        u"--set"_s, u"edtGrpCode=0104"_s, u"--action"_s, u"btnConfirm"_s,
                                        u"--set"_s, u"edtRemark=never"_s});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"warning box"_s)) << STDERR_OF(r);
    EXPECT_EQ(count(db, u"Remark = 'never'"_s), 0);

    // A load that fails raises the form's error box.
    {
        auto conn = TADOConnection::openSqlite(db);
        TADOQuery q(conn.get());
        q.SQL << u"drop table Goods"_s;
        q.ExecSQL();
    }
    r = runProgram(u"qorhost"_s, home, {u"--db"_s, db, u"--open"_s, u"tryout"_s, u"--action"_s, u"actRefresh"_s});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"error box"_s) && r.err.contains(u"数据读取失败！"_s)) << STDERR_OF(r);
}
