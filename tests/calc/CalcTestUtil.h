// Helpers shared by the calculated-field tests.
#pragma once

#include <QString>
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

inline QString u8(const char* s) { return QString::fromUtf8(s); }
