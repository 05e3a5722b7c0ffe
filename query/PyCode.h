// Choice lists that narrow to the entries whose pinyin initials match what the user types.
#pragma once

#include "platform/text/Pinyin.h"

#include <QStringList>

class QComboBox;

// For an editable combo box that filters itself while the user types. Call from the box's
// change handler with the full list. It narrows the list to the matches of the box's text
// (or restores the full list when the text is one of the entries), keeps the text and puts the
// caret at its end, and, from a zero-delay timer, opens a list popup that leaves the keyboard
// focus in the box. Emits no change signal of the box. The box should have no completer of its
// own and insert policy NoInsert.
void ApplyInitialsFilter(QComboBox* cmb, const QStringList& fullList);

// Appends every full-list entry the box's list lacks (ignoring case); the text is kept.
void RestoreFullList(QComboBox* cmb, const QStringList& fullList);

// The Enter key: when no text is selected and the list has entries, the text becomes the first
// entry (a change of the box) and the full list is restored. Returns whether it acted, so that
// the caller can swallow the key. Enter inside the popup does the same, or picks the row the
// user moved to.
bool InitialsEnterKey(QComboBox* cmb, const QStringList& fullList);
