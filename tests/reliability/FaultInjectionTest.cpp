// Every main flow run with each of its statements failing in turn, as the provider fails (a
// lost connection, a full disk): no crash, the error reaches the user, and the database holds
// exactly what it held before the flow or what the flow writes when nothing fails.
#include "chart/Graph.h"
#include "framework/GridBridge.h"
#include "framework/PrintFmtRules.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Guard.h"
#include "tests/support/TestSupport.h"
#include "tryout/TryOutLr.h"
#include "tryout/TryOutRefresh.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

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
    void rememberPristine()
    {
        pristine = testTempDir() + u"/pristine.db"_s;
        db->executeScript(u"VACUUM INTO '%1'"_s.arg(pristine));
        tables = queryRows(*db, u"select name from sqlite_master where type='table' and name not like 'sqlite%' order by name"_s);
    }
    QString pristine;
    QStringList tables;

    // Every row of every table, sorted per table.
    QStringList snapshot()
    {
        QStringList out;
        for (const QString& t : std::as_const(tables)) {
            QStringList rows = queryRows(*db, u"select * from "_s + t);
            rows.sort();
            out << t + u": "_s + rows.join(u" | "_s);
        }
        return out;
    }

    // Puts every table back as it was when the test began.
    void restore()
    {
        QString script = u"ATTACH '%1' AS p;"_s.arg(pristine);
        for (const QString& t : std::as_const(tables))
            script += u"DELETE FROM main.%1; INSERT INTO main.%1 SELECT * FROM p.%1;"_s.arg(t);
        db->executeScript(script + u"DETACH p;"_s);
    }

    // Runs the flow once to learn its statements and its result, then once per statement with
    // that statement failing.
    void everyStatementFails(const char* name, const std::function<void()>& flow)
    {
        SCOPED_TRACE(name);
        const QStringList before = snapshot();
        const int start = db->statementCount();
        flow();
        const int statements = db->statementCount() - start;
        const QStringList after = snapshot();
        ASSERT_GT(statements, 0);
        ASSERT_NE(before, after) << "the flow wrote nothing";
        int failed = 0;
        for (int n = 1; n <= statements; ++n) {
            SCOPED_TRACE(QString(u"statement %1 of %2"_s.arg(n).arg(statements)).toStdString());
            restore();
            prompts->calls.clear();
            db->failStatementAt(n);
            flow();
            db->failStatementAt(0);
            EXPECT_FALSE(db->InTransaction()) << "a transaction was left open";
            const QStringList now = snapshot();
            EXPECT_TRUE(now == before || now == after) << "half-written:\n"
                << now.join(u'\n').toStdString();
            if (now == before) {
                ++failed;
                // Refused or failed: the user is told.
                EXPECT_FALSE(prompts->calls.empty()) << "a failure went unreported";
            }
        }
        // The last statement of a flow that writes is one of its writes (or the commit).
        EXPECT_GT(failed, 0) << statements << " statements, none of which could fail the flow";
        restore();
    }
};

TEST_F(FaultInjectionTest, RegisteringATrial)
{
    FakeList list;
    everyStatementFails("register add", [&] {
        QPointer<TfrmTryOutLr> form = TfrmBase::create<TfrmTryOutLr>(nullptr);
        form->setOpener(&list);
        form->show();
        const auto enter = [](QLineEdit* box, const QString& text) {
            box->setFocus(Qt::TabFocusReason);
            box->setText(text);
            QTest::keyClick(box, Qt::Key_Tab);
        };
        enter(form->edtGrpCode, u"0101"_s);
        enter(form->edtBeautyCode, u"3001"_s);
        enter(form->edtGoodsCode, u"10010001"_s);
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

} // namespace
