// The ODBC backend through the real unixODBC driver manager and the SQLite ODBC driver.
#include "platform/db/DbBackend.h"
#include "tests/support/TestSupport.h"

namespace {

class Odbc : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = testTempDir() + QStringLiteral("/odbc.db");
        // The file is made by the embedded backend, as the installation does; ODBC then uses it.
        auto init = TADOConnection::openSqlite(path);
        init->executeScript(QStringLiteral(
            "CREATE TABLE p (k INTEGER PRIMARY KEY, s VARCHAR(20) COLLATE NOCASE, t VARCHAR(100) COLLATE NOCASE, "
            "r REAL, b BLOB);"));
        init.reset();
        db = TADOConnection::openOdbc(QStringLiteral("DRIVER=SQLite3;Database=%1").arg(path));
    }
    // More tables, made by the embedded backend while ODBC is connected.
    void init(const QString& script) { TADOConnection::openSqlite(path)->executeScript(script); }
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

TEST_F(Odbc, DialectFollowsTheDatabaseBehindTheDriver)
{
    EXPECT_EQ(db->dialect(), Dialect::SQLite);
    exec(QStringLiteral("insert into p(k,s,t) values(1,'0101','一楼')"));
    // T-SQL is translated as on the embedded backend.
    EXPECT_EQ(queryRows(*db, QStringLiteral("select rtrim(s)+'-'+t as x, n = k*2 from p where IsNull(s,'')='0101'")),
              QStringList{QStringLiteral("0101-一楼\t2")});
}

TEST_F(Odbc, ColumnTypesAreReadThroughTheDriver)
{
    exec(QStringLiteral("insert into p(k,s,t) values(7,'0101','一楼')"));
    exec(QStringLiteral("insert into p(k,s,t) values(8,NULL,NULL)"));
    EXPECT_EQ(queryRows(*db, QStringLiteral("select k+'', IsNull(s,0), cast(t as varchar(3)) from p order by k")),
              (QStringList{QStringLiteral("7\t0101\t一"), QStringLiteral("8\t0\t")}));
    // A table created over this connection is known to the next statement.
    exec(QStringLiteral("create table q (v decimal(10,2))"));
    exec(QStringLiteral("insert into q values(1.5)"));
    EXPECT_EQ(queryRows(*db, QStringLiteral("select v+'1.25' from q")), QStringList{QStringLiteral("2.75")});
}

TEST_F(Odbc, ParameterisedInsertAndSelect)
{
    const QString longText = QString(90, QChar(0x971C));
    EXPECT_EQ(exec(QStringLiteral("insert into p(k,s,t,r,b) values(:K,:S,:T,:R,:B)"),
                   {{"K", 1}, {"S", QString()}, {"T", QStringLiteral("霜:x+1")}, {"R", 2.5},
                    {"B", QByteArray("\x00\x7f\xff", 3)}}),
              1);
    EXPECT_EQ(exec(QStringLiteral("insert into p(k,s,t,r) values(:K,:S,:T,:R)"),
                   {{"K", qint64(5000000000LL)}, {"S", QStringLiteral("a")}, {"T", longText}, {"R", QVariant()}}),
              1);

    // Empty string is '' (never NULL); integers stay integers.
    EXPECT_EQ(queryRows(*db, QStringLiteral("select typeof(s), typeof(k) from p where k=1 and s=''")),
              QStringList{QStringLiteral("text\tinteger")});

    TADOQuery q(db.get());
    // A repeated name is bound again; ':x' inside a literal is no parameter.
    q.SQL << QStringLiteral("select k, s, t, r, b from p") << QStringLiteral("where (s=:S or t<>':x') and (k=:K or s=:S)")
          << QStringLiteral("order by k");
    q.Parameters.ParamByName(QStringLiteral("S")).Value = QStringLiteral("A");
    q.Parameters.ParamByName(QStringLiteral("K")).Value = 1;
    q.Open();
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldByName(QStringLiteral("k")).Value().typeId(), QMetaType::LongLong);
    EXPECT_EQ(q.FieldByName(QStringLiteral("t")).AsString(), QStringLiteral("霜:x+1"));
    EXPECT_EQ(q.FieldByName(QStringLiteral("s")).AsString(), QString());
    EXPECT_FALSE(q.FieldByName(QStringLiteral("s")).IsNull());
    EXPECT_DOUBLE_EQ(q.FieldByName(QStringLiteral("r")).AsFloat(), 2.5);
    EXPECT_EQ(q.FieldByName(QStringLiteral("b")).Value().toByteArray(), QByteArray("\x00\x7f\xff", 3));
    q.Next();
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldByName(QStringLiteral("k")).AsInteger(), 5000000000LL);
    EXPECT_EQ(q.FieldByName(QStringLiteral("t")).AsString(), longText);
    EXPECT_TRUE(q.FieldByName(QStringLiteral("r")).IsNull());
    q.Next();
    EXPECT_TRUE(q.Eof());

    EXPECT_EQ(exec(QStringLiteral("update p set t=:T where k>=:K"), {{"T", QString()}, {"K", 0}}), 2);
    EXPECT_EQ(exec(QStringLiteral("delete p where k=:K"), {{"K", 7}}), 0);
}

