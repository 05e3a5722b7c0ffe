// Columns that follow the dataset, footer kinds, the footer strip, colours, hints, Enter as Tab,
// refused edits, and the sort handler's edge cases.
#include "platform/grid/GridServices.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "platform/grid/PrintDBGridEh.h"
#include "platform/sys/Clock.h"
#include "tests/support/TestSupport.h"

#include <QHeaderView>
#include <QImage>
#include <QProcess>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Fixture {
    TClientDataSet ds;
    TDataSource src;
    TDBGridEh grid;
    Fixture(int rows = 3)
    {
        TField* code = ds.addField(QStringLiteral("Code"), ftString, 6);
        TField* qty = ds.addField(QStringLiteral("Qty"), ftFloat);
        ds.FieldByName(QStringLiteral("Code"))->setDisplayLabel(QStringLiteral("编码"));
        ds.CreateDataSet();
        for (int i = 1; i <= rows; ++i) {
            ds.Append();
            code->setAsString(QStringLiteral("C%1").arg(i));
            qty->setAsFloat(i * 1.5);
            ds.Post();
        }
        src.setDataSet(&ds);
        grid.setDataSource(&src);
        grid.resize(400, 300);
    }
};

TEST(GridColumns, DefaultColumnsFollowTheVisibleFieldsUntilTheGridHasItsOwn)
{
    Fixture f;
    ASSERT_EQ(f.grid.Columns()->Count(), 2);
    EXPECT_TRUE(f.grid.Columns()->IsDefault());
    EXPECT_EQ(f.grid.Columns()->Items(0)->Title()->Caption(), QStringLiteral("编码")); // the field's label
    TField* hidden = f.ds.addField(QStringLiteral("Secret"), ftString, 4);
    hidden->setVisible(false);
    TField* shown = f.ds.addField(QStringLiteral("Note"), ftString, 4);
    EXPECT_EQ(f.grid.Columns()->Count(), 3);
    EXPECT_EQ(f.grid.Columns()->FindColumnByName(QStringLiteral("note"))->Field(), shown);
    EXPECT_EQ(f.grid.Columns()->FindColumnByName(QStringLiteral("Secret")), nullptr);
    // The first own column replaces the default ones.
    TColumnEh* c = f.grid.Columns()->Add();
    c->setFieldName(QStringLiteral("Qty"));
    EXPECT_FALSE(f.grid.Columns()->IsDefault());
    EXPECT_EQ(f.grid.Columns()->Count(), 1);
    f.ds.addField(QStringLiteral("Later"), ftString, 4);
    EXPECT_EQ(f.grid.Columns()->Count(), 1);
    // A column bound to a missing field shows nothing; closing the dataset empties the grid.
    TColumnEh* ghost = f.grid.Columns()->Add();
    ghost->setFieldName(QStringLiteral("Nope"));
    EXPECT_EQ(ghost->Field(), nullptr);
    EXPECT_EQ(f.grid.model()->index(0, 1).data().toString(), QString());
    f.ds.Close();
    EXPECT_EQ(f.grid.model()->rowCount(), 0);
}

TEST(GridColumns, FooterKindsAndTheStripUnderTheRows)
{
    Fixture f(40);
    f.grid.setFooterRowCount(1);
    TColumnEh* code = f.grid.Columns()->Items(0);
    TColumnEh* qty = f.grid.Columns()->Items(1);
    code->Footer()->setValueType(fvtCount);
    qty->Footer()->setValueType(fvtAvg);
    EXPECT_EQ(f.grid.footerText(0), QStringLiteral("40"));
    EXPECT_EQ(f.grid.footerText(1), QStringLiteral("30.75")); // (1.5 + ... + 60) / 40
    qty->Footer()->setValueType(fvtSum);
    qty->setDisplayFormat(QStringLiteral("#,##0.0"));
    EXPECT_EQ(f.grid.footerText(1), QStringLiteral("1,230.0")); // the column's format
    f.grid.setSumListActive(false);
    qty->Footer()->setValue(QStringLiteral("n/a"));
    EXPECT_EQ(f.grid.footerText(1), QStringLiteral("n/a"));
    f.grid.setSumListActive(true);
    code->Footer()->setValueType(fvtFieldValue);
    f.ds.Last();
    EXPECT_EQ(f.grid.footerText(0), QStringLiteral("C40"));

    // The strip lies under the viewport, above the scroll bar, and is painted in the footer colour.
    f.grid.setFooterColor(colorFromTColor(0x00EEF1F2)); // the suite's 15659506
    EXPECT_EQ(f.grid.FooterColor(), QColor(0xF2, 0xF1, 0xEE));
    f.grid.show();
    QWidget* strip = nullptr;
    for (QWidget* w : f.grid.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (w->isVisible() && w->height() == f.grid.footerHeight() && w != f.grid.viewport()) strip = w;
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->geometry().top(), f.grid.viewport()->geometry().bottom() + 1);
    const QImage img = strip->grab().toImage();
    EXPECT_EQ(img.pixelColor(img.width() - 3, 2), QColor(0xF2, 0xF1, 0xEE));
    f.grid.setFooterRowCount(0);
    EXPECT_FALSE(strip->isVisible());
}

