// The detail panel: the fields of the current record, the links the user may run, placement on
// the screen, the link click, closing, and the cases where no panel appears.
#include "framework/ShowDetail.h"

#include "host/include/PubProcDll.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/dataset/Field.h"
#include "platform/grid/DBGridEh.h"
#include "platform/grid/GridServices.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QList<QStringList> linkCalls;
void recordLink(const QString& a, const QString& b, const QString& c, const QString& d,
                const QString& e, const QString& f)
{
    linkCalls.append(QStringList{a, b, c, d, e, f});
}

QList<TfrmQorDetail*> allPanels()
{
    QList<TfrmQorDetail*> out;
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows)
        if (auto* d = qobject_cast<TfrmQorDetail*>(w)) out << d;
    return out;
}

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class ShowDetailTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        linkCalls.clear();
        host = new QWidget;
        host->resize(800, 480);
        auto* lay = new QVBoxLayout(host);
        grid = new TDBGridEh(host);
        lay->addWidget(grid);
        ds = new TClientDataSet(host);
        src = new TDataSource(host);
        src->setDataSet(ds);
        grid->setDataSource(src);
    }
    void TearDown() override
    {
        for (TfrmQorDetail* p : allPanels()) delete p;
        delete host;
        HostTest::TearDown();
    }
    // One text field and one column per caption; rows of values (one text per caption).
    void fill(const QStringList& captions, const QList<QStringList>& rows)
    {
        for (int i = 0; i < captions.size(); ++i)
            ds->addField(u"F"_s + QString::number(i + 1), ftString, 20);
        ds->CreateDataSet();
        for (const QStringList& r : rows) {
            ds->Append();
            for (int i = 0; i < r.size(); ++i) ds->Fields().at(i)->setAsString(r[i]);
            ds->Post();
        }
        for (int i = 0; i < captions.size(); ++i) {
            TColumnEh* c = grid->Columns()->Add();
            c->setFieldName(u"F"_s + QString::number(i + 1));
            c->Title()->setCaption(captions[i]);
        }
    }
    TfrmQorDetail* open(int top = 100, int left = 100, const QString& funCode = u"080101"_s,
                        TLinkFuncProc proc = &recordLink)
    {
        ShowRowDetail(proc, grid, funCode, 360, 460, u"附加"_s, top, left, CurUserCode());
        return TfrmQorDetail::current();
    }
    static QStringList shownLinks(TfrmQorDetail* p)
    {
        QStringList out;
        for (QLabel* l : p->lblLink)
            if (l->isVisible()) out << l->text();
        return out;
    }
    QWidget* host = nullptr;
    TDBGridEh* grid = nullptr;
    TClientDataSet* ds = nullptr;
    TDataSource* src = nullptr;
};

TEST_F(ShowDetailTest, FieldsOfTheCurrentRecord)
{
    // 26 columns, one of them hidden: 25 pairs collected, the first 20 shown.
    QStringList captions, first, second;
    for (int i = 1; i <= 26; ++i) {
        captions << u"列"_s + QString::number(i);
        first << u"甲"_s + QString::number(i);
        second << u"乙"_s + QString::number(i);
    }
    captions[2] = u"销售|数量"_s;
    fill(captions, {first, second});
    grid->Columns()->Items(1)->setVisible(false);
    ds->Last();

    TfrmQorDetail* p = open();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->fields().size(), 25);
    EXPECT_EQ(p->lblTitle[0]->text(), u"列1: "_s);
    EXPECT_EQ(p->lblInfor[0]->text(), u"乙1"_s);
    EXPECT_EQ(p->lblTitle[1]->text(), u"销售数量: "_s);
    EXPECT_EQ(p->lblInfor[1]->text(), u"乙3"_s);
    EXPECT_EQ(p->lblTitle[19]->text(), u"列21: "_s);
    for (int i = 0; i < TfrmQorDetail::MaxFields; ++i) {
        EXPECT_TRUE(p->lblTitle[i]->isVisible()) << i;
        EXPECT_TRUE(p->lblInfor[i]->isVisible()) << i;
    }
    // Two columns of pairs: odd numbers left, even right, rows 24 pixels apart.
    EXPECT_EQ(p->lblTitle[0]->pos(), QPoint(16, 16));
    EXPECT_EQ(p->lblTitle[1]->pos(), QPoint(240, 16));
    EXPECT_EQ(p->lblTitle[2]->pos(), QPoint(16, 40));
    EXPECT_EQ(p->lblInfor[1]->pos(), QPoint(328, 16));
    EXPECT_EQ(p->extraText(), u"附加"_s);
}

