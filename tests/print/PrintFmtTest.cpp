// The format list and editor driven as a user drives them: the list opened from a list form,
// the edit dialog typed into, saved, cancelled, the questions answered.
#include "print/PrintFmt.h"

#include "framework/GridBridge.h"
#include "host/include/PubProcDll.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/grid/DBGridEh.h"
#include "print/PrintFmtSet.h"
#include "print/PrintRight.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace Qt::StringLiterals;

// Readable QStrings in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

const QString kDup = u"已经存在同序号的打印格式！"_s;

class PrintFmtTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        owner = std::make_unique<QWidget>();
        data = new TClientDataSet(owner.get());
    }
    void TearDown() override
    {
        flush();
        owner.reset();
        HostTest::TearDown();
    }

    static void flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Opens the list of formKey; list runs while it is shown, edit whenever it opens the edit
    // dialog, rights whenever it opens the rights dialog.
    void openList(const QString& formKey, std::function<void(TfrmPrintFmt*)> list,
                  std::function<void(TfrmPrintFmtSet*)> edit = {},
                  std::function<void(TfrmPrintRight*)> rights = {})
    {
        setModalHook([=](QDialog* d) {
            d->show();
            if (auto* l = qobject_cast<TfrmPrintFmt*>(d)) {
                list(l);
            } else if (auto* e = qobject_cast<TfrmPrintFmtSet*>(d)) {
                if (edit) edit(e);
            } else if (auto* r = qobject_cast<TfrmPrintRight*>(d)) {
                if (rights) rights(r);
            }
            if (d->isVisible()) d->close();
            return 0;
        });
        ShowPrintFmtList(owner.get(), formKey, data);
        flush();
    }

    // The rows the list shows: "SerialNo name remark".
    static QStringList shown(TfrmPrintFmt* l)
    {
        QStringList out;
        TClientDataSet* q = l->QryPrnFormat;
        for (q->First(); !q->Eof(); q->Next())
            out << u"%1 %2 %3"_s.arg(q->FieldByName(u"SerialNo"_s)->AsString(),
                                     q->FieldByName(u"PrnName"_s)->AsString(),
                                     q->FieldByName(u"Remark"_s)->AsString());
        q->First();
        return out;
    }
    static bool select(TfrmPrintFmt* l, int serial)
    {
        return l->QryPrnFormat->Locate(u"SerialNo"_s, serial);
    }

    QStringList formats(const QString& key = u"TryOut"_s)
    {
        return queryRows(*db, u"select PrnType,SerialNo,VER,PrnName,Remark from tXtPrnFormat where PrnCode='%1' "
                              u"order by PrnType,SerialNo"_s.arg(key));
    }
    QStringList rights(const QString& key = u"TryOut"_s)
    {
        return queryRows(*db, u"select SerialNo,UGrpCode from tXtRightPrn where PrnCode='%1' and PrnType='1' "
                              u"order by SerialNo,UGrpCode"_s.arg(key));
    }
    static void fill(TfrmPrintFmtSet* e, const QString& serial, const QString& name, const QString& remark)
    {
        e->edtSerialNo->setText(serial);
        e->edtPrnName->setText(name);
        e->edtRemark->setText(remark);
    }
    QStringList messages() const { return prompts->texts(); }

    std::unique_ptr<QWidget> owner;
    TClientDataSet* data = nullptr;
};

// --- the list --------------------------------------------------------------------------------

