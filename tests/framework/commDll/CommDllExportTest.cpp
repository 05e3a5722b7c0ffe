// The exports of libcommDll.so through the module's bridge, read back: the workbook through a
// real reader (xlsx2csv) and its sheet XML, the text file and the HTML table.
#include "framework/GridBridge.h"

#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <gtest/gtest.h>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000)) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString readText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(f.readAll());
}

class CommDllExportTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        dir = testTempDir();
        ds.addField(QStringLiteral("PluCode"), ftString, 20);
        ds.addField(QStringLiteral("PluName"), ftString, 20);
        ds.addField(QStringLiteral("TryTimes"), ftInteger);
        ds.addField(QStringLiteral("Price"), ftFloat)->setDisplayFormat(QStringLiteral("#,##0.00"));
        TField* cost = ds.addField(QStringLiteral("Cost"), ftFloat);
        ds.addField(QStringLiteral("Remark"), ftString, 20);
        ds.CreateDataSet();
        struct Row {
            const char* code;
            const char* name;
            int times;
            double price;
            double cost;
            const char* remark;
        } rows[] = {{"P1", "雪肌精华水", 3, 1234.5, 10, "r1"},
                    {"P2", "O'Neil <b>&", 1, 98, 20, "r2"},
                    {"P3", "面\t霜", 2, 0.25, 30, "r3"},
                    {"P4", "不显示", 9, 1, 1, "r4"}};
        for (const Row& r : rows) {
            ds.Append();
            ds.FieldByName(QStringLiteral("PluCode"))->setAsString(QString::fromUtf8(r.code));
            ds.FieldByName(QStringLiteral("PluName"))->setAsString(QString::fromUtf8(r.name));
            ds.FieldByName(QStringLiteral("TryTimes"))->setAsInteger(r.times);
            ds.FieldByName(QStringLiteral("Price"))->setAsFloat(r.price);
            ds.FieldByName(QStringLiteral("Cost"))->setAsFloat(r.cost);
            ds.FieldByName(QStringLiteral("Remark"))->setAsString(QString::fromUtf8(r.remark));
            ds.Post();
        }
        // Costs are masked for this user.
        cost->setOnGetText([](TField*, QString& text, bool) { text = QStringLiteral("*"); });
        ds.setFilter(QStringLiteral("[PluCode] <> 'P4'"));
        ds.setFiltered(true);
        src.setDataSet(&ds);
        grid.setDataSource(&src);
        const char* titles[] = {"试用品|编码", "试用品|名称", "试用次数", "单价", "成本", "备注"};
        for (int i = 0; i < 6; ++i) {
            TColumnEh* c = grid.Columns()->Add();
            c->setField(ds.Fields()[i]);
            c->Title()->setCaption(QString::fromUtf8(titles[i]));
        }
        grid.Columns()->Items(5)->setVisible(false);
        grid.Columns()->Move(3, 2); // the price before the count
        grid.Columns()->Items(2)->Footer()->setValueType(fvtSum);
        grid.Columns()->Items(3)->Footer()->setValueType(fvtSum);
        grid.setFooterRowCount(1);
        grid.updateFooters();
    }
    // Answers the save dialog with path and checks what it proposed.
    void saveAs(const QString& path) { prompts->pushText(path); }
    void expectProposed(const QString& name)
    {
        ASSERT_FALSE(prompts->calls.empty());
        EXPECT_EQ(prompts->calls[0].kind, PromptKind::SaveFile);
        EXPECT_EQ(prompts->calls[0].preset, name);
    }
    QString dir;
    TClientDataSet ds;
    TDataSource src;
    TDBGridEh grid;
};

