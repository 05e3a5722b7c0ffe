// Loading the register list into the in-memory dataset and working on it, against the plain
// ways of doing the same. Run: bench_DatasetBench (QOR_BENCH_TRIALS, QOR_BENCH_DB to choose).
#include "bench/DatasetBenchData.h"

#include "platform/grid/GridServices.h"
#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/DataSource.h"
#include "platform/dataset/Store.h"
#include "platform/grid/DBGridEh.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <ctime>
#include <benchmark/benchmark.h>
#include <numeric>
#include <sqlite3.h>
#include <string>
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
