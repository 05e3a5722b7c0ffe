// The data grid over the in-memory dataset: titles, footers, sort markers with the sort index,
// masking, the link between grid and cursor, and pick-list editing.
#include "platform/grid/GridServices.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class GridTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ds.setObjectName(QStringLiteral("qryHead"));
        org = ds.addField(QStringLiteral("OrgCode"), ftString, 6);
        plu = ds.addField(QStringLiteral("PluCode"), ftString, 20);
        qty = ds.addField(QStringLiteral("LyCount"), ftCurrency);
        times = ds.addField(QStringLiteral("TryTimes"), ftInteger);
        resD = ds.addField(QStringLiteral("ResultD"), ftString, 10);
        resD->setFieldKind(fkInternalCalc);
        ds.CreateDataSet();
        const struct {
            const char* org;
            const char* plu;
            double qty;
            int times;
        } rows[] = {{"0102", "P3", 8, 4}, {"0101", "P2", 2.5, 1}, {"0102", "P1", 10, 0}, {"0101", "P9", 1, 7}};
        for (const auto& r : rows) {
            ds.Append();
            org->setAsString(QString::fromLatin1(r.org));
            plu->setAsString(QString::fromLatin1(r.plu));
            qty->setAsFloat(r.qty);
            times->setAsInteger(r.times);
            ds.Post();
        }
        ds.First();
        src.setDataSet(&ds);
        grid.setDataSource(&src);
        grid.resize(640, 300);
        const char* titles[] = {"组织|编码", "试用品|编码", "领用数量", "试用次数", "试用结果"};
        const char* fields[] = {"OrgCode", "PluCode", "LyCount", "TryTimes", "ResultD"};
        for (int i = 0; i < 5; ++i) {
            TColumnEh* c = grid.Columns()->Add();
            c->setFieldName(QString::fromLatin1(fields[i]));
            c->Title()->setCaption(QString::fromUtf8(titles[i]));
        }
        grid.setFooterRowCount(1);
    }
    QStringList shown(int column)
    {
        QStringList out;
        for (int r = 0; r < grid.model()->rowCount(); ++r)
            out << grid.model()->index(r, column).data().toString();
        return out;
    }
    TClientDataSet ds;
    TDataSource src;
    TDBGridEh grid;
    TField *org, *plu, *qty, *times, *resD;
};

TEST_F(GridTest, ModelReadsTheDatasetAndFollowsTheCursor)
{
    ASSERT_EQ(grid.model()->rowCount(), 4);
    ASSERT_EQ(grid.model()->columnCount(), 5);
    EXPECT_EQ(shown(1), (QStringList{u"P3"_s, u"P2"_s, u"P1"_s, u"P9"_s}));
    EXPECT_EQ(shown(2)[1], QStringLiteral("¥2.50")); // the field's text
    grid.Columns()->Items(2)->setDisplayFormat(QStringLiteral("#,##0.00"));
    EXPECT_EQ(shown(2)[1], QStringLiteral("2.50")); // the column's format wins
    // Moving the dataset moves the grid and the other way round.
    ds.setRecNo(3);
    EXPECT_EQ(grid.currentIndex().row(), 2);
    grid.setCurrentIndex(grid.model()->index(1, 0));
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(plu->AsString(), QStringLiteral("P2"));
    // A filter changes the rows shown without touching the columns' widths.
    grid.Columns()->Items(0)->setWidth(77);
    ds.setFilter(QStringLiteral("OrgCode = '0101'"));
    ds.setFiltered(true);
    EXPECT_EQ(shown(1), (QStringList{u"P2"_s, u"P9"_s}));
    EXPECT_EQ(grid.horizontalHeader()->sectionSize(0), 77);
    // Hidden columns stay in the model but are not shown.
    grid.Columns()->Items(3)->setVisible(false);
    EXPECT_TRUE(grid.isColumnHidden(3));
}

TEST_F(GridTest, MultiLevelTitlesMergeSharedUpperCells)
{
    grid.Columns()->Items(0)->Title()->setCaption(QStringLiteral("试用|日期"));
    grid.Columns()->Items(1)->Title()->setCaption(QStringLiteral("试用|时间"));
    EXPECT_EQ(grid.titleLevels(0), (QStringList{u"试用"_s, u"日期"_s}));
    EXPECT_EQ(grid.titleLevels(2), (QStringList{u"领用数量"_s}));
    EXPECT_EQ(grid.titleLevelCount(), 2);
    const QColor fixed(255, 255, 0);
    grid.setFixedColor(fixed);
    grid.Columns()->Items(0)->setWidth(60);
    grid.Columns()->Items(1)->setWidth(120);
    grid.Columns()->Items(2)->setWidth(90);
    grid.show();
    QHeaderView* h = grid.horizontalHeader();
    const int oneLevel = grid.titleHeight();
    grid.setUseMultiTitle(false);
    EXPECT_LT(grid.titleHeight(), oneLevel);
    grid.setUseMultiTitle(true);
    ASSERT_EQ(h->height(), grid.titleHeight());
    const QImage img = h->grab().toImage();
    const int border01 = h->sectionViewportPosition(1) - 1;  // between the two "试用" columns
    const int border12 = h->sectionViewportPosition(2) - 1;  // between "试用|时间" and "领用数量"
    const int upperY = h->height() / 4, lowerY = h->height() * 3 / 4;
    // The shared upper cell has no divider; the lower cells and the next column do.
    EXPECT_EQ(img.pixelColor(border01, upperY), fixed);
    EXPECT_NE(img.pixelColor(border01, lowerY), fixed);
    EXPECT_NE(img.pixelColor(border12, upperY), fixed);
    // A one-level title spans the whole height: no horizontal line in the middle of it.
    const int midX = h->sectionViewportPosition(2) + 5;
    int lines = 0;
    for (int y = 1; y < h->height() - 2; ++y)
        if (img.pixelColor(midX, y) != fixed) ++lines;
    EXPECT_LE(lines, 0);
}

