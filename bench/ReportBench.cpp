// Speed of the try-out summary report over the volume database (1,000,000 trials and about
// 200,000 bill lines, as made by `qorctl init-db FILE --trials 1000000`).
//
// - Report/WholeRange: from the refresh action to the rows painted in the grid, over every date
//   of the data. In each iteration the same statement (as the report composed it, translated for
//   SQLite, with the same parameters) first runs in the sqlite3 shell on the same file with its
//   output to /dev/null; the counters give the shell's time and report / shell.
// - Report/OneMonth: the same for the last month of the data (the report alone).
//
// The database is QOR_BENCH_DB, or qor-bench-1m.db in the temporary folder, made on first use.
// The report runs offscreen as the administrator at head office, all organisations.
#include "host/include/PubProcDll.h"
#include "module/EntryPoints.h"
#include "module/MISPub.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/db/Db.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Prompter.h"
#include "schema/Schema.h"
#include "tryout/SumSpRptQ.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const int kTrials = 1000000;

QString benchDbPath()
{
    const QString env = qEnvironmentVariable("QOR_BENCH_DB");
    return env.isEmpty() ? QDir::tempPath() + u"/qor-bench-1m.db"_s : env;
}

void ensureBenchDb()
{
    const QString path = benchDbPath();
    if (QFileInfo::exists(path)) return;
    std::fprintf(stderr, "creating %s with %d trials...\n", qPrintable(path), kTrials);
    auto c = TADOConnection::openSqlite(path);
    Schema::createDatabase(*c, false);
    Schema::generateTrials(*c, kTrials);
}

// Message boxes must not wait for a person: every one is written to stderr and counted.
class CountingPrompter : public Prompter {
public:
    PromptAnswer ask(const PromptCall& call, QWidget*, QPrinter*) override
    {
        ++messages;
        std::fprintf(stderr, "message: %s\n", qPrintable(call.text));
        return PromptAnswer{MsgResult::OK, false, {}};
    }
    int messages = 0;
};

struct Env {
    std::unique_ptr<TADOConnection> conn;
    CountingPrompter prompter;
    TfrmSumSpRptQ* form = nullptr;
    QDate first, last; // the dates of the data
    QTemporaryDir scratch;
};

Env& env()
{
    static Env* e = [] {
        ensureBenchDb();
        auto* x = new Env;
        x->conn = TADOConnection::openSqlite(benchDbPath());
        QorSession s;
        s.userCode = u"QVW"_s;
        s.userName = u"系统管理员"_s;
        s.stationId = u"BENCH"_s;
        s.branchNo = u"0001"_s;
        s.isCenter = true;
        setQorSession(s);
        qorHostConnection() = x->conn.get();
        Prompter::install(&x->prompter);
        TADOQuery q(x->conn.get());
        q.SQL << u"select min(d), max(d) from (select min(BookDate) d from TryOutBK union all "_s
                 u"select max(BookDate) from TryOutBK union all select min(DrawDate) from DrawForm union all "_s
                 u"select max(DrawDate) from DrawForm) A"_s;
        q.Open();
        x->first = QDate::fromString(q.Field(0).AsString(), Qt::ISODate);
        x->last = QDate::fromString(q.Field(1).AsString(), Qt::ISODate);
        q.Close();
        x->form = qobject_cast<TfrmSumSpRptQ*>(frmSpRptShow(qApp, nullptr));
        if (!x->form) std::abort();
        x->form->FunCode = u"080102"_s;
        x->form->resize(1280, 800);
        x->form->show();
        return x;
    }();
    return *e;
}

// The refresh action to the rows painted; seconds.
double runReport(const QDate& b, const QDate& e, benchmark::State& state)
{
    Env& x = env();
    x.form->dtpBgnDate->setDate(b);
    x.form->dtpEndDate->setDate(e);
    const int before = x.prompter.messages;
    QElapsedTimer t;
    t.start();
    x.form->actRefresh->trigger();
    x.form->dgrdHead->viewport()->repaint();
    const double s = t.nsecsElapsed() / 1e9;
    if (x.prompter.messages != before || !x.form->qryHead->Active() || x.form->qryHead->IsEmpty())
        state.SkipWithError("the report showed no rows");
    return s;
}

// The statement the report ran last, as SQLite receives it, in a script for the sqlite3 shell
// with the report's parameters.
QString shellScript()
{
    Env& x = env();
    const TQorAdoQry& q = *x.form->qryAdoHead;
    QString script;
    std::vector<DbParam> params;
    for (const DbParam& p : q.Parameters.items()) {
        params.push_back(p);
        // The value in double quotes: the shell then takes '…' as a string literal.
        script += u".param set :%1 \"'%2'\"\n"_s.arg(p.Name, p.Value.toString());
    }
    script += x.conn->prepareText(q.sqlText(), params) + u";\n"_s;
    return script;
}

// Runs a script in the sqlite3 shell on the bench database, output to /dev/null; seconds.
double runShell(const QString& scriptFile, benchmark::State& state)
{
    QProcess p;
    p.setStandardInputFile(scriptFile);
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(u"sqlite3"_s, {u"-batch"_s, benchDbPath()});
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        state.SkipWithError("the sqlite3 shell failed");
        std::fprintf(stderr, "%s\n", p.readAllStandardError().constData());
    }
    return t.nsecsElapsed() / 1e9;
}

void Report_WholeRange(benchmark::State& state)
{
    Env& x = env();
    // The statement once, to write it for the shell.
    runReport(x.first, x.last, state);
    const QString file = x.scratch.filePath(u"report.sql"_s);
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(shellScript().toUtf8()) < 0) std::abort();
    f.close();
    if (qEnvironmentVariableIsSet("QOR_BENCH_PRINT_SQL")) std::fprintf(stderr, "%s", qPrintable(shellScript()));
    double shellTotal = 0, reportTotal = 0;
    for (auto _ : state) {
        shellTotal += runShell(file, state);
        const double r = runReport(x.first, x.last, state);
        reportTotal += r;
        state.SetIterationTime(r);
    }
    const double n = double(state.iterations());
    state.counters["rows"] = x.form->qryHead->RecordCount();
    state.counters["shell_ms"] = shellTotal / n * 1000;
    state.counters["report/shell"] = shellTotal > 0 ? reportTotal / shellTotal : 0;
}

void Report_OneMonth(benchmark::State& state)
{
    Env& x = env();
    const QDate e = x.last;
    const QDate b(e.year(), e.month(), 1);
    for (auto _ : state) state.SetIterationTime(runReport(b, e, state));
    state.counters["rows"] = x.form->qryHead->RecordCount();
}

} // namespace

BENCHMARK(Report_WholeRange)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(Report_OneMonth)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
