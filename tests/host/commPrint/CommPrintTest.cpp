// The print service library as the module reaches it (loaded by file name, entries looked up by
// name): the designer driven through its controls, the stored layouts previewed and printed into
// PDF files that are read back.
#include "host/include/CommPrintApi.h"
#include "host/include/PubProcDll.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/ui/Prompter.h"
#include "tests/support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace Qt::StringLiterals;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

QString pdfText(const QString& file)
{
    QProcess p;
    p.start(u"pdftotext"_s, {u"-layout"_s, file, u"-"_s});
    if (!p.waitForFinished(120000)) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Lines of the text that contain every given piece, in order, with any spacing between.
int findLine(const QStringList& lines, const QStringList& pieces, int from = 0)
{
    QStringList escaped;
    for (const QString& p : pieces) escaped << QRegularExpression::escape(p);
    const QRegularExpression re(escaped.join(u".*"_s));
    for (int i = from; i < lines.size(); ++i)
        if (re.match(lines[i]).hasMatch()) return i;
    return -1;
}

// A prompter whose printer dialog chooses a PDF file (or is cancelled).
class PdfPrinterPrompter : public Prompter {
public:
    explicit PdfPrinterPrompter(QString file, bool accept = true) : m_file(std::move(file)), m_accept(accept)
    {
        install(this);
    }
    ~PdfPrinterPrompter() override { install(nullptr); }
    PromptAnswer ask(const PromptCall& call, QWidget*, QPrinter* printer) override
    {
        calls << call.kind;
        PromptAnswer a;
        if (call.kind == PromptKind::PrintSetup && printer && m_accept) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(m_file);
        }
        a.accepted = m_accept;
        return a;
    }
    QList<PromptKind> calls;

private:
    QString m_file;
    bool m_accept;
};

// CommPrn of the library built beside the tests.
void printFormat(TADOConnection* conn, int mode, const QString& formKey, int no, TClientDataSet* ds)
{
    static void* lib = dlopen(QOR_BIN_DIR "/libcommPrint.so", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    ASSERT_TRUE(lib) << dlerror();
    auto* proc = reinterpret_cast<CommPrnProc>(dlsym(lib, "CommPrn"));
    ASSERT_TRUE(proc);
    const QByteArray key = formKey.toUtf8();
    proc(conn, mode, qApp, "1", key.constData(), no, 0, ds, 0, 0, 0, 0, 0, 0, 0, 0, 0);
}

template <class T> T* child(QDialog* d, const char16_t* name)
{
    T* w = d->findChild<T*>(QString::fromUtf16(name));
    EXPECT_TRUE(w) << QString::fromUtf16(name).toStdString();
    return w;
}

int rowOf(QTableWidget* t, const QString& field)
{
    for (int r = 0; r < t->rowCount(); ++r)
        if (t->item(r, 0)->data(Qt::UserRole).toString() == field) return r;
    return -1;
}

class CommPrintTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        owner.setProperty("QryDesc", u"组织=一楼"_s);
        ds = new TClientDataSet(&owner);
        auto add = [&](const QString& name, TFieldType t, const QString& label) {
            TField* f = ds->addField(name, t, t == ftString ? 20 : 0);
            f->setDisplayLabel(label);
            return f;
        };
        add(u"OrgCode"_s, ftString, u"组织"_s);
        add(u"PluName"_s, ftString, u"商品名称"_s);
        add(u"TryTimes"_s, ftInteger, u"试用次数"_s);
        add(u"Amount"_s, ftFloat, u"金额"_s)->setDisplayFormat(u"0.00"_s);
        add(u"Hidden"_s, ftString, u"隐藏列"_s)->setVisible(false);
        ds->CreateDataSet();
        const struct {
            const char16_t *org, *plu;
            int times;
            double amount;
        } rows[] = {{u"0101", u"面霜", 3, 10.5}, {u"0102", u"精华", 2, 20}, {u"0101", u"口红", 1, 5.25},
                    {u"0102", u"眼霜", 4, 1}};
        for (const auto& r : rows) appendRow(QString::fromUtf16(r.org), QString::fromUtf16(r.plu), r.times, r.amount);
        ds->First();
    }
    void appendRow(const QString& org, const QString& plu, int times, double amount)
    {
        ds->Append();
        ds->FieldByName(u"OrgCode"_s)->setAsString(org);
        ds->FieldByName(u"PluName"_s)->setAsString(plu);
        ds->FieldByName(u"TryTimes"_s)->setAsInteger(times);
        ds->FieldByName(u"Amount"_s)->setAsFloat(amount);
        ds->FieldByName(u"Hidden"_s)->setAsString(u"不打印"_s);
        ds->Post();
    }

    // Runs the designer of format no, driven by drive.
    void design(int no, const std::function<void(QDialog*)>& drive)
    {
        bool seen = false;
        setModalHook([&](QDialog* d) {
            if (d->objectName() != u"frmPrnDesigner"_s) return 0;
            seen = true;
            d->show();
            drive(d);
            return d->result();
        });
        printFormat(db.get(), 0, u"TryOut"_s, no, ds);
        setModalHook({});
        ASSERT_TRUE(seen) << prompts->texts().join(u'\n').toStdString();
    }

    // Previews format no into a PDF file and returns its text.
    QString previewText(int no, const QString& key = u"TryOut"_s)
    {
        const QString file = testTempDir() + u"/preview.pdf"_s;
        setModalHook([file](QDialog* d) {
            auto* pv = qobject_cast<QPrintPreviewDialog*>(d);
            if (!pv) return 0;
            QPrinter* p = pv->printer();
            p->setOutputFormat(QPrinter::PdfFormat);
            p->setOutputFileName(file);
            Q_EMIT pv->paintRequested(p);
            return 0;
        });
        printFormat(db.get(), 1, key, no, ds);
        setModalHook({});
        lastPdf = file;
        return pdfText(file);
    }

    QWidget owner;
    TClientDataSet* ds = nullptr;
    QString lastPdf;
};

