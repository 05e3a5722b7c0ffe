// Reading cost of the database layer over the volume database (1,000,000 trials, as made by
// `qorctl init-db FILE --trials 1000000`).
//
// - RegisterList/TADOQuery*: the register list's SELECT (written in T-SQL, translated) read row by
//   row through TADOQuery, every field taken as the program takes it (by index or by name).
// - RegisterList/Sqlite3*: the same statement text through the bare sqlite3 C API; "Values"
//   builds the same QString/number values, "Bytes" only touches the bytes.
// - IndexOrder/{Mmap,NoMmap}: 1,000,000 trials read in the order of their key index with and
//   without memory-mapped I/O (both over the warm operating-system cache). The generated table
//   stores its rows in key order; IndexOrderShuffled reads a copy (made once, beside the bench
//   database) whose rows are stored in random order, so that every row is a page lookup.
//
// The database is QOR_BENCH_DB, or qor-bench-1m.db in the temporary folder, made on first use.
// Medians come from the repetitions (default 5, interleaved).
#include "platform/db/Db.h"
#include "schema/Schema.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kTrials = 1000000;

QString benchDbPath()
{
    const QString env = qEnvironmentVariable("QOR_BENCH_DB");
    return env.isEmpty() ? QDir::tempPath() + QStringLiteral("/qor-bench-1m.db") : env;
}

void ensureBenchDb()
{
    const QString path = benchDbPath();
    if (QFileInfo::exists(path)) return;
    std::fprintf(stderr, "creating %s with %d trials...\n", qPrintable(path), kTrials);
    QElapsedTimer t;
    t.start();
    auto c = TADOConnection::openSqlite(path);
    Schema::createDatabase(*c, false);
    Schema::generateTrials(*c, kTrials);
    std::fprintf(stderr, "created in %.1f s\n", t.elapsed() / 1000.0);
}

// The register list's statement as the list form composes it (no condition).
QString shuffledDbPath()
{
    QString p = benchDbPath();
    if (p.endsWith(QLatin1String(".db"))) p.chop(3);
    return p + QStringLiteral("-shuffled.db");
}

void ensureShuffledDb()
{
    const QString path = shuffledDbPath();
    if (QFileInfo::exists(path)) return;
    std::fprintf(stderr, "creating %s...\n", qPrintable(path));
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) std::abort();
    const QByteArray sql = QStringLiteral("PRAGMA journal_mode=WAL; ATTACH '%1' AS src; BEGIN;"
                                          "CREATE TABLE TryOutBK AS SELECT * FROM src.TryOutBK ORDER BY random();"
                                          "CREATE UNIQUE INDEX UQ_TryOutBK_Key ON TryOutBK(BookDate,BookTime,OrgCode,PluCode);"
                                          "COMMIT;")
                               .arg(QString(benchDbPath()).replace(QLatin1Char('\''), QLatin1String("''")))
                               .toUtf8();
    char* err = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", err ? err : "error");
        std::abort();
    }
    sqlite3_close(db);
}

QStringList registerListSql()
{
    return {QStringLiteral("select BookDate,BookTime,T.PluCode PluCode,PluName,Spec,BarCode,Result, "),
            QStringLiteral("T.Remark Remark,T.UserCode,T.UserName,ZdrCode,ZdrName, "),
            QStringLiteral(" T.OrgCode OrgCode,OrgName"),
            QStringLiteral("from TryOutBK T Left Join SubShop S on T.OrgCode=S.OrgCode "),
            QStringLiteral("                Left Join Goods R on T.PluCode=R.PluCode"),
            QStringLiteral(" order by BookDate,BookTime ")};
}

const char* const kFieldNames[] = {"BookDate", "BookTime", "PluCode",  "PluName",  "Spec",    "BarCode", "Result",
                                   "Remark",   "UserCode", "UserName", "ZdrCode",  "ZdrName", "OrgCode", "OrgName"};

// Keeps the compiler from dropping the values read.
struct Sink {
    qint64 chars = 0;
    qint64 rows = 0;
    void take(QString s) { chars += s.size(); }
};

void checkRows(benchmark::State& state, qint64 rows)
{
    if (rows < kTrials) state.SkipWithError("the bench database holds fewer trials than expected");
    state.counters["rows"] = double(rows);
}

void RegisterList_TADOQuery_ByIndex(benchmark::State& state)
{
    auto conn = TADOConnection::openSqlite(benchDbPath());
    for (auto _ : state) {
        TADOQuery q(conn.get());
        q.SQL = registerListSql();
        q.Open();
        Sink s;
        const int n = q.FieldCount();
        while (!q.Eof()) {
            for (int i = 0; i < n; ++i) s.take(q.Field(i).AsString());
            ++s.rows;
            q.Next();
        }
        benchmark::DoNotOptimize(s.chars);
        checkRows(state, s.rows);
    }
}

