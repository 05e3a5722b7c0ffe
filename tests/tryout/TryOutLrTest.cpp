// The try-out entry form, driven as a user would: boxes typed and left, buttons clicked, the
// look-up dialogs of libcommDll.so answered through the modal hook; checked against the rows of
// TryOutBK, the messages shown and the boxes.
#include "framework/GridBridge.h"
#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "platform/sys/Clock.h"
#include "platform/text/Gbk.h"
#include "tests/support/TestSupport.h"
#include "tryout/TryOutLr.h"
#include "tryout/TryOutRefresh.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString Today = QStringLiteral("2026-03-15");
const QString AdvisorText =
    QStringLiteral("没有查询到美容顾问编码。可能原因如下：\r1、该美容顾问不存在。\r2、输入的员工不属于美容顾问组。\r"
                   "3、输入的美容顾问不属于选择的组织。");
const QString GoodText = QStringLiteral("试用品不存在或该商品领用单没有入账。");

class FakeList : public QWidget, public TTryOutRefresh {
public:
    int loads = 0;
    void LoadData() override { ++loads; }
};

class TryOutLrTest : public HostTest {
protected:
    void TearDown() override
    {
        delete form.data();
        HostTest::TearDown();
    }

    TfrmTryOutLr* open(const TTryOutRecord* record = nullptr)
    {
        form = TfrmBase::create<TfrmTryOutLr>(nullptr);
        form->EditMode = record != nullptr;
        if (record) form->SetRecord(*record);
        form->setOpener(&list);
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form));
        return form;
    }
    // A normal entry at a head-office station: organisation, advisor and good accepted.
    void fill(const QString& org, const QString& advisor, const QString& good)
    {
        enterAndLeave(form->edtGrpCode, org);
        enterAndLeave(form->edtBeautyCode, advisor);
        enterAndLeave(form->edtGoodsCode, good);
    }
    void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    QStringList messages() const { return prompts->texts(); }
    int lastIcon() const { return prompts->calls.empty() ? 0 : prompts->calls.back().flags & 0xF0; }
    QStringList rows(const QString& where = QStringLiteral("BookDate='2026-03-15'"))
    {
        return queryRows(*db, QStringLiteral("select OrgCode,PluCode,Result,Remark,ZdrCode,ZdrName,BookDate,BookTime,"
                                             "UserCode,UserName from TryOutBK where ") +
                                  where + QStringLiteral(" order by BookTime,PluCode"));
    }
    void exec(const QString& sql) { db->executeScript(sql); }
    QString errLog() const
    {
        QFile f(QDir(ErrLogFolder()).filePath(QStringLiteral("SysErr.Log")));
        return f.open(QIODevice::ReadOnly) ? Gbk::decode(f.readAll()) : QString();
    }
    static TTryOutRecord record(const QString& org, const QString& orgName, const QString& advisor,
                                const QString& advisorName, const QString& good, const QString& goodName,
                                const QString& time = QStringLiteral("09:00:00"))
    {
        return TTryOutRecord{Today, time, org, orgName, advisor, advisorName, good, goodName,
                             QStringLiteral("原评价"), QStringLiteral("0-满意")};
    }
    void insertTrial(const QString& org, const QString& good, const QString& time = QStringLiteral("09:00:00"),
                     const QString& remark = QStringLiteral("原评价"))
    {
        exec(QStringLiteral("insert into TryOutBK values ('%1','%2','%3','%4','0','%5','3002','陈敏','1001','王芳')")
                 .arg(Today, time, org, good, remark));
    }

    FakeList list;
    QPointer<TfrmTryOutLr> form;
};

// Answers libcommDll.so's picking dialog through the modal hook: notes the titles and rows it
// shows and chooses the row whose first column is pick (an empty pick cancels).
struct Picker {
    QString pick;
    bool oneColumn = false; // the library answers the first column only (no "+")
    int shown = 0;
    QStringList titles;
    QStringList rows;

    void install()
    {
        setModalHook([this](QDialog* d) {
            ++shown;
            auto* grid = d->findChild<QTableView*>(QStringLiteral("grdRows"));
            if (!grid) return int(QDialog::Rejected);
            QAbstractItemModel* m = grid->model();
            titles.clear();
            rows.clear();
            for (int c = 0; c < m->columnCount(); ++c) titles << m->headerData(c, Qt::Horizontal).toString();
            int chosen = -1;
            for (int r = 0; r < m->rowCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < m->columnCount(); ++c) cells << m->index(r, c).data().toString();
                if (cells.value(0) == pick) chosen = r;
                rows << cells.join(QLatin1Char('\t'));
            }
            if (pick.isEmpty() || chosen < 0) return int(QDialog::Rejected);
            grid->setCurrentIndex(m->index(chosen, 0));
            if (oneColumn) {
                if (auto* proxy = qobject_cast<QAbstractProxyModel*>(m)) proxy->sourceModel()->removeColumn(1);
            }
            d->findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
            return d->result();
        });
    }
};

} // namespace

// --- showing ---------------------------------------------------------------------------------------

