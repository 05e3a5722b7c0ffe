// Exit checks run when the focus moves on to another control, and FocusControl returns the
// focus without re-running the check.
#include "module/MISPub.h"
#include "tests/support/TestSupport.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

namespace {

class FocusControlTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        window = std::make_unique<QWidget>();
        auto* l = new QVBoxLayout(window.get());
        a = new QLineEdit(window.get());
        b = new QLineEdit(window.get());
        l->addWidget(a);
        l->addWidget(b);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        a->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(a->hasFocus());
    }
    std::unique_ptr<QWidget> window;
    QLineEdit* a = nullptr;
    QLineEdit* b = nullptr;
};

} // namespace

TEST_F(FocusControlTest, FailedCheckReturnsTheFocusWithoutRunningTheCheckAgain)
{
    int checks = 0;
    SetOnExit(a, [&] {
        ++checks;
        if (a->text().isEmpty()) FocusControl(a);
    });
    b->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(a->hasFocus());

    // Returning the focus to the box that holds it runs nothing either.
    FocusControl(a);
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(a->hasFocus());
    EXPECT_TRUE(HasOnExit(a)); // attached again

    a->setText(QStringLiteral("0101"));
    b->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(checks, 2);
    EXPECT_TRUE(b->hasFocus());
}

TEST_F(FocusControlTest, LosingActivationIsNoExit)
{
    int checks = 0;
    SetOnExit(a, [&] { ++checks; });
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(a, &out);
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QCoreApplication::sendEvent(a, &popup);
    EXPECT_EQ(checks, 0);
    b->setFocus(Qt::BacktabFocusReason);
    EXPECT_EQ(checks, 1);
    // A move by the program is an exit too.
    a->setFocus(Qt::OtherFocusReason);
    b->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(checks, 2);
    SetOnExit(a, {});
    EXPECT_FALSE(HasOnExit(a));
    a->setFocus(Qt::OtherFocusReason);
    b->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(checks, 2);
}

TEST_F(FocusControlTest, AFailingCheckShowsTheErrorBoxInsteadOfEscaping)
{
    SetOnExit(a, [] { throw DbError(QStringLiteral("数据库已断开")); });
    b->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_EQ(prompts->calls[0].text, QStringLiteral("数据库已断开"));
    EXPECT_EQ(prompts->calls[0].caption, QStringLiteral("零售管理系统"));
    EXPECT_EQ(prompts->calls[0].flags & 0xF0, MsgFlags::IconError);
}

TEST_F(FocusControlTest, DisabledOrHiddenControlsAreLeftAlone)
{
    b->setFocus(Qt::OtherFocusReason);
    a->setEnabled(false);
    FocusControl(a);
    EXPECT_TRUE(b->hasFocus());
    a->setEnabled(true);
    a->hide();
    FocusControl(a);
    EXPECT_TRUE(b->hasFocus());
    FocusControl(nullptr);
}
