#include "query/PubQuery.h"

#include "host/include/PubProcDll.h"
#include "tests/query/QryTestSql.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>

using namespace qrytest;

namespace {

class PubQueryTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        // A text field, an integer field and a float field with plain codes, for fragments.
        exec(*db, QStringLiteral("insert into tXtQry(QryType,SerialNo,FldCode,FldName,FldType,VluType,VER) values"
                                 "('Probe',1,'code','") + u("名称") + QStringLiteral("','S','0','0'),"
                                 "('Probe',2,'qty','") + u("数量") + QStringLiteral("','I','0','0'),"
                                 "('Probe',3,'amt','") + u("金额") + QStringLiteral("','F','0','0'),"
                                 "('Probe',4,'odd','") + u("其它") + QStringLiteral("','D','0','0')"));
    }

    std::unique_ptr<TQryCatalog> catalog(const QString& type)
    {
        std::unique_ptr<TQryCatalog> c;
        LoadQryFields(type, c);
        return c;
    }

    QStringList tryOutRows(const QString& where)
    {
        return runRows(*db, registerListSql(where), {QStringLiteral("BookDate"), QStringLiteral("BookTime"),
                                                     QStringLiteral("OrgCode"), QStringLiteral("PluCode")});
    }
};

} // namespace

TEST_F(PubQueryTest, ExampleFragments)
{
    auto tryOut = catalog(QStringLiteral("TryOut"));
    EXPECT_EQ(BuildQryCondition(u("试用品编码"), u("左边含有"), QStringLiteral("01"), tryOut.get(), u("并且")),
              QStringLiteral("(IsNull(T.PluCode,'') like '01%') And "));
    auto probe = catalog(QStringLiteral("Probe"));
    EXPECT_EQ(BuildQryCondition(u("数量"), QStringLiteral(">="), QStringLiteral("5"), probe.get(), u("结束")),
              QStringLiteral("(IsNull(qty,0)>=5)"));
    EXPECT_EQ(BuildQryCondition(u("名称"), u("不含有"), QStringLiteral("A'B"), probe.get(), u("或者")),
              QStringLiteral("(IsNull(code,'') not like '%A''B%') Or "));
    EXPECT_EQ(BuildQryCondition(u("名称"), u("右边含有"), QStringLiteral("x"), probe.get(), u("结束")),
              QStringLiteral("(IsNull(code,'') like '%x')"));
    EXPECT_EQ(BuildQryCondition(u("名称"), u("含有"), QStringLiteral("x"), probe.get(), u("结束")),
              QStringLiteral("(IsNull(code,'') like '%x%')"));
    EXPECT_EQ(BuildQryCondition(u("金额"), QStringLiteral("<>"), QStringLiteral("2.50"), probe.get(), QString()),
              QStringLiteral("(IsNull(amt,0)<>2.5)"));
}

TEST_F(PubQueryTest, LinesThatContributeNothing)
{
    auto probe = catalog(QStringLiteral("Probe"));
    // No operator, an unknown operator, a field missing from the catalogue, a type without a
    // value rule, a bad number: no comparison and no join.
    EXPECT_EQ(BuildQryCondition(u("名称"), QString(), QStringLiteral("a"), probe.get(), u("并且")), QString());
    EXPECT_EQ(BuildQryCondition(u("名称"), QStringLiteral("=="), QStringLiteral("a"), probe.get(), u("并且")), QString());
    EXPECT_EQ(BuildQryCondition(u("没有"), QStringLiteral("="), QStringLiteral("a"), probe.get(), u("并且")), QString());
    EXPECT_EQ(BuildQryCondition(u("其它"), QStringLiteral("="), QStringLiteral("a"), probe.get(), u("并且")), QString());
    EXPECT_EQ(BuildQryCondition(u("数量"), QStringLiteral("="), QStringLiteral("abc"), probe.get(), u("并且")), QString());

    TQryWhereBuilder b;
    b.add(BuildQryComparison(u("名称"), QStringLiteral("="), QStringLiteral("a"), probe.get()), u("或者"));
    b.add(BuildQryComparison(u("没有"), QStringLiteral("="), QStringLiteral("a"), probe.get()), u("并且"));
    b.add(BuildQryComparison(u("数量"), QStringLiteral(">"), QStringLiteral("1"), probe.get()), u("或者"));
    b.add(BuildQryComparison(u("数量"), QString(), QStringLiteral("1"), probe.get()), u("并且"));
    EXPECT_EQ(b.count(), 2);
    EXPECT_EQ(b.text(), QStringLiteral("(IsNull(code,'')='a') Or (IsNull(qty,0)>1)"));
}

