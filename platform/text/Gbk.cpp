#include "platform/text/Gbk.h"

#include <iconv.h>
#include <cerrno>
#include <mutex>

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
    return run(toGbk(), s.toUtf8(), QByteArray("??"), 0, ok);
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

GbkLengthValidator::GbkLengthValidator(int maxBytes, QObject* parent, bool digitsOnly)
    : QValidator(parent), m_max(maxBytes), m_digits(digitsOnly) {}

QValidator::State GbkLengthValidator::validate(QString& input, int&) const
{
    if (m_digits) {
        for (QChar c : input)
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
    }
    bool ok = true;
    QByteArray b = Gbk::encode(input, &ok);
    if (!ok) return Invalid;
    return b.size() <= m_max ? Acceptable : Invalid;
}
