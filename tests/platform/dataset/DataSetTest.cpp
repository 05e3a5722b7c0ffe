// The in-memory dataset: loading into defined and dynamic fields, cursor flags, locate, filter,
// indexes, editing and the data-change events.
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/DataSource.h"
#include "platform/dataset/Store.h"
#include "platform/db/Db.h"
#include "platform/text/Gbk.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class DataSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = TADOConnection::openSqlite(testTempDir() + QStringLiteral("/ds.db"));
        db->executeScript(QStringLiteral(
            "create table T (Code varchar(6), Name varchar(20), Qty int, Price numeric(12,4), Flag int, Note text);"
            "insert into T values ('A01','apple',3,1.5,1,'x');"
            "insert into T values ('b02','Banana',10,0.25,0,null);"
            "insert into T values ('A03','apricot',3,2.75,1,'');"
            "insert into T values ('C04','北京',7,null,0,'y');"
            "insert into T values ('c05','上海',1,4,1,'z');"));
    }
    // Loads a statement into ds through a provider.
    void load(TClientDataSet& ds, const QString& sql)
    {
        query = std::make_unique<TADOQuery>(db.get());
        query->SQL << sql;
        provider.setDataSet(query.get());
        ds.setProvider(&provider);
        ds.Close();
        ds.Open();
    }
    QStringList column(TClientDataSet& ds, const QString& field)
    {
        QStringList out;
        ds.First();
        while (!ds.Eof()) {
            out << ds.FieldByName(field)->AsString();
            ds.Next();
        }
        return out;
    }
    std::unique_ptr<TADOConnection> db;
    std::unique_ptr<TADOQuery> query;
    TDataSetProvider provider;
};

TEST_F(DataSetTest, PersistentFieldsAreFilledByNameAndCoerced)
{
    TClientDataSet ds;
    ds.setObjectName(QStringLiteral("qryHead"));
    // Defined in another order than the result, with other types, one not in the result.
    TField* qty = ds.addField(QStringLiteral("QTY"), ftString, 10);   // integer column into text
    TField* price = ds.addField(QStringLiteral("Price"), ftCurrency);
    TField* code = ds.addField(QStringLiteral("Code"), ftString, 6);
    TField* flag = ds.addField(QStringLiteral("Flag"), ftBoolean);
    TField* name = ds.addField(QStringLiteral("Name"), ftInteger);   // text that is no number
    TField* missing = ds.addField(QStringLiteral("Missing"), ftFloat);
    load(ds, QStringLiteral("select Code, Name, Qty, Price, Flag, Note, '42' as Num from T order by Code"));

    ASSERT_EQ(ds.FieldCount(), 6); // Note and Num are not taken
    EXPECT_EQ(ds.FindField(QStringLiteral("Note")), nullptr);
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_EQ(code->AsString(), QStringLiteral("A01"));
    EXPECT_EQ(qty->AsString(), QStringLiteral("3"));
    EXPECT_EQ(qty->Value().typeId(), QMetaType::QString);
    EXPECT_DOUBLE_EQ(price->AsFloat(), 1.5);
    EXPECT_TRUE(flag->AsBoolean());
    EXPECT_TRUE(name->IsNull());
    EXPECT_TRUE(missing->IsNull());
    ds.Next();
    EXPECT_EQ(code->AsString(), QStringLiteral("A03"));
    EXPECT_DOUBLE_EQ(price->AsFloat(), 2.75);

    // Text that is a number goes into a numeric field as its value; a fraction into an integer
    // field is rounded.
    TClientDataSet n;
    TField* num = n.addField(QStringLiteral("Num"), ftInteger);
    TField* half = n.addField(QStringLiteral("Half"), ftInteger);
    TField* txt = n.addField(QStringLiteral("Txt"), ftFloat);
    load(n, QStringLiteral("select '42' as Num, 2.5 as Half, ' 1.25 ' as Txt"));
    EXPECT_EQ(num->AsInteger(), 42);
    EXPECT_EQ(half->AsInteger(), 3);
    EXPECT_DOUBLE_EQ(txt->AsFloat(), 1.25);
}

TEST_F(DataSetTest, DynamicFieldsComeFromTheResultAndWidenMixedColumns)
{
    TClientDataSet ds;
    load(ds, QStringLiteral("select Code, Qty, Price, case when Qty > 5 then Qty * 0.5 else Qty end as Mixed, "
                            "null as NoValue from T order by Code"));
    ASSERT_EQ(ds.FieldCount(), 5);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Code"))->DataType(), ftString);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Qty"))->DataType(), ftInteger);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Price"))->DataType(), ftFloat);
    // 3, 3, 3.5, 5, 1: the column starts as integers and becomes floating point.
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Mixed"))->DataType(), ftFloat);
    EXPECT_EQ(column(ds, QStringLiteral("Mixed")), (QStringList{u"3"_s, u"3"_s, u"3.5"_s, u"5"_s, u"1"_s}));
    EXPECT_TRUE(ds.FieldByName(QStringLiteral("NoValue"))->IsNull());
    // Closing frees dynamic fields; the next load makes them anew.
    ds.Close();
    EXPECT_EQ(ds.FieldCount(), 0);
    load(ds, QStringLiteral("select Name from T"));
    EXPECT_EQ(ds.FieldCount(), 1);
}

