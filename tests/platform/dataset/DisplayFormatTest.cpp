// Display patterns of numeric fields and the masking of field texts.
#include "platform/grid/GridServices.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/FormatFloat.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* pattern;
    double value;
    const char* expected;
};

TEST(DisplayFormat, EveryPatternOfTheFormsGivesItsText)
{
    const Case cases[] = {
        {"0", 1234.5, "1235"},
        {"0", 0.4, "0"},
        {"0", -0.4, "0"}, // rounds to zero: no sign
        {"0", -2.5, "-3"},
        {"0.", 1234.5, "1235"},
        {"0.", 12, "12"},
        {"0.00", 1234.567, "1234.57"},
        {"0.00", 2.675, "2.68"}, // decimal rounding, not the binary value 2.67499...
        {"0.00", -1.005, "-1.01"},
        {"0.00", 0, "0.00"},
        {"0.00", 0.001, "0.00"},
        {"0.0000", 3.14159265, "3.1416"},
        {"0.0000", 5, "5.0000"},
        {"#,##0", 1234567.89, "1,234,568"},
        {"#,##0", 999.5, "1,000"},
        {"#,##0", -1234, "-1,234"},
        {"#,##0", 0, "0"},
        {"#,##0.", 1234.4, "1,234"},
        {"#,##0.", 12, "12"},
        {"#,##0.00", 1234567.891, "1,234,567.89"},
        {"#,##0.00", 0.5, "0.50"},
        {"#,##0.00", -0.004, "0.00"},
        {"#,##0.00", -98765.4321, "-98,765.43"},
        {"#,##0.000", 1234.5, "1,234.500"},
        {"#,##0.000", 0.0005, "0.001"},
        {"#,##0.0000", 12.34567, "12.3457"},
        {"#,##0.0000", 1000000, "1,000,000.0000"},
        {"#,##0.00%", 75, "75.00%"}, // the value is not scaled
        {"#,##0.00%", 1234.5, "1,234.50%"},
        {"0.##", 1, "1"},
        {"0.##", 1.5, "1.5"},
        {"#.##", 0.25, ".25"},
        {"0.00;(0.00);'零'", -5, "(5.00)"},
        {"0.00;(0.00);'零'", 0.001, "零"},
        {"0.00;;'零'", -5, "-5.00"},
        {"0.00E+00", 12345, "1.23E+04"},
        {"0.00E+00", 0.00012, "1.20E-04"},
        {"\"¥\"#,##0.00", 5, "¥5.00"},
        {"000", 7, "007"},
        {"0-00", 123, "1-23"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatFloat(QString::fromUtf8(c.pattern), c.value), QString::fromUtf8(c.expected))
            << c.pattern << " " << c.value;

    EXPECT_EQ(FormatFloat(QString(), 0.1 + 0.2), QStringLiteral("0.3"));
    EXPECT_EQ(FloatToStr(1e20), QStringLiteral("1E20"));
    EXPECT_EQ(FloatToStr(-12.5), QStringLiteral("-12.5"));
    EXPECT_EQ(FormatCurrency(1234.5), QStringLiteral("¥1,234.50"));
    EXPECT_EQ(FormatCurrency(-3), QStringLiteral("-¥3.00"));
    EXPECT_TRUE(IsValidFloatFormat(QStringLiteral("#,##0.00;(#,##0.00)")));
    EXPECT_FALSE(IsValidFloatFormat(QStringLiteral("0.00'abc")));
    EXPECT_FALSE(IsValidFloatFormat(QStringLiteral("0;0;0;0")));
}

TEST(DisplayFormat, FieldsShowTheirFormatOrTheirTypesDefault)
{
    TClientDataSet ds;
    TField* cnt = ds.addField(QStringLiteral("LyCount"), ftCurrency);
    TField* times = ds.addField(QStringLiteral("TryTimes"), ftInteger);
    TField* freq = ds.addField(QStringLiteral("Frequence"), ftFloat);
    TField* name = ds.addField(QStringLiteral("PluName"), ftString, 20);
    ds.CreateDataSet();
    ds.Append();
    cnt->setAsFloat(1234.5);
    times->setAsInteger(1234);
    freq->setAsFloat(0.5);
    name->setAsString(QStringLiteral("口红"));
    ds.Post();
    EXPECT_EQ(cnt->DisplayText(), QStringLiteral("¥1,234.50"));
    EXPECT_EQ(times->DisplayText(), QStringLiteral("1234"));
    EXPECT_EQ(freq->DisplayText(), QStringLiteral("0.5"));
    cnt->setDisplayFormat(QStringLiteral("#,##0.00"));
    times->setDisplayFormat(QStringLiteral("0."));
    freq->setDisplayFormat(QStringLiteral("0.00"));
    EXPECT_EQ(cnt->DisplayText(), QStringLiteral("1,234.50"));
    EXPECT_EQ(times->DisplayText(), QStringLiteral("1234"));
    EXPECT_EQ(freq->DisplayText(), QStringLiteral("0.50"));
    // The edit text is the plain value; a null shows nothing.
    EXPECT_EQ(cnt->Text(), QStringLiteral("1234.5"));
    ds.Edit();
    freq->Clear();
    ds.Post();
    EXPECT_EQ(freq->DisplayText(), QString());
    EXPECT_EQ(name->DisplayText(), QStringLiteral("口红"));
}

TEST(FieldMasking, MaskingRemovesEarlierTextHandlersAndShowsStars)
{
    TClientDataSet ds;
    TField* res = ds.addField(QStringLiteral("Result"), ftString, 1);
    TField* cost = ds.addField(QStringLiteral("JPrice"), ftCurrency);
    TField* qty = ds.addField(QStringLiteral("LyCount"), ftFloat);
    ds.CreateDataSet();
    ds.Append();
    res->setAsString(QStringLiteral("0"));
    cost->setAsFloat(12.5);
    qty->setAsFloat(3);
    ds.Post();
    res->setOnGetText([](TField* f, QString& t, bool) { t = f->AsString() == QLatin1String("0") ? QStringLiteral("满意") : t; });
    qty->setOnGetText([](TField*, QString& t, bool) { t = QStringLiteral("[") + t + QStringLiteral("]"); });
    ASSERT_EQ(res->DisplayText(), QStringLiteral("满意"));

    MaskDataSetFields(&ds, {QStringLiteral("JPrice"), QStringLiteral("NoSuchField")});
    EXPECT_EQ(cost->DisplayText(), QStringLiteral("*"));
    EXPECT_EQ(cost->Text(), QStringLiteral("*"));
    EXPECT_DOUBLE_EQ(cost->AsFloat(), 12.5); // only the text is masked
    // The form's own handlers are gone.
    EXPECT_FALSE(res->HasOnGetText());
    EXPECT_EQ(res->DisplayText(), QStringLiteral("0"));
    EXPECT_EQ(qty->DisplayText(), QStringLiteral("3"));

    // An empty list still removes the handlers and masks nothing.
    MaskDataSetFields(&ds, {});
    EXPECT_EQ(cost->DisplayText(), QStringLiteral("¥12.50"));
}

} // namespace
