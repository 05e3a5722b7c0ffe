// The chart window over a dataset and grid: menus, settings at show and through the format
// dialog, the drawn series, the picture and the module's single window.
#include "chart/Graph.h"

#include "chart/GraphSetFmt.h"
#include "host/include/PubProcDll.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "platform/grid/GridServices.h"
#include "platform/text/Gbk.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractBarSeries>
#include <QAction>
#include <QApplication>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QMenu>
#include <QPieSeries>
#include <QPieSlice>
#include <QPointer>
#include <QSet>
#include <QTest>
#include <QXYSeries>

using namespace Qt::StringLiterals;

namespace {

class GraphTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        qputenv("XDG_CONFIG_HOME", testTempDir().toUtf8());
        org = ds.addField(u"OrgName"_s, ftString, 20);
        plu = ds.addField(u"PluName"_s, ftString, 40);
        qty = ds.addField(u"LyCount"_s, ftFloat);
        times = ds.addField(u"TryTimes"_s, ftInteger);
        cost = ds.addField(u"JPrice"_s, ftFloat);
        src.setDataSet(&ds);
        grid.setDataSource(&src);
        const char16_t* titles[] = {u"组织", u"试用品", u"领用数量", u"试用次数", u"进价"};
        for (int i = 0; i < 5; ++i) {
            TColumnEh* c = grid.Columns()->Add();
            c->setFieldName(ds.Fields()[i]->FieldName());
            c->Title()->setCaption(QString::fromUtf16(titles[i]));
        }
    }
    void TearDown() override
    {
        delete form.data();
        HostTest::TearDown();
    }
    void fill(int count)
    {
        const char16_t* names[] = {u"玫瑰润肤露", u"保湿精华液", u"防晒霜", u"洁面乳", u"眼霜"};
        ds.CreateDataSet();
        for (int i = 0; i < count; ++i) {
            ds.Append();
            org->setAsString(u"一楼化妆品"_s);
            plu->setAsString(QString::fromUtf16(names[i % 5]) + (i >= 5 ? QString::number(i) : QString()));
            qty->setAsFloat(10 + i * 3);
            times->setAsInteger(1 + (i * 7) % 11);
            cost->setAsFloat(5.5);
            ds.Post();
        }
        ds.First();
    }
    TfrmGraph* open()
    {
        form = TfrmBase::create<TfrmGraph>();
        form->setGraphSource(&ds, &grid, u"试用登记"_s, u"TryOut"_s);
        form->resize(900, 560);
        form->show();
        QApplication::processEvents();
        return form;
    }
    QStringList entryNames(QMenu* m) const
    {
        QStringList out;
        for (QAction* a : m->actions()) out << a->objectName() + u'=' + a->data().toString();
        return out;
    }
    QAction* entry(QMenu* m, const QString& field) const
    {
        for (QAction* a : m->actions())
            if (a->data().toString() == field) return a;
        return nullptr;
    }
    QList<QAbstractSeries*> series() const { return form->DBChart->chart()->series(); }
    void saveSettingsRow(const QByteArray& contents)
    {
        GraphSettings::writeDatabaseCopy(db.get(), u"TryOut"_s, contents);
    }

    TClientDataSet ds;
    TDataSource src;
    TDBGridEh grid;
    TField *org, *plu, *qty, *times, *cost;
    QPointer<TfrmGraph> form;
};

TEST_F(GraphTest, EmptyOrClosedDataSetOpensWithoutMenusOrChart)
{
    open();
    EXPECT_EQ(form->windowTitle(), u"试用登记-直观图"_s);
    EXPECT_TRUE(form->PMnX->actions().isEmpty());
    EXPECT_TRUE(series().isEmpty());
    delete form.data();
    ds.CreateDataSet(); // open, no rows
    open();
    EXPECT_TRUE(form->PMnY->actions().isEmpty());
    EXPECT_TRUE(series().isEmpty());
    EXPECT_TRUE(prompts->calls.empty());
}

