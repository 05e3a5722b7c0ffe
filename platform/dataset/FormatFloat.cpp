#include "platform/dataset/FormatFloat.h"

#include <QStringList>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Splits a pattern at ";" outside quotes.
QStringList sections(const QString& p)
{
    QStringList out;
    QString cur;
    QChar quote;
    for (QChar c : p) {
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            cur += c;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
            cur += c;
        } else if (c == u';') {
            out << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    out << cur;
    return out;
}

struct Tok {
    enum Type { Lit, IntDigit, FracDigit, Point, Exp } type;
    QString text;     // Lit
    QChar ph;         // IntDigit/FracDigit: '0' or '#'
    bool expPlus = false;
    int expDigits = 0;
};

struct Section {
    std::vector<Tok> toks;
    int nInt = 0, nFrac = 0, minInt = 0, minFrac = 0;
    bool thousands = false;
    bool exp = false;
};

Section parse(const QString& s)
{
    Section sec;
    bool seenPoint = false;
    bool seenDigit = false;
    int firstZeroInt = -1;
    int lastZeroFrac = -1;
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'"' || c == u'\'') {
            const int end = s.indexOf(c, i + 1);
            const QString lit = s.mid(i + 1, end < 0 ? -1 : end - i - 1);
            sec.toks.push_back(Tok{Tok::Lit, lit, {}});
            i = end < 0 ? s.size() : end;
        } else if (c == u'0' || c == u'#') {
            seenDigit = true;
            if (!seenPoint) {
                if (c == u'0' && firstZeroInt < 0) firstZeroInt = sec.nInt;
                sec.toks.push_back(Tok{Tok::IntDigit, {}, c});
                ++sec.nInt;
            } else {
                if (c == u'0') lastZeroFrac = sec.nFrac;
                sec.toks.push_back(Tok{Tok::FracDigit, {}, c});
                ++sec.nFrac;
            }
        } else if (c == u'.') {
            if (!seenPoint) {
                seenPoint = true;
                sec.toks.push_back(Tok{Tok::Point, {}, {}});
            }
        } else if (c == u',') {
            if (!seenPoint) sec.thousands = true;
        } else if ((c == u'E' || c == u'e') && seenDigit && !sec.exp && i + 1 < s.size() &&
                   (s[i + 1] == u'+' || s[i + 1] == u'-')) {
            Tok t{Tok::Exp, {}, {}};
            t.expPlus = s[i + 1] == u'+';
            i += 2;
            while (i < s.size() && s[i] == u'0') {
                ++t.expDigits;
                ++i;
            }
            --i;
            sec.exp = true;
            sec.toks.push_back(t);
        } else {
            sec.toks.push_back(Tok{Tok::Lit, QString(c), {}});
        }
    }
    sec.minInt = firstZeroInt < 0 ? 0 : sec.nInt - firstZeroInt;
    sec.minFrac = lastZeroFrac + 1;
    return sec;
}

