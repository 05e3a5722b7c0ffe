// The dataset's filter language against what a user or a database can feed it: texts that are
// not UTF-8, cut characters, deep nesting, typed wildcards; and scientific display of tiny values.
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/FilterExpr.h"
#include "platform/dataset/FormatFloat.h"
#include "platform/db/Db.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class FilterSafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = TADOConnection::openSqlite(testTempDir() + QStringLiteral("/filter.db"));
        db->executeScript(QStringLiteral("create table T (K int, S varchar(40), P varchar(40));"));
    }
    void load(const QString& sql)
    {
        query = std::make_unique<TADOQuery>(db.get());
        query->SQL << sql;
        provider.setDataSet(query.get());
        ds.setProvider(&provider);
        ds.Close();
        ds.Open();
    }
    QString keys(const QString& filter)
    {
        ds.setFiltered(false);
        ds.setFilter(filter);
        ds.setFiltered(true);
        QStringList out;
        for (ds.First(); !ds.Eof(); ds.Next()) out << ds.FieldByName(QStringLiteral("K"))->AsString();
        return out.join(u',');
    }
    QString refusal(const QString& filter)
    {
        try {
            ds.setFilter(filter);
        } catch (const DatasetError& e) {
            return e.message();
        }
        return QString();
    }
    std::unique_ptr<TADOConnection> db;
    std::unique_ptr<TADOQuery> query;
    TDataSetProvider provider;
    TClientDataSet ds;
};

} // namespace

TEST(LikeMatch, CutCharactersAtTheEndAreComparedByTheBytesThatAreThere)
{
    using dsimpl::likeMatch;
    // A pattern ending in the first byte of a three-byte character matches only that byte.
    EXPECT_FALSE(likeMatch("\xe4\xb8\xad", "\xe4", false));
    EXPECT_TRUE(likeMatch("\xe4", "\xe4", false));
    EXPECT_TRUE(likeMatch("x\xe4", "%\xe4", false));
    EXPECT_TRUE(likeMatch("x\xe4", "x_", false));
    EXPECT_FALSE(likeMatch(std::string_view("aaaa\xf0\0\0\0", 8), "aaaa\xf0", false));
    EXPECT_TRUE(likeMatch(std::string_view("aaaa\xf0\0\0\0", 8), "aaaa\xf0%", false));
    // Escaped wildcards are plain characters; an escape at the end is itself.
    EXPECT_TRUE(likeMatch("10%", "10\\%", false, '\\'));
    EXPECT_FALSE(likeMatch("100", "10\\%", false, '\\'));
    EXPECT_TRUE(likeMatch("a_b", "%\\_%", false, '\\'));
    EXPECT_FALSE(likeMatch("ab", "%\\_%", false, '\\'));
    EXPECT_TRUE(likeMatch("a\\", "a\\", false, '\\'));
    EXPECT_TRUE(likeMatch("a\\b", "a\\\\b", false, '\\'));
}

TEST_F(FilterSafety, TextsThatAreNotUtf8AreRepairedWhenLoaded)
{
    // 20 × 'a', then F0 and three NULs; the pattern ends in the lone F0.
    db->executeScript(QStringLiteral(
        "insert into T values (1, CAST(x'6161616161616161616161616161616161616161f0000000' AS TEXT),"
        " CAST(x'6161616161616161616161616161616161616161f0' AS TEXT));"
        "insert into T values (2, CAST(x'61f0' AS TEXT), CAST(x'61f0' AS TEXT));"
        "insert into T values (3, CAST(x'e4b8ad' AS TEXT), CAST(x'e4' AS TEXT));"));
    load(QStringLiteral("select K, S, P from T order by K"));
    ds.First();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("S"))->AsString(),
              QString(20, u'a') + QChar(QChar::ReplacementCharacter) + QString(3, QChar(0)));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("P"))->AsString(), QString(20, u'a') + QChar(QChar::ReplacementCharacter));
    EXPECT_EQ(keys(QStringLiteral("S like P")), QStringLiteral("2"));
    EXPECT_EQ(keys(QStringLiteral("S like 'a%'")), QStringLiteral("1,2"));
    EXPECT_EQ(keys(QStringLiteral("S like '%中%'")), QStringLiteral("3"));
}