TEST_F(PubQueryTest, NumbersArePlainDecimalsWrittenAnew)
{
    struct Case {
        const char* type;
        const char* text;
        const char* sql; // nullptr: refused
    } cases[] = {
        {"I", "5", "5"}, {"I", "+007", "7"}, {"I", "-12", "-12"}, {"I", " 3 ", "3"},
        {"I", "-0", "0"}, {"I", "9223372036854775807", "9223372036854775807"},
        {"I", "9223372036854775808", nullptr}, {"I", "1.5", nullptr}, {"I", "", nullptr},
        {"I", "0x10", nullptr}, {"I", "1e3", nullptr}, {"I", "--1", nullptr}, {"I", "1 2", nullptr},
        {"F", "1.50", "1.5"}, {"F", "007.0", "7"}, {"F", "-0.000", "0"}, {"F", "-3.25", "-3.25"},
        {"F", "0.1", "0.1"}, {"F", "12345678901234567890.123", "12345678901234567890.123"},
        {"F", "inf", nullptr}, {"F", "nan", nullptr}, {"F", "1e999", nullptr}, {"F", ".5", nullptr},
        {"F", "5.", nullptr}, {"F", "1,5", nullptr}, {"F", "0x1p3", nullptr}, {"S", "5", nullptr},
    };
    for (const Case& c : cases) {
        QString sql = QStringLiteral("untouched");
        const bool ok = NormalizeQryNumber(QString::fromLatin1(c.type), QString::fromLatin1(c.text), sql);
        EXPECT_EQ(ok, c.sql != nullptr) << c.type << " " << c.text;
        if (c.sql) EXPECT_EQ(sql, QString::fromLatin1(c.sql)) << c.text;
        else EXPECT_EQ(sql, QStringLiteral("untouched")) << c.text;
    }
    auto probe = catalog(QStringLiteral("Probe"));
    QString v = QStringLiteral("kept");
    EXPECT_FALSE(FormatQryValue(QStringLiteral("1;drop table x"), u("数量"), QStringLiteral("="), probe.get(), v));
    EXPECT_EQ(v, QStringLiteral("kept"));
    EXPECT_TRUE(FormatQryValue(QStringLiteral("O'K"), u("名称"), QStringLiteral("="), probe.get(), v));
    EXPECT_EQ(v, QStringLiteral("'O''K'"));
}

TEST_F(PubQueryTest, CatalogueFollowsTheEdition)
{
    auto names = [&](const QString& ver) {
        qorSession().version = ver;
        auto c = catalog(QStringLiteral("tryout")); // the type is compared upper-cased
        QStringList n;
        for (const TQryField& f : c->Fields) n << f.FldName;
        return n;
    };
    EXPECT_EQ(names(QStringLiteral("1")).size(), 15);
    EXPECT_TRUE(names(QStringLiteral("1")).contains(u("评价")));
    EXPECT_FALSE(names(QStringLiteral("0")).contains(u("评价")));
    EXPECT_EQ(names(QStringLiteral("0")).size(), 14);
    EXPECT_TRUE(names(QStringLiteral("2")).contains(u("评价")));
    EXPECT_EQ(names(QStringLiteral("3")).size(), 15);
    EXPECT_EQ(names(QStringLiteral("3")).first(), u("试用日期"));
    EXPECT_EQ(QryEditionFilter(), QString());
    qorSession().version = QStringLiteral("0");
    EXPECT_EQ(QryEditionFilter(), QStringLiteral(" and (VER='0' or VER='1' or VER='3')"));
    EXPECT_EQ(GetQryFldName(QStringLiteral("TryOut"), QStringLiteral("T.Remark")), QString());
    qorSession().version = QStringLiteral("1");
    EXPECT_EQ(GetQryFldName(QStringLiteral("TryOut"), QStringLiteral("T.Remark")), u("评价"));
}

