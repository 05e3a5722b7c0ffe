// Helpers shared by the dialogs and exports of libcommDll.so.
#pragma once

#include "platform/sys/QorError.h"

#include <QString>
#include <QStringList>

class QDialogButtonBox;
class QPushButton;
class QWidget;
class TColumnEh;
class TDBGridEh;

namespace commdll {

// A failure of an export or a dialog's input, with the message for the user.
class CommDllError : public QorError {
public:
    using QorError::QorError;
};

// The window the library's dialogs and message boxes belong to.
QWidget* dialogParent(TDBGridEh* grid);
// Message boxes captioned with the product name.
void showError(const QString& text, QWidget* parent = nullptr);
void showWarning(const QString& text, QWidget* parent = nullptr);
void showInfo(const QString& text, QWidget* parent = nullptr);

// The caption of a column for a list: its title levels joined by "-".
QString columnCaption(const TColumnEh* column);
// Visible columns bound to a field, in grid order.
QList<TColumnEh*> visibleDataColumns(TDBGridEh* grid);

// A dialog's OK and Cancel buttons (btnOK, btnCancel) in one box; the caller wires them up.
struct OkCancelButtons {
    QDialogButtonBox* box;
    QPushButton* ok;
    QPushButton* cancel;
};
OkCancelButtons addOkCancelButtons(QWidget* dialog);

// Keeps a result text for the caller: valid until the next call of any entry.
const char* keepResult(const QString& text);
// Text of a UTF-8 argument (null is empty).
QString argText(const char* s);

} // namespace commdll
