// The dialogs of libcommDll.so, reached through the module's bridge and driven as a user would:
// locate, filter, column set-up with layouts per user, and picking with the search box.
#include "framework/GridBridge.h"

#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "tests/support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <utility>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Typing as a user would: Latin keys as key presses, Chinese through the input method.
void typeText(QWidget* w, const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(w, char(c.unicode()));
        } else {
            QInputMethodEvent e;
            e.setCommitString(QString(c));
            QCoreApplication::sendEvent(w, &e);
        }
    }
}

template <class T>
T* child(QDialog* d, const char* name)
{
    T* w = d->findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(w) << name;
    return w;
}

void click(QDialog* d, const char* button)
{
    if (auto* b = child<QPushButton>(d, button)) b->click();
}

// Drives the dialog named `name` with fn; its result is the dialog's own.
void drive(const char* name, std::function<void(QDialog*)> fn)
{
    setModalHook([name = QString::fromLatin1(name), fn](QDialog* d) {
        EXPECT_EQ(d->objectName(), name);
        if (d->objectName() != name) return int(QDialog::Rejected);
        fn(d);
        return d->result();
    });
}

void choose(QComboBox* box, const QString& data)
{
    ASSERT_TRUE(box);
    const int i = box->findData(data);
    ASSERT_GE(i, 0) << data.toStdString();
    box->setCurrentIndex(i);
}

void chooseText(QComboBox* box, const QString& text)
{
    ASSERT_TRUE(box);
    const int i = box->findText(text);
    ASSERT_GE(i, 0) << text.toStdString();
    box->setCurrentIndex(i);
}

class CommDllDialogsTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        ds.addField(QStringLiteral("PluCode"), ftString, 20);
        ds.addField(QStringLiteral("PluName"), ftString, 20);
        ds.addField(QStringLiteral("TryTimes"), ftInteger);
        ds.addField(QStringLiteral("Price"), ftFloat)->setDisplayFormat(QStringLiteral("#,##0.00"));
        ds.CreateDataSet();
        struct Row {
            const char* code;
            const char* name;
            int times;
            double price;
        } rows[] = {{"R1", "Abcd", 1, 10}, {"R2", "abc", 2, 20}, {"R3", "ABC", 3, 30},
                    {"R4", "O'Neil", 4, 40}, {"R5", "面霜", 5, 50}};
        for (const Row& r : rows) {
            ds.Append();
            ds.FieldByName(QStringLiteral("PluCode"))->setAsString(QString::fromUtf8(r.code));
            ds.FieldByName(QStringLiteral("PluName"))->setAsString(QString::fromUtf8(r.name));
            ds.FieldByName(QStringLiteral("TryTimes"))->setAsInteger(r.times);
            ds.FieldByName(QStringLiteral("Price"))->setAsFloat(r.price);
            ds.Post();
        }
        ds.First();
        src.setDataSet(&ds);
        design(grid);
    }
    // The layout the form was designed with.
    void design(TDBGridEh& g)
    {
        g.setDataSource(&src);
        const char* titles[] = {"试用品|编码", "试用品|名称", "试用次数", "单价"};
        const int widths[] = {80, 120, 60, 90};
        for (int i = 0; i < 4; ++i) {
            TColumnEh* c = g.Columns()->Add();
            c->setField(ds.Fields()[i]);
            c->Title()->setCaption(QString::fromUtf8(titles[i]));
            c->setWidth(widths[i]);
        }
    }
    static QStringList shape(TDBGridEh& g)
    {
        QStringList out;
        for (int i = 0; i < g.Columns()->Count(); ++i) {
            TColumnEh* c = g.Columns()->Items(i);
            out << QStringLiteral("%1 %2 %3 %4")
                       .arg(c->FieldName(), c->Title()->Caption())
                       .arg(c->Width())
                       .arg(c->Visible() ? 1 : 0);
        }
        return out;
    }
    TClientDataSet ds;
    TDataSource src;
    TDBGridEh grid;
};

