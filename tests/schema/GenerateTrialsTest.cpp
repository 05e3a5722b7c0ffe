// Volume trials: exact count, valid as the entry form checks them, each with a booked bill.
#include "tests/schema/SchemaChecks.h"
#include "tests/support/TestSupport.h"

#include "schema/Schema.h"

#include "platform/text/Gbk.h"

#include <QDate>
#include <QHash>
#include <QSet>

namespace {

int count(TADOConnection& db, const QString& where = {})
{
    return scalarText(db, QStringLiteral("select count(*) from TryOutBK")
                              + (where.isEmpty() ? QString() : QStringLiteral(" where ") + where))
        .toInt();
}

// Generated trials lie before everything stored: the demo's trials begin on 2025-10-01.
const QString kGenerated = QStringLiteral("BookDate < '2025-10-01'");

} // namespace

TEST(GenerateTrials, AddsExactlyNValidTrialsEachWithABookedBillOfItsMonth)
{
    auto db = makeTestDb(true);
    const int demo = count(*db);
    Schema::generateTrials(*db, 3001);
    EXPECT_EQ(count(*db), demo + 3001);
    EXPECT_EQ(count(*db, kGenerated), 3001);
    EXPECT_EQ(invalidTrials(*db, kGenerated), QStringList());
    EXPECT_EQ(trialsWithoutBillOfTheirMonth(*db, kGenerated), QStringList());
    // They lie before the demo trials and within opening hours.
    EXPECT_LT(scalarText(*db, QStringLiteral("select max(BookDate) from TryOutBK where ") + kGenerated),
              scalarText(*db, QStringLiteral("select min(BookDate) from TryOutBK where not ") + kGenerated));
    EXPECT_GE(scalarText(*db, QStringLiteral("select min(BookTime) from TryOutBK where ") + kGenerated), QStringLiteral("08:00:00"));
    EXPECT_LT(scalarText(*db, QStringLiteral("select max(BookTime) from TryOutBK where ") + kGenerated), QStringLiteral("20:00:00"));
    EXPECT_FALSE(db->InTransaction());
}

TEST(GenerateTrials, BillLinesDrawOneUnitPerFourTrialsOfTheMonth)
{
    auto db = makeTestDb(true);
    Schema::generateTrials(*db, 2000);
    // Trials per organisation, good and month, counted from the stored rows.
    QHash<QString, int> trials;
    for (const QString& r : queryRows(*db, QStringLiteral("select OrgCode, PluCode, BookDate from TryOutBK where ") + kGenerated)) {
        const QStringList f = r.split(QLatin1Char('\t'));
        ++trials[f[0] + QLatin1Char('\t') + f[1] + QLatin1Char('\t') + f[2].left(7)];
    }
    // Each of them is on exactly one booked sample-goods line of that month.
    const QStringList lines = queryRows(*db, QStringLiteral(
        "select F.OrgCode, D.PluCode, F.DrawDate, D.Counts, F.BillType, F.RzDate from DrawDetail D, DrawForm F"
        " where D.DrawNo=F.DrawNo and D.DrawNo like 'PL%' and F.BillType='1' and F.RzDate<>''"
        " and F.RzDate is not null"));
    ASSERT_EQ(lines.size(), trials.size());
    for (const QString& l : lines) {
        const QStringList f = l.split(QLatin1Char('\t'));
        const QString key = f[0] + QLatin1Char('\t') + f[1] + QLatin1Char('\t') + f[2].left(7);
        ASSERT_TRUE(trials.contains(key)) << l.toStdString();
        EXPECT_EQ(f[3].toInt(), (trials.value(key) + 3) / 4) << l.toStdString();
        EXPECT_EQ(f[4], QStringLiteral("1"));
        EXPECT_FALSE(f[5].isEmpty());
    }
}

TEST(GenerateTrials, BillsComeAboutOnePerTwentyTrialsWithOneToSevenLinesBookedOrNot)
{
    auto db = makeTestDb(false);
    Schema::generateTrials(*db, 20000);
    const int bills = scalarText(*db, QStringLiteral("select count(*) from DrawForm")).toInt();
    // At least one per twenty trials (at this low volume most organisations get one a month).
    EXPECT_GT(bills, 20000 / 20);
    EXPECT_LT(bills, 20000 / 2);
    EXPECT_EQ(scalarText(*db, QStringLiteral(
                  "select count(*) from (select DrawNo from DrawDetail group by DrawNo having count(*) not between 1 and 7)")),
              QStringLiteral("0"));
    EXPECT_EQ(scalarText(*db, QStringLiteral(
                  "select count(*) from DrawForm F where not exists (select 1 from DrawDetail D where D.DrawNo=F.DrawNo)")),
              QStringLiteral("0"));
    // Unbooked bills of both kinds (empty and NULL) and bills of another type exist; the trials
    // never rest on them.
    EXPECT_GT(scalarText(*db, QStringLiteral("select count(*) from DrawForm where RzDate=''")).toInt(), 0);
    EXPECT_GT(scalarText(*db, QStringLiteral("select count(*) from DrawForm where RzDate is null")).toInt(), 0);
    EXPECT_GT(scalarText(*db, QStringLiteral("select count(*) from DrawForm where BillType='2'")).toInt(), 0);
    EXPECT_EQ(invalidTrials(*db), QStringList());
}

