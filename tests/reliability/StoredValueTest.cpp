// Values a damaged row may hold, read as integers: a number outside the 64-bit range has no
// integer value and is refused, never converted into an arbitrary one.
#include "platform/db/Db.h"

#include <gtest/gtest.h>

#include <limits>

using namespace Qt::StringLiterals;

TEST(StoredValue, IntegersOfFloatsAndTextsOutOfRangeAreRefused)
{
    EXPECT_EQ(TDbField(2.9).AsInteger(), 2);
    EXPECT_EQ(TDbField(-2.9).AsInteger(), -2);
    EXPECT_EQ(TDbField(u" 1.5e3 "_s).AsInteger(), 1500);
    EXPECT_EQ(TDbField(u"99999999999"_s).AsInteger(), 99999999999LL);
    EXPECT_THROW(TDbField(7.77778e36).AsInteger(), DbError);
    EXPECT_THROW(TDbField(-1e300).AsInteger(), DbError);
    EXPECT_THROW(TDbField(std::numeric_limits<double>::quiet_NaN()).AsInteger(), DbError);
    EXPECT_THROW(TDbField(u"1e40"_s).AsInteger(), DbError);
    EXPECT_THROW(TDbField(u"abc"_s).AsInteger(), DbError);
}