TEST_F(CommDllExportTest, TheWorkbookHoldsTheGridAsShownWithNumbersAsNumbers)
{
    const QString path = dir + QStringLiteral("/list.xlsx");
    saveAs(path);
    ExportToExcel(&grid, QStringLiteral("试用品试用.xls"));
    expectProposed(QStringLiteral("试用品试用.xlsx"));
    ASSERT_TRUE(QFile::exists(path));
    ASSERT_EQ(prompts->calls.size(), 2u);
    EXPECT_EQ(prompts->calls[1].text, QStringLiteral("数据已导出到文件：%1").arg(path));

    if (QStandardPaths::findExecutable(QStringLiteral("xlsx2csv")).isEmpty()) GTEST_SKIP() << "xlsx2csv missing";
    // Raw values: a number comes back as the number, a text as the text shown.
    const QStringList csv = run(QStringLiteral("xlsx2csv"), {QStringLiteral("--ignore-formats"), QStringLiteral("float"),
                                                             QStringLiteral("-d"), QStringLiteral("tab"), path})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(csv.size(), 6) << csv.join(QLatin1Char('\n')).toStdString();
    // Two title rows: the shared upper level over the first two columns, the others reach down.
    EXPECT_EQ(csv[0], QStringLiteral("试用品\t\t单价\t试用次数\t成本"));
    EXPECT_EQ(csv[1], QStringLiteral("编码\t名称\t\t\t"));
    EXPECT_EQ(csv[2], QStringLiteral("P1\t雪肌精华水\t1234.5\t3\t*"));
    EXPECT_EQ(csv[3], QStringLiteral("P2\tO'Neil <b>&\t98\t1\t*"));
    // The tab inside the name stays part of the cell (the reader quotes it).
    EXPECT_TRUE(csv[4].startsWith(QStringLiteral("P3\t\"面\t霜\"\t"))) << csv[4].toStdString();
    EXPECT_TRUE(csv[4].endsWith(QStringLiteral("\t0.25\t2\t*"))) << csv[4].toStdString();
    EXPECT_EQ(csv[5], QStringLiteral("\t\t1332.75\t6\t"));
    EXPECT_FALSE(csv.join(QLatin1Char('\n')).contains(QStringLiteral("不显示")));
    EXPECT_FALSE(csv.join(QLatin1Char('\n')).contains(QStringLiteral("r1")));

    // The number cells carry the grid's number format.
    const QString styles = run(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/styles.xml")});
    EXPECT_TRUE(styles.contains(QStringLiteral("formatCode=\"#,##0.00\""))) << styles.toStdString();

    // In the sheet itself the numbers are number cells, the masked costs strings, the titles merged.
    const QString sheet = run(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet1.xml")});
    EXPECT_TRUE(sheet.contains(QStringLiteral("<v>1234.5</v>"))) << sheet.toStdString();
    EXPECT_TRUE(sheet.contains(QStringLiteral("<mergeCell ref=\"A1:B1\"/>")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<mergeCell ref=\"C1:C2\"/>")));
    // (Rows are written as they come, so texts are inline strings.)
    EXPECT_TRUE(sheet.contains(QStringLiteral("<c r=\"E3\" t=\"inlineStr\">"))) << sheet.toStdString();
}

TEST_F(CommDllExportTest, TheTextFileHasOneTitleLineAndTheTextsShown)
{
    const QString path = dir + QStringLiteral("/list"); // no suffix: one is added
    saveAs(path);
    ExportToText(&grid, QStringLiteral("试用品试用.txt"));
    expectProposed(QStringLiteral("试用品试用.txt"));
    // UTF-8 with a byte-order mark and CR LF line ends, for the spreadsheet programs.
    QFile f(path + QStringLiteral(".txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    bytes.remove(0, 3);
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
    const QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 6); // five lines and the final line break
    EXPECT_EQ(lines[0], QStringLiteral("试用品-编码\t试用品-名称\t单价\t试用次数\t成本"));
    EXPECT_EQ(lines[1], QStringLiteral("P1\t雪肌精华水\t1,234.50\t3\t*"));
    EXPECT_EQ(lines[2], QStringLiteral("P2\tO'Neil <b>&\t98.00\t1\t*"));
    EXPECT_EQ(lines[3], QStringLiteral("P3\t面 霜\t0.25\t2\t*")); // a tab inside a value would split it
    EXPECT_EQ(lines[4], QStringLiteral("\t\t%1\t%2\t").arg(grid.footerText(2), grid.footerText(3)));
    EXPECT_FALSE(grid.footerText(3).isEmpty());
    EXPECT_EQ(lines[5], QString());
}

TEST_F(CommDllExportTest, TheHtmlTableMergesTheTitlesAndEscapesTheTexts)
{
    const QString path = dir + QStringLiteral("/list.htm");
    saveAs(path);
    ExportToHtml(&grid, QStringLiteral("试用品/试用.htm"));
    expectProposed(QStringLiteral("试用品_试用.htm")); // no folder separator in a proposed name
    const QString html = readText(path);
    EXPECT_TRUE(html.contains(QStringLiteral("<meta charset=\"utf-8\">")));
    EXPECT_TRUE(html.contains(QStringLiteral("<tr><th colspan=\"2\">试用品</th><th rowspan=\"2\">单价</th>"
                                             "<th rowspan=\"2\">试用次数</th><th rowspan=\"2\">成本</th></tr>")))
        << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("<tr><th>编码</th><th>名称</th></tr>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<tr><td>P1</td><td>雪肌精华水</td><td class=\"n\">1,234.50</td>"
                                             "<td class=\"n\">3</td><td>*</td></tr>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<td>O'Neil &lt;b&gt;&amp;</td>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<tfoot>")));
    EXPECT_FALSE(html.contains(QStringLiteral("不显示")));
    EXPECT_FALSE(html.contains(QStringLiteral("r1")));
}