TEST_F(DataSetTest, FailedLoadKeepsThePreviousRows)
{
    TClientDataSet ds;
    ds.addField(QStringLiteral("Code"), ftString, 6);
    load(ds, QStringLiteral("select Code from T"));
    ASSERT_EQ(ds.RecordCount(), 5);
    query->Close();
    query->SQL.clear();
    query->SQL << QStringLiteral("select Code from NoSuchTable");
    EXPECT_THROW(ds.Refresh(), DbError);
    EXPECT_TRUE(ds.Active());
    EXPECT_EQ(ds.RecordCount(), 5);
}

TEST_F(DataSetTest, RecordFlagsOnEmptyAndNonEmptyData)
{
    TClientDataSet ds;
    ds.addField(QStringLiteral("Code"), ftString, 6);
    EXPECT_EQ(ds.RecordCount(), 0); // closed
    ds.CreateDataSet();
    EXPECT_TRUE(ds.Bof());
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_TRUE(ds.IsEmpty());
    ds.Next();
    EXPECT_TRUE(ds.Bof() && ds.Eof());

    load(ds, QStringLiteral("select Code from T order by Code"));
    EXPECT_TRUE(ds.Bof());
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.RecNo(), 1);
    ds.Next();
    EXPECT_FALSE(ds.Bof());
    EXPECT_FALSE(ds.Eof());
    ds.Last();
    EXPECT_TRUE(ds.Eof());
    EXPECT_FALSE(ds.Bof());
    EXPECT_EQ(ds.RecNo(), 5);
    ds.Prior();
    EXPECT_FALSE(ds.Eof());
    ds.First();
    EXPECT_TRUE(ds.Bof());
    ds.Prior();
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.RecNo(), 1);
    // Moving past the last record sets EOF and stays on the last.
    ds.setRecNo(5);
    EXPECT_FALSE(ds.Eof());
    ds.Next();
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.RecNo(), 5);
    // A filter that leaves nothing: both flags, no count.
    ds.setFilter(QStringLiteral("Code = 'none'"));
    ds.setFiltered(true);
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_TRUE(ds.Bof() && ds.Eof());
}

TEST_F(DataSetTest, LocateWithEachOption)
{
    TClientDataSet ds;
    load(ds, QStringLiteral("select Code, Name, Qty from T order by Code"));
    TField* code = ds.FieldByName(QStringLiteral("Code"));
    EXPECT_TRUE(ds.Locate(QStringLiteral("Name"), QStringLiteral("Banana")));
    EXPECT_EQ(code->AsString(), QStringLiteral("b02"));
    // Exact and case-sensitive by default.
    ds.First();
    EXPECT_FALSE(ds.Locate(QStringLiteral("Name"), QStringLiteral("banana")));
    EXPECT_EQ(ds.RecNo(), 1); // a miss leaves the cursor
    EXPECT_FALSE(ds.Locate(QStringLiteral("Name"), QStringLiteral("Ban")));
    EXPECT_TRUE(ds.Locate(QStringLiteral("Name"), QStringLiteral("banana"), loCaseInsensitive));
    EXPECT_EQ(code->AsString(), QStringLiteral("b02"));
    EXPECT_TRUE(ds.Locate(QStringLiteral("Name"), QStringLiteral("apr"), loPartialKey));
    EXPECT_EQ(code->AsString(), QStringLiteral("A03"));
    EXPECT_FALSE(ds.Locate(QStringLiteral("Name"), QStringLiteral("BAN"), loPartialKey));
    EXPECT_TRUE(ds.Locate(QStringLiteral("Name"), QStringLiteral("BAN"), loPartialKey | loCaseInsensitive));
    EXPECT_EQ(code->AsString(), QStringLiteral("b02"));
    EXPECT_TRUE(ds.Locate(QStringLiteral("Name"), QStringLiteral("北"), loPartialKey));
    EXPECT_EQ(code->AsString(), QStringLiteral("C04"));
    // Several fields, and a number given as text.
    EXPECT_TRUE(ds.Locate(QStringLiteral("Qty;Name"), QVariantList{QStringLiteral("3"), QStringLiteral("apricot")}));
    EXPECT_EQ(code->AsString(), QStringLiteral("A03"));
    EXPECT_FALSE(ds.Locate(QStringLiteral("Qty;Name"), QVariantList{3, QStringLiteral("apple2")}));
    // A value that does not fit the field, or a wrong count of values.
    EXPECT_THROW(ds.Locate(QStringLiteral("Qty"), QStringLiteral("abc")), DatasetError);
    EXPECT_THROW(ds.Locate(QStringLiteral("Qty;Name"), QStringLiteral("3")), DatasetError);
    EXPECT_THROW(ds.Locate(QStringLiteral("Nope"), QStringLiteral("3")), DatasetError);
    // Locate searches the records in view only.
    ds.setFilter(QStringLiteral("Qty > 5"));
    ds.setFiltered(true);
    EXPECT_FALSE(ds.Locate(QStringLiteral("Code"), QStringLiteral("A01")));
    EXPECT_TRUE(ds.Locate(QStringLiteral("Code"), QStringLiteral("C04")));
}