TEST_F(GridTest, FooterSumsFollowTheRowsShown)
{
    grid.Columns()->Items(2)->Footer()->setValueType(fvtSum);
    grid.Columns()->Items(3)->Footer()->setValueType(fvtSum);
    grid.Columns()->Items(0)->Footer()->setValueType(fvtStaticText);
    grid.Columns()->Items(0)->Footer()->setValue(QStringLiteral("合计"));
    EXPECT_EQ(grid.footerText(0), QStringLiteral("合计"));
    EXPECT_EQ(grid.footerText(2), QStringLiteral("¥21.50"));
    EXPECT_EQ(grid.footerText(3), QStringLiteral("12"));
    EXPECT_EQ(grid.footerText(1), QString());
    grid.Columns()->Items(2)->Footer()->setDisplayFormat(QStringLiteral("#,##0.00"));
    EXPECT_EQ(grid.footerText(2), QStringLiteral("21.50"));
    ds.setFilter(QStringLiteral("OrgCode = '0102'"));
    ds.setFiltered(true);
    EXPECT_EQ(grid.footerText(2), QStringLiteral("18.00"));
    EXPECT_EQ(grid.footerText(3), QStringLiteral("4"));
    // An edit shows at once in the sum.
    ds.First();
    times->setAsInteger(10);
    ds.Post();
    EXPECT_EQ(grid.footerText(3), QStringLiteral("10"));
    ds.setFiltered(false);
    EXPECT_EQ(grid.footerText(3), QStringLiteral("18"));
    // A filter leaving nothing sums to zero.
    ds.setFilter(QStringLiteral("OrgCode = 'none'"));
    ds.setFiltered(true);
    EXPECT_EQ(grid.footerText(3), QStringLiteral("0"));
}

TEST_F(GridTest, SortMarkersBuildTheSortIndex)
{
    EnableTitleSort(&grid);
    EXPECT_TRUE(grid.OptionsEh() & dghAutoSortMarking);
    EXPECT_TRUE(grid.OptionsEh() & dghMultiSortMarking);
    EXPECT_TRUE(grid.Columns()->Items(0)->Title()->TitleButton());
    EXPECT_FALSE(grid.Columns()->Items(4)->Title()->TitleButton()); // calculated field
    TColumnEh* late = grid.Columns()->Add(); // a column the form adds afterwards
    late->setFieldName(QStringLiteral("TryTimes"));
    EXPECT_TRUE(late->Title()->TitleButton());
    grid.Columns()->Delete(late->Index());
    int events = 0;
    QObject::connect(&grid, &TDBGridEh::sortMarkingChanged, [&] { ++events; });

    grid.clickTitle(1); // PluCode ascending
    EXPECT_EQ(events, 1);
    EXPECT_EQ(grid.Columns()->Items(1)->Title()->SortMarker(), smUpEh);
    ASSERT_TRUE(ds.HasIndex(SortIndexName));
    EXPECT_EQ(ds.IndexName(), SortIndexName);
    EXPECT_EQ(ds.IndexDefs()[0].Fields, QStringLiteral("PluCode"));
    EXPECT_EQ(ds.IndexDefs()[0].DescFields, QString());
    EXPECT_EQ(shown(1), (QStringList{u"P1"_s, u"P2"_s, u"P3"_s, u"P9"_s}));
    EXPECT_EQ(ds.RecNo(), 1);

    grid.clickTitle(1); // again: descending
    EXPECT_EQ(grid.Columns()->Items(1)->Title()->SortMarker(), smDownEh);
    EXPECT_EQ(ds.IndexDefs()[0].DescFields, QStringLiteral("PluCode"));
    EXPECT_EQ(shown(1), (QStringList{u"P9"_s, u"P3"_s, u"P2"_s, u"P1"_s}));

    // A plain click on another column replaces the marking; Ctrl+click adds to it.
    grid.clickTitle(0);
    EXPECT_EQ(grid.Columns()->Items(1)->Title()->SortMarker(), smNoneEh);
    grid.clickTitle(0); // OrgCode descending
    grid.clickTitle(2, true); // then LyCount ascending
    EXPECT_EQ(grid.SortMarkedColumns().size(), 2);
    EXPECT_EQ(grid.Columns()->Items(2)->Title()->SortIndex(), 2);
    ASSERT_EQ(ds.IndexDefs().size(), 1);
    EXPECT_EQ(ds.IndexDefs()[0].Fields, QStringLiteral("OrgCode;LyCount"));
    EXPECT_EQ(ds.IndexDefs()[0].DescFields, QStringLiteral("OrgCode"));
    EXPECT_EQ(shown(1), (QStringList{u"P3"_s, u"P1"_s, u"P9"_s, u"P2"_s}));
    // Ctrl+click cycles a column out of the marking again.
    grid.clickTitle(2, true);
    grid.clickTitle(2, true);
    EXPECT_EQ(grid.SortMarkedColumns().size(), 1);
    EXPECT_EQ(ds.IndexDefs()[0].Fields, QStringLiteral("OrgCode"));
    // A column that is no title button does nothing.
    const int before = events;
    grid.clickTitle(4);
    EXPECT_EQ(events, before);
    // A closed dataset is left alone.
    ds.Close();
    EXPECT_NO_THROW(grid.clickTitle(0));
}

