// The try-out register list, opened through its entry point and driven as a user would: actions
// triggered, the query dialog and the entry form answered through the modal hook, questions
// answered through the prompter; checked against TryOutBK, the rows shown and the actions.
#include "host/include/PubProcDll.h"
#include "module/EntryPoints.h"
#include "module/ErrLog.h"
#include "module/MISPub.h"
#include "module/ModuleState.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/grid/DBGridEh.h"
#include "platform/text/Gbk.h"
#include "query/QryDialog.h"
#include "tests/support/TestSupport.h"
#include "tryout/TryOutLr.h"
#include "tryout/TryOutMng.h"
#include "chart/Graph.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

std::vector<QString> notices;
void notifyA(int tag) { notices.push_back(u"A:"_s + QString::number(tag)); }
void notifyB(int tag) { notices.push_back(u"B:"_s + QString::number(tag)); }

class TryOutMngTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        notices.clear();
    }
    void TearDown() override
    {
        for (QPointer<TfrmTryOutMng>& f : forms) delete f.data();
        ModuleState::releaseSlot(ModuleState::registerList(), nullptr);
        HostTest::TearDown();
    }

    // Opens a register list through the entry point as user, with the function code the host
    // gives it, and shows it.
    TfrmTryOutMng* open(const QString& user = u"1001"_s, CloseNotifier notifier = nullptr)
    {
        qorSession().userCode = user;
        QWidget* w = frmTryoutMngShow(qApp, notifier);
        auto* f = qobject_cast<TfrmTryOutMng*>(w);
        EXPECT_NE(f, nullptr);
        forms.append(f);
        f->FunCode = u"080101"_s;
        f->show();
        return f;
    }
    void exec(const QString& sql) { db->executeScript(sql); }
    int count(const QString& sql) { return queryRows(*db, sql).value(0).toInt(); }
    int trials() { return count(u"select count(*) from TryOutBK"_s); }

    // The rows shown, in order, as "field\tfield..." of the named fields.
    static QStringList shown(TfrmTryOutMng* f, const QStringList& fields)
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
    static int rowsShown(TfrmTryOutMng* f) { return f->qryHead->Active() ? f->qryHead->RecordCount() : 0; }
    static bool locate(TfrmTryOutMng* f, const QString& date, const QString& time)
    {
        return f->qryHead->Locate(u"BookDate;BookTime"_s, QVariantList{date, time});
    }
    void insertTrial(const QString& date, const QString& time, const QString& org, const QString& good,
                     const QString& result = u"0"_s, const QString& remark = u"原评价"_s)
    {
        exec(u"insert into TryOutBK values ('%1','%2','%3','%4','%5','%6','3002','陈敏','1001','王芳')"_s.arg(
            date, time, org, good, result, remark));
    }
    QString errLog() const
    {
        QFile f(QDir(ErrLogFolder()).filePath(u"SysErr.Log"_s));
        return f.open(QIODevice::ReadOnly) ? Gbk::decode(f.readAll()) : QString();
    }
    // Runs the dialog a form opens modally through script; the answer is the dialog's result.
    void onModal(const std::function<int(QDialog*)>& script)
    {
        setModalHook([this, script](QDialog* d) {
            ++modals;
            return script(d);
        });
    }
    static bool showActive(QDialog* d)
    {
        d->show();
        d->activateWindow();
        return QTest::qWaitForWindowActive(d);
    }

    QList<QPointer<TfrmTryOutMng>> forms;
    int modals = 0;
};

const QStringList OrderFields = {u"BookDate"_s, u"BookTime"_s};

} // namespace

// --- showing and loading ---------------------------------------------------------------------