TEST_F(TryOutLrTest, AddModeShowsAnEmptyEntryWithTheClerkCaptionAndTabOrder)
{
    qorSession().clerkCaption = QStringLiteral("导购");
    open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("试用品试用登记新增"));
    EXPECT_EQ(form->lblBeauty->text(), QStringLiteral("导购："));
    EXPECT_TRUE(form->edtGrpCode->hasFocus());
    EXPECT_EQ(form->cmbResult->currentText(), QStringLiteral("0-满意"));
    EXPECT_EQ(form->btnConfirm->text(), QStringLiteral("确定(&O)"));
    EXPECT_EQ(form->btnCancel->text(), QStringLiteral("取消(&C)"));
    EXPECT_EQ(form->btnClose->text(), QStringLiteral("关闭(&X)"));
    // The name box is read-only, not disabled: its text stays legible.
    EXPECT_TRUE(form->edtGrpName->isReadOnly());

    // Tab walks the five entry controls, then the three buttons; the name boxes take no focus.
    QStringList order;
    QWidget* w = form->edtGrpCode;
    for (int i = 0; i < 8; ++i) {
        order << w->objectName();
        QTest::keyClick(w, Qt::Key_Tab);
        w = QApplication::focusWidget();
    }
    EXPECT_EQ(order, QStringList({u"edtGrpCode"_s, u"edtBeautyCode"_s, u"edtGoodsCode"_s, u"cmbResult"_s, u"edtRemark"_s,
                                  u"btnConfirm"_s, u"btnCancel"_s, u"btnClose"_s}));
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(TryOutLrTest, ShopStationShowsItsOwnOrganisationAndConfirmNeedsNone)
{
    useShopStation(QStringLiteral("0101"), QStringLiteral("一楼化妆品"));
    open();
    EXPECT_FALSE(form->edtGrpCode->isEnabled());
    EXPECT_FALSE(form->btnOrg->isEnabled());
    EXPECT_EQ(form->edtGrpCode->text(), QStringLiteral("0101"));
    EXPECT_EQ(form->edtGrpName->text(), QStringLiteral("一楼化妆品"));
    EXPECT_TRUE(form->edtBeautyCode->hasFocus());
    enterAndLeave(form->edtBeautyCode, QStringLiteral("3001"));
    enterAndLeave(form->edtGoodsCode, QStringLiteral("10010001"));
    click(form->btnConfirm);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'|').toStdString();
    EXPECT_EQ(rows(), QStringList({u"0101\t10010001\t0\t\t3001\t刘静\t2026-03-15\t10:30:00\t1001\t王芳"_s}));
}

TEST_F(TryOutLrTest, ShopStationEditKeepsTheRecordsOwnOrganisation)
{
    insertTrial(QStringLiteral("0102"), QStringLiteral("10010001"));
    useShopStation(QStringLiteral("0101"), QStringLiteral("一楼化妆品"));
    const TTryOutRecord r = record(QStringLiteral("0102"), QStringLiteral("二楼护肤品"), QStringLiteral("3002"),
                                   QStringLiteral("陈敏"), QStringLiteral("10010001"), QStringLiteral("雪肌精华水"));
    open(&r);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("试用品试用登记修改"));
    EXPECT_EQ(form->edtGrpCode->text(), QStringLiteral("0102"));
    EXPECT_EQ(form->edtGrpName->text(), QStringLiteral("二楼护肤品"));
    EXPECT_FALSE(form->edtGrpCode->isEnabled());
    EXPECT_TRUE(form->edtBeautyCode->hasFocus());
    form->edtRemark->setText(QStringLiteral("门店修改"));
    click(form->btnConfirm);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'|').toStdString();
    EXPECT_EQ(rows(), QStringList({u"0102\t10010001\t0\t门店修改\t3002\t陈敏\t2026-03-15\t09:00:00\t1001\t王芳"_s}));
}

// --- the checks when a box is left -------------------------------------------------------------------

TEST_F(TryOutLrTest, OrganisationCheck)
{
    open();
    enterAndLeave(form->edtGrpCode, QStringLiteral("0104")); // not deployed
    EXPECT_EQ(messages(), QStringList({u"输入的组织信息不存在！"_s}));
    EXPECT_EQ(lastIcon(), MsgFlags::IconWarning);
    EXPECT_TRUE(form->edtGrpCode->hasFocus()); // returned without checking again
    EXPECT_TRUE(form->edtGrpName->text().isEmpty());

    enterAndLeave(form->edtGrpCode, QStringLiteral("0001")); // head office: no trials there
    EXPECT_EQ(messages().size(), 2);
    enterAndLeave(form->edtGrpCode, QStringLiteral("0101"));
    EXPECT_EQ(form->edtGrpName->text(), QStringLiteral("一楼化妆品"));
    EXPECT_EQ(form->CurrentOrg, QStringLiteral("0101"));
    EXPECT_TRUE(form->edtBeautyCode->hasFocus());
    enterAndLeave(form->edtGrpCode, QString());
    EXPECT_TRUE(form->edtGrpName->text().isEmpty());
    EXPECT_EQ(messages().size(), 2);

    // A database failure is an error box and a log record.
    exec(QStringLiteral("drop table SubShop"));
    enterAndLeave(form->edtGrpCode, QStringLiteral("0102"));
    EXPECT_EQ(messages().value(2), QStringLiteral("验证组织信息有效性失败，请查看系统日志。"));
    EXPECT_EQ(lastIcon(), MsgFlags::IconError);
    EXPECT_TRUE(form->edtGrpCode->hasFocus());
    EXPECT_TRUE(errLog().contains(QStringLiteral("SubShop"))) << errLog().toStdString();
}

TEST_F(TryOutLrTest, ChangingTheOrganisationRechecksAdvisorAndGood)
{
    open();
    fill(QStringLiteral("0101"), QStringLiteral("3002"), QStringLiteral("10010001"));
    ASSERT_TRUE(messages().isEmpty());
    // 3002 and 10010001 are valid at 0102 as well: nothing is said or cleared.
    enterAndLeave(form->edtGrpCode, QStringLiteral("0102"));
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_EQ(form->edtBeautyCode->text(), QStringLiteral("3002"));
    EXPECT_EQ(form->edtGoodsCode->text(), QStringLiteral("10010001"));
    EXPECT_EQ(form->edtGrpName->text(), QStringLiteral("二楼护肤品"));

    // At 0103 neither is: both warnings, in this order, and both pairs of boxes cleared.
    enterAndLeave(form->edtGrpCode, QStringLiteral("0103"));
    EXPECT_EQ(messages(), QStringList({AdvisorText, GoodText}));
    EXPECT_TRUE(form->edtBeautyCode->text().isEmpty());
    EXPECT_TRUE(form->edtBeauty->text().isEmpty());
    EXPECT_TRUE(form->edtGoodsCode->text().isEmpty());
    EXPECT_TRUE(form->edtGoodsName->text().isEmpty());
    EXPECT_EQ(form->edtGrpName->text(), QStringLiteral("三楼香水"));

    // Leaving the box again with the same code checks nothing more.
    form->edtGrpCode->setFocus(Qt::TabFocusReason);
    form->edtBeautyCode->setText(QStringLiteral("3001"));
    QTest::keyClick(form->edtGrpCode, Qt::Key_Tab);
    EXPECT_EQ(messages().size(), 2);
    EXPECT_EQ(form->edtBeautyCode->text(), QStringLiteral("3001"));
}