TEST_F(ShowDetailTest, CaptionsAndValuesAreCutWholeCharactersAndShownAsPlainText)
{
    fill({u"一二三四五六七"_s, u"a一二三四五六"_s, u"短"_s, u"x"_s, u"y"_s},
         {{u"1234567890一二三四五六"_s, u"x一二三四五六七八九十"_s, u"一二三四五六七八九十"_s,
           u"<b>粗</b>"_s, QString()}});
    TfrmQorDetail* p = open();
    ASSERT_NE(p, nullptr);
    // 12 bytes of caption: six characters; a character that would be split is left out whole.
    EXPECT_EQ(p->lblTitle[0]->text(), u"一二三四五六: "_s);
    EXPECT_EQ(p->lblTitle[1]->text(), u"a一二三四五: "_s);
    // 20 bytes of value; a cut value is marked.
    EXPECT_EQ(p->lblInfor[0]->text(), u"1234567890一二三四五…"_s);
    EXPECT_EQ(p->lblInfor[1]->text(), u"x一二三四五六七八九…"_s);
    EXPECT_EQ(p->lblInfor[2]->text(), u"一二三四五六七八九十"_s);
    // Data is never read as markup.
    EXPECT_EQ(p->lblInfor[3]->text(), u"<b>粗</b>"_s);
    EXPECT_EQ(p->lblInfor[3]->textFormat(), Qt::PlainText);
    EXPECT_EQ(p->lblInfor[4]->text(), QString());
    EXPECT_TRUE(p->lblInfor[4]->isVisible());
    EXPECT_FALSE(p->lblTitle[5]->isVisible());
}

TEST_F(ShowDetailTest, AMaskedCostColumnShowsItsMask)
{
    ds->addField(u"PluName"_s, ftString, 20);
    ds->addField(u"Cost"_s, ftFloat);
    ds->CreateDataSet();
    ds->Append();
    ds->FieldByName(u"PluName"_s)->setAsString(u"口红"_s);
    ds->FieldByName(u"Cost"_s)->setAsFloat(12.5);
    ds->Post();
    for (const QString& n : {u"PluName"_s, u"Cost"_s}) grid->Columns()->Add()->setFieldName(n);
    grid->Columns()->Items(1)->setDisplayFormat(u"#,##0.00"_s);
    ASSERT_EQ(CollectDetailFields(grid).value(1).second, u"12.50"_s);

    MaskDataSetFields(ds, {u"Cost"_s});
    MaskGridColumns(grid, {u"Cost"_s});
    TfrmQorDetail* p = open();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->lblInfor[0]->text(), u"口红"_s);
    EXPECT_EQ(p->lblInfor[1]->text(), u"*"_s);
}

