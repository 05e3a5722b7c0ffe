// Volume trials: exact count, valid as the entry form checks them, each with a booked bill.
#include "tests/schema/SchemaChecks.h"
#include "tests/support/TestSupport.h"

#include "schema/Schema.h"

#include <QHash>

namespace {

int count(TADOConnection& db, const QString& where = {})
{
    return scalarText(db, QStringLiteral("select count(*) from TryOutBK")
                              + (where.isEmpty() ? QString() : QStringLiteral(" where ") + where))
        .toInt();
}

const QString kGenerated = QStringLiteral("UserCode='QVW'");

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
    // Trials per bill line, counted from the stored rows.
    QHash<QString, int> trials;
    for (const QString& r : queryRows(*db, QStringLiteral("select OrgCode, PluCode, BookDate from TryOutBK where ") + kGenerated)) {
        const QStringList f = r.split(QLatin1Char('\t'));
        ++trials[QStringLiteral("PL") + f[2].left(4) + f[2].mid(5, 2) + QLatin1Char('-') + f[0] + QLatin1Char('\t') + f[1]];
    }
    const QStringList lines = queryRows(*db, QStringLiteral(
        "select D.DrawNo, D.PluCode, D.Counts, F.OrgCode, F.BillType, F.RzDate from DrawDetail D, DrawForm F"
        " where D.DrawNo=F.DrawNo and D.DrawNo like 'PL%'"));
    ASSERT_EQ(lines.size(), trials.size());
    for (const QString& l : lines) {
        const QStringList f = l.split(QLatin1Char('\t'));
        const QString key = f[0] + QLatin1Char('\t') + f[1];
        EXPECT_EQ(f[2].toInt(), (trials.value(key) + 3) / 4) << l.toStdString();
        EXPECT_EQ(f[4], QStringLiteral("1"));
        EXPECT_FALSE(f[5].isEmpty());
    }
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
    EXPECT_EQ(scalarText(*db, QStringLiteral("select count(*) from SubShop")), QStringLiteral("10"));
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