TEST_F(FilterSafety, DeepNestingIsRefusedWithAMessage)
{
    db->executeScript(QStringLiteral("insert into T values (1, 'a', 'b');"));
    load(QStringLiteral("select K, S, P from T"));
    const auto nested = [](int depth, const QString& inner) {
        return QString(depth, u'(') + inner + QString(depth, u')');
    };
    const QString limit = QString::number(dsimpl::MaxFilterNesting);
    EXPECT_EQ(keys(nested(dsimpl::MaxFilterNesting - 1, QStringLiteral("S='a'"))), QStringLiteral("1"));
    for (const QString& deep : {nested(5781, QStringLiteral("S='a'")),
                                nested(dsimpl::MaxFilterNesting + 1, QStringLiteral("S='a'")),
                                QStringLiteral("K = ") + QString(50000, u'-') + QStringLiteral("1"),
                                QString(50000, u'(') + QStringLiteral("1"),
                                QStringLiteral("not ").repeated(20000) + QStringLiteral("S='a'")}) {
        const QString m = refusal(deep);
        EXPECT_TRUE(m.contains(QStringLiteral("嵌套超过 ") + limit + QStringLiteral(" 层"))) << m.left(200).toStdString();
    }
    // A long chain of operators builds a deep tree too.
    const QString chain = QStringLiteral("S='x'") + QStringLiteral(" or S='x'").repeated(dsimpl::MaxFilterOperators + 1);
    EXPECT_TRUE(refusal(chain).contains(QStringLiteral("运算符超过"))) << refusal(chain).left(200).toStdString();
    EXPECT_EQ(keys(QStringLiteral("S='x'") + QStringLiteral(" or S='a'").repeated(2000)), QStringLiteral("1"));
}

TEST_F(FilterSafety, LikeTakesAnEscapeCharacter)
{
    db->executeScript(QStringLiteral("insert into T values (1, '100%', ''); insert into T values (2, '1000', '');"
                                     "insert into T values (3, 'a_b', ''); insert into T values (4, 'axb', '');"));
    load(QStringLiteral("select K, S, P from T order by K"));
    EXPECT_EQ(keys(QStringLiteral("S like '%\\%%' escape '\\'")), QStringLiteral("1"));
    EXPECT_EQ(keys(QStringLiteral("S like '%0%%'")), QStringLiteral("1,2"));
    EXPECT_EQ(keys(QStringLiteral("S like 'a\\_b' ESCAPE '\\'")), QStringLiteral("3"));
    EXPECT_EQ(keys(QStringLiteral("S not like 'a!_%' escape '!'")), QStringLiteral("1,2,4"));
    for (const char* bad : {"S like 'a' escape", "S like 'a' escape 'ab'", "S like 'a' escape '%'"})
        EXPECT_TRUE(refusal(QString::fromLatin1(bad)).startsWith(QStringLiteral("过滤条件有误"))) << bad;
}

TEST(FormatFloatScientific, TinyValuesShowTheirMantissa)
{
    EXPECT_EQ(FormatFloat(QStringLiteral("0.00E+00"), 1e-20), QStringLiteral("1.00E-20"));
    EXPECT_EQ(FormatFloat(QStringLiteral("0.00E+00"), -2.5e-300), QStringLiteral("-2.50E-300"));
    EXPECT_EQ(FormatFloat(QStringLiteral("0.00E+00"), 0), QStringLiteral("0.00E+00"));
    // Fixed patterns still show a value that rounds to zero as zero, without a sign.
    EXPECT_EQ(FormatFloat(QStringLiteral("0.00"), -1e-20), QStringLiteral("0.00"));
}
