// The try-out summary report, opened through its entry point and driven as a user would: dates
// and organisation chosen, refresh triggered, dialogs answered through the modal hook; checked
// against the rows shown, the footer, the messages and the printout's header.
#include "calc/CalcEngine.h"
#include "chart/Graph.h"
#include "framework/GridBridge.h"
#include "host/include/PubProcDll.h"
#include "module/EntryPoints.h"
#include "module/ErrLog.h"
#include "module/MISPub.h"
#include "module/ModuleState.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/grid/DBGridEh.h"
#include "platform/grid/PrintDBGridEh.h"
#include "platform/text/Gbk.h"
#include "tests/support/TestSupport.h"
#include "tryout/SumSpRptQ.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QRegularExpression>
#include <QToolButton>

#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

std::vector<QString> notices;
void notifyA(int tag) { notices.push_back(u"A:"_s + QString::number(tag)); }
void notifyB(int tag) { notices.push_back(u"B:"_s + QString::number(tag)); }

const QStringList Key = {u"OrgCode"_s, u"PluCode"_s};
const QStringList Numbers = {u"LyCount"_s, u"TryTimes"_s, u"SatFDgre"_s, u"Frequence"_s};

class SumSpRptQTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        notices.clear();
    }
    void TearDown() override
    {
        for (QPointer<TfrmSumSpRptQ>& f : forms) delete f.data();
        ModuleState::releaseSlot(ModuleState::summaryReport(), nullptr);
        GridBridge::setLibraryFolder(QString());
        HostTest::TearDown();
    }

    TfrmSumSpRptQ* open(CloseNotifier notifier = nullptr)
    {
        QWidget* w = frmSpRptShow(qApp, notifier);
        auto* f = qobject_cast<TfrmSumSpRptQ*>(w);
        EXPECT_NE(f, nullptr);
        if (!f) return nullptr;
        forms.append(f);
        f->FunCode = u"080102"_s;
        f->show();
        return f;
    }
    static void setRange(TfrmSumSpRptQ* f, const QString& b, const QString& e)
    {
        f->dtpBgnDate->setDate(QDate::fromString(b, Qt::ISODate));
        f->dtpEndDate->setDate(QDate::fromString(e, Qt::ISODate));
    }
    static void chooseOrg(TfrmSumSpRptQ* f, const QString& item)
    {
        const int i = f->cmbOrgList->findText(item);
        ASSERT_GE(i, 0) << item.toStdString();
        f->cmbOrgList->setCurrentIndex(i);
    }
    static void refresh(TfrmSumSpRptQ* f, const QString& b, const QString& e)
    {
        setRange(f, b, e);
        f->actRefresh->trigger();
    }
    // The rows shown as display texts of the named fields, tab-joined.
    static QStringList shown(TfrmSumSpRptQ* f, const QStringList& fields)
    {
        QStringList out;
        TClientDataSet* ds = f->qryHead;
        if (!ds->Active()) return out;
        for (int i = 0; i < ds->RecordCount(); ++i) {
            QStringList cells;
            for (const QString& name : fields) cells << ds->FieldByName(name)->displayTextAt(ds->physicalRow(i));
            out << cells.join(u'\t');
        }
        return out;
    }
    static int rowsShown(TfrmSumSpRptQ* f) { return f->qryHead->Active() ? f->qryHead->RecordCount() : 0; }
    static QString footer(TfrmSumSpRptQ* f, const QString& field)
    {
        return f->dgrdHead->Columns()->FindColumnByName(field)->footerText();
    }

    void exec(const QString& sql) { db->executeScript(sql); }
    static QString q(QString text) { return text.replace(u'\'', u"''"_s); }
    // A bill with its lines (good, units); cost, net cost and retail value are fixed multiples
    // of the units so that sums can be checked. rz: the booking date, "NULL" for none.
    void bill(const QString& no, const QString& org, const QString& type, const QString& rz, const QString& date,
              const QList<QPair<QString, int>>& lines)
    {
        const QString rzValue = rz == u"NULL"_s ? rz : u"'"_s + rz + u"'"_s;
        exec(u"insert into DrawForm values ('%1','%2','%3',%4,'%5')"_s.arg(no, q(org), type, rzValue, date));
        for (const auto& [plu, units] : lines)
            exec(u"insert into DrawDetail values ('%1','%2','',%3,%4,%5,%6)"_s.arg(no, plu)
                     .arg(units)
                     .arg(units * 5.5)
                     .arg(units * 5.0)
                     .arg(units * 10.0));
    }
    void trial(const QString& date, const QString& time, const QString& org, const QString& plu,
               const QString& result)
    {
        exec(u"insert into TryOutBK values ('%1','%2','%3','%4','%5','','3002','陈敏','1001','王芳')"_s.arg(
            date, time, q(org), plu, result));
    }
    // January 2030, far from the demo data: one good tried and drawn, one drawn only, one tried
    // only, and everything the statistics must leave out.
    void january()
    {
        bill(u"T1"_s, u"0101"_s, u"1"_s, u"2030-01-06"_s, u"2030-01-05"_s, {{u"10010001"_s, 5}, {u"10010002"_s, 6}});
        bill(u"T2"_s, u"0101"_s, u"1"_s, u"2030-01-21"_s, u"2030-01-20"_s, {{u"10010001"_s, 3}});
        // Left out: a bill of type '2', unbooked bills, a bill outside the range, a good and an
        // organisation missing from the master tables.
        bill(u"T3"_s, u"0101"_s, u"2"_s, u"2030-01-11"_s, u"2030-01-10"_s, {{u"10010004"_s, 9}});
        bill(u"T4"_s, u"0101"_s, u"1"_s, u""_s, u"2030-01-10"_s, {{u"10010005"_s, 9}, {u"10010001"_s, 9}});
        bill(u"T5"_s, u"0101"_s, u"1"_s, u"NULL"_s, u"2030-01-10"_s, {{u"10010006"_s, 9}, {u"10010001"_s, 9}});
        bill(u"T6"_s, u"0101"_s, u"1"_s, u"2029-12-31"_s, u"2029-12-31"_s, {{u"10010001"_s, 10}});
        bill(u"T7"_s, u"0101"_s, u"1"_s, u"2030-01-11"_s, u"2030-01-10"_s, {{u"99999999"_s, 4}});
        bill(u"T8"_s, u"9999"_s, u"1"_s, u"2030-01-11"_s, u"2030-01-10"_s, {{u"10010001"_s, 4}});
        // 3 satisfied, 1 not, 1 with a result counted in neither.
        trial(u"2030-01-07"_s, u"10:00:00"_s, u"0101"_s, u"10010001"_s, u"0"_s);
        trial(u"2030-01-08"_s, u"10:00:00"_s, u"0101"_s, u"10010001"_s, u"0"_s);
        trial(u"2030-01-31"_s, u"19:59:59"_s, u"0101"_s, u"10010001"_s, u"0"_s);
        trial(u"2030-01-01"_s, u"08:00:00"_s, u"0101"_s, u"10010001"_s, u"1"_s);
        trial(u"2030-01-09"_s, u"10:00:00"_s, u"0101"_s, u"10010001"_s, u"2"_s);
        trial(u"2030-02-01"_s, u"10:00:00"_s, u"0101"_s, u"10010001"_s, u"0"_s);
        trial(u"2029-12-31"_s, u"10:00:00"_s, u"0101"_s, u"10010001"_s, u"1"_s);
        // Tried, never drawn: one satisfied of three.
        trial(u"2030-01-10"_s, u"10:00:00"_s, u"0102"_s, u"10010003"_s, u"0"_s);
        trial(u"2030-01-10"_s, u"10:00:01"_s, u"0102"_s, u"10010003"_s, u"1"_s);
        trial(u"2030-01-10"_s, u"10:00:02"_s, u"0102"_s, u"10010003"_s, u"1"_s);
        trial(u"2030-01-10"_s, u"10:00:00"_s, u"9999"_s, u"10010003"_s, u"0"_s);
        trial(u"2030-01-10"_s, u"10:00:00"_s, u"0102"_s, u"99999999"_s, u"0"_s);
    }
    QString errLog() const
    {
        QFile f(QDir(ErrLogFolder()).filePath(u"SysErr.Log"_s));
        return f.open(QIODevice::ReadOnly) ? Gbk::decode(f.readAll()) : QString();
    }
    void onModal(const std::function<int(QDialog*)>& script)
    {
        setModalHook([this, script](QDialog* d) {
            ++modals;
            return script(d);
        });
    }

    QList<QPointer<TfrmSumSpRptQ>> forms;
    int modals = 0;
};

} // namespace

