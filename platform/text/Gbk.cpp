#include "platform/text/Gbk.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QToolTip>

#include <iconv.h>
#include <cerrno>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

// iconv descriptors are not thread-safe; all callers run on the UI thread, the mutex is cheap.
struct Converter {
    iconv_t cd;
    std::mutex m;
    Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
};

Converter& toGbk() { static Converter c("GBK", "UTF-8"); return c; }
Converter& fromGbk() { static Converter c("UTF-8", "GBK"); return c; }

// Converts in; on an unconvertible sequence writes replacement bytes and records the failure.
QByteArray run(Converter& c, const QByteArray& in, const QByteArray& replacement, int skipUnit,
               bool* ok)
{
    std::lock_guard lock(c.m);
    if (ok) *ok = true;
    QByteArray out;
    out.reserve(in.size() * 2 + 4);
    char* src = const_cast<char*>(in.constData());
    size_t left = size_t(in.size());
    char buf[1024];
    iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    while (left > 0) {
        char* dst = buf;
        size_t room = sizeof buf;
        size_t r = iconv(c.cd, &src, &left, &dst, &room);
        out.append(buf, int(dst - buf));
        if (r == size_t(-1)) {
            if (errno == E2BIG) continue;
            if (ok) *ok = false;
            out.append(replacement);
            // skip one input character
            size_t skip = 1;
            if (skipUnit == 0) { // UTF-8 input: skip the whole sequence
                unsigned char b = static_cast<unsigned char>(*src);
                skip = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
            }
            skip = std::min(skip, left);
            src += skip;
            left -= skip;
        }
    }
    return out;
}

} // namespace

namespace Gbk {

QByteArray encode(const QString& s, bool* ok)
{
    if (s.isEmpty()) { if (ok) *ok = true; return {}; }
    // A lone surrogate would reach the converter as '?', which GBK stores: it is a character GBK
    // has no code for, like the replacement character that stands for it here.
    QString text = s;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text[i].isSurrogate()) continue;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        text[i] = QChar(QChar::ReplacementCharacter);
    }
    return run(toGbk(), text.toUtf8(), QByteArray("??"), 0, ok);
}

QString decode(const QByteArray& bytes)
{
    return QString::fromUtf8(run(fromGbk(), bytes, QByteArray("?"), 1, nullptr));
}

int byteLength(const QString& s)
{
    int n = 0;
    for (QChar ch : s) n += ch.unicode() < 0x80 ? 1 : 0;
    if (n == s.size()) return n; // ASCII fast path
    return int(encode(s).size());
}

bool canEncode(const QString& s)
{
    bool ok = true;
    encode(s, &ok);
    return ok;
}

QString leftBytes(const QString& s, int maxBytes)
{
    if (maxBytes <= 0) return {};
    int used = 0;
    int i = 0;
    while (i < s.size()) {
        int len = (i + 1 < s.size() && s[i].isHighSurrogate()) ? 2 : 1;
        int b = byteLength(s.mid(i, len));
        if (used + b > maxBytes) break;
        used += b;
        i += len;
    }
    return s.left(i);
}

} // namespace Gbk

namespace {

// A character of a one-line box that stands for a blank: line and paragraph breaks, tabs and
// other control characters, and blanks GBK has no code for (the no-break space).
bool becomesBlank(char32_t c)
{
    const QChar::Category cat = QChar::category(c);
    if (cat == QChar::Other_Control || cat == QChar::Separator_Line || cat == QChar::Separator_Paragraph)
        return true;
    return cat == QChar::Separator_Space && c != U' ' && !Gbk::canEncode(QString::fromUcs4(&c, 1));
}

struct Repair {
    QString text;       // the piece as it may be stored
    QString refused;    // the characters left out, in the system's quoting
};

// What a one-line box keeps of a typed or pasted piece: composed characters (a letter typed
// with a separate accent is one GBK character), blanks for breaks and controls, without the
// characters GBK cannot store.
Repair repairPiece(const QString& piece)
{
    Repair r;
    QString in = piece.normalized(QString::NormalizationForm_C);
    in.replace(QLatin1String("\r\n"), QLatin1String(" "));
    QStringList named;
    for (qsizetype i = 0; i < in.size();) {
        const bool pair = in[i].isHighSurrogate() && i + 1 < in.size() && in[i + 1].isLowSurrogate();
        const qsizetype len = pair ? 2 : 1;
        const QString ch = in.mid(i, len);
        const char32_t c = pair ? QChar::surrogateToUcs4(in[i], in[i + 1]) : in[i].unicode();
        i += len;
        if (becomesBlank(c)) {
            r.text += QLatin1Char(' ');
        } else if (Gbk::canEncode(ch)) {
            r.text += ch;
        } else {
            const QString code = QString::number(uint(c), 16).toUpper().rightJustified(4, QLatin1Char('0'));
            // A lone surrogate cannot be shown; its code says what it was.
            const QString shown = QChar::isSurrogate(c) ? QString() : ch;
            const QString item = u"“"_s + shown + u"”(U+"_s + code + u")"_s;
            if (!named.contains(item)) named << item;
        }
    }
    r.refused = named.join(u"、"_s);
    return r;
}

} // namespace

