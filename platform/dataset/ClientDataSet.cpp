#include "platform/dataset/ClientDataSet.h"

#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/FilterExpr.h"
#include "platform/dataset/FormatFloat.h"
#include "platform/dataset/Store.h"
#include "platform/db/Db.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <string_view>

using namespace dsimpl;

namespace {

QStringList splitFieldList(const QString& s)
{
    QStringList out;
    for (const QString& p : s.split(u';', Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        if (!t.isEmpty()) out << t;
    }
    return out;
}

// Text of a value for a string column.
std::string variantText(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: return numberText(v.toDouble());
    case QMetaType::Bool: return v.toBool() ? "True" : "False";
    default: return v.toString().toUtf8().toStdString();
    }
}

bool isNumberVariant(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong: return true;
    default: return false;
    }
}

int parseBool(std::string_view s) // 1 true, 0 false, -1 not a Boolean
{
    QString t = QString::fromUtf8(s.data(), qsizetype(s.size())).trimmed().toUpper();
    if (t == QLatin1String("TRUE") || t == QLatin1String("T") || t == QLatin1String("1") ||
        t == QLatin1String("Y") || t == QLatin1String("YES") || t == QStringLiteral("是"))
        return 1;
    if (t == QLatin1String("FALSE") || t == QLatin1String("F") || t == QLatin1String("0") ||
        t == QLatin1String("N") || t == QLatin1String("NO") || t == QStringLiteral("否"))
        return 0;
    return -1;
}

// Writes v (already non-null) into column c at row r, coerced to the column's kind.
void storeVariant(Column& c, size_t r, const QVariant& v, const QString& fieldName)
{
    switch (c.kind) {
    case Kind::Str: c.ids[r] = c.pool->intern(variantText(v)); break;
    case Kind::Int: {
        int64_t x;
        if (isNumberVariant(v)) {
            x = v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float
                    ? int64_t(std::llround(v.toDouble()))
                    : v.toLongLong();
        } else if (v.typeId() == QMetaType::Bool) {
            x = v.toBool() ? 1 : 0;
        } else {
            const QByteArray t = v.toString().toUtf8();
            if (t.trimmed().isEmpty()) {
                c.setNull(r);
                return;
            }
            if (!parseInt64(std::string_view(t.constData(), size_t(t.size())), x))
                throw DatasetError(QStringLiteral("“%1”不是字段“%2”的有效整数").arg(v.toString(), fieldName));
        }
        c.ints[r] = x;
        c.flags[r] = 0;
        break;
    }
    case Kind::Dbl: {
        double x;
        if (isNumberVariant(v)) {
            x = v.toDouble();
        } else if (v.typeId() == QMetaType::Bool) {
            x = v.toBool() ? 1 : 0;
        } else {
            const QByteArray t = v.toString().toUtf8();
            if (t.trimmed().isEmpty()) {
                c.setNull(r);
                return;
            }
            if (!parseDouble(std::string_view(t.constData(), size_t(t.size())), x))
                throw DatasetError(QStringLiteral("“%1”不是字段“%2”的有效数值").arg(v.toString(), fieldName));
        }
        c.dbls[r] = x;
        c.flags[r] = 0;
        break;
    }
    case Kind::Bool: {
        int b;
        if (v.typeId() == QMetaType::Bool) b = v.toBool() ? 1 : 0;
        else if (isNumberVariant(v)) b = v.toDouble() != 0 ? 1 : 0;
        else {
            const QByteArray t = v.toString().toUtf8();
            if (t.trimmed().isEmpty()) {
                c.setNull(r);
                return;
            }
            b = parseBool(std::string_view(t.constData(), size_t(t.size())));
            if (b < 0)
                throw DatasetError(QStringLiteral("“%1”不是字段“%2”的有效逻辑值").arg(v.toString(), fieldName));
        }
        c.flags[r] = uint8_t(b);
        break;
    }
    }
    ++c.version;
}

QVariant readVariant(const Column& c, size_t r)
{
    if (c.isNull(r)) return {};
    switch (c.kind) {
    case Kind::Str: {
        const auto s = c.str(r);
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }
    case Kind::Int: return QVariant(qint64(c.ints[r]));
    case Kind::Dbl: return QVariant(c.dbls[r]);
    case Kind::Bool: return QVariant(c.flags[r] == 1);
    }
    return {};
}

// Dense rank (1-based; 0 for null) of every string id, or of every row for other kinds.
void ensureRanks(Column& c, bool caseIns)
{
    if (c.rankVersion == c.version && (c.kind != Kind::Str || c.rankCaseIns == caseIns)) return;
    if (c.kind == Kind::Str) {
        c.rankCount = rankTexts(*c.pool, caseIns, c.ranks);
    } else if (c.kind == Kind::Bool) {
        const size_t n = c.flags.size();
        c.ranks.resize(n);
        for (size_t i = 0; i < n; ++i) c.ranks[i] = c.flags[i] == 2 ? 0 : c.flags[i] + 1u;
        c.rankCount = 3;
    } else {
        const size_t n = c.rows();
        std::vector<uint32_t> order;
        order.reserve(n);
        for (size_t i = 0; i < n; ++i)
            if (!c.isNull(i)) order.push_back(uint32_t(i));
        c.ranks.assign(n, 0);
        uint32_t rank = 0;
        if (c.kind == Kind::Int) {
            std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return c.ints[a] < c.ints[b]; });
            for (size_t i = 0; i < order.size(); ++i) {
                if (i == 0 || c.ints[order[i - 1]] != c.ints[order[i]]) ++rank;
                c.ranks[order[i]] = rank;
            }
        } else {
            std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return c.dbls[a] < c.dbls[b]; });
            for (size_t i = 0; i < order.size(); ++i) {
                if (i == 0 || c.dbls[order[i - 1]] != c.dbls[order[i]]) ++rank;
                c.ranks[order[i]] = rank;
            }
        }
        c.rankCount = rank + 1;
    }
    c.rankVersion = c.version;
    c.rankCaseIns = caseIns;
}

inline uint32_t rowRank(const Column& c, int row)
{
    if (c.kind == Kind::Str) {
        const uint32_t id = c.ids[size_t(row)];
        return id == kNullId ? 0 : c.ranks[id];
    }
    return c.ranks[size_t(row)];
}

// One stable counting-sort pass of perm by the key of column c. The work buffers are kept
// between sorts (user-interface thread only): fresh ones cost a page fault per 4 KB each time.
void countingPass(std::vector<int>& perm, const Column& c, bool desc)
{
    static std::vector<uint32_t> keys, count;
    static std::vector<int> out;
    const uint32_t R = c.rankCount;
    keys.resize(perm.size());
    for (size_t i = 0; i < perm.size(); ++i) {
        const uint32_t k = rowRank(c, perm[i]);
        keys[i] = desc ? R - 1 - k : k;
    }
    count.assign(size_t(R) + 1, 0);
    for (size_t i = 0; i < perm.size(); ++i) ++count[keys[i] + 1];
    for (size_t i = 1; i < count.size(); ++i) count[i] += count[i - 1];
    out.resize(perm.size());
    for (size_t i = 0; i < perm.size(); ++i) out[count[keys[i]]++] = perm[i];
    perm.swap(out);
}

} // namespace

