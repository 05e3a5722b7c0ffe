// The grid services bridge against stand-in libraries that record their arguments and answer
// scripted texts, and the grid printing through the print component.
#include "framework/GridBridge.h"

#include "host/include/Appres.h"
#include "host/include/PubProcDll.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "platform/grid/PrintDBGridEh.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdexcept>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

const QString kFakes = QStringLiteral(QOR_BIN_DIR "/../fakes");

// Control of one stand-in library, reached through its own handle.
class Fake {
public:
    explicit Fake(const QString& file)
    {
        h = dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (h) reset();
    }
    ~Fake()
    {
        if (h) dlclose(h);
    }
    template <class T>
    T sym(const char* name) const
    {
        return reinterpret_cast<T>(dlsym(h, name));
    }
    void reset() const { sym<void (*)()>("fakeReset")(); }
    void answer(const char* text) const { sym<void (*)(const char*)>("fakeSetAnswer")(text); }
    void failCalls(bool on) const { sym<void (*)(int)>("fakeSetThrow")(on ? 1 : 0); }
    QStringList log() const
    {
        return QString::fromUtf8(sym<const char* (*)()>("fakeLog")()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    int giveBacks() const { return sym<int (*)()>("fakeGiveBacks")(); }
    void* h = nullptr;
};

QString ptr(const void* p) { return QString::asprintf("%p", p); }

class GridBridgeTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        GridBridge::setLibraryFolder(kFakes + QStringLiteral("/full"));
        ASSERT_TRUE(dll.h) << dlerror();
        ASSERT_TRUE(prn.h) << dlerror();
        code = ds.addField(QStringLiteral("PluCode"), ftString, 20);
        name = ds.addField(QStringLiteral("PluName"), ftString, 20);
        qty = ds.addField(QStringLiteral("TryTimes"), ftInteger);
        ds.CreateDataSet();
        const char* names[] = {"Abcd", "abc", "ABC", "a|b", "面霜"};
        for (int i = 0; i < 5; ++i) {
            ds.Append();
            code->setAsString(QStringLiteral("R%1").arg(i + 1));
            name->setAsString(QString::fromUtf8(names[i]));
            qty->setAsInteger(i + 1);
            ds.Post();
        }
        ds.First();
        src.setDataSet(&ds);
        grid.setDataSource(&src);
    }
    void TearDown() override
    {
        GridBridge::setLibraryFolder(QString());
        HostTest::TearDown();
    }
    QStringList messages() const { return prompts->texts(); }
    QString app() const { return ptr(GridBridge::applicationObject()); }

    Fake dll{kFakes + QStringLiteral("/full/libcommDll.so")};
    Fake prn{kFakes + QStringLiteral("/full/libcommPrint.so")};
    TClientDataSet ds;
    TDataSource src;
    TDBGridEh grid;
    TField *code, *name, *qty;
};

TEST_F(GridBridgeTest, AMissingLibraryIsReportedAndEveryOperationGivesItsFailureResult)
{
    GridBridge::setLibraryFolder(testTempDir()); // an empty folder
    EXPECT_FALSE(ShowLocateDialog(&grid));
    EXPECT_EQ(PickFromGrid(db.get(), QStringLiteral("SubShop"), QStringLiteral("OrgCode"), QStringLiteral("编码")),
              QString());
    EXPECT_FALSE(ShowColumnDialog(1, db.get(), &grid, QStringLiteral("TryOut"), QStringLiteral("1001")));
    PrintFormatBill(db.get(), 3, QStringLiteral("1"), QStringLiteral("TryOut"), 2, &ds);
    const QString open = QStringLiteral("DLL文件打开失败，请查找！");
    EXPECT_EQ(messages(), (QStringList{open, open, open, open}));
    for (const PromptCall& c : prompts->calls) EXPECT_EQ(c.caption, UGetProductName_CH());
    EXPECT_EQ(ds.RecNo(), 1);
}

