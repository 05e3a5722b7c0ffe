#include "query/QryDialog.h"

#include "host/include/PubProcDll.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/grid/DBGridEh.h"
#include "query/PubQuery.h"
#include "tests/query/QryTestSql.h"
#include "tests/support/TestSupport.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QPointer>

using namespace qrytest;

namespace {

const QString kInvalid = QStringLiteral("语句无效！请检查条件的设置！");

class QryDialogTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        exec(*db, QStringLiteral("insert into tXtQry(QryType,SerialNo,FldCode,FldName,FldType,VluType,VER) values"
                                 "('Probe',1,'N','") + u("名称") + QStringLiteral("','S','0','0'),"
                                 "('Probe',2,'Q','") + u("数量") + QStringLiteral("','I','0','0')"));
    }

    // Opens the dialog for the type, runs the script on it as the user would, and returns what
    // ShowQryDialog answered; where and desc start as "before".
    bool run(const QString& type, const std::function<void(TfrmQry*)>& script)
    {
        where = desc = QStringLiteral("before");
        setModalHook([&](QDialog* d) {
            auto* f = qobject_cast<TfrmQry*>(d);
            dialog = f;
            f->show();
            script(f);
            return f->isVisible() ? 0 : f->result();
        });
        const bool ok = ShowQryDialog(type, where, desc);
        setModalHook({});
        return ok;
    }

    static void add(TfrmQry* f, const QString& field)
    {
        const auto found = f->lstQuery->findItems(field, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << field.toStdString();
        f->lstQuery->setCurrentItem(found.first());
        f->btnAdd->click();
    }
    // Sets the current line's operator, value and join as the grid would.
    static void set(TfrmQry* f, int row, const QString& op, const QString& value, const QString& join)
    {
        TClientDataSet* t = f->qryTemp;
        t->setRecNo(row);
        t->Edit();
        t->FieldByName(QStringLiteral("FldOp"))->setAsString(op);
        t->FieldByName(QStringLiteral("FldValue"))->setAsString(value);
        t->FieldByName(QStringLiteral("FldJoin"))->setAsString(join);
        t->Post();
    }
    static QStringList rows(TfrmQry* f)
    {
        QStringList out;
        TClientDataSet* t = f->qryTemp;
        for (int i = 1; i <= t->RecordCount(); ++i) {
            t->setRecNo(i);
            QStringList cells;
            for (const char* n : {"FldCode", "FldName", "FldOp", "FldValue", "FldJoin", "FldType", "SerialNo"})
                cells << t->FieldByName(QString::fromLatin1(n))->AsString();
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }
    static void choose(TfrmQry* f, const QString& item)
    {
        const int i = f->cmbQrySave->findText(item);
        ASSERT_GE(i, 0) << item.toStdString();
        f->cmbQrySave->setCurrentIndex(i);
        Q_EMIT f->cmbQrySave->activated(i);
    }
    static QStringList items(QComboBox* c)
    {
        QStringList l;
        for (int i = 0; i < c->count(); ++i) l << c->itemText(i);
        return l;
    }
    QStringList saved(int serial)
    {
        return queryRows(*db, QStringLiteral("select OrderNo,QryName,FldCode,Operator,FieldValue,LinkFlag from tXtQrySave "
                                             "where QryType='TryOut' and SerialNo=%1 order by OrderNo").arg(serial));
    }

    QString where, desc;
    QPointer<TfrmQry> dialog;
};

} // namespace

