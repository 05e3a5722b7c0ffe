// libcommDll.so: the suite's grid services. Every entry runs its work inside the guard, so that
// no exception leaves the library: a failure shows its message and the entry gives its empty
// result.
#include "host/include/CommDllApi.h"

#include "host/commDll/ColumnDialog.h"
#include "host/commDll/ColumnLayouts.h"
#include "host/commDll/CommDllCommon.h"
#include "host/commDll/FilterDialog.h"
#include "host/commDll/GridExport.h"
#include "host/commDll/LocateDialog.h"
#include "host/commDll/SelectGridDialog.h"
#include "platform/db/Db.h"
#include "platform/ui/Guard.h"

#include <QDebug>

#include <QApplication>
#include <QPointer>

using namespace commdll;

namespace {

// The application object of the latest caller; SetOldApplication forgets it.
QPointer<QApplication>& callerApplication()
{
    static QPointer<QApplication> app;
    return app;
}

void adopt(QApplication* app)
{
    if (app) callerApplication() = app;
}

template <class F>
void run(F&& fn)
{
    try {
        guard(fn);
    } catch (...) {
        // Nothing may leave a library entry; the guard's own box failed.
        qWarning().noquote() << "commDll:" << currentExceptionMessage();
    }
}

template <class F>
const char* runText(F&& fn)
{
    QString text;
    run([&] { text = fn(); });
    try {
        return keepResult(text);
    } catch (...) {
        qWarning().noquote() << "commDll:" << currentExceptionMessage();
        return "";
    }
}

void layoutEntry(TADOConnection* conn, TDBGridEh* grid, const char* layoutKey, const char* userCode,
                 bool save, const QString& type)
{
    if (!conn || !grid) return;
    run([&] {
        const QString key = argText(layoutKey), user = argText(userCode);
        if (save) {
            writeLayout(*conn, key, user, type, layoutOfGrid(grid));
            return;
        }
        const ColumnLayout stored = readLayout(*conn, key, user, type);
        if (!stored.isEmpty()) applyLayout(grid, arrangeLayout(layoutOfGrid(grid), stored));
    });
}

} // namespace

COMMDLL_API const char* xtShowLocate(QApplication* app, TDBGridEh* grid)
{
    adopt(app);
    return runText([&] { return RunLocateDialog(grid); });
}

COMMDLL_API const char* xtShowFilter(QApplication* app, TDBGridEh* grid)
{
    adopt(app);
    return runText([&] { return RunFilterDialog(grid); });
}

COMMDLL_API void xtShowColumn(int, TADOConnection* conn, QApplication* app, TDBGridEh* grid,
                              const char* layoutKey, const char* userCode, const char*)
{
    adopt(app);
    run([&] { RunColumnDialog(grid, conn, argText(layoutKey), argText(userCode)); });
}

COMMDLL_API void SaveDefaultColumns(int, TADOConnection* conn, TDBGridEh* grid, const char* layoutKey,
                                    const char* userCode)
{
    layoutEntry(conn, grid, layoutKey, userCode, true, DefaultLayoutType);
}

COMMDLL_API void SaveCurrentColumns(int, TADOConnection* conn, TDBGridEh* grid, const char* layoutKey,
                                    const char* userCode)
{
    layoutEntry(conn, grid, layoutKey, userCode, true, CurrentLayoutType);
}

COMMDLL_API void LoadCurrentColumns(int, TADOConnection* conn, TDBGridEh* grid, const char* layoutKey,
                                    const char* userCode)
{
    layoutEntry(conn, grid, layoutKey, userCode, false, CurrentLayoutType);
}

COMMDLL_API const char* xtShowSelectGrid(TADOConnection* conn, QApplication* app, const char* tableAndCondition,
                                         const char* fieldList, const char* titleList, int,
                                         unsigned gridColor, int, int)
{
    adopt(app);
    return runText([&] {
        const QString chosen =
            RunSelectGrid(conn, argText(tableAndCondition), argText(fieldList), argText(titleList), gridColor, 1);
        return chosen.isEmpty() ? QString() : QStringLiteral("1|") + chosen;
    });
}

COMMDLL_API const char* xtShowSelectGridMultiLine(TADOConnection* conn, QApplication* app,
                                                  const char* tableAndCondition, const char* fieldList,
                                                  const char* titleList, int, int columnCount,
                                                  unsigned gridColor, int)
{
    adopt(app);
    return runText([&] {
        const QString chosen = RunSelectGrid(conn, argText(tableAndCondition), argText(fieldList),
                                             argText(titleList), gridColor, columnCount);
        return chosen.isEmpty() ? QString() : QStringLiteral("1|") + chosen;
    });
}

COMMDLL_API void DbToExcel(QApplication* app, TDBGridEh* grid, const char* fileName)
{
    adopt(app);
    run([&] { RunExport(ExportKind::Excel, grid, argText(fileName)); });
}

COMMDLL_API void DbToTxt(QApplication* app, TDBGridEh* grid, const char* fileName)
{
    adopt(app);
    run([&] { RunExport(ExportKind::Text, grid, argText(fileName)); });
}

COMMDLL_API void DbToHtml(QApplication* app, TDBGridEh* grid, const char* fileName)
{
    adopt(app);
    run([&] { RunExport(ExportKind::Html, grid, argText(fileName)); });
}

COMMDLL_API void SetOldApplication()
{
    callerApplication() = nullptr;
}