TEST_F(GridBridgeTest, AMissingEntryIsReportedWhileTheOtherEntriesWork)
{
    GridBridge::setLibraryFolder(kFakes + QStringLiteral("/partial"));
    Fake partial(kFakes + QStringLiteral("/partial/libcommDll.so"));
    ASSERT_TRUE(partial.h);
    ShowFilterDialog(&grid);
    ExportToHtml(&grid, QStringLiteral("试用品试用.htm"));
    EXPECT_EQ(messages(), (QStringList{QStringLiteral("函数连接错误！"), QStringLiteral("函数连接错误！")}));
    EXPECT_TRUE(partial.log().isEmpty());
    // The library has no SetOldApplication: the call still completes.
    partial.answer("1|PluName|abc|1|0");
    EXPECT_TRUE(ShowLocateDialog(&grid));
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(messages().size(), 2);
}

TEST_F(GridBridgeTest, EntriesGetTheirArgumentsInTheContractsOrder)
{
    qorSession().version = QStringLiteral("2");
    qorSession().gridColor = 0x00C0FFEE;
    const QString conn = ptr(db.get()), g = ptr(&grid), d = ptr(&ds), color = QString::number(0x00C0FFEEu);
    EXPECT_TRUE(ShowColumnDialog(1, db.get(), &grid, QStringLiteral("TryOutQH"), QStringLiteral("1001")));
    SaveDefaultLayout(1, db.get(), &grid, QStringLiteral("TryOutQH"), QStringLiteral("1001"));
    SaveCurrentLayout(1, db.get(), &grid, QStringLiteral("TryOutQH"), QStringLiteral("1001"));
    LoadCurrentLayout(1, db.get(), &grid, QStringLiteral("TryOutQH"), QStringLiteral("1001"));
    PickFromGrid(db.get(), QStringLiteral("SubShop Where OrgType<>'2' "), QStringLiteral("OrgCode|OrgName"),
                 QStringLiteral("组织编码|组织名称"));
    PickFromGridMultiLine(db.get(), QStringLiteral("Staffs S"), QStringLiteral("S.StaffCode|S.StaffName"),
                          QStringLiteral("美容顾问编码|美容顾问姓名"), 2);
    ExportToExcel(&grid, QStringLiteral("试用品试用.xls"));
    ExportToText(&grid, QStringLiteral("试用品试用.txt"));
    ExportToHtml(&grid, QStringLiteral("试用品试用.htm"));
    const QString o = QStringLiteral("SetOldApplication");
    EXPECT_EQ(dll.log(), (QStringList{
                             QStringLiteral("xtShowColumn|1|%1|%2|%3|TryOutQH|1001|2").arg(conn, app(), g), o,
                             QStringLiteral("SaveDefaultColumns|1|%1|%2|TryOutQH|1001").arg(conn, g),
                             QStringLiteral("SaveCurrentColumns|1|%1|%2|TryOutQH|1001").arg(conn, g),
                             QStringLiteral("LoadCurrentColumns|1|%1|%2|TryOutQH|1001").arg(conn, g),
                             QStringLiteral("xtShowSelectGrid|%1|%2|SubShop Where OrgType<>'2' |OrgCode|OrgName|"
                                            "组织编码|组织名称|0|%3|0|0")
                                 .arg(conn, app(), color),
                             o,
                             QStringLiteral("xtShowSelectGridMultiLine|%1|%2|Staffs S|S.StaffCode|S.StaffName|"
                                            "美容顾问编码|美容顾问姓名|0|2|%3|0")
                                 .arg(conn, app(), color),
                             o,
                             QStringLiteral("DbToExcel|%1|%2|试用品试用.xls").arg(app(), g), o,
                             QStringLiteral("DbToTxt|%1|%2|试用品试用.txt").arg(app(), g), o,
                             QStringLiteral("DbToHtml|%1|%2|试用品试用.htm").arg(app(), g), o,
                         }));

    PrintFormat(db.get(), 0, QStringLiteral("1"), QStringLiteral("TryOut"), 7, &ds);
    PrintFormatBill(db.get(), 3, QStringLiteral("1"), QStringLiteral("TryOut"), -1, &ds);
    EXPECT_EQ(prn.log(), (QStringList{
                             QStringLiteral("CommPrn|%1|0|%2|1|TryOut|7|0|%3|0|0|0000000").arg(conn, app(), d), o,
                             QStringLiteral("CommPrnBill|%1|3|%2|1|TryOut|-1|0|ref|%3|0|0|0000000").arg(conn, app(), d),
                             o,
                         }));
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(GridBridgeTest, PickingTakesTheTextRightOfTheFirstBarAndCopiesItBeforeTheRelease)
{
    // The stand-in spoils its answer in SetOldApplication: reading it afterwards would give "#".
    struct Case {
        const char* answer;
        QString result;
    } cases[] = {
        {"", QString()},                           // nothing chosen
        {"1", QString()},                          // one character changes nothing
        {"1|0101", QStringLiteral("0101")},
        {"1|1001+王芳", QStringLiteral("1001+王芳")},
        {"1|a|b", QStringLiteral("a|b")},          // only the first bar separates
        {"0101", QStringLiteral("0101")},          // no bar: the whole text
    };
    for (const Case& c : cases) {
        dll.answer(c.answer);
        EXPECT_EQ(PickFromGrid(db.get(), QStringLiteral("SubShop"), QStringLiteral("OrgCode"), QStringLiteral("编码")),
                  c.result)
            << c.answer;
        EXPECT_EQ(PickFromGridMultiLine(db.get(), QStringLiteral("SubShop"), QStringLiteral("OrgCode|OrgName"),
                                        QStringLiteral("编码|名称"), 2),
                  c.result)
            << c.answer;
    }
    EXPECT_EQ(dll.giveBacks(), 12);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(GridBridgeTest, LocateFollowsTheCaseAndPartialFlags)
{
    struct Case {
        const char* answer;
        bool found;
        int recNo;
    } cases[] = {
        {"1|PluName|ab|1|1", true, 2},    // case-sensitive prefix: "abc", not "Abcd"
        {"1|PluName|ABCD|0|0", true, 1},  // any case, whole value
        {"1|PluName|ABC|1|0", true, 3},   // exact
        {"1|PluName|abc|0|1", true, 1},   // any case, prefix: "Abcd" comes first
        {"1|PluName|ab|0|0", false, 1},   // no whole value "ab"
        {"1|PluName|a|b|0|0", true, 4},   // a value holding a bar stays whole
        {"1|PluName|面|1|1", true, 5},
    };
    for (const Case& c : cases) {
        ds.First();
        prompts->calls.clear();
        dll.answer(c.answer);
        EXPECT_EQ(ShowLocateDialog(&grid), c.found) << c.answer;
        EXPECT_EQ(ds.RecNo(), c.recNo) << c.answer;
        EXPECT_EQ(messages(), c.found ? QStringList() : QStringList{QStringLiteral("没有找到相应的数据行！")}) << c.answer;
    }
    // A text that is no number in a numeric field.
    prompts->calls.clear();
    dll.answer("1|TryTimes|abc|0|1");
    EXPECT_FALSE(ShowLocateDialog(&grid));
    EXPECT_EQ(messages(), QStringList{QStringLiteral("数据类型不一致！")});
    // Texts of length 0 and 1 locate nothing and say nothing.
    prompts->calls.clear();
    ds.setRecNo(3);
    for (const char* a : {"", "1"}) {
        dll.answer(a);
        EXPECT_FALSE(ShowLocateDialog(&grid));
        EXPECT_EQ(ds.RecNo(), 3);
    }
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(GridBridgeTest, FilterSetsTheExpressionAndKeepsTheDataSetSoundWhenItIsRefused)
{
    dll.answer("1|[TryTimes] > 2");
    ShowFilterDialog(&grid);
    EXPECT_TRUE(ds.Filtered());
    EXPECT_EQ(ds.RecordCount(), 3);

    // A bad expression: the message, and the filter that was in force stays.
    dll.answer("1|[Nope] = 1");
    ShowFilterDialog(&grid);
    EXPECT_EQ(messages(), QStringList{QStringLiteral("错误的过滤条件！")});
    EXPECT_TRUE(ds.Filtered());
    EXPECT_EQ(ds.Filter(), QStringLiteral("[TryTimes] > 2"));
    EXPECT_EQ(ds.RecordCount(), 3);

    // Also when filtering was off: no unusable expression is left behind.
    ds.setFiltered(false);
    ShowFilterDialog(&grid);
    EXPECT_FALSE(ds.Filtered());
    EXPECT_EQ(ds.Filter(), QStringLiteral("[TryTimes] > 2"));
    EXPECT_NO_THROW(ds.setFiltered(true));
    EXPECT_EQ(ds.RecordCount(), 3);

    // "1|" clears; length 0 and 1 change nothing.
    dll.answer("1|");
    ShowFilterDialog(&grid);
    EXPECT_EQ(ds.RecordCount(), 5);
    ds.setFilter(QStringLiteral("[TryTimes] = 1"));
    for (const char* a : {"", "x"}) {
        dll.answer(a);
        ShowFilterDialog(&grid);
        EXPECT_EQ(ds.RecordCount(), 1);
    }
}

TEST_F(GridBridgeTest, ADialogNeedsAnOpenDataSetAndAFailingCallEndsSilently)
{
    ds.Close();
    EXPECT_FALSE(ShowLocateDialog(&grid));
    ShowFilterDialog(&grid);
    EXPECT_FALSE(ShowLocateDialog(nullptr));
    EXPECT_TRUE(dll.log().isEmpty());

    dll.failCalls(true);
    dll.answer("1|0101");
    EXPECT_EQ(PickFromGrid(db.get(), QStringLiteral("SubShop"), QStringLiteral("OrgCode"), QStringLiteral("编码")),
              QString());
    EXPECT_FALSE(ShowColumnDialog(1, db.get(), &grid, QStringLiteral("TryOut"), QStringLiteral("1001")));
    EXPECT_EQ(dll.giveBacks(), 0); // the give-back is skipped after a failure
    EXPECT_TRUE(messages().isEmpty());
}

// --- grid printing --------------------------------------------------------------------------

QString pdfText(const QString& file)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!p.waitForFinished(60000)) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Renders every preview into a PDF file instead of showing it.
void previewIntoPdf(const QString& file, std::function<void()> during = {})
{
    setModalHook([file, during](QDialog* d) {
        auto* pv = qobject_cast<QPrintPreviewDialog*>(d);
        if (!pv) return 0;
        if (during) during();
        QPrinter* p = pv->printer();
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(file);
        Q_EMIT pv->paintRequested(p);
        return 0;
    });
}

TEST_F(GridBridgeTest, AOneLineTitleGetsTheBlankPageAndTimeLinesAtTheRight)
{
    const QString file = testTempDir() + QStringLiteral("/grid.pdf");
    previewIntoPdf(file);
    ASSERT_TRUE(PreviewGrid(&grid, QStringLiteral("试用品试用")));
    TPrintDBGridEh* pr = GridPrintComponent();
    EXPECT_EQ(pr->PageHeader().CenterText, QStringList{QStringLiteral("试用品试用")});
    EXPECT_EQ(pr->PageHeader().RightText,
              (QStringList{QStringLiteral(" "), QStringLiteral("页数：&[Page]/&[Pages]"),
                           QStringLiteral("打印时间：&[LongDate]")}));
    EXPECT_TRUE(pr->PageHeader().LeftText.isEmpty());
    EXPECT_TRUE(pr->AfterGridText().isEmpty());
    EXPECT_EQ(pr->PageHeader().Font.family(), QStringLiteral("宋体"));
    EXPECT_EQ(pr->PageHeader().Font.pointSize(), 16);
    EXPECT_TRUE(pr->PageHeader().Font.bold());
    EXPECT_EQ(pr->Options, pghFitGridToPageWidth | pghRowAutoStretch);
    EXPECT_EQ(pr->LeftMargin, 2.0);
    EXPECT_EQ(pr->BottomMargin, 2.0);

    // Where the words stand on the page (top edges in points, y growing downwards).
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString boxes = QString::fromUtf8(p.readAllStandardOutput());
    auto top = [&](const QString& word) {
        const QRegularExpression re(QStringLiteral("yMin=\"([0-9.]+)\"[^>]*>") + QRegularExpression::escape(word) +
                                    QStringLiteral("</word>"));
        const QRegularExpressionMatch m = re.match(boxes);
        return m.hasMatch() ? m.captured(1).toDouble() : -1.0;
    };
    const double title = top(QStringLiteral("试用品试用"));
    const double page = top(QStringLiteral("页数：1/1"));
    const double time = top(QStringLiteral("打印时间：2026年3月15日"));
    ASSERT_GT(title, 0) << boxes.toStdString();
    ASSERT_GT(page, 0) << boxes.toStdString();
    ASSERT_GT(time, 0) << boxes.toStdString();
    // The blank right line stands level with the title, the page line one line below it, the
    // time line under that.
    const double line = time - page;
    EXPECT_GT(line, 0);
    EXPECT_NEAR(page - title, line, line * 0.3);
    EXPECT_GT(top(QStringLiteral("面霜")), time);
}

TEST_F(GridBridgeTest, ExtraLeftLinesEndBesideTheTimeLineAndNothingCarriesOverToTheNextPrint)
{
    const QString file = testTempDir() + QStringLiteral("/report.pdf");
    previewIntoPdf(file);
    ASSERT_TRUE(PreviewGrid(&grid, QStringLiteral("试用品统计报表"), {QStringLiteral("开始日期:2026-03-01")},
                            {QStringLiteral("制表人：王芳")}));
    TPrintDBGridEh* pr = GridPrintComponent();
    EXPECT_EQ(pr->PageHeader().LeftText, (QStringList{QString(), QString(), QStringLiteral("开始日期:2026-03-01")}));
    EXPECT_EQ(pr->AfterGridText(), QStringList{QStringLiteral("制表人：王芳")});
    const QStringList lines = pdfText(file).split(QLatin1Char('\n'));
    bool together = false;
    for (const QString& l : lines)
        together = together || (l.contains(QStringLiteral("开始日期:2026-03-01")) && l.contains(QStringLiteral("打印时间：")));
    EXPECT_TRUE(together);

    // The next print without extra lines shows none of the earlier ones.
    ASSERT_TRUE(PreviewGrid(&grid, QStringLiteral("试用品试用")));
    EXPECT_TRUE(pr->PageHeader().LeftText.isEmpty());
    EXPECT_TRUE(pr->AfterGridText().isEmpty());
    EXPECT_FALSE(pdfText(file).contains(QStringLiteral("开始日期")));
}

TEST_F(GridBridgeTest, TheBusyFlagRefusesAPrintStartedFromWithinAPrint)
{
    const QString file = testTempDir() + QStringLiteral("/busy.pdf");
    bool inner = true, busyInside = false;
    previewIntoPdf(file, [&] {
        busyInside = GridPrintBusy();
        inner = PreviewGrid(&grid, QStringLiteral("里面"));
    });
    EXPECT_TRUE(PreviewGrid(&grid, QStringLiteral("外面")));
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(inner);
    EXPECT_FALSE(GridPrintBusy());
    EXPECT_FALSE(PreviewGrid(nullptr, QStringLiteral("外面")));

    // A failure clears the flag too, without a message.
    setModalHook([](QDialog*) -> int { throw std::runtime_error("printer gone"); });
    EXPECT_FALSE(PreviewGrid(&grid, QStringLiteral("外面")));
    EXPECT_FALSE(GridPrintBusy());
    previewIntoPdf(file);
    EXPECT_TRUE(PreviewGrid(&grid, QStringLiteral("外面")));
    EXPECT_TRUE(messages().isEmpty());
}

} // namespace

TEST_F(GridBridgeTest, TheShippedPrintLibraryHasItsFormatEntries)
{
    // The print service ships CommPrn and CommPrnBill: a preview opens (the modal hook stands in
    // for the user closing it) and printing asks for the printer; no entry is missing.
    GridBridge::setLibraryFolder(QStringLiteral(QOR_BIN_DIR));
    int previews = 0;
    setModalHook([&](QDialog* d) {
        if (qobject_cast<QPrintPreviewDialog*>(d)) ++previews;
        return int(QDialog::Rejected);
    });
    PrintFormat(db.get(), 1, QStringLiteral("1"), QStringLiteral("TryOut"), 7, &ds);
    PrintFormatBill(db.get(), 3, QStringLiteral("1"), QStringLiteral("TryOut"), 7, &ds);
    setModalHook({});
    EXPECT_EQ(previews, 1);
    EXPECT_FALSE(messages().contains(QStringLiteral("函数连接错误！")));
    EXPECT_FALSE(messages().contains(QStringLiteral("DLL文件打开失败，请查找！")));
}