// The designer session of the issue: title, header with variables, columns chosen, renamed,
// reordered, a footer sum, grouping with subtotals.
void designTheRegister(QDialog* d)
{
    child<QLineEdit>(d, u"edtTitle")->setText(u"试用登记报表"_s);
    auto* header = child<QPlainTextEdit>(d, u"mmoHeader");
    header->setPlainText(u"操作员：&[User]|条件：&[Condition]|第&[Page]页/共&[Pages]页\n打印日期："_s);
    header->moveCursor(QTextCursor::End);
    header->setFocus();
    auto* vars = child<QComboBox>(d, u"cmbVariable");
    vars->setCurrentIndex(vars->findData(u"&[Date]"_s));
    child<QPushButton>(d, u"btnInsertVariable")->click();
    child<QPlainTextEdit>(d, u"mmoFooter")->setPlainText(u"||试用品管理"_s);

    auto* t = child<QTableWidget>(d, u"tblColumns");
    // Every visible field starts ticked (no stored layout): the organisation is printed as the
    // group heading instead.
    t->item(rowOf(t, u"OrgCode"_s), 0)->setCheckState(Qt::Unchecked);
    t->item(rowOf(t, u"PluName"_s), 1)->setText(u"试用品"_s);
    qobject_cast<QDoubleSpinBox*>(t->cellWidget(rowOf(t, u"PluName"_s), 2))->setValue(40);
    qobject_cast<QComboBox*>(t->cellWidget(rowOf(t, u"TryTimes"_s), 5))->setCurrentIndex(1); // sum
    qobject_cast<QComboBox*>(t->cellWidget(rowOf(t, u"Amount"_s), 5))->setCurrentIndex(1);
    t->item(rowOf(t, u"Amount"_s), 4)->setText(u"#,##0.00"_s);
    // Amount before TryTimes.
    t->setCurrentCell(rowOf(t, u"Amount"_s), 0);
    child<QPushButton>(d, u"btnUp")->click();

    auto* group = child<QComboBox>(d, u"cmbGroupField");
    group->setCurrentIndex(group->findData(u"OrgCode"_s));
    child<QCheckBox>(d, u"chkGroupSubtotal")->setChecked(true);
}