TEST_F(TryOutMngTest, AFreshListIsEmptyWithOutputAndRecordActionsDisabled)
{
    TfrmTryOutMng* f = open();
    EXPECT_EQ(f->windowTitle(), u"试用品试用"_s);
    EXPECT_EQ(f->FormKey, u"TryOut"_s);
    EXPECT_EQ(rowsShown(f), 0);
    EXPECT_EQ(f->pnlRecordcount->text(), u"记录数：0"_s);
    for (QAction* a : {f->actEdit, f->actDelete, f->actPreview, f->actPrint, f->actFind, f->actGraph,
                       f->actConvertToExcel, f->actConvertToText, f->actConvertToHtml, f->actPrnFmtDesign})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    for (QAction* a : {f->actAdd, f->actQuery, f->actRefresh, f->actColumn, f->actFilt, f->ActSetCalc})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(f->actSave->isVisible());
    EXPECT_FALSE(f->actCancel->isVisible());
    // The clerk caption in the advisor titles; Result has no column of its own.
    EXPECT_EQ(f->dgrdHead->Columns()->FindColumnByName(u"ZdrCode"_s)->Title()->Caption(), u"美容顾问|编码"_s);
    EXPECT_EQ(f->dgrdHead->Columns()->FindColumnByName(u"ZdrName"_s)->Title()->Caption(), u"美容顾问|名称"_s);
    EXPECT_EQ(f->dgrdHead->Columns()->FindColumnByName(u"Result"_s), nullptr);
    EXPECT_EQ(f->dgrdHead->Columns()->FindColumnByName(u"ResultD"_s)->Width(), 68);
    EXPECT_EQ(f->dgrdHead->Columns()->Count(), 14);
}

TEST_F(TryOutMngTest, RefreshListsEveryTrialByDateThenTimeAlsoWithoutMasterData)
{
    // A good and an organisation missing from the master tables; a row early in the day.
    insertTrial(u"2026-03-15"_s, u"09:00:00"_s, u"9999"_s, u"99999999"_s);
    insertTrial(u"2025-10-01"_s, u"00:00:01"_s, u"0101"_s, u"10010001"_s);
    TfrmTryOutMng* f = open();
    f->actRefresh->trigger();
    EXPECT_TRUE(prompts->calls.empty()) << prompts->texts().join(u'|').toStdString();
    const int all = trials();
    ASSERT_EQ(rowsShown(f), all);
    EXPECT_EQ(f->pnlRecordcount->text(), u"记录数："_s + QString::number(all));
    const QStringList order = shown(f, OrderFields);
    QStringList sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(order, sorted);
    EXPECT_EQ(order.first(), u"2025-10-01\t00:00:01"_s);
    EXPECT_EQ(shown(f, {u"OrgCode"_s, u"OrgName"_s, u"PluCode"_s, u"PluName"_s, u"BarCode"_s}).last(),
              u"9999\t\t99999999\t\t"_s);
    // Names come from the master tables.
    EXPECT_EQ(shown(f, {u"OrgCode"_s, u"OrgName"_s, u"PluCode"_s, u"PluName"_s}).first(),
              u"0101\t一楼化妆品\t10010001\t"_s + queryRows(*db, u"select PluName from Goods where PluCode='10010001'"_s).value(0));
    EXPECT_EQ(f->dgrdHead->Hint(), u"<全部>"_s);
    for (QAction* a : {f->actEdit, f->actDelete, f->actPreview, f->actPrint, f->actFind, f->actConvertToExcel,
                       f->actConvertToText, f->actConvertToHtml})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
}

TEST_F(TryOutMngTest, TheResultIsShownAsItsText)
{
    exec(u"delete from TryOutBK"_s);
    insertTrial(u"2026-03-01"_s, u"09:00:00"_s, u"0101"_s, u"10010001"_s, u"0"_s);
    insertTrial(u"2026-03-01"_s, u"09:00:01"_s, u"0101"_s, u"10010001"_s, u"1"_s);
    insertTrial(u"2026-03-01"_s, u"09:00:02"_s, u"0101"_s, u"10010001"_s, QString());
    insertTrial(u"2026-03-01"_s, u"09:00:03"_s, u"0101"_s, u"10010001"_s, u"x"_s);
    exec(u"insert into TryOutBK values ('2026-03-01','09:00:04','0101','10010001',NULL,'','3002','陈敏','1001','王芳')"_s);
    TfrmTryOutMng* f = open();
    f->actRefresh->trigger();
    EXPECT_EQ(shown(f, {u"ResultD"_s}),
              (QStringList{u"0-满意"_s, u"1-不满意"_s, u"1-不满意"_s, u"1-不满意"_s, u"1-不满意"_s}));
}

