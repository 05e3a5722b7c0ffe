// The format rights dialog: the tree it builds from the tables, select all and invert on the
// selected node's scope, and what a confirm writes.
#include "print/PrintRight.h"

#include "host/include/PubProcDll.h"
#include "print/PrintFmt.h"
#include "tests/support/TestSupport.h"

#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// Readable QStrings in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

class PrintRightTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        CurPrnCode = u"TryOut"_s;
        // Format 4 has no rights rows at all.
        db->executeScript(u"insert into tXtPrnFormat values ('1','TryOut',4,'1','无权限格式','')"_s);
    }
    void TearDown() override
    {
        delete r;
        HostTest::TearDown();
    }
    void open()
    {
        r = TfrmBase::create<TfrmPrintRight>();
        r->show();
    }
    QTreeWidgetItem* root() const { return r->fcRightTree->topLevelItem(0); }
    QTreeWidgetItem* format(int serial) const
    {
        for (int i = 0; i < root()->childCount(); ++i)
            if (root()->child(i)->data(0, TfrmPrintRight::kKeyRole).toString() == QString::number(serial))
                return root()->child(i);
        return nullptr;
    }
    // The ticked group codes under a format node.
    QStringList ticked(int serial) const
    {
        QStringList out;
        QTreeWidgetItem* f = format(serial);
        for (int i = 0; f && i < f->childCount(); ++i)
            if (f->child(i)->checkState(0) == Qt::Checked)
                out << f->child(i)->data(0, TfrmPrintRight::kKeyRole).toString();
        return out;
    }
    QStringList rows(int serial)
    {
        return queryRows(*db, u"select UGrpCode from tXtRightPrn where PrnType='1' and PrnCode='TryOut' and "
                              u"SerialNo=%1 order by UGrpCode"_s.arg(serial));
    }
    int rightRows() { return queryRows(*db, u"select count(*) from tXtRightPrn"_s).value(0).toInt(); }

    TfrmPrintRight* r = nullptr;
    const QStringList allGroups{u"01"_s, u"02"_s, u"03"_s, u"04"_s, u"05"_s};
};

