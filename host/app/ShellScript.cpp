#include "host/app/ShellScript.h"

#include "host/app/MainWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

void shellErr(const QString& text)
{
    const QByteArray b = (u"qorhost: "_s + text + u'\n').toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
    std::fflush(stderr);
}

namespace {

const QString kSet = u"set"_s, kAction = u"action"_s, kAnswer = u"answer"_s, kExport = u"export"_s,
              kScreenshot = u"screenshot"_s;

struct ButtonName {
    int id;
    const char16_t* name;
};
constexpr ButtonName kButtons[] = {
    {MsgResult::OK, u"ok"}, {MsgResult::Cancel, u"cancel"}, {MsgResult::Yes, u"yes"}, {MsgResult::No, u"no"}};

QString buttonName(int id)
{
    for (const ButtonName& b : kButtons)
        if (b.id == id) return QString::fromUtf16(b.name);
    return QString::number(id);
}

int buttonId(const QString& name)
{
    for (const ButtonName& b : kButtons)
        if (name.compare(QString::fromUtf16(b.name), Qt::CaseInsensitive) == 0) return b.id;
    return 0;
}

// The buttons of a message box by its flags, in their order on the box.
std::vector<int> boxButtons(int flags)
{
    switch (flags & 0x0F) {
    case MsgFlags::OKCancel: return {MsgResult::OK, MsgResult::Cancel};
    case MsgFlags::YesNoCancel: return {MsgResult::Yes, MsgResult::No, MsgResult::Cancel};
    case MsgFlags::YesNo: return {MsgResult::Yes, MsgResult::No};
    default: return {MsgResult::OK};
    }
}

QString boxKind(int flags)
{
    switch (flags & 0xF0) {
    case MsgFlags::IconError: return u"error"_s;
    case MsgFlags::IconWarning: return u"warning"_s;
    case MsgFlags::IconQuestion: return u"question"_s;
    case MsgFlags::IconInfo: return u"information"_s;
    default: return u"message"_s;
    }
}

QString className(const QObject* o) { return QString::fromLatin1(o->metaObject()->className()); }

} // namespace

// --- the command line ---------------------------------------------------------------------------

QString exportActionFor(const QString& file)
{
    const QString ext = QFileInfo(file).suffix().toLower();
    if (ext == u"xlsx") return u"actConvertToExcel"_s;
    if (ext == u"txt") return u"actConvertToText"_s;
    if (ext == u"htm" || ext == u"html") return u"actConvertToHtml"_s;
    if (ext == u"pdf") return u"actPreview"_s;
    return {};
}

ScriptParse parseScriptSteps(const QStringList& args, const QStringList& valueOptions)
{
    ScriptParse r;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(u'-') || arg == u"-" || arg == u"--") continue;
        QString name = arg.mid(arg.startsWith(u"--") ? 2 : 1);
        std::optional<QString> value;
        if (const qsizetype eq = name.indexOf(u'='); eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        const bool step = name == kSet || name == kAction || name == kAnswer || name == kExport || name == kScreenshot;
        if (!step) {
            if (!value && valueOptions.contains(name)) ++i; // the option's value
            continue;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                r.error = u"--%1 needs a value"_s.arg(name);
                return r;
            }
            value = args[++i];
        }
        ScriptStep s{ScriptStep::Set, *value, {}};
        if (name == kSet) {
            const qsizetype eq = value->indexOf(u'=');
            if (eq <= 0) {
                r.error = u"--set takes NAME=VALUE, not \"%1\""_s.arg(*value);
                return r;
            }
            s.name = value->left(eq);
            s.value = value->mid(eq + 1);
        } else if (name == kAction) {
            s.kind = ScriptStep::Action;
        } else if (name == kAnswer) {
            s.kind = ScriptStep::Answer;
            s.name = value->toLower();
            if (!buttonId(s.name)) {
                r.error = u"--answer takes ok, cancel, yes or no, not \"%1\""_s.arg(*value);
                return r;
            }
        } else if (name == kExport) {
            s.kind = ScriptStep::Export;
            if (exportActionFor(*value).isEmpty()) {
                r.error = u"--export writes .xlsx, .txt, .htm or .pdf, not \"%1\""_s.arg(*value);
                return r;
            }
        } else {
            s.kind = ScriptStep::Screenshot;
        }
        if (s.name.isEmpty()) {
            r.error = u"--%1 needs a value"_s.arg(name);
            return r;
        }
        r.steps.push_back(s);
    }
    return r;
}

