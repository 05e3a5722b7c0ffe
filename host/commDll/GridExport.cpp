#include "host/commDll/GridExport.h"

#include "host/commDll/CommDllCommon.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/Store.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Prompter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <string>

#include <xlsxwriter.h>

namespace commdll {

namespace {

ExportCell textCell(const QString& t) { return ExportCell{t, false, 0}; }

// A footer text as a number when it reads as one (group separators allowed).
ExportCell footerCell(const QString& t, bool numericColumn)
{
    if (numericColumn) {
        QString plain = t.trimmed();
        plain.remove(QLatin1Char(','));
        bool ok = false;
        const double d = plain.toDouble(&ok);
        if (ok && !plain.isEmpty()) return ExportCell{t, true, d};
    }
    return textCell(t);
}

} // namespace

GridSnapshot snapshotGrid(TDBGridEh* grid)
{
    GridSnapshot s;
    if (!grid) return s;
    TDBGridColumnsEh* cols = grid->Columns();
    QList<int> logical;
    QList<QStringList> levels;
    for (int i = 0; i < cols->Count(); ++i) {
        TColumnEh* c = cols->Items(i);
        if (!c->Visible()) continue;
        logical << i;
        s.columns << i;
        levels << grid->titleLevels(i);
        s.captions << levels.last().join(QLatin1Char('-'));
        s.widths << c->Width();
        TField* f = c->Field();
        // A number goes out as a number unless its text is replaced (masked columns show "*").
        const bool numeric = f && f->IsNumeric() && (!c->DisplayFormat().isEmpty() || !f->HasOnGetText());
        s.numeric << numeric;
        QString fmt;
        if (numeric) {
            fmt = !c->DisplayFormat().isEmpty() ? c->DisplayFormat() : f->DisplayFormat();
            if (fmt.isEmpty() && f->DataType() == ftCurrency) fmt = QStringLiteral("#,##0.00");
        }
        s.numFormats << fmt;
    }

    // Header cells: upper levels shared by neighbours merge across them; a column's last level
    // reaches down to the last header row.
    const int n = int(levels.size());
    int rowsNeeded = 1;
    for (const QStringList& l : levels) rowsNeeded = std::max(rowsNeeded, int(l.size()));
    s.headerRows = rowsNeeded;
    auto shares = [&](int j, int k, const QStringList& of) {
        const QStringList& o = levels[j];
        if (o.size() <= k + 1) return false;
        for (int q = 0; q <= k; ++q)
            if (o[q] != of[q]) return false;
        return true;
    };
    for (int j = 0; j < n; ++j) {
        const QStringList& l = levels[j];
        const int m = int(l.size());
        for (int k = 0; k < m; ++k) {
            if (k == m - 1) {
                s.header << HeaderCell{k, j, rowsNeeded - k, 1, l[k]};
                continue;
            }
            if (j > 0 && shares(j - 1, k, l)) continue;
            int e = j;
            while (e + 1 < n && shares(e + 1, k, l)) ++e;
            s.header << HeaderCell{k, j, 1, e - j + 1, l[k]};
        }
    }

    for (int fr = 0; fr < grid->FooterRowCount(); ++fr) {
        QList<ExportCell> row;
        for (int j = 0; j < n; ++j) row << footerCell(grid->footerText(logical[j], fr), s.numeric[j]);
        s.footers << row;
    }
    return s;
}

ExportRowReader::ExportRowReader(TDBGridEh* grid, const GridSnapshot& s, bool numberTexts)
    : m_ds(grid ? grid->DataSet() : nullptr), m_numberTexts(numberTexts)
{
    const dsimpl::Store* st = m_ds ? m_ds->store() : nullptr;
    for (int j = 0; j < s.columns.size(); ++j) {
        Source src;
        src.column = grid->Columns()->Items(s.columns[j]);
        src.field = src.column->Field();
        src.numeric = s.numeric[j];
        const int col = src.field && src.field->DataSet() == m_ds ? src.field->storeColumn() : -1;
        if (st && col >= 0 && size_t(col) < st->cols.size()) {
            const dsimpl::Kind kind = st->cols[size_t(col)].kind;
            if (src.numeric && (kind == dsimpl::Kind::Int || kind == dsimpl::Kind::Dbl)) {
                src.storeColumn = col;
            } else if (!src.numeric && kind == dsimpl::Kind::Str && src.field->DataType() == ftString &&
                       !src.field->HasOnGetText()) {
                src.storeColumn = col;
                src.storedText = true;
            }
        }
        m_sources.push_back(src);
    }
    m_row.resize(m_sources.size());
    m_texts.resize(m_sources.size());
}

// A cell as the grid shows it: its text, and a number column's number (a cell that cannot be
// read is left empty).
void ExportRowReader::readShown(size_t j, int phys)
{
    const Source& src = m_sources[j];
    ExportValue& v = m_row[j];
    QByteArray& bytes = m_texts[j];
    bytes.clear();
    try {
        if (!src.numeric || m_numberTexts) bytes = src.column->displayTextAt(phys).toUtf8();
        if (src.numeric && src.storeColumn < 0) {
            const QVariant value = src.field->valueAt(phys);
            if (!value.isNull()) {
                v.isNumber = true;
                v.number = value.toDouble();
            }
        }
    } catch (...) {
        bytes.clear();
        v.isNumber = false;
    }
    v.text = std::string_view(bytes.constData(), size_t(bytes.size()));
}

const ExportRow& ExportRowReader::read(int viewPos)
{
    const dsimpl::Store* st = m_ds ? m_ds->store() : nullptr;
    const int phys = m_ds ? m_ds->physicalRow(viewPos) : -1;
    for (size_t j = 0; j < m_sources.size(); ++j) {
        const Source& src = m_sources[j];
        ExportValue& v = m_row[j];
        v = ExportValue{};
        if (!st || phys < 0 || size_t(phys) >= st->rows) continue;
        if (src.storeColumn >= 0) {
            const dsimpl::Column& c = st->cols[size_t(src.storeColumn)];
            if (src.storedText) {
                // The dataset stores well-formed UTF-8 only: the bytes are the text shown.
                v.text = c.str(size_t(phys));
                continue;
            } else {
                if (!c.isNull(size_t(phys))) {
                    v.isNumber = true;
                    v.number = c.kind == dsimpl::Kind::Int ? double(c.ints[size_t(phys)]) : c.dbls[size_t(phys)];
                }
                if (!m_numberTexts) continue;
            }
        }
        readShown(j, phys);
    }
    return m_row;
}

ExportSeams exportSeams()
{
    ExportSeams e;
    bool ok = false;
    const int rows = qEnvironmentVariableIntValue("QOR_EXPORT_SHEET_ROWS", &ok);
    if (ok && rows > 0) e.sheetRows = std::min(rows, e.sheetRows);
    const qint64 fail = qEnvironmentVariable("QOR_EXPORT_FAIL_AFTER").toLongLong(&ok);
    if (ok && fail >= 0) e.failAfterBytes = fail;
    return e;
}

namespace {

QString diskFullText() { return QStringLiteral("磁盘空间不足"); }

// A footer row as values; keep holds their texts.
ExportRow footerValues(const QList<ExportCell>& cells, std::vector<QByteArray>& keep)
{
    keep.clear();
    keep.reserve(size_t(cells.size()));
    ExportRow row;
    for (const ExportCell& c : cells) {
        keep.push_back(c.text.toUtf8());
        row.push_back(ExportValue{std::string_view(keep.back().constData(), size_t(keep.back().size())), c.isNumber,
                                  c.number});
    }
    return row;
}

// A cell holds at most 32,767 characters, counted as the spreadsheet counts them (a character
// outside the basic plane is two); one that does not fit whole is left out.
std::string_view cellText(std::string_view t)
{
    if (t.size() <= 32767) return t; // no more characters than bytes
    size_t units = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        const auto b = static_cast<unsigned char>(t[i]);
        if ((b & 0xC0) == 0x80) continue;
        const size_t w = b >= 0xF0 ? 2 : 1;
        if (units + w > 32767) return t.substr(0, i);
        units += w;
    }
    return t;
}

// --- workbook -------------------------------------------------------------------------------

// A workbook in libxlsxwriter's constant-memory mode: each row goes to disk when the next one
// starts, so memory stays flat however many rows there are. Rows past a worksheet's limit go on
// to another worksheet under the same titles.
class XlsxSink : public ExportSink {
public:
    XlsxSink(const GridSnapshot& s, const QString& path, const QString& sheetName, const ExportSeams& seams)
        : m_s(s), m_path(path), m_seams(seams),
          m_temp(QFileInfo(path).absolutePath() + QStringLiteral("/.%1.XXXXXX").arg(QFileInfo(path).fileName()))
    {
        // The temporary name is reserved in the target folder (same file system: the rename is
        // atomic); libxlsxwriter writes the file under it.
        if (!m_temp.open()) throw CommDllError(QStringLiteral("导出失败：无法创建文件 %1（%2）").arg(path, m_temp.errorString()));
        m_temp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                              QFileDevice::ReadOther);
        m_temp.close();
        m_tempName = m_temp.fileName().toUtf8();
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        m_wb = workbook_new_opt(m_tempName.constData(), &options);
        if (!m_wb) throw CommDllError(QStringLiteral("导出失败：无法创建文件 %1").arg(path));
        m_head = workbook_add_format(m_wb);
        format_set_bold(m_head);
        format_set_align(m_head, LXW_ALIGN_CENTER);
        format_set_align(m_head, LXW_ALIGN_VERTICAL_CENTER);
        format_set_border(m_head, LXW_BORDER_THIN);
        format_set_text_wrap(m_head);
        m_foot = workbook_add_format(m_wb);
        format_set_bold(m_foot);
        for (const QString& fmt : m_s.numFormats) {
            lxw_format* f = nullptr;
            if (!fmt.isEmpty()) {
                m_keep << fmt.toUtf8();
                f = workbook_add_format(m_wb);
                format_set_num_format(f, m_keep.last().constData());
            }
            m_numFormats << f;
        }
        m_sheetName = sheetName;
        newSheet();
    }
    ~XlsxSink() override
    {
        // Not finished: close the workbook so that its own temporary files go; the partial file
        // goes with m_temp.
        if (m_wb) workbook_close(m_wb);
    }