TEST_F(GraphTest, MenusFollowColumnTagsHiddenColumnsAndMasking)
{
    fill(3);
    grid.Columns()->Items(0)->setTag(2);     // not for the centre
    grid.Columns()->Items(1)->setTag(1);     // not for shops: the centre sees it
    grid.Columns()->Items(3)->setVisible(false);
    cost->setOnGetText(&TPubEvent::MaskFieldText); // no right to see costs
    qorSession().rightColumn = false;
    open();
    EXPECT_EQ(entryNames(form->PMnX), (QStringList{u"pmnx1=PluName"_s, u"pmnx2=LyCount"_s, u"pmnx4=JPrice"_s}));
    EXPECT_EQ(entryNames(form->PMnY), QStringList{u"pmny2=LyCount"_s});
    EXPECT_EQ(form->YTitles, QStringList{u"领用数量"_s});
    delete form.data();

    useShopStation(u"0101"_s, u"一楼化妆品"_s);
    qorSession().rightColumn = true;
    open();
    EXPECT_EQ(entryNames(form->PMnX),
              (QStringList{u"pmnx0=OrgName"_s, u"pmnx2=LyCount"_s, u"pmnx3=TryTimes"_s, u"pmnx4=JPrice"_s}));
    EXPECT_EQ(form->YTitles, (QStringList{u"领用数量"_s, u"试用次数"_s}));
}

TEST_F(GraphTest, NoNumericColumnGivesNoSeries)
{
    for (int i = 4; i >= 2; --i) grid.Columns()->Delete(i);
    fill(3);
    open();
    EXPECT_EQ(form->PMnX->actions().size(), 2);
    EXPECT_TRUE(form->PMnY->actions().isEmpty());
    form->Draw();
    EXPECT_TRUE(series().isEmpty());
}

TEST_F(GraphTest, OneYColumnColoursEachPointTwoColumnsOneColourPerSeries)
{
    fill(6);
    saveSettingsRow("[Picture]\r\nXField=PluName\r\nYField=LyCount\r\nOther=0111111\r\n");
    open();
    ASSERT_EQ(series().size(), 1);
    auto* line = qobject_cast<QXYSeries*>(series()[0]);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->name(), u"领用数量"_s);
    EXPECT_EQ(line->count(), 6);
    EXPECT_EQ(line->at(2).y(), 16.0);
    EXPECT_TRUE(line->pointLabelsVisible());
    QSet<QRgb> colours;
    for (int i = 0; i < 6; ++i)
        colours << line->pointConfiguration(i).value(QXYSeries::PointConfiguration::Color).value<QColor>().rgb();
    EXPECT_EQ(colours.size(), 6);

    // Bars of one column: every bar its own colour.
    form->PMnPic->actions()[1]->trigger();
    ASSERT_EQ(series().size(), 1);
    auto* bars = qobject_cast<QAbstractBarSeries*>(series()[0]);
    ASSERT_TRUE(bars);
    QList<QRgb> barColours(6, 0);
    for (QBarSet* set : bars->barSets())
        for (int i = 0; i < set->count(); ++i)
            if (set->at(i) != 0) {
                EXPECT_EQ(barColours[i], 0u) << "two bars at point " << i;
                EXPECT_EQ(set->at(i), 10 + i * 3);
                barColours[i] = set->brush().gradient() ? set->brush().gradient()->stops().at(1).second.rgb()
                                                        : set->color().rgb();
            }
    EXPECT_EQ(QSet<QRgb>(barColours.begin(), barColours.end()).size(), 6);

    // A second column: one colour per series, no colour per point.
    entry(form->PMnY, u"TryTimes"_s)->trigger();
    ASSERT_EQ(series().size(), 2);
    for (QAbstractSeries* s : series()) {
        auto* b = qobject_cast<QAbstractBarSeries*>(s);
        ASSERT_TRUE(b);
        EXPECT_EQ(b->count(), 1);
    }
    EXPECT_EQ(series()[1]->name(), u"试用次数"_s);
    form->PMnPic->actions()[2]->trigger(); // points
    ASSERT_EQ(series().size(), 2);
    EXPECT_TRUE(qobject_cast<QXYSeries*>(series()[0])->pointsConfiguration().isEmpty());
    EXPECT_NE(qobject_cast<QXYSeries*>(series()[0])->color(), qobject_cast<QXYSeries*>(series()[1])->color());
    EXPECT_EQ(form->PMnPic->defaultAction(), form->PMnPic->actions()[2]);
}

