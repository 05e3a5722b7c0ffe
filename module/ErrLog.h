// The error log SysErr.Log (previous generation SysErr0.Log): GBK text, CR LF, size-limited.
#pragma once

#include <QString>
#include <QStringList>

// Registry key and value of the size limit (kilobytes) in the local-machine hive.
inline const QString ErrLogRegistryKey = QStringLiteral("SOFTWARE\\Tamrek\\Vorandel\\5.0");
inline const QString ErrLogSizeValue = QStringLiteral("MaxLogSize");
constexpr int DefaultMaxLogSize = 1024;

// Folder of the log: $QOR_LOG_DIR, else the host executable's folder; when that is not
// writable, a per-user data folder. Never throws; as a last resort the record goes to stderr.
void WriteErrLog(const QString& system, const QString& module, const QString& message);
// system := application title, module := caption of the active window, message := text.
void LogException(const QString& message);
// The same for the exception in flight (inside a catch block).
void LogCurrentException();
// The folder WriteErrLog writes to now: the first of its candidates that can take the log,
// empty when none can.
QString ErrLogFolder();
// The folders WriteErrLog tries, in order.
QStringList ErrLogCandidateFolders();
// The size limit in kilobytes; a missing, unreadable, zero or negative value counts as
// missing: it is written as 1024 and 1024 applies.
int ErrLogSizeLimit();