TEST_F(PrintFmtTest, TheListShowsTheFormsFormatsOfTheCurrentEditionAndSetsTheModuleState)
{
    QStringList head, single, all;
    openList(u"TryOut"_s, [&](TfrmPrintFmt* l) {
        EXPECT_EQ(PrintFmtDialog(), l);
        EXPECT_EQ(l->parentWidget(), owner.get());
        EXPECT_EQ(CurPrnCode, u"TryOut"_s);
        EXPECT_EQ(CurPrnDataSet.data(), data);
        EXPECT_EQ(l->windowTitle(), u"打印格式自定义"_s);
        EXPECT_EQ(l->size(), QSize(466, 227));
        EXPECT_EQ(l->dgrdHead->Columns()->Count(), 3);
        EXPECT_EQ(l->dgrdHead->Columns()->Items(0)->Width(), 41);
        EXPECT_EQ(l->dgrdHead->Columns()->Items(1)->Title()->Caption(), u"打印名称"_s);
        head = shown(l);
    });
    EXPECT_EQ(PrintFmtDialog(), nullptr); // cleared when it closed
    EXPECT_EQ(head, (QStringList{u"2 试用登记(总部) 总部版"_s, u"3 试用登记通用 各版通用"_s}));

    qorSession().version = u"0"_s;
    openList(u"TryOut"_s, [&](TfrmPrintFmt* l) { single = shown(l); });
    EXPECT_EQ(single, (QStringList{u"1 试用登记明细表 单店版"_s, u"3 试用登记通用 各版通用"_s}));
    qorSession().version = u"2"_s;
    openList(u"TryOutR"_s, [&](TfrmPrintFmt* l) { all = shown(l); });
    EXPECT_EQ(all.size(), 3);
}

TEST_F(PrintFmtTest, AnEmptyListLeavesOnlyAddAndCloseEnabled)
{
    openList(u"NoFormats"_s, [&](TfrmPrintFmt* l) {
        EXPECT_TRUE(l->btnAdd->isEnabled());
        EXPECT_TRUE(l->btnClose->isEnabled());
        EXPECT_FALSE(l->btnEdit->isEnabled());
        EXPECT_FALSE(l->btnDelete->isEnabled());
        EXPECT_FALSE(l->bbtnPrnFmtDesign->isEnabled());
        EXPECT_FALSE(l->bbtnRight->isEnabled());
        l->actEdit->trigger(); // disabled: nothing opens
    });
    openList(u"TryOut"_s, [&](TfrmPrintFmt* l) {
        EXPECT_TRUE(l->btnEdit->isEnabled());
        EXPECT_TRUE(l->btnDelete->isEnabled());
        EXPECT_TRUE(l->bbtnPrnFmtDesign->isEnabled());
        EXPECT_TRUE(l->bbtnRight->isEnabled());
    });
}

TEST_F(PrintFmtTest, AFormKeyWithAQuoteIsBoundNotPasted)
{
    db->executeScript(u"insert into tXtPrnFormat values ('1','O''Brien',1,'1','引号','')"_s);
    QStringList rows;
    openList(u"O'Brien"_s, [&](TfrmPrintFmt* l) { rows = shown(l); });
    EXPECT_EQ(rows, QStringList{u"1 引号 "_s});
    EXPECT_TRUE(messages().isEmpty());
}

// --- delete ------------------------------------------------------------------------------------

TEST_F(PrintFmtTest, DeleteAsksWithNoPreselectedAndRemovesOnlyThisPrintTypesFormatAndItsRights)
{
    // A format of another print type under the same key and number is someone else's.
    db->executeScript(u"insert into tXtPrnFormat values ('2','TryOut',3,'1','别人的','');"
                      u"insert into tXtRightPrn values ('2','TryOut',3,'02');"_s);
    prompts->pushButton(MsgResult::No);
    prompts->pushButton(MsgResult::Yes);
    QStringList after;
    openList(u"TryOut"_s, [&](TfrmPrintFmt* l) {
        ASSERT_TRUE(select(l, 3));
        l->btnDelete->click(); // No
        EXPECT_EQ(shown(l).size(), 3); // the list shows every print type
        ASSERT_TRUE(select(l, 3));
        l->btnDelete->click(); // Yes
        after = shown(l);
    });
    ASSERT_EQ(prompts->calls.size(), 2u);
    EXPECT_EQ(prompts->calls[0].text, u"确认删除当前打印格式吗？"_s);
    EXPECT_TRUE(prompts->calls[0].flags & MsgFlags::DefButton2);
    EXPECT_EQ(after, (QStringList{u"2 试用登记(总部) 总部版"_s, u"3 别人的 "_s}));
    EXPECT_EQ(formats(), (QStringList{u"1\t1\t0\t试用登记明细表\t单店版"_s, u"1\t2\t1\t试用登记(总部)\t总部版"_s,
                                      u"2\t3\t1\t别人的\t"_s}));
    EXPECT_EQ(rights(), (QStringList{u"1\t02"_s, u"1\t03"_s, u"2\t02"_s}));
    EXPECT_EQ(queryRows(*db, u"select count(*) from tXtRightPrn where PrnType='2'"_s), QStringList{u"1"_s});
    // The shop user's default naming format 3 stays.
    EXPECT_EQ(queryRows(*db, u"select SerialNo from tXtPrnDefault where UserCode='2001'"_s), QStringList{u"3"_s});
}

