// The scripted mode in-process: values entered as a person enters them, and the runner on the
// shell's own menu and dialogs: message boxes, unknown and disabled names, dialogs a step opens,
// dialogs that bypass the prompter.
#include "host/app/MainWindow.h"
#include "host/app/ShellScript.h"
#include "host/include/PubProcDll.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

template <class W>
W* add(QWidget* parent, const QString& name)
{
    auto* w = new W(parent);
    w->setObjectName(name);
    parent->layout()->addWidget(w);
    return w;
}

ScriptStep set(const QString& name, const QString& value) { return {ScriptStep::Set, name, value}; }
ScriptStep action(const QString& name) { return {ScriptStep::Action, name, {}}; }
ScriptStep answer(const QString& button) { return {ScriptStep::Answer, button, {}}; }
ScriptStep shot(const QString& file) { return {ScriptStep::Screenshot, file, {}}; }

} // namespace

TEST(SetWidgetValue, LineEditsAreTypedIntoSoValidatorsAndWidthsApply)
{
    QWidget top;
    new QVBoxLayout(&top);
    auto* digits = add<QLineEdit>(&top, u"edtDigits"_s);
    digits->setValidator(new QIntValidator(0, 99999, digits));
    auto* narrow = add<QLineEdit>(&top, u"edtNarrow"_s);
    narrow->setMaxLength(4);
    top.show();

    QSignalSpy edited(digits, &QLineEdit::textEdited);
    EXPECT_EQ(setWidgetValue(digits, u"0101"_s), std::nullopt);
    EXPECT_EQ(digits->text(), u"0101"_s);
    EXPECT_EQ(edited.count(), 1); // as typed, not set from code
    EXPECT_TRUE(digits->hasFocus() || !top.isActiveWindow());

    // Replaces the old text; a value the validator refuses is reported, not forced in.
    const auto refused = setWidgetValue(digits, u"01a"_s);
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->contains(u"01a"_s)) << refused->toStdString();
    EXPECT_NE(digits->text(), u"01a"_s);

    EXPECT_TRUE(setWidgetValue(narrow, u"12345"_s).has_value());
    EXPECT_EQ(setWidgetValue(narrow, u""_s), std::nullopt); // clearing a box
    EXPECT_TRUE(narrow->text().isEmpty());
}

TEST(SetWidgetValue, CombosByItemTextDatesByIsoDateChecksByZeroOrOne)
{
    QWidget top;
    new QVBoxLayout(&top);
    auto* combo = add<QComboBox>(&top, u"cmbResult"_s);
    combo->addItems({u"满意"_s, u"不满意"_s});
    auto* editable = add<QComboBox>(&top, u"cmbOrg"_s);
    editable->setEditable(true);
    editable->addItem(u"0101-一楼化妆品"_s);
    auto* date = add<QDateEdit>(&top, u"dtpBegin"_s);
    date->setDateRange(QDate(2000, 1, 1), QDate(2099, 12, 31));
    auto* check = add<QCheckBox>(&top, u"chkAll"_s);
    auto* spin = add<QSpinBox>(&top, u"spnCount"_s);
    spin->setRange(0, 10);
    top.show();

    QSignalSpy activated(combo, &QComboBox::activated);
    EXPECT_EQ(setWidgetValue(combo, u"不满意"_s), std::nullopt);
    EXPECT_EQ(combo->currentIndex(), 1);
    ASSERT_EQ(activated.count(), 1); // what a person's choice signals
    EXPECT_EQ(activated.at(0).at(0).toInt(), 1);
    EXPECT_TRUE(setWidgetValue(combo, u"满"_s).has_value()); // whole item texts only
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(setWidgetValue(editable, u"0102"_s), std::nullopt); // typed into an editable one
    EXPECT_EQ(editable->currentText(), u"0102"_s);

    EXPECT_EQ(setWidgetValue(date, u"2026-03-01"_s), std::nullopt);
    EXPECT_EQ(date->date(), QDate(2026, 3, 1));
    EXPECT_TRUE(setWidgetValue(date, u"01/03/2026"_s).has_value());
    EXPECT_TRUE(setWidgetValue(date, u"2026-02-30"_s).has_value());
    EXPECT_TRUE(setWidgetValue(date, u"1999-12-31"_s).has_value()); // outside its range
    EXPECT_EQ(date->date(), QDate(2026, 3, 1));

    QSignalSpy clicked(check, &QCheckBox::clicked);
    EXPECT_EQ(setWidgetValue(check, u"1"_s), std::nullopt);
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(setWidgetValue(check, u"1"_s), std::nullopt); // already so: no second click
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_TRUE(setWidgetValue(check, u"yes"_s).has_value());

    EXPECT_EQ(setWidgetValue(spin, u"7"_s), std::nullopt);
    EXPECT_EQ(spin->value(), 7);
    EXPECT_TRUE(setWidgetValue(spin, u"11"_s).has_value());
    EXPECT_EQ(spin->value(), 7); // a refused value leaves the box as it was
}

