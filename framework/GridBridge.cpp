#include "framework/GridBridge.h"

#include "framework/SharedUtils.h"
#include "host/include/PubProcDll.h"
#include "host/include/CommDllApi.h"
#include "module/ErrLog.h"
#include "module/MISPub.h"
#include "module/ModuleState.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/grid/DBGridEh.h"
#include "platform/grid/PrintDBGridEh.h"
#include "platform/ui/Guard.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <dlfcn.h>

namespace {

const char kCommDll[] = "libcommDll.so";
const char kCommPrint[] = "libcommPrint.so";

QString& folderOverride()
{
    static QString f;
    return f;
}

// RTLD_NODELETE: the release below only drops the reference; code of a library that still backs
// an open window or a callback stays mapped.
void* loadLibrary(const char* file)
{
    const int flags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
    const QString over = folderOverride();
    if (!over.isEmpty())
        return dlopen(QFile::encodeName(QDir(over).filePath(QString::fromLatin1(file))).constData(), flags);
    void* h = dlopen(QFile::encodeName(QDir(ModuleFolder()).filePath(QString::fromLatin1(file))).constData(), flags);
    if (!h) h = dlopen(file, flags);
    return h;
}

QByteArray utf8(const QString& s) { return s.toUtf8(); }

// Copies a text the library owns, before anything else runs in the library.
QString copyText(const char* text) { return text ? QString::fromUtf8(text) : QString(); }

// One call of a library entry. call receives the entry's address and makes the call; it is where
// a returned text is copied. False when the library or the entry is missing or the call threw.
template <class Proc, class Call>
bool callEntry(const char* library, const char* entry, bool giveBackApplication, Call&& call)
{
    void* h = loadLibrary(library);
    if (!h) {
        // A failed load has nothing to release.
        ShowErrorMsg(QStringLiteral("DLL文件打开失败，请查找！"));
        return false;
    }
    auto* proc = reinterpret_cast<Proc>(dlsym(h, entry));
    if (!proc) {
        ShowErrorMsg(QStringLiteral("函数连接错误！"));
        dlclose(h);
        return false;
    }
    try {
        call(proc);
    } catch (...) {
        LogException(currentExceptionMessage());
        dlclose(h);
        return false;
    }
    if (giveBackApplication) {
        if (auto* back = reinterpret_cast<SetOldApplicationProc>(dlsym(h, "SetOldApplication"))) {
            try {
                back();
            } catch (...) {
                LogException(currentExceptionMessage());
            }
        }
    }
    dlclose(h);
    return true;
}

TClientDataSet* openDataSet(TDBGridEh* grid)
{
    if (!grid) return nullptr;
    TClientDataSet* ds = grid->DataSet();
    return ds && ds->Active() ? ds : nullptr;
}

bool layoutCall(const char* entry, int mode, TADOConnection* conn, TDBGridEh* grid, const QString& key,
                const QString& user)
{
    const QByteArray k = utf8(key), u = utf8(user);
    return callEntry<ColumnLayoutProc>(kCommDll, entry, false, [&](ColumnLayoutProc p) {
        p(mode, conn, grid, k.constData(), u.constData());
    });
}

void exportCall(const char* entry, TDBGridEh* grid, const QString& fileName)
{
    const QByteArray f = utf8(fileName);
    callEntry<GridExportProc>(kCommDll, entry, true, [&](GridExportProc p) {
        p(GridBridge::applicationObject(), grid, f.constData());
    });
}

} // namespace

namespace GridBridge {

void setLibraryFolder(const QString& folder) { folderOverride() = folder; }
QString libraryFolder() { return folderOverride(); }

QApplication* applicationObject()
{
    if (QApplication* app = ModuleState::hostApplication()) return app;
    return qobject_cast<QApplication*>(QCoreApplication::instance());
}

} // namespace GridBridge

// --- dialogs --------------------------------------------------------------------------------

bool ShowLocateDialog(TDBGridEh* grid)
{
    TClientDataSet* ds = openDataSet(grid);
    if (!ds) return false;
    QString answer;
    if (!callEntry<XtShowLocateProc>(kCommDll, "xtShowLocate", true, [&](XtShowLocateProc p) {
            answer = copyText(p(GridBridge::applicationObject(), grid));
        }))
        return false;
    if (answer.size() <= 1) return false;
    // "<status>|<fields>|<value>|<case>|<partial>". The flags are taken from the end, so that a
    // value holding "|" stays whole.
    QStringList parts = answer.split(QLatin1Char('|'));
    parts.removeFirst();
    const QString fields = parts.value(0);
    QString value, caseFlag, partialFlag;
    if (parts.size() >= 4) {
        partialFlag = parts.takeLast();
        caseFlag = parts.takeLast();
        value = parts.mid(1).join(QLatin1Char('|'));
    } else {
        value = parts.value(1);
        caseFlag = parts.value(2);
    }
    TLocateOptions options = loCaseInsensitive | loPartialKey;
    if (caseFlag == QLatin1String("1")) options &= ~loCaseInsensitive;
    if (partialFlag != QLatin1String("1")) options &= ~loPartialKey;
    bool found = false;
    try {
        found = ds->Locate(fields, QVariant(value), options);
    } catch (...) {
        LogException(currentExceptionMessage());
        ShowInfoMsg(QStringLiteral("数据类型不一致！"));
        return false;
    }
    if (!found) ShowInfoMsg(QStringLiteral("没有找到相应的数据行！"));
    return found;
}

