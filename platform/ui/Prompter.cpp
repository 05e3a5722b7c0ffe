#include "platform/ui/Prompter.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace {

InputDialogBuilder& inputBuilder() { static InputDialogBuilder b; return b; }

class QtPrompter : public Prompter {
public:
    PromptAnswer ask(const PromptCall& c, QWidget* parent, QPrinter* printer) override
    {
        PromptAnswer a;
        switch (c.kind) {
        case PromptKind::Message: a.button = showBox(c, parent); break;
        case PromptKind::Input: {
            if (inputBuilder()) {
                a = inputBuilder()(c, parent);
                break;
            }
            bool ok = false;
            a.text = QInputDialog::getText(parent, c.caption, c.text, QLineEdit::Normal, c.preset, &ok);
            a.accepted = ok;
            break;
        }
        case PromptKind::SaveFile:
            a.text = QFileDialog::getSaveFileName(parent, c.caption, c.preset, c.text);
            a.accepted = !a.text.isEmpty();
            break;
        case PromptKind::OpenFile:
            a.text = QFileDialog::getOpenFileName(parent, c.caption, c.preset, c.text);
            a.accepted = !a.text.isEmpty();
            break;
        case PromptKind::PrintSetup: {
            QPrintDialog d(printer, parent);
            a.accepted = runModal(&d) == QDialog::Accepted;
            break;
        }
        }
        return a;
    }

    static int showBox(const PromptCall& c, QWidget* parent)
    {
        QMessageBox box(parent);
        box.setWindowTitle(c.caption);
        box.setText(c.text);
        const int icon = c.flags & 0xF0;
        box.setIcon(icon == MsgFlags::IconError      ? QMessageBox::Critical
                    : icon == MsgFlags::IconQuestion ? QMessageBox::Question
                    : icon == MsgFlags::IconWarning  ? QMessageBox::Warning
                    : icon == MsgFlags::IconInfo     ? QMessageBox::Information
                                                     : QMessageBox::NoIcon);
        struct B { QMessageBox::StandardButton sb; int id; const char* text; };
        std::vector<B> buttons;
        switch (c.flags & 0x0F) {
        case MsgFlags::OKCancel: buttons = {{QMessageBox::Ok, MsgResult::OK, "确定"}, {QMessageBox::Cancel, MsgResult::Cancel, "取消"}}; break;
        case MsgFlags::YesNoCancel: buttons = {{QMessageBox::Yes, MsgResult::Yes, "是(&Y)"}, {QMessageBox::No, MsgResult::No, "否(&N)"}, {QMessageBox::Cancel, MsgResult::Cancel, "取消"}}; break;
        case MsgFlags::YesNo: buttons = {{QMessageBox::Yes, MsgResult::Yes, "是(&Y)"}, {QMessageBox::No, MsgResult::No, "否(&N)"}}; break;
        default: buttons = {{QMessageBox::Ok, MsgResult::OK, "确定"}}; break;
        }
        std::vector<QPushButton*> made;
        for (const B& b : buttons) {
            QPushButton* p = box.addButton(b.sb);
            p->setText(QString::fromUtf8(b.text));
            made.push_back(p);
        }
        const size_t def = (c.flags & MsgFlags::DefButton2) && made.size() > 1 ? 1 : 0;
        box.setDefaultButton(made[def]);
        box.exec();
        for (size_t i = 0; i < made.size(); ++i)
            if (box.clickedButton() == made[i]) return buttons[i].id;
        // Closed by Escape or the title bar: the cancel-like answer.
        return (c.flags & 0x0F) == MsgFlags::YesNo ? MsgResult::No
               : (c.flags & 0x0F) == MsgFlags::OK ? MsgResult::OK : MsgResult::Cancel;
    }
};

QtPrompter& qtPrompter() { static QtPrompter p; return p; }
Prompter*& installed() { static Prompter* p = nullptr; return p; }
ModalHook& modalHook() { static ModalHook h; return h; }

} // namespace

void setInputDialogBuilder(InputDialogBuilder builder) { inputBuilder() = std::move(builder); }

Prompter& Prompter::current() { return installed() ? *installed() : qtPrompter(); }
void Prompter::install(Prompter* p) { installed() = p; }

int promptMessage(const QString& caption, const QString& text, int flags, QWidget* parent)
{
    return Prompter::current().ask({PromptKind::Message, caption, text, flags, {}}, parent, nullptr).button;
}

bool promptInput(const QString& caption, const QString& prompt, QString& value, QWidget* parent)
{
    PromptAnswer a = Prompter::current().ask({PromptKind::Input, caption, prompt, 0, value}, parent, nullptr);
    if (a.accepted) value = a.text;
    return a.accepted;
}

QString promptSaveFile(const QString& caption, const QString& proposed, const QString& filter, QWidget* parent)
{
    PromptAnswer a = Prompter::current().ask({PromptKind::SaveFile, caption, filter, 0, proposed}, parent, nullptr);
    return a.accepted ? a.text : QString();
}

QString promptOpenFile(const QString& caption, const QString& filter, QWidget* parent)
{
    PromptAnswer a = Prompter::current().ask({PromptKind::OpenFile, caption, filter, 0, {}}, parent, nullptr);
    return a.accepted ? a.text : QString();
}

bool promptPrintSetup(QPrinter* printer, QWidget* parent)
{
    return Prompter::current().ask({PromptKind::PrintSetup, {}, {}, 0, {}}, parent, printer).accepted;
}

int runModal(QDialog* dlg)
{
    if (modalHook()) return modalHook()(dlg);
    return dlg->exec();
}

void setModalHook(ModalHook hook) { modalHook() = std::move(hook); }