// --- entering values ----------------------------------------------------------------------------

std::optional<QString> setWidgetValue(QWidget* w, const QString& value)
{
    if (!w->isVisible()) return u"is not shown"_s;
    if (!w->isEnabled()) return u"is disabled"_s;
    // Into the box first, as a person clicks into it: the exit check of the box the focus leaves runs.
    w->setFocus(Qt::OtherFocusReason);

    auto typeInto = [&](QLineEdit* e) -> std::optional<QString> {
        if (e->isReadOnly()) return u"is read-only"_s;
        e->selectAll();
        e->insert(value); // typed: the validator and the width limit apply
        if (e->text() != value) return u"refuses \"%1\" (it holds \"%2\")"_s.arg(value, e->text());
        return std::nullopt;
    };

    if (auto* e = qobject_cast<QLineEdit*>(w)) return typeInto(e);
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        const int i = c->findText(value, Qt::MatchExactly);
        if (i < 0) {
            if (c->isEditable() && c->lineEdit()) return typeInto(c->lineEdit());
            return u"has no item \"%1\""_s.arg(value);
        }
        c->setCurrentIndex(i);
        // What a person's choice also signals.
        Q_EMIT c->activated(i);
        Q_EMIT c->textActivated(c->itemText(i));
        return std::nullopt;
    }
    if (auto* d = qobject_cast<QDateTimeEdit*>(w)) {
        if (d->isReadOnly()) return u"is read-only"_s;
        const QDateTime dt = QDateTime::fromString(value, Qt::ISODate);
        const QDate date = QDate::fromString(value, Qt::ISODate);
        // Out of range is refused before anything changes: the box would clamp it.
        if (dt.isValid() && value.contains(u'T')) {
            if (dt < d->minimumDateTime() || dt > d->maximumDateTime())
                return u"refuses %1 (outside its range)"_s.arg(value);
            d->setDateTime(dt);
        } else if (date.isValid()) {
            if (date < d->minimumDate() || date > d->maximumDate()) return u"refuses %1 (outside its range)"_s.arg(value);
            d->setDate(date);
        } else {
            return u"takes an ISO date (YYYY-MM-DD), not \"%1\""_s.arg(value);
        }
        return std::nullopt;
    }
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->isCheckable()) {
        if (value != u"0" && value != u"1") return u"takes 0 or 1, not \"%1\""_s.arg(value);
        const bool want = value == u"1";
        if (b->isChecked() != want) b->click();
        if (b->isChecked() != want) return u"cannot be set to %1"_s.arg(value);
        return std::nullopt;
    }
    if (auto* s = qobject_cast<QSpinBox*>(w)) {
        bool ok = false;
        const int v = value.toInt(&ok);
        if (!ok) return u"takes a whole number, not \"%1\""_s.arg(value);
        if (v < s->minimum() || v > s->maximum()) return u"refuses %1 (outside its range)"_s.arg(value);
        s->setValue(v);
        return std::nullopt;
    }
    if (auto* s = qobject_cast<QDoubleSpinBox*>(w)) {
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (!ok) return u"takes a number, not \"%1\""_s.arg(value);
        if (v < s->minimum() || v > s->maximum()) return u"refuses %1 (outside its range)"_s.arg(value);
        s->setValue(v);
        return std::nullopt;
    }
    if (auto* t = qobject_cast<QPlainTextEdit*>(w)) {
        if (t->isReadOnly()) return u"is read-only"_s;
        t->setPlainText(value);
        return std::nullopt;
    }
    if (auto* t = qobject_cast<QTextEdit*>(w)) {
        if (t->isReadOnly()) return u"is read-only"_s;
        t->setPlainText(value);
        return std::nullopt;
    }
    return u"is a %1, which takes no value"_s.arg(className(w));
}

// --- the runner ---------------------------------------------------------------------------------