TEST_F(CommPrintTest, ADesignedFormatIsStoredAndPreviewsWithItsTitleVariablesColumnsSubtotalsAndTotal)
{
    design(3, [](QDialog* d) {
        designTheRegister(d);
        child<QPushButton>(d, u"btnSave")->click();
    });
    EXPECT_EQ(queryRows(*db, u"select count(*) from tXtPrnLayout where PrnType='1' and PrnCode='TryOut' and SerialNo=3"_s),
              QStringList{u"1"_s});
    EXPECT_TRUE(prompts->texts().isEmpty()) << prompts->texts().join(u'\n').toStdString();

    const QString text = previewText(3);
    const QStringList lines = text.split(u'\n');
    EXPECT_GE(findLine(lines, {u"试用登记报表"_s}), 0) << text.toStdString();
    EXPECT_GE(findLine(lines, {u"操作员：王芳"_s, u"条件：组织=一楼"_s, u"第1页/共1页"_s}), 0) << text.toStdString();
    EXPECT_GE(findLine(lines, {u"打印日期：2026-03-15"_s}), 0) << text.toStdString();
    EXPECT_GE(findLine(lines, {u"试用品管理"_s}), 0);
    // The chosen columns in their order; the organisation and the invisible field are not columns.
    const int head = findLine(lines, {u"试用品"_s, u"金额"_s, u"试用次数"_s});
    ASSERT_GE(head, 0) << text.toStdString();
    EXPECT_EQ(findLine(lines, {u"组织"_s, u"试用品"_s}), -1);
    EXPECT_FALSE(text.contains(u"不打印"_s));
    // Group 0101 with its records and subtotal, then 0102, then the total.
    const int g1 = findLine(lines, {u"组织：0101"_s}, head);
    const int r1 = findLine(lines, {u"面霜"_s, u"10.50"_s, u"3"_s}, g1);
    const int r2 = findLine(lines, {u"口红"_s, u"5.25"_s, u"1"_s}, r1);
    const int s1 = findLine(lines, {u"小计"_s, u"15.75"_s, u"4"_s}, r2);
    const int g2 = findLine(lines, {u"组织：0102"_s}, s1);
    const int r3 = findLine(lines, {u"精华"_s, u"20.00"_s, u"2"_s}, g2);
    const int s2 = findLine(lines, {u"小计"_s, u"21.00"_s, u"6"_s}, r3);
    const int total = findLine(lines, {u"合计"_s, u"36.75"_s, u"10"_s}, s2);
    EXPECT_TRUE(g1 > head && r1 > g1 && r2 > r1 && s1 > r2 && g2 > s1 && r3 > g2 && s2 > r3 && total > s2)
        << text.toStdString();
}

TEST_F(CommPrintTest, TheDesignerReopensWithTheStoredLayoutAndCancelStoresNothing)
{
    design(3, [](QDialog* d) {
        designTheRegister(d);
        child<QPushButton>(d, u"btnSave")->click();
    });
    design(3, [](QDialog* d) {
        EXPECT_EQ(child<QLineEdit>(d, u"edtTitle")->text(), u"试用登记报表"_s);
        auto* t = child<QTableWidget>(d, u"tblColumns");
        QStringList ticked;
        for (int r = 0; r < t->rowCount(); ++r)
            if (t->item(r, 0)->checkState() == Qt::Checked) ticked << t->item(r, 0)->data(Qt::UserRole).toString();
        EXPECT_EQ(ticked, (QStringList{u"PluName"_s, u"Amount"_s, u"TryTimes"_s}));
        EXPECT_EQ(t->item(0, 1)->text(), u"试用品"_s);
        EXPECT_EQ(child<QComboBox>(d, u"cmbGroupField")->currentData().toString(), u"OrgCode"_s);
        child<QLineEdit>(d, u"edtTitle")->setText(u"不要保存"_s);
        child<QPushButton>(d, u"btnCancel")->click();
    });
    EXPECT_TRUE(previewText(3).contains(u"试用登记报表"_s));
    // Another format number, print type or form key has no layout of its own.
    EXPECT_FALSE(previewText(4).contains(u"试用登记报表"_s));
    EXPECT_FALSE(previewText(3, u"TryOutR"_s).contains(u"试用登记报表"_s));
}

TEST_F(CommPrintTest, ThePreviewPaneFollowsTheControls)
{
    for (int i = 0; i < 150; ++i) appendRow(u"0103"_s, u"批量%1"_s.arg(i), 1, 1);
    design(5, [](QDialog* d) {
        auto* pages = child<QLabel>(d, u"lblPages");
        const QString before = pages->text();
        EXPECT_EQ(before, u"共 4 页"_s); // 154 records at 9 points on A4
        child<QSpinBox>(d, u"spnFontSize")->setValue(18);
        // Drawn again once the change is complete, not inside the change.
        EXPECT_EQ(pages->text(), before);
        QCoreApplication::sendPostedEvents();
        QTest::qWait(20);
        EXPECT_NE(pages->text(), before);
        child<QComboBox>(d, u"cmbOrientation")->setCurrentIndex(1);
        QTest::qWait(20);
        auto* pane = d->findChild<QWidget*>(u"pnlPreview"_s);
        ASSERT_TRUE(pane);
        pane->grab().save(testTempDir() + u"/pane.png"_s);
        d->grab().save(testTempDir() + u"/designer.png"_s);
        child<QPushButton>(d, u"btnCancel")->click();
    });
}

