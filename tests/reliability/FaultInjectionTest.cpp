// Every main flow run with each of its statements failing in turn, as the provider fails (a
// lost connection, a full disk): no crash, the error reaches the user, and the database holds
// exactly what it held before the flow or what the flow writes when nothing fails.
#include "calc/CalcEngine.h"
#include "calc/SetCalcFld.h"
#include "chart/Graph.h"
#include "framework/GridBridge.h"
#include "framework/PrintFmtRules.h"
#include "module/ErrLog.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Guard.h"
#include "print/PrintFmt.h"
#include "print/PrintRight.h"
#include "query/PubQuery.h"
#include "query/QryDialog.h"
#include "query/UQryShow.h"
#include "tests/reliability/PristineTables.h"
#include "tests/support/TestSupport.h"
#include "tryout/TryOutLr.h"
#include "tryout/TryOutMng.h"
#include "tryout/TryOutRefresh.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

class FakeList : public QWidget, public TTryOutRefresh {
public:
    void LoadData() override {}
};

class FaultInjectionTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        rememberPristine();
    }

    // What restore() puts back: the database as it is now.
    void rememberPristine() { pristine.remember(*db); }
    // Every row of every table, sorted per table.
    QStringList snapshot() const { return pristine.snapshot(*db); }
    // Puts every table back as it was when the test began.
    void restore() const { pristine.restore(*db); }
    PristineTables pristine;

    // How a failed flow tells its user: a message box the flow does not show when it succeeds,
    // or, for a flow whose failure the user need not act on, a record in the error log.
    enum class Told { ByMessage, ByMessageOrLog };

    // Runs the flow once to learn its statements and its result, then once per statement with
    // that statement failing. prepare (not counted) brings the forms to where the flow starts.
    void everyStatementFails(const char* name, const std::function<void()>& flow,
                             const std::function<void()>& prepare = {}, Told told = Told::ByMessage)
    {
        SCOPED_TRACE(name);
        const QStringList before = snapshot();
        freshPrompter();
        if (prepare) prepare();
        const int start = db->statementCount();
        flow();
        const int statements = db->statementCount() - start;
        const QStringList said = prompts->texts();
        const QStringList after = snapshot();
        ASSERT_GT(statements, 0);
        ASSERT_NE(before, after) << "the flow wrote nothing";
        int failed = 0;
        for (int n = 1; n <= statements; ++n) {
            SCOPED_TRACE(QString(u"statement %1 of %2"_s.arg(n).arg(statements)).toStdString());
            restore();
            freshPrompter();
            if (prepare) prepare();
            const qint64 logged = errLogSize();
            db->failStatementAt(n);
            flow();
            db->failStatementAt(0);
            EXPECT_FALSE(db->InTransaction()) << "a transaction was left open";
            const QStringList now = snapshot();
            EXPECT_TRUE(now == before || now == after) << "half-written:\n"
                << now.join(u'\n').toStdString();
            if (now == before) {
                ++failed;
                // Refused or failed: the user is told (what a successful run says does not count).
                bool reported = false;
                for (const QString& t : prompts->texts()) reported = reported || !said.contains(t);
                if (told == Told::ByMessageOrLog) reported = reported || errLogSize() > logged;
                EXPECT_TRUE(reported) << "a failure went unreported: " << prompts->texts().join(u" / "_s).toStdString();
            }
        }
        // The last statement of a flow that writes is one of its writes (or the commit).
        EXPECT_GT(failed, 0) << statements << " statements, none of which could fail the flow";
        restore();
    }

    // A prompter with no answers queued and no calls recorded.
    void freshPrompter()
    {
        prompts.reset();
        prompts = std::make_unique<ScriptedPrompter>();
    }
    static qint64 errLogSize() { return QFileInfo(QDir(ErrLogFolder()).filePath(u"SysErr.Log"_s)).size(); }
};

TEST_F(FaultInjectionTest, RegisteringATrial)
{
    FakeList list;
    everyStatementFails("register add", [&] {
        QPointer<TfrmTryOutLr> form = TfrmBase::create<TfrmTryOutLr>(nullptr);
        form->setOpener(&list);
        form->show();
        enterAndLeave(form->edtGrpCode, u"0101"_s);
        enterAndLeave(form->edtBeautyCode, u"3001"_s);
        enterAndLeave(form->edtGoodsCode, u"10010001"_s);
        form->edtRemark->setText(u"试用很好"_s);
        QTest::mouseClick(form->btnConfirm, Qt::LeftButton);
        delete form.data();
    });
}

