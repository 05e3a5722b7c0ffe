// The shell's window in-process with the real module loaded beside it: function codes from the
// function register, several forms at once in the work area, the linked-function procedure, the
// session switch.
#include "host/app/MainWindow.h"
#include "host/include/PubProcDll.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Lets queued work (deferred deletes, zero-delay timers) run, as the event loop would.
void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

QAction* formAction(QWidget* form, const char* name)
{
    return form->findChild<QAction*>(QString::fromLatin1(name));
}

using LinkProc = void (*)(const QString&, const QString&, const QString&, const QString&, const QString&,
                          const QString&);

} // namespace

class ShellWindow : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        window = std::make_unique<MainWindow>(u"test"_s);
        window->show();
    }
    void TearDown() override
    {
        if (window) window->closeForms();
        settle();
        window.reset();
        HostTest::TearDown();
    }
    std::unique_ptr<MainWindow> window;
};

TEST_F(ShellWindow, OpensAFunctionWithItsRegisteredCodeAndTheLinkProcedureInItsOwnTab)
{
    EXPECT_EQ(window->functionCode(u"frmTryoutMngShow"_s), u"080101"_s);
    EXPECT_EQ(window->functionCode(u"frmSpRptShow"_s), u"080102"_s);

    QWidget* form = window->openFunction(u"frmTryoutMngShow"_s);
    ASSERT_NE(form, nullptr) << prompts->texts().join(u'\n').toStdString();
    EXPECT_EQ(form->property("FunCode").toString(), u"080101"_s);
    EXPECT_EQ(form->property("LinkFuncProc").value<quintptr>(),
              quintptr(static_cast<LinkProc>(&MainWindow::openLinkedFunction)));
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isWindow()); // in the work area, not a window of its own
    EXPECT_EQ(window->activeForm(), form);
    EXPECT_TRUE(window->findChild<QMdiArea*>()->isAncestorOf(form));
    // Rights come with the code: the head-office user may refresh.
    ASSERT_NE(formAction(form, "actRefresh"), nullptr);
    EXPECT_TRUE(formAction(form, "actRefresh")->isEnabled());

    // A register whose entry row names another library gives no code.
    EXPECT_TRUE(window->closeForms());
    settle();
    TADOQuery q(db.get());
    q.SQL << u"update XtFunction set DllName = 'libother.so' where DllFun = 'frmSpRptShow'"_s;
    q.ExecSQL();
    MainWindow second(u"test"_s);
    EXPECT_TRUE(second.functionCode(u"frmSpRptShow"_s).isEmpty());
    EXPECT_EQ(second.functionCode(u"frmTryoutMngShow"_s), u"080101"_s);
}

TEST_F(ShellWindow, AMissingEntryOrAFunctionWithoutFormIsSaid)
{
    EXPECT_EQ(window->openFunction(u"frmNoSuchShow"_s), nullptr);
    EXPECT_EQ(prompts->texts(), QStringList{u"函数连接错误！"_s});
    EXPECT_TRUE(window->forms().isEmpty());

    if (QWidget* report = window->openFunction(u"frmSpRptShow"_s)) {
        EXPECT_EQ(report->property("FunCode").toString(), u"080102"_s);
    } else {
        ASSERT_EQ(prompts->texts().size(), 2);
        EXPECT_TRUE(prompts->texts()[1].contains(u"frmSpRptShow"_s));
        EXPECT_EQ(prompts->calls.back().flags & 0xF0, MsgFlags::IconError);
    }
}

TEST_F(ShellWindow, TwoRegisterListsWorkSideBySideAndCloseOneByOne)
{
    QWidget* first = window->openFunction(u"frmTryoutMngShow"_s);
    QWidget* second = window->openFunction(u"frmTryoutMngShow"_s);
    ASSERT_TRUE(first && second);
    ASSERT_NE(first, second);
    EXPECT_EQ(window->forms().size(), 2);
    EXPECT_EQ(window->activeForm(), second);

    QPointer<QWidget> gone(first);
    formAction(first, "actClose")->trigger();
    settle();
    EXPECT_TRUE(gone.isNull()); // freed by its close handler, its tab with it
    ASSERT_EQ(window->forms(), QList<QWidget*>{second});
    EXPECT_EQ(window->closedTags(), QList<int>{1});

    // The second still loads and still tells the host when it closes.
    formAction(second, "actRefresh")->trigger();
    EXPECT_TRUE(prompts->texts().isEmpty()) << prompts->texts().join(u'\n').toStdString();
    EXPECT_TRUE(formAction(second, "actConvertToText")->isEnabled());
    EXPECT_TRUE(window->closeForms());
    settle();
    EXPECT_TRUE(window->forms().isEmpty());
    EXPECT_EQ(window->closedTags(), (QList<int>{1, 1}));
}