TEST(GenerateTrials, TheSameSeedGivesTheSameRowsAndAnotherSeedOthers)
{
    const QString dump = QStringLiteral(
        "select BookDate, BookTime, OrgCode, PluCode, Result, Remark, ZdrCode, UserCode from TryOutBK"
        " order by BookDate, BookTime, OrgCode, PluCode");
    const QString bills = QStringLiteral(
        "select F.DrawNo, F.RzDate, D.PluCode, D.Counts from DrawForm F, DrawDetail D"
        " where F.DrawNo=D.DrawNo order by 1, 3");
    auto a = makeTestDb(true);
    auto b = makeTestDb(true);
    auto c = makeTestDb(true);
    Schema::generateTrials(*a, 3000, 7);
    Schema::generateTrials(*b, 3000, 7);
    Schema::generateTrials(*c, 3000, 8);
    const QStringList rowsA = queryRows(*a, dump);
    EXPECT_EQ(rowsA, queryRows(*b, dump));
    EXPECT_EQ(queryRows(*a, bills), queryRows(*b, bills));
    const QStringList rowsC = queryRows(*c, dump);
    EXPECT_EQ(rowsC.size(), rowsA.size());
    EXPECT_NE(rowsC, rowsA);
    EXPECT_EQ(invalidTrials(*c, kGenerated), QStringList());
}

TEST(GenerateTrials, ARepeatedRunGoesFurtherBackWithoutCollisions)
{
    auto db = makeTestDb(true);
    Schema::generateTrials(*db, 1000);
    const QString firstStart = scalarText(*db, QStringLiteral("select min(BookDate) from TryOutBK"));
    Schema::generateTrials(*db, 500);
    EXPECT_EQ(count(*db, kGenerated), 1500);
    EXPECT_EQ(count(*db, QStringLiteral("BookDate < '") + firstStart + QLatin1Char('\'')), 500);
    EXPECT_EQ(trialsWithoutBillOfTheirMonth(*db, kGenerated), QStringList());
}

TEST(GenerateTrials, AnEmptyDatabaseGetsItsOwnMasterData)
{
    auto db = makeTestDb(false);
    Schema::generateTrials(*db, 1200);
    EXPECT_EQ(count(*db), 1200);
    EXPECT_EQ(invalidTrials(*db), QStringList());
    EXPECT_EQ(trialsWithoutBillOfTheirMonth(*db, kGenerated), QStringList());
    // A chain's master data: 200 organisations (some head offices or warehouses, some not
    // deployed), 20,000 goods and 2,000 staff.
    EXPECT_EQ(scalarText(*db, QStringLiteral("select count(*) from SubShop")), QStringLiteral("200"));
    EXPECT_EQ(scalarText(*db, QStringLiteral("select count(*) from Goods")), QStringLiteral("20000"));
    EXPECT_EQ(scalarText(*db, QStringLiteral("select count(*) from Staffs")), QStringLiteral("2000"));
    EXPECT_GT(scalarText(*db, QStringLiteral("select count(*) from SubShop where OrgType='2'")).toInt(), 1);
    EXPECT_GT(scalarText(*db, QStringLiteral("select count(*) from SubShop where OrgType<>'2' and IsDbDeploy='0'")).toInt(), 1);
}

TEST(GenerateTrials, MasterTextsFitTheirWidthsAndBarCodesAreValidEan13)
{
    auto db = makeTestDb(false);
    Schema::generateTrials(*db, 10);
    QSet<QString> codes;
    for (const QString& r : queryRows(*db, QStringLiteral("select PluName, Spec, BarCode from Goods"))) {
        const QStringList f = r.split(QLatin1Char('\t'));
        EXPECT_GE(f[0].size(), 3) << r.toStdString();
        EXPECT_LE(Gbk::byteLength(f[0]), 20) << r.toStdString();
        EXPECT_LE(Gbk::byteLength(f[1]), 10) << r.toStdString();
        ASSERT_EQ(f[2].size(), 13) << r.toStdString();
        int sum = 0;
        for (int i = 0; i < 12; ++i) sum += (f[2][i].unicode() - '0') * (i % 2 ? 3 : 1);
        EXPECT_EQ(f[2][12].unicode() - '0', (10 - sum % 10) % 10) << r.toStdString();
        codes.insert(f[2]);
    }
    EXPECT_EQ(codes.size(), 20000);
    for (const QString& r : queryRows(*db, QStringLiteral("select OrgName from SubShop union all select StaffName from Staffs")))
        EXPECT_LE(Gbk::byteLength(r), 10) << r.toStdString();
}

