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
#include <QStringList>

// Where SQLite would answer differently from SQL Server and the text cannot say how to make it
// answer the same, the statement is refused (DbError naming the construct) rather than run:
// - a string in an addition with a number ('x'+1, '1.5'+1: SQL Server converts the string to
//   the number's type; a text function or text parameter beside a number likewise);
// - -, *, / or % in a string concatenation ('a'+2*3 would bind wrongly);
// - two string literals without a separator ('a'N'b');
// - parentheses nested deeper than MaxNesting.
// Parameters bound to text values concatenate (:A + :B with '01', '02' is '0102'); "name" is an
// identifier, never a string; cast(x as decimal(p,s)) rounds to s decimals; cast(x as
// varchar(n)) / char(n) cuts to n characters (char pads).

namespace TsqlTranslator {
constexpr int MaxNesting = 256;
// The SQLite text for a T-SQL statement (cached by text and by the parameters bound to text).
// textParams: names (any case) of the parameters whose bound value is text.
QString toSqlite(const QString& tsql, const QStringList& textParams = {});
// The same without the cache (what the cache stores).
QString translate(const QString& tsql, const QStringList& textParams = {});
// Entries currently cached (for tests and diagnostics).
int cacheSize();
void clearCache();
}
