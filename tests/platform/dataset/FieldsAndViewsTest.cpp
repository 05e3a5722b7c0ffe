// Fields added and removed around loads, the view after posts under an index and a filter,
// Boolean and null handling, and the provider re-reading an open query.
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/DataSource.h"
#include "platform/dataset/FilterExpr.h"
#include "platform/db/Db.h"
#include "tests/support/TestSupport.h"

#include <QPointer>
#include <algorithm>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QStringList codes(TClientDataSet& ds, const char* field = "Code")
{
    QStringList out;
    ds.First();
    while (!ds.Eof()) {
        out << ds.FieldByName(QString::fromLatin1(field))->AsString();
        ds.Next();
    }
    return out;
}

// A small open dataset made in memory.
void fill(TClientDataSet& ds, const QList<QPair<QString, int>>& rows)
{
    TField* code = ds.FieldByName(QStringLiteral("Code"));
    TField* qty = ds.FieldByName(QStringLiteral("Qty"));
    for (const auto& r : rows) {
        ds.Append();
        code->setAsString(r.first);
        qty->setAsInteger(r.second);
        ds.Post();
    }
}

TEST(DataSetFields, FieldsCanBeAddedAndFreedAroundLoads)
{
    TClientDataSet ds;
    ds.setObjectName(QStringLiteral("qryHead"));
    ds.addField(QStringLiteral("Code"), ftString, 6);
    ds.addField(QStringLiteral("Qty"), ftInteger);
    EXPECT_THROW(ds.addField(QStringLiteral("code"), ftString), DatasetError); // names ignore case
    ds.CreateDataSet();
    fill(ds, {{u"A"_s, 1}, {u"B"_s, 2}});

    // A field attached to an open dataset starts empty on every record.
    TField* extra = createField(ftCurrency, &ds);
    extra->setFieldName(QStringLiteral("R_Margin"));
    extra->setTag(-101);
    extra->setDataSet(&ds);
    EXPECT_EQ(ds.FieldCount(), 3);
    ds.First();
    EXPECT_TRUE(extra->IsNull());
    extra->setAsFloat(2.5);
    ds.Post();
    EXPECT_DOUBLE_EQ(extra->AsFloat(), 2.5);

    // Freeing a field removes it and its values; the others keep theirs.
    QPointer<TField> q = ds.FieldByName(QStringLiteral("Qty"));
    delete q.data();
    EXPECT_EQ(ds.FieldCount(), 2);
    EXPECT_EQ(ds.FindField(QStringLiteral("Qty")), nullptr);
    EXPECT_EQ(codes(ds), (QStringList{u"A"_s, u"B"_s}));
    ds.First();
    EXPECT_DOUBLE_EQ(extra->AsFloat(), 2.5);
    // A field found by its component name, as a rebuild of calculated fields looks for it.
    extra->setObjectName(QStringLiteral("qryHeadMargin"));
    EXPECT_EQ(ds.findChild<TField*>(QStringLiteral("qryHeadMargin")), extra);

    // Detached fields read as null and refuse values with a clear error.
    extra->setDataSet(nullptr);
    EXPECT_TRUE(extra->IsNull());
    EXPECT_THROW(extra->setAsFloat(1), DatasetError);
    delete extra;

    // Closing keeps the defined fields (they are not dynamic) but frees the rows.
    ds.Close();
    EXPECT_EQ(ds.FieldCount(), 1);
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_THROW(ds.First(), DatasetError);
    EXPECT_THROW(ds.FieldByName(QStringLiteral("Nope")), DatasetError);
}

TEST(DataSetFields, BooleansNullsAndEmptyTexts)
{
    TClientDataSet ds;
    TField* flag = ds.addField(QStringLiteral("Flag"), ftBoolean);
    TField* name = ds.addField(QStringLiteral("Name"), ftString, 10);
    TField* num = ds.addField(QStringLiteral("Num"), ftFloat);
    ds.CreateDataSet();
    ds.Append();
    flag->setAsString(QStringLiteral("true"));
    name->setAsString(QString());
    num->setAsString(QString()); // empty text into a number: null
    ds.Post();
    EXPECT_TRUE(flag->AsBoolean());
    EXPECT_EQ(flag->AsString(), QStringLiteral("True"));
    EXPECT_FALSE(name->IsNull()); // an empty text stays a text
    EXPECT_TRUE(num->IsNull());
    EXPECT_EQ(num->AsFloat(), 0);
    ds.Edit();
    EXPECT_THROW(flag->setAsString(QStringLiteral("maybe")), DatasetError);
    flag->setValue(0);
    name->Clear();
    ds.Post();
    EXPECT_FALSE(flag->AsBoolean());
    EXPECT_TRUE(name->IsNull());
    // Filters and locates see the difference between null and empty.
    ds.Append();
    name->setAsString(QString());
    ds.Post();
    ds.setFilter(QStringLiteral("Name is null"));
    ds.setFiltered(true);
    EXPECT_EQ(ds.RecordCount(), 1);
    ds.setFiltered(false);
    EXPECT_TRUE(ds.Locate(QStringLiteral("Name"), QVariant()));
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_TRUE(ds.Locate(QStringLiteral("Flag"), false));
    EXPECT_TRUE(ds.Locate(QStringLiteral("Num"), QVariant()));
}