// --- the form as it opens ----------------------------------------------------------------------

TEST_F(SumSpRptQTest, OpensEmptyWithTodayTheColumnsAndEveryOrganisation)
{
    TfrmSumSpRptQ* f = open();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ModuleState::summaryReport().form, f);
    EXPECT_EQ(f->windowTitle(), u"试用品统计报表"_s);
    EXPECT_EQ(f->FormKey, u"TryOutR"_s);
    EXPECT_EQ(rowsShown(f), 0);
    EXPECT_EQ(f->dtpBgnDate->date(), QDate(2026, 3, 15));
    EXPECT_EQ(f->dtpEndDate->date(), QDate(2026, 3, 15));
    EXPECT_EQ(f->dtpBgnDate->text(), u"2026年3月15日"_s);
    EXPECT_EQ(f->lblbgnDate->text(), u"开始日期："_s);
    EXPECT_EQ(f->lblEndDate->text(), u"截止日期："_s);
    EXPECT_EQ(f->tbtnRefresh->text(), u"刷新"_s);
    EXPECT_EQ(f->dgrdHead->TitleLines(), 2);

    QStringList titles;
    for (int i = 0; i < f->dgrdHead->Columns()->Count(); ++i)
        titles << f->dgrdHead->Columns()->Items(i)->FieldName() + u'=' + f->dgrdHead->Columns()->Items(i)->Title()->Caption();
    EXPECT_EQ(titles, (QStringList{u"OrgCode=组织|编码"_s, u"OrgName=组织|名称"_s, u"PluCode=试用品|编码"_s,
                                   u"PluName=试用品|名称"_s, u"LyCount=领用数量"_s, u"JPrice=领用金额|含税进价"_s,
                                   u"NetJPrice=领用金额|无税进价"_s, u"Price=领用金额|售价"_s, u"TryTimes=试用次数"_s,
                                   u"Frequence=试用频度"_s, u"SatFDgre=满意度(%)"_s}));
    EXPECT_EQ(f->qryHead->FieldByName(u"LyCount"_s)->DisplayFormat(), qorSession().displayFormat);
    EXPECT_EQ(f->qryHead->FieldByName(u"Frequence"_s)->DisplayWidth(), 15);

    // Organisation list kind 0: every organisation the user may see, "<全部>" first.
    ASSERT_GT(f->cmbOrgList->count(), 1);
    EXPECT_EQ(f->cmbOrgList->itemText(0), u"<全部>"_s);
    EXPECT_GE(f->cmbOrgList->findText(u"0001-总部"_s), 0); // a head office too
    EXPECT_GE(f->cmbOrgList->findText(u"0301-加盟一店"_s), 0);
    for (QAction* a : {f->actPrint, f->actPreview, f->actConvertToExcel, f->actGraph})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(f->actRefresh->isEnabled());
}