// --- add -----------------------------------------------------------------------------------------

TEST_F(PrintFmtTest, AddSavesWithTheEditionAndGrantsTheUsersGroupsAndStaysOpenForTheNext)
{
    qorSession().userCode = u"3101"_s; // group 05
    db->executeScript(u"insert into XtUserSub values ('3101','03');"
                      u"insert into tXtRightPrn values ('1','TryOut',5,'03');"_s);
    QStringList listed;
    openList(
        u"TryOut"_s,
        [&](TfrmPrintFmt* l) {
            l->btnAdd->click();
            listed = shown(l);
        },
        [&](TfrmPrintFmtSet* e) {
            EXPECT_EQ(e->windowTitle(), u"格式设置"_s);
            EXPECT_EQ(e->size(), QSize(437, 130));
            EXPECT_TRUE(e->btnSave->isEnabled());
            EXPECT_TRUE(e->btnCancel->isEnabled());
            fill(e, u" 5 "_s, u"  新格式 "_s, u" 备注;可以有分号 "_s);
            e->btnSave->click();
            EXPECT_TRUE(e->isVisible());
            EXPECT_EQ(e->edtSerialNo->text(), QString());
            EXPECT_EQ(e->edtPrnName->text(), QString());
            EXPECT_EQ(e->edtRemark->text(), QString());
            EXPECT_EQ(e->focusWidget(), e->edtSerialNo);
            fill(e, u"6"_s, u"第二个"_s, QString());
            e->btnSave->click();
        });
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_TRUE(listed.contains(u"5 新格式 备注;可以有分号"_s));
    EXPECT_TRUE(listed.contains(u"6 第二个 "_s));
    EXPECT_TRUE(formats().contains(u"1\t5\t1\t新格式\t备注;可以有分号"_s));
    // Every group of the user, the earlier row of group 03 replaced, not doubled.
    EXPECT_EQ(rights().filter(QRegularExpression(u"^[56]\t"_s)),
              (QStringList{u"5\t03"_s, u"5\t05"_s, u"6\t03"_s, u"6\t05"_s}));
}

TEST_F(PrintFmtTest, SaveRefusesWhatTheRulesForbidAndFocusesTheBoxToCorrect)
{
    openList(
        u"TryOut"_s, [&](TfrmPrintFmt* l) { l->btnAdd->click(); },
        [&](TfrmPrintFmtSet* e) {
            struct Case {
                const char16_t *serial, *name, *message;
                QLineEdit* focus;
            } cases[] = {
                {u"", u"名称", u"必须输入序列号！", e->edtSerialNo},
                {u"  ", u"名称", u"必须输入序列号！", e->edtSerialNo},
                {u"7", u"  ", u"必须输入打印格式名称！", e->edtPrnName},
                {u"7", u"甲;乙", u"打印格式名称不允许包含字符 \";\" ！", e->edtPrnName},
                {u"3", u"重号", u"已经存在同序号的打印格式！", e->edtSerialNo},
            };
            for (const Case& c : cases) {
                prompts->calls.clear();
                e->edtRemark->setFocus();
                fill(e, QString::fromUtf16(c.serial), QString::fromUtf16(c.name), u"x"_s);
                e->btnSave->click();
                ASSERT_EQ(messages(), QStringList{QString::fromUtf16(c.message)});
                EXPECT_EQ(prompts->calls[0].flags & 0xF0, MsgFlags::IconWarning);
                EXPECT_EQ(e->focusWidget(), c.focus) << QString::fromUtf16(c.message).toStdString();
                EXPECT_EQ(e->edtPrnName->text(), QString::fromUtf16(c.name)); // the entry stays
            }
        });
    EXPECT_EQ(formats().size(), 3);
}

