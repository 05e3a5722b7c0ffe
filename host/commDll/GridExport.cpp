#include "host/commDll/GridExport.h"

#include "host/commDll/CommDllCommon.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

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

    TClientDataSet* ds = grid->DataSet();
    const int count = ds && ds->Active() ? ds->RecordCount() : 0;
    for (int r = 0; r < count; ++r) {
        const int phys = ds->physicalRow(r);
        QList<ExportCell> row;
        for (int j = 0; j < n; ++j) {
            TColumnEh* c = cols->Items(logical[j]);
            ExportCell cell;
            try {
                cell.text = c->displayTextAt(phys);
                if (s.numeric[j]) {
                    const QVariant v = c->Field()->valueAt(phys);
                    if (!v.isNull()) {
                        cell.isNumber = true;
                        cell.number = v.toDouble();
                    }
                }
            } catch (...) {
                cell = ExportCell{};
            }
            row << cell;
        }
        s.rows << row;
    }
    for (int fr = 0; fr < grid->FooterRowCount(); ++fr) {
        QList<ExportCell> row;
        for (int j = 0; j < n; ++j) row << footerCell(grid->footerText(logical[j], fr), s.numeric[j]);
        s.footers << row;
    }
    return s;
}

// --- workbook -------------------------------------------------------------------------------

void writeXlsx(const GridSnapshot& s, const QString& path, const QString& sheetName)
{
    const QByteArray file = path.toUtf8();
    lxw_workbook* wb = workbook_new(file.constData());
    if (!wb) throw CommDllError(QStringLiteral("无法创建文件：%1").arg(path));
    QByteArray sheet = sheetName.left(31).toUtf8();
    const bool sheetOk = !sheet.isEmpty() && workbook_validate_sheet_name(wb, sheet.constData()) == LXW_NO_ERROR;
    lxw_worksheet* ws = workbook_add_worksheet(wb, sheetOk ? sheet.constData() : nullptr);

    lxw_format* head = workbook_add_format(wb);
    format_set_bold(head);
    format_set_align(head, LXW_ALIGN_CENTER);
    format_set_align(head, LXW_ALIGN_VERTICAL_CENTER);
    format_set_border(head, LXW_BORDER_THIN);
    format_set_text_wrap(head);
    QHash<QString, lxw_format*> numberFormats;
    QList<QByteArray> keep; // format strings stay alive until the workbook is closed
    auto numberFormat = [&](const QString& fmt) -> lxw_format* {
        if (fmt.isEmpty()) return nullptr;
        auto it = numberFormats.find(fmt);
        if (it != numberFormats.end()) return it.value();
        keep << fmt.toUtf8();
        lxw_format* f = workbook_add_format(wb);
        format_set_num_format(f, keep.last().constData());
        numberFormats.insert(fmt, f);
        return f;
    };
    lxw_format* footFormat = workbook_add_format(wb);
    format_set_bold(footFormat);

    auto cut = [](const QString& t) {
        // A cell holds at most 32767 characters.
        return (t.size() > 32767 ? t.left(32767) : t).toUtf8();
    };
    auto check = [&](lxw_error e) {
        if (e != LXW_NO_ERROR) {
            const std::string msg = lxw_strerror(e);
            workbook_close(wb);
            throw CommDllError(QStringLiteral("导出失败：%1").arg(QString::fromUtf8(msg.c_str())));
        }
    };

    for (const HeaderCell& h : s.header) {
        const QByteArray t = cut(h.text);
        if (h.rowSpan > 1 || h.colSpan > 1)
            check(worksheet_merge_range(ws, lxw_row_t(h.row), lxw_col_t(h.col), lxw_row_t(h.row + h.rowSpan - 1),
                                        lxw_col_t(h.col + h.colSpan - 1), t.constData(), head));
        else
            check(worksheet_write_string(ws, lxw_row_t(h.row), lxw_col_t(h.col), t.constData(), head));
    }
    for (int j = 0; j < s.widths.size(); ++j)
        check(worksheet_set_column(ws, lxw_col_t(j), lxw_col_t(j), std::max(4.0, s.widths[j] / 7.0), nullptr));

    auto writeRow = [&](int r, const QList<ExportCell>& row, lxw_format* textFormat) {
        for (int j = 0; j < row.size(); ++j) {
            const ExportCell& c = row[j];
            if (c.isNumber) {
                lxw_format* f = numberFormat(s.numFormats.value(j));
                check(worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(j), c.number, f));
            } else if (!c.text.isEmpty()) {
                const QByteArray t = cut(c.text);
                check(worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(j), t.constData(), textFormat));
            }
        }
    };
    int r = s.headerRows;
    for (const QList<ExportCell>& row : s.rows) writeRow(r++, row, nullptr);
    for (const QList<ExportCell>& row : s.footers) writeRow(r++, row, footFormat);
    worksheet_freeze_panes(ws, lxw_row_t(s.headerRows), 0);

    const lxw_error e = workbook_close(wb);
    if (e != LXW_NO_ERROR)
        throw CommDllError(QStringLiteral("导出失败：%1").arg(QString::fromUtf8(lxw_strerror(e))));
}