TEST_F(DataSetTest, FilterExpressions)
{
    TClientDataSet ds;
    load(ds, QStringLiteral("select Code, Name, Qty, Price, Note from T order by Code"));
    auto codes = [&](const QString& expr, TFilterOptions o = 0) {
        ds.setFiltered(false);
        ds.setFilterOptions(o);
        ds.setFilter(expr);
        ds.setFiltered(true);
        return column(ds, QStringLiteral("Code")).join(u',');
    };
    EXPECT_EQ(codes(QStringLiteral("Qty = 3")), QStringLiteral("A01,A03"));
    EXPECT_EQ(codes(QStringLiteral("Qty <> 3")), QStringLiteral("C04,b02,c05"));
    EXPECT_EQ(codes(QStringLiteral("Qty >= 7 and Qty < 10")), QStringLiteral("C04"));
    EXPECT_EQ(codes(QStringLiteral("Price > 1 AND Price <= 2.75")), QStringLiteral("A01,A03"));
    // AND binds tighter than OR; parentheses change it.
    EXPECT_EQ(codes(QStringLiteral("Qty = 1 or Qty = 3 and Name = 'apple'")), QStringLiteral("A01,c05"));
    EXPECT_EQ(codes(QStringLiteral("(Qty = 1 or Qty = 3) and Name = 'apple'")), QStringLiteral("A01"));
    EXPECT_EQ(codes(QStringLiteral("not (Qty = 3)")), QStringLiteral("C04,b02,c05"));
    EXPECT_EQ(codes(QStringLiteral("Name like 'ap%'")), QStringLiteral("A01,A03"));
    EXPECT_EQ(codes(QStringLiteral("Name like '_pple'")), QStringLiteral("A01"));
    EXPECT_EQ(codes(QStringLiteral("Name like '%海'")), QStringLiteral("c05"));
    EXPECT_EQ(codes(QStringLiteral("Name not like 'a%'")), QStringLiteral("C04,b02,c05"));
    EXPECT_EQ(codes(QStringLiteral("Name like 'AP%'"), foCaseInsensitive), QStringLiteral("A01,A03"));
    EXPECT_EQ(codes(QStringLiteral("Code = 'a01'"), foCaseInsensitive), QStringLiteral("A01"));
    EXPECT_EQ(codes(QStringLiteral("Code = 'a01'")), QString());
    EXPECT_EQ(codes(QStringLiteral("Note is null")), QStringLiteral("b02"));
    EXPECT_EQ(codes(QStringLiteral("Price is not null and Note = ''")), QStringLiteral("A03"));
    EXPECT_EQ(codes(QStringLiteral("[Name] = '北京'")), QStringLiteral("C04"));
    EXPECT_EQ(codes(QStringLiteral("Code = 'A*'")), QStringLiteral("A01,A03"));
    EXPECT_EQ(codes(QStringLiteral("Code = 'A*'"), foNoPartialCompare), QString());
    EXPECT_EQ(codes(QStringLiteral("Qty * 2 > 10")), QStringLiteral("C04,b02"));
    EXPECT_EQ(codes(QStringLiteral("Code in ('A01', 'c05')")), QStringLiteral("A01,c05"));
    EXPECT_EQ(ds.RecordCount(), 2);
    db->executeScript(QStringLiteral("update T set Name='O''Neil' where Code='A01'"));
    ds.Refresh();
    EXPECT_EQ(codes(QStringLiteral("Name = 'O''Neil'")), QStringLiteral("A01"));
}

TEST_F(DataSetTest, BadFilterIsRefusedWithAClearMessage)
{
    TClientDataSet ds;
    load(ds, QStringLiteral("select Code, Qty from T"));
    ds.setFilter(QStringLiteral("Qty > 5"));
    ds.setFiltered(true);
    ASSERT_EQ(ds.RecordCount(), 2);
    for (const char* bad : {"Qty >", "(Qty = 1", "Qty = 'abc", "Nope = 1", "Qty = 1 and", "Code", "Qty 3", "Qty = #"}) {
        try {
            ds.setFilter(QString::fromUtf8(bad));
            ADD_FAILURE() << "accepted: " << bad;
        } catch (const DatasetError& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("过滤条件有误"))) << e.what();
        }
        // The dataset keeps its working filter.
        EXPECT_EQ(ds.Filter(), QStringLiteral("Qty > 5"));
        EXPECT_EQ(ds.RecordCount(), 2);
    }
    // Switching a bad text on is refused as well and leaves the filter off.
    ds.setFiltered(false);
    ds.setFilter(QStringLiteral("Qty = = 1"));
    EXPECT_THROW(ds.setFiltered(true), DatasetError);
    EXPECT_FALSE(ds.Filtered());
    EXPECT_EQ(ds.RecordCount(), 5);
}