TEST_F(GraphTest, PieHasNoAxesAndOnePiePerColumn)
{
    fill(4);
    saveSettingsRow("[Picture]\r\nXField=PluName\r\nYField=LyCount;TryTimes\r\nOther=3311111\r\n");
    open();
    QChart* chart = form->DBChart->chart();
    EXPECT_TRUE(chart->axes().isEmpty());
    EXPECT_EQ(chart->legend()->alignment(), Qt::AlignBottom);
    ASSERT_EQ(series().size(), 2);
    auto* pie = qobject_cast<QPieSeries*>(series()[0]);
    ASSERT_TRUE(pie);
    ASSERT_EQ(pie->count(), 4);
    EXPECT_EQ(pie->slices()[1]->label(), u"保湿精华液"_s);
    EXPECT_EQ(pie->slices()[1]->value(), 13.0);
    EXPECT_NE(pie->slices()[0]->brush(), pie->slices()[1]->brush());
    EXPECT_EQ(chart->legend()->markers(pie)[1]->label(), u"保湿精华液    13"_s);
    EXPECT_LT(pie->horizontalPosition(), qobject_cast<QPieSeries*>(series()[1])->horizontalPosition());
}

TEST_F(GraphTest, SavedXFieldThatNoLongerExistsChecksTheFirstEntry)
{
    fill(3);
    saveSettingsRow("[Picture]\r\nXField=Gone\r\nYField=AlsoGone\r\n");
    open();
    EXPECT_TRUE(form->PMnX->actions()[0]->isChecked());
    EXPECT_EQ(form->PMnX->defaultAction(), form->PMnX->actions()[0]);
    EXPECT_TRUE(form->PMnY->actions()[0]->isChecked());
    EXPECT_FALSE(form->PMnY->actions()[1]->isChecked());
}

TEST_F(GraphTest, FormatDialogSavesSettingsThatTheNextWindowRestores)
{
    fill(5);
    open();
    entry(form->PMnX, u"PluName"_s)->trigger();
    entry(form->PMnY, u"LyCount"_s)->trigger();
    entry(form->PMnY, u"TryTimes"_s)->trigger();
    setModalHook([](QDialog* d) {
        auto* dlg = qobject_cast<TfrmGraphSetFmt*>(d);
        if (!dlg) return int(QDialog::Rejected);
        EXPECT_EQ(dlg->size(), QSize(369, 364));
        EXPECT_EQ(dlg->edtTitle->text(), u"试用登记-直观图"_s);
        EXPECT_TRUE(dlg->edtTitle->isReadOnly());
        EXPECT_FALSE(dlg->edtYField->isEnabled());
        EXPECT_EQ(dlg->edtYField->text(), u"LyCount;TryTimes"_s);
        EXPECT_EQ(dlg->LgPosition(), 1);
        dlg->edtXCaption->setText(u"商品"_s);
        dlg->cboPic->setCurrentIndex(1);
        dlg->setLgPosition(2);
        dlg->chkYV->setChecked(false);
        return int(QDialog::Accepted);
    });
    form->actSetFmt->trigger();
    EXPECT_TRUE(prompts->calls.empty());
    QFile file(GraphSettings::settingsFilePath(u"TryOut"_s));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    EXPECT_TRUE(saved.contains("YField=LyCount;TryTimes\r\n"));
    EXPECT_TRUE(saved.contains("XField=PluName\r\n"));
    EXPECT_TRUE(saved.contains("Other=1211101\r\n"));
    QByteArray row;
    ASSERT_TRUE(GraphSettings::readDatabaseCopy(db.get(), u"TryOut"_s, row));
    EXPECT_EQ(row, saved);
    EXPECT_EQ(series().size(), 2);
    EXPECT_TRUE(qobject_cast<QAbstractBarSeries*>(series()[0]));
    EXPECT_EQ(form->DBChart->chart()->axes(Qt::Horizontal)[0]->titleText(), u"商品"_s);
    EXPECT_FALSE(form->DBChart->chart()->axes(Qt::Vertical)[0]->labelsVisible());
    delete form.data();

    // Another workstation: no file yet, the database copy is found.
    qputenv("XDG_CONFIG_HOME", testTempDir().toUtf8());
    open();
    EXPECT_TRUE(entry(form->PMnY, u"LyCount"_s)->isChecked());
    EXPECT_TRUE(entry(form->PMnY, u"TryTimes"_s)->isChecked());
    EXPECT_TRUE(entry(form->PMnX, u"PluName"_s)->isChecked());
    EXPECT_TRUE(form->PMnPic->actions()[1]->isChecked());
    EXPECT_EQ(form->DBChart->chart()->legend()->alignment(), Qt::AlignTop);
}

