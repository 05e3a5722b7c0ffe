// Turns a Transact-SQL statement into SQLite with SQL Server's meaning (on tokens, never inside
// string literals). Results are cached per statement text.
#pragma once

#include <QString>

namespace TsqlTranslator {
QString toSqlite(const QString& tsql);
}
