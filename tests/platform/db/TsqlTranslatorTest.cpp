// The T-SQL translation: each rewrite is checked by what the statement does on SQLite, and the
// text is pinned only where the exact form matters (literals untouched, numeric + kept).
#include "platform/db/DbBackend.h"
#include "platform/db/TsqlTranslator.h"
#include "tests/support/TestSupport.h"

using namespace Qt::StringLiterals;

namespace {

using TsqlTranslator::translate;

class Translation : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = TADOConnection::openSqlite(testTempDir() + QStringLiteral("/t.db"));
        db->executeScript(QStringLiteral(
            "CREATE TABLE t (code VARCHAR(6) COLLATE NOCASE, name VARCHAR(10) COLLATE NOCASE, "
            "txt VARCHAR(10) COLLATE NOCASE, n INTEGER, r REAL);"
            "INSERT INTO t VALUES ('0101', 'Shop', '3', 1, 2.5);"
            "INSERT INTO t VALUES ('0102', NULL, NULL, NULL, NULL);"
            "INSERT INTO t VALUES ('ab', 'ABC', '12', 7, 0.5);"));
    }
    QStringList rows(const QString& tsql) { return queryRows(*db, tsql); }
    std::unique_ptr<TADOConnection> db;
};

TEST_F(Translation, StringPlusConcatenatesAndNumericPlusAdds)
{
    EXPECT_EQ(rows(QStringLiteral("select rtrim(code)+'-'+name as x from t where n=1")),
              QStringList{QStringLiteral("0101-Shop")});
    // Both + of a chain become ||, also when the string operand comes last.
    EXPECT_EQ(rows(QStringLiteral("select name+'/'+code+'!' from t where n=7")), QStringList{QStringLiteral("ABC/ab!")});
    EXPECT_EQ(rows(QStringLiteral("select code+upper(name) from t where n=7")), QStringList{QStringLiteral("abABC")});
    EXPECT_EQ(rows(QStringLiteral("select IsNull(name,'')+'*' from t where code='0102'")), QStringList{QStringLiteral("*")});
    EXPECT_EQ(rows(QStringLiteral("select ('<'+code)+'>' from t where n=7")), QStringList{QStringLiteral("<ab>")});
    EXPECT_EQ(rows(QStringLiteral("select Case when n=7 then 'x'+code else '' end + ':' from t where n=7")),
              QStringList{QStringLiteral("xab:")});
    // Column + column is only known to be text with a text operand in the chain; a leading ''
    // makes it one on both dialects.
    EXPECT_EQ(rows(QStringLiteral("select ''+name+code from t where n=7")), QStringList{QStringLiteral("ABCab")});
    // Numbers keep adding, next to a string chain in the same select list too.
    EXPECT_EQ(rows(QStringLiteral("select Sum(n)+Sum(n), code+'.' from t where n=7")), QStringList{QStringLiteral("14\tab.")});
    EXPECT_EQ(rows(QStringLiteral("select n+r from t where n=1")), QStringList{QStringLiteral("3.5")});
    // NULL stays NULL, as with CONCAT_NULL_YIELDS_NULL.
    EXPECT_EQ(rows(QStringLiteral("select count(*) from t where name+'x' is null")), QStringList{QStringLiteral("1")});
}

