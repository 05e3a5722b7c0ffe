// The calculated-expression checker, its caption and its SQL fragment: whatever the text, the
// checker answers; a definition that passes the check gives a fragment that runs on SQLite
// without an error and without changing a table.
#include "calc/CalcEngine.h"
#include "platform/db/Db.h"
#include "tests/fuzz/FuzzCommon.h"

using namespace Qt::StringLiterals;

namespace {

const QStringList kNames{u"Qty"_s, u"Price"_s, u"PluName"_s, u"OrgCode"_s};
const QStringList kCaptions{u"数量"_s, u"单价"_s, u"品名"_s, u"机构"_s};

TADOConnection& db()
{
    static TADOConnection& c = [] () -> TADOConnection& {
        TADOConnection& d = fuzz::scratchDb();
        d.executeScript(u"create table FuzzCalc (Qty integer, Price real, PluName varchar(40), OrgCode varchar(10));"
                        "insert into FuzzCalc values (3, 2.5, '面霜', '01');"
                        "insert into FuzzCalc values (0, 0, '', '02');"
                        "insert into FuzzCalc values (null, null, null, null);"
                        "insert into FuzzCalc values (-7, 1e300, 'O''Brien', '03');"_s);
        return d;
    }();
    return c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    fuzz::ensureApp(false);
    const QChar type = QLatin1Char("SIFX"[data[0] & 3]);
    const auto in = fuzz::pieces(data + 1, size - 1, 2);
    const QString express = fuzz::text(in[0]);
    const QString name = in[1].isEmpty() ? u"Calc1"_s : fuzz::text(in[1]);

    const QString checked = CheckExpression(express);
    if (IsExpressionError(checked) && checked.size() != 2) fuzz::fail("odd error code", checked);
    (void)ExpressToCaption(express, kNames, kCaptions);
    (void)GuardDivisions(express, data[0] & 4);
    (void)ExpressionTokens(express);
    (void)ExpressionFieldNames(express);

    CalcFieldDef def{type, name, express};
    if (!ValidateCalcFieldDef(def, &kNames).isEmpty()) return 0;
    const QString entry = QString(type) + name + u'@' + def.express;
    CalcFieldDef back;
    if (!ParseCalcFieldDef(entry, back) || back.name != name)
        fuzz::fail("a checked definition does not read back", entry);
    const QString fragment = GetCalcFieldSql(QStringList{entry}, Dialect::SQLite);
    if (fragment.isEmpty()) fuzz::fail("a checked definition gives no column", entry);

    TADOConnection& c = db();
    const QString before = fuzz::changeMark(c);
    try {
        TADOQuery q(&c);
        q.SQL << u"Select * "_s + fragment << u" from FuzzCalc"_s;
        q.Open();
        while (!q.Eof()) {
            (void)q.Field(q.FieldCount() - 1).AsString();
            q.Next();
        }
    } catch (const DbError& e) {
        fuzz::fail("a checked expression does not run", entry + u"\n"_s + fragment + u"\n"_s + e.message());
    }
    if (fuzz::changeMark(c) != before) fuzz::fail("a calculated column changed a table", entry);
    return 0;
}