TEST_F(QryDialogTest, OpensWithCatalogueAndSavedConditions)
{
    const bool ok = run(QStringLiteral("TryOut"), [&](TfrmQry* f) {
        EXPECT_EQ(f->size(), QSize(563, 346));
        EXPECT_EQ(f->windowTitle(), u("查询条件"));
        EXPECT_EQ(f->grpQrySave->title(), u("已保存的查询条件"));
        EXPECT_EQ(f->grpQuery->title(), u("查询项目"));
        EXPECT_EQ(f->btnSave->text(), u("保存(&S)"));
        EXPECT_EQ(f->btnSaveAs->text(), u("另存为(&A)..."));
        EXPECT_EQ(f->btnDelete->text(), u("删除(&D)"));
        EXPECT_EQ(f->btnAll->text(), u("查询全部"));
        EXPECT_FALSE(f->btnAll->focusPolicy() & Qt::TabFocus);
        EXPECT_EQ(f->btnOK->text(), u("确定(&O)"));
        EXPECT_EQ(f->btnCancel->text(), u("取消(&X)"));
        EXPECT_FALSE(f->cmbQrySave->isEditable());
        EXPECT_EQ(f->lstQuery->count(), 15);
        EXPECT_EQ(f->lstQuery->item(0)->text(), u("试用日期"));
        EXPECT_EQ(f->lstQuery->item(14)->text(), u("评价"));
        EXPECT_EQ(items(f->cmbQrySave), (QStringList{u("1_满意的试用"), u("2_一楼三月"), QString()}));
        EXPECT_EQ(f->cmbQrySave->currentIndex(), -1);
        TDBGridEh* g = f->dgrdQuery;
        ASSERT_EQ(g->Columns()->Count(), 4);
        EXPECT_EQ(g->Columns()->Items(0)->Title()->Caption(), u("字段"));
        EXPECT_EQ(g->Columns()->Items(3)->Title()->Caption(), u("连接符"));
        EXPECT_EQ(g->Columns()->Items(0)->Width(), 88);
        EXPECT_EQ(g->Columns()->Items(1)->Width(), 58);
        EXPECT_EQ(g->Columns()->Items(2)->Width(), 117);
        EXPECT_EQ(g->Columns()->Items(3)->Width(), 46);
        EXPECT_TRUE(g->Columns()->Items(0)->ReadOnly());
        EXPECT_EQ(g->TitleLines(), 2);
        EXPECT_EQ(g->FixedColor(), colorFromTColor(UGridColor()));
        EXPECT_EQ(f->qryTemp->FieldByName(QStringLiteral("SerialNo"))->DisplayLabel(), u("字段序号"));
        EXPECT_EQ(CurQryType, QStringLiteral("TryOut"));
    });
    EXPECT_FALSE(ok); // the script closed nothing
    EXPECT_EQ(where, QStringLiteral("before"));
    EXPECT_TRUE(dialog.isNull()); // destroyed whatever the result
}

