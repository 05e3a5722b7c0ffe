// The expression engine of calculated fields: checker, display text, division guard, fragment.
#include "calc/CalcEngine.h"

#include "tests/calc/CalcTestUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
QString q(const char* s) { return u8(s); }
} // namespace

TEST(CalcCheckExpression, CodesAndTrimming)
{
    const struct {
        const char* text;
        const char* result;
    } cases[] = {
        {"(a+b", "#A"},
        {"a+b)", "#A"},
        {")a(", "#B"},      // first ")" before the first "("
        {"(a)b", "#B"},     // ")" followed by an operand
        {"(a+)", "#B"},     // operator before ")"
        {"(+a)", "#C"},     // operator after "("
        {"a(b)", "#C"},     // operand before "("
        {"(a)(b)", "#B"},   // ")" followed by "(" is caught at the ")" first
        {"a+*b", "#D"},
        {"a*-b", "#D"},
        {"+a+b-", "a+b"},   // one leading and one trailing operator trimmed
        {"++a", "+a"},      // only one is trimmed
        {"", ""},
        {"+", ""},
        {"(a+b)*c", "(a+b)*c"},
        {"((a+b))/#2", "((a+b))/#2"},
        {"#'甲'+PluName", "#'甲'+PluName"},
        // As many ")" as "(", but one closes before its "(" was opened: refused, not stored.
        {"(LyCount)))+(((Price)", "#B"},
        {"(a))+((b)", "#B"},
        // Found by fuzzing: an operator left at the end, an empty group, an operator as sign.
        {"a//", "#D"},
        {"a+-", "#D"},
        {"**a", "#D"},
        {"a+()", "#B"},
        {"(())", "#B"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckExpression(q(c.text)), q(c.result)) << c.text;
}

TEST(CalcCheckExpression, OnlyTheFourCodesShowAMessage)
{
    ScriptedPrompter prompts;
    EXPECT_TRUE(ShowExpressionError(QStringLiteral("#A")));
    EXPECT_TRUE(ShowExpressionError(QStringLiteral("#B")));
    EXPECT_TRUE(ShowExpressionError(QStringLiteral("#C")));
    EXPECT_TRUE(ShowExpressionError(QStringLiteral("#D")));
    EXPECT_FALSE(ShowExpressionError(QStringLiteral("#E")));
    EXPECT_FALSE(ShowExpressionError(QStringLiteral("a+b")));
    EXPECT_FALSE(ShowExpressionError(QString()));
    ASSERT_EQ(prompts.calls.size(), 4u);
    EXPECT_EQ(prompts.calls[0].text, q("表达式括号不完整！"));
    EXPECT_EQ(prompts.calls[1].text, q("表达式中‘(’附近有错误！"));
    EXPECT_EQ(prompts.calls[2].text, q("表达式中‘)’附近有错误！"));
    EXPECT_EQ(prompts.calls[3].text, q("表达式中运算符‘+、-、*、/’附近有错误！"));
    for (const PromptCall& c : prompts.calls) EXPECT_EQ(c.flags & 0xF0, MsgFlags::IconError);
}

TEST(CalcExpressToCaption, NamesBecomeCaptions)
{
    const QStringList names{QStringLiteral("Price"), QStringLiteral("LyCount")};
    const QStringList captions{q("领用金额售价"), q("领用数量")};
    EXPECT_EQ(ExpressToCaption(QStringLiteral("(Price-#1)/LyCount"), names, captions),
              q("(领用金额售价-1)/领用数量"));
    EXPECT_EQ(ExpressToCaption(QString(), names, captions), QString());
    EXPECT_EQ(ExpressToCaption(QStringLiteral("Price"), names, captions), q("领用金额售价"));
    EXPECT_EQ(ExpressToCaption(QStringLiteral("#5"), names, captions), QStringLiteral("5"));
    EXPECT_EQ(ExpressToCaption(QStringLiteral("#'abc'+Price"), names, captions), q("'abc'+领用金额售价"));
    // Field names compare as the server compares them.
    EXPECT_EQ(ExpressToCaption(QStringLiteral("price*#2"), names, captions), q("领用金额售价*2"));
    // Delimiters in a row and at both ends are copied as they stand.
    EXPECT_EQ(ExpressToCaption(QStringLiteral("((Price))"), names, captions), q("((领用金额售价))"));
}

TEST(CalcExpressToCaption, OneCharacterCaptionsAndConstantsAtTheEnds)
{
    const QStringList names{QStringLiteral("A"), QStringLiteral("Price")};
    const QStringList captions{q("甲"), q("单价")};
    EXPECT_EQ(ExpressToCaption(QStringLiteral("Price*#2"), names, captions), q("单价*2"));
    EXPECT_EQ(ExpressToCaption(QStringLiteral("#2*A"), names, captions), q("2*甲"));
    EXPECT_EQ(ExpressToCaption(QStringLiteral("A"), names, captions), q("甲"));
}

TEST(CalcExpressToCaption, UnlistedNameShowsItself)
{
    const QStringList names{QStringLiteral("Price")};
    const QStringList captions{q("单价")};
    EXPECT_EQ(ExpressToCaption(QStringLiteral("Price-JPrice"), names, captions), q("单价-JPrice"));
    // Lists of different lengths never read past the captions.
    EXPECT_EQ(ExpressToCaption(QStringLiteral("Cost"), {QStringLiteral("Cost")}, {}), QStringLiteral("Cost"));
}

TEST(CalcDivisionGuard, ExamplesOfIntegerDefinitions)
{
    const struct {
        const char* text;
        const char* guarded;
    } cases[] = {
        {"a/b/c", "a/Case(b) when 0 then 1 else (b) end /Case(c) when 0 then 1 else (c) end "},
        {"a/(b+c)*d", "a/Case((b+c)) when 0 then 1 else ((b+c)) end *d"},
        {"(a/b)*c", "(a/Case(b) when 0 then 1 else (b) end )*c"},
        {"a/((b+c)*d)", "a/Case(((b+c)*d)) when 0 then 1 else (((b+c)*d)) end "},
        // The division inside a divisor is guarded too (in both copies of the divisor).
        {"a/(b/c)", "a/Case((b/Case(c) when 0 then 1 else (c) end )) when 0 then 1 else "
                    "((b/Case(c) when 0 then 1 else (c) end )) end "},
        {"TryTimes/LyCount", "TryTimes/Case(LyCount) when 0 then 1 else (LyCount) end "},
        {"a+b", "a+b"},
        {"a/", "a/"},                 // "/" as the last character
        {"a/(b+c", "a/(b+c"},         // the divisor's group never closes
        {"a/b+c/(d", "a/Case(b) when 0 then 1 else (b) end +c/(d"},
        {"a/2-c", "a/Case(2) when 0 then 1 else (2) end -c"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GuardDivisions(q(c.text), false), q(c.guarded)) << c.text;
}

TEST(CalcDivisionGuard, DecimalDefinitionsMakeTheDivisorDecimal)
{
    EXPECT_EQ(GuardDivisions(QStringLiteral("TryTimes/LyCount"), true),
              QStringLiteral("TryTimes/Case(LyCount) when 0 then 1.0 else 1.0*(LyCount) end "));
    EXPECT_EQ(GuardDivisions(QStringLiteral("(a/b)*c"), true),
              QStringLiteral("(a/Case(b) when 0 then 1.0 else 1.0*(b) end )*c"));
    // Inside a divisor as well: b/c must not divide integers.
    EXPECT_EQ(GuardDivisions(QStringLiteral("a/(b/c)"), true),
              QStringLiteral("a/Case((b/Case(c) when 0 then 1.0 else 1.0*(c) end )) when 0 then 1.0 else "
                             "1.0*((b/Case(c) when 0 then 1.0 else 1.0*(c) end )) end "));
}

TEST(CalcFieldSql, FragmentPerType)
{
    EXPECT_EQ(GetCalcFieldSql(QStringList{}, Dialect::SqlServer), QString());
    EXPECT_EQ(GetCalcFieldSql(QStringList{QStringLiteral("FRate@TryTimes/LyCount")}, Dialect::SqlServer),
              QStringLiteral(" ,(TryTimes/Case(LyCount) when 0 then 1.0 else 1.0*(LyCount) end )/1.0 as R_Rate"));
    EXPECT_EQ(GetCalcFieldSql(QStringList{QStringLiteral("IRate@TryTimes/LyCount")}, Dialect::SqlServer),
              QStringLiteral(" ,cast((TryTimes/Case(LyCount) when 0 then 1 else (LyCount) end ) as bigint) as R_Rate"));
    // Constants lose their marker; string expressions are never guarded.
    EXPECT_EQ(GetCalcFieldSql(QStringList{QStringLiteral("FM@(Price-JPrice)/LyCount*#100")}, Dialect::SqlServer),
              QStringLiteral(" ,((Price-JPrice)/Case(LyCount) when 0 then 1.0 else 1.0*(LyCount) end *100)/1.0 as R_M"));
    EXPECT_EQ(GetCalcFieldSql(QStringList{QStringLiteral("SCode@PluCode+#'A'")}, Dialect::SqlServer),
              QStringLiteral(" ,(PluCode+'A') as R_Code"));
    EXPECT_EQ(GetCalcFieldSql(QStringList{QStringLiteral("SA@a/b")}, Dialect::SqlServer),
              QStringLiteral(" ,(a/b) as R_A"));
    // Several definitions, in list order.
    EXPECT_EQ(GetCalcFieldSql(QStringList{QStringLiteral("IA@a"), QStringLiteral("IB@b*#2")}, Dialect::SqlServer),
              QStringLiteral(" ,cast((a) as bigint) as R_A ,cast((b*2) as bigint) as R_B"));
}

TEST(CalcFieldSql, StringPlusConcatenatesOnSqlite)
{
    EXPECT_EQ(GetCalcFieldSql(QStringList{QStringLiteral("SCode@(PluCode+PluName)+#'A'")}, Dialect::SQLite),
              QStringLiteral(" ,((PluCode||PluName)||'A') as R_Code"));
    // Numeric definitions keep their "+".
    EXPECT_EQ(GetCalcFieldSql(QStringList{QStringLiteral("IN@a+b")}, Dialect::SQLite),
              QStringLiteral(" ,cast((a+b) as bigint) as R_N"));
}

TEST(CalcFieldSql, DefinitionsThatAreNotExpressionsAreLeftOut)
{
    qputenv("QOR_LOG_DIR", testTempDir().toUtf8());
    const QStringList bad{
        QStringLiteral("FX@1) as x from Goods; delete from Goods --"),
        QStringLiteral("FX@a b"),
        QStringLiteral("Fa b@a"),                     // the name goes into the statement too
        QStringLiteral("F1x@a"),
        QStringLiteral("FX@#1e"),
        QStringLiteral("SX@#'a'b'"),
        QStringLiteral("SX@#5"),                      // string constants carry their quotes
        QStringLiteral("FX@#'5'"),
        QStringLiteral("FX@(a+b"),
        QStringLiteral("FX@"),
        QStringLiteral("XX@a"),
        QStringLiteral("FX"),
        QStringLiteral("SX@#'a\u0000b'"),             // a NUL ends the text on the server
        QStringLiteral("SX@#'a\tb'+PluName"),
        QStringLiteral("SX@#'a") + QChar(0xD800) + QStringLiteral("b'"), // a lone surrogate would be stored as "?"
        QStringLiteral("SX@#'😀'"),
        QStringLiteral("FX@(a)))+(((b)"),
    };
    for (const QString& d : bad) EXPECT_EQ(GetCalcFieldSql(QStringList{d}, Dialect::SqlServer), QString()) << d.toStdString();
    EXPECT_EQ(GetCalcFieldSql(QStringList{bad[0], QStringLiteral("IOk@a")}, Dialect::SqlServer),
              QStringLiteral(" ,cast((a) as bigint) as R_Ok"));
}

// Each guard writes its divisor twice: divisions nested in divisors double the statement per
// level, so a short text could ask for gigabytes.
TEST(CalcDivisionGuard, DeeplyNestedDivisorsAreRefusedNotExpanded)
{
    const auto nested = [](int levels) {
        QString t = QStringLiteral("a");
        for (int i = 0; i < levels; ++i) t = QStringLiteral("a/(") + t + QLatin1Char(')');
        return t;
    };
    // A few levels are an ordinary expression and are guarded in full.
    CalcFieldDef ok{QLatin1Char('F'), QStringLiteral("R"), nested(5)};
    EXPECT_EQ(ValidateCalcFieldDef(ok, nullptr), QString());
    EXPECT_EQ(GuardDivisions(nested(5), true).count(QStringLiteral("Case(")), 31);

    for (const QChar type : {QLatin1Char('F'), QLatin1Char('I')}) {
        CalcFieldDef deep{type, QStringLiteral("R"), nested(40)};
        EXPECT_EQ(ValidateCalcFieldDef(deep, nullptr), QStringLiteral("表达式中的除法嵌套过深"));
        EXPECT_EQ(GetCalcFieldSql(QStringList{QString(type) + QStringLiteral("R@") + nested(40)},
                                  Dialect::SQLite),
                  QString());
    }
    EXPECT_EQ(GuardDivisions(nested(200), false), QString());
    // A text column divides nothing.
    CalcFieldDef text{QLatin1Char('S'), QStringLiteral("R"), nested(40)};
    EXPECT_EQ(ValidateCalcFieldDef(text, nullptr), QString());
}

TEST(CalcValidateDefinition, FieldNamesConstantsAndTrimming)
{
    const QStringList fields{QStringLiteral("Price"), QStringLiteral("LyCount")};
    CalcFieldDef d{QLatin1Char('F'), QStringLiteral("M"), QStringLiteral("(price-#1.5)/LyCount*#1e3")};
    EXPECT_EQ(ValidateCalcFieldDef(d, &fields), QString());

    d = {QLatin1Char('F'), QStringLiteral("M"), QStringLiteral("Price-JPrice")};
    EXPECT_FALSE(ValidateCalcFieldDef(d, &fields).isEmpty());
    EXPECT_EQ(ValidateCalcFieldDef(d, nullptr), QString()); // without a dataset only the form counts

    d = {QLatin1Char('F'), QStringLiteral("M"), QStringLiteral("+Price*#2-")};
    EXPECT_EQ(ValidateCalcFieldDef(d, &fields), QString());
    EXPECT_EQ(d.express, QStringLiteral("Price*#2"));

    d = {QLatin1Char('S'), QStringLiteral("N"), QString::fromUtf8("#'甲乙'+Price")};
    EXPECT_EQ(ValidateCalcFieldDef(d, &fields), QString());

    for (const char* k : {"1,5", "-1", "inf", "nan", "0x10", "1.2.3", ""}) {
        d = {QLatin1Char('I'), QStringLiteral("N"), QStringLiteral("Price*#") + QString::fromUtf8(k)};
        EXPECT_FALSE(ValidateCalcFieldDef(d, &fields).isEmpty()) << k;
    }
    EXPECT_TRUE(IsNumericConstant(QStringLiteral("1.5")));
    EXPECT_TRUE(IsNumericConstant(QStringLiteral(".5")));
    EXPECT_TRUE(IsNumericConstant(QStringLiteral("5.")));
    EXPECT_FALSE(IsNumericConstant(QStringLiteral("1,5")));
}

TEST(CalcDefinitionList, Parsing)
{
    CalcFieldDef d;
    ASSERT_TRUE(ParseCalcFieldDef(QStringLiteral("FMargin@(Price-JPrice)"), d));
    EXPECT_EQ(d.type, QLatin1Char('F'));
    EXPECT_EQ(d.name, QStringLiteral("Margin"));
    EXPECT_EQ(d.express, QStringLiteral("(Price-JPrice)"));
    EXPECT_FALSE(ParseCalcFieldDef(QStringLiteral("@a"), d));
    EXPECT_FALSE(ParseCalcFieldDef(QStringLiteral("Fname"), d));
    EXPECT_EQ(ExpressionFieldNames(QStringLiteral("(Price-#1)/price*LyCount")),
              (QStringList{QStringLiteral("Price"), QStringLiteral("LyCount")}));
}
