// GBK byte semantics: widths, cuts and the pinyin lookup count GBK bytes, not characters.
#pragma once

#include <QByteArray>
#include <QString>
#include <QValidator>

class QLineEdit;

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

// The width check of a one-line box: text longer than maxBytes GBK bytes, or text GBK cannot
// encode, is not acceptable; optional digits-only. What the user types, pastes or drops is
// repaired and the repair is told: line breaks, tabs and control characters become blanks,
// characters GBK cannot store are left out and named, a piece too long is cut at the last whole
// character that fits. Text set by the program (a loaded record) is kept as it is, so that a
// value the database already holds is refused where it is saved, not silently changed.
class GbkLengthValidator : public QValidator {
    Q_OBJECT
public:
    explicit GbkLengthValidator(int maxBytes, QObject* parent = nullptr, bool digitsOnly = false);
    State validate(QString& input, int& pos) const override;
    int maxBytes() const { return m_max; }

    // The message of a refusal or a repair, in the system's words ("" when none).
    static QString tooLongText(int maxBytes);
    static QString cutText(int maxBytes);
    static QString cannotStoreText(const QString& characters);
    static QString digitsOnlyText(const QString& refused);

Q_SIGNALS:
    // A typed or pasted text was cut or refused; the box shows the message as its tip too.
    void refused(const QString& message) const;

private:
    QLineEdit* edit() const;
    void tell(const QString& message) const;

    int m_max;
    bool m_digits;
    mutable QString m_last; // the box's text as last accepted: what an edit changed is the rest
};
