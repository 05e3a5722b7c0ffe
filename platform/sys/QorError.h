// The one base of every exception this code throws: the guard and the error log catch it once
// and show its message.
#pragma once

#include <QString>
#include <stdexcept>

class QorError : public std::runtime_error {
public:
    explicit QorError(const QString& message);
    // The text for the user; what() holds the same text in UTF-8.
    QString message() const { return m_message; }

private:
    QString m_message;
};
