// The store of calculated fields on the embedded database: the table, building the fields from
// it, the fragment computed by the database, and the grid columns.
#include "calc/CalcEngine.h"

#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "platform/grid/GridServices.h"
#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/dataset/FormatFloat.h"
#include "platform/grid/DBGridEh.h"
#include "platform/text/Gbk.h"
#include "tests/calc/CalcTestUtil.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

class CalcStore : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        ds.setObjectName(QStringLiteral("qryHead"));
        ds.addField(QStringLiteral("OrgCode"), ftString, 6);
        ds.addField(QStringLiteral("PluCode"), ftString, 20);
        ds.addField(QStringLiteral("LyCount"), ftCurrency);
        ds.addField(QStringLiteral("Price"), ftCurrency);
        ds.addField(QStringLiteral("TryTimes"), ftInteger);
    }

    void addRow(const QString& name, const QString& type, const QString& express, const QString& format = {},
                const QString& isSum = QStringLiteral("0"), int size = 0, const QString& formKey = QStringLiteral("TryOutR"))
    {
        TADOQuery q(db.get());
        q.SQL << QStringLiteral("insert into tXtQryField (QryCode,DataSet,FldName,FldCaption,FldType,FldSize,FldExpress,FldFormat,IsSum,Remark)")
              << QStringLiteral("values (:QryCode,:DataSet,:FldName,:FldCaption,:FldType,:FldSize,:FldExpress,:FldFormat,:IsSum,'')");
        q.Parameters.ParamByName(QStringLiteral("QryCode")).Value = formKey;
        q.Parameters.ParamByName(QStringLiteral("DataSet")).Value = QStringLiteral("qryHead");
        q.Parameters.ParamByName(QStringLiteral("FldName")).Value = name;
        q.Parameters.ParamByName(QStringLiteral("FldCaption")).Value = name + u8("标题");
        q.Parameters.ParamByName(QStringLiteral("FldType")).Value = type;
        q.Parameters.ParamByName(QStringLiteral("FldSize")).Value = size;
        q.Parameters.ParamByName(QStringLiteral("FldExpress")).Value = express;
        q.Parameters.ParamByName(QStringLiteral("FldFormat")).Value = format;
        q.Parameters.ParamByName(QStringLiteral("IsSum")).Value = isSum;
        q.ExecSQL();
    }

    QString errorLog() const
    {
        QFile f(ErrLogFolder() + QStringLiteral("/SysErr.Log"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return Gbk::decode(f.readAll());
    }

    QStringList calcFieldNames() const
    {
        QStringList out;
        for (TField* f : ds.Fields())
            if (IsCalcFieldTag(f->Tag())) out << f->FieldName();
        return out;
    }

    TClientDataSet ds;
};

} // namespace

TEST_F(CalcStore, TableIsCreatedOnceWithCaseInsensitiveKey)
{
    ASSERT_TRUE(queryRows(*db, QStringLiteral("select name from sqlite_master where name='tXtQryField'")).isEmpty());
    EnsureCalcFieldTable();
    EXPECT_TRUE(prompts->calls.empty());
    ASSERT_EQ(queryRows(*db, QStringLiteral("select name from sqlite_master where name='tXtQryField'")).size(), 1);

    addRow(QStringLiteral("Rate"), QStringLiteral("F"), QStringLiteral("TryTimes/LyCount"));
    EnsureCalcFieldTable(); // finds it: the row stays
    EXPECT_TRUE(prompts->calls.empty());
    EXPECT_EQ(queryRows(*db, QStringLiteral("select FldName, IsSum, FldSize from tXtQryField")),
              QStringList{QStringLiteral("Rate\t0\t0")});
    // Keys compare as on the server: "rate" is the same field.
    EXPECT_THROW(addRow(QStringLiteral("rate"), QStringLiteral("F"), QStringLiteral("TryTimes")), DbError);
    // The defaults of the definition.
    TADOQuery q(db.get());
    q.SQL << QStringLiteral("insert into tXtQryField (QryCode,DataSet,FldName,FldType) values ('K','D','N','I')");
    q.ExecSQL();
    EXPECT_EQ(queryRows(*db, QStringLiteral("select FldSize, IsSum from tXtQryField where QryCode='K'")),
              QStringList{QStringLiteral("0\t0")});
}