TEST_F(FaultInjectionTest, EditingATrial)
{
    db->executeScript(u"insert into TryOutBK values ('2026-03-15','09:00:00','0101','10010001','0','原评价',"
                      "'3001','刘静','1001','王芳')"_s);
    rememberPristine();
    FakeList list;
    const TTryOutRecord record{u"2026-03-15"_s, u"09:00:00"_s, u"0101"_s, {}, u"3001"_s, u"刘静"_s,
                               u"10010001"_s, {}, u"原评价"_s, u"0-满意"_s};
    everyStatementFails("register edit", [&] {
        QPointer<TfrmTryOutLr> form = TfrmBase::create<TfrmTryOutLr>(nullptr);
        form->EditMode = true;
        form->SetRecord(record);
        form->setOpener(&list);
        form->show();
        form->edtRemark->setText(u"改过的评价"_s);
        QTest::mouseClick(form->btnConfirm, Qt::LeftButton);
        delete form.data();
    });
}

TEST_F(FaultInjectionTest, DefaultFormatChoice)
{
    everyStatementFails("default format", [&] {
        guard([&] { StorePrnDefault(db.get(), u"TryOut"_s, 1, u"1001"_s, u"WS01"_s); });
    });
}

TEST_F(FaultInjectionTest, PrintFormatAddEditAndDelete)
{
    PrnFmtSave s;
    s.prnCode = u"TryOut"_s;
    s.adding = true;
    s.serialText = u"77"_s;
    s.name = u"故障格式"_s;
    s.remark = u"备注"_s;
    s.ver = u"0"_s;
    s.userCode = u"1001"_s;
    everyStatementFails("format add", [&] { guard([&] { SavePrnFormat(db.get(), s); }); });
    ASSERT_EQ(SavePrnFormat(db.get(), s), PrnFmtProblem::None);
    rememberPristine();
    PrnFmtSave e = s;
    e.adding = false;
    e.currentSerial = 77;
    e.name = u"改名格式"_s;
    everyStatementFails("format edit", [&] { guard([&] { SavePrnFormat(db.get(), e); }); });
    everyStatementFails("format delete", [&] { guard([&] { DeletePrnFormat(db.get(), u"TryOut"_s, 77); }); });
}

TEST_F(FaultInjectionTest, ChartSettingsSave)
{
    TGraphSettings st;
    st.XField = u"OrgName"_s;
    st.YFields = {u"TryTimes"_s};
    st.Title = u"试用次数"_s;
    everyStatementFails("chart settings save", [&] {
        guard([&] { GraphSettings::writeDatabaseCopy(db.get(), u"TryOut"_s, st.toIni()); });
    });
}

TEST_F(FaultInjectionTest, ColumnLayoutSave)
{
    TClientDataSet ds;
    ds.addField(u"PluCode"_s, ftString, 20);
    ds.addField(u"PluName"_s, ftString, 20);
    ds.CreateDataSet();
    TDataSource src;
    src.setDataSet(&ds);
    TDBGridEh grid;
    grid.setDataSource(&src);
    everyStatementFails("column layout save", [&] {
        SaveCurrentLayout(1, db.get(), &grid, u"TryOutQH"_s, u"1001"_s);
    });
}

TEST_F(FaultInjectionTest, DeletingATrialFromTheRegisterList)
{
    db->executeScript(u"insert into TryOutBK values ('2026-03-14','21:00:00','0101','10010001','0','待删',"
                      "'3001','刘静','1001','王芳')"_s);
    rememberPristine();
    QPointer<TfrmTryOutMng> list;
    everyStatementFails(
        "register delete",
        [&] {
            prompts->pushButton(MsgResult::Yes);
            list->actDelete->trigger();
            delete list.data();
        },
        [&] {
            list = TfrmBase::create<TfrmTryOutMng>(nullptr);
            list->FunCode = u"080101"_s;
            list->show();
            list->actRefresh->trigger();
            ASSERT_TRUE(list->qryHead->Locate(u"BookDate;BookTime;PluCode"_s,
                                              QVariantList{u"2026-03-14"_s, u"21:00:00"_s, u"10010001"_s}))
                << list->qryHead->RecordCount() << " rows shown";
            ASSERT_TRUE(list->actDelete->isEnabled());
        });
}