TEST_F(PrintRightTest, TheTreeHoldsTheShopItsFormatsOfTheEditionAndEveryGroupTickedWhenItHoldsTheRight)
{
    open();
    EXPECT_EQ(r->windowTitle(), u"用户打印权限设置"_s);
    EXPECT_EQ(r->size(), QSize(356, 301));
    ASSERT_EQ(r->fcRightTree->topLevelItemCount(), 1);
    EXPECT_EQ(root()->text(0), u"一楼化妆品"_s);
    EXPECT_EQ(root()->data(0, TfrmPrintRight::kLevelRole).toString(), u"0"_s);
    EXPECT_EQ(root()->data(0, TfrmPrintRight::kImageRole).toInt(), 3);
    EXPECT_FALSE(root()->flags() & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(root()->isExpanded());

    // Edition "1": format 1 (edition "0") is not listed.
    ASSERT_EQ(root()->childCount(), 3);
    QTreeWidgetItem* f3 = root()->child(1);
    EXPECT_EQ(f3->text(0), u"3-试用登记通用"_s);
    EXPECT_EQ(f3->data(0, TfrmPrintRight::kLevelRole).toString(), u"1"_s);
    EXPECT_EQ(f3->data(0, TfrmPrintRight::kImageRole).toInt(), 8);
    EXPECT_FALSE(f3->flags() & Qt::ItemIsUserCheckable);
    ASSERT_EQ(f3->childCount(), 5);
    QTreeWidgetItem* g = f3->child(0);
    EXPECT_EQ(g->text(0), u"01-美容顾问"_s);
    EXPECT_EQ(g->data(0, TfrmPrintRight::kLevelRole).toString(), u"2"_s);
    EXPECT_EQ(g->data(0, TfrmPrintRight::kKeyRole).toString(), u"01"_s);
    EXPECT_EQ(g->data(0, TfrmPrintRight::kImageRole).toInt(), 2);
    EXPECT_EQ(g->data(0, TfrmPrintRight::kSelectedImageRole).toInt(), 0);
    EXPECT_TRUE(g->flags() & Qt::ItemIsUserCheckable);

    EXPECT_EQ(ticked(2), QStringList{u"02"_s});
    EXPECT_EQ(ticked(3), (QStringList{u"02"_s, u"03"_s, u"04"_s}));
    // A format without any rights row still lists every group, none ticked.
    EXPECT_EQ(format(4)->childCount(), 5);
    EXPECT_TRUE(ticked(4).isEmpty());
}

TEST_F(PrintRightTest, TheGroupListKeepsEveryGroupOnceWhateverRightsOtherFormatsHold)
{
    const QList<PrnGroupRight> groups = LoadPrnGroupRights(db.get(), u"TryOut"_s, 3);
    QStringList seen;
    for (const PrnGroupRight& g : groups) seen << g.UGrpCode + (g.Granted ? u"+"_s : u"-"_s);
    EXPECT_EQ(seen, (QStringList{u"01-"_s, u"02+"_s, u"03+"_s, u"04+"_s, u"05-"_s}));
    // Another print type's right under the same number is not this format's right.
    db->executeScript(u"insert into tXtRightPrn values ('2','TryOut',4,'01')"_s);
    for (const PrnGroupRight& g : LoadPrnGroupRights(db.get(), u"TryOut"_s, 4)) EXPECT_FALSE(g.Granted);
}

TEST_F(PrintRightTest, ConfirmWithoutChangesWritesNothingAndATickIsInsertedOnce)
{
    open();
    const int before = rightRows();
    r->btnOk->click();
    EXPECT_EQ(r->LastInserted() + r->LastDeleted(), 0);
    EXPECT_EQ(rightRows(), before);

    format(4)->child(2)->setCheckState(0, Qt::Checked);
    r->btnOk->click();
    r->btnOk->click();
    EXPECT_EQ(r->LastInserted(), 0);
    EXPECT_EQ(rows(4), QStringList{u"03"_s});
    EXPECT_EQ(rightRows(), before + 1);
    EXPECT_TRUE(r->isVisible()); // confirm neither closes nor reports
    EXPECT_TRUE(prompts->calls.empty());

    format(3)->child(1)->setCheckState(0, Qt::Unchecked);
    r->btnOk->click();
    EXPECT_EQ(r->LastDeleted(), 1);
    EXPECT_EQ(rows(3), (QStringList{u"03"_s, u"04"_s}));
}

TEST_F(PrintRightTest, SelectAllOnTheRootGrantsEveryGroupEveryListedFormatAndLeavesTheOtherEdition)
{
    open();
    r->BtnSelect->click(); // nothing selected: nothing happens
    EXPECT_TRUE(ticked(4).isEmpty());

    r->fcRightTree->setCurrentItem(root());
    r->BtnSelect->click();
    r->btnOk->click();
    for (int serial : {2, 3, 4}) EXPECT_EQ(rows(serial), allGroups) << serial;
    EXPECT_EQ(rows(1), (QStringList{u"02"_s, u"03"_s})); // edition "0": untouched
}

TEST_F(PrintRightTest, SelectAllAndInvertActOnTheSelectedFormatOrGroupOnly)
{
    open();
    r->fcRightTree->setCurrentItem(format(3));
    r->Button1->click();
    EXPECT_EQ(ticked(3), (QStringList{u"01"_s, u"05"_s}));
    EXPECT_EQ(ticked(2), QStringList{u"02"_s});
    r->Button1->click();
    EXPECT_EQ(ticked(3), (QStringList{u"02"_s, u"03"_s, u"04"_s}));

    r->fcRightTree->setCurrentItem(format(4)->child(4));
    r->BtnSelect->click();
    EXPECT_EQ(ticked(4), QStringList{u"05"_s});
    r->Button1->click();
    EXPECT_TRUE(ticked(4).isEmpty());

    r->fcRightTree->setCurrentItem(format(2));
    r->BtnSelect->click();
    EXPECT_EQ(ticked(2), allGroups);
    EXPECT_TRUE(ticked(4).isEmpty());
}

TEST_F(PrintRightTest, AConfirmThatFailsHalfwayWritesNothing)
{
    // The insert for group 05 fails; the rows before it in tree order must not stay.
    db->executeScript(u"create trigger NoFive before insert on tXtRightPrn when new.UGrpCode='05' "
                      u"begin select raise(abort, '组05不能授权'); end"_s);
    open();
    const int before = rightRows();
    r->fcRightTree->setCurrentItem(format(4));
    r->BtnSelect->click();
    r->btnOk->click();
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_TRUE(prompts->calls[0].text.contains(u"组05不能授权"_s));
    EXPECT_EQ(rightRows(), before);
}

} // namespace