TEST_F(CommDllDialogsTest, LocateFindsWhatTheUserAsksForAndRemembersIt)
{
    drive("frmLocate", [](QDialog* d) {
        auto* field = child<QComboBox>(d, "cmbField");
        ASSERT_TRUE(field);
        EXPECT_EQ(field->count(), 4);
        EXPECT_EQ(field->itemText(1), QStringLiteral("试用品-名称"));
        choose(field, QStringLiteral("PluName"));
        child<QLineEdit>(d, "edtValue")->setText(QStringLiteral("ab"));
        child<QCheckBox>(d, "chkCase")->setChecked(true);
        EXPECT_TRUE(child<QCheckBox>(d, "chkPartial")->isChecked());
        click(d, "btnOK");
    });
    EXPECT_TRUE(ShowLocateDialog(&grid));
    EXPECT_EQ(ds.RecNo(), 2); // "abc": case-sensitive prefix

    // Opened again: the last search is offered; whole values only, any case.
    ds.First();
    drive("frmLocate", [](QDialog* d) {
        EXPECT_EQ(child<QLineEdit>(d, "edtValue")->text(), QStringLiteral("ab"));
        EXPECT_TRUE(child<QCheckBox>(d, "chkCase")->isChecked());
        choose(child<QComboBox>(d, "cmbField"), QStringLiteral("PluName"));
        child<QLineEdit>(d, "edtValue")->setText(QStringLiteral("o'neil"));
        child<QCheckBox>(d, "chkCase")->setChecked(false);
        child<QCheckBox>(d, "chkPartial")->setChecked(false);
        click(d, "btnOK");
    });
    EXPECT_TRUE(ShowLocateDialog(&grid));
    EXPECT_EQ(ds.RecNo(), 4);

    // Nothing found, a number field given a text, and Cancel.
    drive("frmLocate", [](QDialog* d) {
        child<QLineEdit>(d, "edtValue")->setText(QStringLiteral("zz"));
        click(d, "btnOK");
    });
    EXPECT_FALSE(ShowLocateDialog(&grid));
    drive("frmLocate", [](QDialog* d) {
        choose(child<QComboBox>(d, "cmbField"), QStringLiteral("TryTimes"));
        child<QLineEdit>(d, "edtValue")->setText(QStringLiteral("zz"));
        click(d, "btnOK");
    });
    EXPECT_FALSE(ShowLocateDialog(&grid));
    drive("frmLocate", [](QDialog* d) { click(d, "btnCancel"); });
    EXPECT_FALSE(ShowLocateDialog(&grid));
    EXPECT_EQ(ds.RecNo(), 4);
    EXPECT_EQ(prompts->texts(),
              (QStringList{QStringLiteral("没有找到相应的数据行！"), QStringLiteral("数据类型不一致！")}));
}

