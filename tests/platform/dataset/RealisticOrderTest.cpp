// Sorting and filtering the register list on realistic data (a chain's masters, nearly distinct
// remarks, many ties) give exactly what an independent stable sort on GBK bytes gives.
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/Store.h"
#include "platform/db/Db.h"
#include "platform/text/Gbk.h"
#include "schema/Schema.h"
#include "tests/support/TestSupport.h"

#include <QByteArray>
#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const char* const kFields[] = {"BookDate", "BookTime", "PluCode", "PluName", "BarCode", "Spec", "Result",
                               "Remark",   "UserCode", "UserName", "ZdrCode", "ZdrName", "OrgCode", "OrgName"};

class RealisticOrder : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        db = makeTestDb(true).release();
        Schema::generateTrials(*db, 50000, 3);
        head = new TClientDataSet;
        for (const char* f : kFields) head->addField(QString::fromLatin1(f), ftString, 100);
        query = new TADOQuery(db);
        query->SQL = QStringList{
            u"select BookDate,BookTime,T.PluCode PluCode,PluName,Spec,BarCode,Result, "_s,
            u"T.Remark Remark,T.UserCode,T.UserName,ZdrCode,ZdrName, "_s,
            u" T.OrgCode OrgCode,OrgName"_s,
            u"from TryOutBK T Left Join SubShop S on T.OrgCode=S.OrgCode "_s,
            u"                Left Join Goods R on T.PluCode=R.PluCode"_s,
            u" order by BookDate,BookTime "_s};
        provider = new TDataSetProvider;
        provider->setDataSet(query);
        head->setProvider(provider);
        head->Open();
        // The statement's rows read on their own: GBK bytes per field, null apart.
        TADOQuery bare(db);
        bare.SQL = query->SQL;
        for (bare.Open(); !bare.Eof(); bare.Next()) {
            std::vector<Value> row;
            for (const char* f : kFields) {
                const TDbField v = bare.FieldByName(QString::fromLatin1(f));
                row.push_back({v.IsNull(), Gbk::encode(v.AsString())});
            }
            rows.push_back(std::move(row));
        }
    }
    static void TearDownTestSuite()
    {
        delete head;
        delete provider;
        delete query;
        delete db;
        rows.clear();
    }

    struct Value {
        bool null;
        QByteArray gbk;
    };
    struct Key {
        int field;
        bool desc;
    };

    static int fieldIndex(const char* name)
    {
        for (int i = 0; i < int(std::size(kFields)); ++i)
            if (qstrcmp(kFields[i], name) == 0) return i;
        return -1;
    }
    // The expected view: natural rows stably sorted by the keys (nulls first ascending).
    static std::vector<int> expectedOrder(const std::vector<Key>& keys, const std::vector<int>& among = {})
    {
        std::vector<int> perm = among;
        if (perm.empty()) {
            perm.resize(rows.size());
            std::iota(perm.begin(), perm.end(), 0);
        }
        std::stable_sort(perm.begin(), perm.end(), [&](int a, int b) {
            for (const Key& k : keys) {
                const Value& x = rows[size_t(a)][size_t(k.field)];
                const Value& y = rows[size_t(b)][size_t(k.field)];
                int c = x.null != y.null ? (x.null ? -1 : 1) : x.null ? 0 : std::clamp(x.gbk.compare(y.gbk), -1, 1);
                if (k.desc) c = -c;
                if (c != 0) return c < 0;
            }
            return false;
        });
        return perm;
    }
    static std::vector<int> view()
    {
        std::vector<int> v;
        for (int i = 0; i < head->RecordCount(); ++i) v.push_back(head->physicalRow(i));
        return v;
    }
    // Sorts the dataset as a title click does: fields "A;B", descending ones listed again.
    static std::vector<Key> sortBy(const std::vector<std::pair<const char*, bool>>& spec)
    {
        QStringList fields, desc;
        std::vector<Key> keys;
        for (const auto& [name, d] : spec) {
            fields << QString::fromLatin1(name);
            if (d) desc << QString::fromLatin1(name);
            keys.push_back({fieldIndex(name), d});
        }
        if (head->HasIndex(u"SortIndexEh"_s)) {
            head->setIndexName(QString());
            head->DeleteIndex(u"SortIndexEh"_s);
        }
        head->AddIndex(u"SortIndexEh"_s, fields.join(u';'), 0, desc.join(u';'));
        head->setIndexName(u"SortIndexEh"_s);
        return keys;
    }

    static TADOConnection* db;
    static TClientDataSet* head;
    static TADOQuery* query;
    static TDataSetProvider* provider;
    static std::vector<std::vector<Value>> rows;
};

TADOConnection* RealisticOrder::db = nullptr;
TClientDataSet* RealisticOrder::head = nullptr;
TADOQuery* RealisticOrder::query = nullptr;
TDataSetProvider* RealisticOrder::provider = nullptr;
std::vector<std::vector<RealisticOrder::Value>> RealisticOrder::rows;

} // namespace