TEST_F(PubQueryTest, LookupsIgnoreCaseAndQuotes)
{
    exec(*db, QStringLiteral("insert into tXtQry(QryType,SerialNo,FldCode,FldName,FldType,VluType,VER) values"
                             "('Probe',5,'S.OrgCode+''-''+S.OrgName','Abc','S','0','0')"));
    auto probe = catalog(QStringLiteral("Probe"));
    EXPECT_EQ(GetQryFieldAttr(QStringLiteral("aBC"), QStringLiteral("FldCode"), probe.get()),
              QStringLiteral("S.OrgCode+'-'+S.OrgName"));
    EXPECT_EQ(GetQryFieldAttr(QStringLiteral("abc"), QStringLiteral("serialno"), probe.get()), QStringLiteral("5"));
    EXPECT_EQ(GetQryFieldAttr(QStringLiteral("none"), QStringLiteral("FldCode"), probe.get()), QString());
    EXPECT_EQ(GetQryFieldAttr(QStringLiteral("abc"), QStringLiteral("FldCode"), nullptr), QString());
    // A code holding quotes is found again; typed names holding quotes are no SQL.
    EXPECT_EQ(GetQryFldName(QStringLiteral("Probe"), QStringLiteral("S.OrgCode+'-'+S.OrgName")), QStringLiteral("Abc"));
    EXPECT_FALSE(IsQryFieldName(QStringLiteral("Probe"), QStringLiteral("O'Neil")));
    EXPECT_FALSE(IsQrySaveName(QStringLiteral("Probe"), QStringLiteral("O'Neil")));
    EXPECT_TRUE(IsQryFieldName(QStringLiteral("probe"), QStringLiteral("abc")));
    EXPECT_TRUE(IsQrySaveName(QStringLiteral("TRYOUT"), u("一楼三月")));
    EXPECT_FALSE(IsQrySaveName(QStringLiteral("TryOutR"), u("一楼三月")));
    EXPECT_EQ(GetSavedFirstFldName(QStringLiteral("TryOut"), u("一楼三月")), u("组织"));
    EXPECT_EQ(GetSavedFirstFldName(QStringLiteral("TryOut"), u("试用日期")), u("试用日期"));
    EXPECT_EQ(GetSavedFirstFldName(QStringLiteral("TryOut"), QStringLiteral("x'y")), QStringLiteral("x'y"));
}

TEST_F(PubQueryTest, OperatorsAndValuesOfAField)
{
    std::unique_ptr<TQryCatalog> c;
    QStringList ops;
    const QString t = QStringLiteral("TryOut");
    FillQryOperators(t, u("试用品名称"), ops, c);
    EXPECT_EQ(ops, QryWords::textOperators());
    EXPECT_EQ(CurQryType, t);
    EXPECT_EQ(ops.size(), 10);
    EXPECT_EQ(ops.at(6), u("含有"));
    EXPECT_EQ(ops.at(9), u("不含有"));
    FillQryOperators(t, u("零售价"), ops, c);
    EXPECT_EQ(ops, QryWords::comparisonOperators());
    FillQryOperators(t, u("组织"), ops, c); // list field whose code is not its caption
    EXPECT_EQ(ops, (QStringList{QStringLiteral("="), QStringLiteral("<>")}));
    FillQryOperators(t, u("操作员编码"), ops, c); // the caption is the code
    EXPECT_EQ(ops, QryWords::textOperators());
    FillQryOperators(t, u("试用结果"), ops, c);
    EXPECT_EQ(ops, QryWords::equalityOperators());
    FillQryOperators(t, u("不存在"), ops, c);
    EXPECT_EQ(ops, QryWords::equalityOperators());

    QStringList values{QStringLiteral("stale")};
    FillQryValues(QStringLiteral("TryOut"), u("试用结果"), values, c);
    EXPECT_EQ(values, (QStringList{u("满意"), u("不满意")}));
    FillQryValues(QStringLiteral("TryOutR"), u("组织类型"), values, c);
    EXPECT_EQ(values, (QStringList{u("门店"), u("总部仓库"), u("加盟店")}));
    EXPECT_EQ(CurQryType, QStringLiteral("TryOutR"));
    FillQryValues(QStringLiteral("TryOut"), u("组织"), values, c);
    EXPECT_EQ(values.size(), 8);
    EXPECT_TRUE(values.contains(u("一楼化妆品")));
    FillQryValues(QStringLiteral("TryOut"), u("试用品名称"), values, c);
    EXPECT_TRUE(values.isEmpty());
}