// --- construction ---------------------------------------------------------------------------

TClientDataSet::TClientDataSet(QObject* parent) : QObject(parent)
{
}

TClientDataSet::~TClientDataSet()
{
    for (TField* f : m_fields) {
        f->m_ds = nullptr;
        f->m_col = -1;
    }
    m_fields.clear();
}

// --- fields ---------------------------------------------------------------------------------

TField* TClientDataSet::FindField(const QString& name) const
{
    for (TField* f : m_fields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0) return f;
    return nullptr;
}

TField* TClientDataSet::FieldByName(const QString& name) const
{
    TField* f = FindField(name);
    if (!f) throw DatasetError(QStringLiteral("%1：没有字段“%2”").arg(objectName(), name));
    return f;
}

TField* TClientDataSet::addField(const QString& name, TFieldType type, int size)
{
    if (FindField(name)) throw DatasetError(QStringLiteral("字段名“%1”重复").arg(name));
    TField* f = createField(type, this);
    f->setFieldName(name);
    f->setSize(size);
    f->setObjectName(objectName() + name);
    f->setDataSet(this);
    return f;
}

void TClientDataSet::attachField(TField* f)
{
    if (m_fields.contains(f)) return;
    if (!f->FieldName().isEmpty() && FindField(f->FieldName()))
        throw DatasetError(QStringLiteral("字段名“%1”重复").arg(f->FieldName()));
    f->m_ds = this;
    m_fields.append(f);
    if (m_store) {
        // An open dataset gains an empty column.
        m_store->cols.emplace_back(kindOf(f->DataType()));
        m_store->cols.back().resizeNull(m_store->rows);
        f->m_col = int(m_store->cols.size() - 1);
        ++m_rowsStamp;
    }
    Q_EMIT fieldsChanged();
    if (m_store) notifyDataSet();
}

void TClientDataSet::detachField(TField* f)
{
    const int i = int(m_fields.indexOf(f));
    if (i < 0) return;
    m_fields.removeAt(i);
    f->m_ds = nullptr;
    f->m_col = -1;
    if (m_store && size_t(i) < m_store->cols.size()) {
        m_store->cols.erase(m_store->cols.begin() + i);
        ++m_rowsStamp;
        for (int k = i; k < m_fields.size(); ++k) m_fields[k]->m_col = k;
        m_filter.reset();
        try {
            rebuildView(Bookmark());
        } catch (const DatasetError&) {
            // the index named the removed field: natural order
            m_indexName.clear();
            m_indexFieldNames.clear();
            rebuildView(Bookmark());
        }
    }
    Q_EMIT fieldsChanged();
    if (m_store) notifyDataSet();
}

void TClientDataSet::fieldPropertyChanged()
{
    if (m_disableCount == 0) Q_EMIT fieldsChanged();
}

// --- opening --------------------------------------------------------------------------------

void TClientDataSet::checkActive() const
{
    if (!Active()) throw DatasetError(QStringLiteral("%1：数据集没有打开").arg(objectName()));
}

void TClientDataSet::Open()
{
    if (Active()) return;
    if (m_provider) {
        m_provider->CopyTo(*this);
        return;
    }
    CreateDataSet();
}

void TClientDataSet::Refresh()
{
    if (m_provider) {
        if (m_state == dsEdit || m_state == dsInsert) Post();
        m_provider->CopyTo(*this);
        return;
    }
    checkActive();
    rebuildView(Bookmark());
    notifyDataSet();
}

void TClientDataSet::Close()
{
    if (!Active() && !m_store) return;
    m_store.reset();
    m_natural.clear();
    ++m_rowsStamp;
    m_sorted = SortedRows();
    m_view.clear();
    m_pos = -1;
    m_bof = m_eof = true;
    m_accessRow = -1;
    m_editRow = -1;
    m_editSaved.clear();
    m_filter.reset();
    m_state = dsInactive;
    for (TField* f : m_fields) f->m_col = -1;
    destroyDynamicFields();
    Q_EMIT stateChanged();
    notifyDataSet();
}

void TClientDataSet::destroyDynamicFields()
{
    const QList<TField*> all = m_fields;
    bool any = false;
    for (TField* f : all) {
        if (f->IsDynamic()) {
            any = true;
            delete f; // detaches itself
        }
    }
    if (any) Q_EMIT fieldsChanged();
}

void TClientDataSet::CreateDataSet()
{
    if (m_fields.isEmpty()) throw DatasetError(QStringLiteral("%1：没有定义字段，无法创建数据集").arg(objectName()));
    auto st = std::make_unique<Store>();
    for (TField* f : m_fields) st->cols.emplace_back(kindOf(f->DataType()));
    applyStore(std::move(st));
}

void TClientDataSet::EmptyDataSet()
{
    checkActive();
    if (m_state == dsEdit || m_state == dsInsert) Cancel();
    auto st = std::make_unique<Store>();
    for (TField* f : m_fields) st->cols.emplace_back(kindOf(f->DataType()));
    applyStore(std::move(st));
}

void TClientDataSet::applyStore(std::unique_ptr<Store> st)
{
    m_store = std::move(st);
    ++m_rowsStamp;
    m_sorted = SortedRows();
    for (int i = 0; i < m_fields.size(); ++i) m_fields[i]->m_col = i;
    m_natural.resize(m_store->rows);
    std::iota(m_natural.begin(), m_natural.end(), 0);
    m_editRow = -1;
    m_editSaved.clear();
    const bool wasActive = Active();
    m_state = dsBrowse;
    m_filter.reset();
    try {
        rebuildView(-1);
    } catch (const DatasetError&) {
        // An index over a field the new data lacks: natural order.
        m_indexName.clear();
        m_indexFieldNames.clear();
        rebuildView(-1);
    }
    m_pos = m_view.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_view.empty();
    m_accessRow = m_pos < 0 ? -1 : m_view[size_t(m_pos)];
    if (!wasActive) Q_EMIT stateChanged();
    notifyDataSet();
}

