// The condition builder with hostile values: every fragment it builds runs on SQLite, changes no
// table, and keeps the typed value as one literal (an "=" line on a text field finds exactly the
// row that holds the value).
#include "platform/db/Db.h"
#include "query/PubQuery.h"
#include "tests/fuzz/FuzzCommon.h"

using namespace Qt::StringLiterals;

namespace {

TQryCatalog& catalog()
{
    static TQryCatalog cat = [] {
        TQryCatalog c;
        c.QryType = u"FUZZ"_s;
        c.Fields << TQryField{1, u"PluName"_s, u"品名"_s, u"S"_s, u"0"_s, {}, {}, {}}
                 << TQryField{2, u"Qty"_s, u"数量"_s, u"I"_s, u"0"_s, {}, {}, {}}
                 << TQryField{3, u"Price"_s, u"单价"_s, u"F"_s, u"0"_s, {}, {}, {}};
        return c;
    }();
    return cat;
}

TADOConnection& db()
{
    static TADOConnection& c = [] () -> TADOConnection& {
        TADOConnection& d = fuzz::scratchDb();
        d.executeScript(u"create table FuzzCond (PluName varchar(200) collate nocase, Qty integer, Price real);"
                        "insert into FuzzCond values ('面霜', 3, 2.5);"_s);
        return d;
    }();
    return c;
}

int queryCount(TADOConnection& c)
{
    TADOQuery q(&c);
    q.SQL << u"select count(*) from FuzzCond"_s;
    q.Open();
    return int(q.Field(0).AsInteger());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    fuzz::ensureApp(false);
    const QStringList& ops = QryWords::textOperators();
    const QString op = ops[data[0] % ops.size()];
    const QString field = catalog().Fields[data[1] % 3].FldName;
    QString value = fuzz::text(QByteArray(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2)));
    // A one-line box turns control characters into blanks before a value reaches the builder.
    for (QChar& ch : value)
        if (ch.unicode() < 0x20) ch = u' ';

    const QString cond = BuildQryCondition(field, op, value, &catalog(), QryWords::End);
    if (cond.isEmpty()) return 0;

    TADOConnection& c = db();
    {
        TADOQuery ins(&c);
        ins.SQL << u"insert into FuzzCond (PluName, Qty, Price) values (:V, 1, 1)"_s;
        ins.Parameters.ParamByName(u"V"_s).Value = value;
        ins.ExecSQL();
    }
    const QString withRow = fuzz::changeMark(c);
    int found = -1;
    try {
        TADOQuery q(&c);
        q.SQL << u"select count(*) from FuzzCond where "_s + cond;
        q.Open();
        found = int(q.Field(0).AsInteger());
    } catch (const DbError& e) {
        fuzz::fail("a built condition does not run", cond + u"\n"_s + e.message());
    }
    if (fuzz::changeMark(c) != withRow) fuzz::fail("a condition changed a table", cond);
    if (field == u"品名"_s && op == u"="_s && found < 1)
        fuzz::fail("the typed value did not stay one literal", cond);
    {
        TADOQuery del(&c);
        del.SQL << u"delete from FuzzCond where Qty = 1"_s;
        del.ExecSQL();
    }
    if (queryCount(c) != 1) fuzz::fail("the scratch table did not come back", cond);
    return 0;
}
