// The geometry of a grid printout, kept apart from painting so that it can be reasoned about
// (and checked) without a printer: which rows and columns go on which page, and which
// neighbouring columns share a merged upper title cell.
#pragma once

#include <QList>
#include <QStringList>

#include <vector>

// What one printed page holds: rows [firstRow, endRow) of the columns [firstColumn, endColumn),
// whether the titles are drawn above them, whether the footer follows, and which lines of the
// text after the grid end the page.
struct GridPageSlice {
    int firstRow = 0;
    int endRow = 0;
    int firstColumn = 0;
    int endColumn = 0;
    bool titles = false;
    bool footer = false;
    int afterStart = 0;
    int afterLines = 0;

    bool operator==(const GridPageSlice&) const = default;
};

// The measures a printout is laid out from, all in one unit (device pixels).
struct GridPageMetrics {
    double pageWidth = 0;   // printable width
    double pageHeight = 0;  // printable height
    double headerHeight = 0; // page header and the gap under it, on every page
    double titleHeight = 0;
    double footerHeight = 0; // 0: no footer
    double afterGap = 0;     // space between the grid and the text after it
    double afterLineHeight = 0;
    int afterLineCount = 0;
    bool titlesOnEachPage = false;
    // False: every column in one band, those beyond the page width cut off by the paper.
    bool splitColumns = true;
    std::vector<double> columnWidths; // the printed columns, left to right
    std::vector<double> rowHeights;   // the printed rows, top to bottom
};

// The pages of a printout, in printing order: every band of rows is printed across all column
// bands before the next band of rows. Columns are cut into bands that fit the page width (a column
// wider than the page gets a band of its own); rows into bands that fit under the header, the
// titles and the footer. A page never stays empty while something remains: its first row, footer
// or line after the grid is placed even when it does not fit. The text after the grid belongs to
// the last column band. An empty grid still gives one page (titles, footer, text after).
std::vector<GridPageSlice> layoutGridPages(const GridPageMetrics& m);

// The merged upper title cells. `levels` holds the title levels of the shown columns, left to
// right ("A|B|C" split at "|"). The cell at `level` above column `column` spans the neighbours that
// carry the same texts on levels 0..level and have a level below it; the span is limited to
// [first, end), the columns on one page. Returns the first and last column of the span.
struct TitleSpan {
    int first = 0;
    int last = 0;
    bool operator==(const TitleSpan&) const = default;
};
TitleSpan mergedTitleSpan(const QList<QStringList>& levels, int column, int level, int first, int end);
inline TitleSpan mergedTitleSpan(const QList<QStringList>& levels, int column, int level)
{
    return mergedTitleSpan(levels, column, level, 0, int(levels.size()));
}
