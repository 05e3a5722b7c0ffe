// libcommPrint.so: the suite's format-printing library. The format designer and printer
// (CommPrn, CommPrnBill) come with the print-format work; until then the module's bridge finds
// the library and reports the missing entries with its "function link" message.
#include <QApplication>
#include <QPointer>

namespace {
// The application object of the latest caller; SetOldApplication forgets it.
QPointer<QApplication>& callerApplication()
{
    static QPointer<QApplication> app;
    return app;
}
} // namespace

extern "C" __attribute__((visibility("default"))) void SetOldApplication()
{
    callerApplication() = nullptr;
}