TEST_F(ShowDetailTest, LinksFollowRightsEditionAndEntryPoint)
{
    fill({u"单号"_s}, {{u"1"_s}});
    // Head office: staff data (edition 1) is offered; organisation data has no entry point.
    TfrmQorDetail* p = open();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(shownLinks(p), (QStringList{u"试用品统计报表"_s, u"试用品领用单"_s, u"商品资料"_s, u"员工资料"_s}));
    EXPECT_TRUE(p->pnlBottom->isVisible());
    EXPECT_TRUE(p->bvlLine->isVisible());
    EXPECT_EQ(p->height(), 360);
    EXPECT_EQ(p->lblLink[1]->pos(), QPoint(128, 16));
    EXPECT_EQ(p->lblLink[0]->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(p->lblLink[0]->font().underline());

    // A shop station does not see the head-office edition.
    useShopStation(u"0101"_s, u"一楼化妆品"_s);
    p = open();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(shownLinks(p), (QStringList{u"试用品统计报表"_s, u"试用品领用单"_s, u"商品资料"_s}));

    // A user in no group may run none of them: no link area, a shorter panel.
    qorSession().userCode = u"9999"_s;
    p = open();
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(shownLinks(p).isEmpty());
    EXPECT_FALSE(p->pnlBottom->isVisible());
    EXPECT_FALSE(p->bvlLine->isVisible());
    EXPECT_EQ(p->height(), 360 - TfrmQorDetail::BottomHeight);
    EXPECT_EQ(p->shpBottom->geometry(), QRect(0, p->height() - 1, 460, 1));
    EXPECT_EQ(p->pnlMain->height(), p->height());
}

TEST_F(ShowDetailTest, PlacementInsideTheWorkArea)
{
    fill({u"单号"_s}, {{u"1"_s}});
    const QRect wa = QGuiApplication::primaryScreen()->availableGeometry();
    TfrmQorDetail* p = open(wa.top() + 50, wa.left() + 60);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->geometry(), QRect(wa.left() + 60, wa.top() + 50, 460, 360));
    EXPECT_DOUBLE_EQ(p->windowOpacity(), 200.0 / 255.0);
    EXPECT_TRUE(p->windowFlags() & Qt::FramelessWindowHint);

    // Near the right and bottom edges the panel is moved in.
    p = open(wa.bottom() - 40, wa.right() - 30);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->geometry(), QRect(wa.x() + wa.width() - 460, wa.y() + wa.height() - 360, 460, 360));

    // Another screen's work area, and a panel larger than the work area.
    const QRect second(1920, 0, 1280, 1000);
    EXPECT_EQ(FitDetailPosition(second, 3100, 950, 460, 360), QPoint(3200 - 460, 1000 - 360));
    EXPECT_EQ(FitDetailPosition(second, 2000, 10, 460, 360), QPoint(2000, 10));
    EXPECT_EQ(FitDetailPosition(QRect(0, 0, 400, 300), 50, 50, 460, 360), QPoint(0, 0));
}

