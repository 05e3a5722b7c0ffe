// qorhost's scripted mode: the --set, --action, --answer, --export and --screenshot steps of the
// command line run in their order on the open form, through the same widgets, actions and
// dialogs a person uses. Message boxes are written to standard error and answered with their
// default button; a modal dialog opened by a step becomes the place where the following steps
// look for their objects until it closes.
#pragma once

#include "platform/ui/Prompter.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <optional>
#include <vector>

class MainWindow;

// A line on standard error, "qorhost: " first.
void shellErr(const QString& text);

class QDialog;
class QEventLoop;
class QWidget;

struct ScriptStep {
    enum Kind { Set, Action, Answer, Export, Screenshot };
    Kind kind;
    QString name;  // object name (Set, Action), button (Answer), file (Export, Screenshot)
    QString value; // Set only
};

// The steps among the program's arguments, in their order. valueOptions names the other options
// that take a value (their values are skipped). error is set for a malformed step.
struct ScriptParse {
    std::vector<ScriptStep> steps;
    QString error;
};
ScriptParse parseScriptSteps(const QStringList& args, const QStringList& valueOptions);

// The form action an export file's extension runs: actConvertToExcel for .xlsx,
// actConvertToText for .txt, actConvertToHtml for .htm/.html, actPreview for .pdf (the grid
// printout); empty for any other extension.
QString exportActionFor(const QString& file);

// Enters value into w the way a person would: a line edit's text (typed, so validators and
// width limits apply), a combo box's item by its text, a date edit by an ISO date, a check box
// or radio button by 0/1, a spin box by a number, a text edit's text. The problem, when the
// widget is of another kind, cannot be edited or refuses the value.
std::optional<QString> setWidgetValue(QWidget* w, const QString& value);

class ScriptRunner final : public QObject, public Prompter {
    Q_OBJECT
public:
    explicit ScriptRunner(std::vector<ScriptStep> steps);
    // The shell whose forms the steps work on.
    void setWindow(MainWindow* window);
    ~ScriptRunner() override;
    ScriptRunner(const ScriptRunner&) = delete;
    ScriptRunner& operator=(const ScriptRunner&) = delete;

    // Answers the program's message boxes and dialogs from now on (also those raised before the
    // first step, e.g. by --open).
    void install();
    // Runs the steps, starting from the event loop; finished() follows the last one.
    void start();

    // 0, or 1 when a step failed or an error or warning box was raised.
    int exitCode() const { return m_failures.isEmpty() ? 0 : 1; }
    QStringList failures() const { return m_failures; }

    PromptAnswer ask(const PromptCall& call, QWidget* parent, QPrinter* printer) override;

Q_SIGNALS:
    void finished(int exitCode);

private:
    struct OpenDialog {
        QPointer<QDialog> dialog;
        QEventLoop* loop;
    };

    int runDialog(QDialog* d);
    void scheduleNext();
    void runNext();
    void runStep(const ScriptStep& s);
    void runSet(const ScriptStep& s);
    void runAction(const ScriptStep& s);
    void runExport(const ScriptStep& s);
    void runScreenshot(const ScriptStep& s);
    void closeInnermostDialog();
    void finish();
    void fail(const QString& text);
    void checkForeignModal();

    // Where objects are looked for, innermost first: the open dialogs, the active form, the
    // shell, then the other visible windows.
    QList<QWidget*> searchRoots() const;
    QObject* findObject(const QString& name) const;
    QString placeName() const;

    QPointer<MainWindow> m_window;
    std::vector<ScriptStep> m_steps;
    size_t m_next = 0;
    bool m_pending = false;
    bool m_started = false;
    bool m_finished = false;
    bool m_installed = false;
    Prompter* m_previous = nullptr; // the prompter before this one, back when the runner goes
    QStringList m_failures;
    std::vector<OpenDialog> m_dialogs;
    // Armed by --answer for the next message box.
    QString m_answer;
    // Armed by --export for the form's save-file dialog or printout.
    QString m_exportFile;
    bool m_exportPdf = false;
    bool m_exportUsed = false;
};