TEST_F(Odbc, ErrorsRaiseDbErrorAndFillTheCollection)
{
    try {
        exec(QStringLiteral("insert into Nope(k) values(1)"));
        FAIL();
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("no such table"))) << e.what();
    }
    ASSERT_FALSE(db->Errors().isEmpty());
    EXPECT_FALSE(db->Errors()[0].Informational);
    exec(QStringLiteral("insert into p(k) values(1)"));
    EXPECT_TRUE(db->Errors().isEmpty());
    EXPECT_THROW(exec(QStringLiteral("insert into p(k) values(1)")), DbError);
    EXPECT_FALSE(db->Errors().isEmpty());
}

TEST_F(Odbc, ADuplicateKeyIsRecognisedThroughTheDriver)
{
    init(QStringLiteral("CREATE TABLE u (a VARCHAR(6) NOT NULL, b VARCHAR(6), PRIMARY KEY (a, b));"
                        "CREATE TABLE c (a INTEGER CHECK (a > 0), f INTEGER REFERENCES p(k));"));
    exec(QStringLiteral("insert into u values('0101','1')"));
    try {
        exec(QStringLiteral("insert into u values('0101','1')"));
        FAIL();
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isUniqueViolation()) << e.nativeCode() << ' ' << e.sqlState().toStdString() << ' ' << e.what();
    }
    exec(QStringLiteral("insert into p(k) values(1)"));
    try {
        exec(QStringLiteral("insert into p(k) values(1)"));
        FAIL();
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isUniqueViolation()) << e.what();
    }
    // Other constraints are no duplicates.
    for (const char* sql : {"insert into u(a,b) values(null,'2')", "insert into c(a) values(0)"}) {
        try {
            exec(QString::fromLatin1(sql));
            FAIL() << sql;
        } catch (const DbError& e) {
            EXPECT_FALSE(e.isUniqueViolation()) << sql << ' ' << e.what();
        }
    }
}

TEST(DbErrorKinds, DuplicateKeysOfEveryBackend)
{
    EXPECT_TRUE(DbError(QStringLiteral("UNIQUE constraint failed: TryOutBK.BookDate"), 19, QStringLiteral("HY000"))
                    .isUniqueViolation());
    EXPECT_TRUE(DbError(QStringLiteral("x"), 2067).isUniqueViolation());
    EXPECT_TRUE(DbError(QStringLiteral("Violation of PRIMARY KEY constraint 'PK_TryOutBK'. Cannot insert duplicate key"),
                        0, QStringLiteral("23000"))
                    .isUniqueViolation());
    EXPECT_FALSE(DbError(QStringLiteral("NOT NULL constraint failed: u.a"), 19, QStringLiteral("HY000"))
                     .isUniqueViolation());
    EXPECT_FALSE(DbError(QStringLiteral("CHECK constraint failed: a > 0"), 19).isUniqueViolation());
    // A message that merely names a unique thing is no violation when no constraint failed.
    EXPECT_FALSE(DbError(QStringLiteral("no such column: UNIQUE constraint"), 1, QStringLiteral("HY000"))
                     .isUniqueViolation());
}

TEST_F(Odbc, TransactionsRollBack)
{
    {
        DbTransaction t(db.get());
        exec(QStringLiteral("insert into p(k) values(1)"));
        {
            DbTransaction inner(db.get());
            exec(QStringLiteral("insert into p(k) values(2)"));
        }
        t.commit();
    }
    db->BeginTrans();
    exec(QStringLiteral("insert into p(k) values(3)"));
    db->RollbackTrans();
    EXPECT_EQ(queryRows(*db, QStringLiteral("select k from p order by k")), QStringList{QStringLiteral("1")});
    // What was committed through ODBC is in the file for every other connection.
    auto other = TADOConnection::openSqlite(path);
    EXPECT_EQ(queryRows(*other, QStringLiteral("select count(*) from p")), QStringList{QStringLiteral("1")});
}