TEST_F(DataSetTest, IndexSortsStablyWithDescendingFields)
{
    TClientDataSet ds;
    // Natural order by Note gives the ties a known order.
    db->executeScript(QStringLiteral("insert into T values ('D06','apple',3,9,1,'w');"));
    load(ds, QStringLiteral("select Code, Name, Qty, Price from T order by Note, Code"));
    const QStringList natural = column(ds, QStringLiteral("Code"));

    ds.AddIndex(QStringLiteral("ByQty"), QStringLiteral("Qty"));
    ds.setIndexName(QStringLiteral("ByQty"));
    // Qty 1, 3 (three of them in natural order), 7, 10.
    QStringList ties;
    for (const QString& c : natural)
        if (c == u"A01"_s || c == u"A03"_s || c == u"D06"_s) ties << c;
    EXPECT_EQ(column(ds, QStringLiteral("Code")), (QStringList{u"c05"_s} + ties + QStringList{u"C04"_s, u"b02"_s}));

    ds.AddIndex(QStringLiteral("QtyDescName"), QStringLiteral("Qty;Name"), 0, QStringLiteral("Qty"));
    ds.setIndexName(QStringLiteral("QtyDescName"));
    QStringList expected{u"b02"_s, u"C04"_s};
    // Qty 3: Name ascending (apple, apple, apricot); the two apples keep their natural order.
    for (const QString& c : natural)
        if (c == u"A01"_s || c == u"D06"_s) expected << c;
    expected << u"A03"_s << u"c05"_s;
    EXPECT_EQ(column(ds, QStringLiteral("Code")), expected);

    // Every field descending; case-insensitive text; nulls first ascending.
    ds.AddIndex(QStringLiteral("NameDesc"), QStringLiteral("Name"), ixDescending);
    ds.setIndexName(QStringLiteral("NameDesc"));
    EXPECT_EQ(column(ds, QStringLiteral("Name")),
              (QStringList{u"上海"_s, u"北京"_s, u"apricot"_s, u"apple"_s, u"apple"_s, u"Banana"_s}));
    ds.AddIndex(QStringLiteral("NameCI"), QStringLiteral("Name"), ixCaseInsensitive);
    ds.setIndexName(QStringLiteral("NameCI"));
    // GBK order puts 北京 (B1B1) before 上海 (C9CF), unlike code points.
    EXPECT_EQ(column(ds, QStringLiteral("Name")),
              (QStringList{u"apple"_s, u"apple"_s, u"apricot"_s, u"Banana"_s, u"北京"_s, u"上海"_s}));
    ds.setIndexFieldNames(QStringLiteral("Price"));
    EXPECT_EQ(column(ds, QStringLiteral("Code")).first(), QStringLiteral("C04"));

    // Deleting the current index returns to the natural order; unknown names are refused.
    ds.setIndexName(QStringLiteral("ByQty"));
    ds.DeleteIndex(QStringLiteral("ByQty"));
    EXPECT_EQ(ds.IndexName(), QString());
    EXPECT_EQ(column(ds, QStringLiteral("Code")), natural);
    EXPECT_THROW(ds.DeleteIndex(QStringLiteral("ByQty")), DatasetError);
    EXPECT_THROW(ds.setIndexName(QStringLiteral("ByQty")), DatasetError);
    EXPECT_THROW(ds.AddIndex(QStringLiteral("Bad"), QStringLiteral("Nope")), DatasetError);

    // The index stays defined across a reload and sorts the new rows.
    ds.setIndexName(QStringLiteral("NameCI"));
    ds.Refresh();
    EXPECT_EQ(column(ds, QStringLiteral("Name")).last(), QStringLiteral("上海"));
}

