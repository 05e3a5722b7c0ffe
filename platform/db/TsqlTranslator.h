// Turns a Transact-SQL statement into SQLite with SQL Server's meaning. It works on tokens and
// never looks inside string literals or comments; results are cached per statement text.
//
// What it rewrites (everything else passes through as written):
// - string `+` -> `||` in an additive chain that has a string operand (a literal, a text
//   function such as rtrim/upper/substring, IsNull(x,'') or a parenthesised string chain) and
//   no number (a literal, a number column, a numeric function such as count or len), or whose
//   operands are all text columns; numeric `+` stays `+`;
// - cast(x as varchar(n)) / char(n) -> a cut to n GBK bytes (substr, or for a column a
//   recursive count of its characters' bytes);
// - `alias = expression` items of a select list -> `expression AS alias`;
// - IsNull(a,'') -> (coalesce(a,'') COLLATE NOCASE), so the comparison stays case-insensitive;
//   IsNull(a,<number>) -> CAST(coalesce(a,<number>) AS NUMERIC), so it compares as a number,
//   except for a text column a outside comparisons with numbers and arithmetic:
//   (coalesce(a,'<number>') COLLATE NOCASE); any other IsNull(a,b) -> coalesce(a,b);
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
// - a string in an addition with a number ('x'+1, '1.5'+1, n+'-' with n a number column: SQL
//   Server converts the string to the number's type; a text function or text parameter beside
//   a number likewise);
// - -, *, / or % in a string concatenation ('a'+2*3 would bind wrongly);
// - two string literals without a separator ('a'N'b');
// - IsNull(a,'x') with a number column a and a string that is no number, IsNull(a,<number>)
//   with a text column a too narrow for the number;
// - cast(x as varchar(n)) / char(n) of a text expression other than a column or a literal
//   (the cut counts GBK bytes, which SQLite cannot count in an expression);
// - parentheses nested deeper than MaxNesting.
// Parameters bound to text values concatenate (:A + :B with '01', '02' is '0102'); "name" is an
// identifier, never a string; cast(x as decimal(p,s)) rounds to s decimals.
//
// With the declared types of the columns (Schema) it answers as the server where the type
// decides: a number column + '' adds ('' is 0); text columns joined by + concatenate;
// IsNull(a,b) has a's type (IsNull(OrgCode,0) is '0101', compared with a number it compares as
// one; IsNull(n,'') is 0); cast(x as varchar(n)) / char(n) count GBK bytes (a Chinese character
// is 2, a cut never splits one, char pads to n bytes), nvarchar(n) / nchar(n) characters.
// Without the types (no schema, a column of a derived table) a column counts as neither.

#include <QHash>

namespace TsqlTranslator {
constexpr int MaxNesting = 256;

// What the translator knows of the tables a statement names.
class Schema {
public:
    virtual ~Schema() = default;
    // Lower-case column name -> declared type as CREATE TABLE wrote it; empty when there is no
    // such table.
    virtual QHash<QString, QString> columns(const QString& table) = 0;
    // Changes whenever the answers of columns() may change (the connection, its schema version).
    virtual QString version() = 0;
};

// The SQLite text for a T-SQL statement, cached by text, by the parameters bound to text and,
// for statements whose translation depends on column types, by the schema's version.
// textParams: names (any case) of the parameters whose bound value is text.
QString toSqlite(const QString& tsql, const QStringList& textParams = {}, Schema* schema = nullptr);
// The same without the cache (what the cache stores).
QString translate(const QString& tsql, const QStringList& textParams = {}, Schema* schema = nullptr);
// Translations currently cached (for tests and diagnostics).
int cacheSize();
void clearCache();
}