TEST_F(GridTest, MaskedColumnHasNoFooterAndNoFormat)
{
    TColumnEh* c = grid.Columns()->Items(2);
    c->setDisplayFormat(QStringLiteral("#,##0.00"));
    c->Footer()->setValueType(fvtSum);
    c->Footer()->setDisplayFormat(QStringLiteral("#,##0.0"));
    grid.Columns()->Items(3)->Footer()->setValueType(fvtSum);
    ASSERT_EQ(grid.footerText(2), QStringLiteral("21.5"));

    MaskDataSetFields(&ds, {QStringLiteral("LyCount")});
    MaskGridColumns(&grid, {QStringLiteral("LyCount")});
    EXPECT_EQ(c->DisplayFormat(), QString());
    EXPECT_EQ(c->Footers()->Count(), 0);
    EXPECT_EQ(grid.footerText(2), QString());
    EXPECT_EQ(shown(2), (QStringList{u"*"_s, u"*"_s, u"*"_s, u"*"_s}));
    // Other columns keep theirs.
    EXPECT_EQ(grid.footerText(3), QStringLiteral("12"));
    EXPECT_EQ(shown(3)[0], QStringLiteral("4"));
}

TEST_F(GridTest, PickListEditorEditsTheRecordAndKeysCanBeSwallowed)
{
    grid.setReadOnly(false);
    grid.Columns()->Items(0)->setReadOnly(true);
    TColumnEh* c = grid.Columns()->Items(1);
    c->setPickList({QStringLiteral("P1"), QStringLiteral("PX"), QStringLiteral("P9")});
    grid.show();
    EXPECT_FALSE(grid.model()->flags(grid.model()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(grid.model()->flags(grid.model()->index(0, 4)) & Qt::ItemIsEditable); // calculated
    ASSERT_TRUE(grid.model()->flags(grid.model()->index(0, 1)) & Qt::ItemIsEditable);

    grid.setCurrentIndex(grid.model()->index(1, 1));
    ASSERT_TRUE(grid.editCurrentCell());
    auto* cb = grid.viewport()->findChild<QComboBox*>();
    ASSERT_NE(cb, nullptr);
    EXPECT_EQ(cb->count(), 3);
    EXPECT_EQ(cb->currentText(), QStringLiteral("P2"));
    cb->setCurrentIndex(1);
    QTest::keyClick(cb, Qt::Key_Return);
    QCoreApplication::processEvents(); // the view commits a closed editor queued
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(plu->AsString(), QStringLiteral("PX"));
    EXPECT_EQ(shown(1)[1], QStringLiteral("PX"));

    // A key handler that swallows typing in this column keeps the editor's text.
    grid.setOnKeyPress([](TDBGridEh* g, QChar& key) {
        if (g->SelectedIndex() == 1) key = QChar();
    });
    ASSERT_TRUE(grid.editCurrentCell());
    cb = grid.viewport()->findChild<QComboBox*>();
    ASSERT_NE(cb, nullptr);
    ASSERT_NE(cb->lineEdit(), nullptr);
    QTest::keyClicks(cb->lineEdit(), QStringLiteral("zz"));
    EXPECT_EQ(cb->currentText(), QStringLiteral("PX"));
}

TEST_F(GridTest, MouseDownAndDoubleClickCarryTheShiftState)
{
    grid.show();
    TShiftState seen;
    Qt::MouseButton button = Qt::NoButton;
    int doubles = 0;
    grid.setOnMouseDown([&](TDBGridEh*, Qt::MouseButton b, TShiftState s, int, int) {
        seen = s;
        button = b;
    });
    grid.setOnDblClick([&](TDBGridEh*) { ++doubles; });
    const QRect cell = grid.visualRect(grid.model()->index(2, 1));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ControlModifier, cell.center());
    EXPECT_EQ(button, Qt::LeftButton);
    EXPECT_EQ(seen, TShiftState(ssCtrl | ssLeft));
    EXPECT_EQ(ds.RecNo(), 3);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_TRUE(seen & ssDouble);
    EXPECT_EQ(doubles, 1);
}

} // namespace