ScriptRunner::ScriptRunner(std::vector<ScriptStep> steps) : m_steps(std::move(steps)) {}

void ScriptRunner::setWindow(MainWindow* window) { m_window = window; }

ScriptRunner::~ScriptRunner()
{
    if (m_installed) {
        setModalHook({});
        Prompter::install(m_previous);
    }
}

void ScriptRunner::install()
{
    if (m_installed) return;
    m_installed = true;
    m_previous = &Prompter::current();
    Prompter::install(this);
    setModalHook([this](QDialog* d) { return runDialog(d); });
}

void ScriptRunner::start()
{
    install();
    m_started = true;
    // A dialog that bypasses the prompter and runModal would wait for a person for ever.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, &ScriptRunner::checkForeignModal);
    watch->start(250);
    scheduleNext();
}

void ScriptRunner::fail(const QString& text)
{
    m_failures << text;
    shellErr(text);
}

PromptAnswer ScriptRunner::ask(const PromptCall& c, QWidget*, QPrinter* printer)
{
    PromptAnswer a;
    switch (c.kind) {
    case PromptKind::Message: {
        const std::vector<int> buttons = boxButtons(c.flags);
        int answer = buttons[(c.flags & MsgFlags::DefButton2) && buttons.size() > 1 ? 1 : 0];
        QString misfit;
        if (!m_answer.isEmpty()) {
            const int wanted = buttonId(m_answer);
            if (std::find(buttons.begin(), buttons.end(), wanted) != buttons.end()) answer = wanted;
            else misfit = m_answer;
            m_answer.clear();
        }
        const QString kind = boxKind(c.flags);
        const QString line = u"%1 box \"%2\": %3 -> %4"_s.arg(kind, c.caption, c.text, buttonName(answer));
        const int icon = c.flags & 0xF0;
        if (icon == MsgFlags::IconError || icon == MsgFlags::IconWarning) fail(line);
        else shellErr(line);
        if (!misfit.isEmpty()) fail(u"--answer %1: the box has no such button"_s.arg(misfit));
        a.button = answer;
        break;
    }
    case PromptKind::Input:
        // The input box's default button keeps the proposed text.
        shellErr(u"input box \"%1\": %2 -> \"%3\""_s.arg(c.caption, c.text, c.preset));
        a.accepted = true;
        a.text = c.preset;
        break;
    case PromptKind::SaveFile:
        if (!m_exportFile.isEmpty() && !m_exportPdf && !m_exportUsed) {
            m_exportUsed = true;
            a.accepted = true;
            a.text = m_exportFile;
        } else {
            a.accepted = false;
        }
        shellErr(u"save dialog \"%1\" (%2) -> %3"_s.arg(c.caption, c.text, a.accepted ? a.text : u"cancelled"_s));
        break;
    case PromptKind::OpenFile:
        shellErr(u"open dialog \"%1\" (%2) -> cancelled"_s.arg(c.caption, c.text));
        a.accepted = false;
        break;
    case PromptKind::PrintSetup:
        if (printer && m_exportPdf && !m_exportUsed) {
            m_exportUsed = true;
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(m_exportFile);
            a.accepted = true;
            shellErr(u"printer dialog -> %1"_s.arg(m_exportFile));
        } else {
            a.accepted = false;
            shellErr(u"printer dialog -> cancelled"_s);
        }
        break;
    }
    return a;
}

