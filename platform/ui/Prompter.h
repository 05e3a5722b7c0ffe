// Every message box, input dialog, file dialog and printer dialog goes through one prompter, so
// that tests can script the answers. Every modal form runs through runModal().
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;
class QPrinter;

enum class PromptKind { Message, Input, OpenFile, SaveFile, PrintSetup };

// Windows message-box flags as the callers pass them (MB_*).
namespace MsgFlags {
constexpr int OK = 0, OKCancel = 1, YesNoCancel = 3, YesNo = 4;
constexpr int IconError = 16, IconQuestion = 32, IconWarning = 48, IconInfo = 64;
constexpr int DefButton2 = 256;
}
// Button numbers (ID*).
namespace MsgResult {
constexpr int OK = 1, Cancel = 2, Yes = 6, No = 7;
}

struct PromptCall {
    PromptKind kind;
    QString caption;
    QString text;   // message text, input prompt, file dialog filter
    int flags = 0;  // message flags
    QString preset; // input preset, proposed file name
};

struct PromptAnswer {
    int button = MsgResult::OK; // message boxes
    bool accepted = true;       // input, file and printer dialogs
    QString text;               // input text or chosen file name
};

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual PromptAnswer ask(const PromptCall& call, QWidget* parent, QPrinter* printer) = 0;

    // The installed prompter (the Qt dialogs unless a test installed another).
    static Prompter& current();
    // Installs p (not owned); nullptr restores the Qt dialogs.
    static void install(Prompter* p);
};

// The dialog the Qt prompter shows for input requests; the module supplies its own (an empty
// function restores QInputDialog).
using InputDialogBuilder = std::function<PromptAnswer(const PromptCall& call, QWidget* parent)>;
void setInputDialogBuilder(InputDialogBuilder builder);

// Shows a message box; returns the button number.
int promptMessage(const QString& caption, const QString& text, int flags, QWidget* parent = nullptr);
// Input dialog; false when cancelled.
bool promptInput(const QString& caption, const QString& prompt, QString& value, QWidget* parent = nullptr);
// Save/open dialogs; empty when cancelled. filter is a Qt name filter.
QString promptSaveFile(const QString& caption, const QString& proposed, const QString& filter, QWidget* parent = nullptr);
QString promptOpenFile(const QString& caption, const QString& filter, QWidget* parent = nullptr);
// Printer set-up dialog; false when cancelled.
bool promptPrintSetup(QPrinter* printer, QWidget* parent = nullptr);

// Runs a dialog modally. Tests install a hook that drives the dialog instead of exec().
int runModal(QDialog* dlg);
using ModalHook = std::function<int(QDialog*)>;
void setModalHook(ModalHook hook); // empty hook restores exec()

// Owns a dialog from its creation to its end: exec() runs it through runModal, and the dialog is
// deleted when the owner goes, also after an exception or when its own close handler freed it
// already (then the owner is empty).
template <class D> class ModalDialog {
public:
    explicit ModalDialog(D* dialog) : m_dialog(dialog) {}
    ~ModalDialog() { delete m_dialog.data(); }
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

    int exec() { return m_dialog ? runModal(m_dialog.data()) : QDialog::Rejected; }
    D* get() const { return m_dialog.data(); }
    D* operator->() const { return m_dialog.data(); }
    explicit operator bool() const { return !m_dialog.isNull(); }

private:
    QPointer<D> m_dialog;
};
