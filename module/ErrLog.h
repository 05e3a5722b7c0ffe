// The error log SysErr.Log (previous generation SysErr0.Log): GBK text, CR LF, size-limited.
#pragma once

#include <QString>

// Folder of the log: $QOR_LOG_DIR, else the host executable's folder; when that is not
// writable, a per-user data folder. Never throws; as a last resort the record goes to stderr.
void WriteErrLog(const QString& system, const QString& module, const QString& message);
// system := application title, module := caption of the active window, message := text.
void LogException(const QString& message);
// The folder WriteErrLog writes to now (for tests and the about box).
QString ErrLogFolder();