int ScriptRunner::runDialog(QDialog* d)
{
    const QString title = d->windowTitle();
    if (auto* preview = qobject_cast<QPrintPreviewDialog*>(d); preview && m_exportPdf && !m_exportUsed) {
        // The printout the preview would show, into the export file on the preview's page layout.
        m_exportUsed = true;
        QPrinter pdf(QPrinter::HighResolution);
        pdf.setOutputFormat(QPrinter::PdfFormat);
        pdf.setOutputFileName(m_exportFile);
        pdf.setPageLayout(preview->printer()->pageLayout());
        pdf.setDocName(title);
        Q_EMIT preview->paintRequested(&pdf);
        shellErr(u"print preview \"%1\" -> %2"_s.arg(title, m_exportFile));
        return QDialog::Rejected;
    }
    if (d->objectName() == u"dlgExportProgress") {
        // The export's progress runs to its end by itself (or until its own failure): the next
        // step must wait for the file, not run inside the export.
        return d->exec();
    }
    if (!m_started || m_finished) {
        shellErr(u"dialog \"%1\" not shown: the script is not running"_s.arg(title));
        return QDialog::Rejected;
    }

    QPointer<QDialog> dialog(d);
    QEventLoop loop;
    connect(d, &QDialog::finished, &loop, &QEventLoop::quit);
    connect(d, &QObject::destroyed, &loop, &QEventLoop::quit);
    m_dialogs.push_back({dialog, &loop});
    const bool wasModal = d->testAttribute(Qt::WA_ShowModal);
    d->setAttribute(Qt::WA_ShowModal, true);
    d->show();
    scheduleNext();
    // A nested loop as exec() runs one: the following steps run inside it.
    if (d->isVisible()) loop.exec(QEventLoop::DialogExec);
    m_dialogs.pop_back();
    // The step that opened the dialog may not be the one that goes on afterwards.
    scheduleNext();
    if (!dialog) return QDialog::Rejected;
    if (dialog->isVisible()) dialog->hide();
    dialog->setAttribute(Qt::WA_ShowModal, wasModal);
    return dialog->result();
}

void ScriptRunner::scheduleNext()
{
    if (m_pending || m_finished) return;
    m_pending = true;
    QTimer::singleShot(0, this, &ScriptRunner::runNext);
}

void ScriptRunner::runNext()
{
    m_pending = false;
    if (m_finished) return;
    // After a failure only the screenshots still run, to show where it stopped.
    while (m_next < m_steps.size() && !m_failures.isEmpty() && m_steps[m_next].kind != ScriptStep::Screenshot)
        ++m_next;
    if (m_next >= m_steps.size()) {
        if (!m_dialogs.empty()) closeInnermostDialog();
        else finish();
        return;
    }
    const ScriptStep s = m_steps[m_next++];
    runStep(s);
    scheduleNext();
}

void ScriptRunner::closeInnermostDialog()
{
    OpenDialog& top = m_dialogs.back();
    QEventLoop* loop = top.loop;
    if (QDialog* d = top.dialog) {
        shellErr(u"dialog \"%1\" still open at the end: cancelled"_s.arg(d->windowTitle()));
        d->reject();
        if (d->isVisible()) d->hide(); // a dialog that refuses to close is still left behind
    }
    loop->quit();
}

void ScriptRunner::finish()
{
    if (m_finished) return;
    if (!m_answer.isEmpty()) {
        fail(u"--answer %1: no message box came"_s.arg(m_answer));
        m_answer.clear();
    }
    m_finished = true;
    if (!m_failures.isEmpty()) shellErr(u"the script failed"_s);
    Q_EMIT finished(exitCode());
}

void ScriptRunner::checkForeignModal()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    for (const OpenDialog& o : m_dialogs)
        if (o.dialog == modal) return;
    fail(u"dialog \"%1\" (%2) opened outside the prompter and runModal: closed"_s.arg(modal->windowTitle(),
                                                                                      className(modal)));
    if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
    else modal->close();
}

void ScriptRunner::runStep(const ScriptStep& s)
{
    switch (s.kind) {
    case ScriptStep::Set: runSet(s); break;
    case ScriptStep::Action: runAction(s); break;
    case ScriptStep::Answer: m_answer = s.name; break;
    case ScriptStep::Export: runExport(s); break;
    case ScriptStep::Screenshot: runScreenshot(s); break;
    }
}

QList<QWidget*> ScriptRunner::searchRoots() const
{
    QList<QWidget*> roots;
    for (auto it = m_dialogs.rbegin(); it != m_dialogs.rend(); ++it)
        if (it->dialog) roots << it->dialog.data();
    if (m_window) {
        if (QWidget* f = m_window->activeForm()) roots << f;
        roots << m_window.data();
    }
    const QWidgetList tops = QApplication::topLevelWidgets();
    for (QWidget* t : tops)
        if (t->isVisible() && !roots.contains(t)) roots << t;
    return roots;
}