GbkLengthValidator::GbkLengthValidator(int maxBytes, QObject* parent, bool digitsOnly)
    : QValidator(parent), m_max(maxBytes), m_digits(digitsOnly)
{
    if (QLineEdit* e = edit()) m_last = e->text();
}

QString GbkLengthValidator::tooLongText(int maxBytes)
{
    return u"输入内容已达到最大长度（%1字节）。"_s.arg(maxBytes);
}

QString GbkLengthValidator::cutText(int maxBytes)
{
    return u"输入内容超过最大长度（%1字节），已截去超出的部分。"_s.arg(maxBytes);
}

QString GbkLengthValidator::cannotStoreText(const QString& characters)
{
    return u"字符%1无法保存，未输入。"_s.arg(characters);
}

QLineEdit* GbkLengthValidator::edit() const
{
    if (auto* e = qobject_cast<QLineEdit*>(parent())) return e;
    if (auto* c = qobject_cast<QComboBox*>(parent())) return c->lineEdit();
    return nullptr;
}

void GbkLengthValidator::tell(const QString& message) const
{
    Q_EMIT refused(message);
    QLineEdit* e = edit();
    if (!e) return;
    // A tip at the box: a message box here would open inside the box's own edit.
    QToolTip::showText(e->mapToGlobal(QPoint(0, e->height())), message, e);
}

QString GbkLengthValidator::digitsOnlyText(const QString& refused)
{
    return QStringLiteral("只能输入数字，“%1”未输入。").arg(refused);
}

QValidator::State GbkLengthValidator::validate(QString& input, int& pos) const
{
    const QLineEdit* box = edit();
    // The box marks a change the user made as modified; text set by the program is not, and it
    // is judged without being changed.
    const bool userEdit = box && box->isModified();
    if (!userEdit || input == m_last) {
        if (m_digits) {
            for (QChar c : input)
                if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
        }
        bool ok = true;
        const bool fits = Gbk::encode(input, &ok).size() <= m_max;
        m_last = input;
        return ok && fits ? Acceptable : Intermediate;
    }

    // The changed piece: what lies between the part before it and the part after it that the
    // text shares with the text before the edit. The cursor stands at the end of the piece.
    const QString& old = m_last;
    qsizetype suffix = 0;
    if (pos >= 0 && pos <= input.size() && input.size() - pos <= old.size()
        && old.endsWith(QStringView(input).mid(pos)))
        suffix = input.size() - pos;
    else
        while (suffix < old.size() && suffix < input.size()
               && old[old.size() - 1 - suffix] == input[input.size() - 1 - suffix])
            ++suffix;
    qsizetype prefix = 0;
    const qsizetype prefixRoom = std::min(old.size(), input.size()) - suffix;
    while (prefix < prefixRoom && old[prefix] == input[prefix]) ++prefix;
    // Never split a surrogate pair between the kept parts and the piece.
    if (prefix > 0 && input[prefix - 1].isHighSurrogate()) --prefix;
    if (suffix > 0 && input[input.size() - suffix].isLowSurrogate()) --suffix;
    const QString before = input.left(prefix);
    const QString after = input.right(suffix);
    const QString piece = input.mid(prefix, input.size() - prefix - suffix);

    if (piece.isEmpty()) { // a deletion: what is left may still be too long (a loaded value)
        m_last = input;
        bool ok = true;
        return Gbk::encode(input, &ok).size() <= m_max && ok ? Acceptable : Intermediate;
    }

    const Repair repaired = repairPiece(piece);
    if (m_digits) {
        for (QChar c : repaired.text) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                // A code box takes digits only: the piece is refused whole, and said so.
                tell(digitsOnlyText(repaired.text));
                return Invalid;
            }
        }
    }
    QStringList told;
    if (!repaired.refused.isEmpty()) told << cannotStoreText(repaired.refused);

    const int room = m_max - Gbk::byteLength(before) - Gbk::byteLength(after);
    QString kept = repaired.text;
    if (Gbk::byteLength(kept) > room) {
        kept = Gbk::leftBytes(kept, room);
        told << (kept.isEmpty() ? tooLongText(m_max) : cutText(m_max));
    }
    if (!told.isEmpty()) tell(told.join(QLatin1Char('\n')));
    if (kept.isEmpty()) return Invalid; // nothing of the piece is stored: the box stays as it was

    input = before + kept + after;
    pos = int(before.size() + kept.size());
    m_last = input;
    bool ok = true;
    return Gbk::encode(input, &ok).size() <= m_max && ok ? Acceptable : Intermediate;
}