TEST_F(CommPrintTest, WithoutAStoredLayoutTheVisibleFieldsArePrintedPlain)
{
    const QString text = previewText(7);
    const QStringList lines = text.split(u'\n');
    const int head = findLine(lines, {u"组织"_s, u"商品名称"_s, u"试用次数"_s, u"金额"_s});
    ASSERT_GE(head, 0) << text.toStdString();
    EXPECT_GE(findLine(lines, {u"0101"_s, u"面霜"_s, u"3"_s, u"10.50"_s}, head), head);
    EXPECT_FALSE(text.contains(u"隐藏列"_s));
    EXPECT_FALSE(text.contains(u"合计"_s));
}

TEST_F(CommPrintTest, PrintingAsksForThePrinterAndACancelPrintsNothing)
{
    const QString file = testTempDir() + u"/printed.pdf"_s;
    {
        PdfPrinterPrompter pdf(file, false);
        printFormat(db.get(), 3, u"TryOut"_s, 3, ds);
        EXPECT_EQ(pdf.calls, QList<PromptKind>{PromptKind::PrintSetup});
    }
    EXPECT_FALSE(QFile::exists(file));
    {
        PdfPrinterPrompter pdf(file);
        printFormat(db.get(), 3, u"TryOut"_s, 3, ds);
    }
    EXPECT_TRUE(pdfText(file).contains(u"面霜"_s));
}

TEST_F(CommPrintTest, AMaskedFieldPrintsItsMaskAndNoTotal)
{
    ds->FieldByName(u"Amount"_s)->setOnGetText([](TField*, QString& t, bool) { t = u"*"_s; });
    design(3, [](QDialog* d) {
        designTheRegister(d);
        child<QPushButton>(d, u"btnSave")->click();
    });
    const QString text = previewText(3);
    EXPECT_FALSE(text.contains(u"36.75"_s)) << text.toStdString();
    EXPECT_FALSE(text.contains(u"10.50"_s));
    EXPECT_GE(findLine(text.split(u'\n'), {u"面霜"_s, u"*"_s, u"3"_s}), 0);
}

TEST_F(CommPrintTest, ManyRecordsGiveNumberedPagesWithTheTitlesOnEach)
{
    for (int i = 0; i < 300; ++i) appendRow(u"0109"_s, u"商品%1"_s.arg(i, 3, 10, QLatin1Char('0')), 1, 2);
    design(3, [](QDialog* d) {
        designTheRegister(d);
        child<QPushButton>(d, u"btnSave")->click();
    });
    const QString text = previewText(3);
    const int pages = int(text.count(u'\f')) + (text.endsWith(u'\f') ? 0 : 1);
    ASSERT_GT(pages, 3);
    EXPECT_TRUE(text.contains(u"第2页/共%1页"_s.arg(pages))) << pages;
    EXPECT_EQ(text.count(u"试用登记报表"_s), pages);
    EXPECT_TRUE(text.contains(u"商品299"_s));
    EXPECT_GE(findLine(text.split(u'\n'), {u"合计"_s, u"636.75"_s, u"310"_s}), 0);
}

// How long printing 100,000 records with a stored, grouped layout into a PDF file takes and how
// much memory it adds (a measurement: run with --gtest_also_run_disabled_tests).
qint64 peakRssKb()
{
    QFile f(u"/proc/self/status"_s);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

TEST_F(CommPrintTest, DISABLED_Printing100000RecordsIntoAPdfFile)
{
    ds->DisableControls();
    for (int i = 0; i < 100000; ++i)
        appendRow(u"%1"_s.arg(101 + i % 20, 4, 10, QLatin1Char('0')), u"商品%1"_s.arg(i), 1 + i % 5, (i % 97) * 1.25);
    ds->EnableControls();
    design(3, [](QDialog* d) {
        designTheRegister(d);
        child<QPushButton>(d, u"btnSave")->click();
    });
    const QString file = testTempDir() + u"/volume.pdf"_s;
    const qint64 before = peakRssKb();
    QElapsedTimer t;
    t.start();
    {
        PdfPrinterPrompter pdf(file);
        printFormat(db.get(), 3, u"TryOut"_s, 3, ds);
    }
    const qint64 ms = t.elapsed();
    const qint64 after = peakRssKb();
    QProcess info;
    info.start(u"pdfinfo"_s, {file});
    info.waitForFinished(60000);
    const QString pages = QString::fromUtf8(info.readAllStandardOutput()).section(u"Pages:"_s, 1).section(u'\n', 0, 0).trimmed();
    std::printf("100004 records: %lld ms, %s pages, %lld KiB PDF, peak RSS %lld KiB before printing, %lld KiB after\n",
                ms, qPrintable(pages), QFileInfo(file).size() / 1024, before, after);
    EXPECT_GT(pages.toInt(), 1000);
}

} // namespace
