// The demo database as the forms and their tests rely on it.
#include "tests/schema/SchemaChecks.h"
#include "tests/support/TestSupport.h"

#include "schema/Schema.h"

#include <QDate>
#include <QSet>

namespace {

// One demo database shared by the read-only checks of this file.
class DemoData : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db = makeTestDb(true).release(); }
    static void TearDownTestSuite()
    {
        delete db;
        db = nullptr;
    }
    static QStringList rows(const QString& sql) { return queryRows(*db, sql); }
    static QString one(const QString& sql) { return scalarText(*db, sql); }
    static TADOConnection* db;
};
TADOConnection* DemoData::db = nullptr;

// Runs a statement with :Name parameters and returns its rows.
QStringList rowsWith(TADOConnection& db, const QString& sql, const QList<std::pair<QString, QString>>& params)
{
    TADOQuery q(&db);
    q.SQL << sql;
    for (const auto& [n, v] : params) q.Parameters.ParamByName(n).Value = v;
    q.Open();
    QStringList out;
    for (; !q.Eof(); q.Next()) {
        QStringList cells;
        for (int i = 0; i < q.FieldCount(); ++i) cells << q.Field(i).AsString();
        out << cells.join(QLatin1Char('\t'));
    }
    return out;
}

// The register list's statement, as the list composes it.
QString registerSelect(const QString& where)
{
    return QStringList{QStringLiteral("select BookDate,BookTime,T.PluCode PluCode,PluName,Spec,BarCode,Result, "),
                       QStringLiteral("T.Remark Remark,T.UserCode,T.UserName,ZdrCode,ZdrName, "),
                       QStringLiteral(" T.OrgCode OrgCode,OrgName"),
                       QStringLiteral("from TryOutBK T Left Join SubShop S on T.OrgCode=S.OrgCode "),
                       QStringLiteral("                Left Join Goods R on T.PluCode=R.PluCode"),
                       QStringLiteral(" where  ") + where,
                       QStringLiteral(" order by BookDate,BookTime ")}
        .join(QLatin1Char('\n'));
}

// The summary report's statement with its aliases written "expr as name" (the form the
// translation gives them on SQLite), so that only the catalogue code is under test.
QString reportSelect(const QString& where)
{
    return QStringList{
        QStringLiteral("select W.OrgCode OrgCode,S.OrgName OrgName,W.PluCode PluCode,G.PluName PluName, "),
        QStringLiteral("sum(W.Counts) LyCount,sum(W.Cost) JPrice,Sum(W.NetCost) NetJPrice,sum(W.Total) Price, "),
        QStringLiteral("Sum(W.Num1)+Sum(W.Num2) TryTimes"),
        QStringLiteral("from(select F.OrgCode OrgCode,D.PluCode PluCode,sum(D.Counts) Counts,"
                       "sum(D.Cost) Cost,sum(D.NetCost) NetCost,SUM(D.Total) Total,0 Num1,0 Num2"
                       " from DrawDetail D,DrawForm F where DrawDate between '2025-01-01' and '2026-12-31'"
                       " and F.DrawNo=D.DrawNo and F.BillType='1' and F.RzDate<>'' and F.RzDate is not null"
                       " Group By OrgCode,PluCode Union "
                       "select OrgCode,PluCode,0 Counts,0 Cost,0 NetCost,0 Total,"
                       "sum(Case Result when '0' then 1 else 0 end) Num1, "
                       " sum(Case Result when '1' then 1 else 0 end) Num2"
                       " from TryOutBK T where BookDate between '2025-01-01' and '2026-12-31'"
                       " Group by OrgCode,PluCode)  W,subshop S,Goods G"),
        QStringLiteral("where W.OrgCode = S.OrgCode and W.PluCode =G.PluCode"),
        QStringLiteral(" and  ") + where,
        QStringLiteral("group by W.Orgcode,S.OrgName,W.Plucode,G.PluName"),
        QStringLiteral(" order by OrgCode,PluCode")}
        .join(QLatin1Char('\n'));
}

const QStringList kTables = {
    QStringLiteral("SubShop"),     QStringLiteral("Goods"),         QStringLiteral("Staffs"),
    QStringLiteral("UserOrg"),     QStringLiteral("XtUserGrp"),     QStringLiteral("XtUserSub"),
    QStringLiteral("XtRightFunc"), QStringLiteral("xtFuncItem"),    QStringLiteral("xtfunction"),
    QStringLiteral("tMGMdFunction"), QStringLiteral("XtLinkFunc"),  QStringLiteral("tXtQry"),
    QStringLiteral("tXtQrySave"),  QStringLiteral("tXtQryValue"),   QStringLiteral("tXtPrnFormat"),
    QStringLiteral("tXtPrnDefault"), QStringLiteral("tXtRightPrn"), QStringLiteral("TXTMYCLMDEFAULT"),
    QStringLiteral("DrawForm"),    QStringLiteral("DrawDetail"),    QStringLiteral("TryOutBK")};

} // namespace