TEST_F(Translation, LiteralsCommentsAndParametersAreNotTouched)
{
    const QString s = QStringLiteral("select code from t where name like '%1+1%' and txt<>'10:30' -- a+'b' :x\n"
                                     " and code<>'it''s + :y' /* IsNull(x,'') */ and n=:N");
    const QString out = translate(s);
    EXPECT_TRUE(out.contains(QStringLiteral("'%1+1%'")));
    EXPECT_TRUE(out.contains(QStringLiteral("'10:30'")));
    EXPECT_TRUE(out.contains(QStringLiteral("'it''s + :y'")));
    EXPECT_TRUE(out.contains(QStringLiteral("-- a+'b' :x\n")));
    EXPECT_TRUE(out.contains(QStringLiteral("/* IsNull(x,'') */")));
    const std::vector<ParamRef> ps = scanParams(out);
    ASSERT_EQ(ps.size(), 1u);
    EXPECT_EQ(ps[0].name, QStringLiteral("N"));

    TADOQuery q(db.get());
    q.SQL << QStringLiteral("select :A+'|'+code from t where code='0101' and name<>'a:B+c'");
    q.Parameters.ParamByName(QStringLiteral("A")).Value = QStringLiteral("p:q+r");
    q.Open();
    EXPECT_EQ(q.Field(0).AsString(), QStringLiteral("p:q+r|0101"));
    EXPECT_EQ(q.Parameters.Count(), 1);
}

TEST_F(Translation, SelectListAliasAssignment)
{
    TADOQuery q(db.get());
    q.SQL << QStringLiteral("select code, Total = n*2, Rate =Case when n<>0 then round(r*1.0/n,2) else 0 end, "
                            "Flag = (case when n>=5 then 'big' end)")
          << QStringLiteral("from t where n = 7");
    q.Open();
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldName(1), QStringLiteral("Total"));
    EXPECT_EQ(q.FieldByName(QStringLiteral("Total")).AsInteger(), 14);
    EXPECT_DOUBLE_EQ(q.FieldByName(QStringLiteral("Rate")).AsFloat(), 0.07);
    EXPECT_EQ(q.FieldByName(QStringLiteral("Flag")).AsString(), QStringLiteral("big"));
    // Comparisons outside select lists and <=/>= stay what they are.
    EXPECT_EQ(rows(QStringLiteral("select code from t where n <= 1 or code = 'ab' order by code")),
              (QStringList{QStringLiteral("0101"), QStringLiteral("ab")}));
    EXPECT_EQ(rows(QStringLiteral("select distinct x = code from (select code from t where n=1) d")),
              QStringList{QStringLiteral("0101")});
}

TEST_F(Translation, IsNullKeepsCollationAndComparesNumbers)
{
    // The text form stays case-insensitive, as the column is.
    EXPECT_EQ(rows(QStringLiteral("select code from t where (IsNull(name,'')='abc')")), QStringList{QStringLiteral("ab")});
    EXPECT_EQ(rows(QStringLiteral("select count(*) from t where ISNULL(name,'') = ''")), QStringList{QStringLiteral("1")});
    // The numeric form compares numbers: '3' >= 5 is false, '12' >= 5 true (text sorts above
    // numbers on SQLite otherwise).
    EXPECT_EQ(rows(QStringLiteral("select code from t where (IsNull(txt,0)>=5)")), QStringList{QStringLiteral("ab")});
    EXPECT_EQ(rows(QStringLiteral("select isnull(max(n),0) as m from t where n>100")), QStringList{QStringLiteral("0")});
    EXPECT_EQ(rows(QStringLiteral("select isnull(max(n),-1) from t")), QStringList{QStringLiteral("7")});
    // Any other second argument is a plain coalesce.
    EXPECT_EQ(rows(QStringLiteral("select IsNull(name,code) from t where code='0102'")), QStringList{QStringLiteral("0102")});
}

TEST_F(Translation, DeleteWithoutFrom)
{
    TADOQuery q(db.get());
    q.SQL << QStringLiteral(" delete t") << QStringLiteral(" where code=:C ");
    q.Parameters.ParamByName(QStringLiteral("C")).Value = QStringLiteral("AB");
    EXPECT_EQ(q.ExecSQL(), 1);
    q.SQL.clear();
    q.SQL << QStringLiteral("Delete from t where n=1");
    EXPECT_EQ(q.ExecSQL(), 1);
    EXPECT_EQ(rows(QStringLiteral("select code from t")), QStringList{QStringLiteral("0102")});
}

