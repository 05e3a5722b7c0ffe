#include "query/PyCode.h"

#include "platform/text/Gbk.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QString u(const char* s) { return QString::fromUtf8(s); }

QStringList items(const QComboBox& cmb)
{
    QStringList out;
    for (int i = 0; i < cmb.count(); ++i) out << cmb.itemText(i);
    return out;
}

} // namespace

// The box as the condition frame uses it: typing, no completion of its own, no inserting.
class InitialsBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* lay = new QVBoxLayout(&window);
        cmb = new QComboBox(&window);
        cmb->setEditable(true);
        cmb->setCompleter(nullptr);
        cmb->setInsertPolicy(QComboBox::NoInsert);
        lay->addWidget(cmb);
        lay->addWidget(new QLineEdit(&window));
        cmb->addItems(full);
        cmb->setEditText(QString());
        QObject::connect(cmb, &QComboBox::editTextChanged, cmb, [this] {
            ++changes;
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            ApplyInitialsFilter(cmb, full);
            --depth;
        });
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        cmb->setFocus();
        ASSERT_TRUE(cmb->hasFocus());
    }

    QWidget* popup() const { return QApplication::activePopupWidget(); }

    const QStringList full = {u("单价"), u("数量"), u("库存数量"), u("售价"), u("数据")};
    QWidget window;
    QComboBox* cmb = nullptr;
    int changes = 0, depth = 0, maxDepth = 0;
};

TEST_F(InitialsBox, TypingNarrowsTheListKeepsTheTextAndOpensAPopupLater)
{
    QTest::keyClicks(cmb, QStringLiteral("s"));
    EXPECT_EQ(items(*cmb), (QStringList{u("数量"), u("售价"), u("数据")}));
    EXPECT_EQ(cmb->currentText(), u("s"));
    EXPECT_EQ(changes, 1);          // rebuilding the list fires no change of its own
    EXPECT_EQ(popup(), nullptr);    // opened from the event loop, not inside the handler

    QTest::qWait(20);
    ASSERT_NE(popup(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), cmb);
    auto* view = qobject_cast<QAbstractItemView*>(popup());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->model()->rowCount(), 3);

    // Keys reach the popup while it is open; they go on into the box.
    QTest::keyClick(popup(), Qt::Key_L);
    EXPECT_EQ(cmb->currentText(), u("sl"));
    EXPECT_EQ(cmb->lineEdit()->cursorPosition(), 2);
    EXPECT_EQ(items(*cmb), QStringList{u("数量")});
    QTest::qWait(20);
    ASSERT_NE(popup(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), cmb);
    EXPECT_EQ(qobject_cast<QAbstractItemView*>(popup())->model()->rowCount(), 1);

    // Nothing matches: an empty list and no popup.
    QTest::keyClick(popup(), Qt::Key_X);
    EXPECT_EQ(cmb->currentText(), u("slx"));
    EXPECT_EQ(cmb->count(), 0);
    QTest::qWait(20);
    EXPECT_EQ(popup(), nullptr);
    EXPECT_EQ(changes, 3);
}

TEST_F(InitialsBox, FastTypingNeverReentersTheChangeHandler)
{
    for (const char c : QByteArray("sjx")) {
        QCoreApplication::postEvent(cmb, new QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier,
                                                       QString(QLatin1Char(c))));
    }
    QCoreApplication::postEvent(cmb, new QKeyEvent(QEvent::KeyPress, Qt::Key_Backspace,
                                                   Qt::NoModifier));
    QTest::qWait(50);
    EXPECT_EQ(cmb->currentText(), u("sj"));
    EXPECT_EQ(items(*cmb), (QStringList{u("售价"), u("数据")}));
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(maxDepth, 1);
}

TEST_F(InitialsBox, TextOfAnEntryRestoresTheFullListWithTheMatchesFirst)
{
    QTest::keyClicks(cmb, QStringLiteral("sl"));
    ASSERT_EQ(items(*cmb), QStringList{u("数量")});
    cmb->setEditText(u("数量"));
    EXPECT_EQ(items(*cmb), (QStringList{u("数量"), u("单价"), u("库存数量"), u("售价"), u("数据")}));
    EXPECT_EQ(cmb->currentText(), u("数量"));
    QTest::qWait(20);
    EXPECT_EQ(popup(), nullptr);
}

TEST_F(InitialsBox, EnterTakesTheFirstEntryAndRestoresTheList)
{
    QTest::keyClicks(cmb, QStringLiteral("s"));
    ASSERT_EQ(cmb->count(), 3);
    EXPECT_TRUE(InitialsEnterKey(cmb, full));
    EXPECT_EQ(cmb->currentText(), u("数量"));
    EXPECT_EQ(items(*cmb), (QStringList{u("数量"), u("售价"), u("数据"), u("单价"), u("库存数量")}));
    EXPECT_EQ(changes, 2);           // the new text is a change the frame sees
    QTest::qWait(20);
    EXPECT_EQ(popup(), nullptr);     // the open that the typing asked for is cancelled

    cmb->lineEdit()->selectAll();
    EXPECT_FALSE(InitialsEnterKey(cmb, full));
    cmb->lineEdit()->deselect();
    QTest::keyClicks(cmb, QStringLiteral("q"));
    ASSERT_EQ(cmb->count(), 0);
    EXPECT_FALSE(InitialsEnterKey(cmb, full));
    EXPECT_EQ(cmb->currentText(), u("数量q"));
}

TEST_F(InitialsBox, EnterInThePopup)
{
    QTest::keyClicks(cmb, QStringLiteral("s"));
    QTest::qWait(20);
    ASSERT_NE(popup(), nullptr);
    QTest::keyClick(popup(), Qt::Key_Down);
    QTest::keyClick(popup(), Qt::Key_Down);
    ASSERT_NE(popup(), nullptr);
    QTest::keyClick(popup(), Qt::Key_Return);
    EXPECT_EQ(popup(), nullptr);
    EXPECT_EQ(cmb->currentText(), u("售价"));
    EXPECT_EQ(cmb->count(), full.size());
    EXPECT_EQ(QApplication::focusWidget(), cmb);
}

TEST(RestoreFullList, AddsMissingEntriesIgnoringCaseAndKeepsTheText)
{
    QComboBox cmb;
    cmb.setEditable(true);
    cmb.addItems({u("abc"), u("数量")});
    cmb.setEditText(u("typed"));
    int changes = 0;
    QObject::connect(&cmb, &QComboBox::editTextChanged, [&] { ++changes; });
    RestoreFullList(&cmb, {u("单价"), u("ABC"), u("数量"), u("售价"), u("单价")});
    EXPECT_EQ(items(cmb), (QStringList{u("abc"), u("数量"), u("单价"), u("售价")}));
    EXPECT_EQ(cmb.currentText(), u("typed"));

    // Filling an empty list does not replace the text with the first entry.
    cmb.clear();
    cmb.setEditText(u("sl"));
    changes = 0;
    RestoreFullList(&cmb, {u("单价"), u("数量")});
    EXPECT_EQ(cmb.count(), 2);
    EXPECT_EQ(cmb.currentText(), u("sl"));
    EXPECT_EQ(changes, 0);
}