TEST_F(PrintFmtTest, TheAdministratorsFormatsGrantNoRights)
{
    qorSession().userCode = u"QVW"_s;
    openList(
        u"TryOut"_s, [&](TfrmPrintFmt* l) { l->btnAdd->click(); },
        [&](TfrmPrintFmtSet* e) {
            fill(e, u"9"_s, u"管理员的"_s, QString());
            e->btnSave->click();
        });
    EXPECT_TRUE(formats().contains(u"1\t9\t1\t管理员的\t"_s));
    EXPECT_TRUE(rights().filter(QRegularExpression(u"^9\t"_s)).isEmpty());

    // Only exactly "QVW": another spelling is an ordinary user with ordinary groups.
    qorSession().userCode = u"qvw"_s;
    db->executeScript(u"insert into XtUserSub values ('qvw','04')"_s);
    openList(
        u"TryOut"_s, [&](TfrmPrintFmt* l) { l->btnAdd->click(); },
        [&](TfrmPrintFmtSet* e) {
            fill(e, u"10"_s, u"小写的"_s, QString());
            e->btnSave->click();
        });
    EXPECT_FALSE(rights().filter(QRegularExpression(u"^10\t"_s)).isEmpty());
}

// --- edit ----------------------------------------------------------------------------------------

TEST_F(PrintFmtTest, EditKeepsItsOwnNumberRefusesAnotherExistingOneAndClosesAfterSaving)
{
    db->executeScript(u"update tXtPrnFormat set VER='2' where PrnCode='TryOut' and SerialNo=3"_s);
    bool closedAfterSave = false;
    int opened = 0;
    openList(
        u"TryOut"_s,
        [&](TfrmPrintFmt* l) {
            ASSERT_TRUE(select(l, 3));
            l->btnEdit->click();
            ASSERT_TRUE(select(l, 3));
            l->btnEdit->click();
        },
        [&](TfrmPrintFmtSet* e) {
            ++opened;
            EXPECT_FALSE(e->AddMode);
            EXPECT_EQ(e->edtSerialNo->text(), u"3"_s);
            EXPECT_EQ(e->edtPrnName->text(), opened == 1 ? u"试用登记通用"_s : u"改名"_s);
            EXPECT_EQ(e->edtRemark->text(), u"各版通用"_s);
            if (opened == 1) {
                e->edtPrnName->setText(u"改名"_s);
                e->btnSave->click(); // same number: no duplicate check
                closedAfterSave = !e->isVisible();
                return;
            }
        });
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_TRUE(closedAfterSave);
    EXPECT_EQ(opened, 2);
    // The edition "2" format became one of the current edition.
    EXPECT_TRUE(formats().contains(u"1\t3\t1\t改名\t各版通用"_s));
}

TEST_F(PrintFmtTest, RenumberingIsCheckedAndGrantsTheNewNumberLeavingTheOldRights)
{
    openList(
        u"TryOut"_s,
        [&](TfrmPrintFmt* l) {
            ASSERT_TRUE(select(l, 3));
            l->btnEdit->click();
        },
        [&](TfrmPrintFmtSet* e) {
            e->edtSerialNo->setText(u"2"_s);
            e->btnSave->click();
            EXPECT_EQ(messages(), QStringList{kDup});
            EXPECT_TRUE(e->isVisible());
            e->edtSerialNo->setText(u"6"_s);
            e->btnSave->click();
        });
    EXPECT_EQ(formats(), (QStringList{u"1\t1\t0\t试用登记明细表\t单店版"_s, u"1\t2\t1\t试用登记(总部)\t总部版"_s,
                                      u"1\t6\t1\t试用登记通用\t各版通用"_s}));
    EXPECT_EQ(rights().filter(QRegularExpression(u"^[36]\t"_s)),
              (QStringList{u"3\t02"_s, u"3\t03"_s, u"3\t04"_s, u"6\t02"_s}));
}

TEST_F(PrintFmtTest, EditingAFormatDeletedMeanwhileIsAnErrorAndGrantsNothing)
{
    openList(
        u"TryOut"_s,
        [&](TfrmPrintFmt* l) {
            ASSERT_TRUE(select(l, 3));
            l->btnEdit->click();
        },
        [&](TfrmPrintFmtSet* e) {
            db->executeScript(u"delete from tXtPrnFormat where PrnCode='TryOut' and SerialNo=3;"
                              u"delete from tXtRightPrn where PrnCode='TryOut' and SerialNo=3"_s);
            e->edtSerialNo->setText(u"8"_s);
            e->btnSave->click();
            EXPECT_TRUE(e->isVisible());
        });
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_EQ(prompts->calls[0].flags & 0xF0, MsgFlags::IconError);
    EXPECT_TRUE(rights().filter(QRegularExpression(u"^[38]\t"_s)).isEmpty());
    EXPECT_EQ(formats().size(), 2);
}

