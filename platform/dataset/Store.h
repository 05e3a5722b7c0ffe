// Columnar storage of the client dataset (internal). Text lives in one arena per column and is
// dictionary-encoded: a row holds the 32-bit id of its text, so repeated codes and names cost
// four bytes a row.
#pragma once

#include "platform/dataset/Field.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace dsimpl {

// Whether s is well-formed UTF-8 (no overlong forms, surrogates or values above U+10FFFF).
bool isValidUtf8(std::string_view s);
// s with every byte that starts no well-formed sequence replaced by U+FFFD; valid until the next
// call on the same thread.
std::string_view repairedUtf8(std::string_view s);

constexpr uint32_t kNullId = 0xFFFFFFFFu;

// Deduplicating pool of byte strings.
class StringPool {
public:
    StringPool();
    // (The text before is checked first, without hashing: lists repeat values row after row.)
    uint32_t intern(std::string_view s);
    // The same with the text's hash already taken (hash(s)).
    uint32_t intern(std::string_view s, uint64_t h);
    // Stores a text as a new entry unless one of a few thousand recently stored texts equals
    // it: for a column of nearly distinct texts, where a lookup in the whole dictionary would
    // mostly miss the cache and find nothing. Equal texts may then have several ids, so that
    // readers compare texts, never ids. Drops the lookup table (the next intern rebuilds it).
    uint32_t append(std::string_view s, uint64_t h);
    static uint64_t hash(std::string_view s);
    // Starts loading the table slot of a hash into the cache: a load takes the hashes of a whole
    // row first, so that the misses of its columns overlap instead of following one another.
    void prefetch(uint64_t h) const
    {
        if (!m_table.empty()) __builtin_prefetch(m_table.data() + (uint32_t(h >> 32) & m_mask));
    }
    // The next steps once the slot is at hand: the offsets of the text a hit would compare, then
    // its bytes. Each returns the candidate's id (kNullId: none, nothing to fetch).
    uint32_t prefetchOffsets(uint64_t h) const
    {
        if (m_table.empty()) return 0xFFFFFFFFu;
        // The probe's first slots (at three quarters full most hits are within a few).
        uint32_t slot = uint32_t(h >> 32) & m_mask;
        for (int k = 0; k < 6; ++k, slot = (slot + 1) & m_mask) {
            const uint64_t e = m_table[slot];
            if (!e) break;
            if ((e >> 32) == (h >> 32)) {
                const uint32_t id = uint32_t(e) - 1;
                __builtin_prefetch(m_starts.data() + id);
                return id;
            }
        }
        return 0xFFFFFFFFu;
    }
    void prefetchBytes(uint32_t id) const
    {
        if (id >= size()) return;
        __builtin_prefetch(m_bytes.data() + m_starts[id]);
        __builtin_prefetch(m_bytes.data() + m_starts[id + 1] - 1);
    }
    std::string_view get(uint32_t id) const
    {
        return std::string_view(m_bytes.data() + m_starts[id], m_starts[id + 1] - m_starts[id]);
    }
    uint32_t size() const { return uint32_t(m_starts.size() - 1); }
    // Every text one after another, and where text id starts in them: a search for bytes runs
    // over the whole dictionary at once.
    std::string_view arena() const { return std::string_view(m_bytes.data(), m_bytes.size()); }
    uint32_t offset(uint32_t id) const { return m_starts[id]; }
    size_t byteSize() const { return m_bytes.size(); }
    size_t memoryBytes() const;
    // Drops the lookup table (rebuilt by the next intern): a loaded column rarely takes new
    // texts, and the table is a tenth of its memory. Trims the arena when a fair part of it is
    // unused.
    void shrink();
    void dropTable();
    // From now on the arrays grow by an eighth instead of doubling: the pool is shared with
    // the rows of an older load that stay alive until the new one is complete, and a doubling
    // would copy the whole arena at the worst moment.
    void growSlowly() { m_slowGrowth = true; }

private:
    void grow(size_t atLeast = 0);
    uint32_t add(std::string_view s);
    std::vector<char> m_bytes;
    std::vector<uint32_t> m_starts; // entry i is [m_starts[i], m_starts[i+1])
    // slot -> (high 32 bits of the hash << 32) | (id + 1), 0 empty: a probe compares the hash
    // before it touches the text, and growing rehashes without reading the texts.
    std::vector<uint64_t> m_table;
    uint32_t m_mask = 0;
    bool m_slowGrowth = false;
    // append(): slot (by hash) -> (high 32 bits of the hash << 32) | (id + 1), 0 empty.
    std::vector<uint64_t> m_recent;
    // The id returned last, with its length and short key.
    uint32_t m_last = 0xFFFFFFFFu;
    uint32_t m_lastLen = 0;
    uint64_t m_lastA = 0, m_lastB = 0;
};

