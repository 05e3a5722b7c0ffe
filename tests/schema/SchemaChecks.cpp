#include "tests/schema/SchemaChecks.h"

#include "tests/support/TestSupport.h"

#include <QDate>
#include <QSet>
#include <QTime>

QString scalarText(TADOConnection& db, const QString& tsql)
{
    const QStringList rows = queryRows(db, tsql);
    return rows.isEmpty() ? QString() : rows.first().section(QLatin1Char('\t'), 0, 0);
}

static QSet<QString> rowSet(TADOConnection& db, const QString& tsql)
{
    const QStringList rows = queryRows(db, tsql);
    return QSet<QString>(rows.begin(), rows.end());
}

QStringList invalidTrials(TADOConnection& db, const QString& where)
{
    const QSet<QString> orgs = rowSet(db, QStringLiteral(
        "select OrgCode from SubShop where OrgType<>'2' and IsDbDeploy='1'"));
    const QSet<QString> drawn = rowSet(db, QStringLiteral(
        "select distinct F.OrgCode, D.PluCode from DrawForm F, DrawDetail D"
        " where F.DrawNo=D.DrawNo and F.BillType='1' and F.RzDate<>'' and F.RzDate is not null"));
    const QSet<QString> advisors = rowSet(db, QStringLiteral(
        "select O.OrgCode, S.StaffCode, S.StaffName from Staffs S, UserOrg O, XtUserSub R"
        " where S.StaffCode=O.StaffCode and S.StaffCode=R.StaffCode and R.UGrpCode='01'"));
    const QStringList trials = queryRows(db, QStringLiteral(
        "select BookDate, BookTime, OrgCode, PluCode, Result, ZdrCode, ZdrName from TryOutBK")
        + (where.isEmpty() ? QString() : QStringLiteral(" where ") + where));
    QStringList bad;
    for (const QString& row : trials) {
        const QStringList f = row.split(QLatin1Char('\t'));
        const QString key = f.mid(0, 4).join(QLatin1Char(' '));
        const auto tab = QLatin1Char('\t');
        if (!QDate::fromString(f[0], QStringLiteral("yyyy-MM-dd")).isValid()) bad << key + QStringLiteral(": date");
        if (!QTime::fromString(f[1], QStringLiteral("HH:mm:ss")).isValid()) bad << key + QStringLiteral(": time");
        if (!orgs.contains(f[2])) bad << key + QStringLiteral(": organisation takes no trials");
        if (!drawn.contains(f[2] + tab + f[3])) bad << key + QStringLiteral(": good not on a booked bill");
        if (!advisors.contains(f[2] + tab + f[5] + tab + f[6])) bad << key + QStringLiteral(": advisor");
        if (f[4] != QLatin1String("0") && f[4] != QLatin1String("1")) bad << key + QStringLiteral(": result");
    }
    return bad;
}

QStringList trialsWithoutBillOfTheirMonth(TADOConnection& db, const QString& where)
{
    const QSet<QString> lines = rowSet(db, QStringLiteral(
        "select F.OrgCode, D.PluCode, F.DrawDate from DrawForm F, DrawDetail D"
        " where F.DrawNo=D.DrawNo and F.BillType='1' and F.RzDate<>'' and F.RzDate is not null"));
    QSet<QString> months; // organisation, good, yyyy-MM
    for (const QString& l : lines) {
        const QStringList f = l.split(QLatin1Char('\t'));
        months.insert(f[0] + QLatin1Char('\t') + f[1] + QLatin1Char('\t') + f[2].left(7));
    }
    QStringList bad;
    for (const QString& row : queryRows(db, QStringLiteral("select OrgCode, PluCode, BookDate from TryOutBK where ") + where)) {
        const QStringList f = row.split(QLatin1Char('\t'));
        if (!months.contains(f[0] + QLatin1Char('\t') + f[1] + QLatin1Char('\t') + f[2].left(7))) bad << row;
    }
    return bad;
}