TEST_F(CommDllExportTest, ACancelledDialogWritesNothingAndAFailedWriteSaysWhy)
{
    prompts->pushText(QString(), false);
    ExportToText(&grid, QStringLiteral("试用品试用.txt"));
    EXPECT_EQ(prompts->calls.size(), 1u);
    EXPECT_TRUE(QDir(dir).entryList(QDir::Files).isEmpty());

    prompts->calls.clear();
    saveAs(dir + QStringLiteral("/no/such/folder/list.txt"));
    ExportToText(&grid, QStringLiteral("试用品试用.txt"));
    ASSERT_EQ(prompts->calls.size(), 2u);
    EXPECT_TRUE(prompts->calls[1].text.startsWith(QStringLiteral("无法写入文件："))) << prompts->calls[1].text.toStdString();
    EXPECT_EQ(prompts->calls[1].flags & MsgFlags::IconError, MsgFlags::IconError);

    prompts->calls.clear();
    saveAs(dir + QStringLiteral("/no/such/folder/list.xlsx"));
    ExportToExcel(&grid, QStringLiteral("试用品试用.xls"));
    ASSERT_EQ(prompts->calls.size(), 2u);
    EXPECT_TRUE(prompts->calls[1].text.startsWith(QStringLiteral("导出失败："))) << prompts->calls[1].text.toStdString();
}

} // namespace

namespace {

// Files in a folder other than the given ones (a temporary file left behind shows here).
QStringList otherFiles(const QString& dir, const QStringList& expected)
{
    QStringList out;
    for (const QString& f : QDir(dir).entryList(QDir::Files | QDir::Hidden))
        if (!expected.contains(f)) out << f;
    return out;
}

struct EnvGuard {
    const char* name;
    EnvGuard(const char* n, const QByteArray& value) : name(n) { qputenv(n, value); }
    ~EnvGuard() { qunsetenv(name); }
};

} // namespace