TEST_F(DemoData, EveryTableTheModuleUsesExistsButNotTheCalculatedFieldTable)
{
    for (const QString& t : kTables)
        EXPECT_NO_THROW(rows(QStringLiteral("select count(*) from ") + t)) << t.toStdString();
    EXPECT_EQ(one(QStringLiteral("select count(*) from sqlite_master where lower(name)='txtqryfield'")),
              QStringLiteral("0"));
}

TEST_F(DemoData, OrganisationsOfEveryKindDeployedAndNot)
{
    EXPECT_EQ(rows(QStringLiteral("select OrgName, OrgType, IsDbDeploy from SubShop where OrgCode='0101'")),
              QStringList{QStringLiteral("一楼化妆品\t1\t1")});
    const QStringList kinds = rows(QStringLiteral(
        "select distinct OrgType, IsDbDeploy from SubShop order by OrgType, IsDbDeploy"));
    EXPECT_TRUE(kinds.contains(QStringLiteral("1\t1")));
    EXPECT_TRUE(kinds.contains(QStringLiteral("1\t0")));
    EXPECT_TRUE(kinds.contains(QStringLiteral("2\t1")));
    // Organisations of kind '2' never take trials.
    EXPECT_EQ(one(QStringLiteral("select count(*) from TryOutBK T, SubShop S where T.OrgCode=S.OrgCode and S.OrgType='2'")),
              QStringLiteral("0"));
}

TEST_F(DemoData, TheThreeUsersAndTheirOrganisations)
{
    EXPECT_EQ(one(QStringLiteral("select StaffName from Staffs where StaffCode='1001'")), QStringLiteral("王芳"));
    EXPECT_FALSE(one(QStringLiteral("select StaffName from Staffs where StaffCode='QVW'")).isEmpty());
    const int all = one(QStringLiteral("select count(*) from SubShop")).toInt();
    const int mine = one(QStringLiteral("select count(*) from UserOrg where StaffCode='1001'")).toInt();
    EXPECT_GT(mine, 1);
    EXPECT_LT(mine, all);
    EXPECT_EQ(rows(QStringLiteral("select OrgCode from UserOrg where StaffCode='2001'")),
              QStringList{QStringLiteral("0101")});
}

TEST_F(DemoData, RightsOfTheUsersOnBothFunctions)
{
    // What the rights object finds: the user's rows that the function still offers.
    auto options = [](const QString& user, const QString& fun) {
        return rowsWith(*db,
                        QStringLiteral("select distinct T1.OptCode from XtRightFunc T1, XtUserSub T2, xtFuncItem I"
                                       " where T1.UGrpCode=T2.UGrpCode and T2.StaffCode=:U and T1.FunCode=:F"
                                       " and I.FunCode=T1.FunCode and I.OptCode=T1.OptCode order by 1"),
                        {{QStringLiteral("U"), user}, {QStringLiteral("F"), fun}});
    };
    const QStringList all = {QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03"),
                             QStringLiteral("04"), QStringLiteral("05"), QStringLiteral("06")};
    EXPECT_EQ(options(QStringLiteral("1001"), QStringLiteral("080101")), all);
    EXPECT_EQ(options(QStringLiteral("1001"), QStringLiteral("080102")), all.mid(3));
    EXPECT_EQ(options(QStringLiteral("2001"), QStringLiteral("080101")), all);
    EXPECT_TRUE(options(QStringLiteral("2001"), QStringLiteral("080102")).contains(QStringLiteral("04")));

    auto suiteRights = [](const QString& user) {
        return rowsWith(*db,
                        QStringLiteral("select distinct T1.FunCode from XtRightFunc T1, XtUserSub T2"
                                       " where T1.UGrpCode=T2.UGrpCode and T2.StaffCode=:U and T1.FunCode like 'OP%' order by 1"),
                        {{QStringLiteral("U"), user}});
    };
    EXPECT_EQ(suiteRights(QStringLiteral("1001")),
              (QStringList{QStringLiteral("OP01"), QStringLiteral("OP07"), QStringLiteral("OP08")}));
    EXPECT_EQ(suiteRights(QStringLiteral("2001")), QStringList{QStringLiteral("OP07")});
    // The entry points of the two functions.
    EXPECT_EQ(rows(QStringLiteral("select FunCode, DllFun from XtFunction where FunCode in ('080101','080102') order by 1")),
              (QStringList{QStringLiteral("080101\tfrmTryoutMngShow"), QStringLiteral("080102\tfrmSpRptShow")}));
}

