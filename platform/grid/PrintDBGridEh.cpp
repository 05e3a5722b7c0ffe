#include "platform/grid/PrintDBGridEh.h"

#include "platform/dataset/ClientDataSet.h"
#include "platform/grid/DBGridEh.h"
#include "platform/grid/GridPageLayout.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QFontMetricsF>
#include <QHeaderView>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QGuiApplication>
#include <QDebug>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct PrintColumn {
    TColumnEh* col;
    double width; // device pixels
    QStringList levels;
    Qt::Alignment align;
};

} // namespace

TPrintDBGridEh::TPrintDBGridEh(QObject* parent) : QObject(parent)
{
    m_font = QFont(QStringLiteral("宋体"), 9);
    m_header.Font = QFont(QStringLiteral("宋体"), 16, QFont::Bold);
}

TPrintDBGridEh::~TPrintDBGridEh() = default;

QPrinter* TPrintDBGridEh::printer()
{
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageSize(QPageSize(QPageSize::A4));
        m_printer->setFullPage(true);
    }
    return m_printer.get();
}

QString TPrintDBGridEh::expand(const QString& text, int page, int pages) const
{
    const QDateTime now = clockNow();
    QString t = text;
    t.replace(QStringLiteral("&[Page]"), QString::number(page), Qt::CaseInsensitive);
    t.replace(QStringLiteral("&[Pages]"), QString::number(pages), Qt::CaseInsensitive);
    t.replace(QStringLiteral("&[LongDate]"), now.date().toString(QStringLiteral("yyyy年M月d日")), Qt::CaseInsensitive);
    t.replace(QStringLiteral("&[ShortDate]"), now.date().toString(QStringLiteral("yyyy-MM-dd")), Qt::CaseInsensitive);
    t.replace(QStringLiteral("&[Date]"), now.date().toString(QStringLiteral("yyyy-MM-dd")), Qt::CaseInsensitive);
    t.replace(QStringLiteral("&[Time]"), now.time().toString(QStringLiteral("HH:mm:ss")), Qt::CaseInsensitive);
    return t;
}