TEST_F(QryDialogTest, TwoRowExample)
{
    const bool ok = run(QStringLiteral("Probe"), [&](TfrmQry* f) {
        add(f, u("名称"));
        add(f, u("数量"));
        EXPECT_EQ(rows(f), (QStringList{QStringLiteral("N|") + u("名称") + QStringLiteral("|=||") + u("并且") + QStringLiteral("|S|0"),
                                        QStringLiteral("Q|") + u("数量") + QStringLiteral("|=|0|") + u("并且") + QStringLiteral("|I|0")}));
        set(f, 1, u("含有"), u("霜"), u("或者"));
        set(f, 2, QStringLiteral(">"), QStringLiteral("2"), u("或者"));
        f->btnOK->click();
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(where, QStringLiteral(" ((IsNull(N,'') like '%") + u("霜") + QStringLiteral("%') Or (IsNull(Q,0)>2))"));
    EXPECT_EQ(desc, u("(名称 含有 '霜') 或者") + QChar(13) + u("(数量 > 2)"));
    EXPECT_EQ(QryWhereText, where);
    EXPECT_EQ(QryDescText, desc);
    EXPECT_TRUE(prompts->calls.empty());
}

TEST_F(QryDialogTest, ConditionsRunInTheRegisterList)
{
    ASSERT_TRUE(run(QStringLiteral("TryOut"), [&](TfrmQry* f) {
        add(f, u("试用品名称"));
        add(f, u("零售价"));
        add(f, u("组织"));
        set(f, 1, u("含有"), u("霜"), u("并且"));
        set(f, 2, QStringLiteral(">="), QStringLiteral("100.0"), u("或者"));
        set(f, 3, QStringLiteral("="), u("二楼护肤品"), u("并且"));
        f->btnOK->click();
    }));
    EXPECT_EQ(where, QStringLiteral(" ((IsNull(R.PluName,'') like '%") + u("霜") +
                         QStringLiteral("%') And (IsNull(R.Price,0)>=100) Or (IsNull(T.OrgCode,'')='0102'))"));
    EXPECT_EQ(desc, u("(试用品名称 含有 '霜') 并且") + QChar(13) + u("(零售价 >= 100.0) 或者") + QChar(13) +
                        u("(组织 = '二楼护肤品')"));
    const QStringList cols{QStringLiteral("BookDate"), QStringLiteral("BookTime"), QStringLiteral("OrgCode"), QStringLiteral("PluCode")};
    const QStringList got = runRows(*db, registerListSql(where), cols);
    EXPECT_FALSE(got.isEmpty());
    EXPECT_EQ(got, runRows(*db, registerListSql(u("(R.PluName like '%霜%' and R.Price>=100) or T.OrgCode='0102'")), cols));

    // 查询全部 gives every row.
    ASSERT_TRUE(run(QStringLiteral("TryOut"), [&](TfrmQry* f) { f->btnAll->click(); }));
    EXPECT_EQ(where, QStringLiteral(" 0=0 "));
    EXPECT_EQ(desc, u("<全部>"));
    EXPECT_EQ(runRows(*db, registerListSql(where), cols).size(), 360);

    // The summary report with a list-valued field and a price.
    ASSERT_TRUE(run(QStringLiteral("TryOutR"), [&](TfrmQry* f) {
        add(f, u("组织类型"));
        add(f, u("零售价"));
        set(f, 1, QStringLiteral("<>"), u("加盟店"), u("并且"));
        set(f, 2, QStringLiteral("<"), QStringLiteral("100"), u("并且"));
        f->btnOK->click();
    }));
    EXPECT_EQ(where, QStringLiteral(" ((IsNull(S.OrgType,'')<>'3') And (IsNull(G.Price,0)<100))"));
    const QStringList report = runRows(*db, summaryReportSql(where), {QStringLiteral("OrgCode"), QStringLiteral("PluCode")}, true);
    EXPECT_FALSE(report.isEmpty());
    EXPECT_EQ(report, runRows(*db, summaryReportSql(QStringLiteral("S.OrgType<>'3' and G.Price<100")),
                              {QStringLiteral("OrgCode"), QStringLiteral("PluCode")}, true));
}

TEST_F(QryDialogTest, OneRowAndEnds)
{
    ASSERT_TRUE(run(QStringLiteral("Probe"), [&](TfrmQry* f) {
        add(f, u("数量"));
        set(f, 1, QStringLiteral("<>"), QStringLiteral("+3"), u("或者")); // the join of the last row is not used
        f->btnOK->click();
    }));
    EXPECT_EQ(where, QStringLiteral(" ((IsNull(Q,0)<>3))"));
    EXPECT_EQ(desc, u("(数量 <> +3)"));

    EXPECT_FALSE(run(QStringLiteral("Probe"), [&](TfrmQry* f) {
        add(f, u("数量"));
        f->btnCancel->click();
    }));
    EXPECT_EQ(where, QStringLiteral("before"));
    EXPECT_FALSE(run(QStringLiteral("Probe"), [&](TfrmQry* f) { f->close(); }));
    EXPECT_EQ(desc, QStringLiteral("before"));
}

TEST_F(QryDialogTest, InvalidConditionsStayInTheDialog)
{
    const bool ok = run(QStringLiteral("Probe"), [&](TfrmQry* f) {
        f->btnOK->click(); // no rows
        EXPECT_TRUE(f->isVisible());
        add(f, u("数量"));
        set(f, 1, QStringLiteral("="), QStringLiteral("2x"), u("并且")); // no number
        f->btnOK->click();
        EXPECT_TRUE(f->isVisible());
        set(f, 1, u("含有"), QStringLiteral("2"), u("并且")); // not an operator of an integer field
        f->btnOK->click();
        set(f, 1, QStringLiteral("="), QStringLiteral("2"), QStringLiteral("and")); // no join of the list
        f->btnOK->click();
        EXPECT_TRUE(f->isVisible());
        EXPECT_EQ(f->qryTemp->RecordCount(), 1);
        f->btnCancel->click();
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(prompts->texts(), QStringList(4, kInvalid));
    EXPECT_EQ(prompts->calls.front().flags, MsgFlags::IconInfo);
    EXPECT_EQ(where, QStringLiteral("before"));
}

TEST_F(QryDialogTest, PickListsFollowTheCurrentRow)
{
    run(QStringLiteral("TryOut"), [&](TfrmQry* f) {
        add(f, u("试用结果"));
        add(f, u("试用品名称"));
        TDBGridEh* g = f->dgrdQuery;
        auto pick = [&](int col) { return g->Columns()->Items(col)->PickList(); };
        f->qryTemp->First();
        EXPECT_EQ(pick(1), QryWords::equalityOperators());
        EXPECT_EQ(pick(2), (QStringList{u("满意"), u("不满意")}));
        EXPECT_EQ(pick(3), (QStringList{u("并且"), u("或者")}));
        f->qryTemp->Next();
        EXPECT_EQ(pick(1), QryWords::textOperators());
        EXPECT_TRUE(pick(2).isEmpty());
        // Operator and join take no typing; the value does.
        QChar key(QLatin1Char('x'));
        g->setSelectedIndex(1);
        f->dgrdQueryKeyPress(g, key);
        EXPECT_TRUE(key.isNull());
        key = QLatin1Char('x');
        g->setSelectedIndex(3);
        f->dgrdQueryKeyPress(g, key);
        EXPECT_TRUE(key.isNull());
        key = QLatin1Char('x');
        g->setSelectedIndex(2);
        f->dgrdQueryKeyPress(g, key);
        EXPECT_EQ(key, QLatin1Char('x'));
        // Editing goes through the grid's cells; the field column is read-only.
        QAbstractItemModel* m = g->model();
        EXPECT_FALSE(m->flags(m->index(1, 0)) & Qt::ItemIsEditable);
        EXPECT_TRUE(m->flags(m->index(1, 1)) & Qt::ItemIsEditable);
        EXPECT_TRUE(m->setData(m->index(1, 1), u("左边含有"), Qt::EditRole));
        EXPECT_TRUE(m->setData(m->index(1, 2), QStringLiteral("10"), Qt::EditRole));
        EXPECT_EQ(rows(f).at(1), QStringLiteral("R.PluName|") + u("试用品名称|左边含有|10|并且|S|0"));
        f->btnDel->click();
        EXPECT_EQ(f->qryTemp->RecordCount(), 1);
        EXPECT_EQ(pick(2), (QStringList{u("满意"), u("不满意")}));
        f->btnDelAdd->click();
        EXPECT_EQ(f->qryTemp->RecordCount(), 0);
        EXPECT_TRUE(pick(1).isEmpty());
        EXPECT_TRUE(pick(3).isEmpty());
        f->btnDel->click(); // nothing to remove
        f->lstQuery->clearSelection();
        f->lstQuery->setCurrentItem(nullptr);
        f->btnAdd->click(); // nothing selected: nothing added
        EXPECT_EQ(f->qryTemp->RecordCount(), 0);

    });
}

TEST_F(QryDialogTest, ChoosingASavedCondition)
{
    ASSERT_TRUE(run(QStringLiteral("TryOut"), [&](TfrmQry* f) {
        choose(f, u("2_一楼三月"));
        EXPECT_EQ(f->CurSerialNo, 2);
        EXPECT_EQ(f->CurQryName, u("一楼三月"));
        EXPECT_EQ(rows(f), (QStringList{QStringLiteral("T.OrgCode|") + u("组织|=|一楼化妆品|并且|S|2"),
                                        QStringLiteral("T.BookDate|") + u("试用日期|>=|2026-03-01|并且|S|2")}));
        // Lines deleted meanwhile: the grid keeps its rows.
        exec(*db, QStringLiteral("delete from tXtQrySave where SerialNo=1 and QryType='TryOut'"));
        choose(f, u("1_满意的试用"));
        EXPECT_EQ(rows(f).size(), 2);
        EXPECT_EQ(f->CurSerialNo, 1);
        // The empty last item: no condition chosen.
        choose(f, QString());
        EXPECT_EQ(f->qryTemp->RecordCount(), 0);
        EXPECT_EQ(f->CurSerialNo, 0);
        EXPECT_EQ(f->CurQryName, QString());
        choose(f, u("2_一楼三月"));
        f->btnOK->click();
    }));
    EXPECT_EQ(where, QStringLiteral(" ((IsNull(T.OrgCode,'')='0101') And (IsNull(T.BookDate,'')>='2026-03-01'))"));
    EXPECT_EQ(runRows(*db, registerListSql(where), {QStringLiteral("OrgCode")}).size(),
              countOf(*db, QStringLiteral("select count(*) from TryOutBK where OrgCode='0101' and BookDate>='2026-03-01'")));
}

TEST_F(QryDialogTest, SavedLinesTheDialogCannotBuild)
{
    exec(*db, QStringLiteral("insert into tXtQrySave values('TryOut',3,1,'odd','T.BookDate','=','2026-01-01','x'),"
                             "('TryOut',4,1,'remark','T.Remark','=','a','") + u("并且") + QStringLiteral("')"));
    qorSession().version = QStringLiteral("0");
    run(QStringLiteral("TryOut"), [&](TfrmQry* f) {
        // A join that is neither 并且 nor 或者: invalid until chosen again.
        choose(f, QStringLiteral("3_odd"));
        f->btnOK->click();
        EXPECT_TRUE(f->isVisible());
        set(f, 1, QStringLiteral("="), QStringLiteral("2026-01-01"), u("或者"));
        // A field this edition does not show: no name, no type, only the equality pair.
        choose(f, QStringLiteral("4_remark"));
        EXPECT_EQ(rows(f), QStringList{QStringLiteral("T.Remark||=|a|") + u("并且") + QStringLiteral("||4")});
        EXPECT_EQ(f->dgrdQuery->Columns()->Items(1)->PickList(), QryWords::equalityOperators());
        f->btnOK->click();
        EXPECT_TRUE(f->isVisible());
        f->btnCancel->click();
    });
    EXPECT_EQ(prompts->texts(), QStringList(2, kInvalid));
}

TEST_F(QryDialogTest, SavingANewCondition)
{
    run(QStringLiteral("TryOut"), [&](TfrmQry* f) {
        add(f, u("试用结果"));
        add(f, u("评价"));
        set(f, 1, QStringLiteral("="), u("满意"), u("或者"));
        set(f, 2, u("含有"), QStringLiteral("it's"), u("并且"));

        prompts->pushText(QString(), false); // cancelled: nothing
        f->btnSave->click();
        prompts->pushText(QStringLiteral("  "));
        f->btnSave->click();
        prompts->pushText(u("试用结果"));
        f->btnSave->click();
        prompts->pushText(u("一楼三月"));
        f->btnSave->click();
        EXPECT_EQ(GetMaxQrySerial(QStringLiteral("TryOut")), 2);

        prompts->pushText(QStringLiteral("O'Neil"));
        f->btnSave->click();
        EXPECT_EQ(items(f->cmbQrySave), (QStringList{u("1_满意的试用"), u("2_一楼三月"), QStringLiteral("3_O'Neil"), QString()}));
        EXPECT_EQ(f->cmbQrySave->currentText(), QStringLiteral("3_O'Neil"));
        EXPECT_EQ(f->CurSerialNo, 3);
        EXPECT_EQ(f->CurQryName, QStringLiteral("O'Neil"));
        f->btnCancel->click();
    });
    EXPECT_EQ(prompts->texts(), (QStringList{u("请输入查询条件名称："), u("请输入查询条件名称："), u("查询条件名称不允许为空！"),
                                             u("请输入查询条件名称："), u("查询条件名称不允许与字段名称相同！"),
                                             u("请输入查询条件名称："), u("查询条件名称不允许重复！"),
                                             u("请输入查询条件名称：")}));
    EXPECT_EQ(prompts->calls.front().caption, u("查询条件名称"));
    // The row's own join is stored for the last line too; texts keep their quotes.
    EXPECT_EQ(saved(3), (QStringList{QStringLiteral("1\tO'Neil\tT.Result\t=\t") + u("满意\t或者"),
                                     QStringLiteral("2\tO'Neil\tT.Remark\t") + u("含有") + QStringLiteral("\tit's\t") + u("并且")}));
}

TEST_F(QryDialogTest, SavingOverASelectedConditionRenumbersItsLines)
{
    // Lines with gaps in their numbers.
    exec(*db, QStringLiteral("update tXtQrySave set OrderNo=OrderNo*5 where QryType='TryOut' and SerialNo=2"));
    run(QStringLiteral("TryOut"), [&](TfrmQry* f) {
        choose(f, u("2_一楼三月"));
        f->qryTemp->First();
        f->btnDel->click();
        add(f, u("试用品编码"));
        add(f, u("试用结果"));
        set(f, 2, u("左边含有"), QStringLiteral("1001"), u("或者"));
        set(f, 3, QStringLiteral("<>"), u("不满意"), u("并且"));
        f->btnSave->click(); // no name asked: stored under its number and name
        EXPECT_EQ(f->cmbQrySave->currentText(), u("2_一楼三月"));
        f->btnCancel->click();
    });
    EXPECT_TRUE(prompts->calls.empty());
    EXPECT_EQ(saved(2), (QStringList{QStringLiteral("1\t") + u("一楼三月\tT.BookDate\t>=\t2026-03-01\t并且"),
                                     QStringLiteral("2\t") + u("一楼三月\tT.PluCode\t左边含有\t1001\t或者"),
                                     QStringLiteral("3\t") + u("一楼三月\tT.Result\t<>\t不满意\t并且")}));
    // Expanded again, the stored lines give the same condition.
    std::unique_ptr<TQryCatalog> c;
    QString d, w;
    BuildQryFromItem(QStringLiteral("TryOut"), u("一楼三月"), QString(), QString(), c, d, w);
    EXPECT_EQ(w, QStringLiteral("((IsNull(T.BookDate,'')>='2026-03-01') And (IsNull(T.PluCode,'') like '1001%') Or "
                                "(IsNull(T.Result,'')<>'1'))"));
}

TEST_F(QryDialogTest, AFailedSaveKeepsTheStoredCondition)
{
    exec(*db, QStringLiteral("create trigger NoSecret before insert on tXtQrySave when new.FieldValue='secret' "
                             "begin select raise(abort, 'value refused'); end"));
    run(QStringLiteral("TryOut"), [&](TfrmQry* f) {
        choose(f, u("2_一楼三月"));
        add(f, u("试用品名称"));
        add(f, u("规格"));
        set(f, 3, u("含有"), QStringLiteral("secret"), u("并且"));
        set(f, 4, u("含有"), QStringLiteral("ml"), u("并且"));
        f->btnSave->click();
        EXPECT_EQ(f->cmbQrySave->currentText(), u("2_一楼三月"));
        EXPECT_EQ(f->qryTemp->RecordCount(), 4);
        // Save as under a new name fails the same way and takes no number.
        prompts->pushText(QStringLiteral("copy"));
        f->btnSaveAs->click();
        EXPECT_EQ(f->CurQryName, u("一楼三月"));
        f->btnCancel->click();
    });
    ASSERT_EQ(prompts->calls.size(), 3u);
    EXPECT_EQ(prompts->calls[0].flags, MsgFlags::IconError);
    EXPECT_TRUE(prompts->calls[0].text.contains(QStringLiteral("value refused")));
    EXPECT_TRUE(prompts->calls[2].text.contains(QStringLiteral("value refused")));
    EXPECT_EQ(saved(2).size(), 2);
    EXPECT_EQ(saved(2).first(), QStringLiteral("1\t") + u("一楼三月\tT.OrgCode\t=\t一楼化妆品\t并且"));
    EXPECT_EQ(GetMaxQrySerial(QStringLiteral("TryOut")), 2);
    EXPECT_FALSE(db->InTransaction());
}

TEST_F(QryDialogTest, SaveAsAndDelete)
{
    run(QStringLiteral("TryOut"), [&](TfrmQry* f) {
        choose(f, u("2_一楼三月"));
        prompts->pushText(u("一楼三月")); // the selected one's own name is refused too
        f->btnSaveAs->click();
        EXPECT_EQ(prompts->calls.back().text, u("查询条件名称不允许重复！"));
        EXPECT_EQ(prompts->calls[0].preset, u("一楼三月"));
        prompts->pushText(u("一楼三月副本"));
        f->btnSaveAs->click();
        EXPECT_EQ(f->cmbQrySave->currentText(), u("3_一楼三月副本"));
        EXPECT_EQ(saved(3).size(), 2);
        EXPECT_EQ(saved(2).size(), 2);

        prompts->calls.clear();
        f->cmbQrySave->setCurrentIndex(f->cmbQrySave->count() - 1);
        f->btnDelete->click(); // the empty last item: nothing
        f->cmbQrySave->setCurrentIndex(-1);
        f->btnDelete->click();
        EXPECT_EQ(prompts->texts(), QStringList{u("没有选定要删除的查询条件！")});

        choose(f, u("3_一楼三月副本"));
        prompts->pushButton(MsgResult::No);
        f->btnDelete->click();
        EXPECT_EQ(saved(3).size(), 2);
        EXPECT_EQ(prompts->calls.back().text, u("确认要删除该查询条件吗？"));
        EXPECT_EQ(prompts->calls.back().flags, MsgFlags::YesNo | MsgFlags::IconQuestion | MsgFlags::DefButton2);
        prompts->pushButton(MsgResult::Yes);
        f->btnDelete->click();
        EXPECT_TRUE(saved(3).isEmpty());
        EXPECT_EQ(f->qryTemp->RecordCount(), 0);
        EXPECT_EQ(items(f->cmbQrySave), (QStringList{u("1_满意的试用"), u("2_一楼三月"), QString()}));
        EXPECT_EQ(f->cmbQrySave->currentIndex(), -1);
        EXPECT_EQ(f->CurSerialNo, 3);

        // A following Save offers the deleted name and stores under a new number.
        add(f, u("条码"));
        prompts->pushText(u("一楼三月副本"));
        f->btnSave->click();
        EXPECT_EQ(prompts->calls.back().preset, u("一楼三月副本"));
        EXPECT_EQ(f->cmbQrySave->currentText(), u("3_一楼三月副本"));
        f->btnCancel->click();
    });
    EXPECT_EQ(saved(3).size(), 1);
}

TEST_F(QryDialogTest, NamesAreTrimmedAndCheckedAgainstEveryRemainingCondition)
{
    // An older program stored a second condition under the name of the second one.
    exec(*db, QStringLiteral("insert into tXtQrySave values('TryOut',3,1,'") + u("一楼三月") +
                  QStringLiteral("','T.Result','=','0','") + u("并且") + QStringLiteral("')"));
    run(QStringLiteral("TryOut"), [&](TfrmQry* f) {
        add(f, u("试用结果"));
        prompts->pushText(u("满意的试用 ")); // the server compares it equal to the saved name
        f->btnSave->click();
        EXPECT_EQ(prompts->calls.back().text, u("查询条件名称不允许重复！"));
        prompts->pushText(u(" 满意的试用"));
        f->btnSaveAs->click();
        EXPECT_EQ(prompts->calls.back().text, u("查询条件名称不允许重复！"));
        prompts->pushText(u("  新条件  "));
        f->btnSaveAs->click();
        EXPECT_EQ(f->cmbQrySave->currentText(), u("4_新条件"));

        // Deleting one of the two, then saving under its name: the other one still has it.
        choose(f, u("2_一楼三月"));
        prompts->pushButton(MsgResult::Yes);
        f->btnDelete->click();
        add(f, u("试用结果"));
        prompts->calls.clear();
        prompts->pushText(u("一楼三月"));
        f->btnSave->click();
        EXPECT_EQ(prompts->texts(), (QStringList{u("请输入查询条件名称："), u("查询条件名称不允许重复！")}));
        f->btnCancel->click();
    });
    EXPECT_EQ(queryRows(*db, QStringLiteral("select SerialNo,QryName from tXtQrySave where QryType='TryOut' "
                                            "group by SerialNo order by SerialNo")),
              (QStringList{u("1\t满意的试用"), u("3\t一楼三月"), u("4\t新条件")}));
    EXPECT_FALSE(db->InTransaction());
}

TEST_F(QryDialogTest, OneDialogAtATime)
{
    bool inner = true;
    QString w = QStringLiteral("x"), d = QStringLiteral("y");
    run(QStringLiteral("TryOut"), [&](TfrmQry* f) {
        inner = ShowQryDialog(QStringLiteral("TryOutR"), w, d);
        EXPECT_EQ(f->QryType, QStringLiteral("TryOut"));
        f->btnAll->click();
    });
    EXPECT_FALSE(inner);
    EXPECT_EQ(w, QStringLiteral("x"));
    EXPECT_TRUE(dialog.isNull());
    // The next call works on a fresh dialog.
    EXPECT_TRUE(run(QStringLiteral("TryOutR"), [&](TfrmQry* f) {
        EXPECT_EQ(f->qryTemp->RecordCount(), 0);
        EXPECT_EQ(f->lstQuery->count(), 8);
        f->btnAll->click();
    }));
}

TEST_F(QryDialogTest, LongCodesAndValuesAreKeptWhole)
{
    const QString code = QStringLiteral("rtrim(T.Remark)+rtrim(T.ZdrName)+rtrim(T.UserName)"); // beyond 20
    exec(*db, QStringLiteral("insert into tXtQry(QryType,SerialNo,FldCode,FldName,FldType,VluType,VER) values('TryOut',20,") +
                  QuotedStr(code) + QStringLiteral(",'") + u("长字段") + QStringLiteral("','S','0','0')"));
    const QString value = QString(70, QLatin1Char('v')) + u("霜霜霜霜霜霜霜霜霜霜"); // beyond 60
    run(QStringLiteral("TryOut"), [&](TfrmQry* f) {
        add(f, u("长字段"));
        set(f, 1, u("左边含有"), value, u("并且"));
        prompts->pushText(QStringLiteral("long"));
        f->btnSave->click();
        choose(f, QString());
        choose(f, QStringLiteral("3_long"));
        EXPECT_EQ(rows(f), QStringList{code + QLatin1Char('|') + u("长字段|左边含有|") + value + u("|并且|S|3")});
        f->btnOK->click();
    });
    EXPECT_EQ(saved(3), QStringList{QStringLiteral("1\tlong\t") + code + u("\t左边含有\t") + value + u("\t并且")});
    EXPECT_EQ(where, QStringLiteral(" ((IsNull(") + code + QStringLiteral(",'') like '") + value + QStringLiteral("%'))"));
    EXPECT_TRUE(runRows(*db, registerListSql(where), {QStringLiteral("BookDate")}).isEmpty());
}