TEST_F(TryOutMngTest, QueryDialogConditionNarrowsTheListAndACancelKeepsIt)
{
    TfrmTryOutMng* f = open();
    onModal([](QDialog* d) {
        auto* q = qobject_cast<TfrmQry*>(d);
        if (!q) return int(QDialog::Rejected);
        q->show();
        const int i = q->cmbQrySave->findText(u"2_一楼三月"_s);
        q->cmbQrySave->setCurrentIndex(i);
        Q_EMIT q->cmbQrySave->activated(i);
        q->btnOK->click();
        return q->result();
    });
    f->actQuery->trigger();
    EXPECT_EQ(modals, 1);
    const QString where = f->QryWhere;
    EXPECT_EQ(where, u" ((IsNull(T.OrgCode,'')='0101') And (IsNull(T.BookDate,'')>='2026-03-01'))"_s);
    EXPECT_TRUE(f->qryAdoHead->SQL.contains(u" where  "_s + where));
    EXPECT_EQ(f->qryAdoHead->SQL.last(), u" order by BookDate,BookTime "_s);
    const int expected = count(u"select count(*) from TryOutBK where OrgCode='0101' and BookDate>='2026-03-01'"_s);
    ASSERT_GT(expected, 0);
    EXPECT_EQ(rowsShown(f), expected);
    for (const QString& row : shown(f, {u"OrgCode"_s, u"BookDate"_s}))
        EXPECT_TRUE(row.startsWith(u"0101\t2026-03"_s)) << row.toStdString();
    EXPECT_EQ(f->dgrdHead->Hint(), f->QryDesc);
    EXPECT_FALSE(f->QryDesc.isEmpty());

    // Cancelled: condition, description and rows stay.
    const QString desc = f->QryDesc;
    onModal([](QDialog* d) {
        auto* q = qobject_cast<TfrmQry*>(d);
        q->show();
        q->btnCancel->click();
        return q->result();
    });
    exec(u"delete from TryOutBK"_s);
    f->actQuery->trigger();
    EXPECT_EQ(modals, 2);
    EXPECT_EQ(f->QryWhere, where);
    EXPECT_EQ(f->QryDesc, desc);
    EXPECT_EQ(rowsShown(f), expected);
    // Refresh keeps the condition.
    f->actRefresh->trigger();
    EXPECT_EQ(f->QryWhere, where);
    EXPECT_EQ(rowsShown(f), 0);
    EXPECT_EQ(f->pnlRecordcount->text(), u"记录数：0"_s);
    EXPECT_FALSE(f->actEdit->isEnabled());
    EXPECT_FALSE(f->actPrint->isEnabled());
}

TEST_F(TryOutMngTest, AFailedLoadKeepsConditionHintAndRowsAndSaysSo)
{
    TfrmTryOutMng* f = open();
    f->actRefresh->trigger();
    const int all = rowsShown(f);
    ASSERT_GT(all, 0);
    exec(u"drop table Goods"_s);
    onModal([](QDialog* d) {
        auto* q = qobject_cast<TfrmQry*>(d);
        q->show();
        const int i = q->cmbQrySave->findText(u"1_满意的试用"_s);
        q->cmbQrySave->setCurrentIndex(i);
        Q_EMIT q->cmbQrySave->activated(i);
        q->btnOK->click();
        return q->result();
    });
    f->actQuery->trigger();
    EXPECT_EQ(prompts->texts(), QStringList{u"数据读取失败！"_s});
    EXPECT_EQ(prompts->calls.back().flags & 0xF0, MsgFlags::IconError);
    EXPECT_TRUE(f->QryWhere.isEmpty());
    EXPECT_TRUE(f->QryDesc.isEmpty());
    EXPECT_EQ(f->dgrdHead->Hint(), u"<全部>"_s);
    EXPECT_EQ(rowsShown(f), all);
    EXPECT_EQ(f->pnlRecordcount->text(), u"记录数："_s + QString::number(all));
    EXPECT_TRUE(errLog().contains(u"Goods"_s, Qt::CaseInsensitive)) << errLog().toStdString();
}

