// Loading the register list into the in-memory dataset and working on it, against the plain
// ways of doing the same. Run: bench_DatasetBench (QOR_BENCH_TRIALS, QOR_BENCH_DB to choose).
// The goals on realistic volume, one process each where memory counts:
//   bench_DatasetBench --benchmark_filter='BM_LoadVsReadValues|BM_FirstSortDistinctText|...'
//   bench_DatasetBench --benchmark_filter=BM_ReloadMemory
#include "bench/DatasetBenchData.h"

#include "host/commDll/GridExport.h"

#include "platform/grid/GridServices.h"
#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/DataSource.h"
#include "platform/dataset/Store.h"
#include "platform/grid/DBGridEh.h"
#include "platform/text/Gbk.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <benchmark/benchmark.h>
#include <numeric>
#include <sqlite3.h>
#include <string>
#include <unordered_map>
#include <vector>

#ifdef QOR_HAVE_QTSQL
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#endif

namespace {

std::unique_ptr<TADOConnection> g_conn;
QString g_sqliteText; // the register list's statement as SQLite receives it

TADOConnection& conn()
{
    if (!g_conn) {
        g_conn = TADOConnection::openSqlite(bench::databasePath());
        g_sqliteText = g_conn->prepareText(bench::registerListSql().join(QLatin1Char('\n')));
    }
    return *g_conn;
}

// Columns of the register list copied as plain strings (the baseline's data, reused for sorting).
std::vector<std::vector<std::string>> g_plain;

void BM_SqliteStepOnly(benchmark::State& state)
{
    conn();
    sqlite3* db = nullptr;
    sqlite3_open_v2(qPrintable(bench::databasePath()), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db, "PRAGMA mmap_size=4294967296", nullptr, nullptr, nullptr);
    long rows = 0;
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        const QByteArray sql = g_sqliteText.toUtf8();
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) ++rows;
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    state.counters["rows"] = double(rows);
}

// Reading every value's bytes with the raw API: as text (NUL-terminated copies) or as blob.
void BM_SqliteReadValues(benchmark::State& state)
{
    conn();
    sqlite3* db = nullptr;
    sqlite3_open_v2(qPrintable(bench::databasePath()), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db, "PRAGMA mmap_size=4294967296", nullptr, nullptr, nullptr);
    size_t bytes = 0;
    const bool blob = state.range(0) == 1;
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        const QByteArray sql = g_sqliteText.toUtf8();
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        const int nc = sqlite3_column_count(st);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < nc; ++i) {
                const void* p = blob ? sqlite3_column_blob(st, i) : static_cast<const void*>(sqlite3_column_text(st, i));
                bytes += size_t(sqlite3_column_bytes(st, i)) + (p != nullptr);
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    benchmark::DoNotOptimize(bytes);
}

// The same stepping through the db layer's cursor (translation, prepare, virtual next()).
void BM_CursorStepOnly(benchmark::State& state)
{
    TADOConnection& c = conn();
    long rows = 0;
    for (auto _ : state) {
        TADOQuery q(&c);
        q.SQL = bench::registerListSql();
        q.Open();
        rows = 0;
        for (DbCursor* cur = q.cursor(); !cur->atEnd(); cur->next()) ++rows;
    }
    state.counters["rows"] = double(rows);
}

// Stepping and reading every value's text without keeping it: the cost of the column reads.
void BM_CursorReadTextOnly(benchmark::State& state)
{
    TADOConnection& c = conn();
    size_t bytes = 0;
    for (auto _ : state) {
        TADOQuery q(&c);
        q.SQL = bench::registerListSql();
        q.Open();
        DbCursor* cur = q.cursor();
        const int nc = cur->columnCount();
        for (; !cur->atEnd(); cur->next())
            for (int i = 0; i < nc; ++i) bytes += cur->utf8(i).size();
    }
    benchmark::DoNotOptimize(bytes);
}

