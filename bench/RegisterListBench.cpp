// The register list on the volume database against the dataset platform's own load of the same
// statement, in one run: refresh with no condition (from the action to the first painted screen)
// and a title click afterwards, with the peak resident memory (VmHWM) of each.
// Run: bench_RegisterListBench (QOR_BENCH_DB names the database, e.g. one made by
// `qorctl init-db FILE --demo --trials 1000000`; otherwise one is made as for bench_DatasetBench).
#include "bench/DatasetBenchData.h"

#include "host/include/PubProcDll.h"
#include "module/EntryPoints.h"
#include "platform/dataset/DataSetProvider.h"
#include "platform/grid/DBGridEh.h"
#include "tryout/TryOutMng.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <malloc.h>

namespace {

// A field of /proc/self/status in MiB.
double statusMiB(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Sets the peak resident size back to the present one, so that the next phase's peak is its own.
void resetPeak()
{
    malloc_trim(0);
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

struct Phase {
    double ms = 0;
    double clickMs = 0;
    double peakMiB = 0;
    double baseMiB = 0;
    int rows = 0;
};

// The platform alone: the statement through the provider into a client dataset with the
// list's fields, then one sort by the first column.
Phase platformLoad(TADOConnection& conn)
{
    resetPeak();
    Phase p;
    p.baseMiB = statusMiB("VmRSS:");
    TADOQuery q(&conn);
    q.SQL = bench::registerListSql();
    TDataSetProvider provider;
    provider.setDataSet(&q);
    TClientDataSet ds;
    bench::defineRegisterFields(ds);
    ds.setProvider(&provider);
    QElapsedTimer t;
    t.start();
    ds.Open();
    p.ms = double(t.nsecsElapsed()) / 1e6;
    p.rows = ds.RecordCount();
    t.restart();
    ds.AddIndex(QStringLiteral("SortIndexEh"), QStringLiteral("BookDate"));
    ds.setIndexName(QStringLiteral("SortIndexEh"));
    p.clickMs = double(t.nsecsElapsed()) / 1e6;
    p.peakMiB = statusMiB("VmHWM:");
    return p;
}

// The register list as the host opens it: refresh, then a click on the first column's title,
// each until the form is painted.
Phase registerList()
{
    resetPeak();
    Phase p;
    p.baseMiB = statusMiB("VmRSS:");
    auto* form = qobject_cast<TfrmTryOutMng*>(frmTryoutMngShow(qApp, nullptr));
    form->FunCode = QStringLiteral("080101");
    form->resize(1280, 720);
    form->show();
    form->repaint();
    QElapsedTimer t;
    t.start();
    form->actRefresh->trigger();
    form->repaint();
    p.ms = double(t.nsecsElapsed()) / 1e6;
    p.rows = form->qryHead->RecordCount();
    t.restart();
    form->dgrdHead->clickTitle(0);
    form->repaint();
    p.clickMs = double(t.nsecsElapsed()) / 1e6;
    p.peakMiB = statusMiB("VmHWM:");
    delete form;
    return p;
}

void BM_RegisterListAgainstPlatform(benchmark::State& state)
{
    auto conn = TADOConnection::openSqlite(bench::databasePath());
    QorSession s;
    s.userCode = QStringLiteral("QVW");
    s.stationId = QStringLiteral("BENCH");
    s.isCenter = true;
    setQorSession(s);
    qorHostConnection() = conn.get();
    Phase platform, list;
    for (auto _ : state) {
        platform = platformLoad(*conn);
        list = registerList();
    }
    qorHostConnection() = nullptr;
    state.counters["rows"] = list.rows;
    state.counters["platform_load_ms"] = platform.ms;
    state.counters["list_refresh_ms"] = list.ms;
    state.counters["refresh_ratio"] = list.ms / platform.ms;
    state.counters["platform_sort_ms"] = platform.clickMs;
    state.counters["list_title_click_ms"] = list.clickMs;
    state.counters["click_ratio"] = list.clickMs / platform.clickMs;
    state.counters["platform_VmHWM_MiB"] = platform.peakMiB;
    state.counters["list_VmHWM_MiB"] = list.peakMiB;
    state.counters["VmHWM_ratio"] = list.peakMiB / platform.peakMiB;
    state.counters["platform_growth_MiB"] = platform.peakMiB - platform.baseMiB;
    state.counters["list_growth_MiB"] = list.peakMiB - list.baseMiB;
}
BENCHMARK(BM_RegisterListAgainstPlatform)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
