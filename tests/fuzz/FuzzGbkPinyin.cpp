// GBK conversion and pinyin initials with any bytes, and the width check of a one-line box with
// any text pasted into it: no over-read, a box never holds more GBK bytes than its width or text
// GBK cannot store, and a paste that is not kept whole is told.
#include "platform/text/Gbk.h"
#include "platform/text/Pinyin.h"
#include "tests/fuzz/FuzzCommon.h"

#include <QLineEdit>

#include <memory>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    fuzz::ensureApp(true);
    const int width = 1 + data[0] % 40;
    const auto in = fuzz::pieces(data + 1, size - 1, 3);

    // Raw bytes as GBK: decoding, initials and matching read only what they were given.
    const QString decoded = Gbk::decode(in[0]);
    (void)PinyinInitials(in[0]);
    (void)MatchesInitials(in[0], in[1]);
    for (qsizetype i = 0; i + 1 < in[0].size(); i += 2) (void)PinyinInitial(in[0].constData() + i, 2);

    // Text as the user has it: encoding, widths and cuts agree with each other.
    const QString text = fuzz::text(in[2]);
    bool ok = false;
    const QByteArray bytes = Gbk::encode(text, &ok);
    if (ok != Gbk::canEncode(text)) fuzz::fail("encode and canEncode disagree", text);
    if (ok && bytes.size() != Gbk::byteLength(text)) fuzz::fail("byte length differs from the encoding", text);
    if (ok && Gbk::decode(bytes) != text) fuzz::fail("GBK round trip changed the text", text);
    const QString cut = Gbk::leftBytes(text, width);
    if (!text.startsWith(cut) || (Gbk::canEncode(cut) && Gbk::byteLength(cut) > width))
        fuzz::fail("leftBytes is no prefix that fits", text);
    (void)PinyinInitials(text);
    (void)InitialsMatches(QStringList{decoded, text, u"面霜"_s}, fuzz::text(in[1]));

    // The text typed into a box of that width.
    // A fresh box each time: a kept one would pile up its undo history over a long run.
    auto box = std::make_unique<QLineEdit>();
    auto* validator = new GbkLengthValidator(width, box.get(), (data[0] & 0x80) != 0);
    box->setValidator(validator);
    bool told = false;
    QObject::connect(validator, &GbkLengthValidator::refused, box.get(), [&told] { told = true; });
    box->insert(text);
    const QString held = box->text();
    if (!Gbk::canEncode(held) || Gbk::byteLength(held) > width)
        fuzz::fail("a box holds text it cannot store", held);
    const bool digitsOnly = data[0] & 0x80;
    if (digitsOnly) {
        for (QChar ch : held)
            if (!ch.isDigit()) fuzz::fail("a digits-only box holds another character", held);
    } else if (held != text && !told && !text.isEmpty()) {
        // Composing, and breaks, controls and odd blanks turned into blanks, are a repair the
        // user sees in place; anything else left out must be told.
        const auto plain = [](QString t) {
            t = t.normalized(QString::NormalizationForm_C);
            t.replace(u"\r\n"_s, u" "_s);
            for (QChar& ch : t)
                if (ch.category() == QChar::Other_Control || ch.category() == QChar::Separator_Line
                    || ch.category() == QChar::Separator_Paragraph || ch.category() == QChar::Separator_Space)
                    ch = u' ';
            return t;
        };
        if (plain(held) != plain(text)) fuzz::fail("a paste was changed without a word", text + u" -> "_s + held);
    }
    return 0;
}
