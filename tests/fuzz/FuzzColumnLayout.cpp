// Column layouts read back from the shared table: whatever the rows hold (unknown or repeated
// field names, text in the width, odd visibility flags, 10 kB titles), the grid keeps exactly its
// own columns and every width it is given is usable.
#include "host/commDll/ColumnLayouts.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/db/Db.h"
#include "platform/grid/DBGridEh.h"
#include "tests/fuzz/FuzzCommon.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace {

QStringList fieldNames(const commdll::ColumnLayout& l)
{
    QStringList out;
    for (const auto& it : l) out << it.fieldName;
    out.sort();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ensureApp(true);
    static TClientDataSet* ds = [] {
        auto* d = new TClientDataSet;
        d->addField(u"PluCode"_s, ftString, 20);
        d->addField(u"PluName"_s, ftString, 20);
        d->addField(u"TryTimes"_s, ftInteger);
        d->addField(u"PluCode"_s.toLower() + u"2"_s, ftString, 4);
        d->CreateDataSet();
        return d;
    }();
    static TDataSource* src = [] { auto* s = new TDataSource; s->setDataSet(ds); return s; }();
    static TDBGridEh* grid = [] { auto* g = new TDBGridEh; g->setDataSource(src); return g; }();
    const commdll::ColumnLayout original = commdll::layoutOfGrid(grid);

    TADOConnection& db = fuzz::scratchDb();
    {
        TADOQuery del(&db);
        del.SQL << u"delete from tXtGridColumn"_s;
        del.ExecSQL();
    }
    // Rows of four values each: field name, title, width (stored as given), visibility.
    const auto in = fuzz::pieces(data, size, 24);
    for (int row = 0; row < 6; ++row) {
        if (in[size_t(row * 4)].isEmpty() && in[size_t(row * 4 + 1)].isEmpty()) continue;
        TADOQuery ins(&db);
        ins.SQL << u"insert into tXtGridColumn (LayoutKey,UserCode,LayoutType,ColNo,FieldName,Title,Width,Visible)"_s
                << u" values ('K','U','C',:ColNo,:FieldName,:Title,:Width,:Visible)"_s;
        ins.Parameters.ParamByName(u"ColNo"_s).Value = row;
        ins.Parameters.ParamByName(u"FieldName"_s).Value = fuzz::text(in[size_t(row * 4)]);
        ins.Parameters.ParamByName(u"Title"_s).Value = fuzz::text(in[size_t(row * 4 + 1)]);
        ins.Parameters.ParamByName(u"Width"_s).Value = fuzz::text(in[size_t(row * 4 + 2)]);
        ins.Parameters.ParamByName(u"Visible"_s).Value = fuzz::text(in[size_t(row * 4 + 3)]).left(1);
        try {
            ins.ExecSQL();
        } catch (const DbError&) {
            // A constraint of the table refused the row; the table is what the layout reads.
        }
    }
    commdll::ColumnLayout stored;
    try {
        stored = commdll::readLayout(db, u"K"_s, u"U"_s, u"C"_s);
    } catch (const DbError&) {
        // A row the reader refuses (text in the width) is reported by its callers' guard.
        return 0;
    }
    const commdll::ColumnLayout arranged = commdll::arrangeLayout(original, stored);
    if (fieldNames(arranged) != fieldNames(original)) fuzz::fail("a layout added or lost columns", {});
    commdll::applyLayout(grid, arranged);
    const commdll::ColumnLayout shown = commdll::layoutOfGrid(grid);
    if (fieldNames(shown) != fieldNames(original)) fuzz::fail("the grid added or lost columns", {});
    for (const auto& it : shown)
        if (it.width < 0 || it.width > 100000) fuzz::fail("an unusable column width", QString::number(it.width));
    commdll::applyLayout(grid, original);
    return 0;
}