// |v| rounded half away from zero to nFrac decimals on its 15-digit decimal form.
void roundDecimal(double a, int nFrac, std::string& intStr, std::string& fracStr)
{
    intStr.clear();
    fracStr.clear();
    if (a == 0 || !std::isfinite(a)) {
        fracStr.assign(size_t(nFrac), '0');
        return;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", a);
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits += *p;
    const int exp10 = *p == 'e' ? std::atoi(p + 1) : 0;
    int pointPos = exp10 + 1; // digits before the decimal point
    const int keep = pointPos + nFrac;
    if (keep < 0) {
        fracStr.assign(size_t(nFrac), '0');
        return;
    }
    if (keep < int(digits.size())) {
        const bool up = digits[size_t(keep)] >= '5';
        digits.resize(size_t(keep));
        if (up) {
            int k = keep - 1;
            while (k >= 0 && digits[size_t(k)] == '9') digits[size_t(k--)] = '0';
            if (k >= 0) {
                ++digits[size_t(k)];
            } else {
                digits.insert(digits.begin(), '1');
                ++pointPos;
            }
        }
    }
    if (pointPos > 0) {
        std::string d = digits;
        if (int(d.size()) < pointPos) d.append(size_t(pointPos) - d.size(), '0');
        intStr = d.substr(0, size_t(pointPos));
        fracStr = d.substr(size_t(pointPos));
    } else {
        fracStr = std::string(size_t(-pointPos), '0') + digits;
    }
    if (int(fracStr.size()) < nFrac) fracStr.append(size_t(nFrac) - fracStr.size(), '0');
    if (int(fracStr.size()) > nFrac) fracStr.resize(size_t(nFrac));
    size_t nz = 0;
    while (nz < intStr.size() && intStr[nz] == '0') ++nz;
    intStr.erase(0, nz);
}

bool allZero(const std::string& a, const std::string& b)
{
    for (char c : a)
        if (c != '0') return false;
    for (char c : b)
        if (c != '0') return false;
    return true;
}

QString render(const Section& sec, double a, bool minus)
{
    std::string intStr, fracStr;
    int expValue = 0;
    if (sec.exp) {
        const int mantInt = std::max(1, sec.nInt);
        if (a != 0 && std::isfinite(a)) {
            expValue = int(std::floor(std::log10(a))) - (mantInt - 1);
            double m = a / std::pow(10.0, expValue);
            roundDecimal(m, sec.nFrac, intStr, fracStr);
            if (int(intStr.size()) > mantInt) { // rounding carried into another digit
                ++expValue;
                m = a / std::pow(10.0, expValue);
                roundDecimal(m, sec.nFrac, intStr, fracStr);
            }
        } else {
            roundDecimal(0, sec.nFrac, intStr, fracStr);
        }
    } else {
        roundDecimal(a, sec.nFrac, intStr, fracStr);
    }
    while (int(fracStr.size()) > sec.minFrac && !fracStr.empty() && fracStr.back() == '0') fracStr.pop_back();
    if (int(intStr.size()) < sec.minInt) intStr.insert(0, size_t(sec.minInt) - intStr.size(), '0');

    std::string grouped;
    if (sec.thousands) {
        const int n = int(intStr.size());
        for (int i = 0; i < n; ++i) {
            grouped += intStr[size_t(i)];
            const int left = n - 1 - i;
            if (left > 0 && left % 3 == 0) grouped += ',';
        }
    }

    QString out;
    const int L = int(intStr.size());
    const int P = sec.nInt;
    int k = 0; // integer digit positions seen
    int j = 0; // fraction digit positions seen
    bool intDone = false;
    auto emitIntBeforePoint = [&]() {
        if (P == 0 && !intDone) {
            out += QString::fromLatin1(sec.thousands ? grouped.c_str() : intStr.c_str());
            intDone = true;
        }
    };
    for (const Tok& t : sec.toks) {
        switch (t.type) {
        case Tok::Lit: out += t.text; break;
        case Tok::IntDigit: {
            if (sec.thousands) {
                if (k == 0) out += QString::fromLatin1(grouped.c_str());
            } else {
                if (k == 0 && L > P) out += QString::fromLatin1(intStr.substr(0, size_t(L - P)).c_str());
                const int q = P - 1 - k; // position from the right
                if (q < L) out += QLatin1Char(intStr[size_t(L - 1 - q)]);
            }
            ++k;
            intDone = true;
            break;
        }
        case Tok::Point:
            emitIntBeforePoint();
            if (!fracStr.empty()) out += u'.';
            break;
        case Tok::FracDigit:
            emitIntBeforePoint();
            if (j < int(fracStr.size())) out += QLatin1Char(fracStr[size_t(j)]);
            ++j;
            break;
        case Tok::Exp: {
            emitIntBeforePoint();
            out += u'E';
            if (expValue < 0) out += u'-';
            else if (t.expPlus) out += u'+';
            QString e = QString::number(std::abs(expValue));
            while (e.size() < t.expDigits) e.prepend(u'0');
            out += e;
            break;
        }
        }
    }
    if (minus) out.prepend(u'-');
    return out;
}

} // namespace

QString FloatToStr(double v)
{
    if (!std::isfinite(v)) return std::isnan(v) ? QStringLiteral("NAN") : v > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (v == 0) return QStringLiteral("0");
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    QString s = QString::fromLatin1(buf);
    const int e = s.indexOf(u'e');
    if (e >= 0) {
        QString mant = s.left(e);
        int expv = s.mid(e + 1).toInt();
        s = mant + u'E' + QString::number(expv);
    }
    return s;
}

QString FormatFloat(const QString& pattern, double v)
{
    if (pattern.isEmpty()) return FloatToStr(v);
    if (!std::isfinite(v)) return FloatToStr(v);
    const QStringList secs = sections(pattern);
    const Section s0 = parse(secs[0]);
    const double a = std::fabs(v);

    // Zero after rounding with the positive section's decimals: the zero section, never a sign.
    // A scientific pattern shows every value that is not 0 by its mantissa, 1e-20 too.
    bool zero = a == 0;
    if (!s0.exp) {
        std::string i0, f0;
        roundDecimal(a, s0.nFrac, i0, f0);
        zero = allZero(i0, f0);
    }
    if (zero) {
        if (secs.size() > 2 && !secs[2].isEmpty()) return render(parse(secs[2]), 0, false);
        return render(s0, 0, false);
    }
    if (v < 0) {
        if (secs.size() > 1 && !secs[1].isEmpty()) return render(parse(secs[1]), a, false);
        return render(s0, a, true);
    }
    return render(s0, a, false);
}

bool IsValidFloatFormat(const QString& pattern)
{
    QChar quote;
    int semis = 0;
    for (QChar c : pattern) {
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u';') {
            ++semis;
        }
    }
    return quote.isNull() && semis <= 2;
}

QString FormatCurrency(double v)
{
    const QString body = FormatFloat(QStringLiteral("#,##0.00"), std::fabs(v));
    const bool neg = v < 0 && body != QStringLiteral("0.00");
    return (neg ? QStringLiteral("-") : QString()) + QStringLiteral("¥") + body;
}
