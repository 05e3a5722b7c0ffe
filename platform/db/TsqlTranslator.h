// Turns a Transact-SQL statement into SQLite with SQL Server's meaning. It works on tokens and
// never looks inside string literals or comments; results are cached per statement text.
//
// What it rewrites (everything else passes through as written):
// - string `+` -> `||` in an additive chain that has a string operand (a literal, a text
//   function such as rtrim/upper/substring, IsNull(x,'') or a parenthesised string chain);
//   numeric `+` stays `+`;
// - `alias = expression` items of a select list -> `expression AS alias`;
// - IsNull(a,'') -> (coalesce(a,'') COLLATE NOCASE), so the comparison stays case-insensitive;
//   IsNull(a,<number>) -> CAST(coalesce(a,<number>) AS NUMERIC), so it compares as a number;
//   any other IsNull(a,b) -> coalesce(a,b);
// - `delete T where ...` -> `delete from T where ...`;
// - the table Sysobjects -> a derived table over sqlite_master with columns name, type, xtype
//   ('U' for tables, 'V' for views, 'TR' for triggers), compared without regard to case;
// - N'...' literals -> '...'; substring( -> substr(;
// - CREATE TABLE: text columns (char, varchar, nchar, nvarchar, text, ntext) without a
//   collation get COLLATE NOCASE, as the server's case-insensitive collation.
// The legacy outer join `=*` is not translated: statements must use LEFT JOIN.
#pragma once

#include <QString>

namespace TsqlTranslator {
// The SQLite text for a T-SQL statement (cached by text).
QString toSqlite(const QString& tsql);
// The same without the cache (what the cache stores).
QString translate(const QString& tsql);
// Entries currently cached (for tests and diagnostics).
int cacheSize();
void clearCache();
}