TEST(DataSetViews, PostedRecordsTakeTheirPlaceInIndexAndFilter)
{
    TClientDataSet ds;
    ds.addField(QStringLiteral("Code"), ftString, 6);
    TField* qty = ds.addField(QStringLiteral("Qty"), ftInteger);
    ds.CreateDataSet();
    fill(ds, {{u"A"_s, 5}, {u"B"_s, 1}, {u"C"_s, 9}});
    ds.setIndexFieldNames(QStringLiteral("Qty"));
    EXPECT_EQ(codes(ds), (QStringList{u"B"_s, u"A"_s, u"C"_s}));
    // An edited record moves to its new place and stays current.
    ASSERT_TRUE(ds.Locate(QStringLiteral("Code"), QStringLiteral("B")));
    qty->setAsInteger(7);
    ds.Post();
    EXPECT_EQ(ds.FieldByName(QStringLiteral("Code"))->AsString(), QStringLiteral("B"));
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(codes(ds), (QStringList{u"A"_s, u"B"_s, u"C"_s}));
    // An appended record sorts in; one the filter hides is kept but not shown.
    ds.setFilter(QStringLiteral("Qty < 8"));
    ds.setFiltered(true);
    fill(ds, {{u"D"_s, 6}, {u"E"_s, 20}});
    EXPECT_EQ(codes(ds), (QStringList{u"A"_s, u"D"_s, u"B"_s}));
    ds.setFiltered(false);
    EXPECT_EQ(codes(ds), (QStringList{u"A"_s, u"D"_s, u"B"_s, u"C"_s, u"E"_s}));
    // Moving with pending changes posts them first.
    ds.First();
    qty->setAsInteger(100);
    ds.Next();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(codes(ds).last(), QStringLiteral("A"));
    // Per-field case-insensitive keys and MoveBy.
    TClientDataSet t;
    t.addField(QStringLiteral("Code"), ftString, 6);
    t.addField(QStringLiteral("Qty"), ftInteger);
    t.CreateDataSet();
    fill(t, {{u"b"_s, 1}, {u"A"_s, 1}, {u"a"_s, 2}, {u"B"_s, 2}});
    t.AddIndex(QStringLiteral("CI"), QStringLiteral("Code;Qty"), 0, QStringLiteral("Qty"), QStringLiteral("Code"));
    t.setIndexName(QStringLiteral("CI"));
    EXPECT_EQ(codes(t), (QStringList{u"a"_s, u"A"_s, u"B"_s, u"b"_s}));
    t.First();
    EXPECT_EQ(t.MoveBy(2), 2);
    EXPECT_EQ(t.RecNo(), 3);
    EXPECT_EQ(t.MoveBy(10), 1);
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.MoveBy(-10), -3);
    EXPECT_TRUE(t.Bof());
}

// A sorted view keeps its unfiltered order for the next filter; every change of the rows or of
// a key must still show: each step is checked against a model of the records, with the filter
// set and cleared without touching the index in between.
TEST(DataSetViews, AFilterOnASortedViewFollowsEveryChangeOfTheRows)
{
    TClientDataSet ds;
    TField* note = ds.addField(QStringLiteral("Note"), ftString, 10);
    TField* code = ds.addField(QStringLiteral("Code"), ftString, 6);
    TField* qty = ds.addField(QStringLiteral("Qty"), ftInteger);
    ds.CreateDataSet();
    QList<QPair<QString, int>> model = {{u"D"_s, 5}, {u"B"_s, 1}, {u"F"_s, 9}, {u"A"_s, 5},
                                        {u"E"_s, 4}, {u"C"_s, 2}, {u"G"_s, 7}};
    fill(ds, model);
    ds.setIndexFieldNames(QStringLiteral("Qty;Code"));
    ds.setFilter(QStringLiteral("Qty > 3"));
    auto expect = [&](const char* step) {
        QList<QPair<QString, int>> sorted = model;
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second < b.second : a.first < b.first;
        });
        QStringList all, shown;
        for (const auto& r : sorted) {
            all << r.first;
            if (r.second > 3) shown << r.first;
        }
        ds.setFiltered(true);
        EXPECT_EQ(codes(ds), shown) << step;
        ds.setFiltered(false);
        EXPECT_EQ(codes(ds), all) << step;
        ds.setFiltered(true); // the order kept from the last sort
        EXPECT_EQ(codes(ds), shown) << step;
        ds.setFiltered(false);
    };
    expect("sorted");
    ASSERT_TRUE(ds.Locate(QStringLiteral("Code"), QStringLiteral("B")));
    qty->setAsInteger(8);
    ds.Post();
    model[1].second = 8;
    expect("key edited");
    ASSERT_TRUE(ds.Locate(QStringLiteral("Code"), QStringLiteral("F")));
    code->setAsString(QStringLiteral("AA"));
    ds.Post();
    model[2].first = u"AA"_s;
    expect("second key edited");
    ASSERT_TRUE(ds.Locate(QStringLiteral("Code"), QStringLiteral("G")));
    qty->setAsInteger(0);
    ds.Cancel();
    note->setAsString(QStringLiteral("x")); // a field outside the keys
    ds.Post();
    expect("edit cancelled, other field posted");
    ASSERT_TRUE(ds.Locate(QStringLiteral("Code"), QStringLiteral("D")));
    ds.Delete();
    model.removeAt(0);
    expect("deleted");
    fill(ds, {{u"Z"_s, 4}});
    model.append({u"Z"_s, 4});
    expect("appended");
    delete note; // the columns after it move down
    expect("field before the keys freed");
}