// --- add, edit, delete -------------------------------------------------------------------------

TEST_F(TryOutMngTest, AddRegistersThroughTheEntryFormAndReloadsTheList)
{
    TfrmTryOutMng* f = open();
    f->actRefresh->trigger();
    const int before = rowsShown(f);
    onModal([](QDialog* d) {
        auto* e = qobject_cast<TfrmTryOutLr*>(d);
        if (!e || !showActive(e) || e->EditMode) return int(QDialog::Rejected);
        enterAndLeave(e->edtGrpCode, u"0101"_s);
        enterAndLeave(e->edtBeautyCode, u"3001"_s);
        enterAndLeave(e->edtGoodsCode, u"10010001"_s);
        e->edtRemark->setText(u"很好用"_s);
        e->btnConfirm->click();
        e->btnClose->click();
        return e->result();
    });
    f->actAdd->trigger();
    EXPECT_EQ(modals, 1);
    EXPECT_TRUE(prompts->calls.empty()) << prompts->texts().join(u'|').toStdString();
    EXPECT_EQ(queryRows(*db, u"select OrgCode,PluCode,ZdrCode,Remark,BookTime from TryOutBK where BookDate='2026-03-15'"_s),
              QStringList{u"0101\t10010001\t3001\t很好用\t10:30:00"_s});
    EXPECT_EQ(rowsShown(f), before + 1);
    EXPECT_EQ(shown(f, {u"BookDate"_s, u"PluCode"_s, u"Remark"_s}).last(), u"2026-03-15\t10010001\t很好用"_s);
}

TEST_F(TryOutMngTest, EditFillsTheEntryFormFromTheCurrentRecordAndSavesIt)
{
    insertTrial(u"2026-03-14"_s, u"21:00:00"_s, u"0101"_s, u"10010001"_s, u"1"_s, u"原评价"_s);
    TfrmTryOutMng* f = open();
    f->actRefresh->trigger();
    ASSERT_TRUE(locate(f, u"2026-03-14"_s, u"21:00:00"_s));
    QStringList filled;
    onModal([&filled](QDialog* d) {
        auto* e = qobject_cast<TfrmTryOutLr*>(d);
        if (!e || !showActive(e)) return int(QDialog::Rejected);
        filled << (e->EditMode ? u"edit"_s : u"add"_s) << e->edtGrpCode->text() << e->edtGrpName->text()
               << e->edtBeautyCode->text() << e->edtBeauty->text() << e->edtGoodsCode->text()
               << e->edtGoodsName->text() << e->edtRemark->text() << e->cmbResult->currentText()
               << e->BookDate + u' ' + e->BookTime;
        e->edtRemark->setText(u"改过"_s);
        e->cmbResult->setCurrentIndex(0);
        e->btnConfirm->click();
        return e->result();
    });
    f->actEdit->trigger();
    const QString goodName = queryRows(*db, u"select PluName from Goods where PluCode='10010001'"_s).value(0);
    EXPECT_EQ(filled, (QStringList{u"edit"_s, u"0101"_s, u"一楼化妆品"_s, u"3002"_s, u"陈敏"_s, u"10010001"_s, goodName,
                                   u"原评价"_s, u"1-不满意"_s, u"2026-03-14 21:00:00"_s}));
    EXPECT_TRUE(prompts->calls.empty()) << prompts->texts().join(u'|').toStdString();
    EXPECT_EQ(queryRows(*db, u"select Result,Remark from TryOutBK where BookDate='2026-03-14' and BookTime='21:00:00'"_s),
              QStringList{u"0\t改过"_s});
    ASSERT_TRUE(locate(f, u"2026-03-14"_s, u"21:00:00"_s));
    EXPECT_EQ(f->qryHead->FieldByName(u"Remark"_s)->AsString(), u"改过"_s);
    EXPECT_EQ(f->qryHead->FieldByName(u"ResultD"_s)->AsString(), u"0-满意"_s);
}

