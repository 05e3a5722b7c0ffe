#include "platform/text/Pinyin.h"

#include "platform/text/Gbk.h"

#include <gtest/gtest.h>


namespace {

QByteArray initialOf(int lead, int trail)
{
    const char b[2] = {char(lead), char(trail)};
    return PinyinInitial(b, 2);
}

QString u(const char* s) { return QString::fromUtf8(s); }

} // namespace

TEST(PinyinInitial, OneByteCharacters)
{
    for (int b = 1; b < 256; ++b) {
        const char c = char(b);
        const bool kept = b == '(' || b == ')' || b == '[' || b == ']' || (b >= '0' && b <= '9')
            || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
        EXPECT_EQ(PinyinInitial(&c, 1), kept ? QByteArray(1, c) : QByteArray()) << b;
    }
    // 128 is a one-byte character even when a byte follows; a lone lead byte at the end too.
    EXPECT_EQ(PinyinInitials(QByteArray("\x80" "A", 2)), QByteArray("A"));
    EXPECT_EQ(PinyinInitials(QByteArray("B\xca")), QByteArray("B"));
}

TEST(PinyinInitial, TrailAndLeadBytesOutsideTheTable)
{
    const QByteArray shu = Gbk::encode(u("数"));
    ASSERT_EQ(shu.size(), 2);
    EXPECT_EQ(initialOf(uchar(shu[0]), uchar(shu[1])), QByteArray("S"));
    EXPECT_TRUE(initialOf(uchar(shu[0]), 63).isEmpty());
    EXPECT_TRUE(initialOf(uchar(shu[0]), 0x30).isEmpty());
    EXPECT_TRUE(initialOf(uchar(shu[0]), 255).isEmpty());
    // Lead 255 has no row in the table.
    for (int t = 64; t < 255; ++t) EXPECT_TRUE(initialOf(255, t).isEmpty()) << t;
    // A two-byte character swallows its trail even when the trail alone would have an initial.
    EXPECT_EQ(PinyinInitials(QByteArray("\xff" "A" "B")), QByteArray("B"));
}

TEST(PinyinInitial, NumberedSymbolsGiveTheFirstDigit)
{
    EXPECT_EQ(PinyinInitials(u("①②⑨⑩")), u("1291"));
    EXPECT_EQ(PinyinInitials(u("⒈⒛⑴⒇")), u("1212"));
    EXPECT_EQ(PinyinInitials(u("ⅰⅹ㈠㈩ⅠⅫ")), u("111111"));
    EXPECT_EQ(PinyinInitials(u("Ⅲ㈤⒌")), u("355"));
    // Unassigned trails of the row and its low half give nothing.
    EXPECT_TRUE(initialOf(0xA2, 0xAB).isEmpty());
    EXPECT_TRUE(initialOf(0xA2, 0xE3).isEmpty());
    EXPECT_TRUE(initialOf(0xA2, 0xFD).isEmpty());
    EXPECT_TRUE(initialOf(0xA2, 0x50).isEmpty());
}

TEST(PinyinInitial, FullWidthFormsAndGreek)
{
    EXPECT_EQ(PinyinInitials(u("ＡｚＺ０９（）［］")), u("AzZ09()[]"));
    EXPECT_EQ(PinyinInitials(u("！＋，｛")), QString());
    EXPECT_EQ(PinyinInitials(u("ΦφΑαΘΩωΨΧ")), u("PPAATOOPK"));
    EXPECT_EQ(PinyinInitials(u("ΒΓΔΗΜΣ")), u("BGDEMS"));
    EXPECT_TRUE(initialOf(0xA6, 0xB9).isEmpty());  // between capitals and small letters
    EXPECT_TRUE(initialOf(0xA6, 0xD9).isEmpty());  // past ω
}

TEST(PinyinInitial, TellingRows)
{
    const struct { const char* ch; const char* initial; } rows[] = {
        {"啊", "A"}, {"中", "Z"}, {"不", "B"}, {"数", "S"}, {"量", "L"}, {"行", "H"},
        {"长", "Z"}, {"重", "Z"}, {"还", "H"}, {"都", "D"}, {"乐", "L"}, {"曾", "C"},
        {"会", "H"}, {"朝", "C"}, {"传", "C"}, {"单", "D"}, {"沈", "S"}, {"屗", "U"},
        {"兝", ""}, {"瓱", ""}};
    for (const auto& r : rows) EXPECT_EQ(PinyinInitials(u(r.ch)), u(r.initial)) << r.ch;
    EXPECT_EQ(PinyinInitials(u("库存数量 (件)")), u("KCSL(J)"));
}

TEST(PinyinInitial, EveryGb2312CharacterHasAnInitialLetter)
{
    int count = 0;
    for (int lead = 0xB0; lead <= 0xF7; ++lead) {
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            if (lead == 0xD7 && trail >= 0xFA) continue;  // the row's five empty cells
            ++count;
            const QByteArray i = initialOf(lead, trail);
            ASSERT_EQ(i.size(), 1) << std::hex << lead << trail;
            EXPECT_TRUE(i[0] >= 'A' && i[0] <= 'Z' && i[0] != 'V') << std::hex << lead << trail;
        }
    }
    EXPECT_EQ(count, 6763);
}