int TPrintDBGridEh::render(QPrinter* pr)
{
    TDBGridEh* g = m_grid;
    if (!g) throw GridError(u"没有要打印的表格"_s);
    pr->setFullPage(true);
    if (!Title.isEmpty()) pr->setDocName(Title);
    QPainter p;
    if (!p.begin(pr)) throw GridError(u"无法开始打印：打印机不可用"_s);

    const double dpi = pr->resolution();
    const double cm = dpi / 2.54;
    const QRectF paper = pr->paperRect(QPrinter::DevicePixel);
    const QRectF area(paper.left() + LeftMargin * cm, paper.top() + TopMargin * cm,
                      paper.width() - (LeftMargin + RightMargin) * cm, paper.height() - (TopMargin + BottomMargin) * cm);
    if (area.width() <= 10 || area.height() <= 10) throw GridError(u"页边距太大，无法打印"_s);

    QFont font(m_font);
    QFont hfont(m_header.Font);
    p.setFont(font);
    const QFontMetricsF fm(font, pr);
    const QFontMetricsF hfm(hfont, pr);
    const double lineH = fm.height() * 1.35;
    const double pad = fm.averageCharWidth() * 0.4;

    // Columns as shown, scaled from screen pixels to the printer.
    const double screenDpi = g->logicalDpiX() > 0 ? g->logicalDpiX() : 96;
    std::vector<PrintColumn> cols;
    int levelCount = 1;
    for (int i = 0; i < g->Columns()->Count(); ++i) {
        TColumnEh* c = g->Columns()->Items(i);
        if (!c->Visible()) continue;
        PrintColumn pc{c, double(g->horizontalHeader()->sectionSize(i)) * dpi / screenDpi, g->titleLevels(i),
                       c->Alignment()};
        if (pc.width <= 0) pc.width = double(c->Width()) * dpi / screenDpi;
        levelCount = std::max(levelCount, int(pc.levels.size()));
        cols.push_back(pc);
    }
    QList<QStringList> shownLevels;
    for (const PrintColumn& pc : cols) shownLevels << pc.levels;
    TClientDataSet* ds = g->DataSet();
    const int rows = ds && ds->Active() ? ds->RecordCount() : 0;
    if (Options & pghOptimalColWidths) {
        for (PrintColumn& pc : cols) {
            double w = fm.horizontalAdvance(pc.levels.last()) + 2 * pad;
            for (int r = 0; r < rows && r < 2000; ++r)
                w = std::max(w, fm.horizontalAdvance(pc.col->displayTextAt(ds->physicalRow(r))) + 2 * pad);
            pc.width = w;
        }
    }
    double total = 0;
    for (const PrintColumn& pc : cols) total += pc.width;
    if ((Options & pghFitGridToPageWidth) && total > area.width() && total > 0) {
        const double k = area.width() / total;
        for (PrintColumn& pc : cols) pc.width *= k;
    }

    // Cell texts and row heights.
    auto cellText = [&](const PrintColumn& pc, int viewRow) {
        try {
            return pc.col->displayTextAt(ds->physicalRow(viewRow));
        } catch (...) {
            // One unreadable cell prints empty rather than stopping the printout.
            qWarning().noquote() << "grid printout: cell text:" << currentExceptionMessage();
            return QString();
        }
    };
    auto textHeight = [&](const QString& t, double w) {
        if (t.isEmpty()) return lineH;
        const QRectF b = fm.boundingRect(QRectF(0, 0, std::max(1.0, w - 2 * pad), 1e6),
                                         Qt::TextWordWrap | Qt::AlignLeft, t);
        return std::max(lineH, b.height() + lineH - fm.height());
    };
    const bool stretch = Options & pghRowAutoStretch;
    std::vector<double> rowH(size_t(rows), lineH);
    if (stretch) {
        for (int r = 0; r < rows; ++r) {
            double h = lineH;
            for (const PrintColumn& pc : cols)
                h = std::max(h, textHeight(cellText(pc, r), pc.width));
            rowH[size_t(r)] = h;
        }
    }
    const int titleUnits = std::max(levelCount, g->TitleLines());
    double titleH = titleUnits * lineH;
    if (stretch) {
        for (const PrintColumn& pc : cols) {
            const double lowest = textHeight(pc.levels.last(), pc.width);
            titleH = std::max(titleH, (int(pc.levels.size()) - 1) * lineH + lowest);
        }
    }
    const int footerRows = g->FooterRowCount();
    const double footerH = footerRows * lineH;

    // Page header height: the centre lines in the header font, the side lines in the print font.
    const int sideLines = int(std::max(m_header.LeftText.size(), m_header.RightText.size()));
    const double headerH = std::max(m_header.CenterText.size() * hfm.height() * 1.2, sideLines * fm.height() * 1.2);
    const double headerGap = headerH > 0 ? lineH * 0.5 : 0;
    const double afterLineH = fm.height() * 1.3;

    // Pagination.
    GridPageMetrics metrics;
    metrics.pageWidth = area.width();
    metrics.pageHeight = area.height();
    metrics.headerHeight = headerH + headerGap;
    metrics.titleHeight = titleH;
    metrics.footerHeight = footerH;
    metrics.afterGap = lineH * 0.5;
    metrics.afterLineHeight = afterLineH;
    metrics.afterLineCount = int(m_after.size());
    metrics.titlesOnEachPage = Options & pghColHeadersOnEachPage;
    // Unfitted columns beyond the page stay cut off, as the printout has always done.
    metrics.splitColumns = false;
    for (const PrintColumn& pc : cols) metrics.columnWidths.push_back(pc.width);
    metrics.rowHeights = rowH;
    const std::vector<GridPageSlice> pages = layoutGridPages(metrics);
    const int pageCount = int(pages.size());

    const QPen gridPen(QColor(0, 0, 0), std::max(1.0, dpi / 300.0));
    auto drawCell = [&](const QRectF& r, const QString& t, Qt::Alignment a, bool wrap) {
        p.setPen(gridPen);
        p.drawRect(r);
        const QRectF tr = r.adjusted(pad, 0, -pad, 0);
        int flags = int(a);
        if (wrap) flags |= Qt::TextWordWrap;
        p.drawText(tr, flags, t);
    };

    for (int pi = 0; pi < pageCount; ++pi) {
        if (pi > 0) pr->newPage();
        const GridPageSlice& s = pages[size_t(pi)];
        double y = area.top();
        // Page header.
        if (headerH > 0) {
            p.setFont(hfont);
            double cy = y;
            for (const QString& line : m_header.CenterText) {
                p.drawText(QRectF(area.left(), cy, area.width(), hfm.height() * 1.2), Qt::AlignHCenter | Qt::AlignVCenter,
                           expand(line, pi + 1, pageCount));
                cy += hfm.height() * 1.2;
            }
            p.setFont(font);
            const double sideTop = y + headerH - sideLines * fm.height() * 1.2;
            double ly = sideTop + (sideLines - m_header.LeftText.size()) * fm.height() * 1.2;
            for (const QString& line : m_header.LeftText) {
                p.drawText(QRectF(area.left(), ly, area.width(), fm.height() * 1.2), Qt::AlignLeft | Qt::AlignVCenter,
                           expand(line, pi + 1, pageCount));
                ly += fm.height() * 1.2;
            }
            double ry = sideTop + (sideLines - m_header.RightText.size()) * fm.height() * 1.2;
            for (const QString& line : m_header.RightText) {
                p.drawText(QRectF(area.left(), ry, area.width(), fm.height() * 1.2), Qt::AlignRight | Qt::AlignVCenter,
                           expand(line, pi + 1, pageCount));
                ry += fm.height() * 1.2;
            }
            y += headerH + headerGap;
        }
        p.setFont(font);
        // The page's columns from the left margin.
        std::vector<double> xs, ws;
        {
            double x = area.left();
            for (int i = s.firstColumn; i < s.endColumn; ++i) {
                xs.push_back(x);
                ws.push_back(cols[size_t(i)].width);
                x += ws.back();
            }
        }
        // Titles: upper levels merged across the page's neighbours that share them.
        if (s.titles) {
            for (int i = s.firstColumn; i < s.endColumn; ++i) {
                const size_t at = size_t(i - s.firstColumn);
                const QStringList& levels = shownLevels[i];
                const int n = int(levels.size());
                for (int k = 0; k < n; ++k) {
                    const bool last = k == n - 1;
                    const double top = y + k * lineH;
                    const double h = last ? titleH - k * lineH : lineH;
                    if (last) {
                        drawCell(QRectF(xs[at], top, ws[at], h), levels[k], Qt::AlignCenter, true);
                        continue;
                    }
                    const TitleSpan span = mergedTitleSpan(shownLevels, i, k, s.firstColumn, s.endColumn);
                    if (span.first != i) continue; // drawn with the first of the span
                    const size_t e = size_t(span.last - s.firstColumn);
                    drawCell(QRectF(xs[at], top, xs[e] + ws[e] - xs[at], h), levels[k], Qt::AlignCenter, false);
                }
            }
            y += titleH;
        }
        // Rows.
        for (int r = s.firstRow; r < s.endRow; ++r) {
            for (int i = s.firstColumn; i < s.endColumn; ++i) {
                const size_t at = size_t(i - s.firstColumn);
                const PrintColumn& pc = cols[size_t(i)];
                drawCell(QRectF(xs[at], y, ws[at], rowH[size_t(r)]), cellText(pc, r), pc.align, stretch);
            }
            y += rowH[size_t(r)];
        }
        if (s.footer) {
            for (int fr = 0; fr < footerRows; ++fr) {
                for (int i = s.firstColumn; i < s.endColumn; ++i) {
                    const size_t at = size_t(i - s.firstColumn);
                    drawCell(QRectF(xs[at], y, ws[at], lineH), g->footerText(cols[size_t(i)].col->Index(), fr),
                             Qt::AlignRight | Qt::AlignVCenter, false);
                }
                y += lineH;
            }
        }
        if (s.afterLines > 0) {
            y += lineH * 0.5;
            for (int a = s.afterStart; a < s.afterStart + s.afterLines; ++a) {
                p.drawText(QRectF(area.left(), y, area.width(), afterLineH), Qt::AlignLeft | Qt::AlignVCenter,
                           expand(m_after[a], pi + 1, pageCount));
                y += afterLineH;
            }
        }
    }
    p.end();
    m_lastPages = pageCount;
    return pageCount;
}

void TPrintDBGridEh::Preview()
{
    QPrintPreviewDialog dlg(printer(), m_grid ? m_grid->window() : nullptr);
    dlg.setWindowTitle(Title.isEmpty() ? QStringLiteral("打印预览") : Title);
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* pr) { guard([&] { render(pr); }); });
    runModal(&dlg);
}

void TPrintDBGridEh::Print()
{
    render(printer());
}

bool TPrintDBGridEh::PrinterSetupDialog()
{
    if (!promptPrintSetup(printer(), m_grid ? m_grid->window() : nullptr)) return false;
    render(printer());
    return true;
}

void TPrintDBGridEh::PrintToPdf(const QString& fileName)
{
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(fileName);
    pdf.setPageLayout(printer()->pageLayout());
    render(&pdf);
}
