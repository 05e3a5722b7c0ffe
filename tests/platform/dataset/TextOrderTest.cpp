// The dense ranks of a text dictionary, which every sort on a text column uses: the order of the
// texts' GBK bytes, one rank for equal texts (also when they are stored twice), on dictionaries
// small and large, with long common beginnings, characters GBK lacks and NUL characters.
#include "platform/dataset/Store.h"
#include "platform/text/Gbk.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>
#include <random>
#include <string>
#include <vector>

using dsimpl::StringPool;

namespace {

// Texts as a chain's remarks are: a few beginnings shared by many (longer than the sixteen key
// bytes looked at first, some much longer), then a short varying end; some texts twice.
std::vector<std::string> remarkLikeTexts(size_t n, unsigned seed)
{
    const char* const words[] = {"试用", "效果", "很好", "一般", "顾客", "满意", "皮肤", "干燥", "滋润", "香味",
                                 "A", "b", "0", " ", "，"};
    std::vector<std::string> stems;
    std::mt19937 rng(seed);
    auto pick = [&](size_t k) { return size_t(rng() % k); };
    for (int s = 0; s < 40; ++s) {
        std::string stem;
        const size_t len = 3 + pick(20); // up to 22 words: beginnings of up to 44 GBK bytes
        for (size_t w = 0; w < len; ++w) stem += words[pick(std::size(words))];
        stems.push_back(stem);
    }
    std::vector<std::string> texts;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && pick(10) == 0) {
            texts.push_back(texts[pick(texts.size())]); // the same text again
            continue;
        }
        std::string t = pick(20) == 0 ? std::string() : stems[pick(stems.size())];
        const size_t tail = pick(4);
        for (size_t w = 0; w < tail; ++w) t += words[pick(std::size(words))];
        texts.push_back(t);
    }
    return texts;
}

// Texts stored as a load of nearly distinct texts stores them: each as it comes, so equal texts
// may get entries of their own.
StringPool storedTwiceOrMore(const std::vector<std::string>& texts)
{
    StringPool pool;
    for (const std::string& t : texts) pool.append(t, StringPool::hash(t));
    return pool;
}

// Ranks against an order given by compare (negative, zero, positive): ascending, one rank per
// group of equal texts, ranks 1..n.
template <typename Compare>
void expectRanksFollow(const StringPool& pool, bool caseIns, Compare compare)
{
    std::vector<uint32_t> ranks;
    const uint32_t count = dsimpl::rankTexts(pool, caseIns, ranks);
    ASSERT_EQ(ranks.size(), size_t(pool.size()));
    std::vector<uint32_t> ids(pool.size());
    std::iota(ids.begin(), ids.end(), 0u);
    std::stable_sort(ids.begin(), ids.end(), [&](uint32_t a, uint32_t b) { return compare(a, b) < 0; });
    uint32_t expected = 0;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i == 0 || compare(ids[i - 1], ids[i]) != 0) ++expected;
        ASSERT_EQ(ranks[ids[i]], expected) << "text \"" << pool.get(ids[i]) << "\" at " << i;
    }
    EXPECT_EQ(count, expected + 1); // rank 0 is a null's
}

void expectGbkByteOrder(const std::vector<std::string>& texts)
{
    const StringPool pool = storedTwiceOrMore(texts);
    std::vector<QByteArray> gbk;
    for (uint32_t id = 0; id < pool.size(); ++id) {
        const std::string_view t = pool.get(id);
        gbk.push_back(Gbk::encode(QString::fromUtf8(t.data(), qsizetype(t.size()))));
    }
    expectRanksFollow(pool, false, [&](uint32_t a, uint32_t b) { return gbk[a].compare(gbk[b]); });
}

} // namespace

TEST(TextRanks, FollowTheGbkBytesOfSmallAndLargeDictionaries)
{
    expectGbkByteOrder(remarkLikeTexts(500, 1));    // sorted whole
    expectGbkByteOrder(remarkLikeTexts(30000, 2));  // sorted in buckets by their first character
    expectGbkByteOrder({});
    expectGbkByteOrder({"", "", ""});
}

TEST(TextRanks, LongCommonBeginningsAreComparedWhole)
{
    // A form letter of a hundred characters with varying ends, some texts twice, some cut short.
    std::string letter;
    for (int i = 0; i < 50; ++i) letter += "尊敬";
    std::vector<std::string> texts;
    std::mt19937 rng(7);
    for (int i = 0; i < 9000; ++i) {
        const unsigned r = rng() % 100;
        if (r < 10) texts.push_back(letter.substr(0, 3 * (rng() % 100)));
        else if (r < 20 && !texts.empty()) texts.push_back(texts[rng() % texts.size()]);
        else texts.push_back(letter + std::to_string(rng() % 3000) + (r % 2 ? "顾客" : "a"));
    }
    expectGbkByteOrder(texts);
}

TEST(TextRanks, CharactersGbkLacksNulCharactersAndFoldedCase)
{
    // U+1F600 and U+0E01 have no GBK code: they sort after every GBK character, by code point.
    const std::string smile = "\xF0\x9F\x98\x80", thai = "\xE0\xB8\x81";
    std::vector<std::string> base = {"a", std::string("a\0", 2), std::string("a\0b", 3), "A", "ab", "aB", "",
                                     smile, thai, "试" + smile, "试" + thai, "试", "试a", "\xE2\x82\xAC" /* euro */};
    std::vector<std::string> texts;
    // Each also behind a beginning of twenty bytes, so that the difference lies past the first
    // window, and twice, so that equal texts have two entries.
    for (int copy = 0; copy < 2; ++copy)
        for (const std::string& t : base) {
            texts.push_back(t);
            texts.push_back("0123456789试用效果很好" + t);
        }
    for (size_t n : {texts.size(), size_t(6000)}) {
        std::vector<std::string> some = texts;
        for (size_t i = texts.size(); i < n; ++i) some.push_back(texts[i % texts.size()] + std::to_string(i));
        const StringPool pool = storedTwiceOrMore(some);
        expectRanksFollow(pool, false,
                          [&](uint32_t a, uint32_t b) { return dsimpl::compareGbk(pool.get(a), pool.get(b)); });
        expectRanksFollow(pool, true,
                          [&](uint32_t a, uint32_t b) { return dsimpl::compareGbkCaseIns(pool.get(a), pool.get(b)); });
    }
}