TEST_F(SumSpRptQTest, EachReportTellsTheHostOfItsOwnCloseOnce)
{
    TfrmSumSpRptQ* first = open(notifyA);
    TfrmSumSpRptQ* second = open(notifyB);
    second->Tag = 7;
    EXPECT_EQ(ModuleState::summaryReport().form, second);
    first->close();
    EXPECT_EQ(notices, (std::vector<QString>{u"A:1"_s}));
    EXPECT_EQ(ModuleState::summaryReport().form, second); // the later report stays recorded
    second->close();
    second->close();
    EXPECT_EQ(notices, (std::vector<QString>{u"A:1"_s, u"B:7"_s}));
    EXPECT_EQ(ModuleState::summaryReport().form, nullptr);
}

// --- the numbers -------------------------------------------------------------------------------

TEST_F(SumSpRptQTest, SetsDrawnAgainstTriedPerOrganisationAndGood)
{
    january();
    TfrmSumSpRptQ* f = open();
    refresh(f, u"2030-01-01"_s, u"2030-01-31"_s);
    EXPECT_TRUE(prompts->calls.empty()) << prompts->texts().join(u'|').toStdString();
    // Booked type-'1' bills in the range only; trials in the range, results '0' and '1' only;
    // organisations and goods unknown to the master tables left out.
    EXPECT_EQ(shown(f, Key + Numbers), (QStringList{
                                           u"0101\t10010001\t8.00\t4\t75.00\t0.50"_s,
                                           u"0101\t10010002\t6.00\t0\t0.00\t0.00"_s,
                                           u"0102\t10010003\t0.00\t3\t33.33\t0.00"_s,
                                       }));
    EXPECT_EQ(shown(f, {u"OrgName"_s, u"PluName"_s}).value(0).section(u'\t', 0, 0), u"一楼化妆品"_s);
    EXPECT_FALSE(shown(f, {u"PluName"_s}).value(0).isEmpty());
    EXPECT_EQ(shown(f, {u"JPrice"_s, u"NetJPrice"_s, u"Price"_s}),
              (QStringList{u"44.0000\t40.0000\t80.00"_s, u"33.0000\t30.0000\t60.00"_s, u"0.0000\t0.0000\t0.00"_s}));
    EXPECT_EQ(f->pnlRecordcount->text(), u"记录数：3"_s);
    EXPECT_EQ(f->shownBgnDate(), u"2030-01-01"_s);
    for (QAction* a : {f->actPrint, f->actPreview, f->actConvertToExcel, f->actGraph})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
}

