#include "framework/SharedUtils.h"

#include "host/include/Appres.h"
#include "platform/text/Gbk.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <filesystem>
#include <system_error>

namespace {

QWidget* boxOwner()
{
    if (QWidget* w = QApplication::activeModalWidget()) return w;
    return QApplication::activeWindow();
}

// Blank in the sense of the message boxes: nothing but spaces and control characters.
bool isBlank(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() > ' ') return false;
    return true;
}

void showIfNotBlank(const QString& text, int flags)
{
    if (!isBlank(text)) MsgBox(text, flags);
}

// The module's input dialog replaces QInputDialog for every input request while it is loaded.
struct InputDialogRegistration {
    InputDialogRegistration() { setInputDialogBuilder(&RunInputDialog); }
    ~InputDialogRegistration() { setInputDialogBuilder({}); }
} inputDialogRegistration;

} // namespace

// --- message boxes --------------------------------------------------------------------------

int MsgBox(const QString& text, int flags)
{
    return promptMessage(UGetProductName_CH(), text, flags, boxOwner());
}

bool AskYesNo(const QString& text)
{
    return MsgBox(text, MsgFlags::YesNo | MsgFlags::IconQuestion) == MsgResult::Yes;
}

bool AskYesNoDefaultNo(const QString& text)
{
    return MsgBox(text, MsgFlags::YesNo | MsgFlags::IconQuestion | MsgFlags::DefButton2) == MsgResult::Yes;
}

void ShowErrorMsg(const QString& text) { showIfNotBlank(text, MsgFlags::OK | MsgFlags::IconError); }
void ShowWarningMsg(const QString& text) { showIfNotBlank(text, MsgFlags::OK | MsgFlags::IconWarning); }
void ShowInfoMsg(const QString& text) { showIfNotBlank(text, MsgFlags::OK | MsgFlags::IconInfo); }

// --- text input -----------------------------------------------------------------------------

int MulDiv(int number, int numerator, int denominator)
{
    if (denominator == 0) return -1;
    const qint64 p = qint64(number) * numerator;
    const qint64 d = denominator;
    const bool negative = (p < 0) != (d < 0);
    const qint64 ap = p < 0 ? -p : p;
    const qint64 ad = d < 0 ? -d : d;
    const qint64 r = (ap + ad / 2) / ad;
    return int(negative ? -r : r);
}

QDialog* CreateInputDialog(const QString& caption, const QString& prompt, const QString& preset, QWidget* parent)
{
    auto* dlg = new QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dlg->setObjectName(QStringLiteral("frmInputQuery"));
    dlg->setWindowTitle(caption);
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(9);
    dlg->setFont(font);

    // Dialog units of the dialog font.
    const QFontMetrics fm(font);
    const int x = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
    const int y = fm.height();

    const int clientWidth = MulDiv(180, x, 4);
    const int left = MulDiv(8, x, 4);
    const int maxLabelWidth = MulDiv(164, x, 4);

    auto* label = new QLabel(prompt, dlg);
    label->setObjectName(QStringLiteral("lblPrompt"));
    label->setWordWrap(true);
    int natural = 0;
    for (const QString& line : prompt.split(QLatin1Char('\n')))
        natural = std::max(natural, fm.horizontalAdvance(line));
    const int labelWidth = std::max(1, std::min(natural, maxLabelWidth));
    const int labelHeight = std::max(label->heightForWidth(labelWidth), prompt.isEmpty() ? 0 : fm.height());
    label->setGeometry(left, MulDiv(8, y, 8), labelWidth, labelHeight);

    auto* edit = new QLineEdit(preset, dlg);
    edit->setObjectName(QStringLiteral("edtValue"));
    // 255 GBK bytes, counted and told by the validator: a cap in characters would cut a long
    // paste without a word.
    edit->setValidator(new GbkLengthValidator(255, edit));
    edit->setGeometry(left, label->geometry().bottom() + 1 + 5, maxLabelWidth, edit->sizeHint().height());
    label->setBuddy(edit);
    edit->selectAll();

    const int buttonTop = edit->geometry().bottom() + 1 + 15;
    const int buttonWidth = MulDiv(50, x, 4);
    const int buttonHeight = MulDiv(14, y, 8);
    auto* ok = new QPushButton(QStringLiteral("确定(&O)"), dlg);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    ok->setGeometry(MulDiv(38, x, 4), buttonTop, buttonWidth, buttonHeight);
    QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::accept);
    auto* cancel = new QPushButton(QStringLiteral("取消(&C)"), dlg);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    cancel->setAutoDefault(false);
    cancel->setGeometry(MulDiv(92, x, 4), buttonTop, buttonWidth, buttonHeight);
    QObject::connect(cancel, &QPushButton::clicked, dlg, &QDialog::reject); // Escape rejects too

    dlg->setFixedSize(clientWidth, buttonTop + buttonHeight + 13);
    QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        dlg->move(area.center() - QPoint(dlg->width() / 2, dlg->height() / 2));
    }
    edit->setFocus();
    return dlg;
}

