// GBK byte semantics: widths, cuts and the pinyin lookup count GBK bytes, not characters.
#pragma once

#include <QByteArray>
#include <QString>
#include <QValidator>

namespace Gbk {
// GBK bytes of s; characters GBK cannot encode make ok false (when given).
QByteArray encode(const QString& s, bool* ok = nullptr);
QString decode(const QByteArray& bytes);
// Length in GBK bytes (an unencodable character counts as 2).
int byteLength(const QString& s);
bool canEncode(const QString& s);
// The longest prefix of s whose GBK encoding fits in maxBytes (never splits a character).
QString leftBytes(const QString& s, int maxBytes);
}

// Refuses text longer than maxBytes GBK bytes, or text GBK cannot encode; optional digits-only.
class GbkLengthValidator : public QValidator {
    Q_OBJECT
public:
    explicit GbkLengthValidator(int maxBytes, QObject* parent = nullptr, bool digitsOnly = false);
    State validate(QString& input, int& pos) const override;
    int maxBytes() const { return m_max; }

private:
    int m_max;
    bool m_digits;
};
