#include "host/commPrint/PrnRender.h"

#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/Field.h"
#include "platform/dataset/FormatFloat.h"
#include "platform/sys/QorError.h"
#include "platform/text/Gbk.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace commprint {

namespace {

QFont printFont(double pointSize, bool bold)
{
    QFont f;
    f.setFamilies({u"宋体"_s, u"SimSun"_s, u"AR PL UMing CN"_s});
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    return f;
}

Qt::Alignment columnAlignment(ColumnAlign a, const TField* f)
{
    switch (a) {
    case ColumnAlign::Left: return Qt::AlignLeft;
    case ColumnAlign::Center: return Qt::AlignHCenter;
    case ColumnAlign::Right: return Qt::AlignRight;
    case ColumnAlign::Auto: break;
    }
    return f && f->IsNumeric() ? Qt::AlignRight : Qt::AlignLeft;
}

// A record's place in the grouping: nulls first, then numbers, then texts in GBK order (common
// Chinese characters by pinyin), as the grid sorts.
struct SortKey {
    int kind = 0;
    double number = 0;
    QByteArray text;
};

SortKey sortKey(const QVariant& v)
{
    SortKey k;
    if (!v.isValid() || v.isNull()) return k;
    bool ok = false;
    const int type = v.metaType().id();
    if (type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong ||
        type == QMetaType::Bool || type == QMetaType::UInt || type == QMetaType::ULongLong) {
        k.number = v.toDouble(&ok);
        if (ok) {
            k.kind = 1;
            return k;
        }
    }
    k.kind = 2;
    k.text = Gbk::encode(v.toString());
    return k;
}

bool keyLess(const SortKey& a, const SortKey& b)
{
    if (a.kind != b.kind) return a.kind < b.kind;
    if (a.kind == 1) return a.number < b.number;
    return a.text < b.text;
}

// Splits "left|centre|right".
void lineParts(const QString& line, QString& left, QString& centre, QString& right)
{
    const QStringList parts = line.split(u'|');
    left = parts.value(0);
    centre = parts.value(1);
    right = parts.size() > 2 ? parts.mid(2).join(u'|') : QString();
}

} // namespace

// --- geometry ----------------------------------------------------------------------------------

struct PrnReport::Geometry {
    QFont body, bold, title;
    QRectF area;
    double mm = 1;
    double lineH = 0, textLineH = 0, titleH = 0;
    double headerTop = 0, columnsTop = 0, bodyTop = 0, bodyBottom = 0, footerTop = 0;
    int capacity = 1;
    std::vector<double> colX, colW;
    double pad = 0, pen = 0;
};

PrnReport::Geometry PrnReport::geometry(const Surface& s) const
{
    Geometry g;
    g.mm = s.dpi / 25.4;
    g.area = s.body;
    g.body = printFont(m_layout.fontPointSize, false);
    g.bold = printFont(m_layout.fontPointSize, true);
    g.title = printFont(m_layout.fontPointSize + 7, true);
    const QFontMetricsF fm(g.body, s.device);
    g.textLineH = fm.height() * 1.3;
    g.lineH = fm.height() * 1.6;
    g.titleH = m_layout.title.isEmpty() ? 0 : QFontMetricsF(g.title, s.device).height() * 1.5;
    g.pad = 1.0 * g.mm;
    g.pen = std::max(1.0, 0.15 * g.mm);

    g.headerTop = g.area.top() + g.titleH;
    g.columnsTop = g.headerTop + m_layout.headerLines.size() * g.textLineH + (m_layout.headerLines.isEmpty() ? 0 : 0.3 * g.lineH);
    g.bodyTop = g.columnsTop + g.lineH;
    g.footerTop = g.area.bottom() - m_layout.footerLines.size() * g.textLineH;
    g.bodyBottom = g.footerTop - (m_layout.footerLines.isEmpty() ? 0 : 0.3 * g.lineH);
    g.capacity = std::max(1, int(std::floor((g.bodyBottom - g.bodyTop) / g.lineH + 1e-9)));

    // Columns wider than the page are narrowed together to fit it.
    double total = 0;
    for (const PrnColumn& c : m_layout.columns) total += c.widthMm * g.mm;
    const double scale = total > g.area.width() && total > 0 ? g.area.width() / total : 1.0;
    double x = g.area.left();
    for (const PrnColumn& c : m_layout.columns) {
        g.colX.push_back(x);
        g.colW.push_back(c.widthMm * g.mm * scale);
        x += g.colW.back();
    }
    return g;
}