namespace {

// How the columns of a result become the store's columns.
struct LoadPlan {
    struct Read {
        int src;     // cursor column
        Column* col; // store column it fills
    };
    // Without fields of its own the dataset takes the result's columns (dynamic fields).
    bool dynamic = true;
    std::unique_ptr<Store> store = std::make_unique<Store>();
    std::vector<Read> reads;
    std::vector<int> unmapped; // store columns no cursor column fills: left null
    // Dynamic columns whose type is known only from the values, per cursor column: 0 undecided,
    // else Kind+1.
    std::vector<int> dynKind;
    QStringList names; // the result's column names
};

// Step 1: the store's columns and which cursor column fills each.
LoadPlan planLoad(DbCursor& cur, const QList<TField*>& fields)
{
    LoadPlan plan;
    Store* st = plan.store.get();
    const int nc = cur.columnCount();
    for (TField* f : fields)
        if (!f->IsDynamic()) plan.dynamic = false;
    std::vector<int> sources; // per store column
    if (plan.dynamic) {
        for (int i = 0; i < nc; ++i) {
            plan.names << cur.columnName(i);
            Kind k = Kind::Str;
            int decided = 1;
            switch (cur.declaredType(i)) {
            case DbType::Integer: k = Kind::Int; break;
            case DbType::Float: k = Kind::Dbl; break;
            case DbType::Text:
            case DbType::Blob: k = Kind::Str; break;
            case DbType::Null: decided = 0; break;
            }
            st->cols.emplace_back(k);
            plan.dynKind.push_back(decided ? int(k) + 1 : 0);
            sources.push_back(i);
        }
    } else {
        for (TField* f : fields) {
            st->cols.emplace_back(kindOf(f->DataType()));
            int src = -1;
            if (f->FieldKind() == fkData) {
                for (int i = 0; i < nc; ++i)
                    if (cur.columnName(i).compare(f->FieldName(), Qt::CaseInsensitive) == 0) {
                        src = i;
                        break;
                    }
            }
            sources.push_back(src);
            if (src < 0) plan.unmapped.push_back(int(st->cols.size() - 1));
        }
    }
    // Only mapped columns are read; the pointers are taken once the column list is complete.
    for (size_t i = 0; i < sources.size(); ++i)
        if (sources[i] >= 0) plan.reads.push_back({sources[i], &st->cols[i]});
    return plan;
}

// The text columns of a load go through a short pipeline over the rows: a row's texts are
// copied and hashed and their table slots prefetched; one row later the offsets of the texts a
// hit would compare are prefetched, one more row later their bytes, and the texts are interned
// three rows after they were read. The dictionaries of a large result live far out of the
// cache, and waiting for these misses one after another was most of a load's own cost; here the
// stepping of the statement runs while they arrive. A column's texts are interned in row order.
//
// A column of nearly distinct texts (remarks) skips the lookup: its dictionary is large, so the
// lookups miss the cache, and they mostly find nothing. Which columns are such is measured on
// a window of rows after the first ones (a column drawing on a bounded set of texts, such as
// goods' names, still finds new texts in its first rows): where most texts of the window were
// new, the rest of the load stores the texts as they come (StringPool::append). Only a
// dictionary made for this load does so: one shared with the previous rows of a reload holds
// the texts already.
//
// A column with a small dictionary (codes, names of a few hundred staff) misses nothing: its
// texts are looked up as they are read, without the copy and the stages. Which columns are
// small is seen after the first rows and again at regular intervals, where the pipeline is
// empty, so that each column's texts stay in row order.
class TextPipeline {
public:
    static constexpr size_t kDepth = 4;
    static constexpr size_t kWindowStart = 32768, kWindowEnd = 65536;
    static constexpr size_t kSmallCheck = 4096, kSmallEvery = 65536;
    static constexpr uint32_t kSmall = 2048; // entries: the lookup table stays in the first-level cache
    explicit TextPipeline(const std::vector<LoadPlan::Read>& reads) : m_reads(reads)
    {
        for (Row& r : m_ring) r.entries.resize(reads.size());
        m_cols.resize(reads.size());
        for (size_t ti = 0; ti < reads.size(); ++ti) {
            const Column& c = *reads[ti].col;
            m_cols[ti].fresh = c.kind == Kind::Str && c.pool->size() == 0 && c.pool.use_count() == 1;
        }
    }
    // Called after each row: opens and closes the measuring window.
    void measure(size_t rows)
    {
        if (rows == kWindowStart) {
            for (size_t ti = 0; ti < m_cols.size(); ++ti) {
                m_cols[ti].entriesAtStart = m_reads[ti].col->pool->size();
                m_cols[ti].textsAtStart = m_cols[ti].texts;
            }
        }
        if (rows == kWindowEnd) {
            finish(); // the texts of the window are all stored, and the pipeline is empty
            for (size_t ti = 0; ti < m_cols.size(); ++ti) {
                ColState& cs = m_cols[ti];
                const size_t texts = cs.texts - cs.textsAtStart;
                const size_t added = m_reads[ti].col->pool->size() - cs.entriesAtStart;
                cs.append = cs.fresh && texts >= 4096 && added * 2 > texts;
            }
        }
        if (rows == kSmallCheck || rows % kSmallEvery == 0) {
            finish();
            for (size_t ti = 0; ti < m_cols.size(); ++ti) {
                const Column& c = *m_reads[ti].col;
                m_cols[ti].direct = !m_cols[ti].append && c.kind == Kind::Str && c.pool->size() <= kSmall;
            }
        }
    }
    // Starts the next row: its entries are set by null() and text().
    void beginRow()
    {
        Row& r = m_ring[m_next % kDepth];
        r.bytes.clear();
        for (Entry& e : r.entries) e.state = Entry::Skip;
    }
    void null(size_t ti)
    {
        if (m_cols[ti].append || m_cols[ti].direct) m_reads[ti].col->appendNull();
        else m_ring[m_next % kDepth].entries[ti].state = Entry::Null;
    }
    void text(size_t ti, std::string_view s, const StringPool& pool)
    {
        // Texts from a database may hold bytes that are not UTF-8: they are stored repaired.
        if (!isValidUtf8(s)) s = repairedUtf8(s);
        if (m_cols[ti].append) {
            Column& c = *m_reads[ti].col;
            c.ids.push_back(c.pool->append(s, StringPool::hash(s)));
            return;
        }
        if (m_cols[ti].direct) {
            Column& c = *m_reads[ti].col;
            c.ids.push_back(c.pool->intern(s));
            ++m_cols[ti].texts;
            return;
        }
        Row& r = m_ring[m_next % kDepth];
        Entry& e = r.entries[ti];
        e.state = Entry::Text;
        e.offset = uint32_t(r.bytes.size());
        e.length = uint32_t(s.size());
        e.hash = StringPool::hash(s);
        r.bytes.append(s);
        pool.prefetch(e.hash);
    }
    // Ends the row begun last and moves the older rows one stage on.
    void endRow()
    {
        ++m_next;
        if (m_next >= 2) prefetchOffsets(m_ring[(m_next - 2) % kDepth]);
        if (m_next >= 3) prefetchBytes(m_ring[(m_next - 3) % kDepth]);
        if (m_next >= kDepth) commit(m_ring[(m_next - kDepth) % kDepth]);
    }
    // Interns every row still in the pipeline, oldest first.
    void finish()
    {
        for (size_t k = std::min(m_next, kDepth - 1); k > 0; --k) commit(m_ring[(m_next - k) % kDepth]);
        m_next = 0;
    }

private:
    struct Entry {
        enum State : uint8_t { Skip, Null, Text } state = Skip;
        uint32_t offset = 0, length = 0, candidate = 0;
        uint64_t hash = 0;
    };
    struct Row {
        std::string bytes; // the row's texts, one after another
        std::vector<Entry> entries; // per read
    };
    struct ColState {
        bool fresh = false;  // a dictionary of this load only
        bool append = false; // texts stored without the lookup
        bool direct = false; // texts looked up as they are read
        size_t texts = 0;    // texts looked up so far
        size_t textsAtStart = 0, entriesAtStart = 0;
    };
    void prefetchOffsets(Row& r)
    {
        for (size_t ti = 0; ti < r.entries.size(); ++ti)
            if (r.entries[ti].state == Entry::Text)
                r.entries[ti].candidate = m_reads[ti].col->pool->prefetchOffsets(r.entries[ti].hash);
    }
    void prefetchBytes(const Row& r)
    {
        for (size_t ti = 0; ti < r.entries.size(); ++ti)
            if (r.entries[ti].state == Entry::Text) m_reads[ti].col->pool->prefetchBytes(r.entries[ti].candidate);
    }
    void commit(const Row& r)
    {
        for (size_t ti = 0; ti < r.entries.size(); ++ti) {
            const Entry& e = r.entries[ti];
            if (e.state == Entry::Skip) continue;
            Column& c = *m_reads[ti].col;
            if (e.state == Entry::Null) {
                c.appendNull();
            } else {
                c.ids.push_back(c.pool->intern(std::string_view(r.bytes).substr(e.offset, e.length), e.hash));
                ++m_cols[ti].texts;
            }
        }
    }
    const std::vector<LoadPlan::Read>& m_reads;
    std::vector<ColState> m_cols;
    Row m_ring[kDepth];
    size_t m_next = 0; // rows begun
};

// Step 2: every row of the cursor into the store's columns; returns the row count. A dynamic
// column takes its type from its first value and widens when a later value needs it (it has
// had no text in the pipeline then: a column that reads as text stays text).
size_t readRows(DbCursor& cur, LoadPlan& plan)
{
    // Locals, so that the loop reads them from registers.
    const bool dynamic = plan.dynamic;
    std::vector<int>& dynKind = plan.dynKind;
    const std::vector<LoadPlan::Read>& reads = plan.reads;
    TextPipeline texts(reads);
    size_t rows = 0;
    while (!cur.atEnd()) {
        texts.beginRow();
        for (size_t ti = 0; ti < reads.size(); ++ti) {
            const int i = reads[ti].src;
            Column& c = *reads[ti].col;
            if (c.kind == Kind::Str && (!dynamic || dynKind[size_t(i)] != 0)) {
                // Text needs no type test: only a null comes without bytes.
                const std::string_view sv = cur.utf8(i);
                if (!sv.data() && cur.type(i) == DbType::Null) texts.null(ti);
                else texts.text(ti, sv, *c.pool);
                continue;
            }
            const DbType t = cur.type(i);
            if (t == DbType::Null) {
                c.appendNull();
                continue;
            }
            if (dynamic && dynKind[size_t(i)] == 0) {
                // First value decides the kind of an undeclared column.
                const Kind k = t == DbType::Integer ? Kind::Int : t == DbType::Float ? Kind::Dbl : Kind::Str;
                Column fresh(k);
                fresh.resizeNull(rows);
                c = std::move(fresh);
                dynKind[size_t(i)] = int(k) + 1;
            }
            switch (c.kind) {
            case Kind::Str: c.appendStr(cur.utf8(i)); break;
            case Kind::Int:
                if (t == DbType::Integer) {
                    c.appendInt(cur.int64(i));
                } else if (dynamic) {
                    // A fraction or a text in an integer column: widen the column.
                    Column wide(t == DbType::Float ? Kind::Dbl : Kind::Str);
                    for (size_t r = 0; r < rows; ++r) {
                        if (c.isNull(r)) wide.appendNull();
                        else if (wide.kind == Kind::Dbl) wide.appendDbl(double(c.ints[r]));
                        else wide.appendStr(numberText(double(c.ints[r])));
                    }
                    c = std::move(wide);
                    dynKind[size_t(i)] = int(c.kind) + 1;
                    if (c.kind == Kind::Dbl) c.appendDbl(cur.dbl(i));
                    else c.appendStr(cur.utf8(i));
                } else if (t == DbType::Float) {
                    c.appendInt(int64_t(std::llround(cur.dbl(i))));
                } else {
                    int64_t v;
                    if (parseInt64(cur.utf8(i), v)) c.appendInt(v);
                    else c.appendNull();
                }
                break;
            case Kind::Dbl:
                if (t == DbType::Float || t == DbType::Integer) {
                    c.appendDbl(t == DbType::Float ? cur.dbl(i) : double(cur.int64(i)));
                } else if (dynamic) {
                    Column wide(Kind::Str);
                    for (size_t r = 0; r < rows; ++r) {
                        if (c.isNull(r)) wide.appendNull();
                        else wide.appendStr(numberText(c.dbls[r]));
                    }
                    c = std::move(wide);
                    dynKind[size_t(i)] = int(Kind::Str) + 1;
                    c.appendStr(cur.utf8(i));
                } else {
                    double v;
                    if (parseDouble(cur.utf8(i), v)) c.appendDbl(v);
                    else c.appendNull();
                }
                break;
            case Kind::Bool:
                if (t == DbType::Integer) c.appendBool(cur.int64(i) != 0);
                else if (t == DbType::Float) c.appendBool(cur.dbl(i) != 0);
                else {
                    const int b = parseBool(cur.utf8(i));
                    if (b < 0) c.appendNull();
                    else c.appendBool(b == 1);
                }
                break;
            }
        }
        ++rows;
        texts.endRow();
        texts.measure(rows);
        cur.next();
    }
    texts.finish();
    return rows;
}

// Step 3: columns that got fewer rows (unmapped, or undecided that saw only nulls) are filled
// with nulls, and the store is sealed.
void finishColumns(Store& st, size_t rows, const std::vector<int>& unmapped)
{
    for (int ci : unmapped) st.cols[size_t(ci)].resizeNull(rows);
    for (Column& c : st.cols) {
        if (c.rows() < rows) c.resizeNull(rows);
        c.shrink();
        ++c.version;
    }
    st.rows = rows;
    st.deleted.assign(rows, 0);
}

} // namespace

