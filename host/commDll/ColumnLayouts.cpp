#include "host/commDll/ColumnLayouts.h"

#include "platform/db/Db.h"
#include "platform/grid/DBGridEh.h"

#include <QHash>

namespace commdll {

ColumnLayout layoutOfGrid(TDBGridEh* grid)
{
    ColumnLayout out;
    if (!grid) return out;
    TDBGridColumnsEh* cols = grid->Columns();
    for (int i = 0; i < cols->Count(); ++i) {
        TColumnEh* c = cols->Items(i);
        out << ColumnLayoutItem{c->FieldName(), c->Title()->Caption(), c->Width(), c->Visible()};
    }
    return out;
}

namespace {

// For each item of `of`, its position in `in` under the rule of arrangeLayout; -1 when none.
QList<int> matchColumns(const ColumnLayout& of, const ColumnLayout& in)
{
    QHash<QString, QList<int>> byName;
    for (int i = 0; i < in.size(); ++i) byName[in[i].fieldName.toUpper()] << i;
    QHash<QString, int> used;
    QList<int> out;
    for (const ColumnLayoutItem& it : of) {
        const QString key = it.fieldName.toUpper();
        const QList<int> places = byName.value(key);
        const int n = used[key]++;
        out << (n < places.size() ? places[n] : -1);
    }
    return out;
}

} // namespace

ColumnLayout arrangeLayout(const ColumnLayout& current, const ColumnLayout& stored)
{
    const QList<int> match = matchColumns(stored, current);
    QList<bool> taken(current.size(), false);
    ColumnLayout out;
    for (int i = 0; i < stored.size(); ++i) {
        const int at = match[i];
        if (at < 0) continue;
        taken[at] = true;
        ColumnLayoutItem item = stored[i];
        item.fieldName = current[at].fieldName;
        if (item.title.isEmpty()) item.title = current[at].title;
        out << item;
    }
    for (int i = 0; i < current.size(); ++i)
        if (!taken[i]) out << current[i];
    return out;
}

void applyLayout(TDBGridEh* grid, const ColumnLayout& layout)
{
    if (!grid) return;
    TDBGridColumnsEh* cols = grid->Columns();
    const ColumnLayout now = layoutOfGrid(grid);
    QList<TColumnEh*> columns;
    for (int i = 0; i < cols->Count(); ++i) columns << cols->Items(i);
    const QList<int> match = matchColumns(layout, now);
    int target = 0;
    for (int i = 0; i < layout.size(); ++i) {
        if (match[i] < 0) continue;
        TColumnEh* c = columns[match[i]];
        const int from = c->Index();
        if (from != target) cols->Move(from, target);
        const ColumnLayoutItem& it = layout[i];
        if (it.width > 0 && it.width != c->Width()) c->setWidth(it.width);
        if (it.visible != c->Visible()) c->setVisible(it.visible);
        if (!it.title.isEmpty() && it.title != c->Title()->Caption()) c->Title()->setCaption(it.title);
        ++target;
    }
}

ColumnLayout readLayout(TADOConnection& conn, const QString& layoutKey, const QString& userCode,
                        const QString& layoutType)
{
    TADOQuery q(&conn);
    q.SQL << QStringLiteral("select FieldName,Title,Width,Visible from tXtGridColumn")
          << QStringLiteral(" where LayoutKey=:LayoutKey and UserCode=:UserCode and LayoutType=:LayoutType")
          << QStringLiteral(" order by ColNo");
    q.Parameters.ParamByName(QStringLiteral("LayoutKey")).Value = layoutKey;
    q.Parameters.ParamByName(QStringLiteral("UserCode")).Value = userCode;
    q.Parameters.ParamByName(QStringLiteral("LayoutType")).Value = layoutType;
    q.Open();
    ColumnLayout out;
    while (!q.Eof()) {
        // A width no screen can show (a damaged row) reads as none, so the column keeps its own;
        // narrowing it to int first would turn 99999999999 into 1215752191.
        const qint64 width = q.Field(2).AsInteger();
        out << ColumnLayoutItem{q.Field(0).AsString(), q.Field(1).AsString(),
                                width > 0 && width <= 10000 ? int(width) : 0,
                                q.Field(3).AsString() != QLatin1String("0")};
        q.Next();
    }
    return out;
}

void writeLayout(TADOConnection& conn, const QString& layoutKey, const QString& userCode,
                 const QString& layoutType, const ColumnLayout& layout)
{
    DbTransaction tx(&conn);
    {
        TADOQuery del(&conn);
        del.SQL << QStringLiteral("delete from tXtGridColumn")
                << QStringLiteral(" where LayoutKey=:LayoutKey and UserCode=:UserCode and LayoutType=:LayoutType");
        del.Parameters.ParamByName(QStringLiteral("LayoutKey")).Value = layoutKey;
        del.Parameters.ParamByName(QStringLiteral("UserCode")).Value = userCode;
        del.Parameters.ParamByName(QStringLiteral("LayoutType")).Value = layoutType;
        del.ExecSQL();
    }
    TADOQuery ins(&conn);
    ins.SQL << QStringLiteral("insert into tXtGridColumn (LayoutKey,UserCode,LayoutType,ColNo,FieldName,Title,Width,Visible)")
            << QStringLiteral(" values (:LayoutKey,:UserCode,:LayoutType,:ColNo,:FieldName,:Title,:Width,:Visible)");
    for (int i = 0; i < layout.size(); ++i) {
        const ColumnLayoutItem& it = layout[i];
        ins.Parameters.ParamByName(QStringLiteral("LayoutKey")).Value = layoutKey;
        ins.Parameters.ParamByName(QStringLiteral("UserCode")).Value = userCode;
        ins.Parameters.ParamByName(QStringLiteral("LayoutType")).Value = layoutType;
        ins.Parameters.ParamByName(QStringLiteral("ColNo")).Value = i + 1;
        ins.Parameters.ParamByName(QStringLiteral("FieldName")).Value = it.fieldName;
        ins.Parameters.ParamByName(QStringLiteral("Title")).Value = it.title;
        ins.Parameters.ParamByName(QStringLiteral("Width")).Value = it.width;
        ins.Parameters.ParamByName(QStringLiteral("Visible")).Value =
            it.visible ? QStringLiteral("1") : QStringLiteral("0");
        ins.ExecSQL();
    }
    tx.commit();
}

} // namespace commdll