TEST(SetWidgetValue, HiddenDisabledReadOnlyAndValuelessWidgetsAreRefused)
{
    QWidget top;
    new QVBoxLayout(&top);
    auto* hidden = add<QLineEdit>(&top, u"edtHidden"_s);
    auto* disabled = add<QLineEdit>(&top, u"edtDisabled"_s);
    auto* readOnly = add<QLineEdit>(&top, u"edtName"_s);
    auto* label = add<QLabel>(&top, u"lblName"_s);
    auto* radio = add<QRadioButton>(&top, u"rbCenter"_s);
    add<QRadioButton>(&top, u"rbShop"_s);
    top.show();
    hidden->hide();
    disabled->setEnabled(false);
    readOnly->setReadOnly(true);
    radio->setChecked(true);

    EXPECT_TRUE(setWidgetValue(hidden, u"x"_s).has_value());
    EXPECT_TRUE(setWidgetValue(disabled, u"x"_s).has_value());
    EXPECT_TRUE(setWidgetValue(readOnly, u"x"_s).has_value());
    EXPECT_TRUE(hidden->text().isEmpty() && disabled->text().isEmpty() && readOnly->text().isEmpty());
    const auto l = setWidgetValue(label, u"x"_s);
    ASSERT_TRUE(l.has_value());
    EXPECT_TRUE(l->contains(u"QLabel"_s)) << l->toStdString();
    // A checked radio button of a group cannot be switched off by a click.
    EXPECT_TRUE(setWidgetValue(radio, u"0"_s).has_value());
}

// --- the runner on the shell ----------------------------------------------------------------

class ShellScript : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        window = std::make_unique<MainWindow>(u"test"_s);
        window->show();
    }
    void TearDown() override
    {
        window.reset();
        HostTest::TearDown();
    }

    // A menu entry of the shell that runs fn (what a form's action would do).
    QAction* probe(const QString& name, std::function<void()> fn)
    {
        auto* a = new QAction(name, window.get());
        a->setObjectName(name);
        QObject::connect(a, &QAction::triggered, window.get(), [fn] { fn(); });
        return a;
    }

    // Runs the steps as qorhost does; the exit code.
    int run(std::vector<ScriptStep> steps)
    {
        ScriptRunner r(std::move(steps));
        r.setWindow(window.get());
        QEventLoop loop;
        int code = -1;
        QObject::connect(&r, &ScriptRunner::finished, &loop, [&](int c) {
            code = c;
            loop.quit();
        });
        QTimer::singleShot(60000, &loop, [&] {
            ADD_FAILURE() << "the script did not finish";
            loop.quit();
        });
        r.start();
        loop.exec();
        failures = r.failures();
        return code;
    }

    std::unique_ptr<MainWindow> window;
    QStringList failures;
};

TEST_F(ShellScript, DrivesTheSessionDialogByObjectNamesAndShootsTheOpenDialog)
{
    const QString dialogShot = testTempDir() + u"/session.png"_s;
    const QString shellShot = testTempDir() + u"/shell.png"_s;
    const int rc = run({action(u"actSwitchSession"_s), set(u"cmbUser"_s, u"2001-张丽"_s), set(u"rbShop"_s, u"1"_s),
                        set(u"cmbShop"_s, u"0101-一楼化妆品"_s), set(u"cmbVersion"_s, u"0"_s),
                        set(u"edtStation"_s, u"POS-9"_s), shot(dialogShot), action(u"btnOK"_s), shot(shellShot)});
    EXPECT_EQ(rc, 0) << failures.join(u'\n').toStdString();
    const QorSession& s = qorSession();
    EXPECT_EQ(s.userCode, u"2001"_s);
    EXPECT_EQ(s.userName, u"张丽"_s);
    EXPECT_FALSE(s.isCenter);
    EXPECT_EQ(s.branchNo, u"0101"_s);
    EXPECT_EQ(s.shopName, u"一楼化妆品"_s);
    EXPECT_EQ(s.version, u"0"_s);
    EXPECT_EQ(s.stationId, u"POS-9"_s);
    EXPECT_TRUE(window->windowTitle().contains(u"2001 张丽"_s)) << window->windowTitle().toStdString();
    EXPECT_TRUE(window->windowTitle().contains(u"POS-9"_s));
    // The first picture is the dialog, the second the shell.
    const QImage d(dialogShot), w(shellShot);
    ASSERT_FALSE(d.isNull());
    ASSERT_FALSE(w.isNull());
    EXPECT_LT(d.width(), w.width());
    EXPECT_EQ(w.size(), window->size());
}

