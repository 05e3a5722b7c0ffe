// Printing a grid as shown: the preview rendered to PDF and read back as text.
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "platform/grid/PrintDBGridEh.h"
#include "platform/sys/Clock.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString pdfText(const QString& file)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!p.waitForFinished(60000)) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setClock([] { return QDateTime(QDate(2026, 3, 15), QTime(10, 30, 0)); });
        code = ds.addField(QStringLiteral("PluCode"), ftString, 20);
        name = ds.addField(QStringLiteral("PluName"), ftString, 20);
        qty = ds.addField(QStringLiteral("TryTimes"), ftInteger);
        ds.CreateDataSet();
        for (int i = 1; i <= rows; ++i) {
            ds.Append();
            code->setAsString(QStringLiteral("R%1").arg(i, 4, 10, QLatin1Char('0')));
            name->setAsString(i % 2 ? QStringLiteral("口红") : QStringLiteral("面霜"));
            qty->setAsInteger(i);
            ds.Post();
        }
        src.setDataSet(&ds);
        grid.setDataSource(&src);
        const char* titles[] = {"试用品|编码", "试用品|名称", "试用次数"};
        for (int i = 0; i < 3; ++i) {
            TColumnEh* c = grid.Columns()->Add();
            c->setField(ds.Fields()[i]);
            c->Title()->setCaption(QString::fromUtf8(titles[i]));
        }
        grid.Columns()->Items(2)->Footer()->setValueType(fvtSum);
        grid.setFooterRowCount(1);
        grid.resize(500, 300);
        pr.setDBGridEh(&grid);
        pr.PageHeader().CenterText = QStringList{QStringLiteral("试用登记")};
        pr.PageHeader().RightText =
            QStringList{QStringLiteral(" "), QStringLiteral("页数：&[Page]/&[Pages]"), QStringLiteral("打印时间：&[LongDate]")};
        pr.PageHeader().LeftText = QStringList{QString(), QString(), QStringLiteral("开始日期:2026-03-01")};
        pr.AfterGridText() = QStringList{QStringLiteral("制表人：王芳")};
    }
    void TearDown() override
    {
        setModalHook({});
        setClock({});
    }
    static constexpr int rows = 150;
    TClientDataSet ds;
    TDataSource src;
    TDBGridEh grid;
    TPrintDBGridEh pr;
    TField *code, *name, *qty;
};

TEST_F(PrintTest, PreviewRenderedToPdfHoldsHeaderPagesAndEveryRow)
{
    const QString file = testTempDir() + QStringLiteral("/preview.pdf");
    bool previewed = false;
    // The preview dialog paints into a PDF printer instead of showing itself.
    setModalHook([&](QDialog* d) {
        auto* pv = qobject_cast<QPrintPreviewDialog*>(d);
        if (!pv) return 0;
        previewed = true;
        QPrinter* p = pv->printer();
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(file);
        Q_EMIT pv->paintRequested(p);
        return 0;
    });
    pr.Preview();
    ASSERT_TRUE(previewed);
    ASSERT_TRUE(QFile::exists(file));
    const int pages = pr.lastPageCount();
    ASSERT_GE(pages, 2); // 150 rows do not fit one A4 page
    const QString text = pdfText(file);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_EQ(text.count(QStringLiteral("试用登记")), pages);
    for (int p = 1; p <= pages; ++p)
        EXPECT_TRUE(text.contains(QStringLiteral("页数：%1/%2").arg(p).arg(pages))) << p;
    EXPECT_TRUE(text.contains(QStringLiteral("打印时间：2026年3月15日")));
    EXPECT_TRUE(text.contains(QStringLiteral("开始日期:2026-03-01")));
    for (int i = 1; i <= rows; ++i)
        EXPECT_TRUE(text.contains(QStringLiteral("R%1").arg(i, 4, 10, QLatin1Char('0')))) << i;
    // Titles (upper level once per page at most, titles on the first page), footer and the text after.
    EXPECT_TRUE(text.contains(QStringLiteral("试用次数")));
    EXPECT_TRUE(text.contains(QStringLiteral("11325"))); // 1 + ... + 150
    EXPECT_TRUE(text.contains(QStringLiteral("制表人：王芳")));
    EXPECT_LT(text.indexOf(QStringLiteral("R0150")), text.indexOf(QStringLiteral("制表人：王芳")));
}

TEST_F(PrintTest, PdfOutputFollowsTheFilterAndRepeatsTitlesWhenAsked)
{
    ds.setFilter(QStringLiteral("TryTimes <= 3"));
    ds.setFiltered(true);
    pr.Options |= pghColHeadersOnEachPage;
    const QString file = testTempDir() + QStringLiteral("/grid.pdf");
    pr.PrintToPdf(file);
    EXPECT_EQ(pr.lastPageCount(), 1);
    const QString text = pdfText(file);
    EXPECT_TRUE(text.contains(QStringLiteral("R0003")));
    EXPECT_FALSE(text.contains(QStringLiteral("R0004")));
    EXPECT_TRUE(text.contains(QStringLiteral("页数：1/1")));
    // Without a grid nothing is printed.
    TPrintDBGridEh none;
    EXPECT_THROW(none.PrintToPdf(file), std::runtime_error);
}

} // namespace