TEST_F(CommDllDialogsTest, FilterComposesTheLinesIntoTheDataSetsFilter)
{
    drive("frmFilter", [](QDialog* d) {
        auto* table = child<QTableWidget>(d, "tblConditions");
        ASSERT_TRUE(table);
        EXPECT_EQ(table->rowCount(), 1);
        choose(child<QComboBox>(d, "cmbField0"), QStringLiteral("TryTimes"));
        chooseText(child<QComboBox>(d, "cmbOp0"), QStringLiteral("大于"));
        child<QLineEdit>(d, "edtValue0")->setText(QStringLiteral("3"));
        click(d, "btnAdd");
        choose(child<QComboBox>(d, "cmbJoin1"), QStringLiteral("OR"));
        choose(child<QComboBox>(d, "cmbField1"), QStringLiteral("PluName"));
        // Text comparisons only for a text field.
        EXPECT_EQ(child<QComboBox>(d, "cmbOp0")->findText(QStringLiteral("包含")), -1);
        chooseText(child<QComboBox>(d, "cmbOp1"), QStringLiteral("包含"));
        child<QLineEdit>(d, "edtValue1")->setText(QStringLiteral("b"));
        EXPECT_EQ(child<QLineEdit>(d, "edtExpr")->text(),
                  QStringLiteral("([TryTimes] > 3) OR ([PluName] LIKE '%b%')"));
        click(d, "btnOK");
    });
    ShowFilterDialog(&grid);
    EXPECT_TRUE(ds.Filtered());
    EXPECT_EQ(ds.RecordCount(), 4); // Abcd, abc, O'Neil, 面霜

    // Opened again with the same lines; a quote in a value is a literal quote.
    drive("frmFilter", [](QDialog* d) {
        EXPECT_EQ(child<QTableWidget>(d, "tblConditions")->rowCount(), 2);
        EXPECT_EQ(child<QComboBox>(d, "cmbField0")->currentData().toString(), QStringLiteral("TryTimes"));
        EXPECT_EQ(child<QLineEdit>(d, "edtValue0")->text(), QStringLiteral("3"));
        child<QTableWidget>(d, "tblConditions")->setCurrentCell(0, 1);
        click(d, "btnDelete");
        chooseText(child<QComboBox>(d, "cmbOp0"), QStringLiteral("等于"));
        child<QLineEdit>(d, "edtValue0")->setText(QStringLiteral("O'Neil"));
        click(d, "btnOK");
    });
    ShowFilterDialog(&grid);
    EXPECT_EQ(ds.Filter(), QStringLiteral("([PluName] = 'O''Neil')"));
    EXPECT_EQ(ds.RecordCount(), 1);

    // A number field refuses a text: the warning, and the dialog stays until cancelled.
    drive("frmFilter", [](QDialog* d) {
        choose(child<QComboBox>(d, "cmbField0"), QStringLiteral("Price"));
        chooseText(child<QComboBox>(d, "cmbOp0"), QStringLiteral("小于等于"));
        child<QLineEdit>(d, "edtValue0")->setText(QStringLiteral("abc"));
        click(d, "btnOK");
        EXPECT_NE(d->result(), int(QDialog::Accepted));
        click(d, "btnCancel");
    });
    ShowFilterDialog(&grid);
    EXPECT_EQ(prompts->texts(), QStringList{QStringLiteral("“单价”的值应为数值！")});
    EXPECT_EQ(ds.RecordCount(), 1);

    // Clearing shows every row again.
    drive("frmFilter", [](QDialog* d) { click(d, "btnClear"); });
    ShowFilterDialog(&grid);
    EXPECT_EQ(ds.RecordCount(), 5);
    drive("frmFilter", [](QDialog* d) { EXPECT_EQ(child<QTableWidget>(d, "tblConditions")->rowCount(), 1); });
    ShowFilterDialog(&grid);
}

TEST_F(CommDllDialogsTest, TypedWildcardsAreTextAndNumbersMustBeFinite)
{
    // "包含 %" means a percent sign, which no name has.
    drive("frmFilter", [](QDialog* d) {
        choose(child<QComboBox>(d, "cmbField0"), QStringLiteral("PluName"));
        chooseText(child<QComboBox>(d, "cmbOp0"), QStringLiteral("包含"));
        child<QLineEdit>(d, "edtValue0")->setText(QStringLiteral("%"));
        EXPECT_EQ(child<QLineEdit>(d, "edtExpr")->text(), QStringLiteral("([PluName] LIKE '%\\%%' ESCAPE '\\')"));
        click(d, "btnOK");
    });
    ShowFilterDialog(&grid);
    EXPECT_TRUE(ds.Filtered());
    EXPECT_EQ(ds.RecordCount(), 0);

    // "开头是 _bc" is no single-character wildcard either; "O'N" still starts O'Neil.
    for (const auto& [typed, rows] : {std::pair{QStringLiteral("_bc"), 0}, std::pair{QStringLiteral("O'N"), 1}}) {
        drive("frmFilter", [typed = typed](QDialog* d) {
            chooseText(child<QComboBox>(d, "cmbOp0"), QStringLiteral("开头是"));
            child<QLineEdit>(d, "edtValue0")->setText(typed);
            click(d, "btnOK");
        });
        ShowFilterDialog(&grid);
        EXPECT_EQ(ds.RecordCount(), rows) << typed.toStdString();
    }

    for (const char* notANumber : {"inf", "nan", "-INF"}) {
        prompts->calls.clear();
        drive("frmFilter", [notANumber](QDialog* d) {
            choose(child<QComboBox>(d, "cmbField0"), QStringLiteral("Price"));
            chooseText(child<QComboBox>(d, "cmbOp0"), QStringLiteral("小于等于"));
            child<QLineEdit>(d, "edtValue0")->setText(QString::fromLatin1(notANumber));
            click(d, "btnOK");
            EXPECT_NE(d->result(), int(QDialog::Accepted));
            click(d, "btnCancel");
        });
        ShowFilterDialog(&grid);
        EXPECT_EQ(prompts->texts(), QStringList{QStringLiteral("“单价”的值应为数值！")}) << notANumber;
    }
}

