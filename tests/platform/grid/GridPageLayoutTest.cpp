// The printout's page layout and the merged title cells, checked as plain geometry.
#include "platform/grid/GridPageLayout.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A page 100 wide and 100 high with a header of 10 and titles of 10: 80 left for rows of 10.
GridPageMetrics page(int rows, std::vector<double> widths = {30, 30, 30})
{
    GridPageMetrics m;
    m.pageWidth = 100;
    m.pageHeight = 100;
    m.headerHeight = 10;
    m.titleHeight = 10;
    m.afterGap = 2;
    m.afterLineHeight = 10;
    m.columnWidths = std::move(widths);
    m.rowHeights.assign(size_t(rows), 10.0);
    return m;
}

GridPageSlice slice(int firstRow, int endRow, int firstColumn, int endColumn, bool titles, bool footer = false,
                    int afterStart = 0, int afterLines = 0)
{
    return {firstRow, endRow, firstColumn, endColumn, titles, footer, afterStart, afterLines};
}

TEST(GridPageLayout, RowsExactlyFillingOnePageGiveOnePageAndTheFooterMovesOnWhenItNoLongerFits)
{
    EXPECT_EQ(layoutGridPages(page(8)), (std::vector<GridPageSlice>{slice(0, 8, 0, 3, true)}));
    // One row more starts a page without titles (they are on the first page only).
    EXPECT_EQ(layoutGridPages(page(9)),
              (std::vector<GridPageSlice>{slice(0, 8, 0, 3, true), slice(8, 9, 0, 3, false)}));
    // Repeated titles take their room on every page.
    GridPageMetrics each = page(16);
    each.titlesOnEachPage = true;
    EXPECT_EQ(layoutGridPages(each), (std::vector<GridPageSlice>{slice(0, 8, 0, 3, true), slice(8, 16, 0, 3, true)}));
    // A full page leaves no room for the footer: it goes on a page of its own, never lost.
    GridPageMetrics footed = page(8);
    footed.footerHeight = 10;
    EXPECT_EQ(layoutGridPages(footed),
              (std::vector<GridPageSlice>{slice(0, 8, 0, 3, true), slice(8, 8, 0, 3, false, true)}));
    footed.rowHeights.pop_back();
    EXPECT_EQ(layoutGridPages(footed), (std::vector<GridPageSlice>{slice(0, 7, 0, 3, true, true)}));
}

TEST(GridPageLayout, EmptyGridStillPrintsItsTitlesFooterAndTextAfter)
{
    GridPageMetrics m = page(0);
    m.footerHeight = 10;
    m.afterLineCount = 2;
    EXPECT_EQ(layoutGridPages(m), (std::vector<GridPageSlice>{slice(0, 0, 0, 3, true, true, 0, 2)}));
    // Without columns there is still the one page (its header and the text after).
    m.columnWidths.clear();
    EXPECT_EQ(layoutGridPages(m), (std::vector<GridPageSlice>{slice(0, 0, 0, 0, true, true, 0, 2)}));
}

TEST(GridPageLayout, OversizedPiecesTakeAPageOfTheirOwnInsteadOfPagesWithoutEnd)
{
    // A row taller than the page is placed alone, as is a footer taller than the page.
    GridPageMetrics m = page(3);
    m.rowHeights[1] = 500;
    m.footerHeight = 400;
    EXPECT_EQ(layoutGridPages(m), (std::vector<GridPageSlice>{slice(0, 1, 0, 3, true), slice(1, 2, 0, 3, false),
                                                              slice(2, 3, 0, 3, false),
                                                              slice(3, 3, 0, 3, false, true)}));
    // Text after the grid runs on over as many pages as it needs, and a line taller than a page
    // still takes one page each.
    for (const double lineHeight : {40.0, 200.0}) {
        GridPageMetrics after = page(8);
        after.afterLineCount = 5;
        after.afterLineHeight = lineHeight;
        const std::vector<GridPageSlice> pages = layoutGridPages(after);
        ASSERT_EQ(pages.size(), lineHeight < 100 ? 4u : 6u) << lineHeight;
        EXPECT_EQ(pages[0].afterLines, 0);
        int lines = 0;
        for (size_t i = 1; i < pages.size(); ++i) {
            EXPECT_EQ(pages[i].afterStart, lines);
            EXPECT_GE(pages[i].afterLines, 1);
            lines += pages[i].afterLines;
        }
        EXPECT_EQ(lines, 5);
    }
}