TEST(PinyinInitial, ReadingTableShape)
{
    ASSERT_GT(PyCodeTable::SyllableCount, 300);
    for (int i = 0; i < PyCodeTable::SyllableCount; ++i) {
        const QByteArray s(PyCodeTable::Syllables[i]);
        ASSERT_FALSE(s.isEmpty());
        EXPECT_LE(s.size(), 6);
        for (char c : s) EXPECT_TRUE(c >= 'a' && c <= 'z') << s.constData();
        if (i > 0) {
            EXPECT_LT(QByteArray(PyCodeTable::Syllables[i - 1]), s);
        }
    }
    int used = 0;
    for (int n : PyCodeTable::Readings) {
        EXPECT_LE(n, PyCodeTable::SyllableCount);
        used += n != 0;
    }
    EXPECT_GT(used, 20000);
    // The rows decided before the table carry nothing.
    for (int lead : {0xA2, 0xA3, 0xA6}) {
        for (int t = 0; t < PyCodeTable::Trails; ++t)
            EXPECT_EQ(PyCodeTable::Readings[(lead - 129) * PyCodeTable::Trails + t], 0);
    }
}

TEST(FilterByInitials, MatchesOneInitialPerCharacter)
{
    const QStringList list = {u("数量"), u("库存数量"), u("售价")};
    EXPECT_EQ(InitialsMatches(list, u("sl")), QStringList{u("数量")});
    EXPECT_EQ(InitialsMatches(list, u("SL")), QStringList{u("数量")});
    EXPECT_EQ(InitialsMatches(list, u("sJ")), QStringList{u("售价")});
    EXPECT_EQ(InitialsMatches(list, u("kcsl")), QStringList{u("库存数量")});
    EXPECT_TRUE(InitialsMatches(list, u("slx")).isEmpty());  // longer than the entry
    EXPECT_TRUE(InitialsMatches(list, u("l")).isEmpty());
    EXPECT_EQ(InitialsMatches(list, QString()), list);
    EXPECT_EQ(FilterByInitials(list, u("s")), u("数量") + QChar(13) + u("售价"));
    EXPECT_EQ(FilterByInitials(list, u("x")), QString());
}

TEST(FilterByInitials, QuestionMarkMatchesAnyCharacterAndPastTheEnd)
{
    const QStringList list = {u("数量"), u("数"), u("售价"), u("库存"), u("单价")};
    EXPECT_EQ(InitialsMatches(list, u("s?")), (QStringList{u("数量"), u("数"), u("售价")}));
    EXPECT_EQ(InitialsMatches(list, u("?j")), (QStringList{u("售价"), u("单价")}));
    EXPECT_EQ(InitialsMatches(list, u("d???")), QStringList{u("单价")});
}

TEST(FilterByInitials, ACharacterGbkCannotEncodeMatchesNothing)
{
    const QStringList list = {u("数量"), u("售价"), u("AB")};
    // It would be "??" in GBK, which as two question marks matches every entry.
    EXPECT_TRUE(InitialsMatches(list, u("😀")).isEmpty());
    EXPECT_TRUE(InitialsMatches(list, u("s\u00A0")).isEmpty());
    EXPECT_TRUE(FilterByInitials(list, u("ñ")).isEmpty());
}

TEST(FilterByInitials, PrefixRuleAndTypedChineseText)
{
    const QStringList list = {u("数量"), u("库存数量"), u("量具"), u("Amount"), u("amount")};
    EXPECT_EQ(InitialsMatches(list, u("数")), QStringList{u("数量")});
    EXPECT_EQ(InitialsMatches(list, u("量")), QStringList{u("量具")});
    // Case-sensitive prefix; a one-byte entry is found only that way.
    EXPECT_EQ(InitialsMatches(list, u("Am")), QStringList{u("Amount")});
    EXPECT_TRUE(InitialsMatches(list, u("AM")).isEmpty());
}

TEST(FilterByInitials, SymbolsAndMixedEntries)
{
    const QStringList list = {u("Ａ类商品"), u("①号柜"), u("Φ值"), u("A数量"), u("数量")};
    EXPECT_EQ(InitialsMatches(list, u("alsp")), QStringList{u("Ａ类商品")});
    EXPECT_EQ(InitialsMatches(list, u("1hg")), QStringList{u("①号柜")});
    EXPECT_EQ(InitialsMatches(list, u("pz")), QStringList{u("Φ值")});
    // "A" plus the lead byte of 数 is one unit whose only initial is A.
    EXPECT_EQ(InitialsMatches(list, u("a")), (QStringList{u("Ａ类商品"), u("A数量")}));
    EXPECT_EQ(InitialsMatches(list, u("A数")), QStringList{u("A数量")});
}