// --- the stream of body lines --------------------------------------------------------------------

struct PrnReport::Line {
    enum Kind { Detail, Group, Subtotal, Total } kind = Detail;
    int row = -1;
    std::vector<double> sum;
    std::vector<qint64> count;
};

class PrnReport::Lines {
public:
    explicit Lines(const PrnReport& r)
        : m_r(r), m_gsum(r.m_layout.columns.size()), m_gcount(r.m_layout.columns.size()),
          m_tsum(r.m_layout.columns.size()), m_tcount(r.m_layout.columns.size())
    {
    }

    bool next(Line& out)
    {
        const bool grouped = m_r.m_groupField != nullptr;
        const size_t n = m_r.m_order.size();
        while (m_pos < n) {
            const int row = m_r.m_order[m_pos];
            if (grouped) {
                const QVariant key = m_r.m_groupField->valueAt(row);
                if (!m_inGroup) {
                    m_inGroup = true;
                    m_subtotalDone = false;
                    m_key = key;
                    std::fill(m_gsum.begin(), m_gsum.end(), 0.0);
                    std::fill(m_gcount.begin(), m_gcount.end(), 0);
                    out.kind = Line::Group;
                    out.row = row;
                    return true;
                }
                if (key != m_key) {
                    if (closeGroup(out)) return true;
                    continue;
                }
            }
            out.kind = Line::Detail;
            out.row = row;
            add(row);
            ++m_pos;
            return true;
        }
        if (grouped && m_inGroup && closeGroup(out)) return true;
        if (m_r.m_hasFooters && !m_totalDone) {
            m_totalDone = true;
            out.kind = Line::Total;
            out.sum = m_tsum;
            out.count = m_tcount;
            return true;
        }
        return false;
    }

private:
    // The subtotal of the group that ended (when wanted); false when the group is simply closed.
    bool closeGroup(Line& out)
    {
        if (m_r.m_layout.groupSubtotal && !m_subtotalDone) {
            m_subtotalDone = true;
            out.kind = Line::Subtotal;
            out.sum = m_gsum;
            out.count = m_gcount;
            return true;
        }
        m_inGroup = false;
        return false;
    }

    void add(int row)
    {
        for (size_t c = 0; c < m_r.m_fields.size(); ++c) {
            if (m_r.m_layout.columns[int(c)].footer == FooterKind::None) continue;
            const TField* f = m_r.m_fields[c];
            if (!f) continue;
            const QVariant v = f->valueAt(row);
            if (!v.isValid() || v.isNull()) continue;
            ++m_gcount[c];
            ++m_tcount[c];
            if (f->IsNumeric()) {
                const double d = v.toDouble();
                m_gsum[c] += d;
                m_tsum[c] += d;
            }
        }
    }

    const PrnReport& m_r;
    size_t m_pos = 0;
    bool m_inGroup = false, m_subtotalDone = false, m_totalDone = false;
    QVariant m_key;
    std::vector<double> m_gsum;
    std::vector<qint64> m_gcount;
    std::vector<double> m_tsum;
    std::vector<qint64> m_tcount;
};

// --- the report ----------------------------------------------------------------------------------