TEST_F(GraphTest, FailedSaveSaysSoAndLeavesFileAndTable)
{
    fill(3);
    saveSettingsRow("[Picture]\r\nYField=LyCount\r\n");
    open();
    const QString path = GraphSettings::settingsFilePath(u"TryOut"_s);
    QFile before(path);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray old = before.readAll();
    db->executeScript(u"CREATE TRIGGER refuse BEFORE INSERT ON TXTMYCLMDEFAULT "
                      "BEGIN SELECT RAISE(ABORT, 'refused'); END;"_s);
    setModalHook([](QDialog*) { return int(QDialog::Accepted); });
    form->actSetFmt->trigger();
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_TRUE(prompts->calls[0].text.startsWith(u"保存图形格式失败！"_s));
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), old);
    QByteArray row;
    ASSERT_TRUE(GraphSettings::readDatabaseCopy(db.get(), u"TryOut"_s, row));
    EXPECT_EQ(row, old);
}

TEST_F(GraphTest, CorruptOtherRowStillDraws)
{
    fill(3);
    saveSettingsRow("[Picture]\r\nYField=LyCount\r\nOther=9z\r\n");
    open();
    EXPECT_TRUE(prompts->calls.empty());
    EXPECT_EQ(form->Settings.ChartKind, 0);
    EXPECT_EQ(form->Settings.LegendPosition, 1);
    ASSERT_EQ(series().size(), 1);
    EXPECT_TRUE(qobject_cast<QXYSeries*>(series()[0]));
}

TEST_F(GraphTest, SavingOverAnExistingPictureAsksFirst)
{
    fill(3);
    open();
    const QString dir = testTempDir();
    const QString png = dir + u"/chart.png"_s;
    QFile(png).open(QIODevice::WriteOnly);
    prompts->pushText(png);
    prompts->pushButton(MsgResult::No);
    form->actSavePic->trigger();
    ASSERT_EQ(prompts->calls.size(), 2u);
    EXPECT_EQ(prompts->calls[0].preset, u"试用登记-直观图.bmp"_s);
    EXPECT_EQ(prompts->calls[1].text, u"此位图文件已经存在，确认覆盖吗？"_s);
    EXPECT_EQ(prompts->calls[1].flags & MsgFlags::DefButton2, 0); // Yes is the default
    EXPECT_EQ(QFileInfo(png).size(), 0);

    prompts->pushText(png);
    prompts->pushButton(MsgResult::Yes);
    form->actSavePic->trigger();
    EXPECT_EQ(QImage(png).size(), form->DBChart->size());

    // A new file without extension: no question, a bitmap.
    prompts->calls.clear();
    prompts->pushText(dir + u"/fresh"_s);
    form->actSavePic->trigger();
    EXPECT_EQ(prompts->calls.size(), 1u);
    QFile bmp(dir + u"/fresh.bmp"_s);
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    EXPECT_TRUE(bmp.read(2) == "BM");
}

