// The module's side of the suite's grid services: locate, filter and column dialogs, column
// layouts, record picking and exports in libcommDll.so, format printing in libcommPrint.so, and
// printing a grid as shown through the grid's print companion.
//
// Every library call loads the library by file name (beside the module first, then the default
// search path), looks the entry up, calls it, hands the library its own application object back
// (SetOldApplication, when it has one) and releases it. A missing library shows
// "DLL文件打开失败，请查找！", a missing entry "函数连接错误！". A returned text is copied before
// the release. Libraries stay mapped once loaded, since their code may back windows that are
// still open.
#pragma once

#include <QString>
#include <QStringList>

class QApplication;
class TADOConnection;
class TClientDataSet;
class TDBGridEh;
class TPrintDBGridEh;

// Locates in the grid's dataset what the locate dialog asks for; the locate's answer.
bool ShowLocateDialog(TDBGridEh* grid);
// Sets the grid's dataset filter that the filter dialog composes and switches filtering on.
void ShowFilterDialog(TDBGridEh* grid);
// The column set-up dialog; true when the call completed.
bool ShowColumnDialog(int mode, TADOConnection* conn, TDBGridEh* grid, const QString& layoutKey,
                      const QString& userCode);

// Stores the grid's layout as the default for the key and user.
void SaveDefaultLayout(int mode, TADOConnection* conn, TDBGridEh* grid, const QString& layoutKey,
                       const QString& userCode);
// Stores the grid's layout as the user's current one.
void SaveCurrentLayout(int mode, TADOConnection* conn, TDBGridEh* grid, const QString& layoutKey,
                       const QString& userCode);
// Applies the user's current layout to the grid.
void LoadCurrentLayout(int mode, TADOConnection* conn, TDBGridEh* grid, const QString& layoutKey,
                       const QString& userCode);

// Single-choice picking over "select <fields> from <tableAndCondition>" (fields and titles
// separated by "|"): the chosen row's first field, '' when nothing was chosen.
QString PickFromGrid(TADOConnection* conn, const QString& tableAndCondition, const QString& fieldList,
                     const QString& titleList);
// Multi-column picking: the first columnCount fields of the chosen row joined by "+".
QString PickFromGridMultiLine(TADOConnection* conn, const QString& tableAndCondition, const QString& fieldList,
                              const QString& titleList, int columnCount);

// Exports the grid as shown after a save dialog that proposes fileName.
void ExportToExcel(TDBGridEh* grid, const QString& fileName);
void ExportToText(TDBGridEh* grid, const QString& fileName);
void ExportToHtml(TDBGridEh* grid, const QString& fileName);

// Format printing: mode 0 designs the format, 1 previews, 3 prints.
void PrintFormat(TADOConnection* conn, int mode, const QString& printSetting, const QString& formKey, int formatNo,
                 TClientDataSet* dataSet);
void PrintFormatBill(TADOConnection* conn, int mode, const QString& printSetting, const QString& formKey,
                     int formatNo, TClientDataSet* dataSet);

// The grid printed as shown, titled with title, with extra lines at the left of the page
// header and lines after the grid. False when there is no grid, a grid print is running already
// or the printing failed.
bool PrintGrid(TDBGridEh* grid, const QString& title, const QStringList& leftLines = {},
               const QStringList& afterGrid = {});
bool PreviewGrid(TDBGridEh* grid, const QString& title, const QStringList& leftLines = {},
                 const QStringList& afterGrid = {});
// The same with a mode: 1 preview, 2 printer set-up then print, 3 print, anything else preview.
bool PrintDBGrid(int mode, TDBGridEh* grid, const QString& title, const QStringList& leftLines = {},
                 const QStringList& afterGrid = {});
// The module's grid print component (made on first use, owned by the application object).
TPrintDBGridEh* GridPrintComponent();
// True while a grid print runs.
bool GridPrintBusy();

// The entries of libcommPrint.so. Strings are UTF-8; the unused arguments are passed as 0.
using CommPrnProc = void (*)(TADOConnection* conn, int mode, QApplication* app, const char* printSetting,
                             const char* formKey, int formatNo, int reserved1, TClientDataSet* dataSet,
                             int reserved2, int reserved3, int z1, int z2, int z3, int z4, int z5, int z6, int z7);
// billValue: a module-wide value the library may fill; the module never reads it.
using CommPrnBillProc = void (*)(TADOConnection* conn, int mode, QApplication* app, const char* printSetting,
                                 const char* formKey, int formatNo, int reserved1, int* billValue,
                                 TClientDataSet* dataSet, int reserved2, int reserved3, int z1, int z2, int z3,
                                 int z4, int z5, int z6, int z7);

namespace GridBridge {
// Where the libraries are looked for: an empty folder (the default) means beside the module,
// then the default search path; any other folder is the only place searched (tests point it at
// their own libraries).
void setLibraryFolder(const QString& folder);
QString libraryFolder();
// The application object handed to the libraries: the host's, or this process's.
QApplication* applicationObject();
}