void BM_ColumnarStdStringCopy(benchmark::State& state)
{
    conn();
    sqlite3* db = nullptr;
    sqlite3_open_v2(qPrintable(bench::databasePath()), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db, "PRAGMA mmap_size=4294967296", nullptr, nullptr, nullptr);
    double mib = 0;
    for (auto _ : state) {
        g_plain.clear();
        const double before = bench::heapMiB();
        sqlite3_stmt* st = nullptr;
        const QByteArray sql = g_sqliteText.toUtf8();
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        const int nc = sqlite3_column_count(st);
        g_plain.assign(size_t(nc), {});
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < nc; ++i) {
                const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                g_plain[size_t(i)].emplace_back(p ? p : "", size_t(sqlite3_column_bytes(st, i)));
            }
        }
        sqlite3_finalize(st);
        mib = bench::heapMiB() - before;
    }
    sqlite3_close(db);
    state.counters["MiB"] = mib;
}

#ifdef QOR_HAVE_QTSQL
void BM_QtSqlVariantRows(benchmark::State& state)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        state.SkipWithError("Qt's sqlite driver is not installed");
        return;
    }
    conn();
    double mib = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(bench::databasePath());
        db.open();
        for (auto _ : state) {
            const double before = bench::heapMiB();
            std::vector<QList<QVariant>> rows;
            {
                QSqlQuery q(db);
                q.setForwardOnly(true);
                q.exec(g_sqliteText);
                const int nc = q.record().count();
                while (q.next()) {
                    QList<QVariant> r;
                    r.reserve(nc);
                    for (int i = 0; i < nc; ++i) r.append(q.value(i));
                    rows.push_back(std::move(r));
                }
            }
            mib = bench::heapMiB() - before;
            benchmark::DoNotOptimize(rows.data());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    state.counters["MiB"] = mib;
}
#endif

// The loaded register list, kept for the benchmarks after the load.
std::unique_ptr<TClientDataSet> g_head;
std::unique_ptr<TADOQuery> g_query;
std::unique_ptr<TDataSetProvider> g_provider;

void BM_ProviderCopyIntoQryHead(benchmark::State& state)
{
    TADOConnection& c = conn();
    double mib = 0, storeMib = 0;
    for (auto _ : state) {
        state.PauseTiming();
        g_head.reset();
        g_provider.reset();
        g_query.reset();
        const double before = bench::heapMiB();
        g_head = std::make_unique<TClientDataSet>();
        g_head->setObjectName(QStringLiteral("qryHead"));
        bench::defineRegisterFields(*g_head);
        g_query = std::make_unique<TADOQuery>(&c);
        g_query->SQL = bench::registerListSql();
        g_provider = std::make_unique<TDataSetProvider>();
        g_provider->setDataSet(g_query.get());
        g_head->setProvider(g_provider.get());
        state.ResumeTiming();
        g_head->Open();
        state.PauseTiming();
        mib = bench::heapMiB() - before;
        storeMib = double(g_head->store()->memoryBytes()) / (1024.0 * 1024.0);
        state.ResumeTiming();
    }
    state.counters["rows"] = g_head->RecordCount();
    state.counters["MiB"] = mib;
    state.counters["storeMiB"] = storeMib;
}

// The copy and its baseline alternately, so that both see the same load of the machine; the
// ratio is that of the fastest runs.
void BM_ProviderCopyVsStepping(benchmark::State& state)
{
    TADOConnection& c = conn();
    sqlite3* db = nullptr;
    sqlite3_open_v2(qPrintable(bench::databasePath()), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db, "PRAGMA mmap_size=4294967296", nullptr, nullptr, nullptr);
    const QByteArray sql = g_sqliteText.toUtf8();
    double bestStep = 1e18, bestCopy = 1e18, bestStepCpu = 1e18, bestCopyCpu = 1e18;
    auto cpuNow = [] {
        timespec ts;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    };
    for (auto _ : state) {
        QElapsedTimer t;
        double c0 = cpuNow();
        t.start();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        long rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) ++rows;
        sqlite3_finalize(st);
        bestStep = std::min(bestStep, double(t.nsecsElapsed()) / 1e6);
        bestStepCpu = std::min(bestStepCpu, cpuNow() - c0);
        benchmark::DoNotOptimize(rows);

        TClientDataSet head;
        bench::defineRegisterFields(head);
        TADOQuery q(&c);
        q.SQL = bench::registerListSql();
        TDataSetProvider p;
        p.setDataSet(&q);
        head.setProvider(&p);
        c0 = cpuNow();
        t.restart();
        head.Open();
        bestCopy = std::min(bestCopy, double(t.nsecsElapsed()) / 1e6);
        bestCopyCpu = std::min(bestCopyCpu, cpuNow() - c0);
    }
    sqlite3_close(db);
    state.counters["step_ms"] = bestStep;
    state.counters["copy_ms"] = bestCopy;
    state.counters["ratio"] = bestCopy / bestStep;
    state.counters["cpu_ratio"] = bestCopyCpu / bestStepCpu;
}