    bool numberTexts() const override { return false; }
    void row(const ExportRow& cells) override
    {
        if (m_row >= lxw_row_t(m_seams.sheetRows)) newSheet();
        writeCells(cells, nullptr);
    }

    void finish() override
    {
        std::vector<QByteArray> keep;
        for (const QList<ExportCell>& f : m_s.footers) {
            if (m_row >= lxw_row_t(m_seams.sheetRows)) newSheet();
            writeCells(footerValues(f, keep), m_foot);
        }
        lxw_workbook* wb = m_wb;
        m_wb = nullptr;
        const lxw_error e = workbook_close(wb);
        if (e != LXW_NO_ERROR)
            throw CommDllError(QStringLiteral("导出失败：%1").arg(QString::fromUtf8(lxw_strerror(e))));
        if (m_seams.failAfterBytes >= 0 && QFileInfo(m_temp.fileName()).size() > m_seams.failAfterBytes)
            throw CommDllError(QStringLiteral("导出失败：%1").arg(diskFullText()));
        if (std::rename(m_tempName.constData(), QFile::encodeName(m_path).constData()) != 0)
            throw CommDllError(QStringLiteral("导出失败：无法写入文件 %1").arg(m_path));
        m_temp.setAutoRemove(false);
    }

private:
    void check(lxw_error e)
    {
        if (e != LXW_NO_ERROR)
            throw CommDllError(QStringLiteral("导出失败：%1").arg(QString::fromUtf8(lxw_strerror(e))));
    }
    static QByteArray cut(const QString& t)
    {
        const QByteArray bytes = t.toUtf8();
        const std::string_view v = cellText(std::string_view(bytes.constData(), size_t(bytes.size())));
        return bytes.left(qsizetype(v.size()));
    }