PrnReport::PrnReport(const PrnLayout& layout, TClientDataSet* ds, const PrnVariables& vars)
    : m_layout(layout), m_ds(ds && ds->Active() ? ds : nullptr), m_vars(vars)
{
    for (const PrnColumn& c : m_layout.columns) {
        TField* f = m_ds ? m_ds->FindField(c.field) : nullptr;
        m_fields.push_back(f);
        if (c.footer != FooterKind::None) m_hasFooters = true;
    }
    if (!m_ds) return;
    const int n = m_ds->RecordCount();
    m_order.reserve(size_t(n));
    for (int i = 0; i < n; ++i) m_order.push_back(m_ds->physicalRow(i));

    if (!m_layout.groupField.isEmpty()) m_groupField = m_ds->FindField(m_layout.groupField);
    if (m_groupField && n > 0) {
        std::vector<SortKey> keys(m_order.size());
        std::vector<int> idx(m_order.size());
        for (size_t i = 0; i < m_order.size(); ++i) {
            keys[i] = sortKey(m_groupField->valueAt(m_order[i]));
            idx[i] = int(i);
        }
        std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) { return keyLess(keys[size_t(a)], keys[size_t(b)]); });
        std::vector<int> sorted(m_order.size());
        for (size_t i = 0; i < idx.size(); ++i) sorted[i] = m_order[size_t(idx[i])];
        m_order.swap(sorted);
        QVariant last;
        for (size_t i = 0; i < m_order.size(); ++i) {
            const QVariant v = m_groupField->valueAt(m_order[i]);
            if (i == 0 || v != last) ++m_groups;
            last = v;
        }
    }
}

PrnReport::~PrnReport() = default;

int PrnReport::lineCount() const
{
    const int perGroup = m_layout.groupSubtotal ? 2 : 1;
    return int(m_order.size()) + m_groups * perGroup + (m_hasFooters ? 1 : 0);
}

int PrnReport::pageCount(const Surface& s)
{
    const Geometry g = geometry(s);
    return std::max(1, (lineCount() + g.capacity - 1) / g.capacity);
}

QString PrnReport::cellText(int col, int physRow) const
{
    const TField* f = m_fields[size_t(col)];
    if (!f) return QString();
    const QString& fmt = m_layout.columns[col].displayFormat;
    // A field with its own text handler (a masked quantity or cost) always prints that text.
    if (!fmt.isEmpty() && f->IsNumeric() && !f->HasOnGetText()) {
        const QVariant v = f->valueAt(physRow);
        if (!v.isValid() || v.isNull()) return QString();
        return FormatFloat(fmt, v.toDouble());
    }
    return f->displayTextAt(physRow);
}

QString PrnReport::footerText(int col, double sum, qint64 count) const
{
    const PrnColumn& c = m_layout.columns[col];
    const TField* f = m_fields[size_t(col)];
    // Totals of a masked field would show what the mask hides.
    if (!f || f->HasOnGetText()) return QString();
    auto number = [&](double v) {
        if (!c.displayFormat.isEmpty()) return FormatFloat(c.displayFormat, v);
        return f->formatNumber(v);
    };
    switch (c.footer) {
    case FooterKind::None: return QString();
    case FooterKind::Count: return QString::number(count);
    case FooterKind::Sum: return f->IsNumeric() ? number(sum) : QString();
    case FooterKind::Average:
        if (!f->IsNumeric() || count == 0) return QString();
        return number(sum / double(count));
    }
    return QString();
}

void PrnReport::drawFrame(QPainter& p, const Geometry& g, int page, int pages) const
{
    PrnVariables v = m_vars;
    v.page = page + 1;
    v.pages = pages;
    if (!m_layout.title.isEmpty()) {
        p.setFont(g.title);
        p.drawText(QRectF(g.area.left(), g.area.top(), g.area.width(), g.titleH), Qt::AlignCenter,
                   expandVariables(m_layout.title, v));
    }
    p.setFont(g.body);
    auto textLines = [&](const QStringList& lines, double top) {
        for (int i = 0; i < lines.size(); ++i) {
            QString left, centre, right;
            lineParts(expandVariables(lines[i], v), left, centre, right);
            const QRectF r(g.area.left(), top + i * g.textLineH, g.area.width(), g.textLineH);
            if (!left.isEmpty()) p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, left);
            if (!centre.isEmpty()) p.drawText(r, Qt::AlignHCenter | Qt::AlignVCenter, centre);
            if (!right.isEmpty()) p.drawText(r, Qt::AlignRight | Qt::AlignVCenter, right);
        }
    };
    textLines(m_layout.headerLines, g.headerTop);
    textLines(m_layout.footerLines, g.footerTop);

    p.setFont(g.bold);
    for (size_t c = 0; c < g.colX.size(); ++c) {
        const QRectF r(g.colX[c], g.columnsTop, g.colW[c], g.lineH);
        p.drawRect(r);
        p.drawText(r.adjusted(g.pad, 0, -g.pad, 0), Qt::AlignCenter, m_layout.columns[int(c)].caption);
    }
}

