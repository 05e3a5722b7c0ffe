// Printing a grid as it is shown: its visible columns, multi-level titles, every record in
// view and the footer row, with a page header (centre, left and right texts), the text after the
// grid, margins and a print font; preview, print, printer set-up and PDF output.
#pragma once

#include "platform/sys/QorError.h"

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class QPainter;
class QPrinter;
class TDBGridEh;

// A printout that cannot be made (no grid, no printer, margins larger than the paper).
class GridError : public QorError {
public:
    using QorError::QorError;
};

enum TPrintDBGridEhOption {
    pghFitGridToPageWidth = 0x01,   // scale the columns down to the printable width
    pghColHeadersOnEachPage = 0x02, // repeat the titles on every page (else on the first only)
    pghRowAutoStretch = 0x04,       // wrap cell texts and make rows as high as needed
    pghFitingByColWidths = 0x08,    // with fitting: keep the columns' proportions exactly
    pghOptimalColWidths = 0x10      // widen columns to their longest text before fitting
};
using TPrintDBGridEhOptions = int;

class TPrintDBGridEh : public QObject {
    Q_OBJECT
public:
    explicit TPrintDBGridEh(QObject* parent = nullptr);
    ~TPrintDBGridEh() override;

    void setDBGridEh(TDBGridEh* g) { m_grid = g; }
    TDBGridEh* DBGridEh() const { return m_grid; }

    // Page header. Texts may use &[Page], &[Pages], &[Date], &[ShortDate], &[LongDate], &[Time].
    struct TPageHeaderEh {
        QStringList CenterText;
        QStringList LeftText;
        QStringList RightText;
        QFont Font;
    };
    TPageHeaderEh& PageHeader() { return m_header; }
    // Lines printed after the last row.
    QStringList& AfterGridText() { return m_after; }
    QFont& PrintFont() { return m_font; }
    // Margins in centimetres.
    double LeftMargin = 2.0, RightMargin = 2.0, TopMargin = 2.0, BottomMargin = 2.0;
    TPrintDBGridEhOptions Options = pghFitGridToPageWidth | pghRowAutoStretch;
    QString Title; // document name given to the printer

    // The preview dialog (QPrintPreviewDialog, run through runModal); print from it as usual.
    void Preview();
    // Prints on the current printer without asking.
    void Print();
    // The printer set-up dialog; prints when confirmed. False when cancelled.
    bool PrinterSetupDialog();
    // Writes the printout as a PDF file. GridError or DatasetError when it cannot.
    void PrintToPdf(const QString& fileName);

    // Lays out and draws every page on the printer (what the preview and printing call).
    // Returns the page count.
    int render(QPrinter* printer);
    int lastPageCount() const { return m_lastPages; }

private:
    QPrinter* printer();
    QString expand(const QString& text, int page, int pages) const;
    QPointer<TDBGridEh> m_grid;
    TPageHeaderEh m_header;
    QStringList m_after;
    QFont m_font;
    std::unique_ptr<QPrinter> m_printer;
    int m_lastPages = 0;
};