// Plain patterns ('%x%', 'x%', '%x', 'x') are decided for all texts at once; they must answer as
// the general matcher does, also for a match that only a run across two stored texts would give,
// and for texts stored after the filter was first applied.
TEST(DataSetViews, PlainLikePatternsAnswerAsTheGeneralMatcherAlsoAfterEdits)
{
    TClientDataSet ds;
    ds.addField(QStringLiteral("Code"), ftString, 20);
    ds.addField(QStringLiteral("Qty"), ftInteger);
    ds.CreateDataSet();
    const QStringList texts = {u"很好"_s, u"好的"_s, u"xa"_s, u"by"_s, u"好"_s, u"不好意思"_s, u"ab"_s, u"AB"_s,
                               QString(),  u"好好"_s, u"女子"_s, u"a好"_s, u"好a"_s, u"x好y"_s, u"cab"_s, u"好"_s,
                               u"100%"_s, u"a_b"_s};
    QList<QPair<QString, int>> rows;
    for (int i = 0; i < texts.size(); ++i) rows.append({texts[i], i});
    fill(ds, rows);
    ds.Append(); // a null text
    ds.FieldByName(QStringLiteral("Qty"))->setAsInteger(99);
    ds.Post();
    const auto expected = [&](const QString& pattern, bool ci, bool neg) {
        QStringList out;
        const QByteArray p = pattern.toUtf8();
        for (const QString& t : texts) {
            const QByteArray b = t.toUtf8();
            if (dsimpl::likeMatch(std::string_view(b.constData(), size_t(b.size())),
                                  std::string_view(p.constData(), size_t(p.size())), ci) != neg)
                out << t;
        }
        return out;
    };
    const QStringList patterns = {u"%好%"_s, u"好%"_s, u"%好"_s, u"好"_s, u"%好好%"_s, u"%ab%"_s, u"ab%"_s,
                                  u"%b"_s,   u"%%"_s, u"%"_s,  u""_s,   u"%a好%"_s, u"%AB%"_s, u"%0\%"_s};
    for (const bool ci : {false, true}) {
        ds.setFiltered(false);
        ds.setFilterOptions(ci ? foCaseInsensitive : 0);
        for (const QString& p : patterns) {
            for (const bool neg : {false, true}) {
                ds.setFiltered(false);
                ds.setFilter(QStringLiteral("Code %1like '%2'").arg(neg ? u"not "_s : QString(), p));
                ds.setFiltered(true);
                EXPECT_EQ(codes(ds), expected(p, ci, neg)) << p.toStdString() << " ci " << ci << " not " << neg;
            }
        }
    }
    // Under the filter, a record edited to a new text and records appended with new and known
    // texts are decided by their own texts.
    ds.setFilterOptions(0);
    ds.setFiltered(false);
    ds.setFilter(QStringLiteral("Code like '%好%'"));
    ds.setFiltered(true);
    ASSERT_EQ(codes(ds).first(), QStringLiteral("很好"));
    ds.First();
    ds.FieldByName(QStringLiteral("Code"))->setAsString(QStringLiteral("很坏"));
    ds.Post();
    ds.First(); // 好的, now the first shown, to another text stored before that matches
    ASSERT_EQ(ds.FieldByName(QStringLiteral("Code"))->AsString(), QStringLiteral("好的"));
    ds.FieldByName(QStringLiteral("Code"))->setAsString(QStringLiteral("x好y"));
    ds.Post();
    fill(ds, {{u"真好呀"_s, 100}, {u"cab"_s, 101}, {u"很坏"_s, 102}, {u"好了"_s, 103}});
    EXPECT_EQ(codes(ds), (QStringList{u"x好y"_s, u"好"_s, u"不好意思"_s, u"好好"_s, u"a好"_s, u"好a"_s, u"x好y"_s,
                                      u"好"_s, u"真好呀"_s, u"好了"_s}));
}