TEST_F(PubQueryTest, ListValuesAreComparedByTheirCodes)
{
    auto c = catalog(QStringLiteral("TryOut"));
    EXPECT_EQ(BuildQryComparison(u("试用结果"), QStringLiteral("="), u("不满意"), c.get()),
              QStringLiteral("(IsNull(T.Result,'')='1')"));
    EXPECT_EQ(BuildQryComparison(u("组织"), QStringLiteral("<>"), u("一楼化妆品"), c.get()),
              QStringLiteral("(IsNull(T.OrgCode,'')<>'0101')"));
    // A text the list does not hold is compared as typed, so a partial code narrows instead of
    // matching every row through '%%'.
    EXPECT_EQ(BuildQryComparison(u("操作员编码"), u("左边含有"), QStringLiteral("10"), c.get()),
              QStringLiteral("(IsNull(T.UserCode,'') like '10%')"));
    EXPECT_EQ(BuildQryComparison(u("组织"), QStringLiteral("="), QStringLiteral("x'y"), c.get()),
              QStringLiteral("(IsNull(T.OrgCode,'')='x''y')"));
    const QStringList all = tryOutRows(QString());
    ASSERT_EQ(all.size(), 360);
    EXPECT_EQ(tryOutRows(BuildQryComparison(u("操作员编码"), u("含有"), QStringLiteral("200"), c.get())).size(),
              countOf(*db, QStringLiteral("select count(*) from TryOutBK where UserCode='2001'")));
}

TEST_F(PubQueryTest, FrameItemOfAField)
{
    std::unique_ptr<TQryCatalog> c;
    QString desc = QStringLiteral("old"), where = QStringLiteral("old");
    BuildQryFromItem(QStringLiteral("TryOut"), u("试用品编码"), u("左边含有"), QStringLiteral("1001"), c, desc, where);
    EXPECT_EQ(where, QStringLiteral("(IsNull(T.PluCode,'') like '1001%')"));
    EXPECT_EQ(desc, u("试用品编码 左边含有 '1001'"));
    EXPECT_EQ(CurQryType, QStringLiteral("TryOut"));
    const QStringList rows = tryOutRows(where);
    EXPECT_FALSE(rows.isEmpty());
    for (const QString& r : rows) EXPECT_TRUE(r.section(QLatin1Char('\t'), 3).startsWith(QStringLiteral("1001")));

    // No operator: nothing contributes, both texts empty.
    BuildQryFromItem(QStringLiteral("TryOut"), u("试用品编码"), QString(), QStringLiteral("1"), c, desc, where);
    EXPECT_EQ(where, QString());
    EXPECT_EQ(desc, QString());
    // Neither a field nor a saved condition.
    where = desc = QStringLiteral("old");
    BuildQryFromItem(QStringLiteral("TryOut"), QStringLiteral("x'y"), QStringLiteral("="), QStringLiteral("1"), c, desc, where);
    EXPECT_EQ(where, QString());
    EXPECT_EQ(desc, QString());
}