TEST_F(CommDllExportTest, RowsPastASheetsLimitGoOnOnAnotherSheetUnderTheSameTitles)
{
    // Four rows a sheet: the two title rows and two records.
    EnvGuard rows("QOR_EXPORT_SHEET_ROWS", "4");
    const QString path = dir + QStringLiteral("/many.xlsx");
    saveAs(path);
    ExportToExcel(&grid, QStringLiteral("试用品试用.xls"));
    ASSERT_EQ(prompts->calls.size(), 2u);
    EXPECT_EQ(prompts->calls[1].text, QStringLiteral("数据已导出到文件：%1").arg(path));
    const QString sheet1 = run(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet1.xml")});
    const QString sheet2 = run(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet2.xml")});
    ASSERT_FALSE(sheet2.isEmpty()) << "no second sheet";
    EXPECT_TRUE(sheet1.contains(QStringLiteral("P1")));
    EXPECT_TRUE(sheet1.contains(QStringLiteral("P2")));
    EXPECT_FALSE(sheet1.contains(QStringLiteral("P3")));
    EXPECT_FALSE(sheet1.contains(QStringLiteral("<row r=\"5\"")));
    // The second sheet repeats the titles (merged as on the first), then the rest and the footer.
    EXPECT_TRUE(sheet2.contains(QStringLiteral("<mergeCell ref=\"A1:B1\"/>")));
    EXPECT_TRUE(sheet2.contains(QStringLiteral("试用品")));
    EXPECT_TRUE(sheet2.contains(QStringLiteral("<row r=\"3\"")));
    EXPECT_TRUE(sheet2.contains(QStringLiteral("P3")));
    EXPECT_TRUE(sheet2.contains(QStringLiteral("<v>1332.75</v>"))) << sheet2.toStdString();
    EXPECT_FALSE(sheet2.contains(QStringLiteral("P1")));
    const QString book = run(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/workbook.xml")});
    EXPECT_TRUE(book.contains(QStringLiteral("name=\"many(2)\""))) << book.toStdString();
    EXPECT_EQ(otherFiles(dir, {QStringLiteral("many.xlsx")}), QStringList());
}

TEST_F(CommDllExportTest, AFailedExportLeavesAnExistingFileOfThatNameAsItWas)
{
    // The disk fills up after a few bytes.
    EnvGuard full("QOR_EXPORT_FAIL_AFTER", "20");
    for (const QString& name : {QStringLiteral("old.txt"), QStringLiteral("old.htm"), QStringLiteral("old.xlsx")}) {
        const QString path = dir + QLatin1Char('/') + name;
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("the previous export");
        }
        prompts->calls.clear();
        saveAs(path);
        if (name.endsWith(QLatin1String("txt"))) ExportToText(&grid, name);
        else if (name.endsWith(QLatin1String("htm"))) ExportToHtml(&grid, name);
        else ExportToExcel(&grid, name);
        ASSERT_EQ(prompts->calls.size(), 2u) << name.toStdString();
        EXPECT_TRUE(prompts->calls[1].text.contains(QStringLiteral("磁盘空间不足"))) << prompts->calls[1].text.toStdString();
        EXPECT_EQ(prompts->calls[1].flags & MsgFlags::IconError, MsgFlags::IconError);
        EXPECT_EQ(readText(path), QStringLiteral("the previous export")) << name.toStdString();
    }
    EXPECT_EQ(otherFiles(dir, {QStringLiteral("old.txt"), QStringLiteral("old.htm"), QStringLiteral("old.xlsx")}),
              QStringList());
}

TEST_F(CommDllExportTest, ACancelledExportLeavesNoFileAndShowedItsProgress)
{
    // Enough rows for more than one slice of the progress dialog.
    ds.setFiltered(false);
    for (int i = 0; i < 3000; ++i) {
        ds.Append();
        ds.FieldByName(QStringLiteral("PluCode"))->setAsString(QStringLiteral("Q%1").arg(i));
        ds.Post();
    }
    int shownTotal = -1;
    setModalHook([&](QDialog* d) {
        EXPECT_EQ(d->objectName(), QStringLiteral("dlgExportProgress"));
        EXPECT_TRUE(d->isModal());
        d->show();
        QMetaObject::invokeMethod(d, "step", Qt::DirectConnection); // one slice written
        if (auto* bar = d->findChild<QProgressBar*>(QStringLiteral("pbrProgress"))) shownTotal = bar->maximum();
        d->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
        return d->result();
    });
    for (const QString& name : {QStringLiteral("cancelled.txt"), QStringLiteral("cancelled.xlsx")}) {
        prompts->calls.clear();
        saveAs(dir + QLatin1Char('/') + name);
        if (name.endsWith(QLatin1String("txt"))) ExportToText(&grid, name);
        else ExportToExcel(&grid, name);
        EXPECT_EQ(prompts->calls.size(), 1u) << "no message after a cancel";
        EXPECT_EQ(shownTotal, ds.RecordCount());
    }
    setModalHook({});
    EXPECT_EQ(otherFiles(dir, {}), QStringList());
}

TEST_F(CommDllExportTest, WithoutAHookTheProgressDialogRunsToTheEndOfManyRows)
{
    ds.setFiltered(false);
    for (int i = 0; i < 5000; ++i) {
        ds.Append();
        ds.FieldByName(QStringLiteral("PluCode"))->setAsString(QStringLiteral("Q%1").arg(i));
        ds.FieldByName(QStringLiteral("TryTimes"))->setAsInteger(1);
        ds.Post();
    }
    grid.updateFooters();
    const QString path = dir + QStringLiteral("/all.txt");
    saveAs(path);
    ExportToText(&grid, QStringLiteral("all.txt"));
    ASSERT_EQ(prompts->calls.size(), 2u);
    const QStringList lines = readText(path).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.size(), 1 + ds.RecordCount() + 1 + 1); // titles, records, footer, final break
    EXPECT_EQ(lines[1 + 4 + 4999].section(QLatin1Char('\t'), 0, 0), QStringLiteral("Q4999"));
}

namespace {

// The content of a cell of a sheet's XML: the text of an inline string or the value of a
// number; empty when the cell is not written. Entities are left as written.
QString sheetCell(const QString& sheet, const QString& ref)
{
    const QString open = QStringLiteral("<c r=\"%1\"").arg(ref);
    const qsizetype at = sheet.indexOf(open);
    if (at < 0) return QString();
    const qsizetype end = sheet.indexOf(QStringLiteral("</c>"), at);
    const QString cell = sheet.mid(at, end - at);
    for (const QString& tag : {QStringLiteral("<t>"), QStringLiteral("<t xml:space=\"preserve\">"), QStringLiteral("<v>")}) {
        const qsizetype from = cell.indexOf(tag);
        if (from < 0) continue;
        const qsizetype to = cell.indexOf(QStringLiteral("</"), from);
        return cell.mid(from + tag.size(), to - from - tag.size());
    }
    return QString();
}

} // namespace

TEST_F(CommDllExportTest, EveryKindOfValueComesOutWholeInEachFormat)
{
    const QString astral = QStringLiteral("𠀀😀 x"); // characters outside the basic plane
    const QString broken = QStringLiteral("a\r\nb\tc <&> \"q\"");
    const QString padded = QStringLiteral("  lead and trail  ");
    // Longer than a cell holds, cut where a two-unit character straddles the limit.
    const QString tooLong = QString(32766, QLatin1Char('x')) + QStringLiteral("😀tail");
    const QString manyBytes = QString(20000, QChar(0x597D)); // 60,000 bytes, 20,000 characters: not cut
    struct Row {
        QString code;
        QVariant name, times, price;
    } rows[] = {{QStringLiteral("P5"), astral, -7, -1234.5},
                {QStringLiteral("P6"), QString(QLatin1String("")), QVariant(), QVariant()},
                {QStringLiteral("P7"), QVariant(), 0, 0.0},
                {QStringLiteral("P8"), broken, 1, 1e-3},
                {QStringLiteral("P9"), padded, 2, 2.0},
                {QStringLiteral("PA"), tooLong, 3, 3.0},
                {QStringLiteral("PB"), manyBytes, 4, 4.0}};
    for (const Row& r : rows) {
        ds.Append();
        ds.FieldByName(QStringLiteral("PluCode"))->setAsString(r.code);
        if (!r.name.isNull()) ds.FieldByName(QStringLiteral("PluName"))->setValue(r.name);
        if (!r.times.isNull()) ds.FieldByName(QStringLiteral("TryTimes"))->setValue(r.times);
        if (!r.price.isNull()) ds.FieldByName(QStringLiteral("Price"))->setValue(r.price);
        ds.Post();
    }
    // Bytes that are not UTF-8, stored through the raw setter, come out repaired as shown.
    ds.Append();
    ds.FieldByName(QStringLiteral("PluCode"))->setAsString(QStringLiteral("PC"));
    ds.FieldByName(QStringLiteral("PluName"))->setUtf8(std::string_view("ab\xFF" "cd"));
    ds.Post();
    grid.updateFooters();

    // The workbook: rows 3-5 are P1-P3, then the rows above.
    const QString xlsx = dir + QStringLiteral("/kinds.xlsx");
    saveAs(xlsx);
    ExportToExcel(&grid, QStringLiteral("kinds.xlsx"));
    ASSERT_TRUE(QFile::exists(xlsx));
    const QString sheet = run(QStringLiteral("unzip"), {QStringLiteral("-p"), xlsx, QStringLiteral("xl/worksheets/sheet1.xml")});
    ASSERT_FALSE(sheet.isEmpty());
    EXPECT_EQ(sheetCell(sheet, QStringLiteral("A6")), QStringLiteral("P5"));
    EXPECT_EQ(sheetCell(sheet, QStringLiteral("B6")), astral);
    EXPECT_EQ(sheetCell(sheet, QStringLiteral("C6")), QStringLiteral("-1234.5"));
    EXPECT_EQ(sheetCell(sheet, QStringLiteral("D6")), QStringLiteral("-7"));
    EXPECT_EQ(sheetCell(sheet, QStringLiteral("E6")), QStringLiteral("*"));
    // An empty text, a null text and null numbers write no cell; a zero is a number.
    for (const char* ref : {"B7", "C7", "D7", "B8"})
        EXPECT_FALSE(sheet.contains(QStringLiteral("<c r=\"%1\"").arg(QLatin1String(ref)))) << ref;
    EXPECT_EQ(sheetCell(sheet, QStringLiteral("A7")), QStringLiteral("P6"));
    EXPECT_EQ(sheetCell(sheet, QStringLiteral("C8")), QStringLiteral("0"));
    EXPECT_EQ(sheetCell(sheet, QStringLiteral("D8")), QStringLiteral("0"));
    // Line breaks, tabs and markup stay in the cell (escaped in the XML); spaces at the ends kept.
    EXPECT_EQ(sheetCell(sheet, QStringLiteral("B9")), QStringLiteral("a_x000D_\nb\tc &lt;&amp;&gt; \"q\""));
    EXPECT_EQ(sheetCell(sheet, QStringLiteral("C9")), QStringLiteral("0.001"));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<t xml:space=\"preserve\">%1</t>").arg(padded)));
    // A cell holds 32,767 characters: the character that does not fit whole is left out.
    const QString cut = sheetCell(sheet, QStringLiteral("B11"));
    EXPECT_TRUE(cut == QString(32766, QLatin1Char('x'))) << cut.size() << " ends " << cut.right(3).toStdString();
    EXPECT_TRUE(sheetCell(sheet, QStringLiteral("B12")) == manyBytes);
    EXPECT_EQ(sheetCell(sheet, QStringLiteral("A12")), QStringLiteral("PB"));
    {
        // (As bytes: a reader would repair them itself.)
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), xlsx, QStringLiteral("xl/worksheets/sheet1.xml")});
        ASSERT_TRUE(unzip.waitForFinished(60000));
        EXPECT_TRUE(unzip.readAllStandardOutput().contains("<c r=\"B13\" t=\"inlineStr\"><is><t>ab\xEF\xBF\xBD" "cd</t>"));
    }

    // The text file: every text whole on its line, tabs and breaks as spaces, numbers as shown.
    const QString txt = dir + QStringLiteral("/kinds.txt");
    saveAs(txt);
    ExportToText(&grid, QStringLiteral("kinds.txt"));
    const QStringList lines = readText(txt).mid(1).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 1 + 3 + 8 + 1 + 1) << lines.size();
    EXPECT_EQ(lines[4], QStringLiteral("P5\t%1\t-1,234.50\t-7\t*").arg(astral));
    EXPECT_EQ(lines[5], QStringLiteral("P6\t\t\t\t*"));
    EXPECT_EQ(lines[6], QStringLiteral("P7\t\t0.00\t0\t*"));
    EXPECT_EQ(lines[7], QStringLiteral("P8\ta b c <&> \"q\"\t0.00\t1\t*"));
    EXPECT_EQ(lines[8], QStringLiteral("P9\t%1\t2.00\t2\t*").arg(padded));
    EXPECT_TRUE(lines[9] == QStringLiteral("PA\t%1\t3.00\t3\t*").arg(tooLong)) << lines[9].size();
    {
        QFile raw(txt);
        ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
        EXPECT_TRUE(raw.readAll().contains("\r\nPC\tab\xEF\xBF\xBD" "cd\t\t\t*\r\n"));
    }
    EXPECT_TRUE(lines[10] == QStringLiteral("PB\t%1\t4.00\t4\t*").arg(manyBytes)) << lines[10].size();

    // The page: the same texts escaped.
    const QString htm = dir + QStringLiteral("/kinds.htm");
    saveAs(htm);
    ExportToHtml(&grid, QStringLiteral("kinds.htm"));
    const QString html = readText(htm);
    EXPECT_TRUE(html.contains(QStringLiteral("<tr><td>P5</td><td>%1</td><td class=\"n\">-1,234.50</td><td class=\"n\">-7</td>"
                                             "<td>*</td></tr>").arg(astral)));
    EXPECT_TRUE(html.contains(QStringLiteral("<tr><td>P6</td><td></td><td class=\"n\"></td><td class=\"n\"></td>"
                                             "<td>*</td></tr>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<td>a\r\nb\tc &lt;&amp;&gt; &quot;q&quot;</td>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<td>%1</td>").arg(tooLong)));
    EXPECT_EQ(otherFiles(dir, {QStringLiteral("kinds.xlsx"), QStringLiteral("kinds.txt"), QStringLiteral("kinds.htm")}),
              QStringList());
}