TEST_F(RealisticOrder, EveryColumnAscendingAndDescendingAsAStableSortOnGbkBytes)
{
    ASSERT_EQ(size_t(head->RecordCount()), rows.size());
    ASSERT_GE(rows.size(), 50000u);
    for (const char* f : kFields) {
        for (bool desc : {false, true}) {
            const std::vector<Key> keys = sortBy({{f, desc}});
            EXPECT_TRUE(view() == expectedOrder(keys)) << f << (desc ? " descending" : " ascending");
        }
    }
    head->setIndexName(QString());
}

TEST_F(RealisticOrder, TwoAndThreeKeysWithMixedDirections)
{
    const std::vector<std::vector<std::pair<const char*, bool>>> specs = {
        {{"OrgName", false}, {"Remark", true}},
        {{"Result", false}, {"PluName", true}, {"BookTime", false}},
        {{"ZdrName", true}, {"BookDate", false}, {"Remark", false}},
        {{"Remark", false}, {"OrgCode", true}},
    };
    for (const auto& spec : specs) {
        const std::vector<Key> keys = sortBy(spec);
        EXPECT_TRUE(view() == expectedOrder(keys)) << spec.front().first << " + " << spec.size() - 1 << " more";
    }
    head->setIndexName(QString());
}

TEST_F(RealisticOrder, AFilterOnASortedViewKeepsTheUnsortedFiltersRowsInTheSortedOrder)
{
    const QString exprs[] = {u"Remark like '%好%'"_s, u"OrgCode = '5010' or Remark like '%满意%'"_s,
                             u"PluName like '%霜%' and Result = '0'"_s};
    for (const QString& expr : exprs) {
        head->setIndexName(QString());
        head->setFiltered(false);
        head->setFilter(expr);
        head->setFiltered(true);
        const std::vector<int> unsorted = view();
        ASSERT_FALSE(unsorted.empty()) << expr.toStdString();
        ASSERT_LT(unsorted.size(), rows.size()) << expr.toStdString();
        EXPECT_TRUE(std::is_sorted(unsorted.begin(), unsorted.end()));

        const std::vector<Key> keys = sortBy({{"PluName", true}, {"Remark", false}});
        EXPECT_TRUE(view() == expectedOrder(keys, unsorted)) << expr.toStdString();
        // Switching the filter off and on under the sort gives the same rows again.
        head->setFiltered(false);
        EXPECT_EQ(size_t(head->RecordCount()), rows.size());
        head->setFiltered(true);
        EXPECT_TRUE(view() == expectedOrder(keys, unsorted)) << expr.toStdString();
    }
    head->setFiltered(false);
    head->setIndexName(QString());
}

TEST_F(RealisticOrder, AReloadUnderASortKeepsTheOrderOfTheNewRows)
{
    const std::vector<Key> keys = sortBy({{"Remark", true}});
    head->Refresh();
    EXPECT_TRUE(view() == expectedOrder(keys));
    // Locating a remark that occurs once finds its row in the sorted view.
    const int row = int(rows.size() / 2);
    head->First();
    ASSERT_TRUE(head->Locate(u"BookDate;BookTime;OrgCode;PluCode"_s,
                             QVariantList{Gbk::decode(rows[size_t(row)][0].gbk), Gbk::decode(rows[size_t(row)][1].gbk),
                                          Gbk::decode(rows[size_t(row)][12].gbk), Gbk::decode(rows[size_t(row)][2].gbk)}));
    EXPECT_EQ(head->Bookmark(), row);
    head->setIndexName(QString());
}

TEST_F(RealisticOrder, AnEditAfterTheLoadFindsTheTextsAlreadyStored)
{
    // The load drops the text lookup table; the first edit builds it again and must find the
    // stored texts rather than add copies.
    head->setIndexName(QString());
    head->Refresh();
    TField* remark = head->FieldByName(u"Remark"_s);
    const auto& pool = *head->store()->cols[size_t(fieldIndex("Remark"))].pool;
    const uint32_t distinct = pool.size();
    head->setRecNo(10);
    const QString existing = remark->AsString();
    head->setRecNo(20);
    head->Edit();
    remark->setAsString(existing);
    head->Post();
    EXPECT_EQ(pool.size(), distinct);
    head->Edit();
    remark->setAsString(u"一条新的评价"_s);
    head->Post();
    EXPECT_EQ(pool.size(), distinct + 1);
    const int edited = head->Bookmark();
    Value& expected = rows[size_t(edited)][size_t(fieldIndex("Remark"))];
    const Value stored = expected;
    expected = {false, Gbk::encode(u"一条新的评价"_s)};
    const std::vector<Key> keys = sortBy({{"Remark", false}});
    EXPECT_TRUE(view() == expectedOrder(keys));
    expected = stored;
    head->setIndexName(QString());
    head->Refresh(); // back to the stored rows for the other tests
}
