// Rules of the print-format tables tXtPrnFormat, tXtPrnDefault and tXtRightPrn, shared by the
// base form's print menus, the format list and editor, and the format rights dialog.
//
// Every function takes the connection to run on; all values are bound as parameters. Functions
// that write more than one statement run them in one transaction (nested in the caller's when
// there is one). Database failures raise DbError.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class TADOConnection;

// --- constants --------------------------------------------------------------------------------

// Print type of every format the module writes or filters (the module's print setting).
QString PrnTypeValue();
// Widths of the format's texts in GBK bytes, and the longest serial number accepted.
constexpr int PrnNameMaxBytes = 40;
constexpr int PrnRemarkMaxBytes = 40;
constexpr int PrnSerialMaxDigits = 9;

// --- editions ---------------------------------------------------------------------------------

// The line a reader of tXtPrnFormat appends for the edition ver: "and (VER='0' or VER='2')",
// "and (VER='1' or VER='2')", or empty for any other edition (every format). alias ("P") gives
// the column prefix of the aliased menu statement.
QString PrnEditionFilter(const QString& ver, const QString& alias = QString());
// Appends that line to sql when it is not empty.
void AppendPrnEditionFilter(QStringList& sql, const QString& ver, const QString& alias = QString());

// --- who sees what ----------------------------------------------------------------------------

// The print menus list every format for the administrator, whose code matches "QVW" in any
// letter case.
bool IsPrnMenuAdmin(const QString& userCode);
// Saving a format grants it to the editor's groups unless the editor is exactly "QVW".
bool PrnSaveGrantsRights(const QString& userCode);

// --- format rules -----------------------------------------------------------------------------

enum class PrnFmtProblem {
    None,
    SerialMissing,    // empty, not only digits, or too long
    NameMissing,
    NameHasSemicolon,
    NameTooLong,      // more GBK bytes than the column holds
    RemarkTooLong,
    DuplicateSerial,
    FormatMissing     // the edited format is no longer stored
};
// The warning shown for a problem (empty for None).
QString PrnFmtProblemText(PrnFmtProblem p);

// The serial number typed: trimmed, 1 to PrnSerialMaxDigits digits; nullopt otherwise.
std::optional<int> ParsePrnSerialNo(const QString& text);
// Name rule: not empty when trimmed, no ";", at most PrnNameMaxBytes GBK bytes.
PrnFmtProblem CheckPrnName(const QString& name);
// A format with this number exists for the form (print type "1").
bool PrnSerialExists(TADOConnection* c, const QString& prnCode, int serialNo);
// Adding always checks the number; editing only when the number changed.
inline bool PrnSerialNeedsCheck(bool adding, int typedSerial, int currentSerial)
{
    return adding || typedSerial != currentSerial;
}

// The checks of a save in their order: serial number, name, ";" in the name, duplicate number.
PrnFmtProblem ValidatePrnFormat(TADOConnection* c, const QString& prnCode, bool adding,
                                int currentSerial, const QString& serialText, const QString& name);

struct PrnFmtSave {
    QString prnCode;
    bool adding = true;
    int currentSerial = 0; // editing: the number of the format being edited
    QString serialText;    // as typed
    QString name;
    QString remark;
    QString ver;           // the current edition, written to VER
    QString userCode;      // the editing user
};
// Validates (the remark's width after the name rules, before the duplicate check), then inserts
// or updates the format (VER := the current edition, texts trimmed)
// and grants it to the editor's groups, all in one transaction. Returns the first problem (and
// writes nothing) or None.
PrnFmtProblem SavePrnFormat(TADOConnection* c, const PrnFmtSave& s);

// --- rights -----------------------------------------------------------------------------------

// The group codes of a user (XtUserSub), in the server's order.
QStringList PrnUserGroups(TADOConnection* c, const QString& userCode);
// Grants the format to every group of the user: per group, delete its row, then insert it.
void GrantPrnFormatToUserGroups(TADOConnection* c, const QString& prnCode, int serialNo,
                                const QString& userCode);
// Whether the group holds the format.
bool PrnGroupHasRight(TADOConnection* c, const QString& prnCode, int serialNo,
                      const QString& grpCode);
// Grants or withdraws one group's right; true when a row was written or removed.
bool SetPrnGroupRight(TADOConnection* c, const QString& prnCode, int serialNo,
                      const QString& grpCode, bool granted);
// Deletes the format (print type "1") and its rights rows; users' defaults naming it stay.
void DeletePrnFormat(TADOConnection* c, const QString& prnCode, int serialNo);

// --- defaults and the print menus -------------------------------------------------------------

struct PrnMenuEntry {
    int SerialNo = 0;
    QString PrnName;   // trailing blanks removed
    bool IsDefault = false;
};

// The statement of the print menus (parameters PrnCode, UserCode, WorkStation).
QStringList PrnMenuSql(bool admin, const QString& ver);
// The formats the user's print menus list, in number order, each once; at most one entry is
// the default: the workstation's row wins over the workstation-free one.
std::vector<PrnMenuEntry> LoadPrnMenuEntries(TADOConnection* c, const QString& prnCode,
                                             const QString& userCode, const QString& stationId,
                                             const QString& ver);
// The user's default format for the form on this workstation: the workstation's row before the
// workstation-free one; -1 when there is none, or when it names a format the user's menus do
// not list (the stored row is left alone).
int ReadPrnDefault(TADOConnection* c, const QString& prnCode, const QString& userCode,
                   const QString& stationId, const QString& ver);
// Removes the user's default for this workstation and the workstation-free one.
void ForgetPrnDefault(TADOConnection* c, const QString& prnCode, const QString& userCode,
                      const QString& stationId);
// Replaces them by a default for this workstation, in one transaction.
void StorePrnDefault(TADOConnection* c, const QString& prnCode, int serialNo,
                     const QString& userCode, const QString& stationId);