TEST_F(PrintFmtTest, CancelEmptiesInAddModeAndRestoresTheRowInEditMode)
{
    int round = 0;
    openList(
        u"TryOut"_s,
        [&](TfrmPrintFmt* l) {
            l->btnAdd->click();
            ASSERT_TRUE(select(l, 2));
            l->btnEdit->click();
        },
        [&](TfrmPrintFmtSet* e) {
            ++round;
            fill(e, u"44"_s, u"未保存"_s, u"备注"_s);
            e->edtRemark->setFocus();
            e->btnCancel->click();
            if (round == 1) {
                EXPECT_EQ(e->edtSerialNo->text(), QString());
                EXPECT_EQ(e->edtPrnName->text(), QString());
            } else {
                EXPECT_EQ(e->edtSerialNo->text(), u"2"_s);
                EXPECT_EQ(e->edtPrnName->text(), u"试用登记(总部)"_s);
                EXPECT_EQ(e->edtRemark->text(), u"总部版"_s);
            }
            EXPECT_EQ(e->focusWidget(), e->edtSerialNo);
        });
    EXPECT_EQ(round, 2);
    EXPECT_EQ(formats().size(), 3);
}

// --- what the boxes take ------------------------------------------------------------------------

TEST_F(PrintFmtTest, TheBoxesTakeNineDigitsAndFortyGbkBytesAlsoWhenPasted)
{
    openList(
        u"TryOut"_s, [&](TfrmPrintFmt* l) { l->btnAdd->click(); },
        [&](TfrmPrintFmtSet* e) {
            e->edtSerialNo->setFocus();
            QTest::keyClicks(e->edtSerialNo, u"1a2-3 4567890123"_s);
            EXPECT_EQ(e->edtSerialNo->text(), u"123456789"_s);
            e->edtSerialNo->clear();
            QApplication::clipboard()->setText(u"12ab"_s);
            e->edtSerialNo->paste();
            EXPECT_EQ(e->edtSerialNo->text(), QString());

            // 21 Chinese characters are 42 GBK bytes: the 21st is refused.
            e->edtPrnName->setFocus();
            for (int i = 0; i < 21; ++i)
                QTest::sendKeyEvent(QTest::Click, e->edtPrnName, Qt::Key_unknown, QString(QChar(0x683C)),
                                    Qt::NoModifier);
            EXPECT_EQ(e->edtPrnName->text(), QString(20, QChar(0x683C)));
            // A pasted remark is cut at 40 bytes, never stored longer.
            e->edtRemark->setFocus();
            QApplication::clipboard()->setText(QString(41, u'x'));
            e->edtRemark->paste();
            EXPECT_EQ(e->edtRemark->text(), QString(40, u'x'));
        });
}

TEST_F(PrintFmtTest, ANameOrRemarkWiderThanItsColumnIsRefusedAtSaveNotCut)
{
    // A row stored before the widths were enforced comes back too long: saving it must not
    // reach a server that refuses it, nor cut it silently.
    db->executeScript(u"update tXtPrnFormat set PrnName='%1' where PrnCode='TryOut' and SerialNo=2"_s
                          .arg(QString(21, QChar(0x683C))));
    openList(
        u"TryOut"_s,
        [&](TfrmPrintFmt* l) {
            ASSERT_TRUE(select(l, 2));
            l->btnEdit->click();
        },
        [&](TfrmPrintFmtSet* e) {
            e->btnSave->click();
            EXPECT_EQ(messages(), QStringList{u"打印格式名称不能超过40个字节！"_s});
            EXPECT_EQ(e->focusWidget(), e->edtPrnName);
            prompts->calls.clear();
            e->edtPrnName->setText(u"短名"_s);
            e->edtRemark->setText(QString(41, u'r'));
            e->btnSave->click();
            EXPECT_EQ(messages(), QStringList{u"备注不能超过40个字节！"_s});
            EXPECT_EQ(e->focusWidget(), e->edtRemark);
            prompts->calls.clear();
            e->edtRemark->setText(QString(20, QChar(0x683C))); // 40 bytes fit
            e->btnSave->click();
            EXPECT_TRUE(messages().isEmpty());
        });
    EXPECT_TRUE(formats().contains(u"1\t2\t1\t短名\t"_s + QString(20, QChar(0x683C))));
}

