#include "platform/sys/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
QString groupOf(const QString& key) { QString k = key; return k.replace(QLatin1Char('\\'), QLatin1Char('/')); }
}

namespace Registry {

QString filePath()
{
    QString p = qEnvironmentVariable("QOR_REGISTRY");
    if (!p.isEmpty()) return p;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tamrek/registry.ini");
}

std::optional<int> readInteger(const QString& key, const QString& name)
{
    QSettings s(filePath(), QSettings::IniFormat);
    s.beginGroup(groupOf(key));
    QVariant v = s.value(name);
    if (!v.isValid()) return std::nullopt;
    bool ok = false;
    int n = v.toString().trimmed().toInt(&ok);
    if (!ok) return std::nullopt;
    return n;
}

bool writeInteger(const QString& key, const QString& name, int value)
{
    QString path = filePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings s(path, QSettings::IniFormat);
    s.beginGroup(groupOf(key));
    s.setValue(name, value);
    s.endGroup();
    s.sync();
    return s.status() == QSettings::NoError;
}

} // namespace Registry