TEST_F(Translation, SysobjectsAndCreateTable)
{
    const QString exists = QStringLiteral("Select Name from Sysobjects where Name ='tXtQryField' and Type='u' ");
    EXPECT_TRUE(rows(exists).isEmpty());
    TADOQuery q(db.get());
    q.SQL << QStringLiteral("Create TABLE tXtQryField (") << QStringLiteral("QryCode  VarChar(10) NOT NULL ,")
          << QStringLiteral("FldName VarChar(40) NOT NULL ,") << QStringLiteral("FldSize  Int NOT NULL Default(0) ,")
          << QStringLiteral("IsSum VarChar(1)  NULL DEFAULT ('0'),")
          << QStringLiteral("Primary Key (QryCode,FldName))");
    q.ExecSQL();
    EXPECT_EQ(rows(exists), QStringList{QStringLiteral("tXtQryField")});
    EXPECT_EQ(rows(QStringLiteral("select s.name from sysobjects s where s.xtype='U' and s.name='T'")),
              QStringList{QStringLiteral("t")});
    // The key compares as the server's case-insensitive collation does; the defaults work.
    q.SQL.clear();
    q.SQL << QStringLiteral("insert into tXtQryField(QryCode,FldName) values('TryOutR','Rate')");
    q.ExecSQL();
    EXPECT_EQ(rows(QStringLiteral("select FldSize, IsSum from tXtQryField")), QStringList{QStringLiteral("0\t0")});
    q.SQL.clear();
    q.SQL << QStringLiteral("insert into tXtQryField(QryCode,FldName) values('TRYOUTR','rate')");
    try {
        q.ExecSQL();
        FAIL() << "duplicate key accepted";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isUniqueViolation()) << e.what();
    }
}

TEST_F(Translation, NationalLiteralsAndSubstring)
{
    EXPECT_EQ(rows(QStringLiteral("select substring(N'一楼化妆品',2,2)+N'x'")), QStringList{QStringLiteral("楼化x")});
}

namespace {
QString refusal(const QString& tsql)
{
    try {
        translate(tsql);
    } catch (const DbError& e) {
        return e.message();
    }
    return QString();
}
} // namespace

TEST_F(Translation, StringsBesideNumbersAddAsOnTheServerOrAreRefused)
{
    EXPECT_EQ(rows(QStringLiteral("select '1'+1, 10+'5', ''+3, '2.5'+1.0")), QStringList{QStringLiteral("2\t15\t3\t3.5")});
    // SQL Server converts the string to the number's type and fails where it cannot.
    for (const char* refused : {"select 'x'+2*3", "select '1.5'+1", "select rtrim(code)+1 from t",
                                "select 1+upper(name) from t", "select 'a'+'b'*2"}) {
        EXPECT_TRUE(refusal(QString::fromLatin1(refused)).contains(QStringLiteral("SQL Server"))) << refused;
    }
    EXPECT_TRUE(refusal(QStringLiteral("select 'x'+2*3")).contains(QStringLiteral("'x'")));
    // A string concatenation with another operator in it would bind differently on SQLite.
    EXPECT_TRUE(refusal(QStringLiteral("select code+'-'+name*n from t")).contains(QStringLiteral("连接")));
    // Numbers and columns keep their meaning.
    EXPECT_EQ(rows(QStringLiteral("select -n+1, code+'-'+name from t where n=7")), QStringList{QStringLiteral("-6\tab-ABC")});
}

TEST_F(Translation, ParametersConcatenateWhenTheyHoldText)
{
    TADOQuery q(db.get());
    q.SQL << QStringLiteral("select :A + :B as x");
    q.Parameters.ParamByName(QStringLiteral("A")).Value = QStringLiteral("01");
    q.Parameters.ParamByName(QStringLiteral("B")).Value = QStringLiteral("02");
    q.Open();
    EXPECT_EQ(q.Field(0).AsString(), QStringLiteral("0102"));
    q.Close();
    // The same text with numbers adds (a translation of its own, not the cached one).
    q.Parameters.ParamByName(QStringLiteral("A")).Value = 1;
    q.Parameters.ParamByName(QStringLiteral("B")).Value = 2;
    q.Open();
    EXPECT_EQ(q.Field(0).AsInteger(), 3);
    q.Close();
    // Text beside a number: refused rather than added leniently.
    q.SQL.clear();
    q.SQL << QStringLiteral("select :A + 1");
    q.Parameters.ParamByName(QStringLiteral("A")).Value = QStringLiteral("x");
    EXPECT_THROW(q.Open(), DbError);
}