TEST_F(TryOutMngTest, DeleteAsksFirstAndRemovesExactlyTheCurrentTrial)
{
    insertTrial(u"2026-03-14"_s, u"21:00:00"_s, u"0101"_s, u"10010001"_s);
    insertTrial(u"2026-03-14"_s, u"21:00:00"_s, u"0101"_s, u"10010002"_s);
    TfrmTryOutMng* f = open();
    f->actRefresh->trigger();
    const int all = trials();
    ASSERT_TRUE(f->qryHead->Locate(u"BookDate;BookTime;PluCode"_s,
                                   QVariantList{u"2026-03-14"_s, u"21:00:00"_s, u"10010001"_s}));

    // Declined: nothing changes.
    prompts->pushButton(MsgResult::No);
    f->actDelete->trigger();
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_EQ(prompts->calls[0].text, u"确定要删除此次试用登记记录吗？"_s);
    EXPECT_TRUE(prompts->calls[0].flags & MsgFlags::DefButton2) << "No is the default";
    EXPECT_EQ(trials(), all);
    EXPECT_EQ(rowsShown(f), all);

    prompts->pushButton(MsgResult::Yes);
    f->actDelete->trigger();
    EXPECT_EQ(prompts->calls.size(), 2u);
    EXPECT_EQ(trials(), all - 1);
    EXPECT_EQ(count(u"select count(*) from TryOutBK where BookDate='2026-03-14' and BookTime='21:00:00' and PluCode='10010002'"_s), 1);
    EXPECT_EQ(rowsShown(f), all - 1);

    // Deleted at another station meanwhile: no error, the list shows it is gone.
    ASSERT_TRUE(f->qryHead->Locate(u"BookDate;BookTime;PluCode"_s,
                                   QVariantList{u"2026-03-14"_s, u"21:00:00"_s, u"10010002"_s}));
    exec(u"delete from TryOutBK where BookDate='2026-03-14' and BookTime='21:00:00'"_s);
    prompts->pushButton(MsgResult::Yes);
    f->actDelete->trigger();
    EXPECT_EQ(prompts->calls.size(), 3u);
    EXPECT_EQ(rowsShown(f), all - 2);
}

TEST_F(TryOutMngTest, ADeleteThatWouldRemoveSeveralRowsIsRolledBack)
{
    // A suite table without the unique key: two identical trials.
    exec(u"create table TryOutOld as select * from TryOutBK; drop table TryOutBK;"
         " create table TryOutBK as select * from TryOutOld; drop table TryOutOld"_s);
    insertTrial(u"2026-03-14"_s, u"21:00:00"_s, u"0101"_s, u"10010001"_s);
    insertTrial(u"2026-03-14"_s, u"21:00:00"_s, u"0101"_s, u"10010001"_s);
    TfrmTryOutMng* f = open();
    f->actRefresh->trigger();
    const int all = trials();
    ASSERT_TRUE(locate(f, u"2026-03-14"_s, u"21:00:00"_s));
    prompts->pushButton(MsgResult::Yes);
    f->actDelete->trigger();
    EXPECT_EQ(prompts->texts(), (QStringList{u"确定要删除此次试用登记记录吗？"_s, u"删除试用记录失败！"_s}));
    EXPECT_EQ(trials(), all);
    EXPECT_EQ(rowsShown(f), all);
    EXPECT_FALSE(errLog().isEmpty());
}

// --- rights -------------------------------------------------------------------------------------

