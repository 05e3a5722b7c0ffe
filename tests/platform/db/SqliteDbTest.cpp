// The connection and query over the embedded backend: binding, reading, errors, transactions.
#include "platform/db/Db.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>

namespace {

class SqliteDb : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = testTempDir() + QStringLiteral("/db.db");
        db = TADOConnection::openSqlite(path);
        db->executeScript(QStringLiteral("CREATE TABLE p (k INTEGER PRIMARY KEY, s VARCHAR(20) COLLATE NOCASE, "
                                         "v, r REAL, b BLOB);"));
    }
    int exec(const QString& sql, std::initializer_list<std::pair<const char*, QVariant>> ps = {})
    {
        TADOQuery q(db.get());
        q.SQL << sql;
        for (const auto& [n, v] : ps) q.Parameters.ParamByName(QString::fromLatin1(n)).Value = v;
        return q.ExecSQL();
    }
    QString path;
    std::unique_ptr<TADOConnection> db;
};

TEST(DbNullConnection, OpenExecAndTransactionRaiseDbError)
{
    TADOQuery q;
    q.SQL << QStringLiteral("select 1");
    EXPECT_THROW(q.Open(), DbError);
    EXPECT_THROW(q.ExecSQL(), DbError);
    EXPECT_TRUE(q.Eof());
    EXPECT_THROW(DbTransaction t(nullptr), DbError);
}

// A file that is not a database is refused when the connection is set up; a shop that keeps
// retrying must not run out of file handles.
TEST(SqliteOpen, AFileThatIsNoDatabaseIsRefusedAndLeavesNothingOpen)
{
    const QString junk = testTempDir() + QStringLiteral("/junk.db");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("this is not a database, not at all, no tables here").repeated(100));
    f.close();
    const auto openFiles = [] { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot).size(); };
    const qsizetype before = openFiles();
    for (int i = 0; i < 20; ++i) {
        try {
            (void)TADOConnection::openSqlite(junk);
            ADD_FAILURE() << "a file that is no database was opened";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("not a database"))) << e.message().toStdString();
        }
    }
    EXPECT_EQ(openFiles(), before);
}

TEST_F(SqliteDb, ParametersKeepTheirValuesAndTypes)
{
    const QString longText = QString(3000, QChar(0x971C)); // 霜
    exec(QStringLiteral("insert into p(k,s,v,r) values(:K,:S,:V,:R)"),
         {{"K", 1}, {"S", QString()}, {"V", QString()}, {"R", 2.25}});
    exec(QStringLiteral("insert into p(k,s,v,r) values(:K,:S,:V,:R)"),
         {{"K", 2}, {"S", QStringLiteral("a")}, {"V", longText}, {"R", QVariant()}});
    exec(QStringLiteral("insert into p(k,s,v) values(:K,:S,:V)"), {{"K", 3}, {"S", QStringLiteral("x'y")}, {"V", 42}});

    // An empty (even null) QString is '' and never NULL; an integer stays an integer.
    // (In T-SQL `select s=''` names a column, so the comparisons go into the where clause.)
    EXPECT_EQ(queryRows(*db, QStringLiteral("select typeof(s), typeof(v) from p where k=1 and s='' and v=''")),
              QStringList{QStringLiteral("text\ttext")});
    EXPECT_EQ(queryRows(*db, QStringLiteral("select typeof(v), typeof(r) from p where k=3 and v=42")),
              QStringList{QStringLiteral("integer\tnull")});
    EXPECT_EQ(queryRows(*db, QStringLiteral("select length(v) from p where k=2")), QStringList{QStringLiteral("3000")});

    TADOQuery q(db.get());
    q.SQL << QStringLiteral("select k,s,v,r from p where s=:S or k=:K or v=:S order by k");
    DbParam& s = q.Parameters.ParamByName(QStringLiteral("S"));
    s.Value = QStringLiteral("A"); // the column compares without regard to case
    s.Size = 50;                    // a declared size larger than the value does not pad it
    q.Parameters.ParamByName(QStringLiteral("K")).Value = 3;
    q.Open();
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldByName(QStringLiteral("k")).Value().typeId(), QMetaType::LongLong);
    EXPECT_EQ(q.FieldByName(QStringLiteral("V")).AsString(), longText);
    EXPECT_TRUE(q.FieldByName(QStringLiteral("r")).IsNull());
    q.Next();
    EXPECT_EQ(q.FieldByName(QStringLiteral("s")).AsString(), QStringLiteral("x'y"));
    EXPECT_EQ(q.FieldByName(QStringLiteral("v")).AsInteger(), 42);
    q.Next();
    EXPECT_TRUE(q.Eof());
    EXPECT_THROW(q.FieldByName(QStringLiteral("nope")), DbError);
}

