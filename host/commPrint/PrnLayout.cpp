#include "host/commPrint/PrnLayout.h"

#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/Field.h"
#include "platform/db/Db.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMarginsF>

using namespace Qt::StringLiterals;

namespace commprint {

namespace {

struct PageName {
    QPageSize::PageSizeId id;
    const char16_t* name;
};
const PageName kPages[] = {{QPageSize::A4, u"A4"},   {QPageSize::A3, u"A3"},     {QPageSize::A5, u"A5"},
                           {QPageSize::B5, u"B5"},   {QPageSize::Letter, u"Letter"}, {QPageSize::Legal, u"Legal"}};

QString pageName(QPageSize::PageSizeId id)
{
    for (const PageName& p : kPages)
        if (p.id == id) return QString::fromUtf16(p.name);
    return u"A4"_s;
}

QPageSize::PageSizeId pageId(const QString& name)
{
    for (const PageName& p : kPages)
        if (name == QString::fromUtf16(p.name)) return p.id;
    return QPageSize::A4;
}

const char16_t* const kFooterNames[] = {u"none", u"sum", u"count", u"avg"};
const char16_t* const kAlignNames[] = {u"auto", u"left", u"center", u"right"};

template <class E, size_t N>
E enumFrom(const QString& s, const char16_t* const (&names)[N], E fallback)
{
    for (size_t i = 0; i < N; ++i)
        if (s == QString::fromUtf16(names[i])) return E(i);
    return fallback;
}

// Stored numbers are checked: a row edited by hand must not give a page without room.
double clampMm(double v, double lo, double hi, double fallback)
{
    if (!(v >= lo && v <= hi)) return fallback;
    return v;
}

QStringList strings(const QJsonValue& v)
{
    QStringList out;
    const QJsonArray a = v.toArray();
    for (const QJsonValue& x : a) out << x.toString();
    return out;
}

void bindKey(TADOQuery& q, const PrnLayoutKey& key)
{
    q.Parameters.ParamByName(u"PrnType"_s).Value = QVariant(key.prnType.isNull() ? u""_s : key.prnType);
    q.Parameters.ParamByName(u"PrnCode"_s).Value = QVariant(key.prnCode.isNull() ? u""_s : key.prnCode);
    q.Parameters.ParamByName(u"SerialNo"_s).Value = QVariant(qint64(key.serialNo));
}

} // namespace

QPageLayout PrnLayout::pageLayout() const
{
    return QPageLayout(QPageSize(pageSize), orientation,
                       QMarginsF(marginLeftMm, marginTopMm, marginRightMm, marginBottomMm), QPageLayout::Millimeter);
}

QString expandVariables(const QString& text, const PrnVariables& v)
{
    if (!text.contains(u"&["_s)) return text;
    QString s = text;
    // "&[Pages]" before "&[Page]", which is its prefix.
    s.replace(u"&[Pages]"_s, QString::number(v.pages));
    s.replace(u"&[Page]"_s, QString::number(v.page));
    s.replace(u"&[Date]"_s, v.date);
    s.replace(u"&[Time]"_s, v.time);
    s.replace(u"&[User]"_s, v.user);
    s.replace(u"&[Condition]"_s, v.condition);
    return s;
}

QList<PrnVariableInfo> variableList()
{
    return {{u"&[Page]", u"页码"},     {u"&[Pages]", u"总页数"}, {u"&[Date]", u"日期"},
            {u"&[Time]", u"时间"},     {u"&[User]", u"操作员"},  {u"&[Condition]", u"查询条件"}};
}

QByteArray layoutToJson(const PrnLayout& l)
{
    QJsonObject o;
    o[u"version"_s] = 1;
    o[u"page"_s] = pageName(l.pageSize);
    o[u"landscape"_s] = l.orientation == QPageLayout::Landscape;
    o[u"margins"_s] = QJsonArray{l.marginLeftMm, l.marginTopMm, l.marginRightMm, l.marginBottomMm};
    o[u"fontSize"_s] = l.fontPointSize;
    o[u"title"_s] = l.title;
    o[u"header"_s] = QJsonArray::fromStringList(l.headerLines);
    o[u"footer"_s] = QJsonArray::fromStringList(l.footerLines);
    QJsonArray cols;
    for (const PrnColumn& c : l.columns) {
        QJsonObject j;
        j[u"field"_s] = c.field;
        j[u"caption"_s] = c.caption;
        j[u"width"_s] = c.widthMm;
        j[u"align"_s] = QString::fromUtf16(kAlignNames[int(c.align)]);
        j[u"format"_s] = c.displayFormat;
        j[u"footer"_s] = QString::fromUtf16(kFooterNames[int(c.footer)]);
        cols.append(j);
    }
    o[u"columns"_s] = cols;
    o[u"groupField"_s] = l.groupField;
    o[u"groupSubtotal"_s] = l.groupSubtotal;
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<PrnLayout> layoutFromJson(const QByteArray& json)
{
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    const QJsonObject o = doc.object();
    if (!o.contains(u"columns"_s)) return std::nullopt;
    PrnLayout l;
    l.pageSize = pageId(o[u"page"_s].toString());
    l.orientation = o[u"landscape"_s].toBool() ? QPageLayout::Landscape : QPageLayout::Portrait;
    const QJsonArray m = o[u"margins"_s].toArray();
    if (m.size() == 4) {
        l.marginLeftMm = clampMm(m[0].toDouble(-1), 0, 100, 15);
        l.marginTopMm = clampMm(m[1].toDouble(-1), 0, 100, 15);
        l.marginRightMm = clampMm(m[2].toDouble(-1), 0, 100, 15);
        l.marginBottomMm = clampMm(m[3].toDouble(-1), 0, 100, 15);
    }
    l.fontPointSize = int(clampMm(o[u"fontSize"_s].toDouble(9), 5, 36, 9));
    l.title = o[u"title"_s].toString();
    l.headerLines = strings(o[u"header"_s]);
    l.footerLines = strings(o[u"footer"_s]);
    const QJsonArray cols = o[u"columns"_s].toArray();
    for (const QJsonValue& v : cols) {
        const QJsonObject j = v.toObject();
        PrnColumn c;
        c.field = j[u"field"_s].toString();
        if (c.field.isEmpty()) continue;
        c.caption = j[u"caption"_s].toString();
        c.widthMm = clampMm(j[u"width"_s].toDouble(-1), 2, 1000, 25);
        c.align = enumFrom(j[u"align"_s].toString(), kAlignNames, ColumnAlign::Auto);
        c.displayFormat = j[u"format"_s].toString();
        c.footer = enumFrom(j[u"footer"_s].toString(), kFooterNames, FooterKind::None);
        l.columns.append(c);
    }
    l.groupField = o[u"groupField"_s].toString();
    l.groupSubtotal = o[u"groupSubtotal"_s].toBool(true);
    return l;
}

PrnLayout plainLayout(TClientDataSet* ds)
{
    PrnLayout l;
    if (!ds) return l;
    for (TField* f : ds->Fields()) {
        if (!f->Visible()) continue;
        PrnColumn c;
        c.field = f->FieldName();
        c.caption = f->DisplayLabel().trimmed().replace(u'|', u'-');
        // About 2 mm a character of the display width, within reason.
        c.widthMm = qBound(12.0, f->DisplayWidth() * 2.0, 80.0);
        l.columns.append(c);
    }
    return l;
}

std::optional<PrnLayout> readLayout(TADOConnection& c, const PrnLayoutKey& key)
{
    TADOQuery q(&c);
    q.SQL << u"select Layout from tXtPrnLayout"_s
          << u"where PrnType=:PrnType and PrnCode=:PrnCode and SerialNo=:SerialNo"_s;
    bindKey(q, key);
    q.Open();
    if (q.Eof()) return std::nullopt;
    const TDbField f = q.FieldByName(u"Layout"_s);
    const QByteArray json = f.type() == DbType::Blob ? f.Value().toByteArray() : f.AsString().toUtf8();
    q.Close();
    return layoutFromJson(json);
}

void writeLayout(TADOConnection& c, const PrnLayoutKey& key, const PrnLayout& l)
{
    DbTransaction tx(&c);
    TADOQuery del(&c);
    del.SQL << u"delete from tXtPrnLayout"_s << u"where PrnType=:PrnType and PrnCode=:PrnCode and SerialNo=:SerialNo"_s;
    bindKey(del, key);
    del.ExecSQL();
    TADOQuery ins(&c);
    ins.SQL << u"insert into tXtPrnLayout(PrnType,PrnCode,SerialNo,Layout)"_s
            << u"values(:PrnType,:PrnCode,:SerialNo,:Layout)"_s;
    bindKey(ins, key);
    ins.Parameters.ParamByName(u"Layout"_s).Value = QVariant(layoutToJson(l));
    ins.ExecSQL();
    tx.commit();
}

} // namespace commprint
