// The local-machine registry hive stands as an INI file. Its location: $QOR_REGISTRY, else
// <config folder>/Tamrek/registry.ini. Keys use "\" as in "SOFTWARE\Tamrek\Vorandel\5.0".
#pragma once

#include <QString>
#include <QVariant>
#include <optional>

namespace Registry {
QString filePath();
// The value of name under key; nullopt when the key or value is missing or not an integer.
std::optional<int> readInteger(const QString& key, const QString& name);
// Writes an integer value, creating the key; false when the file cannot be written.
bool writeInteger(const QString& key, const QString& name, int value);
}