TEST_F(ShellScript, MessageBoxesTakeTheirDefaultButtonOrTheArmedOne)
{
    QList<int> answers;
    probe(u"actAskYes"_s, [&] { answers << promptMessage(u"c"_s, u"是否继续？"_s, MsgFlags::YesNo | MsgFlags::IconQuestion); });
    probe(u"actAskNo"_s, [&] {
        answers << promptMessage(u"c"_s, u"确定要删除吗？"_s, MsgFlags::YesNo | MsgFlags::IconQuestion | MsgFlags::DefButton2);
    });
    probe(u"actInfo"_s, [&] { answers << promptMessage(u"c"_s, u"完成"_s, MsgFlags::OK | MsgFlags::IconInfo); });
    const int rc = run({action(u"actAskYes"_s), action(u"actAskNo"_s), answer(u"yes"_s), action(u"actAskNo"_s),
                        answer(u"no"_s), action(u"actAskYes"_s), action(u"actInfo"_s)});
    EXPECT_EQ(rc, 0) << failures.join(u'\n').toStdString();
    EXPECT_EQ(answers, (QList<int>{MsgResult::Yes, MsgResult::No, MsgResult::Yes, MsgResult::No, MsgResult::OK}));

    // An answer the box has no button for, and one no box asked for, are mistakes of the script.
    answers.clear();
    EXPECT_EQ(run({answer(u"yes"_s), action(u"actInfo"_s)}), 1);
    EXPECT_EQ(answers, QList<int>{MsgResult::OK});
    EXPECT_EQ(run({answer(u"cancel"_s)}), 1);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].contains(u"--answer cancel"_s));
}

TEST_F(ShellScript, AnErrorOrWarningBoxFailsTheRunAndOnlyScreenshotsFollow)
{
    int later = 0;
    probe(u"actFail"_s, [] { promptMessage(u"零售管理系统"_s, u"数据读取失败！"_s, MsgFlags::IconError); });
    probe(u"actWarn"_s, [] { promptMessage(u"零售管理系统"_s, u"请输入组织！"_s, MsgFlags::IconWarning); });
    probe(u"actLater"_s, [&] { ++later; });
    const QString png = testTempDir() + u"/after.png"_s;
    EXPECT_EQ(run({action(u"actFail"_s), action(u"actLater"_s), shot(png)}), 1);
    EXPECT_EQ(later, 0);
    EXPECT_TRUE(QFileInfo::exists(png));
    ASSERT_FALSE(failures.isEmpty());
    EXPECT_TRUE(failures[0].contains(u"数据读取失败！"_s) && failures[0].contains(u"error"_s));

    EXPECT_EQ(run({action(u"actWarn"_s)}), 1);
    EXPECT_TRUE(failures.join(u'\n').contains(u"请输入组织！"_s));
}

TEST_F(ShellScript, UnknownDisabledAndWrongKindsOfNamesAreNamedInTheFailure)
{
    EXPECT_EQ(run({action(u"actNoSuch"_s)}), 1);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].contains(u"actNoSuch"_s));

    int ran = 0;
    probe(u"actOff"_s, [&] { ++ran; })->setEnabled(false);
    EXPECT_EQ(run({action(u"actOff"_s)}), 1);
    EXPECT_EQ(ran, 0);
    EXPECT_TRUE(failures.join(u' ').contains(u"disabled"_s));

    EXPECT_EQ(run({set(u"edtNoSuch"_s, u"1"_s)}), 1);
    EXPECT_TRUE(failures.join(u' ').contains(u"edtNoSuch"_s));
    EXPECT_EQ(run({set(u"lblProduct"_s, u"1"_s)}), 1); // a label takes no value
    EXPECT_EQ(run({action(u"lblProduct"_s)}), 1);      // nor is it an action
}

TEST_F(ShellScript, DialogsAreClosedAtTheEndAndThoseBypassingThePrompterFailTheRun)
{
    int result = -2;
    probe(u"actDialog"_s, [&] {
        QDialog d(window.get());
        d.setWindowTitle(u"条件"_s);
        result = runModal(&d);
    });
    EXPECT_EQ(run({action(u"actDialog"_s)}), 0); // left open by the script: cancelled, not a failure
    EXPECT_EQ(result, int(QDialog::Rejected));

    probe(u"actBypass"_s, [&] { QMessageBox::information(window.get(), u"x"_s, u"直接弹出"_s); });
    EXPECT_EQ(run({action(u"actBypass"_s), action(u"actDialog"_s)}), 1);
    EXPECT_TRUE(failures.join(u' ').contains(u"QMessageBox"_s)) << failures.join(u'\n').toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
