// The dense ranks of a text dictionary against a plain stable sort by the character-by-character
// GBK comparison: any texts (repaired to UTF-8, as a load stores them), stored once or several
// times, case folded or not, in a dictionary small enough to be sorted whole or large enough to
// be bucketed first.
#include "platform/dataset/Store.h"
#include "tests/fuzz/FuzzCommon.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const uint8_t opts = data[0];
    const bool caseIns = opts & 1;
    const std::vector<QByteArray> in = fuzz::pieces(data + 1, size - 1, 64);
    std::vector<std::string> texts;
    for (const QByteArray& b : in) {
        const std::string_view raw(b.constData(), size_t(b.size()));
        texts.emplace_back(dsimpl::isValidUtf8(raw) ? raw : dsimpl::repairedUtf8(raw));
    }
    // Large: every text again under a few hundred varying ends, past the size that is bucketed.
    if (opts & 2) {
        const size_t n = texts.size();
        for (size_t i = 0; texts.size() < 4200; ++i) texts.push_back(texts[i % n] + std::to_string(i % 331));
    }
    dsimpl::StringPool pool;
    for (const std::string& t : texts) {
        if (opts & 4) pool.append(t, dsimpl::StringPool::hash(t)); // equal texts may get two entries
        else pool.intern(t);
    }
    std::vector<uint32_t> ranks;
    const uint32_t count = dsimpl::rankTexts(pool, caseIns, ranks);

    const auto cmp = caseIns ? dsimpl::compareGbkCaseIns : dsimpl::compareGbk;
    std::vector<uint32_t> ids(pool.size());
    std::iota(ids.begin(), ids.end(), 0u);
    std::stable_sort(ids.begin(), ids.end(), [&](uint32_t a, uint32_t b) { return cmp(pool.get(a), pool.get(b)) < 0; });
    uint32_t expected = 0;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i == 0 || cmp(pool.get(ids[i - 1]), pool.get(ids[i])) != 0) ++expected;
        if (ranks[ids[i]] != expected)
            fuzz::fail("a text's rank differs from its place in the sorted dictionary",
                       QString::fromUtf8(pool.get(ids[i]).data(), qsizetype(pool.get(ids[i]).size())));
    }
    if (count != expected + 1) fuzz::fail("the rank count differs", QString::number(count));
    return 0;
}