TEST_F(PubQueryTest, FrameItemOfASavedConditionInLineOrder)
{
    // The lines of 一楼三月 stored the other way round: the expansion still follows OrderNo.
    exec(*db, QStringLiteral("delete from tXtQrySave where QryType='TryOut' and SerialNo=2"));
    exec(*db, QStringLiteral("insert into tXtQrySave values('TryOut',2,3,'") + u("一楼三月") +
                  QStringLiteral("','T.PluCode','") + u("左边含有") + QStringLiteral("','1001','") + u("并且") + QStringLiteral("')"));
    exec(*db, QStringLiteral("insert into tXtQrySave values('TryOut',2,2,'") + u("一楼三月") +
                  QStringLiteral("','T.BookDate','>=','2026-03-01','") + u("或者") + QStringLiteral("')"));
    exec(*db, QStringLiteral("insert into tXtQrySave values('TryOut',2,1,'") + u("一楼三月") +
                  QStringLiteral("','T.OrgCode','=','") + u("一楼化妆品") + QStringLiteral("','") + u("并且") + QStringLiteral("')"));
    std::unique_ptr<TQryCatalog> c;
    QString desc, where;
    BuildQryFromItem(QStringLiteral("TryOut"), u("一楼三月"), QStringLiteral("<"), QStringLiteral("ignored"), c, desc, where);
    EXPECT_EQ(where, QStringLiteral("((IsNull(T.OrgCode,'')='0101') And (IsNull(T.BookDate,'')>='2026-03-01') Or "
                                    "(IsNull(T.PluCode,'') like '1001%'))"));
    EXPECT_EQ(desc, u("(组织 = '一楼化妆品') 并且") + QChar(13) + u("(试用日期 >= '2026-03-01') 或者") + QChar(13) +
                        u("(试用品编码 左边含有 '1001')"));
    EXPECT_EQ(tryOutRows(where).size(),
              countOf(*db, QStringLiteral("select count(*) from TryOutBK where (OrgCode='0101' and BookDate>='2026-03-01') "
                                          "or PluCode like '1001%'")));
}

TEST_F(PubQueryTest, SavedLinesOutsideTheEditionDropOut)
{
    // 评价 is not in edition "0": its line contributes nothing, and with it the join before it.
    exec(*db, QStringLiteral("insert into tXtQrySave values('TryOut',7,1,'mix','T.OrgCode','=','") + u("一楼化妆品") +
                  QStringLiteral("','") + u("或者") + QStringLiteral("'),('TryOut',7,2,'mix','T.Remark','") + u("含有") +
                  QStringLiteral("','a','") + u("并且") + QStringLiteral("'),('TryOut',8,1,'only','T.Remark','=','a','") +
                  u("并且") + QStringLiteral("')"));
    qorSession().version = QStringLiteral("0");
    std::unique_ptr<TQryCatalog> c;
    QString desc, where;
    BuildQryFromItem(QStringLiteral("TryOut"), QStringLiteral("mix"), QString(), QString(), c, desc, where);
    EXPECT_EQ(where, QStringLiteral("((IsNull(T.OrgCode,'')='0101'))"));
    EXPECT_EQ(desc, u("(组织 = '一楼化妆品')"));
    EXPECT_EQ(tryOutRows(where).size(), countOf(*db, QStringLiteral("select count(*) from TryOutBK where OrgCode='0101'")));
    BuildQryFromItem(QStringLiteral("TryOut"), QStringLiteral("only"), QString(), QString(), c, desc, where);
    EXPECT_EQ(where, QString());
    EXPECT_EQ(desc, QString());
}

TEST_F(PubQueryTest, ItemListOfTheFrame)
{
    QStringList items;
    QComboBox cmbItem, cmbOperator, cmbValue;
    cmbItem.setEditable(true);
    cmbValue.setEditable(true);
    cmbOperator.addItems(QryWords::textOperators());
    cmbOperator.setCurrentIndex(3);
    cmbValue.addItem(QStringLiteral("v"));
    FillQryItems(QStringLiteral("TryOut"), items, &cmbItem, &cmbOperator, &cmbValue);
    ASSERT_GE(items.size(), 3);
    EXPECT_EQ(items.mid(0, 3), (QStringList{u("满意的试用"), u("一楼三月"), QStringLiteral("====================")}));
    EXPECT_EQ(items.at(3), u("试用日期"));
    EXPECT_EQ(items.size(), 3 + 15);
    EXPECT_EQ(items.last(), u("评价")); // edition mark 2: offered at head office
    EXPECT_EQ(cmbItem.count(), items.size());
    EXPECT_EQ(cmbItem.currentText(), u("<请输入拼音首字母>"));
    EXPECT_EQ(cmbOperator.currentIndex(), -1);
    EXPECT_EQ(cmbValue.count(), 0);
    EXPECT_EQ(cmbValue.currentText(), QString());

    useShopStation(QStringLiteral("0101"), u("一楼化妆品"));
    FillQryItems(QStringLiteral("TryOut"), items);
    EXPECT_EQ(items.size(), 3 + 14);
    EXPECT_FALSE(items.contains(u("评价")));
    exec(*db, QStringLiteral("delete from tXtQrySave where QryType='TryOutR'"));
    FillQryItems(QStringLiteral("TryOutR"), items);
    EXPECT_EQ(items.first(), u("组织")); // no saved names: no separator
    EXPECT_FALSE(items.contains(QryWords::Separator));
    EXPECT_EQ(items.size(), 8);
}