void TClientDataSet::loadFromCursor(DbCursor& cur)
{
    if (m_state == dsEdit || m_state == dsInsert) Cancel();
    LoadPlan plan = planLoad(cur, m_fields);
    // Dynamic fields take their sizes from the texts of their dictionaries: those start empty.
    if (!plan.dynamic && m_store) {
        reserveLike(*plan.store, m_store.get());
        // The old rows' sort keys are rebuilt when needed: their room goes to the new rows.
        for (Column& c : m_store->cols) {
            std::vector<uint32_t>().swap(c.ranks);
            c.rankVersion = ~0ull;
        }
    }
    try {
        const size_t rows = readRows(cur, plan);
        finishColumns(*plan.store, rows, plan.unmapped);
        compactSharedTexts(*plan.store);
        if (plan.dynamic) replaceDynamicFields(*plan.store, plan.names);
        calculateRows(plan.store);
    } catch (...) {
        // The old rows stay; the lookup tables the load built in their dictionaries go.
        if (m_store)
            for (Column& c : m_store->cols)
                if (c.kind == Kind::Str) c.pool->dropTable();
        throw;
    }
    applyStore(std::move(plan.store));
}

// Step 4 of a load without fields of its own: the dynamic fields become the result's columns.
void TClientDataSet::replaceDynamicFields(const Store& st, const QStringList& names)
{
    m_store.reset();
    m_state = dsInactive;
    const QList<TField*> old = m_fields;
    for (TField* f : old) delete f;
    for (int i = 0; i < names.size(); ++i) {
        const Column& c = st.cols[size_t(i)];
        const TFieldType ft = c.kind == Kind::Int    ? ftInteger
                              : c.kind == Kind::Dbl  ? ftFloat
                              : c.kind == Kind::Bool ? ftBoolean
                                                     : ftString;
        TField* f = createField(ft, this);
        f->m_dynamic = true;
        QString nm = names[i];
        if (nm.isEmpty() || FindField(nm)) nm = QStringLiteral("COLUMN%1").arg(i + 1);
        f->m_name = nm;
        f->setObjectName(objectName() + nm);
        if (ft == ftString) {
            size_t maxLen = 0;
            for (uint32_t id = 0; id < c.pool->size(); ++id) maxLen = std::max(maxLen, c.pool->get(id).size());
            f->m_size = int(std::max<size_t>(1, maxLen));
        }
        f->m_ds = this;
        m_fields.append(f);
    }
    Q_EMIT fieldsChanged();
}

