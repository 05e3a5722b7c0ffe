// Event handlers run inside guard(): an exception never crosses a Qt event or signal boundary.
// The error box shows the exception's message (the application's general exception display).
#pragma once

#include <QString>
#include <functional>

class QWidget;

// Caption of the general error box (the product name, set by the module at start-up).
void setGuardCaption(const QString& caption);
QString guardCaption();

// Runs fn; any exception is shown as an error box with its message. Returns false when fn threw.
bool guard(const std::function<void()>& fn, QWidget* parent = nullptr);

// Hourglass for the life of the object; restored even when an exception leaves the scope.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The text of an exception in flight (for catch(...) blocks).
QString currentExceptionMessage();