TEST_F(DataSetTest, EditingAppendInsertDeleteAndCalculatedFields)
{
    TClientDataSet ds;
    ds.setObjectName(QStringLiteral("qryTemp"));
    TField* code = ds.addField(QStringLiteral("Code"), ftString, 6);
    TField* res = ds.addField(QStringLiteral("Result"), ftString, 1);
    TField* resD = ds.addField(QStringLiteral("ResultD"), ftString, 10);
    resD->setFieldKind(fkInternalCalc);
    ds.setOnCalcFields([&](TClientDataSet*) {
        resD->setAsString(res->AsString() == QLatin1String("0") ? QStringLiteral("0-满意") : QStringLiteral("1-不满意"));
    });
    load(ds, QStringLiteral("select Code, Flag - 1 + 1 as Result from T order by Code"));
    EXPECT_EQ(column(ds, QStringLiteral("ResultD")),
              (QStringList{u"1-不满意"_s, u"1-不满意"_s, u"0-满意"_s, u"0-满意"_s, u"1-不满意"_s}));

    // Editing a record, cancelled and posted; the calculated field follows the post.
    ds.First();
    res->setAsString(QStringLiteral("0"));
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Cancel();
    EXPECT_EQ(res->AsString(), QStringLiteral("1"));
    ds.Edit();
    res->setAsString(QStringLiteral("0"));
    ds.Post();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(resD->AsString(), QStringLiteral("0-满意"));

    // Append goes to the end, Insert before the current record; Cancel drops the new record.
    ds.Append();
    EXPECT_EQ(ds.State(), dsInsert);
    EXPECT_EQ(ds.RecordCount(), 5);
    code->setAsString(QStringLiteral("Z99"));
    ds.Post();
    EXPECT_EQ(ds.RecordCount(), 6);
    EXPECT_EQ(ds.RecNo(), 6);
    ds.setRecNo(2);
    ds.Insert();
    code->setAsString(QStringLiteral("NEW"));
    ds.Post();
    EXPECT_EQ(column(ds, QStringLiteral("Code")), (QStringList{u"A01"_s, u"NEW"_s, u"A03"_s, u"C04"_s, u"b02"_s, u"c05"_s, u"Z99"_s}));
    ds.Append();
    code->setAsString(QStringLiteral("GONE"));
    ds.Cancel();
    EXPECT_EQ(ds.RecordCount(), 7);
    // Delete the current record; the cursor stays in place.
    ds.setRecNo(2);
    ds.Delete();
    EXPECT_EQ(code->AsString(), QStringLiteral("A03"));
    EXPECT_EQ(ds.RecordCount(), 6);
    // A number field refuses text that is no number.
    TClientDataSet n;
    TField* q = n.addField(QStringLiteral("Q"), ftInteger);
    n.CreateDataSet();
    n.Append();
    EXPECT_THROW(q->setAsString(QStringLiteral("x1")), DatasetError);
    q->setAsString(QStringLiteral("12"));
    n.Post();
    EXPECT_EQ(q->AsInteger(), 12);
    n.Delete();
    EXPECT_TRUE(n.IsEmpty());
    EXPECT_THROW(n.Delete(), DatasetError);
}

TEST_F(DataSetTest, DataSourceSignalsEveryMoveAndChange)
{
    TClientDataSet ds;
    TDataSource src;
    src.setDataSet(&ds);
    int events = 0;
    QList<TField*> fields;
    src.setOnDataChange([&](TDataSource*, TField* f) {
        ++events;
        fields << f;
    });
    load(ds, QStringLiteral("select Code, Qty from T order by Code"));
    EXPECT_GE(events, 1);
    events = 0;
    ds.Next();
    EXPECT_EQ(events, 1);
    ds.Last();
    ds.Next(); // already at the end: nothing moves
    EXPECT_EQ(events, 2);
    fields.clear();
    ds.FieldByName(QStringLiteral("Qty"))->setAsInteger(9);
    ASSERT_EQ(fields.size(), 1);
    EXPECT_EQ(fields[0], ds.FieldByName(QStringLiteral("Qty")));
    ds.Post();
    // While disabled nothing is signalled; enabling signals once.
    events = 0;
    ds.DisableControls();
    ds.First();
    ds.Next();
    ds.setFilter(QStringLiteral("Qty > 1"));
    ds.setFiltered(true);
    EXPECT_EQ(events, 0);
    ds.EnableControls();
    EXPECT_EQ(events, 1);
    // A throwing handler is contained (guard shows its error box).
    ScriptedPrompter prompts;
    prompts.pushButton(MsgResult::OK);
    src.setOnDataChange([](TDataSource*, TField*) { throw DatasetError(QStringLiteral("boom")); });
    EXPECT_NO_THROW(ds.Next());
    ASSERT_EQ(prompts.calls.size(), 1u);
    EXPECT_TRUE(prompts.calls[0].text.contains(QStringLiteral("boom")));
}

} // namespace

