// Small routines every form uses: the message boxes (captioned with the product name), the
// text-input dialog, text splitting and replacing, file helpers.
#pragma once

#include "platform/ui/Prompter.h"

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

// --- message boxes: caption UGetProductName_CH(), through the prompter ----------------------

// Shows the box with the caller's flags; the number of the button pressed.
int MsgBox(const QString& text, int flags);
// Yes/No question; true when Yes was pressed.
bool AskYesNo(const QString& text);
// Yes/No question with No preselected (Enter answers No).
bool AskYesNoDefaultNo(const QString& text);
// Shown only when the text is not blank.
void ShowErrorMsg(const QString& text);
void ShowWarningMsg(const QString& text);
void ShowInfoMsg(const QString& text);

// --- text input -----------------------------------------------------------------------------

// The edited text when confirmed, an empty text when cancelled.
QString InputText(const QString& caption, const QString& prompt, const QString& preset);
// When confirmed stores the edited text in value and answers true; when cancelled leaves value.
bool InputQueryText(const QString& caption, const QString& prompt, const QString& preset, QString& value);

// The input dialog, built anew for every request: font "宋体" 9, laid out in dialog units of
// that font, an edit of at most 255 GBK bytes with the preset selected, "确定(&O)" (default) and
// "取消(&C)". The caller runs it with runModal() and deletes it.
QDialog* CreateInputDialog(const QString& caption, const QString& prompt, const QString& preset,
                           QWidget* parent = nullptr);
// Shows the dialog for an input request (what the Qt prompter shows for PromptKind::Input).
PromptAnswer RunInputDialog(const PromptCall& call, QWidget* parent);

// n·numerator/denominator rounded to the nearest integer (halves away from zero); -1 when the
// denominator is 0.
int MulDiv(int number, int numerator, int denominator);

// --- texts ----------------------------------------------------------------------------------

// The parts between separators, in order. A trailing separator yields no empty last part; a
// leading or doubled separator yields empty parts only with keepEmpty.
QStringList SplitText(const QString& text, QChar separator, bool keepEmpty);
// Appends the non-empty parts of text; nothing when list is null or text is empty.
void AddSplitText(QStringList* list, const QString& text, QChar separator);
// Side "L" (any case): the part before the first separator; any other side: the part after it;
// the whole text when the separator does not occur.
QString SplitLeftRight(const QString& text, const QString& separator, const QString& side);
// The part before the first c; empty when c does not occur.
QString LeftOfChar(const QString& text, QChar c);
// The part after the first c; the whole text when c does not occur.
QString RightOfChar(const QString& text, QChar c);
// Every occurrence replaced, left to right, without rescanning replaced text; an empty search
// text changes nothing.
QString ReplaceText(const QString& text, const QString& search, const QString& replacement, bool caseSensitive);

// --- files ----------------------------------------------------------------------------------

// dir + "/" + file; no "/" when dir ends in "/" or "\"; the file alone for an empty dir.
QString JoinPath(const QString& dir, const QString& file);
// Copies the file, overwriting an existing target; true on success. A file is never copied
// onto itself.
bool CopyFileTo(const QString& source, const QString& target);
// Size in bytes; -1 when the file cannot be opened.
qint64 GetFileSizeOf(const QString& path);

// --- controls -------------------------------------------------------------------------------

// Input-method names have no counterpart here: nothing to reset.
void ResetImeNames(QWidget* form, const QString& imeName);
