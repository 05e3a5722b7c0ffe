#include "platform/sys/QorError.h"

QorError::QorError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