// Step 5: the calculated fields of every loaded record. On failure the current data stays.
void TClientDataSet::calculateRows(std::unique_ptr<Store>& st)
{
    const size_t rows = st->rows;
    bool hasCalc = false;
    for (TField* f : m_fields) hasCalc = hasCalc || f->IsCalculated();
    if (hasCalc && m_onCalc) {
        std::swap(m_store, st); // calcRow reads the new rows
        for (int i = 0; i < m_fields.size(); ++i) m_fields[i]->m_col = i;
        try {
            for (size_t r = 0; r < rows; ++r) calcRow(int(r));
        } catch (...) {
            std::swap(m_store, st);
            for (int i = 0; i < m_fields.size(); ++i) m_fields[i]->m_col = m_store ? i : -1;
            throw;
        }
        std::swap(m_store, st);
    }
}

void TClientDataSet::calcRow(int phys)
{
    if (!m_onCalc) return;
    const TDataSetState saved = m_state;
    const int savedRow = m_accessRow;
    m_state = dsCalcFields;
    m_accessRow = phys;
    try {
        m_onCalc(this);
    } catch (...) {
        m_state = saved;
        m_accessRow = savedRow;
        throw;
    }
    m_state = saved;
    m_accessRow = savedRow;
}

// --- view -----------------------------------------------------------------------------------

const TIndexDef* TClientDataSet::currentIndex(TIndexDef& tmp) const
{
    if (!m_indexName.isEmpty()) {
        for (const TIndexDef& d : m_indexes)
            if (d.Name.compare(m_indexName, Qt::CaseInsensitive) == 0) return &d;
        return nullptr;
    }
    if (!m_indexFieldNames.isEmpty()) {
        tmp = TIndexDef{};
        tmp.Fields = m_indexFieldNames;
        return &tmp;
    }
    return nullptr;
}

void TClientDataSet::rebuildView(int keepPhys)
{
    if (!m_store) {
        m_view.clear();
        return;
    }
    std::vector<int> order;
    TIndexDef tmp;
    bool sorted = false;
    if (const TIndexDef* idx = currentIndex(tmp)) {
        sorted = true;
        const QStringList fields = splitFieldList(idx->Fields);
        const QStringList desc = splitFieldList(idx->DescFields);
        const QStringList ci = splitFieldList(idx->CaseInsFields);
        struct Key {
            Column* c;
            bool caseIns, desc;
        };
        std::vector<Key> keys;
        std::vector<uint64_t> stamp;
        for (const QString& name : fields) {
            TField* f = FindField(name);
            if (!f || f->m_col < 0) throw DatasetError(QStringLiteral("%1：索引字段“%2”不存在").arg(objectName(), name));
            Column& c = m_store->cols[size_t(f->m_col)];
            const bool caseIns = (idx->Options & ixCaseInsensitive) || ci.contains(name, Qt::CaseInsensitive);
            const bool d = (idx->Options & ixDescending) || desc.contains(name, Qt::CaseInsensitive);
            keys.push_back({&c, caseIns, d});
            stamp.insert(stamp.end(), {uint64_t(f->m_col) << 2 | uint64_t(caseIns) << 1 | uint64_t(d), c.version});
        }
        if (m_sorted.rowsStamp == m_rowsStamp && m_sorted.keys == stamp) {
            order = m_sorted.order;
        } else {
            order = m_natural;
            // Least significant key first: each stable pass keeps the order of the later keys.
            for (auto k = keys.rbegin(); k != keys.rend(); ++k) {
                ensureRanks(*k->c, k->caseIns);
                countingPass(order, *k->c, k->desc);
            }
            m_sorted.rowsStamp = m_rowsStamp;
            m_sorted.keys = std::move(stamp);
            m_sorted.order.assign(order.begin(), order.end()); // its room is kept from sort to sort
        }
    } else {
        m_sorted = SortedRows(); // its memory goes while the view is not sorted
        order = m_natural;
    }
    if (m_filtered && !m_filterText.trimmed().isEmpty()) {
        if (!m_filter) {
            try {
                m_filter = std::make_shared<dsimpl::Filter>(m_filterText, *this, m_filterOptions & foCaseInsensitive,
                                                    m_filterOptions & foNoPartialCompare);
            } catch (const DatasetError&) {
                m_filter.reset(); // refused when it was set; here the fields changed: no filter
            }
        }
        if (m_filter) {
            const Store& st = *m_store;
            const dsimpl::Filter& flt = *m_filter;
            if (!sorted || order.size() < 4096) {
                order.erase(std::remove_if(order.begin(), order.end(), [&](int r) { return !flt.test(st, r); }),
                            order.end());
            } else {
                // A sorted view: test the rows in storage order (sequential reads), then keep the
                // sorted order of those that pass.
                std::vector<uint8_t> pass(st.rows, 0);
                for (int r : m_natural) pass[size_t(r)] = flt.test(st, r);
                order.erase(std::remove_if(order.begin(), order.end(), [&](int r) { return !pass[size_t(r)]; }),
                            order.end());
            }
        }
    }
    m_view.swap(order);
    if (m_view.empty()) {
        m_pos = -1;
        m_bof = m_eof = true;
    } else {
        int pos = keepPhys >= 0 ? viewPosOf(keepPhys) : -1;
        if (pos < 0) pos = std::clamp(m_pos, 0, int(m_view.size()) - 1);
        m_pos = pos;
        if (m_eof && m_pos < int(m_view.size()) - 1) m_eof = false;
        if (m_bof && m_pos > 0) m_bof = false;
    }
    if (m_state == dsBrowse) m_accessRow = m_pos < 0 ? -1 : m_view[size_t(m_pos)];
}

