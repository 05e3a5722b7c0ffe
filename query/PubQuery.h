// The condition builder: the field catalogue of a query type (tXtQry), its value lists
// (tXtQryValue), the named saved conditions (tXtQrySave) and the rules that turn one condition
// line into a Transact-SQL fragment. The query dialog and the condition frame build every line
// with BuildQryCondition, so a line gives the same fragment in both.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class QComboBox;
class TADOConnection;

// --- module state ----------------------------------------------------------------------------
// The query type the builder works on; set by ShowQryDialog, FillQryOperators, FillQryValues
// and BuildQryFromItem. Operations that need a query type take it from their caller, so a
// second list form changing this text cannot make them read another catalogue.
extern QString CurQryType;
// The last result of the query dialog, handed out by ShowQryDialog.
extern QString QryWhereText;
extern QString QryDescText;

// --- words -----------------------------------------------------------------------------------
namespace QryWords {
// The ten operators, always in this order.
const QStringList& textOperators();
// The first six.
const QStringList& comparisonOperators();
// "=" and "<>".
const QStringList& equalityOperators();
inline const QString Contains = QStringLiteral("含有");
inline const QString BeginsWith = QStringLiteral("左边含有");
inline const QString EndsWith = QStringLiteral("右边含有");
inline const QString NotContains = QStringLiteral("不含有");
// Joins: "并且" is " And ", "或者" is " Or "; "结束" closes the last line and is never stored.
inline const QString And = QStringLiteral("并且");
inline const QString Or = QStringLiteral("或者");
inline const QString End = QStringLiteral("结束");
const QStringList& joins(); // 并且, 或者
// "<全部>": no restriction.
inline const QString All = QStringLiteral("<全部>");
// The line between the saved names and the field names of the frame's item list.
inline const QString Separator = QStringLiteral("====================");
// The hint the frame's item box shows while it holds nothing.
inline const QString ItemHint = QStringLiteral("<请输入拼音首字母>");
}

// --- catalogue -------------------------------------------------------------------------------
// One catalogue row of tXtQry.
struct TQryField {
    int SerialNo = 0;
    QString FldCode;
    QString FldName;
    QString FldType;
    QString VluType;
    QString VluObject;
    QString VluField;
    QString VluCaption;
};

// The catalogue of one query type as last loaded; owned by the dialog or the frame.
class TQryCatalog {
public:
    QString QryType; // the query type it was loaded for
    QList<TQryField> Fields; // in catalogue order
    // The row whose FldName equals name, ignoring case; nullptr when none.
    const TQryField* findByName(const QString& name) const;
    const TQryField* findBySerialNo(int serialNo) const;
};

// One line of a saved condition (tXtQrySave).
struct TQrySaveLine {
    QString QryType;
    int SerialNo = 0;
    int OrderNo = 0;
    QString QryName;
    QString FldCode;
    QString Operator;
    QString FieldValue;
    QString LinkFlag;
};

// The saved-condition lines of one query type, as LoadQrySaves read them.
class TQrySaveList {
public:
    QString QryType;
    QList<TQrySaveLine> Lines;
    // Lines whose QryName equals name (ignoring case, as the server compares).
    int countNamed(const QString& name) const;
    const TQrySaveLine* findNamed(const QString& name) const;
};

// The line of the edition filter for CurVER() ("0", "1", "2"; empty for any other edition).
QString QryEditionFilter();

// Reads the catalogue of the query type on the shared connection (creating the holder when it
// is empty). Database errors pass.
void LoadQryFields(const QString& qryType, std::unique_ptr<TQryCatalog>& catalog);
// All saved-condition lines of the query type (compared as stored).
void LoadQrySaves(const QString& qryType, std::unique_ptr<TQrySaveList>& saves);

// A column of the field's catalogue row as text ("FldCode", "SerialNo", ...); empty when the
// field (or the column) is not there.
QString GetQryFieldAttr(const QString& fieldName, const QString& column, const TQryCatalog* catalog);

// A number typed for an "I" or "F" field in the form SQL receives: optional sign and digits
// (a 64-bit integer for "I"; for "F" an optional fraction), re-formatted without sign "+",
// leading zeros or trailing fraction zeros. False when the text is no such number.
bool NormalizeQryNumber(const QString& fldType, const QString& text, QString& sql);

// The SQL text of a value: a literal for "S" (with the pattern of the operator), the
// re-formatted number for "I" and "F". Writes valueText and returns true only when a rule
// produces a text (a bad number or an unknown field or type writes nothing).
bool FormatQryValue(const QString& value, const QString& fieldName, const QString& op,
                    const TQryCatalog* catalog, QString& valueText);