    // A worksheet with the titles; constant-memory mode takes rows in order, so the title rows
    // are written row by row and a merge that reaches down is declared on its last row.
    void newSheet()
    {
        ++m_sheets;
        QByteArray name = (m_sheets == 1 ? m_sheetName.left(31)
                                         : m_sheetName.left(26) + QStringLiteral("(%1)").arg(m_sheets)).toUtf8();
        const bool ok = !name.isEmpty() && workbook_validate_sheet_name(m_wb, name.constData()) == LXW_NO_ERROR;
        m_ws = workbook_add_worksheet(m_wb, ok ? name.constData() : nullptr);
        if (!m_ws) throw CommDllError(QStringLiteral("导出失败：无法添加工作表"));
        for (int j = 0; j < m_s.widths.size(); ++j)
            check(worksheet_set_column(m_ws, lxw_col_t(j), lxw_col_t(j), std::max(4.0, m_s.widths[j] / 7.0), nullptr));
        worksheet_freeze_panes(m_ws, lxw_row_t(m_s.headerRows), 0);
        for (int r = 0; r < m_s.headerRows; ++r) {
            for (const HeaderCell& h : m_s.header) {
                if (h.row == r) {
                    const QByteArray t = cut(h.text);
                    if (h.rowSpan == 1 && h.colSpan > 1)
                        check(worksheet_merge_range(m_ws, lxw_row_t(r), lxw_col_t(h.col), lxw_row_t(r),
                                                    lxw_col_t(h.col + h.colSpan - 1), t.constData(), m_head));
                    else
                        check(worksheet_write_string(m_ws, lxw_row_t(r), lxw_col_t(h.col), t.constData(), m_head));
                } else if (h.rowSpan > 1 && h.row + h.rowSpan - 1 == r) {
                    const QByteArray t = cut(h.text);
                    check(worksheet_merge_range(m_ws, lxw_row_t(h.row), lxw_col_t(h.col), lxw_row_t(r),
                                                lxw_col_t(h.col + h.colSpan - 1), t.constData(), m_head));
                }
            }
        }
        m_row = lxw_row_t(m_s.headerRows);
    }