void ShowFilterDialog(TDBGridEh* grid)
{
    TClientDataSet* ds = openDataSet(grid);
    if (!ds) return;
    QString answer;
    if (!callEntry<XtShowFilterProc>(kCommDll, "xtShowFilter", true, [&](XtShowFilterProc p) {
            answer = copyText(p(GridBridge::applicationObject(), grid));
        }))
        return;
    if (answer.size() <= 1) return;
    const QString expr = RightOfChar(answer, QLatin1Char('|'));
    // A refused expression leaves the dataset as it was (an expression stored while filtering
    // was off would otherwise stay behind, unusable).
    const QString oldExpr = ds->Filter();
    const bool oldOn = ds->Filtered();
    try {
        ds->setFilter(expr);
        ds->setFiltered(true);
    } catch (...) {
        LogException(currentExceptionMessage());
        try {
            ds->setFiltered(false);
            ds->setFilter(oldExpr);
            ds->setFiltered(oldOn);
        } catch (...) {
            LogException(currentExceptionMessage());
        }
        ShowErrorMsg(QStringLiteral("错误的过滤条件！"));
    }
}

bool ShowColumnDialog(int mode, TADOConnection* conn, TDBGridEh* grid, const QString& layoutKey,
                      const QString& userCode)
{
    const QByteArray k = utf8(layoutKey), u = utf8(userCode), v = utf8(CurVER());
    return callEntry<XtShowColumnProc>(kCommDll, "xtShowColumn", true, [&](XtShowColumnProc p) {
        p(mode, conn, GridBridge::applicationObject(), grid, k.constData(), u.constData(), v.constData());
    });
}

// --- layouts --------------------------------------------------------------------------------

void SaveDefaultLayout(int mode, TADOConnection* conn, TDBGridEh* grid, const QString& layoutKey,
                       const QString& userCode)
{
    if (grid) {
        // Every width becomes an explicit one, so that the layout stores what is shown.
        TDBGridColumnsEh* cols = grid->Columns();
        for (int i = 0; i < cols->Count(); ++i) {
            TColumnEh* c = cols->Items(i);
            const int w = c->Width();
            c->setWidth(w - 1);
            c->setWidth(w);
        }
    }
    layoutCall("SaveDefaultColumns", mode, conn, grid, layoutKey, userCode);
}

void SaveCurrentLayout(int mode, TADOConnection* conn, TDBGridEh* grid, const QString& layoutKey,
                       const QString& userCode)
{
    layoutCall("SaveCurrentColumns", mode, conn, grid, layoutKey, userCode);
}

void LoadCurrentLayout(int mode, TADOConnection* conn, TDBGridEh* grid, const QString& layoutKey,
                       const QString& userCode)
{
    layoutCall("LoadCurrentColumns", mode, conn, grid, layoutKey, userCode);
}

// --- picking --------------------------------------------------------------------------------

QString PickFromGrid(TADOConnection* conn, const QString& tableAndCondition, const QString& fieldList,
                     const QString& titleList)
{
    const QByteArray src = utf8(tableAndCondition), f = utf8(fieldList), t = utf8(titleList);
    const unsigned color = UGridColor();
    QString answer;
    if (!callEntry<XtShowSelectGridProc>(kCommDll, "xtShowSelectGrid", true, [&](XtShowSelectGridProc p) {
            answer = copyText(p(conn, GridBridge::applicationObject(), src.constData(), f.constData(),
                                t.constData(), 0, color, 0, 0));
        }))
        return QString();
    if (answer.size() <= 1) return QString();
    return RightOfChar(answer, QLatin1Char('|'));
}

QString PickFromGridMultiLine(TADOConnection* conn, const QString& tableAndCondition, const QString& fieldList,
                              const QString& titleList, int columnCount)
{
    const QByteArray src = utf8(tableAndCondition), f = utf8(fieldList), t = utf8(titleList);
    const unsigned color = UGridColor();
    QString answer;
    if (!callEntry<XtShowSelectGridMultiLineProc>(
            kCommDll, "xtShowSelectGridMultiLine", true, [&](XtShowSelectGridMultiLineProc p) {
                answer = copyText(p(conn, GridBridge::applicationObject(), src.constData(), f.constData(),
                                    t.constData(), 0, columnCount, color, 0));
            }))
        return QString();
    if (answer.size() <= 1) return QString();
    return RightOfChar(answer, QLatin1Char('|'));
}