void BM_StdStableSortTwoStringKeys(benchmark::State& state)
{
    if (g_plain.empty()) {
        state.SkipWithError("needs the columnar copy first");
        return;
    }
    // Keys: PluName (column 3), then OrgName (column 13).
    const auto& a = g_plain[3];
    const auto& b = g_plain[13];
    for (auto _ : state) {
        std::vector<int> perm(a.size());
        std::iota(perm.begin(), perm.end(), 0);
        std::stable_sort(perm.begin(), perm.end(), [&](int x, int y) {
            const int c = a[size_t(x)].compare(a[size_t(y)]);
            if (c != 0) return c < 0;
            return b[size_t(x)] < b[size_t(y)];
        });
        benchmark::DoNotOptimize(perm.data());
    }
}

// A grid over qryHead with the title sort of the list forms.
std::unique_ptr<TDataSource> g_src;
std::unique_ptr<TDBGridEh> g_grid;

TDBGridEh& grid()
{
    if (!g_grid) {
        g_src = std::make_unique<TDataSource>();
        g_src->setDataSet(g_head.get());
        g_grid = std::make_unique<TDBGridEh>();
        g_grid->setDataSource(g_src.get());
        g_grid->Columns()->AddAllColumns(true);
        EnableTitleSort(g_grid.get());
        g_grid->resize(1200, 800);
    }
    return *g_grid;
}

int columnOf(const char* field)
{
    TColumnEh* c = grid().Columns()->FindColumnByName(QString::fromLatin1(field));
    return c ? c->Index() : -1;
}

void BM_TitleClickOneField(benchmark::State& state)
{
    if (!g_head) {
        state.SkipWithError("needs the load first");
        return;
    }
    const int col = columnOf(state.range(0) ? "PluName" : "OrgName");
    for (auto _ : state) {
        state.PauseTiming();
        g_grid->clearSortMarkers();
        g_head->setIndexName(QString());
        state.ResumeTiming();
        g_grid->clickTitle(col);
    }
    state.counters["rows"] = g_head->RecordCount();
}

void BM_TitleClickTwoMarkers(benchmark::State& state)
{
    if (!g_head) {
        state.SkipWithError("needs the load first");
        return;
    }
    const int first = columnOf("PluName");
    const int second = columnOf("OrgName");
    for (auto _ : state) {
        state.PauseTiming();
        g_grid->clearSortMarkers();
        g_head->setIndexName(QString());
        g_grid->clickTitle(first);
        state.ResumeTiming();
        g_grid->clickTitle(second, true);
    }
    state.counters["markers"] = g_grid->SortMarkedColumns().size();
}

void BM_FilterAllRows(benchmark::State& state)
{
    if (!g_head) {
        state.SkipWithError("needs the load first");
        return;
    }
    const QString exprs[] = {QStringLiteral("OrgCode = '0101' and Result = '0'"),
                             QStringLiteral("PluName like '%霜%' or Remark like '%好%'"),
                             QStringLiteral("BookDate >= '2025-06-01' and BookTime < '12:00:00'")};
    const QString& expr = exprs[state.range(0)];
    for (auto _ : state) {
        state.PauseTiming();
        g_head->setFiltered(false);
        g_head->setFilter(expr);
        state.ResumeTiming();
        g_head->setFiltered(true);
    }
    state.counters["shown"] = g_head->RecordCount();
    g_head->setFiltered(false);
}