TEST_F(SqliteDb, ReadsRowsForwardAndCountsAffectedRows)
{
    for (int k = 1; k <= 3; ++k)
        exec(QStringLiteral("insert into p(k,s,r,b) values(:K,'n',:R,:B)"),
             {{"K", k}, {"R", k / 2.0}, {"B", QByteArray("\x00\x01\xff", 3)}});
    EXPECT_EQ(exec(QStringLiteral("update p set s='m' where k>=2")), 2);
    EXPECT_EQ(exec(QStringLiteral("update p set s='m' where k>9")), 0);

    TADOQuery q(db.get());
    q.SQL << QStringLiteral("select k, r, b from p") << QStringLiteral("order by k");
    q.Open();
    QList<double> seen;
    while (!q.Eof()) {
        seen << q.FieldByName(QStringLiteral("R")).AsFloat();
        EXPECT_EQ(q.FieldByName(QStringLiteral("b")).Value().toByteArray(), QByteArray("\x00\x01\xff", 3));
        q.Next();
    }
    EXPECT_EQ(seen, (QList<double>{0.5, 1.0, 1.5}));
    q.First(); // runs again from the first row
    EXPECT_EQ(q.FieldByName(QStringLiteral("k")).AsInteger(), 1);

    q.Close();
    q.SQL.clear();
    q.SQL << QStringLiteral("select k from p where k<0");
    q.Open();
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(q.FieldCount(), 1);
}

TEST_F(SqliteDb, ErrorsCarryTheProviderMessageAndAreClearedPerStatement)
{
    TADOQuery q(db.get());
    q.SQL << QStringLiteral("select * from Nope");
    try {
        q.Open();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("no such table: Nope"))) << e.what();
    }
    ASSERT_EQ(db->Errors().size(), 1);
    EXPECT_FALSE(db->Errors()[0].Informational);
    EXPECT_TRUE(db->Errors()[0].Description.contains(QStringLiteral("Nope")));

    exec(QStringLiteral("insert into p(k) values(1)"));
    EXPECT_TRUE(db->Errors().isEmpty());

    // A failure while stepping (not at prepare) is reported the same way.
    EXPECT_THROW(exec(QStringLiteral("insert into p(k) values(1)")), DbError);
    ASSERT_EQ(db->Errors().size(), 1);
    EXPECT_TRUE(db->Errors()[0].Description.contains(QStringLiteral("UNIQUE")));

    // A second statement in one text is refused rather than dropped; a trailing ; is fine.
    EXPECT_THROW(exec(QStringLiteral("insert into p(k) values(2); delete from p")), DbError);
    EXPECT_EQ(exec(QStringLiteral("insert into p(k) values(3); -- done")), 1);
    EXPECT_EQ(queryRows(*db, QStringLiteral("select count(*) from p")), QStringList{QStringLiteral("2")});

    // A parameter named in the text but never given a value binds NULL.
    TADOQuery n(db.get());
    n.SQL << QStringLiteral("select :Missing is null");
    n.Open();
    EXPECT_EQ(n.Field(0).AsInteger(), 1);
    EXPECT_TRUE(db->Errors().isEmpty());
}

TEST_F(SqliteDb, TransactionsRollBackAndNest)
{
    db->BeginTrans();
    exec(QStringLiteral("insert into p(k) values(1)"));
    db->RollbackTrans();
    EXPECT_FALSE(db->InTransaction());
    EXPECT_EQ(queryRows(*db, QStringLiteral("select count(*) from p")), QStringList{QStringLiteral("0")});

    {
        DbTransaction outer(db.get());
        exec(QStringLiteral("insert into p(k) values(1)"));
        {
            DbTransaction inner(db.get());
            exec(QStringLiteral("insert into p(k) values(2)"));
            // left without commit: only the inner part is undone
        }
        outer.commit();
    }
    EXPECT_EQ(queryRows(*db, QStringLiteral("select k from p")), QStringList{QStringLiteral("1")});

    {
        DbTransaction t(db.get());
        exec(QStringLiteral("insert into p(k) values(5)"));
        EXPECT_THROW(exec(QStringLiteral("insert into p(k) values(5)")), DbError);
    } // the failure leaves the scope without commit
    EXPECT_EQ(queryRows(*db, QStringLiteral("select count(*) from p")), QStringList{QStringLiteral("1")});
    EXPECT_THROW(db->CommitTrans(), DbError);
}

TEST_F(SqliteDb, BeginTakesTheWriteLockAtOnce)
{
    db->BeginTrans();
    // Another connection that only reads still works beside the writer (WAL)...
    auto other = TADOConnection::openSqlite(path);
    EXPECT_EQ(queryRows(*other, QStringLiteral("select count(*) from p")), QStringList{QStringLiteral("0")});
    // ...and the database file runs with WAL and memory-mapped reads.
    EXPECT_EQ(queryRows(*other, QStringLiteral("PRAGMA journal_mode")), QStringList{QStringLiteral("wal")});
    EXPECT_GT(queryRows(*other, QStringLiteral("PRAGMA mmap_size")).value(0).toLongLong(), 0);
    // The write lock is held before the first write: a second writer is refused at its begin.
    queryRows(*other, QStringLiteral("PRAGMA busy_timeout=0"));
    EXPECT_THROW(other->BeginTrans(), DbError);
    EXPECT_FALSE(other->InTransaction());
    db->RollbackTrans();
    other->BeginTrans();
    other->RollbackTrans();
}

} // namespace