int TClientDataSet::viewPosOf(int physRow) const
{
    for (size_t i = 0; i < m_view.size(); ++i)
        if (m_view[i] == physRow) return int(i);
    return -1;
}

// --- cursor ---------------------------------------------------------------------------------

void TClientDataSet::checkBrowse()
{
    if (m_state == dsEdit || m_state == dsInsert) Post();
}

void TClientDataSet::setCursorPos(int pos, bool bof, bool eof, bool notify)
{
    const bool changed = pos != m_pos || bof != m_bof || eof != m_eof;
    m_pos = pos;
    m_bof = bof;
    m_eof = eof;
    if (m_state == dsBrowse) m_accessRow = m_pos < 0 ? -1 : m_view[size_t(m_pos)];
    if (changed && notify) notifyScroll();
}

void TClientDataSet::First()
{
    checkActive();
    checkBrowse();
    setCursorPos(m_view.empty() ? -1 : 0, true, m_view.empty(), true);
}

void TClientDataSet::Last()
{
    checkActive();
    checkBrowse();
    const int n = int(m_view.size());
    setCursorPos(n - 1, n == 0, true, true);
}

void TClientDataSet::Next()
{
    checkActive();
    checkBrowse();
    const int n = int(m_view.size());
    if (n == 0) return setCursorPos(-1, true, true, true);
    if (m_pos < n - 1) setCursorPos(m_pos + 1, false, false, true);
    else setCursorPos(m_pos, false, true, true);
}

void TClientDataSet::Prior()
{
    checkActive();
    checkBrowse();
    const int n = int(m_view.size());
    if (n == 0) return setCursorPos(-1, true, true, true);
    if (m_pos > 0) setCursorPos(m_pos - 1, false, false, true);
    else setCursorPos(0, true, false, true);
}

int TClientDataSet::MoveBy(int distance)
{
    checkActive();
    checkBrowse();
    const int n = int(m_view.size());
    if (n == 0 || distance == 0) return 0;
    const int target = m_pos + distance;
    if (target < 0) {
        const int moved = -m_pos;
        setCursorPos(0, true, false, true);
        return moved;
    }
    if (target >= n) {
        const int moved = n - 1 - m_pos;
        setCursorPos(n - 1, false, true, true);
        return moved;
    }
    setCursorPos(target, false, false, true);
    return distance;
}

int TClientDataSet::RecordCount() const
{
    return m_store ? int(m_view.size()) : 0;
}

int TClientDataSet::RecNo() const
{
    if (!m_store || m_pos < 0) return -1;
    return m_pos + 1;
}

void TClientDataSet::setRecNo(int recNo)
{
    checkActive();
    checkBrowse();
    const int n = int(m_view.size());
    if (n == 0) return;
    const int pos = std::clamp(recNo, 1, n) - 1;
    if (pos == m_pos) return;
    setCursorPos(pos, false, false, true);
}

int TClientDataSet::Bookmark() const
{
    if (!m_store || m_pos < 0 || size_t(m_pos) >= m_view.size()) return -1;
    return m_view[size_t(m_pos)];
}

bool TClientDataSet::BookmarkValid(int bookmark) const
{
    return m_store && bookmark >= 0 && size_t(bookmark) < m_store->rows && !m_store->deleted[size_t(bookmark)] &&
           viewPosOf(bookmark) >= 0;
}

void TClientDataSet::GotoBookmark(int bookmark)
{
    checkActive();
    checkBrowse();
    const int pos = viewPosOf(bookmark);
    if (pos < 0) throw DatasetError(QStringLiteral("%1：记录不存在").arg(objectName()));
    setCursorPos(pos, false, false, true);
}

// --- locate ---------------------------------------------------------------------------------

bool TClientDataSet::Locate(const QString& keyFields, const QVariant& values, TLocateOptions options)
{
    checkActive();
    checkBrowse();
    const QStringList names = splitFieldList(keyFields);
    if (names.isEmpty()) throw DatasetError(QStringLiteral("%1：没有给出定位字段").arg(objectName()));
    QVariantList keys;
    if (names.size() == 1) {
        keys << (values.typeId() == QMetaType::QVariantList && values.toList().size() == 1 ? values.toList()[0]
                                                                                             : values);
    } else {
        if (values.typeId() != QMetaType::QVariantList || values.toList().size() != names.size())
            throw DatasetError(QStringLiteral("%1：定位值的个数与字段数不一致").arg(objectName()));
        keys = values.toList();
    }
    const bool ci = options & loCaseInsensitive;
    const bool partial = options & loPartialKey;

    struct Matcher {
        const Column* col;
        Kind kind;
        bool isNullKey = false;
        std::string text;
        double num = 0;
        int boolean = 0;
        std::vector<int8_t> cache; // string ids
    };
    std::vector<Matcher> ms;
    for (int i = 0; i < names.size(); ++i) {
        TField* f = FieldByName(names[i]);
        Matcher m;
        m.col = &m_store->cols[size_t(f->m_col)];
        m.kind = m.col->kind;
        const QVariant& k = keys[i];
        if (k.isNull() || !k.isValid()) {
            m.isNullKey = true;
        } else if (m.kind == Kind::Str) {
            m.text = variantText(k);
            m.cache.assign(m.col->pool->size(), -1);
        } else if (m.kind == Kind::Bool) {
            if (k.typeId() == QMetaType::Bool) m.boolean = k.toBool();
            else {
                const std::string t = variantText(k);
                m.boolean = parseBool(t);
                if (m.boolean < 0)
                    throw DatasetError(QStringLiteral("“%1”不是字段“%2”的有效逻辑值").arg(k.toString(), f->FieldName()));
            }
        } else {
            if (isNumberVariant(k)) m.num = k.toDouble();
            else {
                const std::string t = variantText(k);
                if (QString::fromStdString(t).trimmed().isEmpty()) m.isNullKey = true;
                else if (!parseDouble(t, m.num))
                    throw DatasetError(QStringLiteral("“%1”不是字段“%2”的有效数值").arg(k.toString(), f->FieldName()));
            }
        }
        ms.push_back(std::move(m));
    }
    auto textMatches = [&](const Matcher& m, std::string_view s) {
        if (partial) return ci ? startsWithCaseIns(s, m.text) : s.substr(0, m.text.size()) == m.text;
        return ci ? equalsCaseIns(s, m.text) : s == m.text;
    };
    for (size_t pos = 0; pos < m_view.size(); ++pos) {
        const size_t r = size_t(m_view[pos]);
        bool all = true;
        for (Matcher& m : ms) {
            const Column& c = *m.col;
            bool ok;
            if (m.kind == Kind::Str) {
                const uint32_t id = c.ids[r];
                if (m.isNullKey) ok = id == kNullId;
                else if (id == kNullId) ok = m.text.empty();
                else {
                    if (id >= m.cache.size()) m.cache.resize(size_t(id) + 1, -1);
                    int8_t& e = m.cache[id];
                    if (e < 0) e = textMatches(m, c.pool->get(id)) ? 1 : 0;
                    ok = e == 1;
                }
            } else if (c.isNull(r)) {
                ok = m.isNullKey;
            } else if (m.isNullKey) {
                ok = false;
            } else if (m.kind == Kind::Int) {
                ok = double(c.ints[r]) == m.num;
            } else if (m.kind == Kind::Dbl) {
                ok = c.dbls[r] == m.num;
            } else {
                ok = (c.flags[r] == 1) == (m.boolean == 1);
            }
            if (!ok) {
                all = false;
                break;
            }
        }
        if (all) {
            setCursorPos(int(pos), false, false, true);
            return true;
        }
    }
    return false;
}