// A result still being read when another statement runs keeps all its rows (a server connection
// serves one result at a time, so the reader takes the rest into memory first).
TEST_F(Odbc, ReadingGoesOnAcrossOtherStatements)
{
    for (int k = 1; k <= 5; ++k) exec(QStringLiteral("insert into p(k,t) values(:K,:T)"), {{"K", k}, {"T", QString::number(k)}});
    TADOQuery reader(db.get());
    reader.SQL << QStringLiteral("select k, t from p order by k");
    reader.Open();
    QStringList seen;
    while (!reader.Eof()) {
        seen << reader.FieldByName(QStringLiteral("t")).AsString();
        exec(QStringLiteral("update p set t='x' where k=:K"), {{"K", reader.FieldByName(QStringLiteral("k")).AsInteger() + 1}});
        reader.Next();
    }
    // Rows read after the first update were taken before it changed them.
    EXPECT_EQ(seen, (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                                 QStringLiteral("5")}));
    EXPECT_EQ(queryRows(*db, QStringLiteral("select count(*) from p where t='x'")), QStringList{QStringLiteral("4")});

    // A query that outlives its connection does no harm.
    TADOQuery late(db.get());
    late.SQL << QStringLiteral("select k from p");
    late.Open();
    db.reset();
    late.Next();
    EXPECT_TRUE(late.Eof());
}

TEST(OdbcConnect, FailureAndDescription)
{
    EXPECT_THROW(TADOConnection::openOdbc(QStringLiteral("DRIVER=NoSuchDriver;Database=x")), DbError);
    const QString file = testTempDir() + QStringLiteral("/d.db");
    auto c = TADOConnection::openOdbc(QStringLiteral("DRIVER=SQLite3;Database=%1;PWD=geheim").arg(file));
    EXPECT_FALSE(c->description().contains(QStringLiteral("geheim")));
    EXPECT_TRUE(c->description().contains(file));
}

// Success with info never fails a statement; a failure reports its first error, not a warning
// that came before it.
TEST(OdbcDiagnostics, InformationalRecordsAreKeptApart)
{
    auto c = TADOConnection::openSqlite(testTempDir() + QStringLiteral("/x.db"));
    recordDiagnostics(*c, false,
                      {{QStringLiteral("01003"), 8153, QStringLiteral("Null value is eliminated by an aggregate")},
                       {QStringLiteral("01000"), 0, QStringLiteral("trigger message")}},
                      QStringLiteral("fallback"));
    ASSERT_EQ(c->Errors().size(), 2);
    EXPECT_TRUE(c->Errors()[0].Informational);
    EXPECT_TRUE(c->Errors()[1].Informational);
    EXPECT_EQ(c->Errors()[0].SqlState, QStringLiteral("01003"));

    c->clearErrors();
    try {
        recordDiagnostics(*c, true,
                          {{QStringLiteral("01000"), 0, QStringLiteral("warning first")},
                           {QStringLiteral("23000"), 2627, QStringLiteral("Violation of UNIQUE KEY")},
                           {QStringLiteral("HY000"), 1, QStringLiteral("second error")}},
                          QStringLiteral("fallback"));
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Violation of UNIQUE KEY"));
        EXPECT_TRUE(e.isUniqueViolation());
    }
    ASSERT_EQ(c->Errors().size(), 3);
    EXPECT_TRUE(c->Errors()[0].Informational);
    EXPECT_FALSE(c->Errors()[1].Informational);

    c->clearErrors();
    EXPECT_THROW(recordDiagnostics(*c, true, {}, QStringLiteral("fallback")), DbError);
    ASSERT_EQ(c->Errors().size(), 1);
    EXPECT_EQ(c->Errors()[0].Description, QStringLiteral("fallback"));
}

} // namespace

// A DSN that leads to FreeTDS gets the client character set, whatever the connection string
// says of the driver; other drivers and strings that name a character set stay as they are.
TEST(OdbcConnect, FreeTdsBehindADsnGetsTheClientCharacterSet)
{
    EXPECT_EQ(withClientCharset(QStringLiteral("DSN=suite;UID=tryout"), QStringLiteral("libtdsodbc.so")),
              QStringLiteral("DSN=suite;UID=tryout;ClientCharset=UTF-8;"));
    EXPECT_EQ(withClientCharset(QStringLiteral("DSN=suite;"), QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so")),
              QStringLiteral("DSN=suite;ClientCharset=UTF-8;"));
    EXPECT_EQ(withClientCharset(QStringLiteral("DSN=suite;clientcharset=GBK"), QStringLiteral("libtdsodbc.so")), QString());
    EXPECT_EQ(withClientCharset(QStringLiteral("DSN=demo"), QStringLiteral("libsqlite3odbc.so")), QString());
}