TEST_F(DemoData, AdvisorsInAndOutOfTheAdvisorGroup)
{
    // The entry form's advisor check for organisation 0101.
    const QString check = QStringLiteral(
        "Select S.StaffCode from Staffs S,UserOrg O,XtUserSub R\n"
        " where S.StaffCode = O.StaffCode and S.StaffCode = R.StaffCode and\n"
        "       O.OrgCode = '0101' and R.UGrpCode = '01' and \n"
        "       S.StaffCode =:StaffCode");
    auto passes = [&](const QString& staff) {
        return !rowsWith(*db, check, {{QStringLiteral("StaffCode"), staff}}).isEmpty();
    };
    EXPECT_TRUE(passes(QStringLiteral("3001")));
    EXPECT_TRUE(passes(QStringLiteral("3002")));
    EXPECT_FALSE(passes(QStringLiteral("3101"))) << "assigned to 0101 but not an advisor";
    EXPECT_FALSE(passes(QStringLiteral("3004"))) << "advisor of another organisation";
    EXPECT_FALSE(passes(QStringLiteral("3007"))) << "advisor without organisation";
}

TEST_F(DemoData, BookedAndUnbookedSampleBillsOfSeveralOrganisations)
{
    // The entry form's good check.
    auto drawn = [&](const QString& org, const QString& plu) {
        return !rowsWith(*db,
                         QStringLiteral("Select PluCode from drawdetail D,drawForm F Where F.DrawNo = D.DrawNo and F.OrgCode = '")
                             + org
                             + QStringLiteral("' and F.BillType  ='1' and F.RzDate<>'' and F.RzDate is not null \n"
                                              " and D.PluCode =:PluCode "),
                         {{QStringLiteral("PluCode"), plu}})
                    .isEmpty();
    };
    EXPECT_TRUE(drawn(QStringLiteral("0101"), QStringLiteral("10010001")));
    EXPECT_FALSE(drawn(QStringLiteral("0101"), QStringLiteral("10040004"))) << "only on a bill with RzDate ''";
    EXPECT_FALSE(drawn(QStringLiteral("0102"), QStringLiteral("10020006"))) << "only on a bill with RzDate NULL";
    EXPECT_FALSE(drawn(QStringLiteral("0101"), QStringLiteral("10040003"))) << "booked, but bill type '2'";
    EXPECT_TRUE(drawn(QStringLiteral("0301"), QStringLiteral("10040003")));
    EXPECT_FALSE(drawn(QStringLiteral("0101"), QStringLiteral("10040005"))) << "never drawn";

    EXPECT_GE(one(QStringLiteral("select count(distinct OrgCode) from DrawForm where BillType='1' and RzDate<>'' and RzDate is not null")).toInt(), 3);
    EXPECT_GE(one(QStringLiteral("select count(distinct OrgCode) from DrawForm where BillType='1' and (RzDate='' or RzDate is null)")).toInt(), 2);
}

TEST_F(DemoData, AFewHundredValidTrialsOverSeveralMonthsBeforeTheTestDay)
{
    EXPECT_EQ(invalidTrials(*db), QStringList());
    const int n = one(QStringLiteral("select count(*) from TryOutBK")).toInt();
    EXPECT_GE(n, 200);
    EXPECT_LE(n, 1000);
    const QStringList months = rows(QStringLiteral("select distinct substring(BookDate,1,7) from TryOutBK"));
    EXPECT_GE(months.size(), 4);
    // Tests register trials on 2026-03-15 (the pinned clock); no demo trial may collide.
    EXPECT_LT(one(QStringLiteral("select max(BookDate) from TryOutBK")), QStringLiteral("2026-03-15"));
    const QStringList results = rows(QStringLiteral("select distinct Result from TryOutBK order by 1"));
    EXPECT_EQ(results, (QStringList{QStringLiteral("0"), QStringLiteral("1")}));
}

TEST_F(DemoData, CatalogueCodesAreValidInsideTheFormsSelects)
{
    const int trials = one(QStringLiteral("select count(*) from TryOutBK")).toInt();
    const QStringList tryOut = rows(QStringLiteral("select FldCode from tXtQry where QryType='TryOut' order by SerialNo"));
    ASSERT_GE(tryOut.size(), 10);
    for (const QString& code : tryOut) {
        QStringList got;
        ASSERT_NO_THROW(got = rows(registerSelect(QLatin1Char('(') + code + QStringLiteral(" is null or ")
                                                  + code + QStringLiteral(" is not null)"))))
            << code.toStdString();
        EXPECT_EQ(got.size(), trials) << code.toStdString();
    }
    const QStringList report = rows(QStringLiteral("select FldCode from tXtQry where QryType='TryOutR' order by SerialNo"));
    ASSERT_GE(report.size(), 5);
    for (const QString& code : report) {
        QStringList got;
        ASSERT_NO_THROW(got = rows(reportSelect(QLatin1Char('(') + code + QStringLiteral(" is not null)"))))
            << code.toStdString();
        EXPECT_FALSE(got.isEmpty()) << code.toStdString();
    }
    // Both query types offer free entry and both kinds of value list.
    for (const QString& type : {QStringLiteral("TryOut"), QStringLiteral("TryOutR")}) {
        EXPECT_EQ(rowsWith(*db, QStringLiteral("select distinct VluType from tXtQry where QryType=:T order by 1"),
                           {{QStringLiteral("T"), type}}),
                  (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}))
            << type.toStdString();
    }
}