TEST_F(TryOutLrTest, AdvisorAndGoodChecks)
{
    open();
    enterAndLeave(form->edtGrpCode, QStringLiteral("0101"));
    enterAndLeave(form->edtBeautyCode, QStringLiteral("3101")); // assigned to 0101 but no advisor
    EXPECT_EQ(messages(), QStringList({AdvisorText}));
    EXPECT_TRUE(form->edtBeautyCode->text().isEmpty());
    EXPECT_TRUE(form->edtBeautyCode->hasFocus());
    enterAndLeave(form->edtBeautyCode, QStringLiteral("3003")); // advisor of 0102 only
    EXPECT_EQ(messages().size(), 2);
    enterAndLeave(form->edtBeautyCode, QStringLiteral("3001"));
    EXPECT_EQ(form->edtBeauty->text(), QStringLiteral("刘静"));
    EXPECT_TRUE(form->edtGoodsCode->hasFocus());

    for (const char* unbooked : {"10040004", "10040003", "10040005"}) { // unbooked, bill type 2, never drawn
        enterAndLeave(form->edtGoodsCode, QString::fromLatin1(unbooked));
        EXPECT_EQ(messages().last(), GoodText) << unbooked;
        EXPECT_TRUE(form->edtGoodsCode->text().isEmpty());
        EXPECT_TRUE(form->edtGoodsCode->hasFocus());
    }
    EXPECT_EQ(messages().size(), 5);
    enterAndLeave(form->edtGoodsCode, QStringLiteral("10010003"));
    EXPECT_EQ(form->edtGoodsName->text(), QStringLiteral("美白修护精华液"));

    // Leaving an empty code clears the name without a message.
    enterAndLeave(form->edtBeautyCode, QString());
    enterAndLeave(form->edtGoodsCode, QString());
    EXPECT_TRUE(form->edtBeauty->text().isEmpty());
    EXPECT_TRUE(form->edtGoodsName->text().isEmpty());
    EXPECT_EQ(messages().size(), 5);
}

TEST_F(TryOutLrTest, ADatabaseErrorInTheAdvisorCheckIsShownNotFatal)
{
    open();
    enterAndLeave(form->edtGrpCode, QStringLiteral("0101"));
    exec(QStringLiteral("drop table XtUserSub"));
    enterAndLeave(form->edtBeautyCode, QStringLiteral("3001"));
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().value(0).contains(QStringLiteral("XtUserSub"))) << messages().value(0).toStdString();
    EXPECT_EQ(lastIcon(), MsgFlags::IconError);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(TryOutLrTest, LeavingByCancelOrCloseChecksNothing)
{
    open();
    enterAndLeave(form->edtGrpCode, QStringLiteral("0101"));
    form->edtBeautyCode->setFocus(Qt::TabFocusReason);
    form->edtBeautyCode->setText(QStringLiteral("3101"));
    form->btnClose->setFocus(Qt::MouseFocusReason);
    form->edtGoodsCode->setFocus(Qt::TabFocusReason);
    form->edtGoodsCode->setText(QStringLiteral("10040005"));
    form->btnCancel->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_EQ(form->edtBeautyCode->text(), QStringLiteral("3101"));
    EXPECT_EQ(form->edtGoodsCode->text(), QStringLiteral("10040005"));
}

TEST_F(TryOutLrTest, CodeBoxesTakeDigitsOnlyAndAskForTheOrganisationFirst)
{
    open();
    QTest::keyClicks(form->edtGrpCode, QStringLiteral("01a0'1"));
    EXPECT_EQ(form->edtGrpCode->text(), QStringLiteral("0101"));
    form->edtGrpCode->clear();

    // With no organisation, typing into the advisor box is refused with a warning.
    form->edtBeautyCode->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->edtBeautyCode, Qt::Key_3);
    EXPECT_EQ(messages(), QStringList({u"请首先输入组织。"_s}));
    EXPECT_TRUE(form->edtBeautyCode->text().isEmpty());
    EXPECT_TRUE(form->edtGrpCode->hasFocus());
    form->edtGoodsCode->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->edtGoodsCode, Qt::Key_1);
    EXPECT_EQ(messages().size(), 2);
    EXPECT_TRUE(form->edtGoodsCode->text().isEmpty());

    // Pasted text obeys the same filter as keys.
    form->edtGrpCode->setText(QStringLiteral("0101"));
    form->edtGoodsCode->insert(QStringLiteral("1001' or '1'='1"));
    EXPECT_TRUE(form->edtGoodsCode->text().isEmpty());
    form->edtGoodsCode->insert(QStringLiteral("10010001"));
    EXPECT_EQ(form->edtGoodsCode->text(), QStringLiteral("10010001"));
    // A code one digit too long is cut to the box's width (and the box says so in its tip).
    form->edtBeautyCode->insert(QString(21, QLatin1Char('3')));
    EXPECT_EQ(form->edtBeautyCode->text(), QString(20, QLatin1Char('3')));
    EXPECT_EQ(messages().size(), 2);
}