TEST(GridColumns, HintsEnterAsTabAndRefusedEdits)
{
    Fixture f;
    f.grid.setHint(QStringLiteral("<全部>"));
    EXPECT_EQ(f.grid.toolTip(), QString());
    f.grid.setShowHint(true);
    EXPECT_EQ(f.grid.toolTip(), QStringLiteral("<全部>"));
    f.grid.setHint(QStringLiteral("(名称 含有 '霜')"));
    EXPECT_EQ(f.grid.toolTip(), QStringLiteral("(名称 含有 '霜')"));

    f.grid.show();
    f.grid.setOptionsEh(dghEnterAsTab);
    f.grid.setCurrentIndex(f.grid.model()->index(0, 0));
    QTest::keyClick(&f.grid, Qt::Key_Return);
    EXPECT_EQ(f.grid.currentIndex(), f.grid.model()->index(0, 1));
    QTest::keyClick(&f.grid, Qt::Key_Return);
    EXPECT_EQ(f.grid.currentIndex(), f.grid.model()->index(1, 0));
    EXPECT_EQ(f.ds.RecNo(), 2);

    // A read-only grid offers no editors; an edit the field refuses shows its error.
    f.grid.setReadOnly(true);
    EXPECT_FALSE(f.grid.editCurrentCell());
    f.grid.setReadOnly(false);
    ScriptedPrompter prompts;
    prompts.pushButton(MsgResult::OK);
    EXPECT_FALSE(f.grid.model()->setData(f.grid.model()->index(1, 1), QStringLiteral("abc"), Qt::EditRole));
    ASSERT_EQ(prompts.calls.size(), 1u);
    EXPECT_TRUE(prompts.calls[0].text.contains(QStringLiteral("abc")));
    EXPECT_EQ(f.ds.State(), dsBrowse); // the refused edit is undone
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("Qty"))->AsFloat(), 3.0);
    EXPECT_TRUE(f.grid.model()->setData(f.grid.model()->index(1, 1), QStringLiteral("4.25"), Qt::EditRole));
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("Qty"))->AsFloat(), 4.25);
    EXPECT_EQ(f.ds.State(), dsBrowse);
}

TEST(GridColumns, SortHandlerEdgeCases)
{
    Fixture f;
    EnableTitleSort(&f.grid);
    // Removing the last marker returns to the loaded order.
    f.grid.clickTitle(1, true);
    f.grid.clickTitle(1, true); // descending
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("Code"))->AsString(), QStringLiteral("C3"));
    f.grid.clickTitle(1, true); // unmarked
    EXPECT_TRUE(f.grid.SortMarkedColumns().isEmpty());
    EXPECT_FALSE(f.ds.HasIndex(SortIndexName));
    EXPECT_EQ(f.ds.IndexName(), QString());
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("Code"))->AsString(), QStringLiteral("C1"));
    // Without automatic marking a title click only reports itself.
    int clicks = 0;
    f.grid.setOptionsEh({});
    f.grid.setOnTitleBtnClick([&](TDBGridEh*, TColumnEh* c) { clicks += c->Index() + 1; });
    f.grid.clickTitle(0);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(f.grid.SortMarkedColumns().isEmpty());
    // A grid without a dataset, and a handler that throws, are contained.
    TDBGridEh bare;
    EXPECT_NO_THROW(TPubEvent::SortMarkingChanged(&bare));
    EXPECT_NO_THROW(TPubEvent::SortMarkingChanged(nullptr));
    ScriptedPrompter prompts;
    prompts.pushButton(MsgResult::OK);
    f.grid.setOptionsEh(dghAutoSortMarking);
    f.grid.setOnSortMarkingChanged([](TDBGridEh*) { throw DatasetError(QStringLiteral("排序失败")); });
    EXPECT_NO_THROW(f.grid.clickTitle(0));
    ASSERT_EQ(prompts.calls.size(), 1u);
}