TEST(GridPageLayout, ColumnsWiderThanThePageAreCutIntoBandsPrintedAcrossBeforeDown)
{
    // 30 + 250 + 30 on a page 100 wide: the wide column has a band of its own.
    GridPageMetrics m = page(9, {30, 250, 30});
    m.footerHeight = 10;
    m.afterLineCount = 1;
    EXPECT_EQ(layoutGridPages(m), (std::vector<GridPageSlice>{
                                      slice(0, 8, 0, 1, true), slice(0, 8, 1, 2, true), slice(0, 8, 2, 3, true),
                                      slice(8, 9, 0, 1, false, true), slice(8, 9, 1, 2, false, true),
                                      slice(8, 9, 2, 3, false, true, 0, 1)}));
    // Without splitting, all columns share every page (the paper cuts off what is beyond).
    GridPageMetrics whole = page(9, {30, 250, 30});
    whole.splitColumns = false;
    EXPECT_EQ(layoutGridPages(whole), (std::vector<GridPageSlice>{slice(0, 8, 0, 3, true), slice(8, 9, 0, 3, false)}));
    // Widths scaled to the page that add up a hair above it stay on one page.
    EXPECT_EQ(layoutGridPages(page(1, {100.0 / 3, 100.0 / 3, 100.0 / 3 + 1e-9})),
              (std::vector<GridPageSlice>{slice(0, 1, 0, 3, true)}));
    // The text after the grid that needs a page of its own is printed once, after the last band.
    GridPageMetrics tail = page(8, {60, 60});
    tail.afterLineCount = 1;
    EXPECT_EQ(layoutGridPages(tail), (std::vector<GridPageSlice>{slice(0, 8, 0, 1, true), slice(0, 8, 1, 2, true),
                                                                 slice(8, 8, 1, 2, false, false, 0, 1)}));
}

TEST(GridPageLayout, MergedTitleCellsSpanSharedUpperLevelsWithinThePage)
{
    const QList<QStringList> levels{{u"试用品"_s, u"编码"_s}, {u"试用品"_s, u"名称"_s}, {u"试用品"_s, u"规格"_s},
                                    {u"试用次数"_s}, {u"试用品"_s, u"价格"_s}};
    EXPECT_EQ(mergedTitleSpan(levels, 1, 0), (TitleSpan{0, 2}));
    // A column with a single level does not join (nor bridge) the span, even with the same text.
    EXPECT_EQ(mergedTitleSpan(levels, 4, 0), (TitleSpan{4, 4}));
    EXPECT_EQ(mergedTitleSpan(levels, 3, 0), (TitleSpan{3, 3}));
    // The lowest level is the column's own cell.
    EXPECT_EQ(mergedTitleSpan(levels, 1, 1), (TitleSpan{1, 1}));
    // A page break inside the span: each page draws its part of the merged cell.
    EXPECT_EQ(mergedTitleSpan(levels, 0, 0, 0, 2), (TitleSpan{0, 1}));
    EXPECT_EQ(mergedTitleSpan(levels, 2, 0, 2, 5), (TitleSpan{2, 2}));
    // Deeper levels merge only where every level above matches too.
    const QList<QStringList> deep{{u"A"_s, u"B"_s, u"x"_s}, {u"A"_s, u"B"_s, u"y"_s}, {u"C"_s, u"B"_s, u"z"_s}};
    EXPECT_EQ(mergedTitleSpan(deep, 0, 1), (TitleSpan{0, 1}));
    EXPECT_EQ(mergedTitleSpan(deep, 2, 1), (TitleSpan{2, 2}));
}

} // namespace