QObject* ScriptRunner::findObject(const QString& name) const
{
    const QList<QWidget*> roots = searchRoots();
    // Widgets and actions before anything else that carries the name.
    for (QWidget* r : roots) {
        if (r->objectName() == name) return r;
        if (auto* a = r->findChild<QAction*>(name)) return a;
        if (auto* w = r->findChild<QWidget*>(name)) return w;
    }
    for (QWidget* r : roots)
        if (auto* o = r->findChild<QObject*>(name)) return o;
    return nullptr;
}

QString ScriptRunner::placeName() const
{
    if (!m_dialogs.empty() && m_dialogs.back().dialog) return u"dialog \""_s + m_dialogs.back().dialog->windowTitle() + u'"';
    if (m_window)
        if (QWidget* f = m_window->activeForm()) return u"form \""_s + f->windowTitle() + u'"';
    return u"the shell"_s;
}

void ScriptRunner::runSet(const ScriptStep& s)
{
    QObject* o = findObject(s.name);
    auto* w = qobject_cast<QWidget*>(o);
    if (!w) {
        fail(o ? u"--set %1: %1 is a %2, not a box"_s.arg(s.name, className(o))
               : u"--set %1: no object named %1 in %2"_s.arg(s.name, placeName()));
        return;
    }
    if (const auto problem = setWidgetValue(w, s.value)) fail(u"--set %1: %1 %2"_s.arg(s.name, *problem));
}

void ScriptRunner::runAction(const ScriptStep& s)
{
    QObject* o = findObject(s.name);
    if (!o) {
        fail(u"--action %1: no object named %1 in %2"_s.arg(s.name, placeName()));
        return;
    }
    if (auto* a = qobject_cast<QAction*>(o)) {
        if (!a->isEnabled()) {
            fail(u"--action %1: the action is disabled"_s.arg(s.name));
            return;
        }
        a->trigger();
        return;
    }
    if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        if (!b->isVisible() || !b->isEnabled()) {
            fail(u"--action %1: the button is %2"_s.arg(s.name, b->isEnabled() ? u"not shown"_s : u"disabled"_s));
            return;
        }
        b->click();
        return;
    }
    fail(u"--action %1: %1 is a %2, not an action or button"_s.arg(s.name, className(o)));
}

void ScriptRunner::runExport(const ScriptStep& s)
{
    const QString file = QFileInfo(s.name).absoluteFilePath();
    const QString actionName = exportActionFor(file);
    QWidget* form = m_window ? m_window->activeForm() : nullptr;
    QAction* action = form ? form->findChild<QAction*>(actionName) : nullptr;
    if (!action) {
        fail(u"--export %1: %2 has no %3"_s.arg(s.name, form ? u"the form"_s : u"no form is open; the shell"_s,
                                                 actionName));
        return;
    }
    if (!action->isEnabled()) {
        fail(u"--export %1: %2 is disabled"_s.arg(s.name, actionName));
        return;
    }
    // An old file must not pass for the new one.
    if (QFileInfo::exists(file) && !QFile::remove(file)) {
        fail(u"--export %1: the old file cannot be replaced"_s.arg(s.name));
        return;
    }
    m_exportFile = file;
    m_exportPdf = actionName == u"actPreview";
    m_exportUsed = false;
    action->trigger();
    const bool asked = m_exportUsed;
    m_exportFile.clear();
    m_exportPdf = false;
    m_exportUsed = false;
    if (!asked) fail(u"--export %1: %2 asked for no file"_s.arg(s.name, actionName));
    else if (QFileInfo(file).size() <= 0) fail(u"--export %1: nothing was written"_s.arg(s.name));
}

void ScriptRunner::runScreenshot(const ScriptStep& s)
{
    QWidget* target = nullptr;
    if (!m_dialogs.empty()) target = m_dialogs.back().dialog;
    if (!target) target = m_window;
    if (!target) {
        fail(u"--screenshot %1: nothing to render"_s.arg(s.name));
        return;
    }
    if (!target->grab().save(s.name, "PNG")) fail(u"--screenshot %1: cannot write the file"_s.arg(s.name));
}
