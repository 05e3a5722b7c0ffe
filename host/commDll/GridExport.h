// Exports of a grid as it is shown: the visible columns in grid order under their titles
// (multi-level titles as merged header cells), every record in view as its display text or, in
// a workbook, a number as a number, and the footer row.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <string_view>
#include <vector>

class QLabel;
class QProgressBar;
class TClientDataSet;
class TColumnEh;
class TDBGridEh;
class TField;

namespace commdll {

struct ExportCell {
    QString text;
    bool isNumber = false;
    double number = 0;
};

struct HeaderCell {
    int row = 0, col = 0, rowSpan = 1, colSpan = 1;
    QString text;
};

// What an export writes besides the rows: the visible columns, their titles and formats, and
// the footer rows. The rows themselves are read from the dataset as they are written.
struct GridSnapshot {
    QStringList captions;   // one line per column: title levels joined by "-"
    QList<HeaderCell> header;
    int headerRows = 1;
    QList<int> widths;      // pixels
    QStringList numFormats; // per column: the number format of a numeric column, else empty
    QList<bool> numeric;
    QList<int> columns;     // grid column index of each exported column
    QList<QList<ExportCell>> footers;
};

GridSnapshot snapshotGrid(TDBGridEh* grid);

// One value of an exported record: its text as UTF-8 and, in a number column, the number when
// there is one. The text stays valid until the next record is read.
struct ExportValue {
    std::string_view text;
    bool isNumber = false;
    double number = 0;
};
using ExportRow = std::vector<ExportValue>;

// Reads the records of a grid as an export writes them, into buffers kept from record to
// record. A text shown as it is stored is passed on as the dataset holds it, without a copy;
// other cells are read as the grid shows them. numberTexts: whether a number column's text is
// wanted besides its number (a workbook writes the number only).
class ExportRowReader {
public:
    ExportRowReader(TDBGridEh* grid, const GridSnapshot& s, bool numberTexts);
    // The cells of the record at a view position.
    const ExportRow& read(int viewPos);

private:
    struct Source {
        TColumnEh* column = nullptr;
        TField* field = nullptr;
        int storeColumn = -1; // the field's stored column when it is read in place, else -1
        bool numeric = false;
        bool storedText = false; // a text shown as stored (no handler)
    };
    void readShown(size_t j, int phys);
    TClientDataSet* m_ds = nullptr;
    bool m_numberTexts;
    std::vector<Source> m_sources;
    ExportRow m_row;
    std::vector<QByteArray> m_texts; // per column: the shown text of the record read last
};

// Test seams, read from the environment at the start of each export: QOR_EXPORT_SHEET_ROWS
// (rows of a worksheet, titles included; Excel's limit by default) and QOR_EXPORT_FAIL_AFTER
// (bytes after which writing fails as on a full disk; off by default).
struct ExportSeams {
    int sheetRows = 1048576;
    qint64 failAfterBytes = -1;
};
ExportSeams exportSeams();

// One file being written: under a temporary name in the target folder, renamed to the target
// only by finish(), so that a failed or cancelled export leaves no partial file and an existing
// file of that name stays as it was until the new one is complete. Each throws
// commdll::CommDllError with a message when the file cannot be written.
class ExportSink {
public:
    virtual ~ExportSink() = default;
    virtual void row(const ExportRow& cells) = 0;
    // Whether a number needs its shown text too (see ExportRowReader).
    virtual bool numberTexts() const { return true; }
    virtual void finish() = 0; // footers, close, rename
};
enum class ExportKind { Excel, Text, Html };
std::unique_ptr<ExportSink> openExport(ExportKind kind, const GridSnapshot& s, const QString& path,
                                       const QString& title);

// The proposed name as the save dialog offers it: characters a file name cannot hold become
// "_", and ".xls" becomes ".xlsx" for a workbook.
QString proposedExportName(ExportKind kind, const QString& fileName);
// The modal progress of an export: writes the rows in slices from zero-delay timers inside its
// own modal loop (so nothing re-enters the caller's handlers and the rest of the program takes
// no input meanwhile), shows the rows written, and stops on Cancel. Accepted when the file is
// complete; error() holds the message of a failure.
class ExportProgressDialog : public QDialog {
    Q_OBJECT
public:
    ExportProgressDialog(TDBGridEh* grid, const GridSnapshot& s, ExportSink& sink, QWidget* parent = nullptr);
    // QDialog::done(int) stays callable beside the query below.
    using QDialog::done;
    bool done() const { return m_done; }
    QString error() const { return m_error; }
    int written() const { return m_written; }

public Q_SLOTS:
    // Writes the next slice of rows (at most 2,000, about 40 ms), finishing the file after the last.
    void step();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void showProgress();
    TDBGridEh* m_grid;
    const GridSnapshot& m_s;
    ExportSink& m_sink;
    QPointer<TClientDataSet> m_dataSet;
    const void* m_store = nullptr;
    ExportRowReader m_reader;
    int m_total = 0;
    int m_written = 0;
    bool m_started = false;
    bool m_done = false;
    QString m_error;
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
};

// Save dialog, then the file, written in steps under a modal progress dialog with a cancel
// button.
void RunExport(ExportKind kind, TDBGridEh* grid, const QString& fileName);

} // namespace commdll