TEST_F(CommDllDialogsTest, ColumnSetUpIsStoredPerUserAndTheDefaultComesBack)
{
    const QString key = QStringLiteral("TryOutQH");
    const QStringList designed = shape(grid);
    // Show of the form: the designed layout is the default; nothing of the user's yet.
    SaveDefaultLayout(1, db.get(), &grid, key, QStringLiteral("1001"));
    LoadCurrentLayout(1, db.get(), &grid, key, QStringLiteral("1001"));
    EXPECT_EQ(shape(grid), designed);

    drive("frmColumnSet", [](QDialog* d) {
        auto* table = child<QTableWidget>(d, "tblColumns");
        ASSERT_TRUE(table);
        ASSERT_EQ(table->rowCount(), 4);
        EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("试用品|编码"));
        EXPECT_EQ(child<QSpinBox>(d, "spnWidth1")->value(), 120);
        table->item(1, 0)->setCheckState(Qt::Unchecked);          // hide the name
        table->item(0, 0)->setText(QStringLiteral("编码"));          // retitle the code
        child<QSpinBox>(d, "spnWidth3")->setValue(150);             // widen the price
        table->setCurrentCell(3, 0);
        click(d, "btnUp");                                          // price before the count
        EXPECT_EQ(table->item(2, 2)->text(), QStringLiteral("Price"));
        EXPECT_EQ(child<QSpinBox>(d, "spnWidth2")->value(), 150);
        click(d, "btnOK");
    });
    EXPECT_TRUE(ShowColumnDialog(1, db.get(), &grid, key, QStringLiteral("1001")));
    const QStringList mine{QStringLiteral("PluCode 编码 80 1"), QStringLiteral("PluName 试用品|名称 120 0"),
                           QStringLiteral("Price 单价 150 1"), QStringLiteral("TryTimes 试用次数 60 1")};
    EXPECT_EQ(shape(grid), mine);
    EXPECT_EQ(queryRows(*db, QStringLiteral("select UserCode,ColNo,FieldName,Width,Visible from tXtGridColumn"
                                            " where LayoutKey='TryOutQH' and LayoutType='C' order by ColNo")),
              (QStringList{QStringLiteral("1001\t1\tPluCode\t80\t1"), QStringLiteral("1001\t2\tPluName\t120\t0"),
                           QStringLiteral("1001\t3\tPrice\t150\t1"), QStringLiteral("1001\t4\tTryTimes\t60\t1")}));

    // The form opened again: the designed layout first, then the user's own.
    {
        TDBGridEh again;
        design(again);
        SaveDefaultLayout(1, db.get(), &again, key, QStringLiteral("1001"));
        LoadCurrentLayout(1, db.get(), &again, key, QStringLiteral("1001"));
        EXPECT_EQ(shape(again), mine);
        // Another user still has the designed layout.
        TDBGridEh theirs;
        design(theirs);
        LoadCurrentLayout(1, db.get(), &theirs, key, QStringLiteral("1002"));
        EXPECT_EQ(shape(theirs), designed);
        // A width dragged by the user is saved at close.
        again.Columns()->Items(0)->setWidth(99);
        SaveCurrentLayout(1, db.get(), &again, key, QStringLiteral("1001"));
        EXPECT_EQ(queryRows(*db, QStringLiteral("select Width from tXtGridColumn where LayoutKey='TryOutQH'"
                                                " and UserCode='1001' and LayoutType='C' and FieldName='PluCode'")),
                  QStringList{QStringLiteral("99")});
    }

    // Hiding every column is refused; "恢复默认" brings the designed layout back.
    drive("frmColumnSet", [](QDialog* d) {
        auto* table = child<QTableWidget>(d, "tblColumns");
        for (int r = 0; r < table->rowCount(); ++r) table->item(r, 0)->setCheckState(Qt::Unchecked);
        click(d, "btnOK");
        EXPECT_NE(d->result(), int(QDialog::Accepted));
        click(d, "btnDefault");
        EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("试用品|编码"));
        EXPECT_EQ(table->item(3, 2)->text(), QStringLiteral("Price"));
        click(d, "btnOK");
    });
    EXPECT_TRUE(ShowColumnDialog(1, db.get(), &grid, key, QStringLiteral("1001")));
    EXPECT_EQ(shape(grid), designed);
    EXPECT_EQ(prompts->texts(), QStringList{QStringLiteral("至少要显示一列！")});

    // Cancel changes nothing.
    drive("frmColumnSet", [](QDialog* d) {
        child<QTableWidget>(d, "tblColumns")->item(0, 0)->setCheckState(Qt::Unchecked);
        click(d, "btnCancel");
    });
    EXPECT_TRUE(ShowColumnDialog(1, db.get(), &grid, key, QStringLiteral("1001")));
    EXPECT_EQ(shape(grid), designed);
}