TEST_F(CalcStore, TableCreationFailureIsReported)
{
    qorHostConnection() = nullptr;
    EnsureCalcFieldTable();
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_TRUE(prompts->calls[0].text.startsWith(u8("创建数据表失败！\n"))) << prompts->calls[0].text.toStdString();
    EXPECT_EQ(prompts->calls[0].flags & 0xF0, MsgFlags::IconError);
}

TEST_F(CalcStore, NoRowsBuildNothing)
{
    EnsureCalcFieldTable();
    addRow(QStringLiteral("Other"), QStringLiteral("F"), QStringLiteral("Price"), {}, QStringLiteral("0"), 0,
           QStringLiteral("TryOut"));
    QStringList defs;
    CreateCalcFields(&ds, QStringLiteral("TryOutR"), &defs);
    EXPECT_TRUE(defs.isEmpty());
    EXPECT_EQ(ds.FieldCount(), 5);
    EXPECT_EQ(GetCalcFieldSql(&defs), QString());
    EXPECT_TRUE(prompts->calls.empty());
}

TEST_F(CalcStore, FieldsFollowTheirRows)
{
    EnsureCalcFieldTable();
    addRow(QStringLiteral("A_Code"), QStringLiteral("s"), QStringLiteral("PluCode+#'A'"), QStringLiteral("#,##0.00"),
           QStringLiteral("1"), 21);
    addRow(QStringLiteral("B_Times"), QStringLiteral("I"), QStringLiteral("TryTimes*#2"), QStringLiteral("#,##0."),
           QStringLiteral("1"));
    addRow(QStringLiteral("C_Rate"), QStringLiteral("F"), QStringLiteral("TryTimes/LyCount"), QStringLiteral("#,##0.000"),
           QStringLiteral("0"));
    addRow(QStringLiteral("D_Bad"), QStringLiteral("F"), QStringLiteral("Price"), QStringLiteral("\"0.00"),
           QStringLiteral("1"), 99999);
    addRow(QStringLiteral("E_None"), QStringLiteral("X"), QStringLiteral("Price"));

    QStringList defs;
    CreateCalcFields(&ds, QStringLiteral("TryOutR"), &defs);
    EXPECT_TRUE(prompts->calls.empty());
    EXPECT_EQ(defs, (QStringList{QStringLiteral("SA_Code@PluCode+#'A'"), QStringLiteral("IB_Times@TryTimes*#2"),
                                 QStringLiteral("FC_Rate@TryTimes/LyCount"), QStringLiteral("FD_Bad@Price")}));
    ASSERT_EQ(ds.FieldCount(), 9);

    TField* s = ds.FieldByName(QStringLiteral("R_A_Code"));
    EXPECT_EQ(s->Index(), 5); // appended after the form's own fields
    EXPECT_EQ(s->DataType(), ftString);
    EXPECT_EQ(s->objectName(), QStringLiteral("qryHeadA_Code"));
    EXPECT_EQ(s->parent(), &ds);
    EXPECT_EQ(s->DisplayLabel(), u8("A_Code标题"));
    EXPECT_EQ(s->FieldKind(), fkData);
    EXPECT_EQ(s->Size(), 21);
    EXPECT_EQ(s->DisplayWidth(), 21);
    EXPECT_EQ(s->Tag(), CalcFieldTag); // string fields are never summed
    EXPECT_EQ(s->DisplayFormat(), QString());

    TField* i = ds.FieldByName(QStringLiteral("R_B_Times"));
    EXPECT_EQ(i->DataType(), ftInteger);
    EXPECT_EQ(i->Tag(), CalcSumFieldTag);
    EXPECT_EQ(i->DisplayFormat(), QStringLiteral("0.")); // the stored format is not applied

    TField* f = ds.FieldByName(QStringLiteral("R_C_Rate"));
    EXPECT_EQ(f->DataType(), ftCurrency);
    EXPECT_EQ(f->Tag(), CalcFieldTag);
    EXPECT_EQ(f->DisplayFormat(), QStringLiteral("#,##0.000"));
    EXPECT_EQ(f->property(CalcSourceFieldsProperty).toStringList(),
              (QStringList{QStringLiteral("TryTimes"), QStringLiteral("LyCount")}));

    TField* bad = ds.FieldByName(QStringLiteral("R_D_Bad"));
    EXPECT_EQ(bad->DisplayFormat(), QString()); // refused format: the default stays
    EXPECT_EQ(bad->Size(), 0);                  // an absurd size is not taken
    EXPECT_EQ(bad->Tag(), CalcSumFieldTag);

    // Building again replaces the fields instead of adding a second set.
    defs.clear();
    CreateCalcFields(&ds, QStringLiteral("TryOutR"), &defs);
    EXPECT_EQ(ds.FieldCount(), 9);
    EXPECT_EQ(defs.size(), 4);
}