TEST_F(Translation, CastsToDecimalAndTextAnswerAsTheServer)
{
    EXPECT_EQ(rows(QStringLiteral("select cast(7 as decimal(10,2))/2, cast(12.345 as decimal(10,2)), "
                                  "cast(2.5 as numeric), cast(1.23456 as money)")),
              QStringList{QStringLiteral("3.5\t12.35\t3\t1.2346")});
    EXPECT_EQ(rows(QStringLiteral("select cast('abcdef' as varchar(3)), cast('ab' as char(4))+'|', "
                                  "cast(n as nvarchar(1)) from t where n=7")),
              QStringList{QStringLiteral("abc\tab  |\t7")});
    EXPECT_EQ(rows(QStringLiteral("select count(*) from t where cast(name as varchar(2)) is null")),
              QStringList{QStringLiteral("1")});
    EXPECT_EQ(rows(QStringLiteral("select cast('") + QString(40, u'x') + QStringLiteral("' as varchar)")),
              QStringList{QString(30, u'x')});
}

namespace {
// The translation a statement gets on this connection (with the columns' declared types), or
// the refusal's message.
QString refusalOn(TADOConnection& c, const QString& tsql)
{
    try {
        c.prepareText(tsql);
    } catch (const DbError& e) {
        return e.message();
    }
    return QString();
}
} // namespace

TEST_F(Translation, ColumnTypesDecideAsOnTheServer)
{
    // A number column with a string adds: '' is 0 on the server, so the answer is the number.
    EXPECT_EQ(rows(QStringLiteral("select n+'', ''+n, r+'', n+' 2', code+'' from t where n=7")),
              QStringList{QStringLiteral("7\t7\t0.5\t9\tab")});
    TADOQuery q(db.get());
    q.SQL << QStringLiteral("select x.n+'' from t x where x.n=7");
    q.Open();
    EXPECT_EQ(q.Field(0).type(), DbType::Integer);
    q.Close();
    // A string that is no number beside a number column fails on the server: refused here.
    for (const char* refused : {"select n+'-'+code from t", "select code+'-'+n from t", "select r+'x' from t",
                                "select n+'1.5' from t"})
        EXPECT_TRUE(refusalOn(*db, QString::fromLatin1(refused)).contains(QStringLiteral("不能转换为数值"))) << refused;
    // Text columns concatenate without a literal among them, qualified or not.
    EXPECT_EQ(rows(QStringLiteral("select code+name, t.code+t.name+txt from t where n=7")),
              QStringList{QStringLiteral("abABC\tabABC12")});
    // A number column and a text column add, as the server converts the text.
    EXPECT_EQ(rows(QStringLiteral("select n+txt from t where n=7")), QStringList{QStringLiteral("19")});
}