TEST_F(TryOutLrTest, RemarkWidthCountsGbkBytes)
{
    open();
    form->edtRemark->insert(QString(50, QChar(0x8BC4))); // 评: 2 bytes each
    EXPECT_EQ(form->edtRemark->text().size(), 50);
    form->edtRemark->insert(QStringLiteral("a"));
    EXPECT_EQ(form->edtRemark->text().size(), 50);
    form->edtRemark->clear();
    // A piece one byte too long is cut at the last whole character that fits, and that is told.
    QSignalSpy told(form->edtRemark->validator(), SIGNAL(refused(QString)));
    form->edtRemark->insert(QString(99, QLatin1Char('a')) + QStringLiteral("评"));
    EXPECT_EQ(form->edtRemark->text(), QString(99, QLatin1Char('a')));
    EXPECT_EQ(told.size(), 1);
}

TEST_F(TryOutLrTest, ALongerClerkCaptionIsShownWholeAndNameBoxesAreLegible)
{
    qorSession().clerkCaption = QStringLiteral("美容顾问导购");
    open();
    ASSERT_EQ(form->lblBeauty->text(), QStringLiteral("美容顾问导购："));
    EXPECT_GE(form->lblBeauty->width(), form->lblBeauty->sizeHint().width());
    EXPECT_LT(form->lblBeauty->geometry().right(), form->edtBeautyCode->geometry().left());
    EXPECT_TRUE(form->rect().contains(form->btnClose->geometry()));

    // The name boxes show their text in the normal colour, take no focus and cannot be typed into.
    for (QLineEdit* e : {form->edtGrpName, form->edtBeauty, form->edtGoodsName}) {
        EXPECT_TRUE(e->isEnabled()) << e->objectName().toStdString();
        EXPECT_TRUE(e->isReadOnly()) << e->objectName().toStdString();
        EXPECT_EQ(e->focusPolicy(), Qt::NoFocus) << e->objectName().toStdString();
    }
    enterAndLeave(form->edtGrpCode, QStringLiteral("0101"));
    EXPECT_EQ(form->edtGrpName->palette().color(QPalette::Text), form->edtGrpCode->palette().color(QPalette::Text));
    delete form.data();

    useShopStation(QStringLiteral("0101"), QStringLiteral("一楼化妆品"));
    open();
    EXPECT_TRUE(form->edtGrpName->isEnabled());
    EXPECT_TRUE(form->edtGrpName->isReadOnly());
}

// --- look-ups ------------------------------------------------------------------------------------

TEST_F(TryOutLrTest, OrganisationLookUp)
{
    open();
    fill(QStringLiteral("0101"), QStringLiteral("3001"), QStringLiteral("10010001"));
    Picker picker;
    picker.install();
    // Cancelled: the code stays, the name goes.
    click(form->btnOrg);
    EXPECT_EQ(picker.titles, QStringList({u"组织编码"_s, u"组织名称"_s}));
    EXPECT_EQ(picker.rows, QStringList({u"0101\t一楼化妆品"_s, u"0102\t二楼护肤品"_s, u"0103\t三楼香水"_s, u"0301\t加盟一店"_s}));
    EXPECT_EQ(form->edtGrpCode->text(), QStringLiteral("0101"));
    EXPECT_TRUE(form->edtGrpName->text().isEmpty());

    // 0103: advisor and good of 0101 are rechecked and cleared; the focus goes to the advisor.
    form->edtGrpCode->setFocus(Qt::TabFocusReason);
    picker.pick = QStringLiteral("0103");
    click(form->btnOrg);
    EXPECT_FALSE(form->btnOrg->hasFocus());
    EXPECT_EQ(messages(), QStringList({AdvisorText, GoodText}));
    EXPECT_EQ(form->edtGrpCode->text(), QStringLiteral("0103"));
    EXPECT_EQ(form->edtGrpName->text(), QStringLiteral("三楼香水"));
    EXPECT_EQ(form->CurrentOrg, QStringLiteral("0103"));
    EXPECT_TRUE(form->edtBeautyCode->text().isEmpty());
    EXPECT_TRUE(form->edtGoodsCode->text().isEmpty());
    EXPECT_TRUE(form->edtBeautyCode->hasFocus());

    // Picked while another box has the focus: the name follows the code all the same.
    form->edtRemark->setFocus(Qt::TabFocusReason);
    picker.pick = QStringLiteral("0102");
    click(form->btnOrg);
    EXPECT_EQ(form->edtGrpCode->text(), QStringLiteral("0102"));
    EXPECT_EQ(form->edtGrpName->text(), QStringLiteral("二楼护肤品"));
    EXPECT_EQ(messages().size(), 2);
}