TEST(GenerateTrials, RemarksAreMostlyDistinctFreeTextOverThreeYearsOfOpeningHours)
{
    auto db = makeTestDb(false);
    Schema::generateTrials(*db, 20000);
    const QStringList remarks = queryRows(*db, QStringLiteral("select Remark from TryOutBK"));
    ASSERT_EQ(remarks.size(), 20000);
    QHash<QString, int> seen;
    int plain = 0; // empty or a common phrase (repeated)
    for (const QString& r : remarks) {
        ++seen[r];
        EXPECT_LE(r.size(), 30);
        EXPECT_LE(Gbk::byteLength(r), 100);
    }
    for (auto it = seen.cbegin(); it != seen.cend(); ++it)
        if (it.value() > 20) plain += it.value();
    EXPECT_GT(plain, 20000 * 25 / 100);
    EXPECT_LT(plain, 20000 * 35 / 100);
    // The free texts are nearly all distinct.
    EXPECT_GT(seen.size(), 20000 * 60 / 100);
    EXPECT_GE(scalarText(*db, QStringLiteral(
                  "select min(length(Remark)) from (select Remark from TryOutBK group by Remark having count(*)=1)")).toInt(), 4);
    EXPECT_EQ(scalarText(*db, QStringLiteral("select max(length(Remark)) from TryOutBK")), QStringLiteral("30"));
    const QDate first = QDate::fromString(scalarText(*db, QStringLiteral("select min(BookDate) from TryOutBK")), Qt::ISODate);
    const QDate last = QDate::fromString(scalarText(*db, QStringLiteral("select max(BookDate) from TryOutBK")), Qt::ISODate);
    EXPECT_GT(first.daysTo(last), 3 * 365 - 40);
    EXPECT_GE(scalarText(*db, QStringLiteral("select min(BookTime) from TryOutBK")), QStringLiteral("08:00:00"));
    EXPECT_LT(scalarText(*db, QStringLiteral("select max(BookTime) from TryOutBK")), QStringLiteral("20:00:00"));
    // Many advisors and users, not a handful.
    EXPECT_GT(scalarText(*db, QStringLiteral("select count(distinct ZdrCode) from TryOutBK")).toInt(), 1000);
    EXPECT_GT(scalarText(*db, QStringLiteral("select count(distinct PluCode) from TryOutBK")).toInt(), 2000);
}

TEST(GenerateTrials, NothingForZeroOrLess)
{
    auto db = makeTestDb(true);
    const int demo = count(*db);
    const QString bills = scalarText(*db, QStringLiteral("select count(*) from DrawForm"));
    Schema::generateTrials(*db, 0);
    Schema::generateTrials(*db, -5);
    EXPECT_EQ(count(*db), demo);
    EXPECT_EQ(scalarText(*db, QStringLiteral("select count(*) from DrawForm")), bills);
}

TEST(GenerateTrials, TheReportSetsTheDrawsAgainstTheTrials)
{
    auto db = makeTestDb(true);
    Schema::generateTrials(*db, 4000);
    const QString from = scalarText(*db, QStringLiteral("select min(BookDate) from TryOutBK"));
    const QString to = scalarText(*db, QStringLiteral("select max(BookDate) from TryOutBK where ") + kGenerated);
    const QStringList rows = queryRows(*db, QStringLiteral(
        "select W.OrgCode, W.PluCode, sum(W.Counts), sum(W.Num) from ("
        "select F.OrgCode OrgCode, D.PluCode PluCode, sum(D.Counts) Counts, 0 Num from DrawDetail D, DrawForm F"
        " where DrawDate between '%1' and '%2' and F.DrawNo=D.DrawNo and F.BillType='1' and F.RzDate<>''"
        " and F.RzDate is not null Group By OrgCode,PluCode Union "
        "select OrgCode, PluCode, 0 Counts, count(*) Num from TryOutBK where BookDate between '%1' and '%2'"
        " Group by OrgCode,PluCode) W group by W.OrgCode, W.PluCode").arg(from, to));
    ASSERT_FALSE(rows.isEmpty());
    int tried = 0;
    for (const QString& r : rows) {
        const QStringList f = r.split(QLatin1Char('\t'));
        EXPECT_GT(f[2].toDouble(), 0.0) << r.toStdString();
        EXPECT_GT(f[3].toInt(), 0) << r.toStdString();
        tried += f[3].toInt();
    }
    EXPECT_EQ(tried, 4000);
}