// The comparison of one line, "(column op value)", without its join; empty when the line
// contributes nothing (field not in the catalogue, no or unknown operator, a value that gives
// no SQL text). List values are looked up in the catalogue's query type.
QString BuildQryComparison(const QString& fieldName, const QString& op, const QString& value,
                           const TQryCatalog* catalog);
// The fragment of one line: its comparison followed by " And " or " Or " for the join
// "并且"/"或者" (nothing for "结束" or any other word); empty when the line contributes nothing.
QString BuildQryCondition(const QString& fieldName, const QString& op, const QString& value,
                          const TQryCatalog* catalog, const QString& join);

// Joins the comparisons of a condition's lines. A line that contributes nothing is left out
// together with its join, so no " And " or " Or " dangles and the last contributing line has
// no connector.
class TQryWhereBuilder {
public:
    // Returns false (and keeps nothing) when the comparison is empty.
    bool add(const QString& comparison, const QString& join);
    bool isEmpty() const { return m_parts.isEmpty(); }
    int count() const { return int(m_parts.size()); }
    QString text() const;

private:
    struct Part {
        QString comparison;
        QString join;
    };
    QList<Part> m_parts;
};

// The condition of the frame for its item: a field name gives one line, the name of a saved
// condition all its lines in order. Both outputs are empty when the item is neither, or when no
// line contributes. Sets CurQryType and reloads the catalogue.
void BuildQryFromItem(const QString& qryType, const QString& item, const QString& op,
                      const QString& value, std::unique_ptr<TQryCatalog>& catalog, QString& desc,
                      QString& where);

// Field name of a catalogue code (edition filter applied); empty when none.
QString GetQryFldName(const QString& qryType, const QString& fldCode);
// The field of a saved condition's first line; a name that is no saved condition maps to itself.
QString GetSavedFirstFldName(const QString& qryType, const QString& name);
bool IsQryFieldName(const QString& qryType, const QString& name);
bool IsQrySaveName(const QString& qryType, const QString& name);

// The operators allowed for a field. Sets CurQryType and reloads the catalogue.
void FillQryOperators(const QString& qryType, const QString& fieldName, QStringList& operators,
                      std::unique_ptr<TQryCatalog>& catalog);
// The pick list of a field's values (value kinds "1" and "2"). Sets CurQryType and reloads the
// catalogue.
void FillQryValues(const QString& qryType, const QString& fieldName, QStringList& values,
                   std::unique_ptr<TQryCatalog>& catalog);

// --- the condition frame's operations ---------------------------------------------------------
// The item list of a query type: saved names, the separator when there is any, field names
// (edition chosen by UIsShop()). Into lstItem; when the boxes are given, the item box gets the
// list and shows the hint, the operator box loses its selection and the value box is emptied.
void FillQryItems(const QString& qryType, QStringList& lstItem, QComboBox* cmbItem = nullptr,
                  QComboBox* cmbOperator = nullptr, QComboBox* cmbValue = nullptr);
// Puts the hint into the item box, in grey.
void ShowQryItemHint(QComboBox* cmbItem);
// Sets the operator and value boxes for the chosen item from the saved lines: a field or a
// one-line saved condition enables them (with the saved operator and value), a saved condition
// of several lines or the separator disables and empties them.
void ApplyQryItem(const TQrySaveList* saves, const QString& item, QComboBox* cmbOperator,
                  QComboBox* cmbValue);
// For an "I" or "F" item the value must be such a number; otherwise the value box is emptied,
// focused, and the answer is false. Reloads the catalogue for the query type.
bool CheckQryNumber(const QString& qryType, const QString& item, QComboBox* cmbValue,
                    std::unique_ptr<TQryCatalog>& catalog);
// Stores the condition run from the frame as the one-line saved condition field + operator
// (or updates the chosen one). Nothing happens without an operator; every error is swallowed.
void RememberQryCondition(const QString& qryType, const QString& item, const QString& op,
                          const QString& value);
// The highest saved-condition number of the query type (0 when none). Inside a transaction on
// SQL Server the read keeps its range locked until the transaction ends.
int GetMaxQrySerial(const QString& qryType);

// Table hint that holds the lock of a max() read until the transaction ends: on SQL Server
// " with (updlock, holdlock)"; empty on SQLite, whose transactions take the write lock at once.
QString QryLockHint(TADOConnection* conn);

// --- the query dialog ---------------------------------------------------------------------------
// Shows the query dialog for the query type. OK: the two texts get the condition and the answer
// is true; otherwise false and both are left alone.
bool ShowQryDialog(const QString& qryType, QString& whereText, QString& descText);
