// Every statement the module runs, written in Transact-SQL line by line as the forms compose
// them, executed through the query component on the demo database (translated for SQLite), with
// the rows or counts the demo data must give. Values the forms paste in are pasted in here too;
// the few statements the module writes differently from the old text (the outer join of the
// rights tree) appear in the form the module uses.
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <utility>

namespace {

using Params = std::vector<std::pair<QString, QVariant>>;

struct Stmt {
    // Positional, with the checks not given left at "not checked".
    Stmt(const char* what_, QStringList lines_, Params params_ = {}, QStringList rows_ = {}, int affected_ = -100,
         int rowCount_ = -1, QStringList contains_ = {}, bool unordered_ = false)
        : what(what_), lines(std::move(lines_)), params(std::move(params_)), rows(std::move(rows_)),
          affected(affected_), rowCount(rowCount_), contains(std::move(contains_)), unordered(unordered_)
    {
    }
    const char* what;
    QStringList lines;
    Params params;
    QStringList rows;        // expected rows, tab-joined (exact unless unordered)
    int affected = -100;     // when set: run as a write and expect this row count
    int rowCount = -1;       // when set: only the number of rows is checked (plus contains)
    QStringList contains;    // rows that must be among the result
    bool unordered = false;  // the statement gives no order: compare sorted
};

QStringList openRows(TADOConnection& db, const Stmt& s)
{
    TADOQuery q(&db);
    q.SQL = s.lines;
    for (const auto& [n, v] : s.params) q.Parameters.ParamByName(n).Value = v;
    q.Open();
    QStringList rows;
    while (!q.Eof()) {
        QStringList cells;
        for (int i = 0; i < q.FieldCount(); ++i) cells << q.Field(i).AsString();
        rows << cells.join(QLatin1Char('\t'));
        q.Next();
    }
    return rows;
}

void runAll(TADOConnection& db, const std::vector<Stmt>& table)
{
    for (const Stmt& s : table) {
        SCOPED_TRACE(s.what);
        try {
            if (s.affected != -100) {
                TADOQuery q(&db);
                q.SQL = s.lines;
                for (const auto& [n, v] : s.params) q.Parameters.ParamByName(n).Value = v;
                EXPECT_EQ(q.ExecSQL(), s.affected);
                continue;
            }
            QStringList got = openRows(db, s);
            if (s.rowCount >= 0) {
                EXPECT_EQ(got.size(), s.rowCount);
                for (const QString& r : s.contains) EXPECT_TRUE(got.contains(r)) << r.toStdString();
                continue;
            }
            QStringList want = s.rows;
            if (s.unordered) {
                std::sort(got.begin(), got.end());
                std::sort(want.begin(), want.end());
            }
            EXPECT_EQ(got, want);
        } catch (const DbError& e) {
            ADD_FAILURE() << e.what() << "\n" << s.lines.join(QLatin1Char('\n')).toStdString();
        }
    }
}

QString q(const char* s) { return QString::fromUtf8(s); }
QStringList L(std::initializer_list<const char*> lines)
{
    QStringList out;
    for (const char* l : lines) out << QString::fromUtf8(l);
    return out;
}
Params P(std::initializer_list<std::pair<const char*, QVariant>> ps)
{
    Params out;
    for (const auto& [n, v] : ps) out.emplace_back(QString::fromLatin1(n), v);
    return out;
}

class ModuleStatements : public ::testing::Test {
protected:
    void SetUp() override { db = makeTestDb(true); }
    std::unique_ptr<TADOConnection> db;
};

// Organisation list, function-right test.
TEST_F(ModuleStatements, SessionAndOrganisationList)
{
    auto orgList = [](const char* user, const char* filter) {
        const QString u = QString::fromLatin1(user);
        return QStringList{q("select rtrim(OrgCode)+'-'+OrgName as OrgCode from SubShop"),
                           q("where (exists(select OrgCode from UserOrg where OrgCode=SubShop.OrgCode"),
                           q(" and StaffCode='") + u + q("') or '") + u + q("'='") + q("QVW") + q("')"),
                           q(filter), q(" order by (case OrgType when '2' then '0' else '1' end),OrgCode")};
    };
    runAll(*db, {
        {"org list, kind 2", orgList("1001", " and OrgType<>'2' and IsDbDeploy='1'"), {},
         L({"0101-一楼化妆品", "0102-二楼护肤品", "0103-三楼香水", "0301-加盟一店"})},
        {"org list, kind 0, head office first", orgList("1001", " and 0=0"), {},
         L({"0001-总部", "0101-一楼化妆品", "0102-二楼护肤品", "0103-三楼香水", "0301-加盟一店"})},
        {"org list, administrator, kind 5", orgList("QVW", " and (OrgType='2' or OrgType<>'2' and IsDbDeploy='1')"), {},
         L({"0001-总部", "0002-配送中心", "0101-一楼化妆品", "0102-二楼护肤品", "0103-三楼香水", "0301-加盟一店"})},
        {"org list, kind 7, user without organisations", orgList("1002", " and OrgType='1'"), {}, {}},
        {"function right held",
         L({"select R.* from XtRightFunc R,XtUserSub U where R.UGrpCode=U.UGrpCode and U.StaffCode='2001' and R.FunCode='OP07'"}),
         {}, L({"03\tOP07\tOP07"})},
        {"function right missing",
         L({"select R.* from XtRightFunc R,XtUserSub U where R.UGrpCode=U.UGrpCode and U.StaffCode='2001' and R.FunCode='OP08'"}),
         {}, {}},
    });
}

// Entry form: checks, look-ups, duplicate check, insert and update.
TEST_F(ModuleStatements, TryOutEntry)
{
    const auto orgCheck = [](const char* org) {
        return QStringList{q("select OrgName from SubShop where OrgType<>'2' and IsDbDeploy ='1' and OrgCode = '") + q(org) + q("'")};
    };
    const QStringList advisor = L({"Select S.StaffCode from Staffs S,UserOrg O,XtUserSub R",
                                   " where S.StaffCode = O.StaffCode and S.StaffCode = R.StaffCode and",
                                   "       O.OrgCode = '0101' and R.UGrpCode = '01' and ",
                                   "       S.StaffCode =:StaffCode"});
    const QStringList good = L({"Select PluCode from drawdetail D,drawForm F Where F.DrawNo = D.DrawNo and F.OrgCode = '0101' and F.BillType  ='1' and F.RzDate<>'' and F.RzDate is not null ",
                                " and D.PluCode =:PluCode "});
    const QStringList dup = L({"select OrgCode from TryOutBK", " where BookDate=:BookDate and BookTime=:BookTime",
                               " and OrgCode=:OrgCode and PluCode=:PluCode", "and PluCode<>:OldPluCode"});
    const Params key = P({{"BookDate", q("2026-03-15")}, {"BookTime", q("10:30:00")}, {"OrgCode", q("0101")},
                          {"PluCode", q("10010001")}});
    Params dupAdd = key;
    dupAdd.emplace_back(q("OldPluCode"), QString()); // add mode: '' (a NULL would never collide)
    Params dupEdit = key;
    dupEdit.emplace_back(q("OldPluCode"), q("10010001"));

    runAll(*db, {
        {"organisation check", orgCheck("0101"), {}, L({"一楼化妆品"})},
        {"organisation not deployed", orgCheck("0104"), {}, {}},
        {"organisation of kind 2", orgCheck("0001"), {}, {}},
        {"advisor of the organisation", advisor, P({{"StaffCode", q("3002")}}), L({"3002"})},
        {"staff member not an advisor", advisor, P({{"StaffCode", q("3101")}}), {}},
        {"advisor of another organisation", advisor, P({{"StaffCode", q("3003")}}), {}},
        {"good on two booked bills", good, P({{"PluCode", q("10010001")}}), L({"10010001", "10010001"})},
        {"good only on an unbooked bill", good, P({{"PluCode", q("10040004")}}), {}},
        {"good only on a bill of type 2", good, P({{"PluCode", q("10040003")}}), {}},
        {"advisor name", L({"Select StaffName from Staffs where StaffCode =:StaffCode "}), P({{"StaffCode", q("3001")}}),
         L({"刘静"})},
        {"good name",
         L({"Select D.PluName from drawForm F,drawDetail D ",
            " Where F.DrawNo = D.DrawNo and F.OrgCode = '0101' and F.BillType  ='1' and F.RzDate<>'' and F.RzDate is not null",
            "and PluCode =:PluCode"}),
         P({{"PluCode", q("10010002")}}), L({"玻尿酸保湿面膜", "玻尿酸保湿面膜"})},
        {"organisation look-up", L({"select OrgCode,OrgName from SubShop Where OrgType<>'2' and IsDbDeploy ='1' "}), {},
         L({"0101\t一楼化妆品", "0102\t二楼护肤品", "0103\t三楼香水", "0301\t加盟一店"}), -100, -1, {}, true},
        {"advisor look-up",
         L({"select S.StaffCode,S.StaffName from Staffs S,XtUserSub X, UserOrg O Where X.UGrpCode ='01' and S.StaffCode = X.StaffCode and S.StaffCode = O.StaffCode and O.OrgCode = '0101' "}),
         {}, L({"3001\t刘静", "3002\t陈敏"}), -100, -1, {}, true},
        {"good look-up",
         L({"select D.PluCode,D.PluName from DrawForm F,DrawDetail D  Where F.DrawNo = D.DrawNo and F.OrgCode = '0103' and F.BillType  ='1' and F.RzDate<>'' and F.RzDate is not null "}),
         {}, L({"10030001\t玫瑰淡香水", "10030001\t玫瑰淡香水", "10030002\t茉莉香氛", "10030002\t茉莉香氛", "10030003\t雪松男士香水"}),
         -100, -1, {}, true},
        {"duplicate check before the insert", dup, dupAdd, {}},
        {"insert",
         L({"insert into TryOutBK(OrgCode,PluCode,Result,Remark,ZdrCode,ZdrName,BookDate,BookTime,UserCode,UserName) ",
            "values(:OrgCode,:PluCode,:Result,:Remark,:ZdrCode,:ZdrName,:BookDate,:BookTime,:UserCode,:UserName) "}),
         P({{"OrgCode", q("0101")}, {"PluCode", q("10010001")}, {"Result", q("0")}, {"Remark", QString()},
            {"ZdrCode", q("3001")}, {"ZdrName", q("刘静")}, {"BookDate", q("2026-03-15")}, {"BookTime", q("10:30:00")},
            {"UserCode", q("1001")}, {"UserName", q("王芳")}}),
         {}, 1},
        {"duplicate check in add mode finds the row", dup, dupAdd, L({"0101"})},
        {"duplicate check in edit mode skips the record itself", dup, dupEdit, {}},
        {"update",
         L({"update TryOutBK set PluCode=:PluCode,Result=:Result,Remark=:Remark,ZdrCode=:ZdrCode,ZdrName=:ZdrName ",
            "where OrgCode=:OrgCode  and BookDate=:BookDate and BookTime=:BookTime"}),
         P({{"PluCode", q("10010002")}, {"Result", q("1")}, {"Remark", q("有点油腻")}, {"ZdrCode", q("3002")},
            {"ZdrName", QString()}, {"OrgCode", q("0101")}, {"BookDate", q("2026-03-15")}, {"BookTime", q("10:30:00")}}),
         {}, 1},
        {"the empty name is stored as ''",
         L({"select PluCode, Result, ZdrName is null, ZdrName from TryOutBK where BookDate='2026-03-15'"}), {},
         L({"10010002\t1\t0\t"})},
    });
}

// Register list: the load with and without conditions, the delete.
TEST_F(ModuleStatements, TryOutRegisterList)
{
    const QStringList head = L({"select BookDate,BookTime,T.PluCode PluCode,PluName,Spec,BarCode,Result, ",
                                "T.Remark Remark,T.UserCode,T.UserName,ZdrCode,ZdrName, ", " T.OrgCode OrgCode,OrgName",
                                "from TryOutBK T Left Join SubShop S on T.OrgCode=S.OrgCode ",
                                "                Left Join Goods R on T.PluCode=R.PluCode"});
    auto load = [&](const QString& where) {
        QStringList l = head;
        if (!where.isEmpty()) l << q(" where  ") + where;
        l << q(" order by BookDate,BookTime ");
        return l;
    };
    TADOQuery ins(db.get());
    ins.SQL << q("insert into TryOutBK(BookDate,BookTime,OrgCode,PluCode,Result,Remark) "
                 "values('2026-03-14','23:59:59','9999','99999999','0','')");
    ins.ExecSQL();

    runAll(*db, {
        {"whole list, a trial without master rows included", load({}), {}, {}, -100, 361,
         L({"2026-03-14\t23:59:59\t99999999\t\t\t\t0\t\t\t\t\t\t9999\t"})},
        {"text conditions of the dialog", load(q(" ((IsNull(T.PluCode,'') like '1001%') And (IsNull(T.Result,'')='0'))")),
         {}, {}, -100, 111},
        {"numeric condition", load(q(" ((IsNull(R.Price,0)>=200))")), {}, {}, -100, 162},
        {"or-joined conditions",
         load(q(" ((IsNull(S.OrgName,'') like '%楼%') Or (IsNull(T.ZdrName,'')='刘静'))")), {}, {}, -100, 310},
        {"values with + and : stay values", load(q(" ((IsNull(T.PluCode,'') like '%1+1%'))")), {}, {}, -100, 0},
        {"a time value", load(q(" ((IsNull(T.BookTime,'') like '%10:3%'))")), {}, {}, -100, 13},
        {"saved two-line condition", load(q("((IsNull(T.OrgCode,'')='0101') And (IsNull(T.BookDate,'')>='2026-03-01'))")),
         {}, {}, -100, 13},
        {"condition 'all'", load(q(" 0=0 ")), {}, {}, -100, 361},
        {"delete",
         L({"delete from TryOutBK where BookDate=:BookDate and BookTime=:BookTime and OrgCode =:OrgCode and PluCode=:PluCode"}),
         P({{"BookDate", q("2026-03-14")}, {"BookTime", q("23:59:59")}, {"OrgCode", q("9999")}, {"PluCode", q("99999999")}}),
         {}, 1},
    });
    // Rows come by date, then time, as text.
    const QStringList all = openRows(*db, {"whole list", load({})});
    ASSERT_EQ(all.size(), 360);
    EXPECT_TRUE(all.first().startsWith(q("2025-10-01\t09:00:00\t")));
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
}

// Summary report on data of its edge cases, in a month without demo data.
TEST_F(ModuleStatements, TryOutSummaryReport)
{
    db->executeScript(q(
        "INSERT INTO DrawForm VALUES ('LYT1','0102','1','2027-01-05','2027-01-03');"
        "INSERT INTO DrawForm VALUES ('LYT2','0103','1','2027-01-06','2027-01-31');"
        "INSERT INTO DrawForm VALUES ('LYT3','0102','1','','2027-01-10');"          // not booked
        "INSERT INTO DrawForm VALUES ('LYT4','0102','1','2027-02-02','2027-02-01');" // out of range
        "INSERT INTO DrawDetail VALUES ('LYT1','10010004','柔肤洁面乳',8,100,88.5,200);"
        "INSERT INTO DrawDetail VALUES ('LYT2','10030001','玫瑰淡香水',2,50,44,104);"
        "INSERT INTO DrawDetail VALUES ('LYT3','10010004','柔肤洁面乳',5,1,1,1);"
        "INSERT INTO DrawDetail VALUES ('LYT4','10010004','柔肤洁面乳',7,1,1,1);"
        "INSERT INTO TryOutBK(BookDate,BookTime,OrgCode,PluCode,Result) VALUES"
        " ('2027-01-03','10:00:00','0102','10010004','0'),('2027-01-04','10:00:00','0102','10010004','0'),"
        " ('2027-01-31','10:00:00','0102','10010004','0'),('2027-01-20','10:00:00','0102','10010004','1'),"
        " ('2027-01-21','10:00:00','0102','10010004','2'),"   // counts in neither
        " ('2027-01-22','10:00:00','0102','10010006','0'),"   // tried, not drawn
        " ('2027-02-01','10:00:00','0102','10010004','1'),"   // out of range
        " ('2027-01-22','10:00:00','9999','10010004','0');")); // organisation unknown

    const QString W = q("from(select F.OrgCode OrgCode,D.PluCode PluCode,sum(D.Counts) Counts,") +
                      q("sum(D.Cost) Cost,sum(D.NetCost) NetCost,SUM(D.Total) Total,0 Num1,0 Num2") +
                      q(" from DrawDetail D,DrawForm F where DrawDate between :BgnDate and :EndDate and F.DrawNo=D.DrawNo and F.BillType='1' and F.RzDate<>'' and F.RzDate is not null Group By OrgCode,PluCode ") +
                      q("Union ") +
                      q("select OrgCode,PluCode,0 Counts,0 Cost,0 NetCost,0 Total,sum(Case Result when '0' then 1 else 0 end) Num1, ") +
                      q(" sum(Case Result when '1' then 1 else 0 end) Num2") +
                      q(" from TryOutBK T where BookDate between :BgnDate1 and :EndDate1 Group by OrgCode,PluCode) ");
    auto report = [&](const QString& org, const QString& where, const QString& calc) {
        QStringList l = L({"select W.OrgCode OrgCode,S.OrgName OrgName,W.PluCode PluCode,G.PluName PluName, ",
                           "sum(W.Counts) LyCount,sum(W.Cost) JPrice,Sum(W.NetCost) NetJPrice,sum(W.Total) Price, ",
                           "Sum(W.Num1)+Sum(W.Num2) TryTimes,",
                           "SatFDgre = Case when Sum(W.Num1)+Sum(W.Num2)<>0 then round(Sum(W.Num1)*1.0/(Sum(W.Num1)+Sum(W.Num2))*100,2) else 0 end, ",
                           "Frequence =Case when sum(W.Counts)<>0 then round((Sum(W.Num1)+Sum(W.Num2))*1.0/sum(W.Counts),2) else 0 end"});
        l << W + q(" W,subshop S,Goods G") << q("where W.OrgCode = S.OrgCode and W.PluCode =G.PluCode");
        if (!org.isEmpty()) l << q(" and W.OrgCode='") + org + q("' ");
        if (!where.isEmpty()) l << q(" and  ") + where;
        l << q("group by W.Orgcode,S.OrgName,W.Plucode,G.PluName");
        if (!calc.isEmpty()) l = QStringList{q("Select * ") + calc + q(" from (") + l.join(QLatin1Char('\n')) + q(") T  ")};
        l << q(" order by OrgCode,PluCode");
        return l;
    };
    const Params range = P({{"BgnDate", q("2027-01-01")}, {"EndDate", q("2027-01-31")}, {"BgnDate1", q("2027-01-01")},
                            {"EndDate1", q("2027-01-31")}});
    const QString r1 = q("0102\t二楼护肤品\t10010004\t柔肤洁面乳\t8\t100\t88.5\t200\t4\t75\t0.5");
    const QString r2 = q("0102\t二楼护肤品\t10010006\t清透防晒乳\t0\t0\t0\t0\t1\t100\t0");
    const QString r3 = q("0103\t三楼香水\t10030001\t玫瑰淡香水\t2\t50\t44\t104\t0\t0\t0");
    runAll(*db, {
        {"3 satisfied, 1 not, 8 drawn", report({}, {}, {}), range, QStringList{r1, r2, r3}},
        {"one organisation", report(q("0103"), {}, {}), range, QStringList{r3}},
        {"with a condition", report({}, q(" ((IsNull(G.Price,0)>=150))"), {}), range, QStringList{r2, r3}},
        {"with the frame's saved condition", report({}, q("((IsNull(S.OrgType,'')='1'))"), {}), range,
         QStringList{r1, r2, r3}},
        {"wrapped with calculated fields",
         report({}, {}, q(" ,(TryTimes/Case(LyCount) when 0 then 1 else (LyCount) end )/1.0 as R_Rate ,(PluName+'-'+PluCode) as R_Label")),
         range,
         QStringList{r1 + q("\t0.5\t柔肤洁面乳-10010004"), r2 + q("\t1\t清透防晒乳-10010006"), r3 + q("\t0\t玫瑰淡香水-10030001")}},
        {"a single day on both sides", report({}, {}, {}),
         P({{"BgnDate", q("2027-01-31")}, {"EndDate", q("2027-01-31")}, {"BgnDate1", q("2027-01-31")}, {"EndDate1", q("2027-01-31")}}),
         QStringList{q("0102\t二楼护肤品\t10010004\t柔肤洁面乳\t0\t0\t0\t0\t1\t100\t0"), r3}},
    });
}

// Base form: default print format, format menus, user groups.
TEST_F(ModuleStatements, PrintDefaultsAndFormatMenus)
{
    auto defaultRead = [](const char* user) {
        return QStringList{q("select SerialNo from tXtPrnDefault where PrnCode='TryOut' and UserCode='") + q(user) +
                           q("' and (isnull(WorkStation,'') = '' or WorkStation='WS01') ")};
    };
    auto menu = [](const char* user, const char* groups, const char* ver) {
        QStringList l{q("Select distinct P.SerialNo,P.PrnName,D.UserCode,D.WorkStation From tXtPrnFormat P left join tXtPrnDefault D on P.PrnCode=D.PrnCode and (isnull(D.WorkStation,'') ='' or  D.WorkStation='") +
                      q("WS01") + q("') and P.SerialNo=D.SerialNo and D.UserCode='") + q(user) + q("',tXtRightPrn F ") +
                      q("Where P.PrnCode='TryOut' ") + q("and P.PrnType=F.PrnType ") + q("and P.PrnCode=F.PrnCode ") +
                      q("and P.SerialNo=F.SerialNo ") + q("and F.UGrpCode in (") + q(groups) + q(") ")};
        if (*ver) l << q(ver);
        l << q("order by P.SerialNo ");
        return l;
    };
    const QStringList adminMenu{
        q("Select P.SerialNo,P.PrnName,D.UserCode,D.WorkStation From tXtPrnFormat P left join tXtPrnDefault D on P.PrnCode=D.PrnCode and (isnull(D.WorkStation,'') ='' or  D.WorkStation='WS01')  and P.SerialNo=D.SerialNo and D.UserCode='QVW' Where P.PrnCode='TryOut' "),
        q("and (P.VER='1' or P.VER='2')"), q("order by P.SerialNo ")};
    const QStringList forget = L({"Delete from tXtPrnDefault ",
                                  "where PrnCode='TryOut' and UserCode='2001' and (isnull(WorkStation,'')='' or WorkStation = 'WS01') "});
    runAll(*db, {
        {"default on every workstation", defaultRead("2001"), {}, L({"3"})},
        {"no default", defaultRead("1001"), {}, {}},
        {"menu, shop user, edition 1", menu("2001", "'03'", "and (VER='1' or VER='2')"), {}, L({"3\t试用登记通用\t2001\t"})},
        {"menu, shop user, edition 0", menu("2001", "'03'", "and (VER='0' or VER='2')"), {},
         L({"1\t试用登记明细表\t\t", "3\t试用登记通用\t2001\t"})},
        {"menu, several groups, edition 2", menu("1001", "'02','04'", ""), {},
         L({"1\t试用登记明细表\t\t", "2\t试用登记(总部)\t\t", "3\t试用登记通用\t\t"})},
        {"menu, administrator", adminMenu, {}, L({"2\t试用登记(总部)\t\t", "3\t试用登记通用\t\t"})},
        {"user groups", L({"select UGrpCode", " from XtUserSub", " where StaffCode=:UserCode"}), P({{"UserCode", q("2001")}}),
         L({"03"})},
        {"forget the default", forget, {}, {}, 1},
        {"store a new default",
         L({"Insert into tXtPrnDefault(PrnCode,SerialNo,UserCode,WorkStation) ", "values(:PrnCode,:SerialNo,:UserCode,:WorkStation) "}),
         P({{"PrnCode", q("TryOut")}, {"SerialNo", 1}, {"UserCode", q("2001")}, {"WorkStation", q("WS01")}}), {}, 1},
        {"the new default is read", defaultRead("2001"), {}, L({"1"})},
        {"the serial number is stored as a number",
         L({"select typeof(SerialNo) from tXtPrnDefault where UserCode='2001'"}), {}, L({"integer"})},
    });
}

// Rights object and the detail panel's links.
TEST_F(ModuleStatements, RightsAndLinkedFunctions)
{
    auto rights = [](const char* user, const char* fun, bool type10) {
        const QString u = q(user), f = q(fun);
        if (!type10)
            return QStringList{q("select distinct FunCode,OptCode"), q("from xtRightFunc T1,xtUserSub T2 "),
                               q("where T1.UGrpCode = T2.UGrpCode and T2.StaffCode = '") + u + q("' and (T1.FunCode = '") + f +
                                   q("' or T1.FunCode like 'OP%')")};
        return QStringList{q("select distinct FunCode,OptCode"), q("from xtRightFunc T1,xtUserSub T2"),
                           q("where T1.UGrpCode = T2.UGrpCode and T2.StaffCode = '") + u + q("' and (T1.FunCode = '") + f +
                               q("' or T1.FunCode like 'OP%') and "),
                           q("      (Exists (select * from tMGMdFunction where funcode = '") + f +
                               q("' and isCtrl = '1') and T1.OptCode = '04' "),
                           q("       or not Exists (select * from tMGMdFunction where funcode = '") + f + q("' and isCtrl = '1') )")};
    };
    auto links = [](const char* edition) {
        QStringList l = L({"select L.LinkFunCode,F.FunName,", "F.DllType,F.FormType,F.DllName,F.DllFun",
                           " from XtLinkFunc L,XtFunction F,", " (Select Distinct R.FunCode", "    from XtUserSub S,XtRightFunc R",
                           "   where S.StaffCode=:UserCode", "     and S.UGrpCode=R.UGrpCode", "   group by R.FunCode) A",
                           " where L.LinkFunCode=F.FunCode", " and L.LinkFunCode=A.FunCode", " and L.FunCode=:FunCode",
                           " and F.FunType='1'", " and F.IsMenu='1'"});
        l << q(edition) << q(" order by L.SerialNo");
        return l;
    };
    runAll(*db, {
        {"options of a function",
         L({"select FunCode,OptCode,OptName", "from xtFuncItem ", "where FunCode = '080102'", "union",
            "select FunCode,FunCode as OptCode,FunName as OptName", "from xtfunction", "where FunCode like 'OP%'"}),
         {},
         L({"080102\t04\t查询", "080102\t05\t打印", "080102\t06\t导出", "OP01\tOP01\t打印格式设计", "OP07\tOP07\t查看数量",
            "OP08\tOP08\t查看成本"}),
         -100, -1, {}, true},
        {"user rights", rights("2001", "080102", false), {}, L({"080102\t04", "080102\t05", "OP07\tOP07"}), -100, -1, {}, true},
        {"user rights, product type 10, controlled function", rights("2001", "080101", true), {}, L({"080101\t04"})},
        {"user rights, product type 10, free function", rights("2001", "080102", true), {},
         L({"080102\t04", "080102\t05", "OP07\tOP07"}), -100, -1, {}, true},
        {"links at head office", links(" and (F.VER='1' or F.VER='2' or F.VER='4')"),
         P({{"UserCode", q("1001")}, {"FunCode", q("080101")}}),
         L({"080102\t试用品统计报表\t1\t1\tlibtryout.so\tfrmSpRptShow", "080103\t试用品领用单\t1\t1\tlibdrawbill.so\tfrmDrawBillShow",
            "020101\t商品资料\t1\t1\tlibbasedata.so\tfrmGoodsShow", "030101\t员工资料\t1\t1\tlibbasedata.so\tfrmStaffShow",
            "030102\t组织资料\t1\t1\tlibbasedata.so\t"})},
        {"links at a shop", links(" and (F.VER='0' or F.VER='2' or F.VER='3')"),
         P({{"UserCode", q("2001")}, {"FunCode", q("080102")}}),
         L({"080101\t试用品试用登记\t1\t1\tlibtryout.so\tfrmTryoutMngShow", "080103\t试用品领用单\t1\t1\tlibdrawbill.so\tfrmDrawBillShow"})},
    });
}

// Field catalogue, condition lookups, query dialog and condition frame.
TEST_F(ModuleStatements, QueryConditions)
{
    auto fields = [](const char* type, const char* ver) {
        QStringList l = L({"select SerialNo,FldCode,FldName,FldType,VluType,VluObject,VluField,VluCaption", "  from tXtQry"});
        l << q(" where Upper(QryType)='") + q(type) + q("'");
        if (*ver) l << q(ver);
        l << q("  order by SerialNo");
        return l;
    };
    runAll(*db, {
        {"catalogue, edition 0", fields("TRYOUT", " and (VER='0' or VER='1' or VER='3')"), {}, {}, -100, 14,
         L({"1\tT.BookDate\t试用日期\tS\t0\t\t\t", "3\tT.OrgCode\t组织\tS\t2\tSubShop\tOrgCode\tOrgName"})},
        {"catalogue, edition 1", fields("TRYOUT", " and (VER='0' or VER='2' or VER='4')"), {}, {}, -100, 15},
        {"catalogue, other edition", fields("TRYOUTR", ""), {}, {}, -100, 8},
        {"saved lines of a type", L({"select * from tXtQrySave", "where QryType=:QryType"}), P({{"QryType", q("TryOut")}}), {},
         -100, 3},
        {"value list code of a text",
         L({" select ltrim(rtrim(QryVluNo)) as QryVluNo,ltrim(rtrim(QryValue)) as qryVluInfo", " from tXtQryValue",
            " where Upper(QryType)='TRYOUT'", " and serialNo=9", " and QryValue='满意'"}),
         {}, L({"0\t满意"})},
        {"table value code of a caption",
         L({" select ltrim(rtrim(OrgCode)) as QryVluNo,", " ltrim(rtrim(OrgName)) as qryVluInfo ", " from SubShop",
            " where OrgName='一楼化妆品'"}),
         {}, L({"0101\t一楼化妆品"})},
        {"item is a field (type compared as stored, without regard to case)",
         L({"select * from txtQry ", " where qrytype='tryout' and FldName='组织'"}), {}, {}, -100, 1},
        {"saved condition of the item", L({"select * from txtQrySave ", " where QryType='TryOut' and QryName ='一楼三月' "}), {}, {},
         -100, 2},
        {"field name of a code",
         L({"select SerialNo,FldCode,FldName,FldType,VluType,VluObject,VluField,VluCaption", "  from tXtQry",
            " where Upper(QryType)='TRYOUT' and FldCode='T.OrgCode' ", " and (VER='0' or VER='1' or VER='3')", "  order by SerialNo"}),
         {}, L({"3\tT.OrgCode\t组织\tS\t2\tSubShop\tOrgCode\tOrgName"})},
        {"is a field name",
         L({" select SerialNo,FldCode,FldName,FldType,VluType,VluObject,VluField,VluCaption", "  from tXtQry",
            "  where Upper(QryType)='TRYOUT' and FLdName='试用品编码' ", "  order by SerialNo"}),
         {}, {}, -100, 1},
        {"is a saved name", L({" select * ", "  from tXtQrySave ", "  where Upper(QryType)='TRYOUT' and QryName='一楼三月' "}), {}, {},
         -100, 2},
        {"first field of a saved condition",
         L({"select b.FldName from tXtQrySave a,tXtQry b", "where a.QryType=b.QryType and a.FldCode=b.FldCode",
            "and a.QryType=:QryType and a.QryName=:QryName"}),
         P({{"QryType", q("TryOut")}, {"QryName", q("一楼三月")}}), L({"组织", "试用日期"}), -100, -1, {}, true},
        {"value list", L({" select ltrim(rtrim(QryVluNo)) as QryVluNo,ltrim(rtrim(QryValue)) as qryVluInfo", " from tXtQryValue",
                          " where Upper(QryType)='TRYOUTR'", " and serialno=3"}),
         {}, L({"1\t门店", "2\t总部仓库", "3\t加盟店"}), -100, -1, {}, true},
        {"table value list", L({" select ltrim(rtrim(StaffCode)) as QryVluNo,", " ltrim(rtrim(StaffName)) as qryVluInfo ", " from Staffs"}),
         {}, {}, -100, 13},

        // Query dialog.
        {"saved-condition names", L({"select distinct QryName,SerialNo from tXTQrySave  ", " where QryType='TryOut'", "order by SerialNo,QryName"}),
         {}, L({"满意的试用\t1", "一楼三月\t2"})},
        {"lines of a saved condition", L({"select * from tXtQrySave where QryType='TryOut' ", " and  Serialno=2", " order by OrderNo"}), {},
         L({"TryOut\t2\t1\t一楼三月\tT.OrgCode\t=\t一楼化妆品\t并且", "TryOut\t2\t2\t一楼三月\tT.BookDate\t>=\t2026-03-01\t并且"})},
        {"highest line number", L({"select Max(OrderNo) OrderNo from tXTQrySave ", " where QryType='TryOut' and Serialno=2"}), {},
         L({"2"})},
        {"highest line number of a new condition", L({"select Max(OrderNo) OrderNo from tXTQrySave ", " where QryType='TryOut' and Serialno=9"}),
         {}, L({""})},
        {"store a line",
         L({"insert into tXTQrySave(qrytype,Serialno,OrderNo,QryName,FldCode,Operator,FieldValue,LinkFlag)",
            "values ('TryOut',3,1,'O''Neil' ,", " 'T.PluCode','左边含有','10+01:x','并且')"}),
         {}, {}, 1},
        {"highest condition number", L({"select Max(SerialNo) SerialNo from tXTQrySave ", " where QryType='TryOut'"}), {}, L({"3"})},
        {"the stored values are intact", L({"select QryName, FieldValue from tXtQrySave where SerialNo=3 and QryType='TryOut'"}), {},
         L({"O'Neil\t10+01:x"})},
        {"delete a saved condition", L({"delete from txtQrySave ", " where QryType = 'TryOut' ", " and serialno=3"}), {}, {}, 1},

        // Condition frame.
        {"frame: saved names", L({"select distinct QryName,SerialNo from tXtQrySave", "where QryType='TryOutR'", " order by SerialNo,QryName"}),
         {}, L({"门店\t1"})},
        {"frame: field names at a shop", L({"select FldName from tXtQry", "where QryType='TryOut'", " and (VER='0' or VER='1' or VER='3')",
                                            " order by SerialNo"}),
         {}, {}, -100, 14},
        {"frame: saved lines named like the item", L({"select SerialNo from tXtQrySave", "where QryType=:QryType and QryName=:QryName"}),
         P({{"QryType", q("TryOutR")}, {"QryName", q("门店")}}), L({"1"})},
        {"frame: the saved line",
         L({"select a.FldCode,b.FldName,a.Operator", "from tXtQrySave a,tXtQry b", "where a.QryType=b.QryType and a.FldCode=b.FldCode",
            "and a.QryType=:QryType and a.QryName=:QryName"}),
         P({{"QryType", q("TryOutR")}, {"QryName", q("门店")}}), L({"S.OrgType\t组织类型\t="})},
        {"frame: store the new value", L({"update tXtQrySave set FieldValue=:FieldValue", "where QryType=:QryType and QryName=:QryName"}),
         P({{"FieldValue", q("加盟店")}, {"QryType", q("TryOutR")}, {"QryName", q("门店")}}), {}, 1},
        {"frame: code of a field", L({"select FldCode from tXtQry", "where QryType=:QryType and FldName=:FldName"}),
         P({{"QryType", q("TryOutR")}, {"FldName", q("零售价")}}), L({"G.Price"})},
        {"frame: highest number", L({"select isnull(max(SerialNo),0) as SerialNo", "from tXtQrySave where QryType=:QryType"}),
         P({{"QryType", q("TryOutR")}}), L({"1"})},
        {"frame: highest number of a new type", L({"select isnull(max(SerialNo),0) as SerialNo", "from tXtQrySave where QryType=:QryType"}),
         P({{"QryType", q("Nothing")}}), L({"0"})},
        {"frame: remember a condition",
         L({"insert into tXtQrySave(QryType,SerialNo,OrderNo,", "QryName,FldCode,Operator,FieldValue,LinkFlag)", "values(:QryType,:SerialNo,:OrderNo,",
            ":QryName,:FldCode,:Operator,:FieldValue,:LinkFlag)"}),
         P({{"QryType", q("TryOutR")}, {"SerialNo", 2}, {"OrderNo", 1}, {"QryName", q("零售价>")}, {"FldCode", q("G.Price")},
            {"Operator", q(">")}, {"FieldValue", q("100")}, {"LinkFlag", q("并且")}}),
         {}, 1},
        {"frame: change operator and value",
         L({"update tXtQrySave set Operator=:Operator,FieldValue=:FieldValue", "where QryType=:QryType and QryName=:QryName"}),
         P({{"Operator", q(">=")}, {"FieldValue", QString()}, {"QryType", q("TryOutR")}, {"QryName", q("零售价>")}}), {}, 1},
        {"frame: the rows written", L({"select SerialNo,OrderNo,Operator,FieldValue is null from tXtQrySave where QryName='零售价>'"}), {},
         L({"2\t1\t>=\t0"})},
    });
}

// Print formats: list, editor, rights.
TEST_F(ModuleStatements, PrintFormats)
{
    const QStringList dupCheck = L({"select SerialNo from tXtPrnFormat ", "where PrnCode=:PrnCode ", "and  PrnType=:PrnType ", "and SerialNo=:SerialNo "});
    const QStringList groupNodes = L({"select S.UGrpCode,S.UGrpName,F.PrnCode ",
                                      "from XtUserGrp S left join tXtRightPrn F on F.UGrpCode=S.UGrpCode and F.PrnCode=:PrnCode and F.PrnType=:PrnType and F.SerialNo=:SerialNo "});
    const QStringList rightRow = L({"select * from tXtRightPrn ", "where PrnType=:PrnType  ", "and PrnCode=:PrnCode ", "and SerialNo=:SerialNo",
                                    "and UGrpCode=:UGrpCode "});
    const Params right05 = P({{"PrnType", q("1")}, {"PrnCode", q("TryOut")}, {"SerialNo", 3}, {"UGrpCode", q("05")}});
    runAll(*db, {
        {"format list, edition 0", L({"select SerialNo,PrnName,Remark", "from tXtPrnFormat ", "where PrnCode='TryOut' ", "and (VER='0' or VER='2')"}),
         {}, L({"1\t试用登记明细表\t单店版", "3\t试用登记通用\t各版通用"}), -100, -1, {}, true},
        {"serial number taken", dupCheck, P({{"PrnCode", q("TryOut")}, {"PrnType", q("1")}, {"SerialNo", 2}}), L({"2"})},
        {"serial number free", dupCheck, P({{"PrnCode", q("TryOut")}, {"PrnType", q("1")}, {"SerialNo", 4}}), {}},
        {"add a format",
         L({"Insert Into  tXtPrnFormat ", "(PrnType,PrnCode,SerialNo,VER,PrnName,Remark) ", "Values(:PrnType,:PrnCode,:SerialNo,:VER,:PrnName,:Remark) "}),
         P({{"PrnType", q("1")}, {"PrnCode", q("TryOut")}, {"SerialNo", 4}, {"VER", q("1")}, {"PrnName", q("新格式")}, {"Remark", QString()}}),
         {}, 1},
        {"edit a format with a new number",
         L({"Update  tXtPrnFormat Set  ", "VER=:VER,PrnName=:PrnName,Remark=:Remark ,SerialNo=:NewSerialNo ",
            "where PrnCode=:PrnCode and SerialNo=:SerialNo and PrnType=:PrnType "}),
         P({{"VER", q("0")}, {"PrnName", q("新格式2")}, {"Remark", q("备注")}, {"NewSerialNo", 5}, {"PrnCode", q("TryOut")}, {"SerialNo", 4},
            {"PrnType", q("1")}}),
         {}, 1},
        {"groups of the user", L({"select UGrpCode from XtUserSub", "where StaffCode=:UserCode"}), P({{"UserCode", q("1001")}}), L({"02"})},
        {"grant: delete first",
         L({"delete from tXtRightPrn", "where PrnType=:PrnType and PrnCode=:PrnCode and SerialNo=:SerialNo and UGrpCode=:UGrpCode"}),
         P({{"PrnType", q("1")}, {"PrnCode", q("TryOut")}, {"SerialNo", 5}, {"UGrpCode", q("02")}}), {}, 0},
        {"grant: insert", L({"insert into tXtRightPrn", "(PrnType,PrnCode,SerialNo,UGrpCode)", "values(:PrnType,:PrnCode,:SerialNo,:UGrpCode)"}),
         P({{"PrnType", q("1")}, {"PrnCode", q("TryOut")}, {"SerialNo", 5}, {"UGrpCode", q("02")}}), {}, 1},
        {"rights tree: formats", L({"Select * from tXtPrnFormat  ", "Where PrnType=:PrnType ", "and PrnCode=:PrnCode ", "and (VER='0' or VER='2')",
                                    "order by serialNo"}),
         P({{"PrnType", q("1")}, {"PrnCode", q("TryOut")}}), {}, -100, 3},
        {"rights tree: every group, ticked where granted", groupNodes,
         P({{"PrnCode", q("TryOut")}, {"PrnType", q("1")}, {"SerialNo", 3}}),
         L({"01\t美容顾问\t", "02\t总部管理\tTryOut", "03\t门店操作\tTryOut", "04\t查询人员\tTryOut", "05\t营业员\t"}), -100, -1, {}, true},
        {"rights: no row yet", rightRow, right05, {}},
        {"rights: grant", L({"Insert Into tXtRightPrn(PrnType,PrnCode,SerialNo,UGrpCode) ", "Values(:PrnType,:PrnCode,:SerialNo,:UGrpCode) "}),
         right05, {}, 1},
        {"rights: the row", rightRow, right05, L({"1\tTryOut\t3\t05"})},
        {"rights: withdraw", L({"delete from  tXtRightPrn ", "where PrnType=:PrnType  ", "and PrnCode=:PrnCode ", "and SerialNo=:SerialNo",
                                "and UGrpCode=:UGrpCode "}),
         right05, {}, 1},
        {"delete a format", L({"delete from tXtPrnFormat ", "where PrnCode='TryOut' ", "and  SerialNo=:SerialNo "}), P({{"SerialNo", 5}}), {}, 1},
        {"delete its rights", L({"delete from tXtRightPrn", "where PrnType=:PrnType and PrnCode=:PrnCode and SerialNo=:SerialNo"}),
         P({{"PrnType", q("1")}, {"PrnCode", q("TryOut")}, {"SerialNo", 5}}), {}, 1},
    });
}

// Calculated fields: the table created when missing, the editor's statements.
TEST_F(ModuleStatements, CalculatedFieldStore)
{
    const QStringList exists = L({"Select Name from Sysobjects where Name ='tXtQryField' and Type='u' "});
    const QStringList create = L({"Create TABLE tXtQryField (", "QryCode  VarChar(10) NOT NULL ,", "DataSet  VarChar(15) NOT NULL,",
                                  "FldName VarChar(40) NOT NULL ,", "FldCaption  VarChar(40) NULL ,", "FldType  VarChar(1) NOT NULL ,",
                                  "FldSize  Int NOT NULL Default(0) ,", "FldExpress VarChar(100)  NULL,", "FldFormat VarChar(15)  NULL,",
                                  "IsSum VarChar(1)  NULL DEFAULT ('0'),", "Remark     VarChar(40)  NULL,",
                                  "Primary Key (QryCode,DataSet,FldName))"});
    const QStringList one = L({"Select * from tXtQryField", "Where QryCode=:QryCode and DataSet=:DataSet and FldName=:FldName"});
    const Params key = P({{"QryCode", q("TryOutR")}, {"DataSet", q("qryHead")}, {"FldName", q("Rate")}});
    Params values = key;
    for (auto& p : P({{"FldCaption", q("频度")}, {"FldType", q("F")}, {"FldSize", 0}, {"FldExpress", q("TryTimes/LyCount")},
                      {"FldFormat", q("#,##0.00")}, {"IsSum", q("0")}, {"Remark", QString()}}))
        values.push_back(p);
    Params otherCase = values;
    otherCase[2].second = q("RATE");
    runAll(*db, {
        {"table missing", exists, {}, {}},
        {"create it", create, {}, {}, 0},
        {"table there", exists, {}, L({"tXtQryField"})},
        {"new definition",
         L({"Insert into  tXtQryField (QryCode,DataSet, FldName,FldCaption,FldType,FldSize,FldExpress,FldFormat,IsSum,Remark) ",
            "Values(:QryCode,:DataSet, :FldName,:FldCaption,:FldType,:FldSize,:FldExpress,:FldFormat,:IsSum,:Remark)"}),
         values, {}, 1},
        {"definitions of a dataset", L({"Select * from tXtQryField", "Where QryCode=:QryCode and DataSet=:DataSet"}),
         P({{"QryCode", q("tryoutr")}, {"DataSet", q("qryHead")}}),
         L({"TryOutR\tqryHead\tRate\t频度\tF\t0\tTryTimes/LyCount\t#,##0.00\t0\t"})},
        {"overwrite",
         L({"Update tXtQryField Set FldCaption=:FldCaption,FldType=:FldType,FldSize=:FldSize,FldExpress=:FldExpress,FldFormat=:FldFormat,IsSum=:IsSum,Remark=:Remark",
            "Where QryCode=:QryCode and DataSet=:DataSet and FldName=:FldName"}),
         otherCase, {}, 1},
        {"one definition", one, key, {}, -100, 1},
        {"delete it", L({"Delete from tXtQryField", "Where QryCode=:QryCode and DataSet=:DataSet and FldName=:FldName"}), key, {}, 1},
    });
    // The key compares without regard to case, as on the server.
    TADOQuery ins(db.get());
    ins.SQL << q("insert into tXtQryField(QryCode,DataSet,FldName,FldType) values('A','B','x','S')")
            << q("");
    ins.ExecSQL();
    ins.SQL = QStringList{q("insert into tXtQryField(QryCode,DataSet,FldName,FldType) values('a','b','X','S')")};
    EXPECT_THROW(ins.ExecSQL(), DbError);
}

// Chart settings kept in the database.
TEST_F(ModuleStatements, ChartSettings)
{
    static const char raw[] = "[Picture]\r\nOther=1311101\r\n\x00\xff";
    const QByteArray file(raw, sizeof raw - 1);
    const Params key = P({{"FMTNAME", q("TryOutR")}, {"FMTTYPE", q(".COL")}});
    Params withFile = key;
    withFile.emplace_back(q("FMTFILE"), file);
    runAll(*db, {
        {"delete without FROM", L({" delete TXTMYCLMDEFAULT", " where FMTNAME=:FMTNAME and FMTTYPE=:FMTTYPE "}), key, {}, 0},
        {"insert", L({" insert into TXTMYCLMDEFAULT", " (FMTNAME,FMTTYPE,FMTFILE) ", " values(:FMTNAME,:FMTTYPE,:FMTFILE)"}), withFile, {}, 1},
        {"delete it again", L({" delete TXTMYCLMDEFAULT", " where FMTNAME=:FMTNAME and FMTTYPE=:FMTTYPE "}),
         P({{"FMTNAME", q("tryoutr")}, {"FMTTYPE", q(".col")}}), {}, 1},
        {"insert again", L({" insert into TXTMYCLMDEFAULT", " (FMTNAME,FMTTYPE,FMTFILE) ", " values(:FMTNAME,:FMTTYPE,:FMTFILE)"}), withFile, {}, 1},
    });
    TADOQuery r(db.get());
    r.SQL << q("Select FMTFILE") << q("From TXTMYCLMDEFAULT") << q("Where FMTNAME=:FMTNAME and fmttype=:fmttype ");
    r.Parameters.ParamByName(q("FMTNAME")).Value = q("TryOutR");
    r.Parameters.ParamByName(q("fmttype")).Value = q(".COL");
    r.Open();
    ASSERT_FALSE(r.Eof());
    EXPECT_EQ(r.FieldByName(q("FMTFILE")).Value().toByteArray(), file);
}

} // namespace