// --- picking --------------------------------------------------------------------------------

const QString kOrgSource = QStringLiteral("SubShop Where OrgType<>'2' and IsDbDeploy ='1' ");

QTableView* rowsOf(QDialog* d) { return child<QTableView>(d, "grdRows"); }

TEST_F(CommDllDialogsTest, SinglePickingNarrowsAsTheUserTypesAndEnterChooses)
{
    drive("frmSelectGrid", [](QDialog* d) {
        QTableView* rows = rowsOf(d);
        auto* search = child<QLineEdit>(d, "edtSearch");
        ASSERT_TRUE(rows && search);
        EXPECT_EQ(rows->model()->rowCount(), 4);
        EXPECT_EQ(rows->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("组织编码"));
        EXPECT_EQ(rows->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("组织名称"));
        typeText(search, QStringLiteral("楼"));
        EXPECT_EQ(rows->model()->rowCount(), 3);
        QTest::keyClick(search, Qt::Key_Down); // the arrows move through the rows
        EXPECT_EQ(rows->currentIndex().row(), 1);
        QTest::keyClick(search, Qt::Key_Return);
    });
    EXPECT_EQ(PickFromGrid(db.get(), kOrgSource, QStringLiteral("OrgCode|OrgName"),
                           QStringLiteral("组织编码|组织名称")),
              QStringLiteral("0102"));

    drive("frmSelectGrid", [](QDialog* d) {
        typeText(child<QLineEdit>(d, "edtSearch"), QStringLiteral("香水"));
        EXPECT_EQ(rowsOf(d)->model()->rowCount(), 1);
        click(d, "btnOK");
    });
    EXPECT_EQ(PickFromGrid(db.get(), kOrgSource, QStringLiteral("OrgCode|OrgName"),
                           QStringLiteral("组织编码|组织名称")),
              QStringLiteral("0103"));

    // Nothing left to choose: Enter does nothing; then Escape.
    drive("frmSelectGrid", [](QDialog* d) {
        typeText(child<QLineEdit>(d, "edtSearch"), QStringLiteral("没有这个"));
        EXPECT_EQ(rowsOf(d)->model()->rowCount(), 0);
        QTest::keyClick(child<QLineEdit>(d, "edtSearch"), Qt::Key_Return);
        EXPECT_NE(d->result(), int(QDialog::Accepted));
        click(d, "btnCancel");
    });
    EXPECT_EQ(PickFromGrid(db.get(), kOrgSource, QStringLiteral("OrgCode|OrgName"),
                           QStringLiteral("组织编码|组织名称")),
              QString());
    EXPECT_TRUE(prompts->texts().isEmpty());
}