TEST_F(Translation, IsNullTakesTheTypeOfItsFirstArgument)
{
    // A text column keeps its text ('0101', not 101); NULL gives the number as text.
    EXPECT_EQ(rows(QStringLiteral("select IsNull(code,0), IsNull(txt,0), IsNull(x.txt,-1)+'|' from t x "
                                  "where x.code in ('0101','0102') order by x.code")),
              (QStringList{QStringLiteral("0101\t3\t3|"), QStringLiteral("0102\t0\t-1|")}));
    EXPECT_EQ(rows(QStringLiteral("select code from t order by IsNull(txt,0)")),
              (QStringList{QStringLiteral("0102"), QStringLiteral("ab"), QStringLiteral("0101")}));
    // Compared with a number it compares as a number, with a string as a string.
    EXPECT_EQ(rows(QStringLiteral("select code from t where IsNull(txt,0)>=5")), QStringList{QStringLiteral("ab")});
    EXPECT_EQ(rows(QStringLiteral("select code from t where 5<=IsNull(txt,0)")), QStringList{QStringLiteral("ab")});
    EXPECT_EQ(rows(QStringLiteral("select code from t where IsNull(txt,0)='0' or IsNull(code,0)='AB' order by code")),
              (QStringList{QStringLiteral("0102"), QStringLiteral("ab")}));
    EXPECT_EQ(rows(QStringLiteral("select case IsNull(txt,0) when 3 then 'n' else '-' end, "
                                  "case IsNull(txt,0) when '3' then 's' end from t where code='0101'")),
              QStringList{QStringLiteral("n\ts")});
    // A number column: '' is 0, and an integer column truncates a decimal replacement.
    EXPECT_EQ(rows(QStringLiteral("select IsNull(n,''), IsNull(n,2.75), IsNull(r,2.75) from t where code='0102'")),
              QStringList{QStringLiteral("0\t2\t2.75")});
    EXPECT_TRUE(refusalOn(*db, QStringLiteral("select IsNull(n,'x') from t")).contains(QStringLiteral("'x'")));
    // A replacement wider than the text column cannot be stored in its type.
    EXPECT_TRUE(refusalOn(*db, QStringLiteral("select IsNull(code,1234567) from t")).contains(QStringLiteral("1234567")));
}

TEST_F(Translation, VarcharCutsCountGbkBytes)
{
    db->executeScript(QStringLiteral("INSERT INTO t VALUES ('0103', '一楼化妆品', 'a一b', 9, 1.0);"));
    // varchar(n) holds n bytes, a Chinese character 2; a cut never splits one. char(n) pads
    // to n bytes; nvarchar(n) counts characters.
    EXPECT_EQ(rows(QStringLiteral("select cast(name as varchar(3)), cast(name as varchar(4)), cast(txt as varchar(2)), "
                                  "cast(name as char(3))+'|', cast(txt as char(6))+'|', cast(name as nvarchar(2)) "
                                  "from t where n=9")),
              QStringList{QStringLiteral("一\t一楼\ta\t一 |\ta一b  |\t一楼")});
    EXPECT_EQ(rows(QStringLiteral("select cast(N'一楼化妆品' as varchar(5)), cast(N'一a' as char(4))+'|', "
                                  "cast('abcdef' as varchar(3))")),
              QStringList{QStringLiteral("一楼\t一a |\tabc")});
    // Numbers and short columns are cut as before; NULL stays NULL.
    EXPECT_EQ(rows(QStringLiteral("select cast(n as varchar(1)), cast(code as varchar(2)), cast(code as varchar(6)) "
                                  "from t where n=1")),
              QStringList{QStringLiteral("1\t01\t0101")});
    EXPECT_EQ(rows(QStringLiteral("select count(*) from t where cast(name as varchar(3)) is null")),
              QStringList{QStringLiteral("1")});
    // text has no length to cut to.
    EXPECT_EQ(rows(QStringLiteral("select cast('") + QString(40, u'x') + QStringLiteral("' as text)")),
              QStringList{QString(40, u'x')});
    // Any other text expression is refused rather than cut by characters.
    EXPECT_TRUE(refusalOn(*db, QStringLiteral("select cast(rtrim(name) as varchar(3)) from t")).contains(QStringLiteral("字节")));
}

