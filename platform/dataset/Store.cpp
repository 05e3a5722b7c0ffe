#include "platform/dataset/Store.h"

#include "platform/text/Gbk.h"

#include <QString>
#include <QtEndian>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace dsimpl {

// --- StringPool -----------------------------------------------------------------------------

StringPool::StringPool()
{
    m_starts.push_back(0);
}

namespace {

// A text of at most 16 bytes as two words: with its length they identify it, so short texts
// compare and hash without a loop (overlapping loads cover every byte).
struct ShortKey {
    uint64_t a = 0, b = 0;
    bool operator==(const ShortKey& o) const { return a == o.a && b == o.b; }
};

inline ShortKey shortKey(const char* p, size_t n)
{
    ShortKey k;
    if (n >= 8) {
        std::memcpy(&k.a, p, 8);
        std::memcpy(&k.b, p + n - 8, 8);
    } else if (n >= 4) {
        uint32_t x, y;
        std::memcpy(&x, p, 4);
        std::memcpy(&y, p + n - 4, 4);
        k.a = x | (uint64_t(y) << 32);
    } else if (n > 0) {
        k.a = uint64_t(uint8_t(p[0])) | (uint64_t(uint8_t(p[n / 2])) << 8) | (uint64_t(uint8_t(p[n - 1])) << 16);
    }
    return k;
}

inline uint64_t mix(uint64_t h)
{
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
    return h;
}

inline bool sameBytes(const char* a, const char* b, size_t n)
{
    return std::memcmp(a, b, n) == 0;
}

inline uint64_t shortHash(const ShortKey& k, size_t n)
{
    return mix((k.a * 0x87C37B91114253D5ull) ^ (((k.b << 29) | (k.b >> 35)) * 0x4CF5AD432745937Full) ^
               (uint64_t(n) * 0xC2B2AE3D27D4EB4Full));
}

} // namespace

uint64_t StringPool::hash(std::string_view s)
{
    const char* p = s.data();
    size_t n = s.size();
    if (n <= 16) return shortHash(shortKey(p, n), n);
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (uint64_t(n) * 0xC2B2AE3D27D4EB4Full);
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0x87C37B91114253D5ull;
        h = (h << 31) | (h >> 33);
        p += 8;
        n -= 8;
    }
    if (n) {
        uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * 0x87C37B91114253D5ull;
    }
    return mix(h);
}

void StringPool::grow(size_t atLeast)
{
    size_t newSize = m_table.empty() ? 64 : m_table.size() * 2;
    while (newSize * 3 < atLeast * 4 || newSize * 3 < (size_t(size()) + 1) * 4) newSize *= 2;
    std::vector<uint64_t> old;
    old.swap(m_table);
    m_table.assign(newSize, 0);
    m_mask = uint32_t(newSize - 1);
    if (!old.empty()) {
        for (uint64_t e : old) {
            if (!e) continue;
            uint32_t slot = uint32_t(e >> 32) & m_mask;
            while (m_table[slot]) slot = (slot + 1) & m_mask;
            m_table[slot] = e;
        }
    } else {
        // The table was dropped after a load: hash the texts again.
        for (uint32_t id = 0; id < size(); ++id) {
            const uint64_t tag = hash(get(id)) >> 32;
            uint32_t slot = uint32_t(tag) & m_mask;
            while (m_table[slot]) slot = (slot + 1) & m_mask;
            m_table[slot] = (tag << 32) | (uint64_t(id) + 1);
        }
    }
}


uint32_t StringPool::intern(std::string_view s)
{
    const size_t n = s.size();
    if (n <= 16) {
        // The short key serves the check against the text before and the hash.
        const ShortKey key = shortKey(s.data(), n);
        if (m_last != kNullId && m_lastLen == n && key.a == m_lastA && key.b == m_lastB) return m_last;
        return intern(s, shortHash(key, n));
    }
    if (m_last != kNullId && m_lastLen == n && sameBytes(m_bytes.data() + m_starts[m_last], s.data(), n)) return m_last;
    return intern(s, hash(s));
}