TEST_F(CalcStore, DefinitionsThatCannotRunAreLeftOutAndLogged)
{
    EnsureCalcFieldTable();
    addRow(QStringLiteral("A_Missing"), QStringLiteral("F"), QStringLiteral("Price-JPrice"));
    addRow(QStringLiteral("B_Injected"), QStringLiteral("F"), QStringLiteral("Price) as x from Goods --"));
    addRow(QStringLiteral("C_Nested"), QStringLiteral("F"), QStringLiteral("R_A_Ok*#2"));
    addRow(QStringLiteral("D_Trimmed"), QStringLiteral("F"), QStringLiteral("+Price*#2-"));
    addRow(QStringLiteral("E_Unparsed"), QStringLiteral("I"), QStringLiteral("Price*#1,5"));
    QStringList defs;
    CreateCalcFields(&ds, QStringLiteral("TryOutR"), &defs);
    EXPECT_EQ(defs, QStringList{QStringLiteral("FD_Trimmed@Price*#2")});
    EXPECT_EQ(calcFieldNames(), QStringList{QStringLiteral("R_D_Trimmed")});
    EXPECT_TRUE(prompts->calls.empty());
    const QString log = errorLog();
    EXPECT_TRUE(log.contains(QStringLiteral("FA_Missing@Price-JPrice"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("B_Injected")));
    EXPECT_TRUE(log.contains(QStringLiteral("C_Nested")));
    EXPECT_TRUE(log.contains(QStringLiteral("E_Unparsed")));
}

TEST_F(CalcStore, BuildFailureIsReportedAndTheFormGoesOn)
{
    // No table: the read fails.
    QStringList defs;
    CreateCalcFields(&ds, QStringLiteral("TryOutR"), &defs);
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_TRUE(prompts->calls[0].text.startsWith(u8("创建计算字段失败！\n")));
    EXPECT_TRUE(defs.isEmpty());
    EXPECT_EQ(ds.FieldCount(), 5);
    EXPECT_FALSE(errorLog().isEmpty());
}

// The fragment runs on the embedded database with the server's results.
TEST_F(CalcStore, FragmentComputesLikeTheServer)
{
    const QStringList defs{
        QStringLiteral("IIQ@A/B"),       QStringLiteral("FFQ@A/B"),       QStringLiteral("IIZ@A/Z"),
        QStringLiteral("FFZ@A/Z"),       QStringLiteral("FFP@P/B"),       QStringLiteral("IIM@(A+B)*#2-#1"),
        QStringLiteral("FFN@N/(B-#2)"),  QStringLiteral("SSS@S1+S2"),     QStringLiteral("SSK@(S1+#'x')+S2"),
        QStringLiteral("FFR@A/B/#4"),    QStringLiteral("FFC@P*#1.5"),
    };
    const QString fragment = GetCalcFieldSql(defs, db->dialect());
    TADOQuery q(db.get());
    q.SQL << QStringLiteral("Select * ") + fragment +
                 QStringLiteral(" from (select 7 A, 2 B, 0 Z, 7.5 P, -7 N, 'ab' S1, 'cd' S2) T  ");
    q.Open();
    ASSERT_FALSE(q.Eof());
    auto v = [&](const char* c) { return q.FieldByName(QString::fromLatin1(c)); };
    EXPECT_EQ(v("R_IQ").AsInteger(), 3);          // integers divide as integers
    EXPECT_DOUBLE_EQ(v("R_FQ").AsFloat(), 3.5);   // "F" divides as decimals
    EXPECT_EQ(v("R_IZ").AsInteger(), 7);          // a divisor of 0 yields the dividend
    EXPECT_DOUBLE_EQ(v("R_FZ").AsFloat(), 7.0);
    EXPECT_DOUBLE_EQ(v("R_FP").AsFloat(), 3.75);
    EXPECT_EQ(v("R_IM").AsInteger(), 17);
    EXPECT_DOUBLE_EQ(v("R_FN").AsFloat(), -7.0);  // (B-2) is 0
    EXPECT_EQ(v("R_SS").AsString(), QStringLiteral("abcd"));
    EXPECT_EQ(v("R_SK").AsString(), QStringLiteral("abxcd"));
    EXPECT_DOUBLE_EQ(v("R_FR").AsFloat(), 0.875);
    EXPECT_DOUBLE_EQ(v("R_FC").AsFloat(), 11.25);
}

TEST_F(CalcStore, DivisorsAreGuardedInsideAndIntegersCutTowardZero)
{
    const QStringList defs{QStringLiteral("FQ@A/(B/C)"), QStringLiteral("FZ@A/(B/Z)"), QStringLiteral("FD@A/((B+C)/C)"),
                           QStringLiteral("IP@P"),       QStringLiteral("IN@N*P/#2"),  QStringLiteral("IIQ@A/(B/C)")};
    const QString fragment = GetCalcFieldSql(defs, db->dialect());
    TADOQuery q(db.get());
    q.SQL << QStringLiteral("Select * ") + fragment +
                 QStringLiteral(" from (select 1 A, 1 B, 2 C, 0 Z, 3.75 P, -2 N) T  ");
    q.Open();
    ASSERT_FALSE(q.Eof());
    auto v = [&](const char* c) { return q.FieldByName(QString::fromLatin1(c)); };
    EXPECT_DOUBLE_EQ(v("R_Q").AsFloat(), 2.0);       // 1/(1/2), not 1/(integer 0 made 1)
    EXPECT_DOUBLE_EQ(v("R_Z").AsFloat(), 1.0);       // an inner divisor of 0 yields its dividend
    EXPECT_DOUBLE_EQ(v("R_D").AsFloat(), 1.0 / 1.5);
    EXPECT_EQ(v("R_P").AsInteger(), 3);              // 3.75 is cut, not rounded
    EXPECT_EQ(v("R_N").AsInteger(), -3);             // -3.75 toward zero
    EXPECT_EQ(v("R_IQ").AsInteger(), 1);             // integers: 1/2 is 0, guarded to 1
}

TEST_F(CalcStore, ColumnsFollowTheCalculatedFields)
{
    EnsureCalcFieldTable();
    addRow(QStringLiteral("A_Sum"), QStringLiteral("F"), QStringLiteral("Price*#2"), QStringLiteral("#,##0.00"),
           QStringLiteral("1"));
    addRow(QStringLiteral("B_Plain"), QStringLiteral("I"), QStringLiteral("TryTimes"));
    QStringList defs;
    CreateCalcFields(&ds, QStringLiteral("TryOutR"), &defs);

    TDataSource src;
    src.setDataSet(&ds);
    TDBGridEh grid;
    grid.setDataSource(&src);
    TDBGridColumnsEh* cols = grid.Columns();
    auto add = [&](const QString& field, int tag) {
        TColumnEh* c = cols->Add();
        c->setFieldName(field);
        c->setTag(tag);
        return c;
    };
    add(QStringLiteral("OrgCode"), 0);
    add(QStringLiteral("R_A_Sum"), CalcFieldTag)->setVisible(false); // restored from a saved layout
    add(QStringLiteral("R_Gone1"), CalcFieldTag);                    // two stale ones side by side
    add(QStringLiteral("R_Gone2"), CalcSumFieldTag);
    add(QStringLiteral("PluCode"), 0);
    add(QString(), 0); // a column without a field is passed over

    AddCalcColumns(&ds, &grid);
    QStringList names;
    for (int i = 0; i < cols->Count(); ++i) names << cols->Items(i)->FieldName();
    EXPECT_EQ(names, (QStringList{QStringLiteral("OrgCode"), QStringLiteral("PluCode"), QString(),
                                  QStringLiteral("R_A_Sum"), QStringLiteral("R_B_Plain")}));
    TColumnEh* sum = cols->Items(3);
    EXPECT_EQ(sum->Tag(), CalcSumFieldTag);
    EXPECT_EQ(sum->Field(), ds.FieldByName(QStringLiteral("R_A_Sum")));
    EXPECT_TRUE(sum->Visible());
    EXPECT_EQ(sum->Footer()->ValueType(), fvtSum);
    EXPECT_GE(grid.FooterRowCount(), 1);
    TColumnEh* plain = cols->Items(4);
    EXPECT_EQ(plain->Tag(), CalcFieldTag);
    EXPECT_EQ(plain->Footers()->Count() == 0 || plain->Footer()->ValueType() == fvtNon, true);

    // Running again changes nothing.
    AddCalcColumns(&ds, &grid);
    EXPECT_EQ(cols->Count(), 5);
}

TEST_F(CalcStore, DefaultColumnsStayWhenCalculatedColumnsAreAdded)
{
    EnsureCalcFieldTable();
    addRow(QStringLiteral("A"), QStringLiteral("I"), QStringLiteral("TryTimes"));
    QStringList defs;
    CreateCalcFields(&ds, QStringLiteral("TryOutR"), &defs);
    TDataSource src;
    src.setDataSet(&ds);
    TDBGridEh grid;
    grid.setDataSource(&src);
    AddCalcColumns(&ds, &grid);
    ASSERT_EQ(grid.Columns()->Count(), 6);
    EXPECT_EQ(grid.Columns()->Items(0)->FieldName(), QStringLiteral("OrgCode"));
    EXPECT_EQ(grid.Columns()->Items(5)->FieldName(), QStringLiteral("R_A"));
    EXPECT_EQ(grid.Columns()->Items(5)->Tag(), CalcFieldTag);
}

// A calculated column computed by the database over the demo data, in a grid with its total.
TEST_F(CalcStore, DemoReportColumnWithFooterTotal)
{
    EnsureCalcFieldTable();
    addRow(QStringLiteral("Unit"), QStringLiteral("F"), QStringLiteral("Price/LyCount"), QStringLiteral("#,##0.00"),
           QStringLiteral("1"));
    addRow(QStringLiteral("Twice"), QStringLiteral("I"), QStringLiteral("TryTimes*#2"), QString(), QStringLiteral("1"));
    QStringList defs;
    CreateCalcFields(&ds, QStringLiteral("TryOutR"), &defs);
    const QString fragment = GetCalcFieldSql(&defs);
    ASSERT_FALSE(fragment.isEmpty());

    const QString inner = QStringLiteral(
        "select F.OrgCode OrgCode,D.PluCode PluCode,sum(D.Counts) LyCount,sum(D.Total) Price,"
        "(select count(*) from TryOutBK B where B.OrgCode=F.OrgCode and B.PluCode=D.PluCode) TryTimes "
        "from DrawDetail D,DrawForm F where F.DrawNo=D.DrawNo and F.BillType='1' "
        "and F.RzDate<>'' and F.RzDate is not null group by F.OrgCode,D.PluCode");
    TADOQuery q(db.get());
    q.SQL << QStringLiteral("Select * ") + fragment + QStringLiteral(" from (") + inner + QStringLiteral(") T  ")
          << QStringLiteral(" order by OrgCode,PluCode");
    TDataSetProvider provider;
    provider.setDataSet(&q);
    ds.setProvider(&provider);
    TDataSource src;
    src.setDataSet(&ds);
    TDBGridEh grid;
    grid.setDataSource(&src);
    grid.Columns()->AddAllColumns(true);
    AddCalcColumns(&ds, &grid);
    ds.Open();
    ASSERT_GT(ds.RecordCount(), 5);

    // The values the database computed, row by row, against the rows' own columns.
    double unitTotal = 0;
    qint64 twiceTotal = 0;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        const double count = ds.FieldByName(QStringLiteral("LyCount"))->AsFloat();
        const double price = ds.FieldByName(QStringLiteral("Price"))->AsFloat();
        const double unit = ds.FieldByName(QStringLiteral("R_Unit"))->AsFloat();
        EXPECT_NEAR(unit, count == 0 ? price : price / count, 1e-9);
        const qint64 twice = ds.FieldByName(QStringLiteral("R_Twice"))->AsInteger();
        EXPECT_EQ(twice, 2 * ds.FieldByName(QStringLiteral("TryTimes"))->AsInteger());
        unitTotal += unit;
        twiceTotal += twice;
    }
    EXPECT_GT(twiceTotal, 0);
    TColumnEh* unitColumn = grid.Columns()->FindColumnByName(QStringLiteral("R_Unit"));
    TColumnEh* twiceColumn = grid.Columns()->FindColumnByName(QStringLiteral("R_Twice"));
    ASSERT_TRUE(unitColumn && twiceColumn);
    EXPECT_EQ(unitColumn->footerText(), FormatFloat(QStringLiteral("#,##0.00"), unitTotal));
    EXPECT_EQ(twiceColumn->footerText(), QString::number(twiceTotal));
    EXPECT_EQ(unitColumn->displayTextAt(ds.physicalRow(0)),
              FormatFloat(QStringLiteral("#,##0.00"), ds.FieldByName(QStringLiteral("R_Unit"))->valueAt(ds.physicalRow(0)).toDouble()));
}

