// Message boxes, the input dialog and the text and file helpers.
#include "framework/SharedUtils.h"
#include "host/include/Appres.h"
#include "platform/text/Gbk.h"
#include "tests/support/TestSupport.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

class SharedUtilsTest : public HostTest {};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// --- message boxes --------------------------------------------------------------------------

TEST_F(SharedUtilsTest, BoxesCarryTheProductNameAndTheirFlags)
{
    prompts->pushButton(MsgResult::Yes);
    EXPECT_TRUE(AskYesNo(QStringLiteral("确定删除吗？")));
    prompts->pushButton(MsgResult::No);
    EXPECT_FALSE(AskYesNoDefaultNo(QStringLiteral("确定删除吗？")));
    prompts->pushButton(MsgResult::Cancel);
    EXPECT_EQ(MsgBox(QStringLiteral("继续？"), MsgFlags::OKCancel), MsgResult::Cancel);
    ShowErrorMsg(QStringLiteral("保存失败！"));
    ShowWarningMsg(QStringLiteral("请输入机构编码！"));
    ShowInfoMsg(QStringLiteral("保存成功！"));
    ASSERT_EQ(prompts->calls.size(), 6u);
    const int flags[] = {36, 292, 1, 16, 48, 64};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(prompts->calls[i].kind, PromptKind::Message);
        EXPECT_EQ(prompts->calls[i].caption, UGetProductName_CH());
        EXPECT_EQ(prompts->calls[i].flags, flags[i]) << i;
    }
    EXPECT_EQ(prompts->calls[3].text, QStringLiteral("保存失败！"));
}

TEST_F(SharedUtilsTest, BlankTextsShowNoErrorWarningOrInformationBox)
{
    ShowErrorMsg(QStringLiteral("   "));
    ShowWarningMsg(QString());
    ShowInfoMsg(QStringLiteral(" \t\r\n"));
    EXPECT_TRUE(prompts->calls.empty());
    MsgBox(QStringLiteral("   "), MsgFlags::OK); // the plain box shows whatever it is given
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_EQ(prompts->calls[0].text, QStringLiteral("   "));
}

// --- text input -----------------------------------------------------------------------------

TEST_F(SharedUtilsTest, InputTextAnswersTheEditedTextOrEmptyWhenCancelled)
{
    prompts->pushText(QStringLiteral("我的条件"));
    EXPECT_EQ(InputText(QStringLiteral("保存条件"), QStringLiteral("条件名称"), QStringLiteral("条件1")),
              QStringLiteral("我的条件"));
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_EQ(prompts->calls[0].kind, PromptKind::Input);
    EXPECT_EQ(prompts->calls[0].caption, QStringLiteral("保存条件"));
    EXPECT_EQ(prompts->calls[0].text, QStringLiteral("条件名称"));
    EXPECT_EQ(prompts->calls[0].preset, QStringLiteral("条件1"));

    prompts->pushText(QStringLiteral("忽略"), false);
    EXPECT_EQ(InputText(QStringLiteral("保存条件"), QStringLiteral("条件名称"), QStringLiteral("条件1")), QString());

    QString value = QStringLiteral("旧值");
    prompts->pushText(QStringLiteral("忽略"), false);
    EXPECT_FALSE(InputQueryText(QStringLiteral("c"), QStringLiteral("p"), QStringLiteral("预设"), value));
    EXPECT_EQ(value, QStringLiteral("旧值"));
    prompts->pushText(QString());
    EXPECT_TRUE(InputQueryText(QStringLiteral("c"), QStringLiteral("p"), QStringLiteral("预设"), value));
    EXPECT_EQ(value, QString());
}