TEST_F(CommDllDialogsTest, MultiColumnPickingJoinsTheColumnsAndADoubleClickChooses)
{
    const QString advisors = QStringLiteral("Staffs S,XtUserSub X, UserOrg O") +
                             QStringLiteral(" Where X.UGrpCode ='01' and S.StaffCode = X.StaffCode and S.StaffCode = "
                                            "O.StaffCode and O.OrgCode = '0101' ");
    drive("frmSelectGrid", [](QDialog* d) {
        QTableView* rows = rowsOf(d);
        ASSERT_TRUE(rows);
        d->show();
        ASSERT_EQ(rows->model()->rowCount(), 2);
        QModelIndex second;
        for (int r = 0; r < 2; ++r)
            if (rows->model()->index(r, 0).data().toString() == QStringLiteral("3002")) second = rows->model()->index(r, 1);
        ASSERT_TRUE(second.isValid());
        // A double click as the window system delivers it: a first click, then the second
        // press that comes as a double click.
        const QPoint at = rows->visualRect(second).center();
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, at);
    });
    EXPECT_EQ(PickFromGridMultiLine(db.get(), advisors, QStringLiteral("S.StaffCode|S.StaffName"),
                                    QStringLiteral("美容顾问编码|美容顾问姓名"), 2),
              QStringLiteral("3002+陈敏"));

    // The same good on several bills is offered once.
    const QString goods = QStringLiteral("DrawForm F,DrawDetail D ") +
                          QStringLiteral(" Where F.DrawNo = D.DrawNo and F.OrgCode = '0101' and F.BillType  ='1' and "
                                         "F.RzDate<>'' and F.RzDate is not null ");
    const QStringList distinct = queryRows(*db, QStringLiteral("select distinct D.PluCode,D.PluName from ") + goods);
    const QStringList all = queryRows(*db, QStringLiteral("select D.PluCode,D.PluName from ") + goods);
    ASSERT_GT(all.size(), distinct.size());
    QString first;
    drive("frmSelectGrid", [&](QDialog* d) {
        EXPECT_EQ(rowsOf(d)->model()->rowCount(), distinct.size());
        first = rowsOf(d)->model()->index(0, 0).data().toString() + QLatin1Char('+') +
                rowsOf(d)->model()->index(0, 1).data().toString();
        QTest::keyClick(child<QLineEdit>(d, "edtSearch"), Qt::Key_Enter);
    });
    const QString chosen = PickFromGridMultiLine(db.get(), goods, QStringLiteral("D.PluCode|D.PluName"),
                                                 QStringLiteral("试用品编码|试用品名称"), 2);
    EXPECT_EQ(chosen, first);
    EXPECT_TRUE(distinct.contains(QString(chosen).replace(QLatin1Char('+'), QLatin1Char('\t'))));
}

TEST_F(CommDllDialogsTest, APickingStatementThatFailsShowsTheDatabaseMessage)
{
    setModalHook([](QDialog*) -> int {
        ADD_FAILURE() << "no dialog expected";
        return 0;
    });
    EXPECT_EQ(PickFromGrid(db.get(), QStringLiteral("NoSuchTable"), QStringLiteral("A|B"), QStringLiteral("a|b")),
              QString());
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_TRUE(prompts->calls[0].text.contains(QStringLiteral("NoSuchTable"), Qt::CaseInsensitive))
        << prompts->calls[0].text.toStdString();
}

} // namespace