TEST_F(PubQueryTest, ApplyingAnItem)
{
    std::unique_ptr<TQrySaveList> saves;
    exec(*db, QStringLiteral("insert into tXtQrySave values('TryOut',5,1,'") + u("零售价>") +
                  QStringLiteral("','R.Price','>','100','") + u("并且") + QStringLiteral("')"));
    LoadQrySaves(QStringLiteral("TryOut"), saves);
    EXPECT_EQ(saves->Lines.size(), 4);
    QComboBox op, value;
    value.setEditable(true);
    op.addItems(QryWords::textOperators());

    ApplyQryItem(saves.get(), u("零售价>"), &op, &value);
    EXPECT_TRUE(op.isEnabled());
    EXPECT_EQ(op.currentText(), QStringLiteral(">"));
    EXPECT_EQ(value.currentText(), QStringLiteral("100"));

    ApplyQryItem(saves.get(), u("一楼三月"), &op, &value); // two lines
    EXPECT_FALSE(op.isEnabled());
    EXPECT_FALSE(value.isEnabled());
    EXPECT_EQ(op.currentIndex(), -1);
    EXPECT_EQ(value.currentText(), QString());

    ApplyQryItem(saves.get(), u("试用日期"), &op, &value); // a field
    EXPECT_TRUE(op.isEnabled());
    EXPECT_TRUE(value.isEnabled());
    EXPECT_EQ(op.currentIndex(), -1);

    ApplyQryItem(saves.get(), QryWords::Separator, &op, &value);
    EXPECT_FALSE(op.isEnabled());

    // The saved operator is not in the box's current list: no selection, the value all the same.
    op.clear();
    op.addItems(QryWords::equalityOperators());
    ApplyQryItem(saves.get(), u("零售价>"), &op, &value);
    EXPECT_EQ(op.currentIndex(), -1);
    EXPECT_EQ(value.currentText(), QStringLiteral("100"));
}

TEST_F(PubQueryTest, RememberingConditions)
{
    addQuantityField(*db);
    const QString t = QStringLiteral("TryOutR");
    auto lines = [&](const QString& name) {
        return queryRows(*db, QStringLiteral("select SerialNo,OrderNo,FldCode,Operator,FieldValue,LinkFlag from tXtQrySave "
                                             "where QryType='TryOutR' and QryName=") + QuotedStr(name));
    };
    RememberQryCondition(t, u("数量"), QString(), QStringLiteral("5")); // no operator: nothing
    EXPECT_TRUE(lines(u("数量")).isEmpty());

    RememberQryCondition(t, u("数量"), QStringLiteral(">="), QStringLiteral("5"));
    EXPECT_EQ(lines(u("数量>=")), QStringList{QStringLiteral("2\t1\tW.Counts\t>=\t5\t") + u("并且")});
    RememberQryCondition(t, u("数量"), QStringLiteral(">="), QStringLiteral("7")); // field again: update
    EXPECT_EQ(lines(u("数量>=")), QStringList{QStringLiteral("2\t1\tW.Counts\t>=\t7\t") + u("并且")});
    // The remembered condition chosen, only its value changed: stored in its line.
    RememberQryCondition(t, u("数量>="), QStringLiteral(">="), QStringLiteral("9"));
    EXPECT_EQ(lines(u("数量>=")), QStringList{QStringLiteral("2\t1\tW.Counts\t>=\t9\t") + u("并且")});
    // Chosen and its operator changed: a new remembered condition, the old one stays.
    RememberQryCondition(t, u("数量>="), QStringLiteral("<"), QStringLiteral("3"));
    EXPECT_EQ(lines(u("数量<")), QStringList{QStringLiteral("3\t1\tW.Counts\t<\t3\t") + u("并且")});
    EXPECT_EQ(lines(u("数量>=")).size(), 1);
    EXPECT_EQ(GetMaxQrySerial(t), 3);
    EXPECT_EQ(GetMaxQrySerial(QStringLiteral("Nothing")), 0);
    // A text that is no field and no saved condition is not remembered.
    RememberQryCondition(t, QStringLiteral("x'y"), QStringLiteral("="), QStringLiteral("1"));
    EXPECT_EQ(GetMaxQrySerial(t), 3);

    // A saved condition of several lines that happens to carry the name is left alone.
    exec(*db, QStringLiteral("insert into tXtQrySave values('TryOutR',9,1,'") + u("零售价=") +
                  QStringLiteral("','G.Price','>','1','") + u("并且") + QStringLiteral("'),('TryOutR',9,2,'") +
                  u("零售价=") + QStringLiteral("','W.PluCode','=','1','") + u("并且") + QStringLiteral("')"));
    RememberQryCondition(t, u("零售价"), QStringLiteral("="), QStringLiteral("5"));
    EXPECT_EQ(lines(u("零售价=")), (QStringList{QStringLiteral("9\t1\tG.Price\t>\t1\t") + u("并且"),
                                                QStringLiteral("9\t2\tW.PluCode\t=\t1\t") + u("并且")}));
    RememberQryCondition(t, u("零售价="), QStringLiteral("<"), QStringLiteral("5")); // several lines
    EXPECT_EQ(GetMaxQrySerial(t), 9);
}