TEST_F(SharedUtilsTest, TheQtPrompterShowsTheModulesInputDialog)
{
    prompts.reset(); // the real dialogs
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(9);
    const QFontMetrics fm(font);
    const int x = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
    const int y = fm.height();

    int seen = 0;
    setModalHook([&](QDialog* d) {
        ++seen;
        EXPECT_EQ(d->windowTitle(), QStringLiteral("另存为"));
        EXPECT_EQ(d->font().family(), QStringLiteral("宋体"));
        EXPECT_EQ(d->font().pointSize(), 9);
        auto* label = d->findChild<QLabel*>(QStringLiteral("lblPrompt"));
        auto* edit = d->findChild<QLineEdit*>(QStringLiteral("edtValue"));
        auto* ok = d->findChild<QPushButton*>(QStringLiteral("btnOK"));
        auto* cancel = d->findChild<QPushButton*>(QStringLiteral("btnCancel"));
        EXPECT_TRUE(label && edit && ok && cancel);
        if (!(label && edit && ok && cancel)) return int(QDialog::Rejected);
        EXPECT_EQ(label->text(), QStringLiteral("格式名称："));
        EXPECT_EQ(edit->text(), QStringLiteral("缺省格式"));
        EXPECT_EQ(edit->selectedText(), QStringLiteral("缺省格式"));
        EXPECT_EQ(ok->text(), QStringLiteral("确定(&O)"));
        EXPECT_EQ(cancel->text(), QStringLiteral("取消(&C)"));
        EXPECT_TRUE(ok->isDefault());
        EXPECT_FALSE(cancel->isDefault());
        // Layout in dialog units of the dialog font.
        EXPECT_EQ(d->width(), MulDiv(180, x, 4));
        EXPECT_EQ(label->x(), MulDiv(8, x, 4));
        EXPECT_EQ(label->y(), MulDiv(8, y, 8));
        EXPECT_LE(label->width(), MulDiv(164, x, 4));
        EXPECT_EQ(edit->x(), label->x());
        EXPECT_EQ(edit->y(), label->geometry().bottom() + 1 + 5);
        EXPECT_EQ(edit->width(), MulDiv(164, x, 4));
        EXPECT_EQ(ok->geometry(), QRect(MulDiv(38, x, 4), edit->geometry().bottom() + 1 + 15, MulDiv(50, x, 4), MulDiv(14, y, 8)));
        EXPECT_EQ(cancel->geometry().left(), MulDiv(92, x, 4));
        EXPECT_EQ(cancel->geometry().top(), ok->geometry().top());
        EXPECT_EQ(d->height(), ok->geometry().bottom() + 1 + 13);
        // At most 255 GBK bytes: 127 Chinese characters fit, a 128th typed is not taken.
        EXPECT_TRUE(edit->validator());
        if (!edit->validator()) return int(QDialog::Rejected);
        edit->setText(QString(127, QChar(0x738B)));
        QString text = edit->text();
        int pos = 0;
        EXPECT_EQ(edit->validator()->validate(text, pos), QValidator::Acceptable);
        edit->setCursorPosition(127);
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x738B)));
        QApplication::sendEvent(edit, &typed);
        EXPECT_EQ(edit->text(), QString(127, QChar(0x738B)));

        edit->setText(QStringLiteral("促销格式"));
        if (seen == 1) ok->click(); else cancel->click();
        return d->result();
    });
    EXPECT_EQ(InputText(QStringLiteral("另存为"), QStringLiteral("格式名称："), QStringLiteral("缺省格式")),
              QStringLiteral("促销格式"));
    EXPECT_EQ(InputText(QStringLiteral("另存为"), QStringLiteral("格式名称："), QStringLiteral("缺省格式")), QString());
    EXPECT_EQ(seen, 2);
}

TEST_F(SharedUtilsTest, LongPromptsWrapWithinTheDialog)
{
    const QString prompt = QString(200, QChar(0x6761));
    std::unique_ptr<QDialog> d(CreateInputDialog(QStringLiteral("c"), prompt, QString()));
    auto* label = d->findChild<QLabel*>(QStringLiteral("lblPrompt"));
    auto* edit = d->findChild<QLineEdit*>(QStringLiteral("edtValue"));
    ASSERT_TRUE(label && edit);
    EXPECT_LE(label->geometry().right(), d->width());
    EXPECT_GT(label->height(), 3 * QFontMetrics(d->font()).height());
    EXPECT_GT(edit->y(), label->geometry().bottom());
}

