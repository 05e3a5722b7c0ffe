#include "platform/grid/GridPageLayout.h"

#include <algorithm>

namespace {

// Widths and heights come from font metrics and scaling; half a device pixel of rounding must not
// push a column or a footer onto a page of its own.
constexpr double kTolerance = 0.5;

struct ColumnBand {
    int first;
    int end;
};

std::vector<ColumnBand> columnBands(const std::vector<double>& widths, double pageWidth)
{
    std::vector<ColumnBand> bands;
    const int n = int(widths.size());
    int i = 0;
    while (i < n) {
        const int start = i;
        double w = 0;
        while (i < n && (i == start || w + widths[size_t(i)] <= pageWidth + kTolerance)) {
            w += widths[size_t(i)];
            ++i;
        }
        bands.push_back({start, i});
    }
    if (bands.empty()) bands.push_back({0, 0});
    return bands;
}

// The bands of rows, each with its titles, footer and lines after the grid; the columns are
// filled in by the caller.
std::vector<GridPageSlice> rowBands(const GridPageMetrics& m)
{
    std::vector<GridPageSlice> pages;
    const int rows = int(m.rowHeights.size());
    const double height = m.pageHeight;
    int r = 0;
    bool footerDone = m.footerHeight <= 0;
    int afterDone = 0;
    bool first = true;
    while (true) {
        GridPageSlice s;
        double y = m.headerHeight;
        s.titles = first || m.titlesOnEachPage;
        if (s.titles) y += m.titleHeight;
        s.firstRow = r;
        // The first row of a page is placed even when it is taller than the room left.
        while (r < rows && (r == s.firstRow || y + m.rowHeights[size_t(r)] <= height)) {
            y += m.rowHeights[size_t(r)];
            ++r;
        }
        s.endRow = r;
        const bool noRows = s.endRow == s.firstRow;
        // A page without rows takes the footer even when it does not fit, else a footer taller
        // than the page would ask for pages without end.
        if (r >= rows && !footerDone && (y + m.footerHeight <= height + kTolerance || noRows)) {
            s.footer = true;
            footerDone = true;
            y += m.footerHeight;
        }
        if (r >= rows && footerDone) {
            s.afterStart = afterDone;
            if (afterDone < m.afterLineCount) y += m.afterGap;
            while (afterDone < m.afterLineCount && y + m.afterLineHeight <= height + kTolerance) {
                y += m.afterLineHeight;
                ++afterDone;
            }
            // A page that holds nothing else takes one line anyway.
            if (afterDone == s.afterStart && afterDone < m.afterLineCount && noRows && !s.footer) ++afterDone;
            s.afterLines = afterDone - s.afterStart;
        }
        pages.push_back(s);
        first = false;
        if (r >= rows && footerDone && afterDone >= m.afterLineCount) break;
    }
    return pages;
}

} // namespace

std::vector<GridPageSlice> layoutGridPages(const GridPageMetrics& m)
{
    const std::vector<ColumnBand> bands = m.splitColumns
                                              ? columnBands(m.columnWidths, m.pageWidth)
                                              : std::vector<ColumnBand>{{0, int(m.columnWidths.size())}};
    const bool hasRows = !m.rowHeights.empty();
    std::vector<GridPageSlice> pages;
    for (const GridPageSlice& v : rowBands(m)) {
        for (size_t b = 0; b < bands.size(); ++b) {
            const bool lastBand = b + 1 == bands.size();
            // Pages that would hold only the text after the grid exist for the last band only.
            if (!lastBand && hasRows && v.endRow == v.firstRow && !v.footer) continue;
            GridPageSlice s = v;
            s.firstColumn = bands[b].first;
            s.endColumn = bands[b].end;
            if (!lastBand) s.afterLines = 0;
            pages.push_back(s);
        }
    }
    return pages;
}

TitleSpan mergedTitleSpan(const QList<QStringList>& levels, int column, int level, int first, int end)
{
    TitleSpan span{column, column};
    if (column < 0 || column >= levels.size()) return span;
    const QStringList& own = levels[column];
    if (level < 0 || own.size() <= level + 1) return span; // the column's lowest level: its own cell
    const auto shares = [&](int j) {
        const QStringList& other = levels[j];
        if (other.size() <= level + 1) return false;
        for (int q = 0; q <= level; ++q)
            if (other[q] != own[q]) return false;
        return true;
    };
    const int lo = std::max(0, first);
    const int hi = std::min(int(levels.size()), end);
    while (span.first - 1 >= lo && shares(span.first - 1)) --span.first;
    while (span.last + 1 < hi && shares(span.last + 1)) ++span.last;
    return span;
}