TEST_F(TryOutLrTest, AdvisorAndGoodLookUps)
{
    open();
    Picker picker;
    picker.install();
    click(form->btnBeauty);
    EXPECT_EQ(messages(), QStringList({u"请首先录入组织。"_s}));
    EXPECT_EQ(picker.shown, 0);

    enterAndLeave(form->edtGrpCode, QStringLiteral("0101"));
    picker.pick = QStringLiteral("3002");
    click(form->btnBeauty);
    EXPECT_EQ(picker.titles, QStringList({u"美容顾问编码"_s, u"美容顾问姓名"_s}));
    EXPECT_EQ(picker.rows, QStringList({u"3001\t刘静"_s, u"3002\t陈敏"_s})); // 3101 is no advisor
    EXPECT_EQ(form->edtBeautyCode->text(), QStringLiteral("3002"));
    EXPECT_EQ(form->edtBeauty->text(), QStringLiteral("陈敏"));
    EXPECT_TRUE(form->edtGoodsCode->hasFocus());

    // Goods of booked sample-goods bills of 0101 only, each once; a name holding "+" is kept
    // whole (the result is split at the first "+").
    exec(QStringLiteral("update DrawDetail set PluName='精华+水' where PluCode='10010001'"));
    picker.pick = QStringLiteral("10010001");
    click(form->btnGoods);
    EXPECT_EQ(picker.titles, QStringList({u"试用品编码"_s, u"试用品名称"_s}));
    QStringList codes;
    for (const QString& r : picker.rows) codes << r.section(QLatin1Char('\t'), 0, 0);
    codes.sort();
    EXPECT_EQ(codes, QStringList({u"10010001"_s, u"10010002"_s, u"10010003"_s, u"10010005"_s, u"10010006"_s, u"10020001"_s,
                                  u"10020002"_s, u"10020003"_s, u"10020004"_s, u"10020005"_s}));
    EXPECT_EQ(form->edtGoodsCode->text(), QStringLiteral("10010001"));
    EXPECT_EQ(form->edtGoodsName->text(), QStringLiteral("精华+水"));
    EXPECT_TRUE(form->cmbResult->hasFocus());

    // An answer without "+" goes whole to both boxes.
    picker.pick = QStringLiteral("10020003");
    picker.oneColumn = true;
    click(form->btnGoods);
    EXPECT_EQ(form->edtGoodsCode->text(), QStringLiteral("10020003"));
    EXPECT_EQ(form->edtGoodsName->text(), QStringLiteral("10020003"));

    // Nothing chosen: the boxes keep what they hold.
    picker.pick.clear();
    click(form->btnBeauty);
    EXPECT_EQ(form->edtBeautyCode->text(), QStringLiteral("3002"));
    EXPECT_EQ(messages().size(), 1);
}

TEST_F(TryOutLrTest, LookUpSourcesQuoteTheOrganisation)
{
    // An organisation code held in the database with a quote in it.
    exec(QStringLiteral("insert into SubShop(OrgCode,OrgName,OrgType,IsDbDeploy) values ('01''9','引号柜','1','1');"
                        "insert into TryOutBK values ('2026-03-15','09:00:00','01''9','10010001','0','','3001','刘静',"
                        "'1001','王芳')"));
    const TTryOutRecord r = record(QStringLiteral("01'9"), QStringLiteral("引号柜"), QStringLiteral("3001"),
                                   QStringLiteral("刘静"), QStringLiteral("10010001"), QStringLiteral("雪肌精华水"));
    open(&r);
    Picker picker;
    picker.install();
    click(form->btnBeauty);
    click(form->btnGoods);
    EXPECT_EQ(picker.shown, 2);
    EXPECT_TRUE(picker.rows.isEmpty());
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'|').toStdString();
}

TEST_F(TryOutLrTest, AdvisorNameIsCutToItsStoredWidth)
{
    exec(QStringLiteral("insert into Staffs values ('3201','欧阳娜娜娜娜娜'); insert into UserOrg values ('3201','0101');"
                        "insert into XtUserSub values ('3201','01')"));
    open();
    fill(QStringLiteral("0101"), QStringLiteral("3201"), QStringLiteral("10010001"));
    EXPECT_EQ(form->edtBeauty->text(), QStringLiteral("欧阳娜娜娜"));
    click(form->btnConfirm);
    EXPECT_EQ(queryRows(*db, QStringLiteral("select ZdrName from TryOutBK where ZdrCode='3201'")),
              QStringList({u"欧阳娜娜娜"_s}));
}

// --- confirm ---------------------------------------------------------------------------------------

TEST_F(TryOutLrTest, ConfirmAsksForEachMissingEntryInOrder)
{
    open();
    click(form->btnConfirm);
    EXPECT_EQ(messages().value(0), QStringLiteral("请输入组织号！"));
    EXPECT_TRUE(form->edtGrpCode->hasFocus());
    enterAndLeave(form->edtGrpCode, QStringLiteral("0101"));
    click(form->btnConfirm);
    EXPECT_EQ(messages().value(1), QStringLiteral("请输入美容顾问！"));
    EXPECT_TRUE(form->edtBeautyCode->hasFocus());
    enterAndLeave(form->edtBeautyCode, QStringLiteral("3001"));
    click(form->btnConfirm);
    EXPECT_EQ(messages().value(2), QStringLiteral("请输入试用品编码！"));
    EXPECT_TRUE(form->edtGoodsCode->hasFocus());
    enterAndLeave(form->edtGoodsCode, QStringLiteral("10010001"));
    form->cmbResult->setCurrentIndex(-1);
    click(form->btnConfirm);
    EXPECT_EQ(messages().value(3), QStringLiteral("请选择试用结果！"));
    EXPECT_TRUE(form->cmbResult->hasFocus());
    EXPECT_EQ(messages().size(), 4);
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(list.loads, 0);
}

TEST_F(TryOutLrTest, ConfirmRechecksCodesThatSkippedTheirExitCheck)
{
    open();
    fill(QStringLiteral("0101"), QStringLiteral("3001"), QStringLiteral("10010001"));
    ASSERT_TRUE(messages().isEmpty());
    // Changed without leaving the box, then Confirm pressed without moving the focus.
    form->edtBeautyCode->setText(QStringLiteral("3003"));
    form->btnConfirm->click();
    EXPECT_EQ(messages(), QStringList({AdvisorText}));
    EXPECT_TRUE(form->edtBeautyCode->text().isEmpty());
    EXPECT_TRUE(form->edtBeautyCode->hasFocus());

    form->edtBeautyCode->setText(QStringLiteral("3001"));
    form->edtGoodsCode->setText(QStringLiteral("10040004"));
    form->btnConfirm->click();
    EXPECT_EQ(messages().last(), GoodText);
    EXPECT_TRUE(form->edtGoodsCode->hasFocus());

    form->edtGoodsCode->setText(QStringLiteral("10010001"));
    form->cmbResult->setFocus(Qt::TabFocusReason);
    form->edtGrpCode->setText(QStringLiteral("0104"));
    form->btnConfirm->click();
    EXPECT_EQ(messages().last(), QStringLiteral("输入的组织信息不存在！"));
    EXPECT_TRUE(form->edtGrpCode->hasFocus());

    // An organisation typed over without leaving the box: advisor and good are rechecked for it.
    form->edtGrpCode->setText(QStringLiteral("0103"));
    form->btnConfirm->click();
    EXPECT_EQ(messages().mid(3), QStringList({AdvisorText, GoodText, QStringLiteral("请输入美容顾问！")}));
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(list.loads, 0);
}