// --- text and HTML --------------------------------------------------------------------------

namespace {

void saveText(const QString& path, const QByteArray& data)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
        throw CommDllError(QStringLiteral("无法写入文件：%1（%2）").arg(path, f.errorString()));
}

// Tabs and line breaks inside a value would break the lines and columns.
QString plainCell(QString t)
{
    t.replace(QLatin1Char('\t'), QLatin1Char(' '));
    t.replace(QLatin1String("\r\n"), QLatin1String(" "));
    t.replace(QLatin1Char('\n'), QLatin1Char(' '));
    t.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return t;
}

} // namespace

void writeText(const GridSnapshot& s, const QString& path)
{
    QString out;
    QStringList head;
    for (const QString& c : s.captions) head << plainCell(c);
    out += head.join(QLatin1Char('\t')) + QLatin1Char('\n');
    auto line = [&](const QList<ExportCell>& row) {
        QStringList cells;
        for (const ExportCell& c : row) cells << plainCell(c.text);
        out += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    };
    for (const QList<ExportCell>& row : s.rows) line(row);
    for (const QList<ExportCell>& row : s.footers) line(row);
    saveText(path, out.toUtf8());
}

void writeHtml(const GridSnapshot& s, const QString& path, const QString& title)
{
    QString out;
    out += QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>%1</title>\n"
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
    out += QStringLiteral("</thead>\n<tbody>\n");
    auto line = [&](const QList<ExportCell>& row) {
        out += QStringLiteral("<tr>");
        for (int j = 0; j < row.size(); ++j) {
            out += s.numeric.value(j) ? QStringLiteral("<td class=\"n\">") : QStringLiteral("<td>");
            out += row[j].text.toHtmlEscaped() + QStringLiteral("</td>");
        }
        out += QStringLiteral("</tr>\n");
    };
    for (const QList<ExportCell>& row : s.rows) line(row);
    out += QStringLiteral("</tbody>\n");
    if (!s.footers.isEmpty()) {
        out += QStringLiteral("<tfoot>\n");
        for (const QList<ExportCell>& row : s.footers) line(row);
        out += QStringLiteral("</tfoot>\n");
    }
    out += QStringLiteral("</table>\n</body>\n</html>\n");
    saveText(path, out.toUtf8());
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
    WaitCursor wait;
    const GridSnapshot s = snapshotGrid(grid);
    const QString base = QFileInfo(path).completeBaseName();
    switch (kind) {
    case ExportKind::Excel: writeXlsx(s, path, base); break;
    case ExportKind::Text: writeText(s, path); break;
    case ExportKind::Html: writeHtml(s, path, base); break;
    }
    showInfo(QStringLiteral("数据已导出到文件：%1").arg(QDir::toNativeSeparators(path)), parent);
}

} // namespace commdll