uint32_t StringPool::intern(std::string_view s, uint64_t h)
{
    const size_t n = s.size();
    const bool isShort = n <= 16;
    const ShortKey key = isShort ? shortKey(s.data(), n) : ShortKey();
    // Lists are sorted, so a value often repeats the one before it.
    if (m_last != kNullId && m_lastLen == n) {
        if (isShort) {
            if (key.a == m_lastA && key.b == m_lastB) return m_last;
        } else if (sameBytes(m_bytes.data() + m_starts[m_last], s.data(), n)) {
            return m_last;
        }
    }
    // Filled up to three quarters: the probes of a slot mostly stay in its cache line.
    if ((size_t(size()) + 1) * 4 > m_table.size() * 3) grow();
    const uint64_t tag = h >> 32;
    uint32_t slot = uint32_t(tag) & m_mask;
    for (;;) {
        const uint64_t e = m_table[slot];
        if (!e) break;
        if ((e >> 32) == tag) {
            const uint32_t id = uint32_t(e) - 1;
            const uint32_t a = m_starts[id], b = m_starts[id + 1];
            if (b - a == n) {
                const char* q = m_bytes.data() + a;
                if (isShort ? shortKey(q, n) == key : sameBytes(q, s.data(), n)) {
                    m_last = id;
                    m_lastLen = uint32_t(n);
                    m_lastA = key.a;
                    m_lastB = key.b;
                    return id;
                }
            }
        }
        slot = (slot + 1) & m_mask;
    }
    const uint32_t id = add(s);
    m_table[slot] = (tag << 32) | (uint64_t(id) + 1);
    m_last = id;
    m_lastLen = uint32_t(n);
    m_lastA = key.a;
    m_lastB = key.b;
    return id;
}

// A new entry holding s.
uint32_t StringPool::add(std::string_view s)
{
    const size_t n = s.size();
    if (m_bytes.size() + n > 0xFFFFFFF0u)
        throw DatasetError(QStringLiteral("数据量过大：一列的文字超过 4 GB"));
    const uint32_t id = size();
    if (m_slowGrowth) {
        if (m_bytes.size() + n > m_bytes.capacity()) m_bytes.reserve(m_bytes.size() + n + m_bytes.size() / 8);
        if (m_starts.size() == m_starts.capacity()) m_starts.reserve(m_starts.size() + 1 + m_starts.size() / 8);
    }
    m_bytes.insert(m_bytes.end(), s.begin(), s.end());
    m_starts.push_back(uint32_t(m_bytes.size()));
    return id;
}

uint32_t StringPool::append(std::string_view s, uint64_t h)
{
    // The lookup table would not know the texts added here.
    if (!m_table.empty()) dropTable();
    m_last = kNullId;
    // Small enough to stay in the cache: it catches the empty text and the few phrases that
    // recur among otherwise distinct texts.
    constexpr size_t kRecent = 4096;
    if (m_recent.empty()) m_recent.assign(kRecent, 0);
    uint64_t& e = m_recent[size_t(h) & (kRecent - 1)];
    if (e && (e >> 32) == (h >> 32)) {
        const uint32_t id = uint32_t(e) - 1;
        if (get(id) == s) return id;
    }
    const uint32_t id = add(s);
    e = ((h >> 32) << 32) | (uint64_t(id) + 1);
    return id;
}

size_t StringPool::memoryBytes() const
{
    return m_bytes.capacity() + m_starts.capacity() * 4 + m_table.capacity() * 8 + m_recent.capacity() * 8;
}

void StringPool::shrink()
{
    if (m_bytes.capacity() - m_bytes.size() > m_bytes.size() / 8) m_bytes.shrink_to_fit();
    if (m_starts.capacity() - m_starts.size() > m_starts.size() / 8) m_starts.shrink_to_fit();
    dropTable();
}

void StringPool::dropTable()
{
    std::vector<uint64_t>().swap(m_table);
    m_mask = 0;
    std::vector<uint64_t>().swap(m_recent);
}

// --- Column ---------------------------------------------------------------------------------

void Column::appendNull()
{
    switch (kind) {
    case Kind::Str: ids.push_back(kNullId); break;
    case Kind::Int: ints.push_back(0); flags.push_back(1); break;
    case Kind::Dbl: dbls.push_back(0); flags.push_back(1); break;
    case Kind::Bool: flags.push_back(2); break;
    }
}