TEST_F(DemoData, ValueListsTranslateWhatTheUserSeesIntoCodes)
{
    // Kind "1": the list in tXtQryValue, keyed by the field's SerialNo.
    for (const QString& row : rows(QStringLiteral("select QryType, SerialNo from tXtQry where VluType='1'"))) {
        const QStringList f = row.split(QLatin1Char('\t'));
        EXPECT_GE(rowsWith(*db, QStringLiteral("select QryVluNo from tXtQryValue where QryType=:T and SerialNo=:S"),
                           {{QStringLiteral("T"), f[0]}, {QStringLiteral("S"), f[1]}})
                      .size(),
                  2)
            << row.toStdString();
    }
    EXPECT_EQ(one(QStringLiteral("select QryVluNo from tXtQryValue V, tXtQry Q where V.QryType=Q.QryType and V.SerialNo=Q.SerialNo"
                                 " and Q.FldCode='T.Result' and V.QryValue='不满意'")),
              QStringLiteral("1"));
    // Kind "2": the values come from another table, as the condition builder reads them.
    for (const QString& row : rows(QStringLiteral("select VluObject, VluField, VluCaption from tXtQry where VluType='2'"))) {
        const QStringList f = row.split(QLatin1Char('\t'));
        EXPECT_FALSE(rows(QStringLiteral(" select ltrim(rtrim(") + f[1] + QStringLiteral(")) as QryVluNo,\n ltrim(rtrim(")
                          + f[2] + QStringLiteral(")) as qryVluInfo \n from ") + f[0])
                         .isEmpty())
            << row.toStdString();
    }
    EXPECT_EQ(one(QStringLiteral("select OrgCode from SubShop where OrgName='一楼化妆品'")), QStringLiteral("0101"));
}

TEST_F(DemoData, SavedConditionsUseCatalogueFields)
{
    const QStringList names = rows(QStringLiteral("select distinct QryType, QryName from tXtQrySave"));
    ASSERT_FALSE(names.isEmpty());
    for (const QString& n : names) {
        const QStringList f = n.split(QLatin1Char('\t'));
        EXPECT_FALSE(rowsWith(*db,
                              QStringLiteral("select b.FldName from tXtQrySave a,tXtQry b\nwhere a.QryType=b.QryType and a.FldCode=b.FldCode\n"
                                             "and a.QryType=:QryType and a.QryName=:QryName"),
                              {{QStringLiteral("QryType"), f[0]}, {QStringLiteral("QryName"), f[1]}})
                         .isEmpty())
            << n.toStdString();
    }
}

TEST_F(DemoData, PrintFormatsOfEveryEditionWithRightsOfExistingGroups)
{
    for (const QString& key : {QStringLiteral("TryOut"), QStringLiteral("TryOutR")}) {
        EXPECT_EQ(rowsWith(*db, QStringLiteral("select distinct VER from tXtPrnFormat where PrnType='1' and PrnCode=:K order by 1"),
                           {{QStringLiteral("K"), key}}),
                  (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}))
            << key.toStdString();
    }
    EXPECT_EQ(one(QStringLiteral("select count(*) from tXtRightPrn R where not exists (select 1 from tXtPrnFormat P"
                                 " where P.PrnType=R.PrnType and P.PrnCode=R.PrnCode and P.SerialNo=R.SerialNo)"
                                 " or not exists (select 1 from XtUserGrp G where G.UGrpCode=R.UGrpCode)")),
              QStringLiteral("0"));
    EXPECT_EQ(one(QStringLiteral("select count(*) from tXtPrnDefault where UserCode='1001'")), QStringLiteral("0"))
        << "the test session's user starts on the basic format";
}

TEST_F(DemoData, LinksPointAtRegisteredFunctions)
{
    EXPECT_EQ(one(QStringLiteral("select count(*) from XtLinkFunc L where not exists (select 1 from XtFunction F where F.FunCode=L.LinkFunCode)"
                                 " or not exists (select 1 from XtFunction F where F.FunCode=L.FunCode)")),
              QStringLiteral("0"));
    EXPECT_GE(one(QStringLiteral("select count(*) from XtLinkFunc where FunCode='080101'")).toInt(), 3);
}
