// Function rights through TRightCtl, on the demo database (the host's connection).
#include "framework/URightCtl.h"

#include "host/include/PubProcDll.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class URightCtlTest : public HostTest {
protected:
    void exec(const QString& sql) { db->executeScript(sql); }
    // The options among codes the user holds, as one text ("01 02 OP07").
    static QString held(TRightCtl& r, const QStringList& codes)
    {
        QStringList out;
        for (const QString& c : codes)
            if (r.HasRight(c)) out << c;
        return out.join(QLatin1Char(' '));
    }
    const QStringList all{u"01"_s, u"02"_s, u"03"_s, u"04"_s, u"05"_s, u"06"_s, u"OP01"_s, u"OP07"_s, u"OP08"_s};
};

TEST_F(URightCtlTest, DemoUsersAndTheNamedWrappers)
{
    TRightCtl head(QStringLiteral("1001"), QStringLiteral("080101"));
    EXPECT_EQ(held(head, all), QStringLiteral("01 02 03 04 05 06 OP01 OP07 OP08"));
    EXPECT_TRUE(head.CanAdd() && head.CanEdit() && head.CanDelete() && head.CanQuery() &&
                head.CanPrint() && head.CanExport() && head.CanDesignPrnFmt());

    // The shop user: 04 and 05 on the report, quantities but no costs, no format design.
    TRightCtl shop(QStringLiteral("2001"), QStringLiteral("080102"));
    EXPECT_EQ(held(shop, all), QStringLiteral("04 05 OP07"));
    EXPECT_FALSE(shop.CanExport());
    EXPECT_FALSE(shop.CanDesignPrnFmt());
    // The option is compared whole.
    EXPECT_FALSE(shop.HasRight(QStringLiteral("0")));
    EXPECT_FALSE(shop.HasRight(QStringLiteral("04 ")));
}

TEST_F(URightCtlTest, AnOptionTheFunctionNoLongerOffersIsDenied)
{
    // Rights rows for a function without xtFuncItem rows: only the suite-wide rights work.
    exec(QStringLiteral("insert into XtRightFunc values ('02', '777777', '01'), ('02', '777777', '04')"));
    TRightCtl r(QStringLiteral("1001"), QStringLiteral("777777"));
    EXPECT_EQ(held(r, all), QStringLiteral("OP01 OP07 OP08"));
}

TEST_F(URightCtlTest, AnEmptyFunctionCodeGrantsOperationsOnlyToTheAdministrator)
{
    TRightCtl user(QStringLiteral("1001"), QString());
    EXPECT_EQ(held(user, all), QStringLiteral("OP01 OP07 OP08"));
    TRightCtl admin(QStringLiteral("QVW"), QString());
    EXPECT_EQ(held(admin, all), all.join(QLatin1Char(' ')));

    exec(QStringLiteral("insert into xtFuncItem values ('', '01', 'x');"
                        "insert into XtRightFunc values ('02', '', '01')"));
    TRightCtl both(QStringLiteral("1001"), QString());
    EXPECT_TRUE(both.HasRight(QStringLiteral("01")));
    EXPECT_FALSE(both.HasRight(QStringLiteral("02")));
}

TEST_F(URightCtlTest, WithoutAGroupEverythingIsDenied)
{
    TRightCtl r(QStringLiteral("9999"), QStringLiteral("080101"));
    EXPECT_TRUE(r.FuncItemsOpen());
    EXPECT_TRUE(r.UserRightsOpen());
    EXPECT_TRUE(held(r, all).isEmpty());
}

