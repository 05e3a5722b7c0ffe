#include "tests/fuzz/FuzzCommon.h"

#include "platform/db/Db.h"
#include "platform/ui/Prompter.h"
#include "schema/Schema.h"

#include <QApplication>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace fuzz {

std::vector<QByteArray> pieces(const uint8_t* data, size_t size, int n)
{
    std::vector<QByteArray> out;
    const char* p = reinterpret_cast<const char*>(data);
    const char* end = p + size;
    while (int(out.size()) < n - 1 && p < end) {
        const char* z = std::find(p, end, '\0');
        out.emplace_back(p, qsizetype(z - p));
        p = z == end ? end : z + 1;
    }
    if (int(out.size()) < n) out.emplace_back(p, qsizetype(end - p));
    while (int(out.size()) < n) out.emplace_back();
    return out;
}

QString text(const QByteArray& bytes) { return QString::fromUtf8(bytes); }

void ensureApp(bool widgets)
{
    if (QCoreApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    if (widgets)
        new QApplication(argc, argv);
    else
        new QCoreApplication(argc, argv);
}

TADOConnection& scratchDb()
{
    static std::unique_ptr<TADOConnection> db = [] {
        auto c = TADOConnection::openSqlite(u":memory:"_s);
        Schema::createDatabase(*c, false);
        return c;
    }();
    return *db;
}

QStringList snapshot(TADOConnection& db)
{
    QStringList out;
    QStringList tables;
    {
        TADOQuery q(&db);
        q.SQL << u"select type, name, sql from sqlite_master order by name"_s;
        q.Open();
        while (!q.Eof()) {
            out << q.Field(0).AsString() + u'|' + q.Field(1).AsString() + u'|' + q.Field(2).AsString();
            if (q.Field(0).AsString() == u"table"_s) tables << q.Field(1).AsString();
            q.Next();
        }
    }
    for (const QString& t : std::as_const(tables)) {
        // The backend's own text: table names come from the database itself.
        TADOQuery q(&db);
        q.SQL << u"select * from "_s + t;
        q.Open();
        QStringList rows;
        while (!q.Eof()) {
            QStringList cells;
            for (int i = 0; i < q.FieldCount(); ++i) cells << q.Field(i).AsString();
            rows << cells.join(u'\x1f');
            q.Next();
        }
        rows.sort();
        out << t + u':' + rows.join(u'\x1e');
    }
    return out;
}

QString changeMark(TADOConnection& db)
{
    TADOQuery q(&db);
    q.SQL << u"select total_changes(), (select schema_version from pragma_schema_version())"_s;
    q.Open();
    return q.Field(0).AsString() + u'/' + q.Field(1).AsString();
}

namespace {
int g_prompts = 0;
QString g_last;

class QuietPrompter : public Prompter {
public:
    PromptAnswer ask(const PromptCall& call, QWidget*, QPrinter*) override
    {
        ++g_prompts;
        g_last = call.text;
        return PromptAnswer{MsgResult::OK, false, {}};
    }
};
} // namespace

void installQuietPrompter()
{
    static QuietPrompter p;
    Prompter::install(&p);
}
int promptCount() { return g_prompts; }
QString lastPrompt() { return g_last; }

void fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "FUZZ FAILURE: %s\n%s\n", what, detail.toUtf8().constData());
    std::abort();
}

} // namespace fuzz