// A calculated field over a field the user may not see is masked with it.
TEST_F(CalcStore, CalculatedFieldsOverMaskedFieldsAreMasked)
{
    ds.addField(QStringLiteral("JPrice"), ftCurrency);
    EnsureCalcFieldTable();
    addRow(QStringLiteral("Margin"), QStringLiteral("F"), QStringLiteral("Price-JPrice"), QStringLiteral("0.00"),
           QStringLiteral("1"));
    addRow(QStringLiteral("Twice"), QStringLiteral("F"), QStringLiteral("Price*#2"), QStringLiteral("0.00"),
           QStringLiteral("1"));
    QStringList defs;
    CreateCalcFields(&ds, QStringLiteral("TryOutR"), &defs);
    TDataSource src;
    src.setDataSet(&ds);
    TDBGridEh grid;
    grid.setDataSource(&src);
    grid.Columns()->AddAllColumns(true);
    AddCalcColumns(&ds, &grid);

    MaskDataSetFields(&ds, {QStringLiteral("jprice")});
    MaskGridColumns(&grid, {QStringLiteral("jprice")});
    EXPECT_TRUE(ds.FieldByName(QStringLiteral("R_Margin"))->HasOnGetText());
    EXPECT_FALSE(ds.FieldByName(QStringLiteral("R_Twice"))->HasOnGetText());
    EXPECT_EQ(grid.Columns()->FindColumnByName(QStringLiteral("R_Margin"))->Footers()->Count(), 0);
    EXPECT_EQ(grid.Columns()->FindColumnByName(QStringLiteral("R_Twice"))->Footer()->ValueType(), fvtSum);
}