TEST_F(URightCtlTest, OnlyTheAdministratorSpeltExactlyHoldsEverything)
{
    // 080103 offers only 04; the administrator holds the rest as well, in capitals only.
    TRightCtl admin(QStringLiteral("QVW"), QStringLiteral("080103"));
    EXPECT_TRUE(admin.HasRight(QStringLiteral("01")));
    EXPECT_TRUE(admin.HasRight(QStringLiteral("ZZ")));
    TRightCtl lower(QStringLiteral("qvw"), QStringLiteral("080103"));
    EXPECT_FALSE(lower.HasRight(QStringLiteral("01")));
    EXPECT_FALSE(lower.HasRight(QStringLiteral("ZZ")));
    // Its own group's rows still count, matched as the server matches user codes.
    EXPECT_TRUE(lower.HasRight(QStringLiteral("04")));
}

TEST_F(URightCtlTest, ProductTypeTenKeepsOnlyQueryOnControlledFunctions)
{
    qorSession().productType = QStringLiteral("10");
    TRightCtl controlled(QStringLiteral("1001"), QStringLiteral("080101"));
    EXPECT_EQ(held(controlled, all), QStringLiteral("04"));
    EXPECT_TRUE(controlled.UserRightsQuery().sqlText().contains(QStringLiteral("tMGMdFunction")));

    // 080102 is not marked: all its rows and the suite-wide rights stay.
    TRightCtl free(QStringLiteral("1001"), QStringLiteral("080102"));
    EXPECT_EQ(held(free, all), QStringLiteral("04 05 06 OP01 OP07 OP08"));

    // Marking it controlled takes effect at the next load.
    exec(QStringLiteral("delete from tMGMdFunction where funcode='080102';"
                        "insert into tMGMdFunction values ('080102', '1')"));
    EXPECT_TRUE(free.HasRight(QStringLiteral("05")));
    TRightCtl marked(QStringLiteral("1001"), QStringLiteral("080102"));
    EXPECT_EQ(held(marked, all), QStringLiteral("04"));

    qorSession().productType = QStringLiteral("1");
    TRightCtl normal(QStringLiteral("1001"), QStringLiteral("080101"));
    EXPECT_TRUE(normal.CanAdd());
    EXPECT_FALSE(normal.UserRightsQuery().sqlText().contains(QStringLiteral("tMGMdFunction")));
}

TEST_F(URightCtlTest, CodesAreBoundSoQuotesNeitherBreakNorWiden)
{
    TRightCtl r(QStringLiteral("1' or '1'='1"), QStringLiteral("080101' or FunCode like '%"));
    EXPECT_TRUE(r.FuncItemsOpen());
    EXPECT_TRUE(r.UserRightsOpen());
    EXPECT_FALSE(r.HasRight(QStringLiteral("01")));
    EXPECT_FALSE(r.HasRight(QStringLiteral("OP07")));
    EXPECT_FALSE(r.UserRightsQuery().sqlText().contains(QStringLiteral("1001")));
    EXPECT_TRUE(r.UserRightsQuery().sqlText().contains(QStringLiteral(":UserCode")));
}

TEST_F(URightCtlTest, FailedLoadsDenyAndAreRetriedOnTheNextQuestion)
{
    qorHostConnection() = nullptr;
    TRightCtl admin(QStringLiteral("QVW"), QStringLiteral("080101"));
    EXPECT_FALSE(admin.FuncItemsOpen());
    // The administrator is denied too while the lists cannot be loaded.
    EXPECT_FALSE(admin.HasRight(QStringLiteral("01")));
    EXPECT_TRUE(prompts->calls.empty());

    // The connection is back: the next question reloads.
    qorHostConnection() = db.get();
    EXPECT_TRUE(admin.HasRight(QStringLiteral("01")));
    EXPECT_TRUE(admin.FuncItemsOpen());
    EXPECT_TRUE(admin.UserRightsOpen());

    // A broken table is a failed load as well.
    TRightCtl user(QStringLiteral("1001"), QStringLiteral("080101"));
    exec(QStringLiteral("drop table xtFuncItem"));
    EXPECT_FALSE(user.LoadFuncItems());
    EXPECT_FALSE(user.HasRight(QStringLiteral("01")));
    EXPECT_TRUE(prompts->calls.empty());
}

} // namespace
