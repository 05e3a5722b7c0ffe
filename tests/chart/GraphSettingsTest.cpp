// Chart settings: the "Other" text, the settings file contents, its place, and the database copy.
#include "chart/Graph.h"

#include "platform/text/Gbk.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

TEST(GraphSettingsTest, OtherTextReadsEachCharacterAndKeepsDefaultsForBadOnes)
{
    TGraphSettings s;
    EXPECT_EQ(s.otherText(), u"0111111"_s);
    // Bar chart, legend at the bottom, visible, marks, X labels, no Y labels, 3D.
    s.applyOther(u"1311101"_s);
    EXPECT_EQ(s.ChartKind, TGraphSettings::Bar);
    EXPECT_EQ(s.LegendPosition, TGraphSettings::Bottom);
    EXPECT_TRUE(s.LegendVisible && s.MarksVisible && s.XLabelsVisible && s.View3D);
    EXPECT_FALSE(s.YLabelsVisible);
    EXPECT_EQ(s.otherText(), u"1311101"_s);

    const struct { const char16_t* other; int kind; int pos; bool legend; bool y3d; } bad[] = {
        {u"7", 0, 1, true, true},       // kind out of range, the rest missing
        {u"x9", 0, 1, true, true},      // neither a digit kind nor a position in range
        {u"3x0", 3, 1, false, true},    // a good kind survives a bad position
        {u"２1", 0, 1, true, true},     // a full-width digit is no digit
        {u"21000", 2, 1, false, true},  // missing flags keep their defaults
        {u"-1", 0, 1, true, true},
    };
    for (const auto& b : bad) {
        TGraphSettings t;
        t.applyOther(QString::fromUtf16(b.other));
        SCOPED_TRACE(QString::fromUtf16(b.other).toStdString());
        EXPECT_EQ(t.ChartKind, b.kind);
        EXPECT_EQ(t.LegendPosition, b.pos);
        EXPECT_EQ(t.LegendVisible, b.legend);
        EXPECT_EQ(t.View3D, b.y3d);
    }
}

TEST(GraphSettingsTest, FileContentsRoundTripInTheSuitesCodePage)
{
    TGraphSettings s;
    s.XField = u"PluName"_s;
    s.YFields = {u"LyCount"_s, u"TryTimes"_s};
    s.Title = u"试用登记-直观图"_s;
    s.XCaption = u"商品"_s;
    s.YCaption = u"数量"_s;
    s.ChartKind = TGraphSettings::Pie;
    s.LegendPosition = TGraphSettings::Left;
    s.MarksVisible = false;
    const QByteArray bytes = s.toIni();
    EXPECT_TRUE(bytes.startsWith("[Picture]\r\n"));
    EXPECT_TRUE(bytes.contains("YField=LyCount;TryTimes\r\n"));
    EXPECT_TRUE(bytes.contains("Other=3010111\r\n"));
    EXPECT_TRUE(bytes.contains("Title=" + Gbk::encode(u"试用登记-直观图"_s)));

    const TGraphSettings r = TGraphSettings::fromIni(bytes, u"unused"_s);
    EXPECT_EQ(r.XField, s.XField);
    EXPECT_EQ(r.YFields, s.YFields);
    EXPECT_EQ(r.Title, s.Title);
    EXPECT_EQ(r.XCaption, s.XCaption);
    EXPECT_EQ(r.YCaption, s.YCaption);
    EXPECT_EQ(r.otherText(), s.otherText());

    // An empty file: every default, the title from the window.
    const TGraphSettings e = TGraphSettings::fromIni(QByteArray(), u"窗口"_s);
    EXPECT_EQ(e.Title, u"窗口"_s);
    EXPECT_TRUE(e.YFields.isEmpty());
    EXPECT_EQ(e.otherText(), u"0111111"_s);

    // Keys of other sections are not ours; at most 21 Y names are kept.
    QStringList many;
    for (int i = 0; i < 25; ++i) many << u"F%1"_s.arg(i);
    const QByteArray other = "[Other]\r\nXField=Wrong\r\n[picture]\r\nYField=" + many.join(u';').toUtf8() + "\r\n";
    const TGraphSettings o = TGraphSettings::fromIni(other, u"t"_s);
    EXPECT_TRUE(o.XField.isEmpty());
    ASSERT_EQ(o.YFields.size(), TGraphSettings::MaxYFields);
    EXPECT_EQ(o.YFields.last(), u"F20"_s);
}

class GraphStoreTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        qputenv("XDG_CONFIG_HOME", testTempDir().toUtf8());
    }
};

TEST_F(GraphStoreTest, SettingsFileLivesInTheUsersConfigFolder)
{
    const QString path = GraphSettings::settingsFilePath(u" TryOut "_s);
    EXPECT_TRUE(path.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
    EXPECT_TRUE(path.endsWith(u"/Columns/XtQryTryOut.col"_s)) << path.toStdString();
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_EQ(QFileInfo(path).size(), 0);
    EXPECT_TRUE(GraphSettings::settingsFilePath(u"TryOut"_s, u"GRD"_s).endsWith(u"/XtQryTryOut.fmt"_s));
}

TEST_F(GraphStoreTest, DatabaseCopyIsReplacedNotDuplicated)
{
    QByteArray read;
    EXPECT_FALSE(GraphSettings::readDatabaseCopy(db.get(), u"TryOut"_s, read));
    GraphSettings::writeDatabaseCopy(db.get(), u"TryOut"_s, "first");
    GraphSettings::writeDatabaseCopy(db.get(), u"TryOut"_s, QByteArray("second\0bin", 10));
    EXPECT_EQ(queryRows(*db, u"select count(*) from TXTMYCLMDEFAULT"_s), QStringList{u"1"_s});
    ASSERT_TRUE(GraphSettings::readDatabaseCopy(db.get(), u"tryout"_s, read));
    EXPECT_EQ(read, QByteArray("second\0bin", 10));
    EXPECT_FALSE(GraphSettings::readDatabaseCopy(db.get(), u"TryOutR"_s, read));
}

TEST_F(GraphStoreTest, FailedInsertKeepsTheOldCopy)
{
    GraphSettings::writeDatabaseCopy(db.get(), u"TryOut"_s, "old");
    db->executeScript(u"CREATE TRIGGER refuse BEFORE INSERT ON TXTMYCLMDEFAULT "
                      "BEGIN SELECT RAISE(ABORT, 'refused'); END;"_s);
    EXPECT_THROW(GraphSettings::writeDatabaseCopy(db.get(), u"TryOut"_s, "new"), DbError);
    QByteArray read;
    ASSERT_TRUE(GraphSettings::readDatabaseCopy(db.get(), u"TryOut"_s, read));
    EXPECT_EQ(read, QByteArray("old"));
}