TEST(MulDiv, RoundsToTheNearestHalvesAwayFromZero)
{
    EXPECT_EQ(MulDiv(180, 7, 4), 315);
    EXPECT_EQ(MulDiv(5, 1, 2), 3);
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(14, 13, 8), 23); // 22.75
    EXPECT_EQ(MulDiv(8, 13, 8), 13);
    EXPECT_EQ(MulDiv(1, 2, 0), -1);
}

// --- texts ----------------------------------------------------------------------------------

TEST(SplitText, EmptyPartsOnlyWithKeepEmptyAndNeverATrailingOne)
{
    EXPECT_EQ(SplitText(QStringLiteral("a,,b,"), QLatin1Char(','), true), (QStringList{u"a"_s, u""_s, u"b"_s}));
    EXPECT_EQ(SplitText(QStringLiteral("a,,b,"), QLatin1Char(','), false), (QStringList{u"a"_s, u"b"_s}));
    EXPECT_EQ(SplitText(QStringLiteral(",a"), QLatin1Char(','), true), (QStringList{u""_s, u"a"_s}));
    EXPECT_EQ(SplitText(QStringLiteral(","), QLatin1Char(','), true), QStringList{u""_s});
    EXPECT_EQ(SplitText(QString(), QLatin1Char(','), true), QStringList{});
    EXPECT_EQ(SplitText(QStringLiteral("王芳|李明"), QLatin1Char('|'), false), (QStringList{u"王芳"_s, u"李明"_s}));

    QStringList list{QStringLiteral("x")};
    AddSplitText(&list, QStringLiteral("|a||b|"), QLatin1Char('|'));
    EXPECT_EQ(list, (QStringList{u"x"_s, u"a"_s, u"b"_s}));
    AddSplitText(&list, QString(), QLatin1Char('|'));
    EXPECT_EQ(list.size(), 3);
    AddSplitText(nullptr, QStringLiteral("a|b"), QLatin1Char('|'));
}

TEST(SplitLeftRight, CodeAndNameAroundTheFirstSeparator)
{
    const QString item = QStringLiteral("0101-一楼化妆品");
    EXPECT_EQ(SplitLeftRight(item, QStringLiteral("-"), QStringLiteral("L")), QStringLiteral("0101"));
    EXPECT_EQ(SplitLeftRight(item, QStringLiteral("-"), QStringLiteral("l")), QStringLiteral("0101"));
    EXPECT_EQ(SplitLeftRight(item, QStringLiteral("-"), QStringLiteral("R")), QStringLiteral("一楼化妆品"));
    EXPECT_EQ(SplitLeftRight(item, QStringLiteral("-"), QString()), QStringLiteral("一楼化妆品"));
    EXPECT_EQ(SplitLeftRight(QStringLiteral("a-b-c"), QStringLiteral("-"), QStringLiteral("R")), QStringLiteral("b-c"));
    EXPECT_EQ(SplitLeftRight(QStringLiteral("<全部>"), QStringLiteral("-"), QStringLiteral("L")), QStringLiteral("<全部>"));
    EXPECT_EQ(SplitLeftRight(QStringLiteral("<全部>"), QStringLiteral("-"), QStringLiteral("R")), QStringLiteral("<全部>"));
    EXPECT_EQ(SplitLeftRight(item, QString(), QStringLiteral("L")), item);
}

TEST(CharSplit, LeftIsEmptyAndRightIsWholeWhenTheCharacterIsMissing)
{
    EXPECT_EQ(LeftOfChar(QStringLiteral("OP07|数量"), QLatin1Char('|')), QStringLiteral("OP07"));
    EXPECT_EQ(RightOfChar(QStringLiteral("OP07|数量|x"), QLatin1Char('|')), QStringLiteral("数量|x"));
    EXPECT_EQ(LeftOfChar(QStringLiteral("abc"), QLatin1Char('|')), QString());
    EXPECT_EQ(RightOfChar(QStringLiteral("abc"), QLatin1Char('|')), QStringLiteral("abc"));
    EXPECT_EQ(LeftOfChar(QStringLiteral("|abc"), QLatin1Char('|')), QString());
    EXPECT_EQ(RightOfChar(QStringLiteral("abc|"), QLatin1Char('|')), QString());
}

