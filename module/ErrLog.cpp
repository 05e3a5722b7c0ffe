#include "module/ErrLog.h"

#include "host/include/PubProcDll.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Registry.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Guard.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

#include <cstdio>

namespace {

const QString kLogName = QStringLiteral("SysErr.Log");
const QString kOldLogName = QStringLiteral("SysErr0.Log");
const QString kCrLf = QStringLiteral("\r\n");

QString stamp() { return clockNow().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

// A fixed record of a time line and an information line.
QString shortRecord(const QString& info)
{
    return QStringLiteral("时间: ") + stamp() + kCrLf + QStringLiteral("信息: ") + info + kCrLf + kCrLf;
}

QString composeRecord(const QString& system, const QString& module, const QString& message)
{
    // Every line of the file ends in CR LF, also the lines inside a multi-line message.
    QString msg = message;
    msg.replace(kCrLf, QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    msg.replace(QLatin1Char('\n'), kCrLf);
    QString r = QStringLiteral("时间: ") + stamp() + kCrLf;
    const QString user = CurUserCode();
    if (!user.isEmpty()) r += QStringLiteral("用户: ") + user + QLatin1Char('-') + CurUserName() + kCrLf;
    r += QStringLiteral("系统: ") + system + kCrLf;
    r += QStringLiteral("模块: ") + module + kCrLf;
    r += QStringLiteral("信息: ") + msg + kCrLf;
    return r + kCrLf;
}

bool writeAll(QFile& f, const QString& text)
{
    const QByteArray bytes = Gbk::encode(text);
    return f.write(bytes) == bytes.size() && f.flush();
}

bool writeNew(const QString& path, const QString& text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return writeAll(f, text);
}

bool usableFolder(const QString& folder)
{
    if (folder.isEmpty()) return false;
    QFileInfo fi(folder);
    if (!fi.exists() && !QDir().mkpath(folder)) return false;
    fi.refresh();
    return fi.isDir() && fi.isWritable();
}

// Appends the record to the log in folder, starting or rotating the log first. False when the
// folder cannot take it.
bool appendTo(const QString& folder, const QString& record)
{
    if (!usableFolder(folder)) return false;
    const QDir dir(folder);
    const QString path = dir.filePath(kLogName);
    QFileInfo fi(path);
    if (fi.exists() && !fi.isFile()) return false;

    if (!fi.exists() && !writeNew(path, shortRecord(QStringLiteral("创建日志")))) return false;

    // A read-only log is made writable again.
    const QFile::Permissions perms = QFile::permissions(path);
    if (!(perms & QFileDevice::WriteOwner))
        QFile::setPermissions(path, perms | QFileDevice::WriteOwner | QFileDevice::WriteUser);

    const int limit = ErrLogSizeLimit();
    fi.refresh();
    const qint64 kb = fi.exists() ? fi.size() / 1024 : 0;
    if (kb >= limit) {
        // One previous generation is kept.
        const QString old = dir.filePath(kOldLogName);
        QFile::setPermissions(old, QFile::permissions(old) | QFileDevice::WriteOwner);
        QFile::remove(old);
        if (!QFile::rename(path, old)) QFile::copy(path, old);
        if (!writeNew(path, shortRecord(QStringLiteral("清除日志")))) return false;
    }

    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    return writeAll(f, record);
}

void toStderr(const QString& record)
{
    QString text = record;
    text.replace(kCrLf, QStringLiteral("\n"));
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

QStringList ErrLogCandidateFolders()
{
    QStringList folders;
    const QString named = qEnvironmentVariable("QOR_LOG_DIR");
    if (!named.isEmpty())
        folders << named;
    else if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath();
    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (!perUser.isEmpty() && !folders.contains(perUser)) folders << perUser;
    return folders;
}

QString ErrLogFolder()
{
    for (const QString& f : ErrLogCandidateFolders())
        if (usableFolder(f)) return f;
    return {};
}

int ErrLogSizeLimit()
{
    const std::optional<int> v = Registry::readInteger(ErrLogRegistryKey, ErrLogSizeValue);
    if (v && *v > 0) return *v;
    // A limit of zero or less would empty the log at every write: it counts as missing.
    Registry::writeInteger(ErrLogRegistryKey, ErrLogSizeValue, DefaultMaxLogSize);
    return DefaultMaxLogSize;
}

void WriteErrLog(const QString& system, const QString& module, const QString& message)
{
    // Called from error handlers: nothing may escape from here.
    try {
        const QString record = composeRecord(system, module, message);
        try {
            for (const QString& folder : ErrLogCandidateFolders())
                if (appendTo(folder, record)) return;
        } catch (...) {
            // no log file could be written: the record goes to standard error below
        }
        toStderr(record);
    } catch (...) {
        qWarning().noquote() << "error log:" << message;
    }
}

void LogException(const QString& message)
{
    try {
        QWidget* active = QApplication::activeWindow();
        WriteErrLog(QGuiApplication::applicationDisplayName(), active ? active->windowTitle() : QString(),
                    message);
    } catch (...) {
        qWarning().noquote() << "error log:" << message;
    }
}

void LogCurrentException()
{
    try {
        LogException(currentExceptionMessage());
    } catch (...) {
        qWarning("error log: the exception's message could not be read");
    }
}