namespace {

// The text pool behind string fields: one id per distinct text, whatever its length, also
// texts that differ in one middle byte or only in length.
// A load reads the texts of several rows ahead before it stores them: every row count around
// that distance keeps every value in its row, with nulls, repaired bytes, repeated texts and a
// column that turns from numbers into text half-way.
TEST_F(DataSetTest, LoadsOfEveryLengthKeepEachValueInItsRow)
{
    db->executeScript(QStringLiteral("create table L (N int, A text, B text, M);"));
    for (int rows = 0; rows <= 9; ++rows) {
        db->executeScript(QStringLiteral("delete from L;"));
        QStringList wantA, wantB, wantM;
        for (int r = 0; r < rows; ++r) {
            // A repeats every third row; B is null on even rows and cut UTF-8 on every fifth;
            // M holds integers until row 4, then texts.
            const QString a = QStringLiteral("甲%1").arg(r % 3);
            const QString b = r % 2 == 0 ? QStringLiteral("null")
                              : r % 5 == 0 ? QStringLiteral("cast(X'41E4B8' as text)")
                                           : QStringLiteral("'乙%1'").arg(r);
            const QString m = r < 4 ? QString::number(r * 10) : QStringLiteral("'m%1'").arg(r);
            db->executeScript(QStringLiteral("insert into L values (%1, '%2', %3, %4);").arg(r).arg(a, b, m));
            wantA << a;
            wantB << (r % 2 == 0 ? QString() : r % 5 == 0 ? QStringLiteral("A\uFFFD\uFFFD") : QStringLiteral("乙%1").arg(r));
            wantM << (r < 4 ? QString::number(r * 10) : QStringLiteral("m%1").arg(r));
        }
        TClientDataSet defined;
        defined.addField(QStringLiteral("A"), ftString, 10);
        defined.addField(QStringLiteral("B"), ftString, 10);
        defined.addField(QStringLiteral("M"), ftString, 10);
        TClientDataSet dynamic;
        for (TClientDataSet* ds : {&defined, &dynamic}) {
            load(*ds, QStringLiteral("select A, B, M from L order by N"));
            ASSERT_EQ(ds->RecordCount(), rows);
            EXPECT_EQ(column(*ds, QStringLiteral("A")), wantA) << rows;
            EXPECT_EQ(column(*ds, QStringLiteral("M")), wantM) << rows;
            QStringList gotB;
            ds->First();
            for (int r = 0; r < rows; ++r, ds->Next()) {
                TField* f = ds->FieldByName(QStringLiteral("B"));
                EXPECT_EQ(f->IsNull(), r % 2 == 0) << rows << " " << r;
                gotB << f->AsString();
            }
            EXPECT_EQ(gotB, wantB) << rows;
        }
        if (rows > 0) { // without a value the column stays text
            EXPECT_EQ(dynamic.FieldByName(QStringLiteral("M"))->DataType(), rows > 4 ? ftString : ftInteger);
        }
    }
}

// A reload keeps the texts it shares with the rows before it in one dictionary: a reload that
// fails half-way leaves the old rows whole (values, sort, filter), and reloads of changing data
// do not pile up texts no row uses any more.
TEST_F(DataSetTest, ReloadsShareTheirTextsAndAFailedOneLeavesTheOldRowsWhole)
{
    db->executeScript(QStringLiteral("create table R (N int, S text);"));
    const auto setTexts = [&](const QString& prefix) {
        db->executeScript(QStringLiteral("delete from R;"));
        db->executeScript(QStringLiteral("with recursive n(i) as (select 0 union all select i + 1 from n where i < 1999) "
                                         "insert into R select i, '%1' || (1999 - i) from n;").arg(prefix));
    };
    setTexts(QStringLiteral("旧"));
    TClientDataSet ds;
    ds.addField(QStringLiteral("N"), ftInteger);
    TField* text = ds.addField(QStringLiteral("S"), ftString, 10);
    TField* calc = ds.addField(QStringLiteral("C"), ftString, 10);
    calc->setFieldKind(fkInternalCalc);
    TField* n = ds.FieldByName(QStringLiteral("N"));
    bool failAt1500 = false;
    ds.setOnCalcFields([&](TClientDataSet*) {
        if (failAt1500 && n->AsInteger() == 1500) throw DatasetError(QStringLiteral("calc failed"));
        calc->setAsString(text->AsString() + QStringLiteral("!"));
    });
    load(ds, QStringLiteral("select N, S from R order by N"));
    ds.setIndexFieldNames(QStringLiteral("S"));
    const QStringList sorted = column(ds, QStringLiteral("S"));
    ASSERT_EQ(sorted.size(), 2000);
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return Gbk::encode(a) < Gbk::encode(b);
    }));

    setTexts(QStringLiteral("新"));
    failAt1500 = true;
    EXPECT_THROW(ds.Refresh(), DatasetError);
    EXPECT_EQ(column(ds, QStringLiteral("S")), sorted);
    EXPECT_EQ(column(ds, QStringLiteral("C")).first(), sorted.first() + QStringLiteral("!"));
    ds.setIndexFieldNames(QStringLiteral("N"));
    ds.setIndexFieldNames(QStringLiteral("S")); // sorted again from the old rows' texts
    EXPECT_EQ(column(ds, QStringLiteral("S")), sorted);
    ds.setFilter(QStringLiteral("S like '旧1%'"));
    ds.setFiltered(true);
    EXPECT_EQ(ds.RecordCount(), 1111); // 1, 10-19, 100-199, 1000-1999
    ds.setFiltered(false);
    EXPECT_TRUE(ds.Locate(QStringLiteral("S"), QStringLiteral("旧7")));
    EXPECT_EQ(n->AsInteger(), 1992);

    failAt1500 = false;
    ds.Refresh();
    QStringList renamed = sorted;
    for (QString& t : renamed) t.replace(0, 1, QStringLiteral("新"));
    EXPECT_EQ(column(ds, QStringLiteral("S")), renamed);
    // Two more sets of other texts: the dictionary is rebuilt with the texts in use.
    for (const QString& prefix : {QStringLiteral("甲"), QStringLiteral("乙")}) {
        setTexts(prefix);
        ds.Refresh();
    }
    const dsimpl::StringPool& pool = *ds.store()->cols[size_t(text->Index())].pool;
    EXPECT_LE(pool.size(), 2000u * 2 + 1024);
    for (QString& t : renamed) t.replace(0, 1, QStringLiteral("乙"));
    EXPECT_EQ(column(ds, QStringLiteral("S")), renamed);
    EXPECT_TRUE(ds.Locate(QStringLiteral("S"), QStringLiteral("乙7")));
    EXPECT_EQ(n->AsInteger(), 1992);
    EXPECT_EQ(calc->AsString(), QStringLiteral("乙7!"));
    // An edit after all this stores its text once.
    const uint32_t before = pool.size();
    ds.Edit();
    text->setAsString(QStringLiteral("乙8"));
    ds.Post();
    EXPECT_EQ(pool.size(), before);
}