    void writeCells(const ExportRow& cells, lxw_format* textFormat)
    {
        for (size_t j = 0; j < cells.size(); ++j) {
            const ExportValue& c = cells[j];
            if (c.isNumber) {
                check(worksheet_write_number(m_ws, m_row, lxw_col_t(j), c.number, m_numFormats.value(qsizetype(j))));
            } else if (!c.text.empty()) {
                // The writer takes a terminated string: the text is copied into one buffer
                // kept from cell to cell.
                m_cell.assign(cellText(c.text));
                check(worksheet_write_string(m_ws, m_row, lxw_col_t(j), m_cell.c_str(), textFormat));
            }
        }
        ++m_row;
    }

    const GridSnapshot& m_s;
    QString m_path;
    ExportSeams m_seams;
    QTemporaryFile m_temp;
    QByteArray m_tempName;
    QString m_sheetName;
    lxw_workbook* m_wb = nullptr;
    lxw_worksheet* m_ws = nullptr;
    lxw_format* m_head = nullptr;
    lxw_format* m_foot = nullptr;
    QList<lxw_format*> m_numFormats;
    QList<QByteArray> m_keep; // format strings stay alive until the workbook is closed
    lxw_row_t m_row = 0;
    int m_sheets = 0;
    std::string m_cell;
};

// --- text and HTML --------------------------------------------------------------------------