TEST_F(ShowDetailTest, ALinkClickHandsOverTheSixTextsWhole)
{
    fill({u"单号"_s}, {{u"1"_s}});
    // A name holding the separator once shifted the texts handed to the host.
    db->executeScript(u"update XtFunction set FunName='领用|单据' where FunCode='080103'"_s);
    TfrmQorDetail* p = open();
    ASSERT_NE(p, nullptr);
    QTest::mouseClick(p->lblLink[1], Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(linkCalls.size(), 1);
    EXPECT_EQ(linkCalls[0], (QStringList{u"080103"_s, u"领用|单据"_s, u"libdrawbill.so"_s,
                                         u"frmDrawBillShow"_s, u"1"_s, u"附加"_s}));
    // The panel stays open after a link.
    EXPECT_EQ(TfrmQorDetail::current(), p);
    EXPECT_TRUE(p->isVisible());

    // Without a procedure a link does nothing.
    p = open(100, 100, u"080101"_s, nullptr);
    ASSERT_NE(p, nullptr);
    QTest::mouseClick(p->lblLink[0], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(linkCalls.size(), 1);
    EXPECT_TRUE(p->isVisible());
    EXPECT_TRUE(prompts->calls.empty());
}

TEST_F(ShowDetailTest, OnePanelAtATimeClosedByAClickOrEscape)
{
    fill({u"单号"_s, u"名称"_s}, {{u"1"_s, u"口红"_s}});
    QPointer<TfrmQorDetail> first = open();
    ASSERT_TRUE(first);
    QPointer<TfrmQorDetail> second = open(120, 120);
    ASSERT_TRUE(second);
    EXPECT_NE(first.data(), second.data());
    flushDeletes();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(allPanels().size(), 1);

    // A click on a value closes, as a click anywhere on the panel but a link does.
    QTest::mouseClick(second->lblInfor[1], Qt::LeftButton, {}, QPoint(3, 3));
    flushDeletes();
    EXPECT_TRUE(second.isNull());
    EXPECT_EQ(TfrmQorDetail::current(), nullptr);

    QPointer<TfrmQorDetail> third = open();
    ASSERT_TRUE(third);
    QTest::mouseClick(third->pnlBottom, Qt::LeftButton, {}, QPoint(440, 60));
    flushDeletes();
    EXPECT_TRUE(third.isNull());

    QPointer<TfrmQorDetail> fourth = open();
    ASSERT_TRUE(fourth);
    QTest::keyClick(fourth.data(), Qt::Key_Escape);
    flushDeletes();
    EXPECT_TRUE(fourth.isNull());
    EXPECT_TRUE(allPanels().isEmpty());
}

TEST_F(ShowDetailTest, NoPanelForAnEmptyGridOrWhenOpeningFails)
{
    fill({u"单号"_s}, {});
    EXPECT_EQ(open(), nullptr);
    ShowRowDetail(&recordLink, nullptr, u"080101"_s, 360, 460, QString(), 10, 10, CurUserCode());
    ds->Close();
    EXPECT_EQ(open(), nullptr);
    EXPECT_TRUE(allPanels().isEmpty());

    // A database error while reading the links: nothing shown, nothing asked, the log has it.
    ds->Open();
    ds->Append();
    ds->Fields().at(0)->setAsString(u"1"_s);
    ds->Post();
    db->executeScript(u"drop table XtLinkFunc"_s);
    EXPECT_EQ(open(), nullptr);
    flushDeletes();
    EXPECT_TRUE(allPanels().isEmpty());
    EXPECT_TRUE(prompts->calls.empty());
    QDir logDir(QString::fromLocal8Bit(qgetenv("QOR_LOG_DIR")));
    EXPECT_TRUE(logDir.exists(u"SysErr.Log"_s));
}

TEST_F(ShowDetailTest, ScreenshotOverAGrid)
{
    fill({u"机构"_s, u"商品|编码"_s, u"商品|名称"_s, u"顾问"_s, u"日期"_s, u"时间"_s, u"结果"_s,
          u"备注"_s},
         {{u"0101-一楼化妆品"_s, u"6901234567890"_s, u"保湿精华露五十毫升装特别版"_s, u"3001-李娜"_s,
           u"2026-03-15"_s, u"10:30:00"_s, u"满意"_s, u"顾客希望下次有小样"_s},
          {u"0102-二楼护肤"_s, u"6901234567891"_s, u"口红"_s, u"3002-张敏"_s, u"2026-03-14"_s,
           u"09:05:10"_s, u"不满意"_s, QString()}});
    host->move(0, 0);
    host->show();
    TfrmQorDetail* p = open(host->y() + 60, host->x() + 120);
    ASSERT_NE(p, nullptr);

    // The panel is its own window: blend it onto the grid's picture where it lies.
    QImage shot = host->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage panel = p->grab().toImage();
    const QPoint at = p->geometry().topLeft() - host->geometry().topLeft();
    {
        QPainter painter(&shot);
        painter.setOpacity(p->windowOpacity());
        painter.drawImage(at, panel);
    }
    const QString file = qEnvironmentVariableIsSet("QOR_DETAIL_SHOT")
                             ? qEnvironmentVariable("QOR_DETAIL_SHOT")
                             : testTempDir() + u"/detail.png"_s;
    ASSERT_TRUE(shot.save(file));

    // The edge line is drawn and the first caption has ink on the tool-tip background.
    const QColor edge = panel.pixelColor(200, 0);
    const QColor back = panel.pixelColor(200, 5);
    EXPECT_NE(edge, back);
    EXPECT_EQ(back, p->palette().color(QPalette::ToolTipBase));
    const QImage caption = p->lblTitle[0]->grab().toImage();
    bool ink = false;
    for (int x = 0; x < caption.width() && !ink; ++x)
        for (int y = 0; y < caption.height() && !ink; ++y)
            ink = caption.pixelColor(x, y) != back;
    EXPECT_TRUE(ink);
}

} // namespace