// Through the ODBC driver the table and the fragment behave as on the embedded backend.
TEST_F(CalcStore, SameOutcomeThroughOdbc)
{
    auto odbc = TADOConnection::openOdbc(QStringLiteral("DRIVER=SQLite3;Database=%1").arg(db->description()));
    ASSERT_EQ(odbc->dialect(), Dialect::SQLite);
    qorHostConnection() = odbc.get();
    EnsureCalcFieldTable();
    EnsureCalcFieldTable();
    EXPECT_TRUE(prompts->calls.empty());
    EXPECT_EQ(queryRows(*db, QStringLiteral("select count(*) from sqlite_master where name='tXtQryField'")),
              QStringList{QStringLiteral("1")});
    addRow(QStringLiteral("Code"), QStringLiteral("S"), QStringLiteral("OrgCode+PluCode"), {}, QStringLiteral("0"), 30);
    addRow(QStringLiteral("Rate"), QStringLiteral("F"), QStringLiteral("TryTimes/LyCount"));
    QStringList defs;
    CreateCalcFields(&ds, QStringLiteral("TryOutR"), &defs);
    ASSERT_EQ(defs.size(), 2);
    EXPECT_EQ(queryRows(*odbc, QStringLiteral("Select * ") + GetCalcFieldSql(&defs) +
                                   QStringLiteral(" from (select '01' OrgCode,'A' PluCode,3 TryTimes,0 LyCount "
                                                  "union select '02','B',1,4) T   order by OrgCode")),
              (QStringList{QStringLiteral("01\tA\t3\t0\t01A\t3"), QStringLiteral("02\tB\t1\t4\t02B\t0.25")}));
    qorHostConnection() = db.get();
}
