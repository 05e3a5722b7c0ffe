// GBK widths of one-line boxes: what typing and pasting keep, and that every refusal is told.
#include "platform/text/Gbk.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Box {
    QLineEdit edit;
    GbkLengthValidator* v;
    QSignalSpy* told;
    explicit Box(int width, bool digits = false)
        : v(new GbkLengthValidator(width, &edit, digits)),
          told(new QSignalSpy(v, &GbkLengthValidator::refused))
    {
        edit.setValidator(v);
    }
    ~Box() { delete told; }
    QString lastMessage() const { return told->isEmpty() ? QString() : told->last().at(0).toString(); }
    void paste(const QString& text)
    {
        QGuiApplication::clipboard()->setText(text);
        edit.paste();
    }
};

} // namespace

TEST(Gbk, LoneSurrogatesCannotBeStored)
{
    const QString lone = u"a"_s + QChar(0xD83D) + u"b"_s;
    EXPECT_FALSE(Gbk::canEncode(lone));
    EXPECT_FALSE(Gbk::canEncode(QString(QChar(0xDE00))));
    EXPECT_EQ(Gbk::byteLength(lone), 4);
    // A whole pair is one character GBK has no code for either, counted as two bytes.
    EXPECT_FALSE(Gbk::canEncode(u"😀"_s));
    EXPECT_TRUE(Gbk::canEncode(u"很好用推荐é"_s));
}

TEST(GbkLengthValidator, PasteTooLongIsCutAtTheLastWholeCharacterAndTold)
{
    Box b(10);
    b.edit.insert(u"ab"_s);
    b.paste(u"中文字符串很长"_s); // 14 bytes into the 8 left
    EXPECT_EQ(b.edit.text(), u"ab中文字符"_s);
    EXPECT_EQ(b.lastMessage(), GbkLengthValidator::cutText(10));

    // One byte left: a two-byte character does not fit and is not split; the refusal is told.
    Box c(5);
    c.edit.insert(u"abcd"_s);
    c.told->clear();
    c.paste(u"中"_s);
    EXPECT_EQ(c.edit.text(), u"abcd"_s);
    EXPECT_EQ(c.lastMessage(), GbkLengthValidator::tooLongText(5));

    // A 10 kB paste into the middle keeps both ends of what was there.
    Box d(100);
    d.edit.insert(u"头尾"_s);
    d.edit.setCursorPosition(1);
    d.paste(QString(10000, u'x'));
    EXPECT_EQ(Gbk::byteLength(d.edit.text()), 100);
    EXPECT_TRUE(d.edit.text().startsWith(u"头x"_s));
    EXPECT_TRUE(d.edit.text().endsWith(u"x尾"_s));
    EXPECT_EQ(d.edit.cursorPosition(), d.edit.text().size() - 1);
}

TEST(GbkLengthValidator, TypingIntoAFullBoxIsRefusedWithAMessage)
{
    Box b(4);
    b.edit.show();
    QTest::keyClicks(&b.edit, u"abcdef"_s);
    EXPECT_EQ(b.edit.text(), u"abcd"_s);
    EXPECT_EQ(b.told->size(), 2);
    EXPECT_EQ(b.lastMessage(), GbkLengthValidator::tooLongText(4));
}

TEST(GbkLengthValidator, CharactersGbkCannotStoreAreLeftOutAndNamed)
{
    Box b(100);
    b.paste(u"很好用😀推荐"_s);
    EXPECT_EQ(b.edit.text(), u"很好用推荐"_s);
    ASSERT_EQ(b.told->size(), 1);
    EXPECT_EQ(b.lastMessage(), GbkLengthValidator::cannotStoreText(u"“😀”(U+1F600)"_s));

    // A typed character that alone cannot be stored changes nothing, but says so.
    b.told->clear();
    b.edit.insert(u"ñ"_s);
    EXPECT_EQ(b.edit.text(), u"很好用推荐"_s);
    EXPECT_EQ(b.lastMessage(), GbkLengthValidator::cannotStoreText(u"“ñ”(U+00F1)"_s));

    // An accent typed after its letter composes a character GBK has.
    b.edit.clear();
    b.edit.insert(u"e\u0301"_s);
    EXPECT_EQ(b.edit.text(), u"é"_s);
}

TEST(GbkLengthValidator, BreaksTabsAndControlsBecomeBlanks)
{
    Box b(40);
    b.paste(u"第一行\r\n第二行\tA\u0001B\nC\u00A0D"_s);
    EXPECT_EQ(b.edit.text(), u"第一行 第二行 A B C D"_s);
    EXPECT_TRUE(b.told->isEmpty());
}

TEST(GbkLengthValidator, TextSetByTheProgramIsKeptButNotAcceptable)
{
    Box b(6);
    b.edit.setText(u"一二三四"_s); // a longer value loaded from the database
    EXPECT_EQ(b.edit.text(), u"一二三四"_s);
    EXPECT_FALSE(b.edit.hasAcceptableInput());
    EXPECT_TRUE(b.told->isEmpty());
    // Deleting from it is allowed; adding to it is not.
    b.edit.end(false);
    b.edit.insert(u"五"_s);
    EXPECT_EQ(b.edit.text(), u"一二三四"_s);
    b.edit.backspace();
    EXPECT_EQ(b.edit.text(), u"一二三"_s);
    EXPECT_TRUE(b.edit.hasAcceptableInput());
}

TEST(GbkLengthValidator, DigitBoxesAndComboBoxes)
{
    Box b(6, true);
    b.paste(u"12a3"_s);
    EXPECT_EQ(b.edit.text(), QString());
    EXPECT_EQ(b.lastMessage(), GbkLengthValidator::digitsOnlyText(u"12a3"_s)); // refused, and said so
    b.paste(u"12345678"_s);
    EXPECT_EQ(b.edit.text(), u"123456"_s);
    EXPECT_EQ(b.lastMessage(), GbkLengthValidator::cutText(6));

    QComboBox combo;
    combo.setEditable(true);
    auto* v = new GbkLengthValidator(4, &combo);
    combo.setValidator(v);
    QSignalSpy spy(v, &GbkLengthValidator::refused);
    combo.lineEdit()->insert(u"#,##0.00"_s);
    EXPECT_EQ(combo.currentText(), u"#,##"_s);
    EXPECT_EQ(spy.size(), 1);
}
