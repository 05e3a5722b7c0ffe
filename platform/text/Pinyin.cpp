#include "platform/text/Pinyin.h"

#include "platform/text/Gbk.h"

namespace {

char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool isOneByteInitial(int b)
{
    return b == '(' || b == ')' || b == '[' || b == ']' || (b >= '0' && b <= '9')
        || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// Row 0xA2 of GBK: numbered list symbols (ⅰ, ⒈, ⑴, ①, ㈠, Ⅰ ...); the initial is the first
// digit of the number, so ⑩ gives "1".
QByteArray numberSymbolInitial(int trail)
{
    static const struct { int first, last; } runs[] = {
        {0xA1, 0xAA}, {0xB1, 0xC4}, {0xC5, 0xD8}, {0xD9, 0xE2}, {0xE5, 0xEE}, {0xF1, 0xFC}};
    for (const auto& r : runs) {
        if (trail >= r.first && trail <= r.last) return QByteArray::number(trail - r.first + 1).left(1);
    }
    return {};
}

// Row 0xA6: Greek capitals at trails 0xA1.., small letters at 0xC1..; the initial is the first
// letter of the Latin name (alpha, beta, gamma, ..., phi, chi, psi, omega).
QByteArray greekInitial(int trail)
{
    static const char first[] = "ABGDEZETIKLMNXOPRSTUPKPO";
    int pos = 0;
    if (trail >= 161 && trail <= 184) pos = trail - 160;
    else if (trail >= 193 && trail <= 216) pos = trail - 192;
    return pos ? QByteArray(1, first[pos - 1]) : QByteArray();
}

QByteArray tableInitial(int lead, int trail)
{
    // The table has rows for leads 129..254 only; 255 is no lead of GBK.
    if (lead < 129 || lead > 254 || trail < 64 || trail > 254) return {};
    const int n = PyCodeTable::Readings[(lead - 129) * PyCodeTable::Trails + (trail - 64)];
    if (n < 1 || n > PyCodeTable::SyllableCount) return {};
    return QByteArray(1, asciiUpper(PyCodeTable::Syllables[n - 1][0]));
}

} // namespace


QByteArray PinyinInitial(const char* ch, int size)
{
    if (!ch || size < 1) return {};
    const int lead = static_cast<unsigned char>(ch[0]);
    if (lead <= 128 || size < 2) return isOneByteInitial(lead) ? QByteArray(1, ch[0]) : QByteArray();

    const int trail = static_cast<unsigned char>(ch[1]);
    if (trail < 64 || trail == 255) return {};
    if (lead == 162 && trail > 160) return numberSymbolInitial(trail);
    if (lead == 163 && isOneByteInitial(trail - 128)) return QByteArray(1, char(trail - 128));
    if (lead == 166) {
        const QByteArray g = greekInitial(trail);
        if (!g.isEmpty()) return g;
    }
    return tableInitial(lead, trail);
}

QByteArray PinyinInitials(const QByteArray& gbk)
{
    QByteArray out;
    const char* p = gbk.constData();
    const int n = int(gbk.size());
    for (int i = 0; i < n;) {
        const int size = static_cast<unsigned char>(p[i]) > 128 && i + 1 < n ? 2 : 1;
        out += PinyinInitial(p + i, size);
        i += size;
    }
    return out;
}

QString PinyinInitials(const QString& text)
{
    return QString::fromLatin1(PinyinInitials(Gbk::encode(text)));
}

bool MatchesInitials(const QByteArray& entry, const QByteArray& typed)
{
    if (entry.startsWith(typed)) return true;
    for (int k = 0; k < typed.size(); ++k) {
        if (typed[k] == '?') continue;
        const int pos = 2 * k;
        if (pos >= entry.size()) return false;
        const QByteArray initials = PinyinInitials(entry.mid(pos, 2));
        if (initials.size() != 1 || asciiUpper(initials[0]) != asciiUpper(typed[k])) return false;
    }
    return true;
}

QStringList InitialsMatches(const QStringList& fullList, const QString& typed)
{
    bool ok = true;
    const QByteArray t = Gbk::encode(typed, &ok);
    // A character GBK has no code for would arrive as "??", which matches every entry; no entry
    // has it, so none matches.
    if (!ok) return {};
    QStringList out;
    for (const QString& entry : fullList) {
        if (MatchesInitials(Gbk::encode(entry), t)) out << entry;
    }
    return out;
}

QString FilterByInitials(const QStringList& fullList, const QString& typed)
{
    return InitialsMatches(fullList, typed).join(QChar(13));
}