TEST(GridPrint, WideGridsFitThePageAndTitlesRepeatWhenAsked)
{
    setClock([] { return QDateTime(QDate(2026, 3, 15), QTime(10, 30, 0)); });
    Fixture f(120);
    // Many wide columns: fitted to the page width, every title still printed.
    for (int i = 0; i < 6; ++i) {
        TColumnEh* c = f.grid.Columns()->Add();
        c->setFieldName(i % 2 ? QStringLiteral("Qty") : QStringLiteral("Code"));
        c->Title()->setCaption(QStringLiteral("第%1列").arg(i + 1));
        c->setWidth(300);
    }
    TPrintDBGridEh pr;
    pr.setDBGridEh(&f.grid);
    pr.PageHeader().CenterText = QStringList{QStringLiteral("宽表")};
    const QString file = testTempDir() + QStringLiteral("/wide.pdf");
    auto text = [&] {
        pr.PrintToPdf(file);
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    QString t = text();
    const int pages = pr.lastPageCount();
    ASSERT_GE(pages, 2);
    for (int i = 1; i <= 6; ++i) EXPECT_TRUE(t.contains(QStringLiteral("第%1列").arg(i))) << i;
    EXPECT_EQ(t.count(QStringLiteral("第6列")), 1); // titles on the first page only
    pr.Options |= pghColHeadersOnEachPage;
    t = text();
    EXPECT_EQ(t.count(QStringLiteral("第6列")), pr.lastPageCount());
    // Without fitting, a column that does not fit the page is cut off.
    pr.Options = 0;
    t = text();
    EXPECT_FALSE(t.contains(QStringLiteral("第6列")));
    setClock({});
}

} // namespace

// A column without a width of its own shows a value as wide as its field whole: a date of
// ten characters is not cut to "2025-10-…" by the cell's text margins.
TEST(GridColumns, DefaultWidthShowsAValueOfTheFieldsWidthWhole)
{
    TClientDataSet ds;
    TField* date = ds.addField(QStringLiteral("BookDate"), ftString, 10);
    ds.CreateDataSet();
    ds.Append();
    date->setAsString(QStringLiteral("2025-10-15"));
    ds.Post();
    TDataSource src;
    src.setDataSet(&ds);
    TDBGridEh grid;
    grid.setDataSource(&src);
    grid.resize(400, 200);
    const int margin = grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1;
    const int need = grid.fontMetrics().horizontalAdvance(QStringLiteral("2025-10-15")) + 2 * margin;
    EXPECT_GE(grid.Columns()->Items(0)->Width(), need);
}

// A text field of ten GBK bytes holds five Chinese characters: its default column shows them whole.
TEST(GridColumns, DefaultWidthShowsChineseTextOfTheFieldsBytesWhole)
{
    TClientDataSet ds;
    TField* name = ds.addField(QStringLiteral("OrgName"), ftString, 10);
    ds.CreateDataSet();
    ds.Append();
    name->setAsString(QStringLiteral("一楼化妆品"));
    ds.Post();
    TDataSource src;
    src.setDataSet(&ds);
    TDBGridEh grid;
    grid.setDataSource(&src);
    const int margin = grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1;
    EXPECT_GE(grid.Columns()->Items(0)->Width(),
              grid.fontMetrics().horizontalAdvance(QStringLiteral("一楼化妆品")) + 2 * margin);
}