TEST(DataSetViews, FilterLanguageDetails)
{
    TClientDataSet ds;
    ds.addField(QStringLiteral("Code"), ftString, 6);
    ds.addField(QStringLiteral("Qty"), ftInteger);
    TField* price = ds.addField(QStringLiteral("Price"), ftFloat);
    ds.CreateDataSet();
    fill(ds, {{u"x1"_s, 1}, {u"X2"_s, 2}, {u"y3"_s, 3}, {u"10"_s, 4}});
    ds.First();
    price->setAsFloat(0.5);
    ds.Post();
    auto shown = [&](const QString& f) {
        ds.setFilter(f);
        ds.setFiltered(true);
        const QString s = codes(ds).join(u',');
        ds.setFiltered(false);
        return s;
    };
    EXPECT_EQ(shown(QStringLiteral("upper(Code) like 'X%'")), QStringLiteral("x1,X2"));
    EXPECT_EQ(shown(QStringLiteral("Qty / 2 = 1 or Qty - 1 = 0")), QStringLiteral("x1,X2"));
    EXPECT_EQ(shown(QStringLiteral("-Qty < -3")), QStringLiteral("10"));
    EXPECT_EQ(shown(QStringLiteral("Code = 10")), QStringLiteral("10")); // text compared with a number
    EXPECT_EQ(shown(QStringLiteral("Price * 4 = 2")), QStringLiteral("x1"));
    EXPECT_EQ(shown(QStringLiteral("Price = null")), QString()); // null never compares equal
    EXPECT_EQ(shown(QStringLiteral("not Price is null")), QStringLiteral("x1"));
    EXPECT_EQ(shown(QStringLiteral("Code not in ('x1', 'y3')")), QStringLiteral("X2,10"));
    EXPECT_EQ(shown(QStringLiteral("Code >= 'x' and Code < 'y'")), QStringLiteral("x1"));
    EXPECT_EQ(shown(QStringLiteral("  ")), QStringLiteral("x1,X2,y3,10")); // blank: no filter
    // The error names the place of the fault.
    ds.setFilter(QStringLiteral("Qty = 1 and (Code = 'a'"));
    try {
        ds.setFiltered(true);
        FAIL();
    } catch (const DatasetError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("缺少“)”"))) << e.what();
    }
    ds.setFilter(QStringLiteral("Price like"));
    EXPECT_THROW(ds.setFiltered(true), DatasetError);
}

TEST(DataSetProviderTest, ReReadsAnOpenQueryAndKeepsItOpen)
{
    auto db = TADOConnection::openSqlite(testTempDir() + QStringLiteral("/p.db"));
    db->executeScript(QStringLiteral("create table T (Code text); insert into T values ('a'); insert into T values ('b');"));
    TADOQuery q(db.get());
    q.SQL << QStringLiteral("select Code from T");
    TDataSetProvider p;
    TClientDataSet ds;
    ds.setProvider(&p);
    EXPECT_THROW(ds.Open(), DatasetError); // no query given
    p.setDataSet(&q);
    ds.Open();
    EXPECT_FALSE(q.Active()); // opened for the copy and closed again
    EXPECT_EQ(ds.RecordCount(), 2);
    q.Open();
    q.Next();
    db->executeScript(QStringLiteral("insert into T values ('c');"));
    ds.Refresh();
    EXPECT_TRUE(q.Active()); // an open query stays open, read from its first row
    EXPECT_EQ(codes(ds), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
}

TEST(DataSetSource, StateChangesAndDetaching)
{
    TClientDataSet ds;
    ds.addField(QStringLiteral("Code"), ftString, 6);
    ds.addField(QStringLiteral("Qty"), ftInteger);
    TDataSource src;
    QList<TDataSetState> states;
    src.setOnStateChange([&](TDataSource* s) { states << s->DataSet()->State(); });
    src.setDataSet(&ds);
    ds.CreateDataSet();
    ds.Append();
    ds.Cancel();
    EXPECT_EQ(states, (QList<TDataSetState>{dsBrowse, dsInsert, dsBrowse}));
    // A disabled source passes nothing on; a detached one neither.
    int changes = 0;
    src.setOnDataChange([&](TDataSource*, TField*) { ++changes; });
    src.setEnabled(false);
    fill(ds, {{u"A"_s, 1}});
    EXPECT_EQ(changes, 0);
    src.setEnabled(true);
    src.setDataSet(nullptr);
    changes = 0;
    fill(ds, {{u"B"_s, 2}});
    EXPECT_EQ(changes, 0);
}

} // namespace
