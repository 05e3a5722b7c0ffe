// What the embedded schema itself guarantees: keys, collation, real amounts, all-or-nothing set-up.
#include "tests/schema/SchemaChecks.h"
#include "tests/support/TestSupport.h"

#include "schema/Schema.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {

int insertTrial(TADOConnection& db, const QString& date, const QString& time, const QString& org,
                const QString& plu)
{
    TADOQuery q(&db);
    q.SQL << QStringLiteral("insert into TryOutBK(OrgCode,PluCode,Result,Remark,ZdrCode,ZdrName,BookDate,BookTime,UserCode,UserName) ")
          << QStringLiteral("values(:OrgCode,:PluCode,:Result,:Remark,:ZdrCode,:ZdrName,:BookDate,:BookTime,:UserCode,:UserName) ");
    const QList<std::pair<const char*, QString>> values = {
        {"OrgCode", org},     {"PluCode", plu},   {"Result", QStringLiteral("0")},
        {"Remark", QString(QLatin1String(""))}, {"ZdrCode", QStringLiteral("3001")},
        {"ZdrName", QStringLiteral("刘静")},   {"BookDate", date}, {"BookTime", time},
        {"UserCode", QStringLiteral("1001")}, {"UserName", QStringLiteral("王芳")}};
    for (const auto& [n, v] : values) q.Parameters.ParamByName(QLatin1String(n)).Value = v;
    return q.ExecSQL();
}

} // namespace

TEST(Schema, TryOutBKRefusesASecondTrialWithTheSameKey)
{
    auto db = makeTestDb(false);
    const QString d = QStringLiteral("2026-03-15"), t = QStringLiteral("10:30:00");
    EXPECT_EQ(insertTrial(*db, d, t, QStringLiteral("0101"), QStringLiteral("10010001")), 1);
    try {
        insertTrial(*db, d, t, QStringLiteral("0101"), QStringLiteral("10010001"));
        ADD_FAILURE() << "duplicate key accepted";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isUniqueViolation()) << e.message().toStdString();
    }
    // Any one of the four columns differing makes another trial.
    EXPECT_EQ(insertTrial(*db, d, t, QStringLiteral("0101"), QStringLiteral("10010002")), 1);
    EXPECT_EQ(insertTrial(*db, d, t, QStringLiteral("0102"), QStringLiteral("10010001")), 1);
    EXPECT_EQ(insertTrial(*db, d, QStringLiteral("10:30:01"), QStringLiteral("0101"), QStringLiteral("10010001")), 1);
    EXPECT_EQ(scalarText(*db, QStringLiteral("select count(*) from TryOutBK")), QStringLiteral("4"));
}

TEST(Schema, CodesAndNamesCompareWithoutLetterCase)
{
    auto db = makeTestDb(true);
    EXPECT_EQ(scalarText(*db, QStringLiteral("select StaffName from Staffs where StaffCode='qvw'")), QStringLiteral("系统管理员"));
    EXPECT_EQ(scalarText(*db, QStringLiteral("select count(*) from tXtQry where QryType='TRYOUTR'")),
              scalarText(*db, QStringLiteral("select count(*) from tXtQry where QryType='TryOutR'")));
    EXPECT_EQ(scalarText(*db, QStringLiteral("select count(*) from tXtQry where QryType='TRYOUTR'")), QStringLiteral("8"));
}

TEST(Schema, QuantitiesAndAmountsDivideAsDecimals)
{
    auto db = makeTestDb(true);
    // 8 units drawn: a calculated column over Counts must not divide as integers.
    EXPECT_EQ(queryRows(*db, QStringLiteral("select Counts, 4/Counts, Total/Counts from DrawDetail"
                                            " where DrawNo='LY2025090201' and PluCode='10040001'")),
              QStringList{QStringLiteral("8\t0.5\t58")});
}

TEST(Schema, TheModulesOwnCalculatedFieldTableFitsBeside)
{
    auto db = makeTestDb(true);
    EXPECT_NO_THROW(db->executeScript(QStringLiteral(
        "Create TABLE tXtQryField (\nQryCode  VarChar(10) NOT NULL ,\nDataSet  VarChar(15) NOT NULL,\n"
        "FldName VarChar(40) NOT NULL ,\nFldCaption  VarChar(40) NULL ,\nFldType  VarChar(1) NOT NULL ,\n"
        "FldSize  Int NOT NULL Default(0) ,\nFldExpress VarChar(100)  NULL,\nFldFormat VarChar(15)  NULL,\n"
        "IsSum VarChar(1)  NULL DEFAULT ('0'),\nRemark     VarChar(40)  NULL,\n"
        "Primary Key (QryCode,DataSet,FldName))")));
}

TEST(Schema, CreateDatabaseIsAllOrNothing)
{
    auto db = TADOConnection::openSqlite(testTempDir() + QStringLiteral("/partial.db"));
    // A table in the way makes the set-up fail; nothing of it may remain.
    db->executeScript(QStringLiteral("CREATE TABLE TryOutBK (x INTEGER)"));
    EXPECT_THROW(Schema::createDatabase(*db, true), DbError);
    EXPECT_EQ(scalarText(*db, QStringLiteral("select count(*) from sqlite_master where type='table'")), QStringLiteral("1"));
    EXPECT_FALSE(db->InTransaction());
}

TEST(Schema, ScriptsRunInTheSqliteShell)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) GTEST_SKIP() << "sqlite3 shell not installed";
    QProcess p;
    p.start(shell, {QStringLiteral("-bail"), testTempDir() + QStringLiteral("/shell.db")});
    ASSERT_TRUE(p.waitForStarted());
    p.write((Schema::sqliteDdl() + Schema::demoData()).toUtf8());
    p.write("\nselect count(*) from TryOutBK;\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()).trimmed(), QStringLiteral("360"));
}

// The server's script offers every value of a list field that the demo data (the suite's own
// values) holds: an organisation of type '3' must be choosable there too.
TEST(Schema, TheServerScriptListsEveryValueTheDemoDataHas)
{
    QFile f(QStringLiteral(QOR_SOURCE_DIR "/schema/sqlserver/TryOutQuery.sql"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString script = QString::fromUtf8(f.readAll());
    auto db = TADOConnection::openSqlite(testTempDir() + QStringLiteral("/values.db"));
    db->executeScript(Schema::sqliteDdl() + Schema::demoData());
    const QStringList values = queryRows(*db, QStringLiteral("select QryType, SerialNo, QryVluNo, QryValue from tXtQryValue"));
    ASSERT_FALSE(values.isEmpty());
    for (const QString& v : values) {
        const QStringList c = v.split(QLatin1Char('\t'));
        const QString row = QStringLiteral("('%1', %2, '%3', '%4')").arg(c[0], c[1], c[2], c[3]);
        EXPECT_TRUE(script.contains(row)) << row.toStdString();
    }
}