PromptAnswer RunInputDialog(const PromptCall& call, QWidget* parent)
{
    ModalDialog<QDialog> dlg(CreateInputDialog(call.caption, call.text, call.preset, parent ? parent : boxOwner()));
    PromptAnswer a;
    const int result = dlg.exec();
    // A dialog its owner freed meanwhile counts as cancelled.
    a.accepted = dlg && result == QDialog::Accepted;
    if (a.accepted) a.text = dlg->findChild<QLineEdit*>(QStringLiteral("edtValue"))->text();
    return a;
}

QString InputText(const QString& caption, const QString& prompt, const QString& preset)
{
    QString value = preset;
    return InputQueryText(caption, prompt, preset, value) ? value : QString();
}

bool InputQueryText(const QString& caption, const QString& prompt, const QString& preset, QString& value)
{
    QString edited = preset;
    if (!promptInput(caption, prompt, edited, boxOwner())) return false;
    value = edited;
    return true;
}

// --- texts ----------------------------------------------------------------------------------

QStringList SplitText(const QString& text, QChar separator, bool keepEmpty)
{
    QStringList parts;
    QString rest = text;
    while (!rest.isEmpty()) {
        const qsizetype i = rest.indexOf(separator);
        const QString part = i < 0 ? rest : rest.left(i);
        if (!part.isEmpty() || keepEmpty) parts << part;
        rest = i < 0 ? QString() : rest.mid(i + 1);
    }
    return parts;
}

void AddSplitText(QStringList* list, const QString& text, QChar separator)
{
    if (!list || text.isEmpty()) return;
    *list << SplitText(text, separator, false);
}

QString SplitLeftRight(const QString& text, const QString& separator, const QString& side)
{
    const qsizetype i = separator.isEmpty() ? -1 : text.indexOf(separator);
    if (i < 0) return text;
    if (side.compare(QLatin1String("L"), Qt::CaseInsensitive) == 0) return text.left(i);
    return text.mid(i + separator.size());
}

QString LeftOfChar(const QString& text, QChar c)
{
    const qsizetype i = text.indexOf(c);
    return i < 0 ? QString() : text.left(i);
}

QString RightOfChar(const QString& text, QChar c)
{
    const qsizetype i = text.indexOf(c);
    return i < 0 ? text : text.mid(i + 1);
}

QString ReplaceText(const QString& text, const QString& search, const QString& replacement, bool caseSensitive)
{
    if (search.isEmpty()) return text;
    const Qt::CaseSensitivity cs = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype i = text.indexOf(search, from, cs);
        if (i < 0) break;
        out += QStringView(text).mid(from, i - from);
        out += replacement;
        from = i + search.size();
    }
    out += QStringView(text).mid(from);
    return out;
}

// --- files ----------------------------------------------------------------------------------

QString JoinPath(const QString& dir, const QString& file)
{
    if (dir.isEmpty()) return file;
    if (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\'))) return dir + file;
    return dir + QLatin1Char('/') + file;
}

bool CopyFileTo(const QString& source, const QString& target)
{
    namespace fs = std::filesystem;
    const fs::path from(QFile::encodeName(source).toStdString());
    const fs::path to(QFile::encodeName(target).toStdString());
    std::error_code ec;
    if (!fs::is_regular_file(from, ec)) return false;
    if (fs::exists(to, ec) && fs::equivalent(from, to, ec)) return false;
    return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec) && !ec;
}

qint64 GetFileSizeOf(const QString& path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly)) return -1;
    return f.size();
}

// --- controls -------------------------------------------------------------------------------

void ResetImeNames(QWidget*, const QString&) {}