TEST_F(PubQueryTest, RememberingSwallowsErrors)
{
    addQuantityField(*db);
    exec(*db, QStringLiteral("create trigger NoInsert before insert on tXtQrySave begin select raise(abort, 'refused'); end"));
    RememberQryCondition(QStringLiteral("TryOutR"), u("数量"), QStringLiteral(">="), QStringLiteral("5"));
    EXPECT_EQ(countOf(*db, QStringLiteral("select count(*) from tXtQrySave where QryType='TryOutR'")), 1);
    EXPECT_FALSE(db->InTransaction());
    EXPECT_TRUE(prompts->calls.empty());
}

TEST_F(PubQueryTest, ConditionsRunInTheSummaryReport)
{
    addQuantityField(*db);
    std::unique_ptr<TQryCatalog> c;
    QString desc, where;
    const QStringList cols{QStringLiteral("OrgCode"), QStringLiteral("PluCode"), QStringLiteral("TryTimes")};
    const QStringList all = runRows(*db, summaryReportSql(QString()), cols, true);
    ASSERT_FALSE(all.isEmpty());
    BuildQryFromItem(QStringLiteral("TryOutR"), u("门店"), QString(), QString(), c, desc, where);
    EXPECT_EQ(where, QStringLiteral("((IsNull(S.OrgType,'')='1'))"));
    const QStringList shops = runRows(*db, summaryReportSql(where), cols, true);
    EXPECT_FALSE(shops.isEmpty());
    EXPECT_LT(shops.size(), all.size());
    for (const QString& r : shops) EXPECT_NE(r.left(4), QStringLiteral("0301")) << r.toStdString();

    BuildQryFromItem(QStringLiteral("TryOutR"), u("数量"), QStringLiteral(">="), QStringLiteral("5"), c, desc, where);
    EXPECT_EQ(where, QStringLiteral("(IsNull(W.Counts,0)>=5)"));
    EXPECT_EQ(desc, u("数量 >= '5'"));
    const QStringList drawn = runRows(*db, summaryReportSql(where), cols, true);
    EXPECT_FALSE(drawn.isEmpty());
    EXPECT_LT(drawn.size(), all.size());
    // The condition keeps the drawn half of the statement: goods drawn 5 times or more, each
    // row without its trials.
    EXPECT_EQ(drawn.size(),
              countOf(*db, QStringLiteral("select count(*) from (select F.OrgCode,D.PluCode from DrawDetail D,DrawForm F "
                                          "where F.DrawNo=D.DrawNo and F.BillType='1' and F.RzDate<>'' and F.RzDate is not null "
                                          "group by F.OrgCode,D.PluCode having sum(D.Counts)>=5) x")));
    for (const QString& r : drawn) EXPECT_TRUE(r.endsWith(QStringLiteral("\t0"))) << r.toStdString();
}