void BM_LocateLastRecord(benchmark::State& state)
{
    if (!g_head) {
        state.SkipWithError("needs the load first");
        return;
    }
    g_head->setIndexName(QString());
    g_head->Last();
    const QString remark = g_head->FieldByName(QStringLiteral("Remark"))->AsString();
    const QString time = g_head->FieldByName(QStringLiteral("BookTime"))->AsString();
    const QString date = g_head->FieldByName(QStringLiteral("BookDate"))->AsString();
    bool found = false;
    for (auto _ : state) {
        state.PauseTiming();
        g_head->First();
        state.ResumeTiming();
        if (state.range(0) == 0)
            found = g_head->Locate(QStringLiteral("BookDate;BookTime"), QVariantList{date, time});
        else // no match: every record is compared
            found = g_head->Locate(QStringLiteral("PluName;Remark"), QVariantList{QStringLiteral("zz"), remark},
                                   loCaseInsensitive | loPartialKey);
    }
    state.counters["found"] = found;
}

// --- the goals on realistic volume ------------------------------------------------------------
// Each checks its result against the bare statement, so that a fast wrong answer fails.

// Processor time of the process: on an idle machine it is the wall time of this single-threaded
// work, and on a shared one it is not inflated by the other programs (set QOR_BENCH_WALL=1 for
// wall time).
double nowMs()
{
    static const bool wall = qEnvironmentVariableIntValue("QOR_BENCH_WALL") == 1;
    timespec ts;
    clock_gettime(wall ? CLOCK_MONOTONIC : CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// A register list of its own (dataset, provider, grid with the title sort), loaded once.
struct Loaded {
    TClientDataSet head;
    TADOQuery query{&conn()};
    TDataSetProvider provider;
    TDataSource source;
    TDBGridEh grid;
    Loaded()
    {
        head.setObjectName(QStringLiteral("qryHead"));
        bench::defineRegisterFields(head);
        query.SQL = bench::registerListSql();
        provider.setDataSet(&query);
        head.setProvider(&provider);
        source.setDataSet(&head);
        grid.setDataSource(&source);
        grid.Columns()->AddAllColumns(true);
        EnableTitleSort(&grid);
        grid.resize(1200, 800);
    }
    int column(const char* field)
    {
        TColumnEh* c = grid.Columns()->FindColumnByName(QString::fromLatin1(field));
        return c ? c->Index() : -1;
    }
};

// The bare statement's rows, read once per process: Remark by natural row, as UTF-8.
std::vector<std::string>& bareRemarks()
{
    static std::vector<std::string> remarks;
    if (remarks.empty()) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(qPrintable(bench::databasePath()), &db, SQLITE_OPEN_READONLY, nullptr);
        conn();
        const QByteArray sql = g_sqliteText.toUtf8();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        int col = -1;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            if (qstricmp(sqlite3_column_name(st, i), "Remark") == 0) col = i;
        while (sqlite3_step(st) == SQLITE_ROW) {
            const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
            remarks.emplace_back(p ? p : "", size_t(sqlite3_column_bytes(st, col)));
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    return remarks;
}

// GBK bytes of a text, by Qt's codec path (not the dataset's comparison).
QByteArray gbkOf(const std::string& s)
{
    return Gbk::encode(QString::fromUtf8(s.data(), qsizetype(s.size())));
}

// The view holds every row of the statement, sorted by Remark (GBK bytes) ascending or
// descending, ties in natural order. Returns an error text, empty when right.
std::string checkSortedByRemark(const TClientDataSet& head, bool descending)
{
    const auto& bare = bareRemarks();
    if (size_t(head.RecordCount()) != bare.size())
        return "rows " + std::to_string(head.RecordCount()) + " != " + std::to_string(bare.size());
    // Distinct texts in GBK order, then every adjacent pair of the view against it.
    std::unordered_map<std::string, int> rank;
    {
        std::vector<std::pair<QByteArray, const std::string*>> keys;
        for (const std::string& t : bare)
            if (rank.emplace(t, 0).second) keys.emplace_back(gbkOf(t), &t);
        std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (size_t i = 0; i < keys.size(); ++i) rank[*keys[i].second] = int(i);
    }
    std::vector<char> seen(bare.size(), 0);
    for (int pos = 0; pos < head.RecordCount(); ++pos) {
        const int phys = head.physicalRow(pos);
        if (phys < 0 || size_t(phys) >= bare.size() || seen[size_t(phys)]) return "bad row at " + std::to_string(pos);
        seen[size_t(phys)] = 1;
        if (pos == 0) continue;
        const int prev = head.physicalRow(pos - 1);
        int a = rank[bare[size_t(prev)]], b = rank[bare[size_t(phys)]];
        if (descending) std::swap(a, b);
        if (a > b || (a == b && prev > phys)) return "order broken at " + std::to_string(pos);
    }
    return {};
}

void BM_LoadVsReadValues(benchmark::State& state)
{
    conn();
    sqlite3* db = nullptr;
    sqlite3_open_v2(qPrintable(bench::databasePath()), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db, "PRAGMA mmap_size=4294967296", nullptr, nullptr, nullptr);
    const QByteArray sql = g_sqliteText.toUtf8();
    double bestRead = 1e18, bestLoad = 1e18;
    long bareRows = 0;
    int loaded = 0;
    for (auto _ : state) {
        double t0 = nowMs();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        const int nc = sqlite3_column_count(st);
        size_t bytes = 0;
        bareRows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < nc; ++i) {
                bytes += size_t(sqlite3_column_bytes(st, i));
                benchmark::DoNotOptimize(sqlite3_column_text(st, i));
            }
            ++bareRows;
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(bytes);
        bestRead = std::min(bestRead, nowMs() - t0);

        Loaded l;
        t0 = nowMs();
        l.head.Open();
        bestLoad = std::min(bestLoad, nowMs() - t0);
        loaded = l.head.RecordCount();
    }
    sqlite3_close(db);
    if (loaded != bareRows) state.SkipWithError("the load lost or gained rows");
    state.counters["read_ms"] = bestRead;
    state.counters["load_ms"] = bestLoad;
    state.counters["ratio"] = bestLoad / bestRead;
    state.counters["rows"] = double(loaded);
}

void BM_FirstSortDistinctText(benchmark::State& state)
{
    double best = 1e18;
    std::string error;
    for (auto _ : state) {
        state.PauseTiming();
        auto l = std::make_unique<Loaded>();
        l->head.Open();
        const int col = l->column("Remark");
        state.ResumeTiming();
        const double t0 = nowMs();
        l->grid.clickTitle(col);
        best = std::min(best, nowMs() - t0);
        state.PauseTiming();
        if (error.empty()) error = checkSortedByRemark(l->head, false);
        l.reset();
        state.ResumeTiming();
    }
    if (!error.empty()) state.SkipWithError(error.c_str());
    state.counters["ms"] = best;
}

void BM_RepeatTitleClick(benchmark::State& state)
{
    Loaded l;
    l.head.Open();
    const int cols[] = {l.column("Remark"), l.column("PluName"), l.column("OrgName"), l.column("BookDate")};
    for (int c : cols) l.grid.clickTitle(c); // first clicks: ranks built
    double total = 0;
    long clicks = 0;
    for (auto _ : state) {
        for (int c : cols) {
            const double t0 = nowMs();
            l.grid.clickTitle(c);
            total += nowMs() - t0;
            ++clicks;
        }
    }
    // The last click was on BookDate; one more on Remark, checked (direction as marked).
    l.grid.clickTitle(cols[0]);
    const bool down = l.head.IndexDefs().size() > 0 && !l.head.IndexDefs().last().DescFields.isEmpty();
    const std::string error = checkSortedByRemark(l.head, down);
    if (!error.empty()) state.SkipWithError(error.c_str());
    state.counters["ms"] = total / double(clicks);
}

void BM_ReloadKeepingSort(benchmark::State& state)
{
    Loaded l;
    l.head.Open();
    const int col = l.column("Remark");
    double bestPlain = 1e18, bestSorted = 1e18;
    std::string error;
    for (auto _ : state) {
        l.grid.clearSortMarkers();
        l.head.setIndexName(QString());
        double t0 = nowMs();
        l.head.Refresh();
        bestPlain = std::min(bestPlain, nowMs() - t0);

        l.grid.clickTitle(col);
        t0 = nowMs();
        l.head.Refresh();
        bestSorted = std::min(bestSorted, nowMs() - t0);
        state.PauseTiming();
        if (error.empty()) error = checkSortedByRemark(l.head, false);
        state.ResumeTiming();
    }
    if (!error.empty()) state.SkipWithError(error.c_str());
    state.counters["plain_ms"] = bestPlain;
    state.counters["sorted_ms"] = bestSorted;
    state.counters["ratio"] = bestSorted / bestPlain;
}

void BM_FilterSortedVsUnsorted(benchmark::State& state)
{
    Loaded l;
    l.head.Open();
    const QString expr = QStringLiteral("Remark like '%好%'");
    const char* sortOn[] = {"Remark", "PluName", "BookTime"};
    double bestPlain = 1e18, bestSorted = 1e18;
    std::string error;
    // The bare statement's answer: the natural rows whose remark holds the character.
    std::vector<int> expected;
    {
        const auto& bare = bareRemarks();
        for (size_t r = 0; r < bare.size(); ++r)
            if (bare[r].find("好") != std::string::npos) expected.push_back(int(r));
    }
    int round = 0;
    for (auto _ : state) {
        l.grid.clearSortMarkers();
        l.head.setIndexName(QString());
        l.head.setFiltered(false);
        l.head.setFilter(expr);
        double t0 = nowMs();
        l.head.setFiltered(true);
        bestPlain = std::min(bestPlain, nowMs() - t0);
        std::vector<int> plain;
        for (int i = 0; i < l.head.RecordCount(); ++i) plain.push_back(l.head.physicalRow(i));

        l.head.setFiltered(false);
        l.grid.clickTitle(l.column(sortOn[round++ % 3]));
        std::vector<int> order; // the sorted view before the filter
        for (int i = 0; i < l.head.RecordCount(); ++i) order.push_back(l.head.physicalRow(i));
        t0 = nowMs();
        l.head.setFiltered(true);
        bestSorted = std::min(bestSorted, nowMs() - t0);

        state.PauseTiming();
        if (error.empty() && plain != expected) error = "the unsorted filter differs from the statement";
        if (error.empty()) {
            // The sorted filter: the unsorted filter's rows in the sorted order.
            std::vector<char> in(order.size(), 0);
            for (int r : expected) in[size_t(r)] = 1;
            std::vector<int> want;
            for (int r : order)
                if (in[size_t(r)]) want.push_back(r);
            std::vector<int> got;
            for (int i = 0; i < l.head.RecordCount(); ++i) got.push_back(l.head.physicalRow(i));
            if (got != want) error = "the sorted filter differs";
        }
        state.ResumeTiming();
    }
    if (!error.empty()) state.SkipWithError(error.c_str());
    state.counters["unsorted_ms"] = bestPlain;
    state.counters["sorted_ms"] = bestSorted;
    state.counters["shown"] = double(expected.size());
}

// Memory of the process from /proc (kB): one field of status or the sum of smaps_rollup's
// private lines.
double procKb(const char* file, const char* key, bool sumPrivate = false)
{
    FILE* f = std::fopen(file, "r");
    if (!f) return 0;
    char line[256];
    double kb = 0;
    while (std::fgets(line, sizeof line, f)) {
        if (sumPrivate ? std::strncmp(line, "Private_", 8) == 0 : std::strncmp(line, key, std::strlen(key)) == 0) {
            const char* p = std::strchr(line, ':');
            if (p) kb += std::atof(p + 1);
        }
    }
    std::fclose(f);
    return kb;
}

// Run alone (--benchmark_filter=BM_ReloadMemory): the peak during a reload against the
// resident size after the first load, and the private memory after five reloads against one.
void BM_ReloadMemory(benchmark::State& state)
{
    double peakRatio = 0, privateRatio = 0, rssMiB = 0, storeMiB = 0, anonMiB = 0, fileMiB = 0;
    for (auto _ : state) {
        Loaded l;
        l.head.Open();
        l.grid.clickTitle(l.column("Remark"));
        const double rss = procKb("/proc/self/status", "VmRSS:");
        fileMiB = procKb("/proc/self/status", "RssFile:") / 1024;
        // Reset the peak to the current size, then reload.
        if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f);
            std::fclose(f);
        }
        l.head.Refresh();
        const double peak = procKb("/proc/self/status", "VmHWM:");
        const double private1 = procKb("/proc/self/smaps_rollup", nullptr, true);
        for (int k = 0; k < 4; ++k) l.head.Refresh();
        const double private5 = procKb("/proc/self/smaps_rollup", nullptr, true);
        peakRatio = peak / rss;
        privateRatio = private5 / private1;
        rssMiB = rss / 1024;
        storeMiB = double(l.head.store()->memoryBytes()) / (1024.0 * 1024.0);
        anonMiB = procKb("/proc/self/status", "RssAnon:") / 1024;
        if (size_t(l.head.RecordCount()) != bareRemarks().size()) state.SkipWithError("rows lost in a reload");
    }
    state.counters["peak_ratio"] = peakRatio;
    state.counters["private_ratio"] = privateRatio;
    state.counters["rss_MiB"] = rssMiB;
    state.counters["anon_MiB"] = anonMiB; // after the five reloads
    state.counters["store_MiB"] = storeMiB;
    state.counters["file_MiB"] = fileMiB; // mapped files (the database) in rss_MiB
}