TEST(TextPool, OneIdPerDistinctText)
{
    dsimpl::StringPool pool;
    std::vector<std::string> texts;
    const std::string base = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (size_t n = 0; n <= base.size(); ++n) {
        std::string t = base.substr(0, n);
        texts.push_back(t);
        for (size_t i = 0; i < n; ++i) {
            std::string v = t;
            v[i] = '#'; // one byte changed anywhere
            texts.push_back(v);
        }
        texts.push_back(t + '\0');
    }
    texts.push_back("试用品");
    texts.push_back("试用品名");
    std::vector<uint32_t> ids;
    for (const std::string& t : texts) ids.push_back(pool.intern(t));
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(pool.get(ids[i]), texts[i]);
        EXPECT_EQ(pool.intern(texts[i]), ids[i]); // again, and after other texts
        for (size_t j = 0; j < i; ++j) {
            if (texts[j] != texts[i]) {
                ASSERT_NE(ids[j], ids[i]) << i << " " << j;
            }
        }
    }
}

// A column of nearly distinct texts is loaded without looking each text up in its whole
// dictionary, so equal texts far apart may get separate entries. Sorting, filtering, locating,
// an edit and a reload must still treat equal texts as equal.
TEST_F(DataSetTest, EqualTextsStoredTwiceInANearlyDistinctColumnStayEqual)
{
    // 80,000 rows: a fifth empty, a fifth one phrase, the rest distinct, except that from row
    // 70,000 on some rows repeat the text of the row 60,000 before.
    db->executeScript(QStringLiteral(
        "create table N (I int, Note text, K int);"
        "with recursive s(i) as (select 0 union all select i + 1 from s where i < 79999) "
        "insert into N select i, case when i % 5 = 0 then '' when i % 5 = 1 then '满意' "
        "else '评价' || substr('甲乙丙丁戊己庚辛壬癸', ((case when i >= 70000 and i % 5 = 2 then i - 60000 else i end) "
        "* 31 % 10) + 1, 1) || ((case when i >= 70000 and i % 5 = 2 then i - 60000 else i end) * 7919 % 100003) end, "
        "i % 7 from s;"));
    TClientDataSet ds;
    load(ds, QStringLiteral("select I, Note, K from N order by I"));
    ASSERT_EQ(ds.RecordCount(), 80000);
    const int noteCol = ds.FieldByName(u"Note"_s)->storeColumn();
    const uint32_t entries = ds.store()->cols[size_t(noteCol)].pool->size();
    TADOQuery distinct(db.get());
    distinct.SQL << u"select count(distinct Note) D from N"_s;
    distinct.Open();
    // (Else the rows below test nothing new.)
    ASSERT_GT(entries, uint32_t(distinct.FieldByName(u"D"_s).AsInteger())) << "no text stored twice";

    // The rows as read, and the expected order by Note (GBK bytes) then K descending.
    std::vector<QByteArray> note;
    std::vector<int> k;
    ds.First();
    for (; !ds.Eof(); ds.Next()) {
        note.push_back(Gbk::encode(ds.FieldByName(u"Note"_s)->AsString()));
        k.push_back(int(ds.FieldByName(u"K"_s)->AsInteger()));
    }
    auto expected = [&] {
        std::vector<int> perm(note.size());
        for (size_t i = 0; i < perm.size(); ++i) perm[i] = int(i);
        std::stable_sort(perm.begin(), perm.end(), [&](int a, int b) {
            const int c = note[size_t(a)].compare(note[size_t(b)]);
            return c != 0 ? c < 0 : k[size_t(a)] > k[size_t(b)];
        });
        return perm;
    };
    auto view = [&] {
        std::vector<int> v;
        for (int i = 0; i < ds.RecordCount(); ++i) v.push_back(ds.physicalRow(i));
        return v;
    };
    ds.AddIndex(u"ByNote"_s, u"Note;K"_s, 0, u"K"_s);
    ds.setIndexName(u"ByNote"_s);
    EXPECT_TRUE(view() == expected());

    // Row 10,002's text is stored again for row 70,002: the key after it decides their order.
    TADOQuery pick(db.get());
    pick.SQL << u"select Note from N where I = 10002"_s;
    pick.Open();
    const QString text = pick.FieldByName(u"Note"_s).AsString();
    ASSERT_FALSE(text.isEmpty());
    for (const QString& filter : {u"[Note] = '%1'"_s.arg(text), u"[Note] like '%1'"_s.arg(text)}) {
        ds.setFilter(filter);
        ds.setFiltered(true);
        EXPECT_TRUE(view() == (std::vector<int>{10002, 70002})) << filter.toStdString(); // K 6 before K 2
        ds.setFiltered(false);
    }
    ds.First();
    ASSERT_TRUE(ds.Locate(u"Note"_s, text));
    EXPECT_EQ(ds.Bookmark(), 10002);

    // An edit to that text finds one of its entries; the sort puts the row with its equals.
    const uint32_t before = ds.store()->cols[size_t(noteCol)].pool->size();
    ds.setIndexName(QString());
    ds.setRecNo(6); // row 5, empty
    ds.Edit();
    ds.FieldByName(u"Note"_s)->setAsString(text);
    ds.Post();
    EXPECT_EQ(ds.store()->cols[size_t(noteCol)].pool->size(), before);
    note[5] = Gbk::encode(text);
    ds.setIndexName(u"ByNote"_s);
    EXPECT_TRUE(view() == expected());
    ds.setFilter(u"[Note] = '%1'"_s.arg(text));
    ds.setFiltered(true);
    EXPECT_TRUE(view() == (std::vector<int>{10002, 5, 70002})); // K 6, 5, 2
    ds.setFiltered(false);

    // A reload shares the dictionary (looking texts up again): the same order and matches.
    ds.Refresh();
    note[5] = QByteArray();
    EXPECT_TRUE(view() == expected());
    ds.setFiltered(true);
    EXPECT_TRUE(view() == (std::vector<int>{10002, 70002}));
}