TEST_F(Translation, TypesFollowTheSchemaOfTheConnection)
{
    db->executeScript(QStringLiteral("CREATE TABLE u (v INTEGER); INSERT INTO u VALUES ('05');"));
    const QString s = QStringLiteral("select v+'1' from u");
    EXPECT_EQ(rows(s), QStringList{QStringLiteral("6")});
    // The same text after the table changed is translated anew.
    db->executeScript(QStringLiteral("DROP TABLE u; CREATE TABLE u (v VARCHAR(4)); INSERT INTO u VALUES ('05');"));
    EXPECT_EQ(rows(s), QStringList{QStringLiteral("051")});
    // Another connection with its own tables gets its own answer for the same text.
    auto other = TADOConnection::openSqlite(testTempDir() + QStringLiteral("/other.db"));
    other->executeScript(QStringLiteral("CREATE TABLE u (v REAL); INSERT INTO u VALUES (2.5);"));
    EXPECT_EQ(queryRows(*other, s), QStringList{QStringLiteral("3.5")});
    EXPECT_EQ(rows(s), QStringList{QStringLiteral("051")});
}

TEST_F(Translation, QuotedNamesLiteralsAndNesting)
{
    // "name" is an identifier: a missing one is an error, not the string 'nosuch'.
    EXPECT_EQ(rows(QStringLiteral("select \"code\" from t where n=1")), QStringList{QStringLiteral("0101")});
    EXPECT_THROW(rows(QStringLiteral("select \"nosuch\" from t")), DbError);
    // Two literals without a separator are not one literal with a quote in it.
    EXPECT_TRUE(refusal(QStringLiteral("select 'a'N'b'")).contains(QStringLiteral("'a'N'b'")));
    EXPECT_EQ(rows(QStringLiteral("select 'a'+N'b', 'it''s'")), QStringList{QStringLiteral("ab\tit's")});
    // Deep nesting is refused with a message instead of running out of stack.
    const int limit = TsqlTranslator::MaxNesting;
    EXPECT_EQ(rows(QStringLiteral("select ") + QString(40, u'(') + QStringLiteral("1") + QString(40, u')')),
              QStringList{QStringLiteral("1")});
    EXPECT_NO_THROW(translate(QStringLiteral("select ") + QString(limit, u'(') + QStringLiteral("1") + QString(limit, u')')));
    for (int depth : {limit + 1, 25000})
        EXPECT_TRUE(refusal(QStringLiteral("select ") + QString(depth, u'(') + QStringLiteral("1") + QString(depth, u')'))
                        .contains(QStringLiteral("括号嵌套超过 %1 层").arg(limit)))
            << depth;
}

TEST(TranslationCache, SameTextTranslatedOnce)
{
    TsqlTranslator::clearCache();
    const QString s = QStringLiteral("select a+'x' from t");
    const QString first = TsqlTranslator::toSqlite(s);
    EXPECT_EQ(TsqlTranslator::cacheSize(), 1);
    EXPECT_EQ(TsqlTranslator::toSqlite(s), first);
    EXPECT_EQ(TsqlTranslator::cacheSize(), 1);
    EXPECT_EQ(first, QStringLiteral("select a||'x' from t"));
    TsqlTranslator::toSqlite(QStringLiteral("select 1"));
    EXPECT_EQ(TsqlTranslator::cacheSize(), 2);
}

// A statement may hold any character, the separators of the cache's key included: a statement
// must never be answered with the translation of another.
TEST(TranslationCache, NoTwoStatementsShareAnEntry)
{
    TsqlTranslator::clearCache();
    const QString concat = QStringLiteral("select :a+:b");
    EXPECT_EQ(TsqlTranslator::toSqlite(concat, {QStringLiteral("a"), QStringLiteral("b")}),
              QStringLiteral("select :a||:b"));
    const QString lookalike = concat + QChar(0x1F) + QLatin1Char('a') + QChar(0x1F) + QLatin1Char('b');
    QString fresh, cached;
    try {
        fresh = TsqlTranslator::translate(lookalike, {});
    } catch (const DbError& e) {
        fresh = QStringLiteral("refused: ") + e.message();
    }
    try {
        cached = TsqlTranslator::toSqlite(lookalike, {});
    } catch (const DbError& e) {
        cached = QStringLiteral("refused: ") + e.message();
    }
    EXPECT_EQ(cached, fresh);
    EXPECT_NE(cached, QStringLiteral("select :a||:b"));
}

} // namespace