// --- filter ---------------------------------------------------------------------------------

void TClientDataSet::setFilter(const QString& expr)
{
    if (expr == m_filterText) return;
    if (m_filtered && m_store && !expr.trimmed().isEmpty()) {
        // Refuse a bad expression before anything changes.
        auto flt = std::make_shared<dsimpl::Filter>(expr, *this, m_filterOptions & foCaseInsensitive,
                                            m_filterOptions & foNoPartialCompare);
        checkBrowse();
        m_filterText = expr;
        m_filter = flt;
        rebuildView(Bookmark());
        notifyDataSet();
        return;
    }
    m_filterText = expr;
    m_filter.reset();
    if (m_filtered && m_store) {
        checkBrowse();
        rebuildView(Bookmark());
        notifyDataSet();
    }
}

void TClientDataSet::setFiltered(bool on)
{
    if (on == m_filtered) return;
    if (on && m_store && !m_filterText.trimmed().isEmpty()) {
        m_filter = std::make_shared<dsimpl::Filter>(m_filterText, *this, m_filterOptions & foCaseInsensitive,
                                            m_filterOptions & foNoPartialCompare);
    }
    m_filtered = on;
    if (!on) m_filter.reset();
    if (m_store) {
        checkBrowse();
        rebuildView(Bookmark());
        notifyDataSet();
    }
}

void TClientDataSet::setFilterOptions(TFilterOptions o)
{
    if (o == m_filterOptions) return;
    m_filterOptions = o;
    m_filter.reset();
    if (m_filtered && m_store) {
        rebuildView(Bookmark());
        notifyDataSet();
    }
}

// --- indexes --------------------------------------------------------------------------------

void TClientDataSet::AddIndex(const QString& name, const QString& fields, TIndexOptions options,
                              const QString& descFields, const QString& caseInsFields)
{
    if (name.trimmed().isEmpty()) throw DatasetError(QStringLiteral("%1：索引名不能为空").arg(objectName()));
    if (HasIndex(name)) throw DatasetError(QStringLiteral("%1：索引“%2”已存在").arg(objectName(), name));
    const QStringList fl = splitFieldList(fields);
    if (fl.isEmpty()) throw DatasetError(QStringLiteral("%1：索引“%2”没有字段").arg(objectName(), name));
    for (const QString& f : fl)
        if (!FindField(f)) throw DatasetError(QStringLiteral("%1：索引字段“%2”不存在").arg(objectName(), f));
    m_indexes.append(TIndexDef{name, fields, descFields, caseInsFields, options});
}

bool TClientDataSet::HasIndex(const QString& name) const
{
    for (const TIndexDef& d : m_indexes)
        if (d.Name.compare(name, Qt::CaseInsensitive) == 0) return true;
    return false;
}

void TClientDataSet::DeleteIndex(const QString& name)
{
    for (int i = 0; i < m_indexes.size(); ++i) {
        if (m_indexes[i].Name.compare(name, Qt::CaseInsensitive) == 0) {
            m_indexes.removeAt(i);
            if (m_indexName.compare(name, Qt::CaseInsensitive) == 0) {
                m_indexName.clear();
                if (m_store) {
                    checkBrowse();
                    rebuildView(Bookmark());
                    notifyDataSet();
                }
            }
            return;
        }
    }
    throw DatasetError(QStringLiteral("%1：没有索引“%2”").arg(objectName(), name));
}

void TClientDataSet::setIndexName(const QString& name)
{
    if (!name.isEmpty() && !HasIndex(name))
        throw DatasetError(QStringLiteral("%1：没有索引“%2”").arg(objectName(), name));
    const QString oldName = m_indexName, oldFields = m_indexFieldNames;
    m_indexName = name;
    m_indexFieldNames.clear();
    if (m_store) {
        checkBrowse();
        try {
            rebuildView(Bookmark());
        } catch (...) {
            m_indexName = oldName;
            m_indexFieldNames = oldFields;
            rebuildView(Bookmark());
            throw;
        }
        notifyDataSet();
    }
}

void TClientDataSet::setIndexFieldNames(const QString& fields)
{
    for (const QString& f : splitFieldList(fields))
        if (!FindField(f)) throw DatasetError(QStringLiteral("%1：索引字段“%2”不存在").arg(objectName(), f));
    m_indexFieldNames = fields;
    m_indexName.clear();
    if (m_store) {
        checkBrowse();
        rebuildView(Bookmark());
        notifyDataSet();
    }
}

// --- editing --------------------------------------------------------------------------------

void TClientDataSet::setState(TDataSetState s)
{
    if (s == m_state) return;
    m_state = s;
    if (m_disableCount == 0) Q_EMIT stateChanged();
}

void TClientDataSet::Edit()
{
    checkActive();
    if (m_state == dsEdit || m_state == dsInsert) return;
    if (m_pos < 0) throw DatasetError(QStringLiteral("%1：数据集为空，无法修改").arg(objectName()));
    m_editRow = m_view[size_t(m_pos)];
    m_editSaved.clear();
    for (const Column& c : m_store->cols) m_editSaved.push_back(readVariant(c, size_t(m_editRow)));
    m_accessRow = m_editRow;
    setState(dsEdit);
}

void TClientDataSet::Append()
{
    checkActive();
    checkBrowse();
    for (Column& c : m_store->cols) c.appendNull();
    m_store->deleted.push_back(1); // not a record until posted
    const int row = int(m_store->rows++);
    m_editRow = row;
    m_insertBefore = int(m_natural.size());
    m_accessRow = row;
    setState(dsInsert);
    notifyRecord(nullptr);
}

