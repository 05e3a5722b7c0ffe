// libcommPrint.so: the suite's format printing. CommPrn and CommPrnBill design (mode 0), preview
// (mode 1) or print (mode 3) the layout stored for a print type, form key and format number, or
// the plain layout of the dataset's visible fields when none is stored. Every entry runs its
// work inside the guard, so no exception leaves the library.
#include "host/include/CommPrintApi.h"

#include "host/commPrint/PrnDesigner.h"
#include "host/commPrint/PrnLayout.h"
#include "host/commPrint/PrnRender.h"
#include "host/include/Appres.h"
#include "host/include/PubProcDll.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QApplication>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>

using namespace Qt::StringLiterals;
using namespace commprint;

namespace {

// The application object of the latest caller; SetOldApplication forgets it.
QPointer<QApplication>& callerApplication()
{
    static QPointer<QApplication> app;
    return app;
}

QString argText(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

// The window the data belongs to: the dialogs and message boxes are its children.
QWidget* ownerWindow(QObject* data)
{
    for (QObject* o = data; o; o = o->parent())
        if (o->isWidgetType()) return static_cast<QWidget*>(o)->window();
    return QApplication::activeWindow();
}

// The condition description of the form that owns the data (its "QryDesc" property), empty
// when nobody tells.
QString conditionOf(QObject* data)
{
    for (QObject* o = data; o; o = o->parent()) {
        const QVariant v = o->property("QryDesc");
        if (v.isValid()) return v.toString();
    }
    return QString();
}

void showError(const QString& text, QWidget* parent)
{
    promptMessage(UGetProductName_CH(), text, MsgFlags::OK | MsgFlags::IconError, parent);
}

PrnVariables variablesFor(TClientDataSet* ds)
{
    PrnVariables v;
    const QDateTime now = clockNow();
    v.date = now.date().toString(u"yyyy-MM-dd"_s);
    v.time = now.time().toString(u"HH:mm:ss"_s);
    v.user = CurUserName();
    v.condition = conditionOf(ds);
    return v;
}

void previewOrPrint(TADOConnection* conn, int mode, const PrnLayoutKey& key, TClientDataSet* ds)
{
    QWidget* parent = ownerWindow(ds);
    std::optional<PrnLayout> stored;
    if (conn) stored = readLayout(*conn, key);
    const PrnLayout layout = stored ? *stored : plainLayout(ds);
    PrnReport report(layout, ds, variablesFor(ds));

    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(layout.pageLayout());
    printer.setDocName(layout.title.isEmpty() ? key.prnCode : layout.title);
    if (mode == 3 || mode == 2) {
        // The printer dialog also offers printing into a PDF file.
        if (promptPrintSetup(&printer, parent)) report.print(&printer);
        return;
    }
    QPrintPreviewDialog dlg(&printer, parent);
    dlg.setWindowTitle(u"打印预览"_s);
    QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg,
                     [&report](QPrinter* p) { guard([&] { report.print(p); }); });
    runModal(&dlg);
}

void commPrn(TADOConnection* conn, int mode, QApplication* app, const char* printSetting, const char* formKey,
             int formatNo, TClientDataSet* dataSet)
{
    try {
        guard([&] {
            if (app) callerApplication() = app;
            const PrnLayoutKey key{argText(printSetting), argText(formKey), formatNo};
            if (mode == 0) {
                if (!conn) {
                    showError(u"没有数据库连接，不能设计打印格式！"_s, ownerWindow(dataSet));
                    return;
                }
                ShowPrnDesigner(*conn, key, dataSet, ownerWindow(dataSet));
                return;
            }
            previewOrPrint(conn, mode, key, dataSet);
        });
    } catch (...) {
    }
}

} // namespace

COMMPRINT_API void CommPrn(TADOConnection* conn, int mode, QApplication* app, const char* printSetting,
                           const char* formKey, int formatNo, int, TClientDataSet* dataSet, int, int, int, int, int,
                           int, int, int, int)
{
    commPrn(conn, mode, app, printSetting, formKey, formatNo, dataSet);
}

COMMPRINT_API void CommPrnBill(TADOConnection* conn, int mode, QApplication* app, const char* printSetting,
                               const char* formKey, int formatNo, int, int*, TClientDataSet* dataSet, int, int, int,
                               int, int, int, int, int, int)
{
    // A bill prints like a list: the layout of its format over the bill's rows.
    commPrn(conn, mode, app, printSetting, formKey, formatNo, dataSet);
}

COMMPRINT_API void SetOldApplication()
{
    callerApplication() = nullptr;
}