TEST_F(SumSpRptQTest, EqualBeginAndEndSelectThatDayOnBothSides)
{
    bill(u"D1"_s, u"0101"_s, u"1"_s, u"2030-03-10"_s, u"2030-03-09"_s, {{u"10010001"_s, 5}});
    bill(u"D2"_s, u"0101"_s, u"1"_s, u"2030-03-10"_s, u"2030-03-10"_s, {{u"10010001"_s, 2}});
    bill(u"D3"_s, u"0101"_s, u"1"_s, u"2030-03-12"_s, u"2030-03-11"_s, {{u"10010001"_s, 7}});
    trial(u"2030-03-09"_s, u"23:59:59"_s, u"0101"_s, u"10010001"_s, u"0"_s);
    trial(u"2030-03-10"_s, u"00:00:00"_s, u"0101"_s, u"10010001"_s, u"0"_s);
    trial(u"2030-03-10"_s, u"23:59:59"_s, u"0101"_s, u"10010001"_s, u"1"_s);
    trial(u"2030-03-11"_s, u"00:00:00"_s, u"0101"_s, u"10010001"_s, u"0"_s);
    TfrmSumSpRptQ* f = open();
    refresh(f, u"2030-03-10"_s, u"2030-03-10"_s);
    EXPECT_EQ(shown(f, Key + Numbers), QStringList{u"0101\t10010001\t2.00\t2\t50.00\t1.00"_s});
}

TEST_F(SumSpRptQTest, RoundingOfTheDegreeAndTheFrequency)
{
    // 2 of 3 satisfied (66.666… %), 3 trials on 7 units (0.428…), 1 of 8 (12.5 %).
    bill(u"R1"_s, u"0101"_s, u"1"_s, u"2030-05-02"_s, u"2030-05-01"_s, {{u"10010001"_s, 7}, {u"10010002"_s, 1}});
    for (int i = 0; i < 3; ++i)
        trial(u"2030-05-03"_s, u"10:00:0%1"_s.arg(i), u"0101"_s, u"10010001"_s, i < 2 ? u"0"_s : u"1"_s);
    for (int i = 0; i < 8; ++i)
        trial(u"2030-05-03"_s, u"11:00:0%1"_s.arg(i), u"0101"_s, u"10010002"_s, i < 1 ? u"0"_s : u"1"_s);
    TfrmSumSpRptQ* f = open();
    refresh(f, u"2030-05-01"_s, u"2030-05-31"_s);
    EXPECT_EQ(shown(f, Key + Numbers), (QStringList{u"0101\t10010001\t7.00\t3\t66.67\t0.43"_s,
                                                    u"0101\t10010002\t1.00\t8\t12.50\t8.00"_s}));
    EXPECT_DOUBLE_EQ(f->qryHead->FieldByName(u"SatFDgre"_s)->AsFloat(), 66.67);
}

// --- organisation and condition ------------------------------------------------------------------