TEST_F(ShellWindow, LinkedFunctionsOfThisModuleOpenAndOthersAreNamed)
{
    EXPECT_TRUE(isTryoutModule(u"libtryout.so"_s));
    EXPECT_TRUE(isTryoutModule(u"TryOut.dll"_s));
    EXPECT_TRUE(isTryoutModule(u"/usr/lib/x86_64-linux-gnu/tryout/libtryout.so"_s));
    EXPECT_FALSE(isTryoutModule(u"libtryoutx.so"_s));
    EXPECT_FALSE(isTryoutModule(u"libdrawbill.so"_s));
    EXPECT_FALSE(isTryoutModule(QString()));

    MainWindow::openLinkedFunction(u"080103"_s, u"试用品领用单"_s, u"libdrawbill.so"_s, u"frmDrawBillShow"_s, u"1"_s, {});
    settle();
    ASSERT_EQ(prompts->texts().size(), 1);
    const QString said = prompts->texts()[0];
    EXPECT_TRUE(said.contains(u"试用品领用单"_s) && said.contains(u"libdrawbill.so"_s) && said.contains(u"frmDrawBillShow"_s))
        << said.toStdString();
    EXPECT_EQ(prompts->calls[0].flags & 0xF0, MsgFlags::IconInfo);
    // An entry this module does not export is another library's business too.
    MainWindow::openLinkedFunction(u"080199"_s, u"x"_s, u"libtryout.so"_s, u"frmOtherShow"_s, u"1"_s, {});
    settle();
    EXPECT_EQ(prompts->texts().size(), 2);
    EXPECT_TRUE(window->forms().isEmpty());

    // One of this module's: opened as the linked function's code.
    MainWindow::openLinkedFunction(u"089999"_s, u"试用品试用登记"_s, u"TryOut.dll"_s, u"frmTryoutMngShow"_s, u"1"_s, {});
    settle();
    ASSERT_EQ(window->forms().size(), 1);
    EXPECT_EQ(window->forms()[0]->property("FunCode").toString(), u"089999"_s);
    EXPECT_EQ(prompts->texts().size(), 2);
}

TEST_F(ShellWindow, SwitchingTheSessionClosesTheOpenFormsFirstAndRetitlesTheShell)
{
    ASSERT_NE(window->openFunction(u"frmTryoutMngShow"_s), nullptr);
    EXPECT_TRUE(window->windowTitle().contains(u"1001 王芳"_s));

    // First a user who vanished from Staffs while the dialog was open, then a real choice.
    int dialogs = 0;
    setModalHook([&](QDialog* d) {
        ++dialogs;
        EXPECT_EQ(d->windowTitle(), u"切换用户/站点"_s);
        auto* user = d->findChild<QComboBox*>(u"cmbUser"_s);
        user->setCurrentIndex(user->findText(u"1002-李明"_s));
        TADOQuery q(db.get());
        q.SQL << u"delete from Staffs where StaffCode = '1002'"_s;
        q.ExecSQL();
        d->findChild<QPushButton*>(u"btnOK"_s)->click();
        EXPECT_FALSE(d->result() == QDialog::Accepted);
        user->setCurrentIndex(user->findText(u"2001-张丽"_s));
        d->findChild<QRadioButton*>(u"rbShop"_s)->setChecked(true);
        auto* shop = d->findChild<QComboBox*>(u"cmbShop"_s);
        shop->setCurrentIndex(shop->findText(u"0101-一楼化妆品"_s));
        d->findChild<QLineEdit*>(u"edtStation"_s)->setText(u"POS-3"_s);
        d->findChild<QPushButton*>(u"btnOK"_s)->click();
        return d->result();
    });
    window->switchSession();
    settle();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(prompts->texts(), QStringList{u"用户 1002 不存在！"_s});
    EXPECT_EQ(qorSession().userCode, u"2001"_s);
    EXPECT_FALSE(qorSession().isCenter);
    EXPECT_EQ(qorSession().branchNo, u"0101"_s);
    EXPECT_TRUE(window->forms().isEmpty()); // the list opened under 1001 closed before the switch
    EXPECT_EQ(window->closedTags(), QList<int>{1});
    EXPECT_TRUE(window->windowTitle().contains(u"2001 张丽"_s)) << window->windowTitle().toStdString();
    EXPECT_TRUE(window->windowTitle().contains(u"门店 0101 一楼化妆品"_s));
    EXPECT_TRUE(window->windowTitle().contains(u"POS-3"_s));

    // Cancelled: nothing changes, the open form stays.
    ASSERT_NE(window->openFunction(u"frmTryoutMngShow"_s), nullptr);
    setModalHook([](QDialog*) { return int(QDialog::Rejected); });
    window->switchSession();
    EXPECT_EQ(window->forms().size(), 1);
    EXPECT_EQ(qorSession().userCode, u"2001"_s);
}