// Text written as it comes through a buffer into a QSaveFile (a temporary file in the target
// folder, renamed on commit; dropped when not committed).
class StreamSink : public ExportSink {
public:
    StreamSink(const QString& path, const ExportSeams& seams) : m_file(path), m_path(path), m_seams(seams)
    {
        if (!m_file.open(QIODevice::WriteOnly)) fail(m_file.errorString());
    }
    void finish() override
    {
        flush();
        if (!m_file.commit()) fail(m_file.errorString());
    }

protected:
    void put(const QString& text)
    {
        const QByteArray bytes = text.toUtf8();
        m_buf.append(bytes.constData(), size_t(bytes.size()));
        flushWhenFull();
    }
    // Rows are appended here directly, then flushWhenFull().
    std::string& buffer() { return m_buf; }
    void flushWhenFull()
    {
        if (m_buf.size() >= 256 * 1024) flush();
    }

private:
    [[noreturn]] void fail(const QString& why)
    {
        throw CommDllError(QStringLiteral("无法写入文件：%1（%2）").arg(m_path, why));
    }
    void flush()
    {
        if (m_buf.empty()) return;
        const qint64 n = qint64(m_buf.size());
        if (m_seams.failAfterBytes >= 0 && m_written + n > m_seams.failAfterBytes) fail(diskFullText());
        if (m_file.write(m_buf.data(), n) != n) fail(m_file.errorString());
        m_written += n;
        m_buf.clear();
    }
    QSaveFile m_file;
    QString m_path;
    ExportSeams m_seams;
    std::string m_buf;
    qint64 m_written = 0;
};

// Tabs and line breaks inside a value would break the lines and columns: each (CR LF as one)
// becomes a space.
void appendPlain(std::string& out, std::string_view t)
{
    for (;;) {
        const size_t at = t.find_first_of("\t\r\n");
        if (at == std::string_view::npos) break;
        out.append(t.data(), at);
        out += ' ';
        t.remove_prefix(at + (t[at] == '\r' && at + 1 < t.size() && t[at + 1] == '\n' ? 2 : 1));
    }
    out.append(t.data(), t.size());
}

QString plainCell(const QString& t)
{
    const QByteArray bytes = t.toUtf8();
    std::string out;
    appendPlain(out, std::string_view(bytes.constData(), size_t(bytes.size())));
    return QString::fromUtf8(out.data(), qsizetype(out.size()));
}

// The text escaped as QString::toHtmlEscaped does.
void appendEscaped(std::string& out, std::string_view t)
{
    for (;;) {
        const size_t at = t.find_first_of("<>&\"");
        if (at == std::string_view::npos) break;
        out.append(t.data(), at);
        switch (t[at]) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        default: out += "&quot;"; break;
        }
        t.remove_prefix(at + 1);
    }
    out.append(t.data(), t.size());
}

// UTF-8 with a byte-order mark and CR LF line ends: what the spreadsheet programs of the
// suite's users take for UTF-8 text.
class TextSink : public StreamSink {
public:
    TextSink(const GridSnapshot& s, const QString& path, const ExportSeams& seams) : StreamSink(path, seams), m_s(s)
    {
        buffer() += "\xEF\xBB\xBF";
        QStringList head;
        for (const QString& c : s.captions) head << plainCell(c);
        put(head.join(QLatin1Char('\t')) + QStringLiteral("\r\n"));
    }
    void row(const ExportRow& cells) override { line(cells); }
    void finish() override
    {
        std::vector<QByteArray> keep;
        for (const QList<ExportCell>& f : m_s.footers) line(footerValues(f, keep));
        StreamSink::finish();
    }

private:
    void line(const ExportRow& cells)
    {
        std::string& out = buffer();
        for (size_t j = 0; j < cells.size(); ++j) {
            if (j) out += '\t';
            appendPlain(out, cells[j].text);
        }
        out += "\r\n";
        flushWhenFull();
    }
    const GridSnapshot& m_s;
};