TEST_F(TryOutMngTest, RightsDecideTheActions)
{
    struct Case {
        QString user;
        bool add, edit, del, query, print, exports;
    };
    // 1002 may only query; 1003 may add and edit but neither delete, query, print nor export.
    for (const Case& c : {Case{u"1001"_s, true, true, true, true, true, true},
                          Case{u"1002"_s, false, false, false, true, false, false},
                          Case{u"1003"_s, true, true, false, false, false, false}}) {
        SCOPED_TRACE(c.user.toStdString());
        TfrmTryOutMng* f = open(c.user);
        EXPECT_EQ(f->RightQuery, c.query);
        EXPECT_EQ(f->actQuery->isEnabled(), c.query);
        EXPECT_EQ(f->actRefresh->isEnabled(), c.query);
        EXPECT_EQ(f->actAdd->isEnabled(), c.add);
        f->LoadData(); // as the entry form does after a save
        ASSERT_GT(rowsShown(f), 0);
        EXPECT_EQ(f->actEdit->isEnabled(), c.edit);
        EXPECT_EQ(f->actDelete->isEnabled(), c.del);
        EXPECT_EQ(f->actPrint->isEnabled(), c.print);
        EXPECT_EQ(f->actPreview->isEnabled(), c.print);
        EXPECT_EQ(f->actConvertToExcel->isEnabled(), c.exports);
        EXPECT_EQ(f->actConvertToText->isEnabled(), c.exports);
        EXPECT_EQ(f->actConvertToHtml->isEnabled(), c.exports);
        EXPECT_TRUE(f->actFind->isEnabled());
        f->close();
    }
}

TEST_F(TryOutMngTest, ADoubleClickEditsOnlyForAUserWhoMayEdit)
{
    onModal([](QDialog* d) {
        auto* e = qobject_cast<TfrmTryOutLr*>(d);
        return e && e->EditMode ? int(QDialog::Rejected) : -1;
    });
    for (const QString& user : {u"1002"_s, u"1001"_s}) {
        TfrmTryOutMng* f = open(user);
        f->LoadData();
        f->resize(900, 500);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
        TDBGridEh* g = f->dgrdHead;
        const QRect cell = g->visualRect(g->model()->index(0, 0));
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        EXPECT_EQ(modals, user == u"1001"_s ? 1 : 0) << user.toStdString();
        f->close();
    }
}

// --- several lists, close notifiers ---------------------------------------------------------------

TEST_F(TryOutMngTest, TwoListsAtOnceEachNotifiesItsOwnCloseAndGetsItsOwnReload)
{
    TfrmTryOutMng* a = open(u"1001"_s, notifyA);
    EXPECT_EQ(ModuleState::registerList().form, a);
    TfrmTryOutMng* b = open(u"1001"_s, notifyB);
    EXPECT_EQ(ModuleState::registerList().form, b);
    EXPECT_NE(a, b);
    b->Tag = 7;
    a->actRefresh->trigger();
    b->actRefresh->trigger();
    const int all = rowsShown(a);

    // A trial added from the first list reloads the first one only.
    onModal([](QDialog* d) {
        auto* e = qobject_cast<TfrmTryOutLr*>(d);
        if (!e || !showActive(e)) return int(QDialog::Rejected);
        enterAndLeave(e->edtGrpCode, u"0101"_s);
        enterAndLeave(e->edtBeautyCode, u"3001"_s);
        enterAndLeave(e->edtGoodsCode, u"10010002"_s);
        e->btnConfirm->click();
        e->btnClose->click();
        return e->result();
    });
    a->actAdd->trigger();
    EXPECT_EQ(rowsShown(a), all + 1);
    EXPECT_EQ(rowsShown(b), all);

    a->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(forms[0].isNull()) << "a closed list frees itself";
    EXPECT_EQ(notices, std::vector<QString>{u"A:1"_s});
    EXPECT_EQ(ModuleState::registerList().form, b) << "the slot still names the second list";
    EXPECT_EQ(ModuleState::registerList().notifier, &notifyB);

    // The second list still works and notifies with its own Tag.
    b->actRefresh->trigger();
    EXPECT_EQ(rowsShown(b), all + 1);
    b->close();
    EXPECT_EQ(notices, (std::vector<QString>{u"A:1"_s, u"B:7"_s}));
    EXPECT_TRUE(ModuleState::registerList().form.isNull());
    EXPECT_EQ(ModuleState::registerList().notifier, nullptr);

    // Without a notifier the list closes and frees itself all the same.
    TfrmTryOutMng* c = open();
    c->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(forms.last().isNull());
    EXPECT_EQ(notices.size(), 2u);
}

