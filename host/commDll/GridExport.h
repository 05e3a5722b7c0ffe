// Exports of a grid as it is shown: the visible columns in grid order under their titles
// (multi-level titles as merged header cells), every record in view as its display text or, in
// a workbook, a number as a number, and the footer row.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class TDBGridEh;

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

struct GridSnapshot {
    QStringList captions;   // one line per column: title levels joined by "-"
    QList<HeaderCell> header;
    int headerRows = 1;
    QList<int> widths;      // pixels
    QStringList numFormats; // per column: the number format of a numeric column, else empty
    QList<bool> numeric;
    QList<QList<ExportCell>> rows;
    QList<QList<ExportCell>> footers;
};

GridSnapshot snapshotGrid(TDBGridEh* grid);

// Each throws commdll::CommDllError with a message when the file cannot be written.
void writeXlsx(const GridSnapshot& s, const QString& path, const QString& sheetName);
void writeText(const GridSnapshot& s, const QString& path);
void writeHtml(const GridSnapshot& s, const QString& path, const QString& title);

enum class ExportKind { Excel, Text, Html };
// The proposed name as the save dialog offers it: characters a file name cannot hold become
// "_", and ".xls" becomes ".xlsx" for a workbook.
QString proposedExportName(ExportKind kind, const QString& fileName);
// Save dialog, then the file.
void RunExport(ExportKind kind, TDBGridEh* grid, const QString& fileName);

} // namespace commdll
