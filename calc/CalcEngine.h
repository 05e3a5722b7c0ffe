// Calculated fields ("自定义列"): the definitions in tXtQryField, the stored expression syntax
// and its checker, and the services the list forms call to build the fields, their SELECT
// fragment and their grid columns.
//
// A stored expression (FldExpress) is written without separators: field names of the form's
// dataset, constants marked with "#" (#12.5, or #'abc' for string fields), the operators
// + - * / and parentheses. It is SQL by design: the server computes the column. Definitions are
// therefore checked before they reach a statement (see ValidateCalcFieldDef).
#pragma once

#include "platform/db/Db.h"

#include <QString>
#include <QStringList>

class TClientDataSet;
class TDBGridEh;
class TField;

// Tags of calculated fields and of their grid columns; the second one asks for a footer total.
// No other field of the framework uses them.
constexpr int CalcFieldTag = -100;
constexpr int CalcSumFieldTag = -101;
inline bool IsCalcFieldTag(int tag) { return tag == CalcFieldTag || tag == CalcSumFieldTag; }

// Property of a calculated field: the names of the dataset fields its expression uses
// (QStringList). Masking uses it: a calculated field over a masked field is masked too.
inline constexpr char CalcSourceFieldsProperty[] = "CalcSourceFields";

// Error codes of CheckExpression.
inline const QString ExprErrParens = QStringLiteral("#A");   // unbalanced parentheses
inline const QString ExprErrCloseAt = QStringLiteral("#B");  // fault around ")"
inline const QString ExprErrOpenAt = QStringLiteral("#C");   // fault around "("
inline const QString ExprErrOperator = QStringLiteral("#D"); // two operators in a row

// --- services of the list forms ---------------------------------------------------------------

// Closes ds and (re)builds its calculated fields from the rows of tXtQryField for formKey and
// the dataset's object name; appends "type letter + FldName + @ + FldExpress" to defs for each
// field built. A row whose definition fails ValidateCalcFieldDef against the dataset's own data
// fields builds nothing and is written to the error log. The persistent fields of ds must exist
// already: they are what an expression may name.
void CreateCalcFields(TClientDataSet* ds, const QString& formKey, QStringList* defs);

// The SELECT-list fragment for the definitions (" ,(expr) as R_name ..."), empty when there are
// none; it goes directly behind "Select * ". The dialect is the shared connection's.
QString GetCalcFieldSql(const QStringList* defs);
QString GetCalcFieldSql(const QStringList& defs, Dialect dialect);

// Makes the grid's columns match the calculated fields of ds: one column per calculated field
// (replacing an earlier column of the same field), a footer sum for tag -101, and no column of
// a calculated field that no longer exists.
void AddCalcColumns(TClientDataSet* ds, TDBGridEh* grid);

// Creates tXtQryField when it is missing.
void EnsureCalcFieldTable();

// --- expressions -------------------------------------------------------------------------------

// "#A" .. "#D" for a faulty expression; otherwise the text with one leading and one trailing
// operator removed.
QString CheckExpression(const QString& text);
bool IsExpressionError(const QString& checkResult);
// Shows the message of a code and answers true; any other text answers false, silently.
bool ShowExpressionError(const QString& code);

// The display text of a stored expression: field names become the captions at the same position
// (names and captions are parallel lists), constants lose their "#". A name that is not listed is
// shown as it stands.
QString ExpressToCaption(const QString& text, const QStringList& names, const QStringList& captions);

// The division guard: every divisor D becomes "Case(D) when 0 then 1 else (D) end " (decimal:
// "Case(D) when 0 then 1.0 else 1.0*(D) end ", so that the division is not truncated), so a
// divisor of 0 yields the dividend. Empty when divisions nested in divisors would make the text
// longer than a statement may reasonably be (each level doubles it).
QString GuardDivisions(const QString& text, bool decimal);

// The tokens between operators and parentheses, in order, empty ones left out.
QStringList ExpressionTokens(const QString& text);
// The field names an expression uses (tokens not marked "#"), without repeats.
QStringList ExpressionFieldNames(const QString& text);

// One entry of the definition list.
struct CalcFieldDef {
    QChar type; // 'S', 'I' or 'F'
    QString name;
    QString express;
};
// Splits "type + name + @ + expression"; false when there is no "@" or no type letter.
bool ParseCalcFieldDef(const QString& def, CalcFieldDef& out);

// Checks a definition before it goes into a statement; returns why it may not (empty when it
// may). It must have a known type, a name of letters, digits and "_" that does not start with a
// digit, a non-empty expression that passes CheckExpression and holds nothing but field names,
// "#" constants, operators and parentheses. Constants are numbers (for "S" quoted texts without
// quotes inside). With fieldNames given, every field name must be one of them (compared without
// regard to case). When it passes, def.express is the checked text (CheckExpression's result).
QString ValidateCalcFieldDef(CalcFieldDef& def, const QStringList* fieldNames);

// A numeric constant as the editor accepts it: digits with an optional decimal point and
// exponent, no sign.
bool IsNumericConstant(const QString& text);
