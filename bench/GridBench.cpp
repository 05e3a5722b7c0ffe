// The grid over the loaded register list: the first screen after the load, scrolling, and the
// footer sums after a filter.
#include "bench/DatasetBenchData.h"

#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <benchmark/benchmark.h>

namespace {

std::unique_ptr<TADOConnection> g_conn;
std::unique_ptr<TClientDataSet> g_head;
std::unique_ptr<TADOQuery> g_query;
std::unique_ptr<TDataSetProvider> g_provider;
TField* g_sat = nullptr;

// The register list as the form loads it, plus a counted column for the footer sums.
void load()
{
    if (g_head) return;
    g_conn = TADOConnection::openSqlite(bench::databasePath());
    g_head = std::make_unique<TClientDataSet>();
    bench::defineRegisterFields(*g_head);
    g_sat = g_head->addField(QStringLiteral("Satisfied"), ftInteger);
    g_sat->setFieldKind(fkInternalCalc);
    TField* resD = g_head->FieldByName(QStringLiteral("ResultD"));
    TField* res = g_head->FieldByName(QStringLiteral("Result"));
    TField* sat = g_sat;
    g_head->setOnCalcFields([resD, res, sat](TClientDataSet*) {
        static const std::string ok = "0-满意", bad = "1-不满意";
        const bool good = res->asUtf8() == "0";
        resD->setUtf8(good ? ok : bad);
        sat->setAsInteger(good ? 1 : 0);
    });
    g_query = std::make_unique<TADOQuery>(g_conn.get());
    g_query->SQL = bench::registerListSql();
    g_provider = std::make_unique<TDataSetProvider>();
    g_provider->setDataSet(g_query.get());
    g_head->setProvider(g_provider.get());
    g_head->Open();
}

void paint(QWidget& w)
{
    QImage img(w.size(), QImage::Format_ARGB32_Premultiplied);
    w.render(&img);
    benchmark::DoNotOptimize(img.bits());
}

std::unique_ptr<TDataSource> makeSource()
{
    auto src = std::make_unique<TDataSource>();
    src->setDataSet(g_head.get());
    return src;
}

void addColumns(TDBGridEh& g)
{
    const char* titles[][2] = {{"BookDate", "试用|日期"},     {"BookTime", "试用|时间"},   {"PluCode", "试用品|编码"},
                               {"PluName", "试用品|名称"},    {"BarCode", "试用品|条码"},  {"Spec", "试用品|规格"},
                               {"ResultD", "试用结果"},       {"Remark", "评价"},          {"ZdrCode", "美容顾问|编码"},
                               {"ZdrName", "美容顾问|名称"},  {"UserCode", "操作员|编码"}, {"UserName", "操作员|姓名"},
                               {"OrgCode", "组织|编码"},      {"OrgName", "组织|名称"},    {"Satisfied", "满意次数"}};
    for (const auto& t : titles) {
        TColumnEh* c = g.Columns()->Add();
        c->setFieldName(QString::fromLatin1(t[0]));
        c->Title()->setCaption(QString::fromUtf8(t[1]));
    }
    g.Columns()->FindColumnByName(QStringLiteral("Satisfied"))->Footer()->setValueType(fvtSum);
    g.Columns()->FindColumnByName(QStringLiteral("BookDate"))->Footer()->setValueType(fvtCount);
    g.setFooterRowCount(1);
}

// From a loaded dataset to the first painted screen: binding the grid (model over every row)
// and painting titles, rows and footer.
void BM_FirstScreenAfterLoad(benchmark::State& state)
{
    load();
    for (auto _ : state) {
        state.PauseTiming();
        auto src = makeSource();
        TDBGridEh g;
        addColumns(g);
        g.resize(1280, 800);
        state.ResumeTiming();
        g.setDataSource(src.get());
        paint(g);
        state.PauseTiming();
        state.counters["rows"] = g.model()->rowCount();
        state.ResumeTiming();
    }
}

// Paging through the rows as scrolling does: each step moves a screen and paints it.
void BM_ScrollOneScreen(benchmark::State& state)
{
    load();
    auto src = makeSource();
    TDBGridEh g;
    addColumns(g);
    g.resize(1280, 800);
    g.setDataSource(src.get());
    paint(g);
    QScrollBar* sb = g.verticalScrollBar();
    int v = 0;
    for (auto _ : state) {
        v = (v + sb->pageStep() * 97) % std::max(1, sb->maximum());
        sb->setValue(v);
        paint(g);
    }
}

// After a filter: the footer sums over the rows shown.
void BM_FooterSumsAfterFilter(benchmark::State& state)
{
    load();
    auto src = makeSource();
    TDBGridEh g;
    addColumns(g);
    g.resize(1280, 800);
    g.setDataSource(src.get());
    for (auto _ : state) {
        state.PauseTiming();
        g_head->setFiltered(false);
        g_head->setFilter(QStringLiteral("Result = '0'"));
        g_head->setFiltered(true);
        state.ResumeTiming();
        g.updateFooters();
    }
    state.counters["shown"] = g_head->RecordCount();
    state.SetLabel(qPrintable(QStringLiteral("sum=%1 count=%2").arg(g.footerText(14), g.footerText(0))));
    g_head->setFiltered(false);
}

} // namespace

BENCHMARK(BM_FirstScreenAfterLoad)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ScrollOneScreen)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_FooterSumsAfterFilter)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    g_head.reset();
    benchmark::Shutdown();
    return 0;
}