TEST(ReplaceText, EveryOccurrenceLeftToRightWithoutRescanning)
{
    EXPECT_EQ(ReplaceText(QStringLiteral("试用|数量||合计"), QStringLiteral("|"), QString(), true), QStringLiteral("试用数量合计"));
    EXPECT_EQ(ReplaceText(QStringLiteral("aaa"), QStringLiteral("a"), QStringLiteral("aa"), true), QStringLiteral("aaaaaa"));
    EXPECT_EQ(ReplaceText(QStringLiteral("aaaa"), QStringLiteral("aa"), QStringLiteral("a"), true), QStringLiteral("aa"));
    EXPECT_EQ(ReplaceText(QStringLiteral("Where where WHERE"), QStringLiteral("where"), QStringLiteral("and"), false),
              QStringLiteral("and and and"));
    EXPECT_EQ(ReplaceText(QStringLiteral("Where where WHERE"), QStringLiteral("where"), QStringLiteral("and"), true),
              QStringLiteral("Where and WHERE"));
    EXPECT_EQ(ReplaceText(QStringLiteral("abc"), QString(), QStringLiteral("x"), true), QStringLiteral("abc"));
    EXPECT_EQ(ReplaceText(QString(), QStringLiteral("a"), QStringLiteral("x"), true), QString());
}

// --- files ----------------------------------------------------------------------------------

TEST(JoinPath, InsertsOneSlashUnlessTheFolderEndsInASeparator)
{
    EXPECT_EQ(JoinPath(QStringLiteral("/var/log"), QStringLiteral("SysErr.Log")), QStringLiteral("/var/log/SysErr.Log"));
    EXPECT_EQ(JoinPath(QStringLiteral("/var/log/"), QStringLiteral("SysErr.Log")), QStringLiteral("/var/log/SysErr.Log"));
    EXPECT_EQ(JoinPath(QStringLiteral("C:\\Temp\\"), QStringLiteral("a.col")), QStringLiteral("C:\\Temp\\a.col"));
    EXPECT_EQ(JoinPath(QString(), QStringLiteral("a.col")), QStringLiteral("a.col"));
    EXPECT_EQ(JoinPath(QStringLiteral("rel"), QString()), QStringLiteral("rel/"));
}

TEST(FileHelpers, CopyOverwritesAndSizesAreMinusOneWhenUnreadable)
{
    const QString dir = testTempDir();
    const QString a = dir + QStringLiteral("/a.bin"), b = dir + QStringLiteral("/b.bin");
    writeFile(a, QByteArray(3000, 'a'));
    writeFile(b, "old target, longer than nothing");
    EXPECT_TRUE(CopyFileTo(a, b));
    EXPECT_EQ(readFile(b), QByteArray(3000, 'a'));
    EXPECT_EQ(GetFileSizeOf(b), 3000);

    EXPECT_FALSE(CopyFileTo(dir + QStringLiteral("/missing"), b));
    EXPECT_EQ(readFile(b), QByteArray(3000, 'a'));
    EXPECT_FALSE(CopyFileTo(a, dir + QStringLiteral("/no/such/folder/c.bin")));
    // Never onto itself (that would empty the file).
    EXPECT_FALSE(CopyFileTo(a, dir + QStringLiteral("/./a.bin")));
    EXPECT_EQ(GetFileSizeOf(a), 3000);

    writeFile(b, QByteArray());
    EXPECT_EQ(GetFileSizeOf(b), 0);
    EXPECT_EQ(GetFileSizeOf(dir + QStringLiteral("/missing")), -1);
    EXPECT_EQ(GetFileSizeOf(dir), -1);
    EXPECT_EQ(GetFileSizeOf(QString()), -1);
}