TEST_F(TryOutLrTest, AddModeSavesOneTrialAfterAnotherKeepingTheEntry)
{
    open();
    fill(QStringLiteral("0101"), QStringLiteral("3001"), QStringLiteral("10010001"));
    form->cmbResult->setCurrentIndex(1);
    form->edtRemark->setText(QStringLiteral("味道偏浓"));
    click(form->btnConfirm);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'|').toStdString();
    EXPECT_EQ(rows(), QStringList({u"0101\t10010001\t1\t味道偏浓\t3001\t刘静\t2026-03-15\t10:30:00\t1001\t王芳"_s}));
    EXPECT_EQ(list.loads, 1);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->edtGoodsCode->text().isEmpty());
    EXPECT_TRUE(form->edtGoodsName->text().isEmpty());
    EXPECT_TRUE(form->edtGoodsCode->hasFocus());
    EXPECT_EQ(form->edtGrpCode->text(), QStringLiteral("0101"));
    EXPECT_EQ(form->edtBeautyCode->text(), QStringLiteral("3001"));
    EXPECT_EQ(form->edtBeauty->text(), QStringLiteral("刘静"));
    EXPECT_EQ(form->cmbResult->currentIndex(), 1);
    EXPECT_EQ(form->edtRemark->text(), QStringLiteral("味道偏浓"));

    // The next good, a second later; then "0-满意" is stored as "0".
    setClock([] { return QDateTime(QDate(2026, 3, 15), QTime(15, 4, 5)); });
    enterAndLeave(form->edtGoodsCode, QStringLiteral("10010002"));
    form->cmbResult->setCurrentIndex(0);
    click(form->btnConfirm);
    EXPECT_EQ(rows().value(1), QStringLiteral("0101\t10010002\t0\t味道偏浓\t3001\t刘静\t2026-03-15\t15:04:05\t1001\t王芳"));
    EXPECT_EQ(list.loads, 2);

    // The same good in the same second is a duplicate.
    enterAndLeave(form->edtGoodsCode, QStringLiteral("10010002"));
    click(form->btnConfirm);
    EXPECT_EQ(messages(), QStringList({u"当前记录已存在。"_s}));
    EXPECT_EQ(rows().size(), 2);
    EXPECT_EQ(list.loads, 2);
}

TEST_F(TryOutLrTest, AnotherStationsRowInTheSameSecondIsShownAsExisting)
{
    // The other station stores the same key between this one's check and its insert.
    exec(QStringLiteral("create trigger OtherStation before insert on TryOutBK when NEW.Remark <> '其他站点' begin "
                        "insert into TryOutBK(BookDate,BookTime,OrgCode,PluCode,Remark) values "
                        "(NEW.BookDate,NEW.BookTime,NEW.OrgCode,NEW.PluCode,'其他站点'); end;"));
    open();
    fill(QStringLiteral("0101"), QStringLiteral("3001"), QStringLiteral("10010001"));
    click(form->btnConfirm);
    EXPECT_EQ(messages(), QStringList({u"当前记录已存在。"_s}));
    EXPECT_EQ(lastIcon(), MsgFlags::IconWarning);
    EXPECT_EQ(list.loads, 0);
    EXPECT_EQ(form->edtGoodsCode->text(), QStringLiteral("10010001"));
}

TEST_F(TryOutLrTest, AFailedSaveIsLoggedShownAndKeepsTheEntry)
{
    exec(QStringLiteral("create trigger Broken before insert on TryOutBK begin select raise(abort, '磁盘已满'); end;"));
    open();
    fill(QStringLiteral("0101"), QStringLiteral("3001"), QStringLiteral("10010001"));
    form->edtRemark->setText(QStringLiteral("很好用"));
    click(form->btnConfirm);
    EXPECT_EQ(messages(), QStringList({u"保存试用记录失败，请查看系统日志。"_s}));
    EXPECT_EQ(lastIcon(), MsgFlags::IconError);
    EXPECT_TRUE(errLog().contains(QStringLiteral("磁盘已满"))) << errLog().toStdString();
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(list.loads, 0);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->edtGoodsCode->hasFocus());
    EXPECT_EQ(form->edtGoodsCode->text(), QStringLiteral("10010001"));
    EXPECT_EQ(form->edtBeautyCode->text(), QStringLiteral("3001"));
    EXPECT_EQ(form->edtRemark->text(), QStringLiteral("很好用"));

    // Once the database takes it again, the same entry is stored.
    exec(QStringLiteral("drop trigger Broken"));
    click(form->btnConfirm);
    EXPECT_EQ(rows().size(), 1);
    EXPECT_EQ(list.loads, 1);
}

// --- edit mode -------------------------------------------------------------------------------------

