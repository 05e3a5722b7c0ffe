#include "platform/ui/Guard.h"

#include "platform/db/Db.h"
#include "platform/ui/Prompter.h"

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
    } catch (const DbError& e) {
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
        }
        return false;
    }
}

WaitCursor::WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
WaitCursor::~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