// --- exports --------------------------------------------------------------------------------

void ExportToExcel(TDBGridEh* grid, const QString& fileName) { exportCall("DbToExcel", grid, fileName); }
void ExportToText(TDBGridEh* grid, const QString& fileName) { exportCall("DbToTxt", grid, fileName); }
void ExportToHtml(TDBGridEh* grid, const QString& fileName) { exportCall("DbToHtml", grid, fileName); }

// --- format printing ------------------------------------------------------------------------

namespace {
// Passed by reference to the bill printing; the module never reads it.
int& billValue()
{
    static int v = 0;
    return v;
}
}

void PrintFormat(TADOConnection* conn, int mode, const QString& printSetting, const QString& formKey, int formatNo,
                 TClientDataSet* dataSet)
{
    const QByteArray s = utf8(printSetting), k = utf8(formKey);
    callEntry<CommPrnProc>(kCommPrint, "CommPrn", true, [&](CommPrnProc p) {
        p(conn, mode, GridBridge::applicationObject(), s.constData(), k.constData(), formatNo, 0, dataSet, 0, 0, 0,
          0, 0, 0, 0, 0, 0);
    });
}

void PrintFormatBill(TADOConnection* conn, int mode, const QString& printSetting, const QString& formKey,
                     int formatNo, TClientDataSet* dataSet)
{
    const QByteArray s = utf8(printSetting), k = utf8(formKey);
    callEntry<CommPrnBillProc>(kCommPrint, "CommPrnBill", true, [&](CommPrnBillProc p) {
        p(conn, mode, GridBridge::applicationObject(), s.constData(), k.constData(), formatNo, 0, &billValue(),
          dataSet, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    });
}

// --- grid printing --------------------------------------------------------------------------

namespace {
bool& printBusy()
{
    static bool busy = false;
    return busy;
}
QPointer<TPrintDBGridEh>& printComponent()
{
    static QPointer<TPrintDBGridEh> p;
    return p;
}
}

TPrintDBGridEh* GridPrintComponent()
{
    QPointer<TPrintDBGridEh>& p = printComponent();
    if (!p) p = new TPrintDBGridEh(GridBridge::applicationObject());
    return p;
}

bool GridPrintBusy() { return printBusy(); }

bool PrintDBGrid(int mode, TDBGridEh* grid, const QString& title, const QStringList& leftLines,
                 const QStringList& afterGrid)
{
    if (!grid || printBusy()) return false;
    printBusy() = true;
    try {
        TPrintDBGridEh* pr = GridPrintComponent();
        pr->setDBGridEh(grid);
        // The component lives as long as the module: what an earlier print set must not show up
        // in this one.
        TPrintDBGridEh::TPageHeaderEh& header = pr->PageHeader();
        header.CenterText.clear();
        if (!title.isEmpty()) header.CenterText = QStringList{title};
        header.RightText.clear();
        for (int i = 0; i < header.CenterText.size(); ++i) header.RightText << QStringLiteral(" ");
        header.RightText << QStringLiteral("页数：&[Page]/&[Pages]") << QStringLiteral("打印时间：&[LongDate]");
        header.LeftText.clear();
        if (!leftLines.isEmpty()) {
            while (header.LeftText.size() < header.RightText.size() - 1) header.LeftText << QString();
            header.LeftText << leftLines;
        }
        pr->AfterGridText().clear();
        if (!afterGrid.isEmpty()) pr->AfterGridText() = afterGrid;
        pr->PrintFont().setFamily(QStringLiteral("宋体"));
        pr->LeftMargin = pr->RightMargin = pr->TopMargin = pr->BottomMargin = 2.0;
        header.Font = QFont(QStringLiteral("宋体"), 16, QFont::Bold);
        pr->Options = pghFitGridToPageWidth | pghRowAutoStretch;
        pr->Title = title;
        switch (mode) {
        case 1: pr->Preview(); break;
        case 2: pr->PrinterSetupDialog(); break;
        case 3: pr->Print(); break;
        default: pr->Preview(); break;
        }
    } catch (...) {
        LogException(currentExceptionMessage());
        printBusy() = false;
        return false;
    }
    printBusy() = false;
    return true;
}

bool PrintGrid(TDBGridEh* grid, const QString& title, const QStringList& leftLines, const QStringList& afterGrid)
{
    return PrintDBGrid(3, grid, title, leftLines, afterGrid);
}

bool PreviewGrid(TDBGridEh* grid, const QString& title, const QStringList& leftLines, const QStringList& afterGrid)
{
    return PrintDBGrid(1, grid, title, leftLines, afterGrid);
}