// The query dialog as ShowQryDialog opens it, with the saved conditions of the register list.
class QueryFaults : public FaultInjectionTest {
protected:
    void open()
    {
        dlg = TfrmBase::create<TfrmQry>(nullptr);
        CurQryType = u"TryOut"_s;
        dlg->QryType = u"TryOut"_s;
        LoadQryFields(u"TryOut"_s, dlg->Catalog);
        dlg->show();
    }
    void add(const QString& field, const QString& op, const QString& value)
    {
        const auto found = dlg->lstQuery->findItems(field, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << field.toStdString();
        dlg->lstQuery->setCurrentItem(found.first());
        dlg->btnAdd->click();
        TClientDataSet* t = dlg->qryTemp;
        t->Last();
        t->Edit();
        t->FieldByName(u"FldOp"_s)->setAsString(op);
        t->FieldByName(u"FldValue"_s)->setAsString(value);
        t->FieldByName(u"FldJoin"_s)->setAsString(u"并且"_s);
        t->Post();
    }
    void choose(const QString& item)
    {
        const int i = dlg->cmbQrySave->findText(item);
        ASSERT_GE(i, 0) << item.toStdString();
        dlg->cmbQrySave->setCurrentIndex(i);
        Q_EMIT dlg->cmbQrySave->activated(i);
    }
    void click(QPushButton* b)
    {
        b->click();
        delete dlg.data();
    }
    QPointer<TfrmQry> dlg;
};

TEST_F(QueryFaults, SaveSaveOverSaveAsAndDelete)
{
    everyStatementFails(
        "query save", [&] { prompts->pushText(u"新条件"_s); click(dlg->btnSave); },
        [&] {
            open();
            add(u"试用结果"_s, u"="_s, u"满意"_s);
            add(u"试用品名称"_s, u"含有"_s, u"霜"_s);
        });
    everyStatementFails("query save over the selected one", [&] { click(dlg->btnSave); },
                        [&] {
                            open();
                            choose(u"2_一楼三月"_s);
                            add(u"条码"_s, u"左边含有"_s, u"69"_s);
                        });
    everyStatementFails(
        "query save as", [&] { prompts->pushText(u"一楼三月副本"_s); click(dlg->btnSaveAs); },
        [&] {
            open();
            choose(u"2_一楼三月"_s);
        });
    everyStatementFails(
        "query delete", [&] { prompts->pushButton(MsgResult::Yes); click(dlg->btnDelete); },
        [&] {
            open();
            choose(u"2_一楼三月"_s);
        });
}

TEST_F(FaultInjectionTest, RememberedConditionOfTheConditionFrame)
{
    QWidget window;
    auto* lay = new QVBoxLayout(&window);
    auto* frame = new TframeQryShow(&window);
    lay->addWidget(frame);
    window.show();
    frame->SetQryType(u"TryOut"_s);
    const auto condition = [&](const QString& item, const QString& op, const QString& value) {
        return [=] {
            frame->LoadQryItems();
            frame->cmbItem->setEditText(item);
            frame->cmbOperator->setCurrentIndex(frame->cmbOperator->findText(op));
            frame->cmbValue->setEditText(value);
        };
    };
    QString where, desc;
    const auto refresh = [&] { guard([&] { frame->GetQryCondition(where, desc); }); };
    // Remembering is a convenience whose failure is only logged: the condition still runs.
    everyStatementFails("a new remembered condition", refresh, condition(u"试用品名称"_s, u"含有"_s, u"霜"_s),
                        Told::ByMessageOrLog);
    condition(u"试用品名称"_s, u"含有"_s, u"霜"_s)();
    refresh();
    ASSERT_EQ(queryRows(*db, u"select count(*) from tXtQrySave where QryName='试用品名称含有'"_s), QStringList{u"1"_s});
    rememberPristine();
    everyStatementFails("a remembered condition's new value", refresh,
                        condition(u"试用品名称含有"_s, u"含有"_s, u"乳"_s), Told::ByMessageOrLog);
    everyStatementFails("a remembered condition's other operator", refresh,
                        condition(u"试用品名称含有"_s, u"左边含有"_s, u"乳"_s), Told::ByMessageOrLog);
}

// The calculated-field editor over a small head dataset of the summary report.
class CalcFaults : public FaultInjectionTest {
protected:
    void SetUp() override
    {
        FaultInjectionTest::SetUp();
        ds.setObjectName(u"qryHead"_s);
        ds.addField(u"OrgCode"_s, ftString, 20)->setDisplayLabel(u"组织编码"_s);
        ds.addField(u"LyCount"_s, ftFloat, 0)->setDisplayLabel(u"领用数量"_s);
        ds.addField(u"TryTimes"_s, ftLargeint, 0)->setDisplayLabel(u"试用次数"_s);
        EnsureCalcFieldTable();
        rememberPristine();
    }
    void TearDown() override
    {
        delete f.data();
        FaultInjectionTest::TearDown();
    }
    void open()
    {
        f = TfrmBase::create<TfrmSetCalcFld>();
        f->CalcDataSet = &ds;
        f->FormKey = u"TryOutR"_s;
        f->FillColumns(-1);
        f->show();
        f->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(f));
    }
    void pick(QListWidget* list, const QString& text)
    {
        const auto found = list->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        list->setCurrentItem(found[0]);
        Q_EMIT list->itemDoubleClicked(found[0]);
    }
    // A floating definition name = 试用次数 / 领用数量, typed as a user types it.
    void enter(const QString& name)
    {
        f->cbxFldName->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(f->cbxFldName, name);
        f->EdtFldCaption->setFocus(Qt::TabFocusReason);
        f->EdtFldCaption->setText(u"试用率"_s);
        f->CbxFlgType->setCurrentIndex(2);
        Q_EMIT f->CbxFlgType->activated(2);
        f->lbxFieldCaption->setFocus(Qt::TabFocusReason);
        pick(f->lbxFieldCaption, u"试用次数"_s);
        pick(f->lbxOperator, u"/"_s);
        pick(f->lbxFieldCaption, u"领用数量"_s);
    }
    TClientDataSet ds;
    QPointer<TfrmSetCalcFld> f;
};