void Column::setNull(size_t r)
{
    switch (kind) {
    case Kind::Str: ids[r] = kNullId; break;
    case Kind::Int: ints[r] = 0; flags[r] = 1; break;
    case Kind::Dbl: dbls[r] = 0; flags[r] = 1; break;
    case Kind::Bool: flags[r] = 2; break;
    }
    ++version;
}

void Column::resizeNull(size_t n)
{
    switch (kind) {
    case Kind::Str: ids.resize(n, kNullId); break;
    case Kind::Int: ints.resize(n, 0); flags.resize(n, 1); break;
    case Kind::Dbl: dbls.resize(n, 0); flags.resize(n, 1); break;
    case Kind::Bool: flags.resize(n, 2); break;
    }
    ++version;
}

size_t Column::memoryBytes() const
{
    return ids.capacity() * 4 + pool->memoryBytes() + ints.capacity() * 8 + dbls.capacity() * 8 +
           flags.capacity() + ranks.capacity() * 4;
}

void Column::shrink()
{
    // The row vectors keep their slack (copying them would cost more than the memory saved);
    // the text arena is trimmed.
    pool->shrink();
}

void reserveLike(Store& fresh, const Store* previous)
{
    if (!previous || previous->cols.size() != fresh.cols.size()) return;
    const size_t rows = previous->rows;
    for (size_t i = 0; i < fresh.cols.size(); ++i) {
        Column& c = fresh.cols[i];
        const Column& p = previous->cols[i];
        if (c.kind != p.kind) continue;
        switch (c.kind) {
        case Kind::Str:
            c.ids.reserve(rows);
            c.pool = p.pool;
            c.pool->growSlowly();
            break;
        case Kind::Int: c.ints.reserve(rows); c.flags.reserve(rows); break;
        case Kind::Dbl: c.dbls.reserve(rows); c.flags.reserve(rows); break;
        case Kind::Bool: c.flags.reserve(rows); break;
        }
    }
}

void compactSharedTexts(Store& st)
{
    for (Column& c : st.cols) {
        if (c.kind != Kind::Str || c.pool.use_count() < 2) continue;
        const StringPool& old = *c.pool;
        std::vector<uint8_t> used(old.size(), 0);
        size_t distinct = 0;
        for (const uint32_t id : c.ids)
            if (id != kNullId && !used[id]) {
                used[id] = 1;
                ++distinct;
            }
        if (old.size() <= 2 * distinct + 1024) continue;
        auto fresh = std::make_shared<StringPool>();
        std::vector<uint32_t> map(old.size(), kNullId);
        for (uint32_t& id : c.ids) {
            if (id == kNullId) continue;
            uint32_t& m = map[id];
            if (m == kNullId) m = fresh->intern(old.get(id));
            id = m;
        }
        fresh->shrink();
        c.pool = std::move(fresh);
        ++c.version;
    }
}

size_t Store::memoryBytes() const
{
    size_t n = deleted.capacity() + cols.capacity() * sizeof(Column);
    for (const Column& c : cols) n += c.memoryBytes();
    return n;
}

// --- text order -----------------------------------------------------------------------------