TEST_F(TryOutLrTest, EditChangesExactlyTheEditedRecord)
{
    // Two goods registered in the same second at one organisation.
    insertTrial(QStringLiteral("0101"), QStringLiteral("10010001"));
    insertTrial(QStringLiteral("0101"), QStringLiteral("10010002"));
    const TTryOutRecord r = record(QStringLiteral("0101"), QStringLiteral("一楼化妆品"), QStringLiteral("3002"),
                                   QStringLiteral("陈敏"), QStringLiteral("10010001"), QStringLiteral("雪肌精华水"));
    open(&r);
    EXPECT_EQ(form->OldPluCode, QStringLiteral("10010001"));
    EXPECT_EQ(form->edtRemark->text(), QStringLiteral("原评价"));
    form->edtRemark->setText(QStringLiteral("改过"));
    form->cmbResult->setCurrentIndex(1);
    enterAndLeave(form->edtBeautyCode, QStringLiteral("3001"));
    click(form->btnConfirm); // the good unchanged: no duplicate of itself
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'|').toStdString();
    EXPECT_EQ(rows(), QStringList({u"0101\t10010001\t1\t改过\t3001\t刘静\t2026-03-15\t09:00:00\t1001\t王芳"_s,
                                   u"0101\t10010002\t0\t原评价\t3002\t陈敏\t2026-03-15\t09:00:00\t1001\t王芳"_s}));
    EXPECT_EQ(list.loads, 1);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(TryOutLrTest, EditMovesTheRecordToAnotherOrganisationUnlessTheKeyIsTaken)
{
    insertTrial(QStringLiteral("0101"), QStringLiteral("10010001"));
    insertTrial(QStringLiteral("0102"), QStringLiteral("10010005"));
    const TTryOutRecord r = record(QStringLiteral("0101"), QStringLiteral("一楼化妆品"), QStringLiteral("3002"),
                                   QStringLiteral("陈敏"), QStringLiteral("10010001"), QStringLiteral("雪肌精华水"));
    open(&r);
    enterAndLeave(form->edtGrpCode, QStringLiteral("0102"));
    enterAndLeave(form->edtGoodsCode, QStringLiteral("10010005"));
    click(form->btnConfirm);
    EXPECT_EQ(messages(), QStringList({u"当前记录已存在。"_s}));
    EXPECT_TRUE(form->isVisible());

    enterAndLeave(form->edtGoodsCode, QStringLiteral("10010001"));
    click(form->btnConfirm);
    EXPECT_EQ(messages().size(), 1);
    EXPECT_EQ(rows(), QStringList({u"0102\t10010001\t0\t原评价\t3002\t陈敏\t2026-03-15\t09:00:00\t1001\t王芳"_s,
                                   u"0102\t10010005\t0\t原评价\t3002\t陈敏\t2026-03-15\t09:00:00\t1001\t王芳"_s}));
}

TEST_F(TryOutLrTest, EditOfARecordGoneMeanwhileIsAnErrorAndKeepsTheForm)
{
    insertTrial(QStringLiteral("0101"), QStringLiteral("10010001"));
    const TTryOutRecord r = record(QStringLiteral("0101"), QStringLiteral("一楼化妆品"), QStringLiteral("3002"),
                                   QStringLiteral("陈敏"), QStringLiteral("10010001"), QStringLiteral("雪肌精华水"));
    open(&r);
    exec(QStringLiteral("delete from TryOutBK where BookDate='2026-03-15'"));
    form->edtRemark->setText(QStringLiteral("改过"));
    click(form->btnConfirm);
    EXPECT_EQ(messages(), QStringList({u"保存试用记录失败，请查看系统日志。"_s}));
    EXPECT_FALSE(errLog().isEmpty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->edtRemark->text(), QStringLiteral("改过"));
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(list.loads, 0);
}

TEST_F(TryOutLrTest, EditThatWouldChangeSeveralRowsIsRolledBack)
{
    // A table without the unique key (as an old installation may have it) holding a duplicate.
    exec(QStringLiteral("drop table TryOutBK; create table TryOutBK (BookDate varchar(10), BookTime varchar(8), "
                        "OrgCode varchar(6), PluCode varchar(20), Result varchar(1), Remark varchar(100), "
                        "ZdrCode varchar(20), ZdrName varchar(10), UserCode varchar(6), UserName varchar(10));"));
    insertTrial(QStringLiteral("0101"), QStringLiteral("10010001"));
    insertTrial(QStringLiteral("0101"), QStringLiteral("10010001"));
    const TTryOutRecord r = record(QStringLiteral("0101"), QStringLiteral("一楼化妆品"), QStringLiteral("3002"),
                                   QStringLiteral("陈敏"), QStringLiteral("10010001"), QStringLiteral("雪肌精华水"));
    open(&r);
    form->edtRemark->setText(QStringLiteral("改过"));
    click(form->btnConfirm);
    EXPECT_EQ(messages(), QStringList({u"保存试用记录失败，请查看系统日志。"_s}));
    EXPECT_EQ(queryRows(*db, QStringLiteral("select Remark from TryOutBK")), QStringList({u"原评价"_s, u"原评价"_s}));
    EXPECT_TRUE(form->isVisible());
}

TEST_F(TryOutLrTest, EditRechecksOnlyTheCodesThatChanged)
{
    // Since the record was made its advisor left the counter and its bill was un-booked.
    insertTrial(QStringLiteral("0101"), QStringLiteral("10010001"));
    exec(QStringLiteral("delete from UserOrg where StaffCode='3002';"
                        "update DrawForm set RzDate=null where OrgCode='0101';"));
    const TTryOutRecord r = record(QStringLiteral("0101"), QStringLiteral("一楼化妆品"), QStringLiteral("3002"),
                                   QStringLiteral("陈敏"), QStringLiteral("10010001"), QStringLiteral("雪肌精华水"));
    open(&r);
    // Leaving the unchanged boxes checks nothing either.
    enterAndLeave(form->edtGrpCode, QStringLiteral("0101"));
    enterAndLeave(form->edtBeautyCode, QStringLiteral("3002"));
    enterAndLeave(form->edtGoodsCode, QStringLiteral("10010001"));
    form->edtRemark->setText(QStringLiteral("只改评价"));
    click(form->btnConfirm);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'|').toStdString();
    EXPECT_EQ(rows(), QStringList({u"0101\t10010001\t0\t只改评价\t3002\t陈敏\t2026-03-15\t09:00:00\t1001\t王芳"_s}));
    delete form.data();

    // A changed advisor is checked: one who left the counter is refused.
    exec(QStringLiteral("update UserOrg set OrgCode='0102' where StaffCode='3001'"));
    open(&r);
    form->edtBeautyCode->setText(QStringLiteral("3001"));
    click(form->btnConfirm); // leaving the box checks the changed code and empties it
    EXPECT_EQ(messages(), QStringList({AdvisorText, QStringLiteral("请输入美容顾问！")}));
    EXPECT_EQ(rows().value(0).section(QLatin1Char('\t'), 3, 4), QStringLiteral("只改评价\t3002"));
}