void RegisterList_TADOQuery_ByName(benchmark::State& state)
{
    auto conn = TADOConnection::openSqlite(benchDbPath());
    std::vector<QString> names;
    for (const char* n : kFieldNames) names.push_back(QString::fromLatin1(n));
    for (auto _ : state) {
        TADOQuery q(conn.get());
        q.SQL = registerListSql();
        q.Open();
        Sink s;
        while (!q.Eof()) {
            for (const QString& n : names) s.take(q.FieldByName(n).AsString());
            ++s.rows;
            q.Next();
        }
        benchmark::DoNotOptimize(s.chars);
        checkRows(state, s.rows);
    }
}

struct RawDb {
    sqlite3* db = nullptr;
    explicit RawDb(bool mmap, const QString& path = benchDbPath())
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK)
            std::abort();
        sqlite3_exec(db, mmap ? "PRAGMA mmap_size=4294967296" : "PRAGMA mmap_size=0", nullptr, nullptr, nullptr);
    }
    ~RawDb() { sqlite3_close(db); }
};

// The same text the layer prepares (translation included), prepared and read by hand.
void RegisterList_Sqlite3_Values(benchmark::State& state)
{
    RawDb raw(true);
    auto conn = TADOConnection::openSqlite(benchDbPath());
    const QByteArray sql = conn->prepareText(registerListSql().join(QLatin1Char('\n'))).toUtf8();
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw.db, sql.constData(), int(sql.size()), &st, nullptr);
        const int n = sqlite3_column_count(st);
        qint64 chars = 0, rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < n; ++i) {
                // The values the program needs: text as QString, numbers as numbers.
                switch (sqlite3_column_type(st, i)) {
                case SQLITE_INTEGER: chars += QString::number(sqlite3_column_int64(st, i)).size(); break;
                case SQLITE_FLOAT: chars += QString::number(sqlite3_column_double(st, i)).size(); break;
                case SQLITE_NULL: break;
                default: {
                    const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                    chars += QString::fromUtf8(p, sqlite3_column_bytes(st, i)).size();
                }
                }
            }
            ++rows;
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(chars);
        checkRows(state, rows);
    }
}

void RegisterList_Sqlite3_Bytes(benchmark::State& state)
{
    RawDb raw(true);
    auto conn = TADOConnection::openSqlite(benchDbPath());
    const QByteArray sql = conn->prepareText(registerListSql().join(QLatin1Char('\n'))).toUtf8();
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw.db, sql.constData(), int(sql.size()), &st, nullptr);
        const int n = sqlite3_column_count(st);
        qint64 bytes = 0, rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < n; ++i) {
                const unsigned char* p = sqlite3_column_text(st, i);
                if (p) bytes += sqlite3_column_bytes(st, i) + p[0];
            }
            ++rows;
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(bytes);
        checkRows(state, rows);
    }
}

// Trials in the order of their key index (BookDate, BookTime, OrgCode, PluCode), each row's
// other columns fetched from the table.
void indexOrder(benchmark::State& state, bool mmap, const QString& path = benchDbPath())
{
    RawDb raw(mmap, path);
    const char* sql = "select BookDate,BookTime,OrgCode,PluCode,Result,Remark,ZdrCode,ZdrName,UserCode,UserName "
                      "from TryOutBK order by BookDate,BookTime,OrgCode,PluCode";
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw.db, sql, -1, &st, nullptr);
        qint64 bytes = 0, rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < 10; ++i) bytes += sqlite3_column_bytes(st, i);
            ++rows;
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(bytes);
        checkRows(state, rows);
    }
}
void IndexOrder_Mmap(benchmark::State& state) { indexOrder(state, true); }
void IndexOrder_NoMmap(benchmark::State& state) { indexOrder(state, false); }
void IndexOrderShuffled_Mmap(benchmark::State& state) { indexOrder(state, true, shuffledDbPath()); }
void IndexOrderShuffled_NoMmap(benchmark::State& state) { indexOrder(state, false, shuffledDbPath()); }

} // namespace

BENCHMARK(RegisterList_TADOQuery_ByIndex)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(RegisterList_TADOQuery_ByName)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(RegisterList_Sqlite3_Values)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(RegisterList_Sqlite3_Bytes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(IndexOrder_Mmap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(IndexOrder_NoMmap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(IndexOrderShuffled_Mmap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(IndexOrderShuffled_NoMmap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<char*> args(argv, argv + argc);
    bool reps = false;
    for (int i = 1; i < argc; ++i) reps = reps || std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0;
    std::string r = "--benchmark_repetitions=5", il = "--benchmark_enable_random_interleaving=true",
                agg = "--benchmark_report_aggregates_only=true";
    if (!reps) {
        args.push_back(r.data());
        args.push_back(il.data());
        args.push_back(agg.data());
    }
    int n = int(args.size());
    benchmark::Initialize(&n, args.data());
    try {
        ensureBenchDb();
        ensureShuffledDb();
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