namespace {

// Code point starting at p (p points at a lead byte); advances p.
inline uint32_t decodeUtf8(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char b = *p++;
    if (b < 0x80) return b;
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    uint32_t cp = b & (0x3F >> extra);
    while (extra-- > 0 && p < end && (*p & 0xC0) == 0x80) cp = (cp << 6) | (*p++ & 0x3F);
    return cp;
}

// Sort keys of the basic plane, looked up once each (0: not looked up yet).
std::vector<uint32_t>& gbkKeyTable()
{
    static std::vector<uint32_t> table(0x10000, 0);
    return table;
}

Q_DECL_COLD_FUNCTION uint32_t lookUpGbkKey(uint32_t cp)
{
    uint32_t& k = gbkKeyTable()[cp];
    bool ok = true;
    const QByteArray g = Gbk::encode(QString(QChar(char16_t(cp))), &ok);
    if (ok && g.size() == 2)
        k = (uint32_t(uint8_t(g[0])) << 8) | uint8_t(g[1]);
    else if (ok && g.size() == 1)
        k = uint8_t(g[0]);
    else
        k = 0x10000 + cp;
    return k;
}

// Sort key of one character: its GBK code (one byte or lead*256+trail), or 0x10000 + code
// point when GBK cannot encode it. Comparing these keys one by one equals comparing GBK bytes.
inline uint32_t gbkKey(uint32_t cp, const uint32_t* table)
{
    if (cp < 0x80) return cp;
    if (cp > 0xFFFF) return 0x10000 + cp;
    const uint32_t k = table[cp];
    return k ? k : lookUpGbkKey(cp);
}

inline uint32_t gbkKey(uint32_t cp)
{
    return gbkKey(cp, gbkKeyTable().data());
}

inline unsigned char foldAscii(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

template <bool CaseIns>
int compareImpl(std::string_view a, std::string_view b)
{
    const auto* pa = reinterpret_cast<const unsigned char*>(a.data());
    const auto* pb = reinterpret_cast<const unsigned char*>(b.data());
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (; i < n; ++i) {
        unsigned char ca = pa[i], cb = pb[i];
        if (CaseIns) {
            ca = foldAscii(ca);
            cb = foldAscii(cb);
        }
        if (ca != cb) break;
    }
    if (i == n) return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    unsigned char ca = pa[i], cb = pb[i];
    if (ca < 0x80 && cb < 0x80) {
        if (CaseIns) {
            ca = foldAscii(ca);
            cb = foldAscii(cb);
        }
        return ca < cb ? -1 : 1;
    }
    // Back to the start of the character holding the difference (equal so far in both).
    size_t s = i;
    while (s > 0 && (pa[s] & 0xC0) == 0x80) --s;
    const unsigned char* qa = pa + s;
    const unsigned char* qb = pb + s;
    const unsigned char* ea = pa + a.size();
    const unsigned char* eb = pb + b.size();
    while (qa < ea && qb < eb) {
        uint32_t ka = decodeUtf8(qa, ea), kb = decodeUtf8(qb, eb);
        if (CaseIns) {
            if (ka < 0x80) ka = foldAscii(uint8_t(ka));
            if (kb < 0x80) kb = foldAscii(uint8_t(kb));
        }
        ka = gbkKey(ka);
        kb = gbkKey(kb);
        if (ka != kb) return ka < kb ? -1 : 1;
    }
    if (qa < ea) return 1;
    if (qb < eb) return -1;
    return 0;
}

} // namespace

int compareGbk(std::string_view a, std::string_view b)
{
    return compareImpl<false>(a, b);
}

int compareGbkCaseIns(std::string_view a, std::string_view b)
{
    return compareImpl<true>(a, b);
}

namespace {

// Sixteen bytes of a text's sort key, from key byte `skip` on, as two big-endian words. The key
// is the text's GBK bytes (ASCII folded to upper case when asked; a character GBK cannot encode
// as 0xFF and its key in three bytes): comparing keys byte by byte orders as compareImpl does,
// and equal keys are equal texts. len is the number of key bytes in the window, or 17 when the
// key goes on past it; a shorter key sorts first, as a text sorts before its continuations.
struct KeyWindow {
    uint64_t hi, lo;
    uint32_t id;
    uint32_t len;
    bool sameKey(const KeyWindow& o) const { return hi == o.hi && lo == o.lo && len == o.len; }
    bool operator<(const KeyWindow& o) const
    {
        if (hi != o.hi) return hi < o.hi;
        if (lo != o.lo) return lo < o.lo;
        return len != o.len ? len < o.len : id < o.id;
    }
};

inline KeyWindow keyWindow(std::string_view s, bool caseIns, uint32_t id, uint32_t skip, const uint32_t* table)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* e = p + s.size();
    unsigned char window[20] = {}; // the sixteen bytes and what the last character puts past them
    uint32_t n = 0;                // key bytes produced
    auto put = [&](unsigned b) {
        if (n >= skip) window[n - skip] = static_cast<unsigned char>(b);
        ++n;
    };
    // One byte past the window tells whether the key goes on.
    while (p < e && n <= skip + 16) {
        uint32_t cp = *p;
        if (cp < 0x80) {
            put(caseIns ? foldAscii(uint8_t(cp)) : cp);
            ++p;
            continue;
        }
        if ((cp & 0xF0) == 0xE0 && e - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
            // Three bytes: most of the characters of a Chinese text.
            cp = ((cp & 0x0F) << 12) | (uint32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            p += 3;
        } else {
            cp = decodeUtf8(p, e);
        }
        const uint32_t c = gbkKey(cp, table);
        if (c >= 0x10000) {
            put(0xFF);
            put(c >> 16);
            put(c >> 8);
            put(c);
        } else if (c >= 0x100) {
            put(c >> 8);
            put(c);
        } else {
            put(c);
        }
    }
    KeyWindow k;
    uint64_t w;
    std::memcpy(&w, window, 8);
    k.hi = qFromBigEndian(w);
    std::memcpy(&w, window + 8, 8);
    k.lo = qFromBigEndian(w);
    k.id = id;
    k.len = n <= skip ? 0 : std::min(n - skip, 17u);
    return k;
}

// Every text's first window, sorted. A large pool is sorted by the first sixteen key bits into
// buckets, then each bucket: texts in one language spread over thousands of first characters,
// so each std::sort runs on a few hundred entries that stay in the cache.
void sortFirstWindows(const StringPool& pool, bool caseIns, KeyWindow* keys, const uint32_t* table)
{
    const uint32_t d = pool.size();
    if (d < 4096) {
        for (uint32_t id = 0; id < d; ++id) keys[id] = keyWindow(pool.get(id), caseIns, id, 0, table);
        std::sort(keys, keys + d);
        return;
    }
    std::vector<uint32_t> start(65537, 0);
    std::unique_ptr<KeyWindow[]> first(new KeyWindow[d]); // each entry is written before it is read
    for (uint32_t id = 0; id < d; ++id) {
        first[id] = keyWindow(pool.get(id), caseIns, id, 0, table);
        ++start[(first[id].hi >> 48) + 1];
    }
    for (size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
    std::vector<uint32_t> next(start.begin(), start.end() - 1);
    for (uint32_t i = 0; i < d; ++i) keys[next[first[i].hi >> 48]++] = first[i];
    for (size_t b = 0; b + 1 < start.size(); ++b)
        if (start[b + 1] - start[b] > 1) std::sort(keys + start[b], keys + start[b + 1]);
}

} // namespace

uint32_t rankTexts(const StringPool& pool, bool caseIns, std::vector<uint32_t>& ranks)
{
    const uint32_t d = pool.size();
    const uint32_t* table = gbkKeyTable().data();
    std::unique_ptr<KeyWindow[]> sorted(new KeyWindow[d]);
    KeyWindow* keys = sorted.get();
    sortFirstWindows(pool, caseIns, keys, table);

    // Runs of equal windows whose keys go on are ordered by their next windows, and so on. A run
    // of equal windows that end within the window is a run of equal texts (by id, as sorted).
    // The next windows of a round are read in id order: the texts lie in the arena in that
    // order, so the reads go forward through it instead of jumping for every entry.
    std::vector<uint8_t> equalToPrevious(d, 0);
    struct Run {
        uint32_t begin, end;
    };
    std::vector<Run> runs, next;
    auto scan = [&](uint32_t begin, uint32_t end) {
        for (uint32_t i = begin; i < end;) {
            uint32_t j = i + 1;
            while (j < end && keys[j].sameKey(keys[i])) ++j;
            if (j - i > 1) {
                if (keys[i].len > 16) next.push_back({i, j});
                else std::fill(equalToPrevious.begin() + i + 1, equalToPrevious.begin() + j, 1);
            }
            i = j;
        }
    };
    scan(0, d);
    std::vector<uint32_t> slotOf;
    // Windows are taken from the start of a text, so texts that share long beginnings (a form
    // letter with a varying end) are compared whole once their first windows are equal.
    constexpr uint32_t kWindowedBytes = 64;
    for (uint32_t skip = 16; !next.empty(); skip += 16) {
        runs.swap(next);
        next.clear();
        if (skip >= kWindowedBytes) {
            const auto cmp = caseIns ? compareGbkCaseIns : compareGbk;
            for (const Run& r : runs) {
                std::sort(keys + r.begin, keys + r.end, [&](const KeyWindow& a, const KeyWindow& b) {
                    const int c = cmp(pool.get(a.id), pool.get(b.id));
                    return c != 0 ? c < 0 : a.id < b.id;
                });
                for (uint32_t i = r.begin + 1; i < r.end; ++i)
                    equalToPrevious[i] = cmp(pool.get(keys[i - 1].id), pool.get(keys[i].id)) == 0;
            }
            break;
        }
        slotOf.assign(d, UINT32_MAX);
        for (const Run& r : runs)
            for (uint32_t i = r.begin; i < r.end; ++i) slotOf[keys[i].id] = i;
        for (uint32_t id = 0; id < d; ++id)
            if (slotOf[id] != UINT32_MAX) keys[slotOf[id]] = keyWindow(pool.get(id), caseIns, id, skip, table);
        for (const Run& r : runs) {
            std::sort(keys + r.begin, keys + r.end);
            scan(r.begin, r.end);
        }
    }
    ranks.assign(d, 0);
    uint32_t rank = 0;
    for (uint32_t i = 0; i < d; ++i) {
        if (!equalToPrevious[i]) ++rank;
        ranks[keys[i].id] = rank;
    }
    return rank + 1;
}

bool equalsCaseIns(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldAscii(uint8_t(a[i])) != foldAscii(uint8_t(b[i]))) return false;
    return true;
}

bool startsWithCaseIns(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && equalsCaseIns(s.substr(0, prefix.size()), prefix);
}

// --- numbers --------------------------------------------------------------------------------

static std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool parseDouble(std::string_view s, double& out)
{
    s = trimmed(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size() && std::isfinite(out);
}

bool parseInt64(std::string_view s, int64_t& out)
{
    s = trimmed(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    if (ec == std::errc() && p == s.data() + s.size()) return true;
    double d;
    if (parseDouble(s, d) && std::fabs(d) < 9.2e18) {
        out = int64_t(std::llround(d));
        return true;
    }
    return false;
}

std::string numberText(double v)
{
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
        return buf;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

// --- UTF-8 --------------------------------------------------------------------------------------

namespace {

// Length of the well-formed UTF-8 sequence at s[i], 0 when there is none (RFC 3629: no
// overlong forms, no surrogates, nothing above U+10FFFF).
size_t utf8SequenceAt(std::string_view s, size_t i)
{
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) return 1;
    size_t n;
    unsigned char lo = 0x80, hi = 0xBF; // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c == 0xE0) { n = 3; lo = 0xA0; }
    else if (c >= 0xE1 && c <= 0xEC) n = 3;
    else if (c == 0xED) { n = 3; hi = 0x9F; }
    else if (c >= 0xEE && c <= 0xEF) n = 3;
    else if (c == 0xF0) { n = 4; lo = 0x90; }
    else if (c >= 0xF1 && c <= 0xF3) n = 4;
    else if (c == 0xF4) { n = 4; hi = 0x8F; }
    else return 0;
    if (i + n > s.size()) return 0;
    if (b(i + 1) < lo || b(i + 1) > hi) return 0;
    for (size_t k = 2; k < n; ++k)
        if (b(i + k) < 0x80 || b(i + k) > 0xBF) return 0;
    return n;
}

} // namespace

bool isValidUtf8(std::string_view s)
{
    size_t i = 0;
    // Plain ASCII eight bytes at a time: most texts are, and loading checks every one.
    while (i + 8 <= s.size()) {
        uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        if (w & 0x8080808080808080ULL) break;
        i += 8;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    while (i < s.size()) {
        // The common cases in line: ASCII, and a character of the basic plane outside the
        // ranges with a narrower second byte (E0, ED) in three bytes, as Chinese text is.
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        if (p[i] >= 0xE1 && p[i] != 0xED && p[i] <= 0xEF && i + 2 < s.size() && (p[i + 1] & 0xC0) == 0x80 &&
            (p[i + 2] & 0xC0) == 0x80) {
            i += 3;
            continue;
        }
        const size_t n = utf8SequenceAt(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string_view repairedUtf8(std::string_view s)
{
    thread_local std::string out;
    out.clear();
    out.reserve(s.size() + 8);
    for (size_t i = 0; i < s.size();) {
        const size_t n = utf8SequenceAt(s, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(s.data() + i, n);
            i += n;
        }
    }
    return out;
}

} // namespace dsimpl