void PrnReport::drawLine(QPainter& p, const Geometry& g, const Line& line, double y) const
{
    if (g.colX.empty()) return;
    const double right = g.colX.back() + g.colW.back();
    if (line.kind == Line::Group) {
        p.setFont(g.bold);
        const QRectF r(g.colX.front(), y, right - g.colX.front(), g.lineH);
        p.drawRect(r);
        const QString caption = m_groupField->DisplayLabel().trimmed().replace(u'|', u'-');
        p.drawText(r.adjusted(g.pad, 0, -g.pad, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   caption + u"："_s + m_groupField->displayTextAt(line.row));
        return;
    }
    const bool detail = line.kind == Line::Detail;
    p.setFont(detail ? g.body : g.bold);
    for (size_t c = 0; c < g.colX.size(); ++c) {
        const int col = int(c);
        const QRectF r(g.colX[c], y, g.colW[c], g.lineH);
        p.drawRect(r);
        QString text;
        Qt::Alignment align = columnAlignment(m_layout.columns[col].align, m_fields[c]);
        if (detail) {
            text = cellText(col, line.row);
        } else {
            text = footerText(col, line.sum[c], line.count[c]);
            if (c == 0 && m_layout.columns[0].footer == FooterKind::None) {
                text = line.kind == Line::Subtotal ? u"小计"_s : u"合计"_s;
                align = Qt::AlignHCenter;
            }
        }
        if (!text.isEmpty())
            p.drawText(r.adjusted(g.pad, 0, -g.pad, 0), align | Qt::AlignVCenter, text);
    }
}

void PrnReport::drawPage(QPainter& p, const Surface& s, int index)
{
    const Geometry g = geometry(s);
    const int pages = std::max(1, (lineCount() + g.capacity - 1) / g.capacity);
    index = std::clamp(index, 0, pages - 1);
    p.save();
    p.setPen(QPen(Qt::black, g.pen));
    drawFrame(p, g, index, pages);
    Lines lines(*this);
    Line line;
    for (int skip = index * g.capacity; skip > 0 && lines.next(line); --skip) {
    }
    for (int i = 0; i < g.capacity && lines.next(line); ++i) drawLine(p, g, line, g.bodyTop + i * g.lineH);
    p.restore();
}

int PrnReport::print(QPrinter* printer)
{
    printer->setFullPage(true);
    QPainter p;
    if (!p.begin(printer)) throw QorError(u"打印机不能使用！"_s);
    const double dpi = printer->resolution();
    const QPageLayout pl = printer->pageLayout();
    const Surface s{printer, QRectF(pl.fullRectPixels(int(dpi))), QRectF(pl.paintRectPixels(int(dpi))), dpi};
    const Geometry g = geometry(s);
    const int pages = std::max(1, (lineCount() + g.capacity - 1) / g.capacity);
    p.setPen(QPen(Qt::black, g.pen));
    Lines lines(*this);
    Line line;
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !printer->newPage()) throw QorError(u"打印失败！"_s);
        drawFrame(p, g, page, pages);
        for (int i = 0; i < g.capacity && lines.next(line); ++i) drawLine(p, g, line, g.bodyTop + i * g.lineH);
    }
    p.end();
    return pages;
}

} // namespace commprint