TEST_F(CalcFaults, SaveOverwriteAndDelete)
{
    everyStatementFails("calculated field save", [&] { f->btnOk->click(); delete f.data(); },
                        [&] {
                            open();
                            enter(u"Rate"_s);
                        });
    open();
    enter(u"Rate"_s);
    f->btnOk->click();
    ASSERT_EQ(queryRows(*db, u"select count(*) from tXtQryField"_s), QStringList{u"1"_s});
    delete f.data();
    rememberPristine();
    everyStatementFails(
        "calculated field overwrite", [&] { prompts->pushButton(MsgResult::Yes); f->btnOk->click(); delete f.data(); },
        [&] {
            open();
            f->cbxFldName->setCurrentIndex(0);
            Q_EMIT f->cbxFldName->activated(0);
            f->btnClear->click();
            f->lbxFieldCaption->setFocus(Qt::TabFocusReason);
            pick(f->lbxFieldCaption, u"领用数量"_s);
        });
    everyStatementFails(
        "calculated field delete", [&] { prompts->pushButton(MsgResult::Yes); f->btnDelete->click(); delete f.data(); },
        [&] {
            open();
            f->cbxFldName->setCurrentIndex(0);
            Q_EMIT f->cbxFldName->activated(0);
        });
}

TEST_F(FaultInjectionTest, PrintFormatRightsConfirm)
{
    CurPrnCode = u"TryOut"_s;
    QPointer<TfrmPrintRight> r;
    everyStatementFails("rights confirm", [&] { r->btnOk->click(); delete r.data(); },
                        [&] {
                            r = TfrmBase::create<TfrmPrintRight>();
                            r->show();
                            // Every format: group 01 granted, group 02 withdrawn.
                            QTreeWidgetItem* root = r->fcRightTree->topLevelItem(0);
                            ASSERT_NE(root, nullptr);
                            ASSERT_GT(root->childCount(), 0);
                            for (int i = 0; i < root->childCount(); ++i)
                                for (int j = 0; j < root->child(i)->childCount(); ++j) {
                                    QTreeWidgetItem* g = root->child(i)->child(j);
                                    const QString code = g->data(0, TfrmPrintRight::kKeyRole).toString();
                                    if (code == u"01"_s) g->setCheckState(0, Qt::Checked);
                                    if (code == u"02"_s) g->setCheckState(0, Qt::Unchecked);
                                }
                        });
}

} // namespace