TEST_F(SumSpRptQTest, TheOrganisationListRestrictsUnlessAllOrEmpty)
{
    TfrmSumSpRptQ* f = open();
    refresh(f, u"2025-10-01"_s, u"2026-03-14"_s);
    const QStringList all = shown(f, Key + Numbers);
    QStringList orgs;
    for (const QString& row : all) orgs << row.section(u'\t', 0, 0);
    orgs.removeDuplicates();
    ASSERT_GT(orgs.size(), 2) << orgs.join(u',').toStdString();
    EXPECT_TRUE(orgs.contains(u"0104"_s)); // drawn at 0104, never tried there

    chooseOrg(f, u"0102-二楼护肤品"_s);
    f->actRefresh->trigger();
    const QStringList only = shown(f, Key + Numbers);
    EXPECT_EQ(only, all.filter(QRegularExpression(u"^0102\t"_s)));
    EXPECT_FALSE(only.isEmpty());

    chooseOrg(f, u"<全部>"_s);
    f->actRefresh->trigger();
    EXPECT_EQ(shown(f, Key + Numbers), all);

    f->cmbOrgList->setCurrentIndex(-1); // no text at all
    ASSERT_TRUE(f->cmbOrgList->currentText().isEmpty());
    f->actRefresh->trigger();
    EXPECT_EQ(shown(f, Key + Numbers), all);
    EXPECT_TRUE(prompts->calls.empty()) << prompts->texts().join(u'|').toStdString();
}

TEST_F(SumSpRptQTest, TheSingleShopEditionReportsOnTheOwnShopWhateverTheListShows)
{
    qorSession().version = u"0"_s;
    qorSession().branchNo = u"0101"_s;
    TfrmSumSpRptQ* f = open();
    refresh(f, u"2025-10-01"_s, u"2026-03-14"_s);
    const QStringList all = shown(f, Key + Numbers);
    ASSERT_FALSE(all.filter(QRegularExpression(u"^0102\t"_s)).isEmpty());

    chooseOrg(f, u"0102-二楼护肤品"_s);
    f->actRefresh->trigger();
    const QStringList own = shown(f, Key + Numbers);
    EXPECT_FALSE(own.isEmpty());
    EXPECT_EQ(own, all.filter(QRegularExpression(u"^0101\t"_s)));

    // "<全部>" still means every organisation.
    chooseOrg(f, u"<全部>"_s);
    f->actRefresh->trigger();
    EXPECT_EQ(shown(f, Key + Numbers), all);
}

TEST_F(SumSpRptQTest, AnOrganisationCodeWithAQuoteIsOnlyData)
{
    exec(u"insert into SubShop values ('01''9','引号柜','1','1')"_s);
    exec(u"insert into UserOrg values ('1001','01''9')"_s);
    bill(u"Q1"_s, u"01'9"_s, u"1"_s, u"2030-01-02"_s, u"2030-01-02"_s, {{u"10010001"_s, 4}});
    trial(u"2030-01-03"_s, u"10:00:00"_s, u"01'9"_s, u"10010001"_s, u"0"_s);
    bill(u"Q2"_s, u"0101"_s, u"1"_s, u"2030-01-02"_s, u"2030-01-02"_s, {{u"10010001"_s, 4}});
    TfrmSumSpRptQ* f = open();
    setRange(f, u"2030-01-01"_s, u"2030-01-31"_s);
    chooseOrg(f, u"01'9-引号柜"_s);
    f->actRefresh->trigger();
    EXPECT_TRUE(prompts->calls.empty()) << prompts->texts().join(u'|').toStdString();
    EXPECT_EQ(shown(f, Key + Numbers), QStringList{u"01'9\t10010001\t4.00\t1\t100.00\t0.25"_s});
    EXPECT_FALSE(f->qryAdoHead->sqlText().contains(u"01'9"_s));
}

TEST_F(SumSpRptQTest, AQueryConditionNarrowsTogetherWithTheOrganisation)
{
    january();
    TfrmSumSpRptQ* f = open();
    setRange(f, u"2030-01-01"_s, u"2030-01-31"_s);
    f->QryWhere = u"(IsNull(G.PluCode,'')<>'10010002')"_s; // as the condition builder writes it
    f->LoadData();
    EXPECT_EQ(shown(f, Key), (QStringList{u"0101\t10010001"_s, u"0102\t10010003"_s}));
    chooseOrg(f, u"0101-一楼化妆品"_s);
    f->LoadData();
    EXPECT_EQ(shown(f, Key), QStringList{u"0101\t10010001"_s});
    // The organisation comes before the condition in the text (positional binding).
    const QString sql = f->qryAdoHead->sqlText();
    EXPECT_LT(sql.indexOf(u":OrgCode"_s), sql.indexOf(u"G.PluCode,"_s));
}