TEST_F(GraphTest, ManyRowsTakeTheFirstThousandAndLabelsThinOut)
{
    fill(1200);
    saveSettingsRow("[Picture]\r\nXField=PluName\r\nYField=LyCount\r\nOther=1\r\n");
    open();
    EXPECT_EQ(form->DrawnRowCount(), TfrmGraph::MaxChartRows);
    EXPECT_TRUE(form->lblRowLimit->isVisible());
    EXPECT_TRUE(form->lblRowLimit->text().contains(u"1200"_s));
    auto* axis = qobject_cast<QCategoryAxis*>(form->DBChart->chart()->axes(Qt::Horizontal).value(0));
    ASSERT_TRUE(axis);
    EXPECT_EQ(axis->max(), 999.5);
    // A thousand value marks would only cover each other.
    EXPECT_FALSE(qobject_cast<QAbstractBarSeries*>(series().value(0))->isLabelsVisible());
    EXPECT_EQ(axis->labelsAngle(), -90);
    EXPECT_GT(axis->count(), 5);
    EXPECT_LT(axis->count(), 200);

    // Few short labels stand side by side, every one shown, repeated ones too.
    delete form.data();
    fill(3);
    open();
    entry(form->PMnX, u"OrgName"_s)->trigger();
    QApplication::processEvents();
    axis = qobject_cast<QCategoryAxis*>(form->DBChart->chart()->axes(Qt::Horizontal).value(0));
    ASSERT_TRUE(axis);
    EXPECT_FALSE(form->lblRowLimit->isVisible());
    EXPECT_EQ(axis->count(), 3);
    EXPECT_EQ(axis->labelsAngle(), 0);
}

TEST_F(GraphTest, ListFormOpensOneWindowThatClearsItsReference)
{
    fill(3);
    TfrmBase* owner = TfrmBase::create<TfrmBase>();
    owner->setWindowTitle(u"试用登记"_s);
    owner->FormKey = u"TryOut"_s;
    QString seenTitle;
    bool single = false;
    setModalHook([&](QDialog* d) {
        d->show();
        seenTitle = d->windowTitle();
        single = CurrentGraphForm() == d && d->parent() == owner;
        d->close();
        return int(QDialog::Rejected);
    });
    ShowGraphForm(owner, &ds, &grid);
    EXPECT_EQ(seenTitle, u"试用登记-直观图"_s);
    EXPECT_TRUE(single);
    EXPECT_EQ(CurrentGraphForm(), nullptr);
    delete owner;
}

// Looked at by eye: bars with Chinese category labels (the file stays in the test folder).
TEST_F(GraphTest, BarChartWithChineseLabelsRendersToPng)
{
    fill(5);
    saveSettingsRow(Gbk::encode(u"[Picture]\r\nXField=PluName\r\nYField=LyCount\r\n"
                                "XCaption=试用品\r\nYCaption=领用数量\r\nOther=1111111\r\n"_s));
    open();
    const QString file = qEnvironmentVariable("QOR_TEST_TMP") + u"/chart-bars.png"_s;
    ASSERT_TRUE(form->SaveChartPicture(file));
    const QImage img(file);
    ASSERT_FALSE(img.isNull());
    QSet<QRgb> colours;
    for (int x = 0; x < img.width(); x += 4)
        for (int y = 0; y < img.height(); y += 4) colours << img.pixel(x, y);
    EXPECT_GT(colours.size(), 20);
}

} // namespace
