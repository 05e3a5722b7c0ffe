// Draws a dataset with a print layout, one page at a time: a page is laid out when it is drawn,
// so printing does not keep pages in memory. Every body line (a record, a group heading, a
// subtotal, the total) has the same height, which makes the page count known before drawing.
#pragma once

#include "host/commPrint/PrnLayout.h"

#include <QFont>
#include <QRectF>
#include <vector>

class QPainter;
class QPaintDevice;
class QPrinter;
class TClientDataSet;
class TField;

namespace commprint {

class PrnReport {
public:
    // ds may be null or closed: the report then has column titles and no records.
    PrnReport(const PrnLayout& layout, TClientDataSet* ds, const PrnVariables& vars);
    ~PrnReport();
    PrnReport(const PrnReport&) = delete;
    PrnReport& operator=(const PrnReport&) = delete;

    // Prints every page on the printer (its page layout is used as it stands). Returns the page
    // count.
    int print(QPrinter* printer);

    // For a page surface: paper is the whole sheet, body the area inside the margins, both in the
    // device's pixels at dpi.
    struct Surface {
        QPaintDevice* device;
        QRectF paper;
        QRectF body;
        double dpi;
    };
    // Pages the data needs on that surface.
    int pageCount(const Surface& s);
    // Draws page index (0-based) on the painter; out-of-range pages draw the last one.
    void drawPage(QPainter& p, const Surface& s, int index);

    // Records in print order (grouped records come together, the dataset's order kept within a
    // group).
    const std::vector<int>& rowOrder() const { return m_order; }

private:
    struct Geometry;
    struct Line;
    class Lines;
    Geometry geometry(const Surface& s) const;
    int lineCount() const;
    void drawFrame(QPainter& p, const Geometry& g, int page, int pages) const;
    void drawLine(QPainter& p, const Geometry& g, const Line& line, double y) const;
    QString cellText(int col, int physRow) const;
    QString footerText(int col, double sum, qint64 count) const;

    PrnLayout m_layout;
    TClientDataSet* m_ds;
    PrnVariables m_vars;
    std::vector<TField*> m_fields; // per column, null when the dataset lacks the field
    TField* m_groupField = nullptr;
    std::vector<int> m_order;      // physical rows in print order
    int m_groups = 0;              // groups in m_order (0 without grouping)
    bool m_hasFooters = false;
};

} // namespace commprint