enum class Kind : uint8_t { Str, Int, Dbl, Bool };

inline Kind kindOf(TFieldType t)
{
    switch (t) {
    case ftInteger:
    case ftLargeint: return Kind::Int;
    case ftFloat:
    case ftCurrency: return Kind::Dbl;
    case ftBoolean: return Kind::Bool;
    default: return Kind::Str;
    }
}

struct Column {
    explicit Column(Kind k) : kind(k) {}
    Kind kind;
    std::vector<uint32_t> ids; // Str
    // Str. Shared by the stores of successive loads of a dataset (see shareTexts): texts are
    // only ever added, so the ids of the older rows stay valid.
    std::shared_ptr<StringPool> pool = std::make_shared<StringPool>();
    std::vector<int64_t> ints; // Int
    std::vector<double> dbls;  // Dbl
    std::vector<uint8_t> flags; // Int/Dbl: 1 null; Bool: 0 false, 1 true, 2 null
    uint64_t version = 0;       // bumped by every change

    // Rank cache for sorting: dense rank per string id (or per row for numbers), 0 for null.
    std::vector<uint32_t> ranks;
    uint64_t rankVersion = ~0ull;
    bool rankCaseIns = false;
    uint32_t rankCount = 0;

    size_t rows() const
    {
        switch (kind) {
        case Kind::Str: return ids.size();
        case Kind::Int: return ints.size();
        case Kind::Dbl: return dbls.size();
        case Kind::Bool: return flags.size();
        }
        return 0;
    }
    bool isNull(size_t r) const
    {
        switch (kind) {
        case Kind::Str: return ids[r] == kNullId;
        case Kind::Bool: return flags[r] == 2;
        default: return flags[r] != 0;
        }
    }
    std::string_view str(size_t r) const
    {
        const uint32_t id = ids[r];
        return id == kNullId ? std::string_view() : pool->get(id);
    }
    void appendNull();
    // Texts from a database may hold bytes that are not UTF-8 (a cut character, another code
    // page): they are stored repaired, so that nothing reading the dataset meets them.
    void appendStr(std::string_view s) { ids.push_back(pool->intern(isValidUtf8(s) ? s : repairedUtf8(s))); }
    void appendInt(int64_t v) { ints.push_back(v); flags.push_back(0); }
    void appendDbl(double v) { dbls.push_back(v); flags.push_back(0); }
    void appendBool(bool v) { flags.push_back(v ? 1 : 0); }
    void setNull(size_t r);
    void resizeNull(size_t n); // grows to n rows with nulls
    size_t memoryBytes() const;
    void shrink();
};

struct Store {
    std::vector<Column> cols;
    std::vector<uint8_t> deleted; // 1: row removed (tombstone)
    size_t rows = 0;
    size_t memoryBytes() const;
};

// Reserves in fresh (columns made, no rows yet) the room the previous store of the same shape
// used, and lets its text columns take the previous store's dictionaries: a reload of much the
// same rows then stores no text twice and grows no vector by copying, which keeps its peak
// memory down while both stores live (a failed reload keeps the old rows).
void reserveLike(Store& fresh, const Store* previous);
// After a load into columns that took a previous store's dictionaries: a dictionary holding
// more than twice the texts the new rows use is rebuilt with those only (the old rows are
// about to go), so that reloads of changing data do not pile up texts.
void compactSharedTexts(Store& st);

// Dense ranks (1-based) of the texts of a pool in GBK order, equal texts one rank: ranks[id].
// Sorts on a 64-bit prefix of the GBK bytes and compares whole texts only where prefixes tie.
// Returns the number of ranks + 1.
uint32_t rankTexts(const StringPool& pool, bool caseIns, std::vector<uint32_t>& ranks);

// Orders UTF-8 texts as their GBK bytes (ASCII first, then GB2312 characters in pinyin order);
// characters GBK cannot encode come last, by code point.
int compareGbk(std::string_view a, std::string_view b);
// The same without regard to ASCII letter case.
int compareGbkCaseIns(std::string_view a, std::string_view b);
bool equalsCaseIns(std::string_view a, std::string_view b);
bool startsWithCaseIns(std::string_view s, std::string_view prefix);

// Number parsing of text as the dataset coerces it ("12", " 3.5 ", "1e3"); false when not a number.
bool parseDouble(std::string_view s, double& out);
bool parseInt64(std::string_view s, int64_t& out);
// Plain text of a number (integers without a fraction, others with up to 15 digits).
std::string numberText(double v);

} // namespace dsimpl