TEST_F(DataSetTest, RawBytesThatAreNotUtf8AreStoredRepaired)
{
    // As a load stores them: a byte that starts no character becomes U+FFFD, so that readers of
    // the stored bytes (exports, comparisons) only ever meet UTF-8.
    TClientDataSet ds;
    ds.addField(u"Name"_s, ftString, 20);
    ds.CreateDataSet();
    ds.Append();
    ds.FieldByName(u"Name"_s)->setUtf8(std::string_view("ab\xFF" "c\xE5\xA5"));
    ds.Post();
    EXPECT_EQ(ds.FieldByName(u"Name"_s)->asUtf8(), std::string_view("ab\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD"));
    EXPECT_EQ(ds.FieldByName(u"Name"_s)->AsString(), u"ab\uFFFDc\uFFFD\uFFFD"_s);
    ds.setFilter(u"[Name] = 'ab\uFFFDc\uFFFD\uFFFD'"_s);
    ds.setFiltered(true);
    EXPECT_EQ(ds.RecordCount(), 1);
}

TEST_F(DataSetTest, EveryTextKeepsItsRowWhileColumnsChangeHowTheyAreStored)
{
    // G starts with a small dictionary and outgrows it; H is small throughout; R is nearly
    // distinct from the start; N is null every third row. Each column changes how its texts
    // are looked up during the load, and each text must still land in its own row.
    db->executeScript(QStringLiteral(
        "create table G (I int, G text, H text, R text, N text);"
        "with recursive s(i) as (select 0 union all select i + 1 from s where i < 69999) "
        "insert into G select i, 'g' || (i / 8), 'h' || (i % 3), 'r' || (i * 7919 % 100003), "
        "case when i % 3 = 0 then null else 'n' || (i % 5000) end from s;"));
    TClientDataSet ds;
    load(ds, QStringLiteral("select I, G, H, R, N from G order by I"));
    ASSERT_EQ(ds.RecordCount(), 70000);
    int wrong = 0;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        const qint64 i = ds.FieldByName(u"I"_s)->AsInteger();
        const bool ok = ds.FieldByName(u"G"_s)->AsString() == u"g%1"_s.arg(i / 8) &&
                        ds.FieldByName(u"H"_s)->AsString() == u"h%1"_s.arg(i % 3) &&
                        ds.FieldByName(u"R"_s)->AsString() == u"r%1"_s.arg(i * 7919 % 100003) &&
                        (i % 3 == 0 ? ds.FieldByName(u"N"_s)->IsNull()
                                    : ds.FieldByName(u"N"_s)->AsString() == u"n%1"_s.arg(i % 5000));
        if (!ok && wrong++ < 3) ADD_FAILURE() << "row " << i;
    }
    EXPECT_EQ(wrong, 0);
}

} // namespace
