// qorctl, run as the administrator runs it.
#include "tests/schema/SchemaChecks.h"
#include "tests/support/TestSupport.h"

#include <QFileInfo>
#include <QProcess>

namespace {

struct CtlRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CtlRun qorctl(const QStringList& args)
{
    const QString exe = QStringLiteral(QOR_BIN_DIR "/qorctl");
    CtlRun r;
    if (!QFileInfo::exists(exe)) {
        r.err = QStringLiteral("qorctl is not built: build the target qorctl first");
        return r;
    }
    QProcess p;
    p.start(exe, args);
    if (!p.waitForFinished(120000)) {
        r.err = QStringLiteral("qorctl did not finish");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class Qorctl : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = testTempDir() + QStringLiteral("/ctl.db");
        const CtlRun r = qorctl({QStringLiteral("init-db"), file, QStringLiteral("--demo")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    CtlRun sql(const QString& statement, const QStringList& params = {})
    {
        return qorctl(QStringList{QStringLiteral("sql"), file, statement} + params);
    }
    QString file;
};

} // namespace

TEST_F(Qorctl, InitDbMakesTheDemoDatabaseAndRefusesAnExistingFile)
{
    auto db = TADOConnection::openSqlite(file);
    EXPECT_EQ(invalidTrials(*db), QStringList());
    EXPECT_EQ(scalarText(*db, QStringLiteral("select OrgName from SubShop where OrgCode='0101'")), QStringLiteral("一楼化妆品"));
    db.reset();
    const CtlRun again = qorctl({QStringLiteral("init-db"), file});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("已存在"))) << again.err.toStdString();
    // The existing database is left as it was.
    db = TADOConnection::openSqlite(file);
    EXPECT_EQ(scalarText(*db, QStringLiteral("select count(*) from SubShop")), QStringLiteral("8"));
}

TEST_F(Qorctl, InitDbWithTrialsOnly)
{
    const QString volume = testTempDir() + QStringLiteral("/volume.db");
    const CtlRun r = qorctl({QStringLiteral("init-db"), volume, QStringLiteral("--trials"), QStringLiteral("2500")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    auto db = TADOConnection::openSqlite(volume);
    EXPECT_EQ(scalarText(*db, QStringLiteral("select count(*) from TryOutBK")), QStringLiteral("2500"));
    EXPECT_EQ(invalidTrials(*db), QStringList());

    const CtlRun bad = qorctl({QStringLiteral("init-db"), testTempDir() + QStringLiteral("/x.db"),
                            QStringLiteral("--trials"), QStringLiteral("many")});
    EXPECT_EQ(bad.exitCode, 2);
}

TEST_F(Qorctl, SqlPrintsAHeaderAndTabSeparatedRows)
{
    const CtlRun r = sql(QStringLiteral("select OrgCode,OrgName,OrgType from SubShop where OrgType=:T order by OrgCode"),
                      {QStringLiteral("T=2")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("OrgCode\tOrgName\tOrgType\n0001\t总部\t2\n0002\t配送中心\t2\n"));
}

TEST_F(Qorctl, SqlKeepsNullsTabsAndEmptyParametersApart)
{
    const CtlRun r = sql(QStringLiteral("select RzDate, :Empty as E, :Tab as T from DrawForm where DrawNo=:No"),
                      {QStringLiteral("No=LY2026030201"), QStringLiteral("Empty="), QStringLiteral("Tab=a\tb")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("RzDate\tE\tT\n\\N\t\ta\\tb\n"));
}

TEST_F(Qorctl, SqlPrintsTheAffectedRowCountOfAWrite)
{
    const CtlRun r = sql(QStringLiteral("update TryOutBK set Remark=:R where OrgCode=:O"),
                      {QStringLiteral("R=已复核"), QStringLiteral("O=0103")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    auto db = TADOConnection::openSqlite(file);
    EXPECT_EQ(r.out.trimmed(), scalarText(*db, QStringLiteral("select count(*) from TryOutBK where OrgCode='0103'")));
    EXPECT_EQ(scalarText(*db, QStringLiteral("select count(*) from TryOutBK where Remark='已复核'")), r.out.trimmed());
}

TEST_F(Qorctl, SqlRunsTransactSqlThroughTheTranslation)
{
    const CtlRun r = sql(QStringLiteral("select rtrim(OrgCode)+'-'+OrgName as OrgCode from SubShop where OrgCode='0101'"));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("OrgCode\n0101-一楼化妆品\n"));
}

TEST_F(Qorctl, FailuresPrintTheProvidersMessageAndExitNonZero)
{
    const CtlRun missingTable = sql(QStringLiteral("select * from NoSuchTable"));
    EXPECT_EQ(missingTable.exitCode, 1);
    EXPECT_TRUE(missingTable.err.contains(QStringLiteral("NoSuchTable"))) << missingTable.err.toStdString();
    EXPECT_TRUE(missingTable.out.isEmpty());

    auto db = TADOConnection::openSqlite(file);
    const QString key = queryRows(*db, QStringLiteral("select BookDate, BookTime, OrgCode, PluCode from TryOutBK")).first();
    db.reset();
    const QStringList f = key.split(QLatin1Char('\t'));
    const CtlRun duplicate = sql(QStringLiteral("insert into TryOutBK(BookDate,BookTime,OrgCode,PluCode) values(:D,:T,:O,:P)"),
                              {QStringLiteral("D=") + f[0], QStringLiteral("T=") + f[1], QStringLiteral("O=") + f[2],
                               QStringLiteral("P=") + f[3]});
    EXPECT_EQ(duplicate.exitCode, 1);
    EXPECT_TRUE(duplicate.err.contains(QStringLiteral("UNIQUE"), Qt::CaseInsensitive)) << duplicate.err.toStdString();

    const QString missing = testTempDir() + QStringLiteral("/missing.db");
    const CtlRun noFile = qorctl({QStringLiteral("sql"), missing, QStringLiteral("select 1")});
    EXPECT_EQ(noFile.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(missing)) << "sql must not create a database";

    EXPECT_EQ(sql(QStringLiteral("select 1"), {QStringLiteral("not a parameter")}).exitCode, 2);
}

TEST_F(Qorctl, ParametersMustMatchTheStatementsNames)
{
    auto remarks = [&] {
        auto db = TADOConnection::openSqlite(file);
        return queryRows(*db, QStringLiteral("select count(*), count(Remark) from TryOutBK where OrgCode='0103'"));
    };
    const QStringList before = remarks();
    // A misspelt name: nothing is run (the remark would have been set to NULL).
    const CtlRun misspelt = sql(QStringLiteral("update TryOutBK set Remark=:Remark where OrgCode=:O"),
                                {QStringLiteral("Remrk=已复核"), QStringLiteral("O=0103")});
    EXPECT_EQ(misspelt.exitCode, 2);
    EXPECT_TRUE(misspelt.err.contains(QStringLiteral(":Remrk"))) << misspelt.err.toStdString();
    EXPECT_TRUE(misspelt.err.contains(QStringLiteral(":Remark"))) << misspelt.err.toStdString();
    EXPECT_TRUE(misspelt.out.isEmpty());
    EXPECT_EQ(remarks(), before);

    const CtlRun missing = sql(QStringLiteral("select OrgName from SubShop where OrgCode=:Code"));
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains(QStringLiteral(":Code"))) << missing.err.toStdString();
    // Names compare without regard to case; a colon inside a literal is no parameter.
    const CtlRun ok = sql(QStringLiteral("select OrgName, ':x' as L from SubShop where OrgCode=:Code"),
                          {QStringLiteral("code=0101")});
    EXPECT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, QStringLiteral("OrgName\tL\n一楼化妆品\t:x\n"));
}

TEST_F(Qorctl, OutputThatCannotBeWrittenIsAFailure)
{
    for (const QString& statement : {QStringLiteral("select * from TryOutBK"),
                                     QStringLiteral("update TryOutBK set Remark=Remark where 1=0")}) {
        QProcess p;
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(QStringLiteral(QOR_BIN_DIR "/qorctl"), {QStringLiteral("sql"), file, statement});
        ASSERT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1) << statement.toStdString();
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("输出写入失败")));
    }
}

TEST_F(Qorctl, CheckDbPassesACompleteDatabaseAndNamesWhatIsMissingOrMistyped)
{
    const CtlRun ok = qorctl({QStringLiteral("check-db"), file});
    EXPECT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    for (const char* table : {"TryOutBK", "DrawForm", "DrawDetail", "SubShop", "Goods", "tXtPrnFormat", "XtLinkFunc"})
        EXPECT_TRUE(ok.out.contains(QStringLiteral("表 %1：正常").arg(QLatin1String(table)))) << table;
    // The module creates its own field table; not having it yet is no fault.
    EXPECT_TRUE(ok.out.contains(QStringLiteral("tXtQryField 不存在")));

    ASSERT_EQ(sql(QStringLiteral("drop table XtLinkFunc")).exitCode, 0);
    ASSERT_EQ(sql(QStringLiteral("alter table Goods drop column Spec")).exitCode, 0);
    ASSERT_EQ(sql(QStringLiteral("drop table XtUserGrp")).exitCode, 0);
    ASSERT_EQ(sql(QStringLiteral("create table XtUserGrp (UGrpCode int, UGrpName varchar(20))")).exitCode, 0);
    const CtlRun bad = qorctl({QStringLiteral("check-db"), file});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.out.contains(QStringLiteral("缺少表 XtLinkFunc"))) << bad.out.toStdString();
    EXPECT_TRUE(bad.out.contains(QStringLiteral("缺少列 Spec")));
    EXPECT_TRUE(bad.out.contains(QStringLiteral("列 UGrpCode 的类型为 int（整数），应为文本"), Qt::CaseInsensitive));
    EXPECT_FALSE(bad.out.contains(QStringLiteral("表 XtUserGrp：正常")));
    EXPECT_TRUE(bad.err.contains(QStringLiteral("发现 3 处问题")));

    EXPECT_EQ(qorctl({QStringLiteral("check-db")}).exitCode, 2);
    EXPECT_EQ(qorctl({QStringLiteral("check-db"), testTempDir() + QStringLiteral("/none.db")}).exitCode, 1);
}