// --- failures ---------------------------------------------------------------------------------

TEST_F(SumSpRptQTest, BeginAfterEndWarnsQueriesNothingAndKeepsTheRows)
{
    january();
    TfrmSumSpRptQ* f = open();
    refresh(f, u"2030-01-01"_s, u"2030-01-31"_s);
    const QStringList before = shown(f, Key + Numbers);
    ASSERT_EQ(before.size(), 3);
    const QString sqlBefore = f->qryAdoHead->sqlText();

    chooseOrg(f, u"0101-一楼化妆品"_s);
    refresh(f, u"2030-02-01"_s, u"2030-01-31"_s);
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_EQ(prompts->calls[0].text, u"开始日期不能大于截止日期！"_s);
    EXPECT_EQ(prompts->calls[0].flags & 0xF0, MsgFlags::IconWarning);
    EXPECT_EQ(shown(f, Key + Numbers), before);
    EXPECT_EQ(f->qryAdoHead->sqlText(), sqlBefore); // no statement was composed
    EXPECT_EQ(f->shownBgnDate(), u"2030-01-01"_s);
}

TEST_F(SumSpRptQTest, ADatabaseErrorIsLoggedReportedAndTheRowsStay)
{
    january();
    TfrmSumSpRptQ* f = open();
    refresh(f, u"2030-01-01"_s, u"2030-01-31"_s);
    const QStringList before = shown(f, Key + Numbers);
    ASSERT_EQ(before.size(), 3);
    const QString hint = f->dgrdHead->Hint();

    exec(u"drop table TryOutBK"_s);
    f->actRefresh->trigger();
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_EQ(prompts->calls[0].text, u"数据统计失败！"_s);
    EXPECT_EQ(prompts->calls[0].flags & 0xF0, MsgFlags::IconError);
    EXPECT_EQ(shown(f, Key + Numbers), before);
    EXPECT_EQ(f->pnlRecordcount->text(), u"记录数：3"_s);
    EXPECT_EQ(f->dgrdHead->Hint(), hint);
    EXPECT_TRUE(errLog().contains(u"TryOutBK"_s)) << errLog().toStdString();
    EXPECT_TRUE(f->actPreview->isEnabled());
}

// --- footer, calculated column, chart ----------------------------------------------------------

TEST_F(SumSpRptQTest, FooterSumsFollowTheRowsShown)
{
    january();
    TfrmSumSpRptQ* f = open();
    refresh(f, u"2030-01-01"_s, u"2030-01-31"_s);
    EXPECT_EQ(footer(f, u"LyCount"_s), u"14.00"_s);
    EXPECT_EQ(footer(f, u"TryTimes"_s), u"7"_s);
    EXPECT_EQ(footer(f, u"Price"_s), QString()); // no sum asked for

    f->qryHead->setFilter(u"OrgCode='0101'"_s);
    f->qryHead->setFiltered(true);
    ASSERT_EQ(rowsShown(f), 2);
    EXPECT_EQ(footer(f, u"LyCount"_s), u"14.00"_s);
    EXPECT_EQ(footer(f, u"TryTimes"_s), u"4"_s);

    f->qryHead->setFilter(u"OrgCode='0102'"_s);
    EXPECT_EQ(footer(f, u"LyCount"_s), u"0.00"_s);
    EXPECT_EQ(footer(f, u"TryTimes"_s), u"3"_s);
}