void TClientDataSet::Insert()
{
    checkActive();
    checkBrowse();
    int before = int(m_natural.size());
    if (m_pos >= 0) {
        const int cur = m_view[size_t(m_pos)];
        const auto it = std::find(m_natural.begin(), m_natural.end(), cur);
        if (it != m_natural.end()) before = int(it - m_natural.begin());
    }
    for (Column& c : m_store->cols) c.appendNull();
    m_store->deleted.push_back(1);
    const int row = int(m_store->rows++);
    m_editRow = row;
    m_insertBefore = before;
    m_accessRow = row;
    setState(dsInsert);
    notifyRecord(nullptr);
}

void TClientDataSet::Post()
{
    checkActive();
    if (m_state != dsEdit && m_state != dsInsert) return;
    const int row = m_editRow;
    calcRow(row);
    if (m_state == dsInsert) {
        m_store->deleted[size_t(row)] = 0;
        m_natural.insert(m_natural.begin() + std::clamp(m_insertBefore, 0, int(m_natural.size())), row);
        ++m_rowsStamp;
    }
    m_editRow = -1;
    m_editSaved.clear();
    m_state = dsBrowse;
    rebuildView(row);
    const int pos = viewPosOf(row);
    if (pos >= 0) m_pos = pos;
    m_bof = m_eof = m_view.empty();
    m_accessRow = m_pos < 0 ? -1 : m_view[size_t(m_pos)];
    if (m_disableCount == 0) Q_EMIT stateChanged();
    notifyDataSet();
}

void TClientDataSet::Cancel()
{
    if (m_state == dsEdit) {
        for (size_t i = 0; i < m_store->cols.size() && i < m_editSaved.size(); ++i) {
            Column& c = m_store->cols[i];
            if (m_editSaved[i].isNull()) c.setNull(size_t(m_editRow));
            else storeVariant(c, size_t(m_editRow), m_editSaved[i], QString());
        }
    } else if (m_state != dsInsert) {
        return;
    }
    m_editRow = -1;
    m_editSaved.clear();
    m_state = dsBrowse;
    m_accessRow = m_pos < 0 ? -1 : m_view[size_t(m_pos)];
    if (m_disableCount == 0) Q_EMIT stateChanged();
    notifyDataSet();
}

void TClientDataSet::Delete()
{
    checkActive();
    if (m_state == dsInsert) {
        Cancel();
        return;
    }
    if (m_state == dsEdit) Cancel();
    if (m_pos < 0) throw DatasetError(QStringLiteral("%1：数据集为空，无法删除").arg(objectName()));
    const int row = m_view[size_t(m_pos)];
    m_store->deleted[size_t(row)] = 1;
    const auto it = std::find(m_natural.begin(), m_natural.end(), row);
    if (it != m_natural.end()) m_natural.erase(it);
    ++m_rowsStamp;
    const int oldPos = m_pos;
    rebuildView(-1);
    if (!m_view.empty()) {
        m_pos = std::min(oldPos, int(m_view.size()) - 1);
        m_bof = m_eof = false;
    }
    m_accessRow = m_pos < 0 ? -1 : m_view[size_t(m_pos)];
    notifyDataSet();
}

void TClientDataSet::beginWrite(TField* f)
{
    if (!f || f->m_ds != this) throw DatasetError(QStringLiteral("字段不属于数据集 %1").arg(objectName()));
    checkActive();
    if (m_state == dsCalcFields) return;
    if (m_state == dsBrowse) {
        if (f->ReadOnly()) throw DatasetError(QStringLiteral("字段“%1”不能修改").arg(f->DisplayLabel()));
        Edit();
    } else if (f->ReadOnly() && !f->IsCalculated()) {
        throw DatasetError(QStringLiteral("字段“%1”不能修改").arg(f->DisplayLabel()));
    }
}

void TClientDataSet::writeValue(TField* f, const QVariant& v)
{
    beginWrite(f);
    const int row = m_state == dsCalcFields ? m_accessRow : m_editRow;
    Column& c = m_store->cols[size_t(f->m_col)];
    if (v.isNull() || !v.isValid()) c.setNull(size_t(row));
    else storeVariant(c, size_t(row), v, f->FieldName());
    if (m_state != dsCalcFields) notifyRecord(f);
}

void TClientDataSet::writeUtf8(TField* f, std::string_view s)
{
    beginWrite(f);
    const int row = m_state == dsCalcFields ? m_accessRow : m_editRow;
    Column& c = m_store->cols[size_t(f->m_col)];
    if (c.kind == Kind::Str) {
        // Bytes that are not UTF-8 are stored repaired, as a load stores them: readers of the
        // stored bytes rely on it.
        c.ids[size_t(row)] = c.pool->intern(isValidUtf8(s) ? s : repairedUtf8(s));
        ++c.version;
    } else {
        storeVariant(c, size_t(row), QVariant(QString::fromUtf8(s.data(), qsizetype(s.size()))), f->FieldName());
    }
    if (m_state != dsCalcFields) notifyRecord(f);
}

// --- notifications --------------------------------------------------------------------------

void TClientDataSet::DisableControls()
{
    ++m_disableCount;
}

void TClientDataSet::EnableControls()
{
    if (m_disableCount == 0) return;
    if (--m_disableCount == 0) {
        Q_EMIT fieldsChanged();
        Q_EMIT dataSetChanged();
    }
}

void TClientDataSet::notifyDataSet()
{
    if (m_disableCount == 0) Q_EMIT dataSetChanged();
}

void TClientDataSet::notifyScroll()
{
    if (m_disableCount == 0) Q_EMIT scrolled();
}

void TClientDataSet::notifyRecord(TField* f)
{
    if (m_disableCount == 0) Q_EMIT recordChanged(f);
}

TClientDataSet::RowScope::RowScope(const TClientDataSet* ds, int physRow)
    : m_ds(ds), m_saved(ds->m_accessRow)
{
    m_ds->m_accessRow = physRow;
}

TClientDataSet::RowScope::~RowScope()
{
    m_ds->m_accessRow = m_saved;
}

double TClientDataSet::sumInView(const TField* f, int* count) const
{
    double sum = 0;
    int n = 0;
    if (m_store && f && f->m_ds == this && f->m_col >= 0) {
        const Column& c = m_store->cols[size_t(f->m_col)];
        switch (c.kind) {
        case Kind::Int:
            for (int r : m_view)
                if (!c.flags[size_t(r)]) {
                    sum += double(c.ints[size_t(r)]);
                    ++n;
                }
            break;
        case Kind::Dbl:
            for (int r : m_view)
                if (!c.flags[size_t(r)]) {
                    sum += c.dbls[size_t(r)];
                    ++n;
                }
            break;
        case Kind::Bool:
            for (int r : m_view)
                if (c.flags[size_t(r)] != 2) {
                    sum += c.flags[size_t(r)];
                    ++n;
                }
            break;
        case Kind::Str: {
            double d;
            for (int r : m_view) {
                const uint32_t id = c.ids[size_t(r)];
                if (id != kNullId && parseDouble(c.pool->get(id), d)) {
                    sum += d;
                    ++n;
                }
            }
            break;
        }
        }
    }
    if (count) *count = n;
    return sum;
}