TEST_F(TryOutMngTest, TheSummaryReportEntryLeavesTheRegisterListsSlotAlone)
{
    TfrmTryOutMng* a = open(u"1001"_s, notifyA);
    QPointer<QWidget> report = frmSpRptShow(qApp, notifyB);
    EXPECT_EQ(ModuleState::registerList().form, a);
    EXPECT_EQ(ModuleState::registerList().notifier, &notifyA);
    delete report.data();
    a->close();
    EXPECT_EQ(notices, std::vector<QString>{u"A:1"_s});
    EXPECT_TRUE(ModuleState::registerList().form.isNull());
}

// --- framework actions ----------------------------------------------------------------------------

TEST_F(TryOutMngTest, ExportsProposeTheCaptionAndWriteTheRowsShown)
{
    TfrmTryOutMng* f = open();
    f->actRefresh->trigger();
    const QString dir = testTempDir();
    struct Kind {
        QAction* action;
        QString proposed;
        QString file;
    };
    for (const Kind& k : {Kind{f->actConvertToText, u"试用品试用.txt"_s, u"list.txt"_s},
                          Kind{f->actConvertToHtml, u"试用品试用.htm"_s, u"list.htm"_s},
                          Kind{f->actConvertToExcel, u"试用品试用.xlsx"_s, u"list.xlsx"_s}}) {
        prompts->calls.clear();
        prompts->pushText(dir + u'/' + k.file);
        k.action->trigger();
        ASSERT_GE(prompts->calls.size(), 1u) << k.proposed.toStdString();
        EXPECT_EQ(prompts->calls[0].kind, PromptKind::SaveFile);
        EXPECT_EQ(prompts->calls[0].preset, k.proposed);
        EXPECT_GT(QFileInfo(dir + u'/' + k.file).size(), 1000) << k.file.toStdString();
    }
    QFile text(dir + u"/list.txt"_s);
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    const QByteArray content = text.readAll();
    EXPECT_TRUE(content.contains(Gbk::encode(u"一楼化妆品"_s)) || content.contains(u"一楼化妆品"_s.toUtf8()));
}

TEST_F(TryOutMngTest, ColumnSetUpUsesThePlainFormKeyAndNothingIsStoredAtShowOrClose)
{
    TfrmTryOutMng* f = open();
    f->actRefresh->trigger();
    f->close();
    EXPECT_EQ(count(u"select count(*) from tXtGridColumn"_s), 0);

    TfrmTryOutMng* g = open();
    onModal([](QDialog* d) {
        auto* ok = d->findChild<QPushButton*>(u"btnOK"_s);
        if (!ok) return int(QDialog::Rejected);
        d->show();
        ok->click();
        return d->result();
    });
    g->actColumn->trigger();
    EXPECT_EQ(modals, 1);
    EXPECT_GT(count(u"select count(*) from tXtGridColumn where LayoutKey='TryOut' and UserCode='1001'"_s), 0);
    EXPECT_EQ(count(u"select count(*) from tXtGridColumn where LayoutKey<>'TryOut'"_s), 0);
}

TEST_F(TryOutMngTest, TheChartActionOpensTheChartOfTheRowsShown)
{
    TfrmTryOutMng* f = open();
    f->actRefresh->trigger();
    ASSERT_GT(rowsShown(f), 0);
    ASSERT_TRUE(f->actGraph->isEnabled());
    bool seen = false;
    onModal([&](QDialog* d) {
        auto* g = qobject_cast<TfrmGraph*>(d);
        if (!g) return int(QDialog::Rejected);
        seen = true;
        EXPECT_EQ(g->GraphDataSet(), f->qryHead);
        EXPECT_EQ(g->GraphCaption(), u"试用品试用"_s);
        return int(QDialog::Rejected);
    });
    f->actGraph->trigger();
    EXPECT_EQ(modals, 1);
    EXPECT_TRUE(seen);
}
