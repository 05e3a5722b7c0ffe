#include "platform/ui/Guard.h"

#include "platform/sys/QorError.h"
#include "platform/ui/Prompter.h"

#include <QCursor>
#include <QDebug>
#include <QGuiApplication>
#include <exception>

namespace {
QString& caption() { static QString c; return c; }
}

void setGuardCaption(const QString& c) { caption() = c; }
QString guardCaption() { return caption(); }

QString currentExceptionMessage()
{
    try {
        throw;
    } catch (const QorError& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("未知错误");
    }
}

bool guard(const std::function<void()>& fn, QWidget* parent)
{
    try {
        fn();
        return true;
    } catch (...) {
        const QString msg = currentExceptionMessage();
        try {
            promptMessage(caption(), msg, MsgFlags::IconError, parent);
        } catch (...) {
            // The box itself failed: the message must not be lost with it.
            qWarning().noquote() << "guard: error box failed:" << currentExceptionMessage() << "for:" << msg;
        }
        return false;
    }
}

WaitCursor::WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
WaitCursor::~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