TEST_F(PrintFmtTest, ANumberTooLongForTheColumnCountsAsMissing)
{
    openList(
        u"TryOut"_s, [&](TfrmPrintFmt* l) { l->btnAdd->click(); },
        [&](TfrmPrintFmtSet* e) {
            e->edtSerialNo->setText(u"99999999999"_s); // set past the box's checks
            e->edtPrnName->setText(u"太长"_s);
            e->btnSave->click();
        });
    EXPECT_EQ(messages(), QStringList{u"必须输入序列号！"_s});
    EXPECT_EQ(formats().size(), 3);
}

// --- design and rights ---------------------------------------------------------------------------

TEST_F(PrintFmtTest, DesignHandsTheCurrentFormatAndTheListFormsDataToThePrintService)
{
    const QString fakes = u"" QOR_BIN_DIR "/../fakes/full"_s;
    void* h = dlopen(QFile::encodeName(fakes + u"/libcommPrint.so"_s).constData(), RTLD_NOW | RTLD_NODELETE);
    ASSERT_TRUE(h) << dlerror();
    reinterpret_cast<void (*)()>(dlsym(h, "fakeReset"))();
    GridBridge::setLibraryFolder(fakes);
    openList(u"TryOut"_s, [&](TfrmPrintFmt* l) {
        ASSERT_TRUE(select(l, 3));
        l->bbtnPrnFmtDesign->click();
    });
    GridBridge::setLibraryFolder(QString());
    const QString log = QString::fromUtf8(reinterpret_cast<const char* (*)()>(dlsym(h, "fakeLog"))());
    dlclose(h);
    EXPECT_EQ(log.trimmed(), u"CommPrn|%1|0|%2|1|TryOut|3|0|%3|0|0|0000000\nSetOldApplication"_s.arg(
                                 QString::asprintf("%p", static_cast<void*>(db.get())),
                                 QString::asprintf("%p", static_cast<void*>(GridBridge::applicationObject())),
                                 QString::asprintf("%p", static_cast<void*>(data))));
}

TEST_F(PrintFmtTest, RightsOpensOneRightsDialogOwnedByTheList)
{
    int shownRights = 0;
    openList(
        u"TryOut"_s,
        [&](TfrmPrintFmt* l) {
            l->bbtnRight->click();
            flush();
            EXPECT_TRUE(l->frmPrintRight.isNull()); // cleared when it closed
            l->bbtnRight->click();
        },
        {},
        [&](TfrmPrintRight* r) {
            ++shownRights;
            EXPECT_EQ(qobject_cast<TfrmPrintFmt*>(r->parentWidget()), PrintFmtDialog());
            EXPECT_EQ(r->fcRightTree->topLevelItemCount(), 1);
        });
    EXPECT_EQ(shownRights, 2);
}

} // namespace

namespace {

// The unique key of the formats, as the SQLite ODBC driver reports its violation, is what the
// editor turns into "已经存在同序号的打印格式！" when a number is taken between check and insert.
TEST_F(PrintFmtTest, TheOdbcDriversKeyViolationIsRecognisedAsADuplicateNumber)
{
    auto odbc = TADOConnection::openOdbc(u"DRIVER=SQLite3;Database=%1"_s.arg(db->description()));
    TADOQuery q(odbc.get());
    q.SQL << u"insert into tXtPrnFormat(PrnType,PrnCode,SerialNo,VER,PrnName,Remark) values('1','TryOut',3,'1','x','')"_s;
    try {
        q.ExecSQL();
        ADD_FAILURE() << "a second format 3 was stored";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isUniqueViolation()) << e.message().toStdString() << " " << e.nativeCode() << " "
                                           << e.sqlState().toStdString();
    }
}

} // namespace