TEST_F(SumSpRptQTest, ACalculatedColumnWrapsTheStatementAndIsComputedPerRow)
{
    january();
    EnsureCalcFieldTable();
    exec(u"insert into tXtQryField (QryCode,DataSet,FldName,FldCaption,FldType,FldSize,FldExpress,FldFormat,IsSum) "
         u"values ('TryOutR','qryHead','PerTry','每次领用金额','F',0,'Price/TryTimes','0.00','1')"_s);
    TfrmSumSpRptQ* f = open();
    ASSERT_NE(f->dgrdHead->Columns()->FindColumnByName(u"R_PerTry"_s), nullptr);
    refresh(f, u"2030-01-01"_s, u"2030-01-31"_s);
    EXPECT_TRUE(prompts->calls.empty()) << prompts->texts().join(u'|').toStdString();
    EXPECT_TRUE(f->FullSql.startsWith(u"Select *  ,("_s)) << f->FullSql.toStdString();
    EXPECT_TRUE(f->qryAdoHead->sqlText().endsWith(u") T  \n order by OrgCode,PluCode"_s));
    // 80 / 4 trials; no trials: the divisor counts as 1.
    EXPECT_EQ(shown(f, Key + QStringList{u"R_PerTry"_s}),
              (QStringList{u"0101\t10010001\t20.00"_s, u"0101\t10010002\t60.00"_s, u"0102\t10010003\t0.00"_s}));
    EXPECT_EQ(footer(f, u"R_PerTry"_s), u"80.00"_s);

    // With the organisation bound inside the wrapped statement.
    chooseOrg(f, u"0102-二楼护肤品"_s);
    f->actRefresh->trigger();
    EXPECT_EQ(shown(f, Key + QStringList{u"R_PerTry"_s}), QStringList{u"0102\t10010003\t0.00"_s});
}

TEST_F(SumSpRptQTest, TheChartShowsTheReportsRows)
{
    january();
    TfrmSumSpRptQ* f = open();
    refresh(f, u"2030-01-01"_s, u"2030-01-31"_s);
    bool seen = false;
    onModal([&](QDialog* d) {
        auto* g = qobject_cast<TfrmGraph*>(d);
        if (!g) return int(QDialog::Rejected);
        seen = true;
        d->show();
        EXPECT_EQ(g->GraphDataSet(), f->qryHead);
        EXPECT_EQ(g->GraphCaption(), u"试用品统计报表"_s);
        EXPECT_TRUE(g->YTitles.contains(u"试用次数"_s)) << g->YTitles.join(u',').toStdString();
        for (QAction* y : g->PMnY->actions())
            if (y->data().toString() == u"TryTimes"_s && !y->isChecked()) y->trigger(); // a click on the entry
        EXPECT_EQ(g->DrawnRowCount(), 3);
        d->close();
        return int(QDialog::Rejected);
    });
    f->actGraph->trigger();
    EXPECT_TRUE(seen);
}

// --- printing ----------------------------------------------------------------------------------

TEST_F(SumSpRptQTest, TheBasicPrintoutCarriesTheRangeOfTheRowsShown)
{
    january();
    TfrmSumSpRptQ* f = open();
    refresh(f, u"2030-01-01"_s, u"2030-01-31"_s);
    QStringList left, centre;
    onModal([&](QDialog* d) {
        if (qobject_cast<QPrintPreviewDialog*>(d)) {
            left = GridPrintComponent()->PageHeader().LeftText;
            centre = GridPrintComponent()->PageHeader().CenterText;
        }
        return int(QDialog::Rejected);
    });
    ASSERT_EQ(f->PrnSerialNo, -1);
    f->actPreview->trigger();
    ASSERT_FALSE(left.isEmpty());
    EXPECT_EQ(left.last(), u"开始日期:2030-01-01  截止日期:2030-01-31"_s);
    EXPECT_EQ(centre, QStringList{u"试用品统计报表"_s});

    // Dates changed after the statistics do not relabel the rows already shown.
    setRange(f, u"2031-06-01"_s, u"2031-06-30"_s);
    left.clear();
    f->actPreview->trigger();
    ASSERT_FALSE(left.isEmpty());
    EXPECT_EQ(left.last(), u"开始日期:2030-01-01  截止日期:2030-01-31"_s);
}

TEST_F(SumSpRptQTest, AStoredFormatPrintsThroughThePrintService)
{
    january();
    TfrmSumSpRptQ* f = open();
    refresh(f, u"2030-01-01"_s, u"2030-01-31"_s);
    // No print service where it is looked for: the format path is the one taken.
    GridBridge::setLibraryFolder(testTempDir());
    bool gridPreview = false;
    onModal([&](QDialog* d) {
        gridPreview = gridPreview || qobject_cast<QPrintPreviewDialog*>(d);
        return int(QDialog::Rejected);
    });
    f->PrnSerialNo = 2;
    f->actPreview->trigger();
    f->actPrint->trigger();
    EXPECT_FALSE(gridPreview);
    EXPECT_EQ(prompts->texts(), (QStringList{u"DLL文件打开失败，请查找！"_s, u"DLL文件打开失败，请查找！"_s}));
}