class HtmlSink : public StreamSink {
public:
    HtmlSink(const GridSnapshot& s, const QString& path, const QString& title, const ExportSeams& seams)
        : StreamSink(path, seams), m_s(s)
    {
        QString out = QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>%1</title>\n"
                                     "<style>table{border-collapse:collapse}th,td{border:1px solid #808080;padding:2px 4px}"
                                     "th{background:#e0e0e0}td.n{text-align:right}</style>\n</head>\n<body>\n<table>\n<thead>\n")
                          .arg(title.toHtmlEscaped());
        for (int r = 0; r < s.headerRows; ++r) {
            out += QStringLiteral("<tr>");
            for (const HeaderCell& h : s.header) {
                if (h.row != r) continue;
                out += QStringLiteral("<th");
                if (h.colSpan > 1) out += QStringLiteral(" colspan=\"%1\"").arg(h.colSpan);
                if (h.rowSpan > 1) out += QStringLiteral(" rowspan=\"%1\"").arg(h.rowSpan);
                out += QLatin1Char('>') + h.text.toHtmlEscaped() + QStringLiteral("</th>");
            }
            out += QStringLiteral("</tr>\n");
        }
        put(out + QStringLiteral("</thead>\n<tbody>\n"));
    }
    void row(const ExportRow& cells) override { line(cells); }
    void finish() override
    {
        put(QStringLiteral("</tbody>\n"));
        if (!m_s.footers.isEmpty()) {
            put(QStringLiteral("<tfoot>\n"));
            std::vector<QByteArray> keep;
            for (const QList<ExportCell>& f : m_s.footers) line(footerValues(f, keep));
            put(QStringLiteral("</tfoot>\n"));
        }
        put(QStringLiteral("</table>\n</body>\n</html>\n"));
        StreamSink::finish();
    }

private:
    void line(const ExportRow& cells)
    {
        std::string& out = buffer();
        out += "<tr>";
        for (size_t j = 0; j < cells.size(); ++j) {
            out += m_s.numeric.value(qsizetype(j)) ? "<td class=\"n\">" : "<td>";
            appendEscaped(out, cells[j].text);
            out += "</td>";
        }
        out += "</tr>\n";
        flushWhenFull();
    }
    const GridSnapshot& m_s;
};

} // namespace

std::unique_ptr<ExportSink> openExport(ExportKind kind, const GridSnapshot& s, const QString& path, const QString& title)
{
    const ExportSeams seams = exportSeams();
    switch (kind) {
    case ExportKind::Excel: return std::make_unique<XlsxSink>(s, path, title, seams);
    case ExportKind::Text: return std::make_unique<TextSink>(s, path, seams);
    case ExportKind::Html: return std::make_unique<HtmlSink>(s, path, title, seams);
    }
    return nullptr;
}

// --- the entries' work ----------------------------------------------------------------------

namespace {

struct KindInfo {
    const char* caption;
    const char* filter;
    const char* suffix;
};

KindInfo kindInfo(ExportKind k)
{
    switch (k) {
    case ExportKind::Excel: return {"导出到 Excel", "Excel 文件 (*.xlsx)", "xlsx"};
    case ExportKind::Text: return {"导出到文本文件", "文本文件 (*.txt)", "txt"};
    case ExportKind::Html: return {"导出到网页文件", "网页文件 (*.htm *.html)", "htm"};
    }
    return {"", "", ""};
}

} // namespace

ExportProgressDialog::ExportProgressDialog(TDBGridEh* grid, const GridSnapshot& s, ExportSink& sink, QWidget* parent)
    : QDialog(parent), m_grid(grid), m_s(s), m_sink(sink), m_reader(grid, s, sink.numberTexts())
{
    setObjectName(QStringLiteral("dlgExportProgress"));
    setWindowTitle(QStringLiteral("导出数据"));
    setWindowModality(Qt::ApplicationModal);
    TClientDataSet* ds = grid->DataSet();
    m_dataSet = ds;
    m_store = ds ? ds->store() : nullptr;
    m_total = ds && ds->Active() ? ds->RecordCount() : 0;
    auto* layout = new QVBoxLayout(this);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("lblProgress"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("pbrProgress"));
    m_bar->setRange(0, std::max(1, m_total));
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    showProgress();
    resize(360, sizeHint().height());
}

void ExportProgressDialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!m_started) {
        m_started = true;
        QTimer::singleShot(0, this, &ExportProgressDialog::step);
    }
}

void ExportProgressDialog::showProgress()
{
    m_label->setText(QStringLiteral("已导出 %1 / %2 行").arg(m_written).arg(m_total));
    m_bar->setValue(m_written);
}

void ExportProgressDialog::step()
{
    if (result() != 0 || !isVisible() || m_done) return; // closed meanwhile
    try {
        // The data may not change under the export; should it (it cannot while this dialog is
        // modal), the export stops rather than write a mixture.
        TClientDataSet* ds = m_dataSet;
        if (!ds || ds->store() != m_store || (ds->Active() ? ds->RecordCount() : 0) != m_total)
            throw CommDllError(QStringLiteral("导出失败：数据在导出时改变了"));
        QElapsedTimer slice;
        slice.start();
        // At most about 40 ms and 2,000 rows a slice: the count moves and Cancel answers.
        const int sliceEnd = std::min(m_total, m_written + 2000);
        while (m_written < sliceEnd && slice.elapsed() < 40) {
            const int end = std::min(sliceEnd, m_written + 250);
            for (; m_written < end; ++m_written) m_sink.row(m_reader.read(m_written));
        }
        showProgress();
        if (m_written >= m_total) {
            m_sink.finish();
            m_done = true;
            accept();
            return;
        }
    } catch (const std::exception& e) {
        m_error = QString::fromUtf8(e.what());
        if (const auto* q = dynamic_cast<const QorError*>(&e)) m_error = q->message();
        reject();
        return;
    } catch (...) {
        m_error = QStringLiteral("导出失败");
        reject();
        return;
    }
    // The rest in the next turn of the event loop, so that painting and the cancel button work.
    QTimer::singleShot(0, this, &ExportProgressDialog::step);
}

QString proposedExportName(ExportKind kind, const QString& fileName)
{
    QString name = fileName.trimmed();
    for (QChar c : QStringLiteral("/\\:*?\"<>|")) name.replace(c, QLatin1Char('_'));
    if (kind == ExportKind::Excel && name.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive))
        name += QLatin1Char('x');
    return name;
}

void RunExport(ExportKind kind, TDBGridEh* grid, const QString& fileName)
{
    if (!grid) return;
    const KindInfo info = kindInfo(kind);
    QWidget* parent = dialogParent(grid);
    QString path = promptSaveFile(QString::fromUtf8(info.caption), proposedExportName(kind, fileName),
                                  QString::fromUtf8(info.filter), parent);
    if (path.isEmpty()) return;
    const QFileInfo fi(path);
    if (fi.suffix().isEmpty()) path += QLatin1Char('.') + QLatin1String(info.suffix);
    const GridSnapshot s = snapshotGrid(grid);
    QString error;
    bool written = false;
    {
        std::unique_ptr<ExportSink> sink;
        try {
            sink = openExport(kind, s, path, QFileInfo(path).completeBaseName());
        } catch (const QorError& e) {
            error = e.message();
        }
        if (sink) {
            ExportProgressDialog progress(grid, s, *sink, parent);
            written = runModal(&progress) == QDialog::Accepted && progress.done();
            error = progress.error();
        }
        // A sink not finished removes its temporary file here.
    }
    if (!error.isEmpty()) throw CommDllError(error);
    if (written) showInfo(QStringLiteral("数据已导出到文件：%1").arg(QDir::toNativeSeparators(path)), parent);
}

} // namespace commdll