TEST_F(TryOutLrTest, ALoadedRemarkTooLongIsRefusedAtConfirm)
{
    const QString longRemark = QString(60, QChar(0x8BC4)); // 120 GBK bytes, stored by an older program
    insertTrial(QStringLiteral("0101"), QStringLiteral("10010001"), QStringLiteral("09:00:00"), longRemark);
    TTryOutRecord r = record(QStringLiteral("0101"), QStringLiteral("一楼化妆品"), QStringLiteral("3002"),
                             QStringLiteral("陈敏"), QStringLiteral("10010001"), QStringLiteral("雪肌精华水"));
    r.Remark = longRemark;
    open(&r);
    EXPECT_EQ(form->edtRemark->text(), longRemark); // shown as it is, not cut behind the user's back
    form->cmbResult->setCurrentIndex(1);
    click(form->btnConfirm);
    EXPECT_EQ(messages(), QStringList({u"评价超过最大长度（100字节），请修改后再保存！"_s}));
    EXPECT_TRUE(form->edtRemark->hasFocus());
    EXPECT_EQ(rows().value(0).section(QLatin1Char('\t'), 2, 2), QStringLiteral("0"));

    form->edtRemark->end(false);
    for (int i = 0; i < 10; ++i) form->edtRemark->backspace();
    click(form->btnConfirm);
    EXPECT_EQ(messages().size(), 1);
    EXPECT_EQ(rows().value(0).section(QLatin1Char('\t'), 2, 3), QStringLiteral("1\t") + QString(50, QChar(0x8BC4)));
}

// --- cancel, close, opening ----------------------------------------------------------------------------

TEST_F(TryOutLrTest, CancelClearsTheEntryOrReturnsToTheRecord)
{
    open();
    fill(QStringLiteral("0101"), QStringLiteral("3001"), QStringLiteral("10010001"));
    form->edtRemark->setText(QStringLiteral("x"));
    form->cmbResult->setCurrentIndex(1);
    click(form->btnCancel);
    EXPECT_EQ(form->edtGrpCode->text(), QStringLiteral("0101"));
    EXPECT_EQ(form->edtGrpName->text(), QStringLiteral("一楼化妆品"));
    for (QLineEdit* e : {form->edtBeautyCode, form->edtBeauty, form->edtGoodsCode, form->edtGoodsName, form->edtRemark})
        EXPECT_TRUE(e->text().isEmpty()) << e->objectName().toStdString();
    EXPECT_EQ(form->cmbResult->currentIndex(), 0);
    EXPECT_TRUE(form->edtGrpCode->hasFocus());
    delete form.data();

    TTryOutRecord r = record(QStringLiteral("0101"), QStringLiteral("一楼化妆品"), QStringLiteral("3002"),
                             QStringLiteral("陈敏"), QStringLiteral("10010001"), QStringLiteral("雪肌精华水"));
    r.ResultD = QStringLiteral("1-不满意");
    open(&r);
    EXPECT_EQ(form->cmbResult->currentIndex(), 1);
    enterAndLeave(form->edtGrpCode, QStringLiteral("0102"));
    enterAndLeave(form->edtGoodsCode, QStringLiteral("10010005"));
    form->edtRemark->setText(QStringLiteral("y"));
    form->cmbResult->setCurrentIndex(0);
    click(form->btnCancel);
    EXPECT_EQ(form->edtGrpCode->text(), QStringLiteral("0101"));
    EXPECT_EQ(form->edtGrpName->text(), QStringLiteral("一楼化妆品"));
    EXPECT_EQ(form->edtGoodsCode->text(), QStringLiteral("10010001"));
    EXPECT_EQ(form->edtGoodsName->text(), QStringLiteral("雪肌精华水"));
    EXPECT_EQ(form->edtRemark->text(), QStringLiteral("原评价"));
    EXPECT_EQ(form->cmbResult->currentText(), QStringLiteral("1-不满意"));
    EXPECT_EQ(form->BookTime, QStringLiteral("09:00:00"));
}

TEST_F(TryOutLrTest, OpenedModallyAndFreedAfterwards)
{
    const TTryOutRecord r = record(QStringLiteral("0101"), QStringLiteral("一楼化妆品"), QStringLiteral("3002"),
                                   QStringLiteral("陈敏"), QStringLiteral("10010001"), QStringLiteral("雪肌精华水"));
    QPointer<TfrmTryOutLr> seen;
    bool edit = false;
    QString goods;
    setModalHook([&](QDialog* d) {
        seen = qobject_cast<TfrmTryOutLr*>(d);
        if (!seen) return int(QDialog::Rejected);
        d->show();
        edit = seen->EditMode;
        goods = seen->edtGoodsCode->text();
        QTest::mouseClick(seen->btnClose, Qt::LeftButton);
        return d->result();
    });
    ShowTryOutEntry(&list, &list, &r);
    EXPECT_TRUE(edit);
    EXPECT_EQ(goods, QStringLiteral("10010001"));
    EXPECT_TRUE(seen.isNull());
}