// Run alone (--benchmark_filter=BM_ExportRows/N): the register list written to a workbook (0),
// text (1) or HTML (2) as the export does it, row by row from the dataset; time and the growth
// of the peak resident memory over the loaded list.
void BM_ExportRows(benchmark::State& state)
{
    static const commdll::ExportKind kinds[] = {commdll::ExportKind::Excel, commdll::ExportKind::Text,
                                                commdll::ExportKind::Html};
    static const char* const suffix[] = {"xlsx", "txt", "htm"};
    const int k = int(state.range(0));
    Loaded l;
    l.head.Open();
    const commdll::GridSnapshot s = commdll::snapshotGrid(&l.grid);
    const QString path = QDir::currentPath() + QStringLiteral("/bench-export.%1").arg(QLatin1String(suffix[k]));
    double ms = 0, growMiB = 0, finishMs = 0;
    for (auto _ : state) {
        QFile::remove(path);
        const double rss = procKb("/proc/self/status", "VmRSS:");
        if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f);
            std::fclose(f);
        }
        const double t0 = nowMs();
        auto sink = commdll::openExport(kinds[k], s, path, QStringLiteral("bench"));
        commdll::ExportRowReader reader(&l.grid, s, sink->numberTexts());
        for (int r = 0; r < l.head.RecordCount(); ++r) sink->row(reader.read(r));
        const double t1 = nowMs();
        sink->finish();
        ms = nowMs() - t0;
        finishMs = nowMs() - t1;
        growMiB = (procKb("/proc/self/status", "VmHWM:") - rss) / 1024;
    }
    if (!QFile::exists(path)) state.SkipWithError("no file written");
    state.counters["ms"] = ms;
    state.counters["finish_ms"] = finishMs; // of ms: closing the file (a workbook compresses its sheets then)
    state.counters["grow_MiB"] = growMiB;
    state.counters["file_MiB"] = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    state.counters["rows"] = l.head.RecordCount();
    QFile::remove(path);
}

} // namespace

BENCHMARK(BM_SqliteStepOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SqliteReadValues)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CursorStepOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CursorReadTextOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ColumnarStdStringCopy)->Unit(benchmark::kMillisecond)->Iterations(1);
#ifdef QOR_HAVE_QTSQL
BENCHMARK(BM_QtSqlVariantRows)->Unit(benchmark::kMillisecond)->Iterations(1);
#endif
BENCHMARK(BM_StdStableSortTwoStringKeys)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ProviderCopyIntoQryHead)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ProviderCopyVsStepping)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TitleClickOneField)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TitleClickTwoMarkers)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FilterAllRows)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LocateLastRecord)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadVsReadValues)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FirstSortDistinctText)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_RepeatTitleClick)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReloadKeepingSort)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_FilterSortedVsUnsorted)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReloadMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ExportRows)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    g_grid.reset();
    g_src.reset();
    g_head.reset();
    benchmark::Shutdown();
    return 0;
}
