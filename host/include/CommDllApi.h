// The entries of libcommDll.so as the module finds them by name: the suite's grid dialogs
// (locate, filter, column set-up), the column layouts, record picking and the grid exports.
//
// Strings are UTF-8. A text result points to a zero-terminated string owned by the library and
// valid until the next call of any entry; the caller copies it before anything else. Returned
// texts use "|" as separator; an empty text means nothing was chosen. No entry lets an exception
// out: a failure shows its message and gives the empty result.
#pragma once

class QApplication;
class TADOConnection;
class TDBGridEh;

#define COMMDLL_API extern "C" __attribute__((visibility("default")))

// Locate: "1|<field>|<value>|<case flag>|<partial flag>"; the flags are "1" (case-sensitive;
// partial key) or "0".
using XtShowLocateProc = const char* (*)(QApplication* app, TDBGridEh* grid);
// Filter: "1|<filter expression of the grid's dataset>" ("1|" switches the filter off).
using XtShowFilterProc = const char* (*)(QApplication* app, TDBGridEh* grid);
// Column set-up; the confirmed layout is applied and stored as the user's current layout.
using XtShowColumnProc = void (*)(int mode, TADOConnection* conn, QApplication* app, TDBGridEh* grid,
                                  const char* layoutKey, const char* userCode, const char* edition);
// SaveDefaultColumns, SaveCurrentColumns, LoadCurrentColumns.
using ColumnLayoutProc = void (*)(int mode, TADOConnection* conn, TDBGridEh* grid, const char* layoutKey,
                                  const char* userCode);
// Picking over "select <fields> from <tableAndCondition>": "1|<first field of the chosen row>".
using XtShowSelectGridProc = const char* (*)(TADOConnection* conn, QApplication* app, const char* tableAndCondition,
                                             const char* fieldList, const char* titleList, int reserved1,
                                             unsigned gridColor, int reserved2, int reserved3);
// Multi-column picking: "1|<the first columnCount fields of the chosen row joined by "+">".
using XtShowSelectGridMultiLineProc = const char* (*)(TADOConnection* conn, QApplication* app,
                                                      const char* tableAndCondition, const char* fieldList,
                                                      const char* titleList, int reserved1, int columnCount,
                                                      unsigned gridColor, int reserved2);
// DbToExcel, DbToTxt, DbToHtml: the save dialog proposes fileName, then the grid as shown is
// written.
using GridExportProc = void (*)(QApplication* app, TDBGridEh* grid, const char* fileName);
// Gives the library back its own application object.
using SetOldApplicationProc = void (*)();

COMMDLL_API const char* xtShowLocate(QApplication* app, TDBGridEh* grid);
COMMDLL_API const char* xtShowFilter(QApplication* app, TDBGridEh* grid);
COMMDLL_API void xtShowColumn(int mode, TADOConnection* conn, QApplication* app, TDBGridEh* grid,
                              const char* layoutKey, const char* userCode, const char* edition);
COMMDLL_API void SaveDefaultColumns(int mode, TADOConnection* conn, TDBGridEh* grid, const char* layoutKey,
                                    const char* userCode);
COMMDLL_API void SaveCurrentColumns(int mode, TADOConnection* conn, TDBGridEh* grid, const char* layoutKey,
                                    const char* userCode);
COMMDLL_API void LoadCurrentColumns(int mode, TADOConnection* conn, TDBGridEh* grid, const char* layoutKey,
                                    const char* userCode);
COMMDLL_API const char* xtShowSelectGrid(TADOConnection* conn, QApplication* app, const char* tableAndCondition,
                                         const char* fieldList, const char* titleList, int reserved1,
                                         unsigned gridColor, int reserved2, int reserved3);
COMMDLL_API const char* xtShowSelectGridMultiLine(TADOConnection* conn, QApplication* app,
                                                  const char* tableAndCondition, const char* fieldList,
                                                  const char* titleList, int reserved1, int columnCount,
                                                  unsigned gridColor, int reserved2);
COMMDLL_API void DbToExcel(QApplication* app, TDBGridEh* grid, const char* fileName);
COMMDLL_API void DbToTxt(QApplication* app, TDBGridEh* grid, const char* fileName);
COMMDLL_API void DbToHtml(QApplication* app, TDBGridEh* grid, const char* fileName);
COMMDLL_API void SetOldApplication();
