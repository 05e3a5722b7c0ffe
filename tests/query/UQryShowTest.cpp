#include "query/UQryShow.h"

#include "query/PubQuery.h"
#include "tests/query/QryTestSql.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace qrytest;

namespace {

class FrameTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        addQuantityField(*db);
        window = std::make_unique<QWidget>();
        auto* lay = new QVBoxLayout(window.get());
        frame = new TframeQryShow(window.get());
        other = new QLineEdit(window.get());
        lay->addWidget(frame);
        lay->addWidget(other);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        other->setFocus();
        frame->SetQryType(QStringLiteral("TryOutR"));
    }
    void TearDown() override
    {
        window.reset();
        HostTest::TearDown();
    }

    // The user picks an item (its text arrives as a change of the box).
    void choose(const QString& item) { frame->cmbItem->setEditText(item); }
    void focus(QWidget* w)
    {
        w->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
    QStringList reportRows(const QString& where)
    {
        return runRows(*db, summaryReportSql(where), {QStringLiteral("OrgCode"), QStringLiteral("PluCode")}, true);
    }

    std::unique_ptr<QWidget> window;
    TframeQryShow* frame = nullptr;
    QLineEdit* other = nullptr;
};

} // namespace

TEST_F(FrameTest, ControlsAndItemList)
{
    EXPECT_EQ(frame->height(), 30);
    EXPECT_EQ(frame->lblItem->text(), u("项目："));
    EXPECT_EQ(frame->lblOperator->text(), u("运算符："));
    EXPECT_EQ(frame->lblValue->text(), u("设定值："));
    EXPECT_EQ(frame->cmbItem->currentText(), u("<请输入拼音首字母>"));
    EXPECT_EQ(frame->cmbItem->palette().color(QPalette::Text), QColor(128, 128, 128));
    EXPECT_EQ(frame->cmbOperator->count(), 10);
    EXPECT_EQ(frame->cmbOperator->maxVisibleItems(), 10);
    EXPECT_FALSE(frame->cmbOperator->isEditable());
    EXPECT_TRUE(frame->Ready());

    EXPECT_EQ(frame->cmbItem->count(), 0);
    focus(frame->cmbItem); // the first entry loads the list and takes the hint away
    EXPECT_EQ(frame->lstItem.mid(0, 2), (QStringList{u("门店"), QryWords::Separator}));
    EXPECT_EQ(frame->lstItem.last(), u("数量"));
    EXPECT_EQ(frame->cmbItem->count(), frame->lstItem.size());
    EXPECT_EQ(frame->cmbItem->currentText(), QString());
    focus(other); // leaving it empty shows the hint again
    EXPECT_EQ(frame->cmbItem->currentText(), u("<请输入拼音首字母>"));
}

TEST_F(FrameTest, ConditionWithoutItem)
{
    frame->LoadQryItems();
    QString where, desc;
    EXPECT_EQ(frame->GetQryCondition(where, desc), TQryConditionOutcome::NoItem);
    EXPECT_EQ(desc, u("<全部>"));
    EXPECT_EQ(where, QString());

    // A condition of the query dialog survives a refresh with the item box untouched, also
    // after the reload that follows the dialog.
    where = QStringLiteral(" (x=1)");
    desc = QStringLiteral("(x = 1)");
    frame->LoadQryItems();
    frame->GetQryCondition(where, desc);
    EXPECT_EQ(where, QStringLiteral(" (x=1)"));
    EXPECT_EQ(desc, QStringLiteral("(x = 1)"));

    // Typed and emptied again: no restriction.
    focus(frame->cmbItem);
    QTest::keyClicks(frame->cmbItem, QStringLiteral("zz"));
    frame->cmbItem->setEditText(QString());
    EXPECT_TRUE(frame->Cleared());
    focus(other);
    EXPECT_EQ(frame->GetQryCondition(where, desc), TQryConditionOutcome::NoItem);
    EXPECT_EQ(desc, u("<全部>"));
    EXPECT_EQ(where, QString());

    // The query dialog used after that: its condition holds again after the reload.
    where = QStringLiteral(" (y=2)");
    desc = QStringLiteral("(y = 2)");
    frame->LoadQryItems();
    EXPECT_FALSE(frame->Cleared());
    frame->GetQryCondition(where, desc);
    EXPECT_EQ(where, QStringLiteral(" (y=2)"));
}

TEST_F(FrameTest, TypedInitialsRunAndRememberTheCondition)
{
    frame->LoadQryItems();
    focus(frame->cmbItem);
    QTest::keyClicks(frame->cmbItem, QStringLiteral("sl"));
    EXPECT_EQ(frame->cmbItem->count(), 1);
    EXPECT_EQ(frame->cmbItem->itemText(0), u("数量"));
    QTest::keyClick(frame->cmbItem, Qt::Key_Return);
    EXPECT_EQ(frame->cmbItem->currentText(), u("数量"));
    EXPECT_EQ(frame->cmbItem->count(), frame->lstItem.size());

    focus(frame->cmbOperator); // an integer field: the comparison operators
    EXPECT_EQ(frame->cmbOperator->count(), 6);
    frame->cmbOperator->setCurrentIndex(frame->cmbOperator->findText(QStringLiteral(">=")));
    focus(frame->cmbValue);
    QTest::keyClicks(frame->cmbValue, QStringLiteral("5"));
    focus(other);
    EXPECT_EQ(frame->cmbValue->currentText(), QStringLiteral("5"));

    QString where, desc;
    EXPECT_EQ(frame->GetQryCondition(where, desc), TQryConditionOutcome::Built);
    EXPECT_EQ(where, QStringLiteral("(IsNull(W.Counts,0)>=5)"));
    EXPECT_EQ(desc, u("数量 >= '5'"));
    EXPECT_FALSE(reportRows(where).isEmpty());

    // Only after the next reload is the remembered condition among the items; choosing it
    // fills its operator and value.
    EXPECT_FALSE(frame->lstItem.contains(u("数量>=")));
    frame->LoadQryItems();
    EXPECT_EQ(frame->lstItem.mid(0, 3), (QStringList{u("门店"), u("数量>="), QryWords::Separator}));
    EXPECT_EQ(frame->cmbOperator->currentIndex(), -1);
    choose(u("数量>="));
    EXPECT_EQ(frame->cmbOperator->currentText(), QStringLiteral(">="));
    EXPECT_EQ(frame->cmbValue->currentText(), QStringLiteral("5"));
    EXPECT_TRUE(frame->cmbOperator->isEnabled());

    // Only the value changed: stored in that line and used now.
    frame->cmbValue->setEditText(QStringLiteral("8"));
    frame->GetQryCondition(where, desc);
    EXPECT_EQ(where, QStringLiteral("((IsNull(W.Counts,0)>=8))"));
    EXPECT_EQ(queryRows(*db, QStringLiteral("select FieldValue from tXtQrySave where QryName=") + QuotedStr(u("数量>="))),
              QStringList{QStringLiteral("8")});

    // The operator changed: a new remembered condition, this run still uses the saved line.
    focus(frame->cmbOperator);
    frame->cmbOperator->setCurrentIndex(frame->cmbOperator->findText(QStringLiteral("<")));
    frame->GetQryCondition(where, desc);
    EXPECT_EQ(where, QStringLiteral("((IsNull(W.Counts,0)>=8))"));
    EXPECT_EQ(queryRows(*db, QStringLiteral("select Operator,FieldValue from tXtQrySave where QryName=") + QuotedStr(u("数量<"))),
              QStringList{QStringLiteral("<\t8")});
}

TEST_F(FrameTest, SavedConditionOfThreeLinesAndTheSeparator)
{
    exec(*db, QStringLiteral("insert into tXtQrySave values"
                             "('TryOutR',4,1,'three','S.OrgType','=','") + u("门店") + QStringLiteral("','") + u("并且") +
                  QStringLiteral("'),('TryOutR',4,2,'three','W.Counts','>','2','") + u("或者") +
                  QStringLiteral("'),('TryOutR',4,3,'three','W.PluCode','") + u("左边含有") + QStringLiteral("','1003','") +
                  u("并且") + QStringLiteral("')"));
    frame->LoadQryItems();
    EXPECT_EQ(frame->lstItem.mid(0, 3), (QStringList{u("门店"), QStringLiteral("three"), QryWords::Separator}));
    choose(QStringLiteral("three"));
    EXPECT_FALSE(frame->cmbOperator->isEnabled());
    EXPECT_FALSE(frame->cmbValue->isEnabled());
    EXPECT_EQ(frame->cmbOperator->currentIndex(), -1);
    EXPECT_EQ(frame->cmbValue->currentText(), QString());

    QString where, desc;
    EXPECT_EQ(frame->GetQryCondition(where, desc), TQryConditionOutcome::Built);
    EXPECT_EQ(where, QStringLiteral("((IsNull(S.OrgType,'')='1') And (IsNull(W.Counts,0)>2) Or "
                                    "(IsNull(W.PluCode,'') like '1003%'))"));
    EXPECT_EQ(desc, u("(组织类型 = '门店') 并且") + QChar(13) + u("(数量 > '2') 或者") + QChar(13) +
                        u("(试用品编码 左边含有 '1003')"));
    const QStringList rows = reportRows(where);
    EXPECT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows, reportRows(QStringLiteral("((S.OrgType='1' and W.Counts>2) or W.PluCode like '1003%')")));
    EXPECT_NE(rows, reportRows(QString()));
    // Nothing is remembered for a saved condition of several lines.
    EXPECT_EQ(GetMaxQrySerial(QStringLiteral("TryOutR")), 4);

    choose(QryWords::Separator);
    EXPECT_FALSE(frame->cmbOperator->isEnabled());
    EXPECT_EQ(frame->GetQryCondition(where, desc), TQryConditionOutcome::Built);
    EXPECT_EQ(where, QString());
    EXPECT_EQ(desc, QString());

    choose(u("组织"));
    EXPECT_TRUE(frame->cmbOperator->isEnabled());
    EXPECT_TRUE(frame->cmbValue->isEnabled());
}

TEST_F(FrameTest, NumbersAreChecked)
{
    frame->LoadQryItems();
    choose(u("数量"));
    frame->cmbOperator->setCurrentIndex(0);
    frame->cmbValue->setEditText(QStringLiteral("5x"));
    QString where = QStringLiteral("keep"), desc = QStringLiteral("keep");
    EXPECT_EQ(frame->GetQryCondition(where, desc), TQryConditionOutcome::NumberRejected);
    EXPECT_EQ(where, QStringLiteral("keep"));
    EXPECT_EQ(desc, QStringLiteral("keep"));
    EXPECT_EQ(frame->cmbValue->currentText(), QString());
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame->cmbValue->hasFocus());
    EXPECT_EQ(GetMaxQrySerial(QStringLiteral("TryOutR")), 1); // nothing remembered

    // Leaving the value box with a bad number empties it and keeps the focus there.
    focus(other);
    focus(frame->cmbValue);
    QTest::keyClicks(frame->cmbValue, QStringLiteral("1.5"));
    focus(other);
    EXPECT_EQ(frame->cmbValue->currentText(), QString());
    EXPECT_TRUE(frame->cmbValue->hasFocus());

    // A text field takes any value.
    choose(u("试用品名称"));
    focus(frame->cmbValue);
    QTest::keyClicks(frame->cmbValue, QStringLiteral("abc"));
    focus(other);
    EXPECT_EQ(frame->cmbValue->currentText(), QStringLiteral("abc"));
}

TEST_F(FrameTest, ARememberedConditionOnANumberFieldChecksTheNumber)
{
    exec(*db, QStringLiteral("insert into tXtQrySave values('TryOutR',4,1,'") + u("数量>=") +
                  QStringLiteral("','W.Counts','>=','5','") + u("并且") + QStringLiteral("')"));
    frame->LoadQryItems();
    choose(u("数量>="));
    ASSERT_EQ(frame->cmbValue->currentText(), QStringLiteral("5"));

    // Leaving the value box with no number empties it and keeps the focus there.
    focus(frame->cmbValue);
    frame->cmbValue->setEditText(QString());
    QTest::keyClicks(frame->cmbValue, QStringLiteral("abc"));
    focus(other);
    EXPECT_EQ(frame->cmbValue->currentText(), QString());
    EXPECT_TRUE(frame->cmbValue->hasFocus());

    // Run without leaving the box: refused before anything is remembered.
    frame->cmbValue->setEditText(QStringLiteral("abc"));
    QString where = QStringLiteral("keep"), desc = QStringLiteral("keep");
    EXPECT_EQ(frame->GetQryCondition(where, desc), TQryConditionOutcome::NumberRejected);
    EXPECT_EQ(where, QStringLiteral("keep"));
    EXPECT_EQ(queryRows(*db, QStringLiteral("select FieldValue from tXtQrySave where QryName=") + QuotedStr(u("数量>="))),
              QStringList{QStringLiteral("5")});

    frame->cmbValue->setEditText(QStringLiteral("7"));
    EXPECT_EQ(frame->GetQryCondition(where, desc), TQryConditionOutcome::Built);
    EXPECT_EQ(where, QStringLiteral("((IsNull(W.Counts,0)>=7))"));
}

TEST_F(FrameTest, BoxesFollowTheItem)
{
    frame->LoadQryItems();
    choose(u("组织类型"));
    focus(frame->cmbOperator);
    EXPECT_EQ(frame->cmbOperator->count(), 2);
    focus(frame->cmbValue);
    EXPECT_EQ(frame->cmbValue->count(), 3);
    EXPECT_EQ(frame->cmbValue->itemText(1), u("总部仓库"));
    frame->cmbOperator->setCurrentIndex(frame->cmbOperator->findText(QStringLiteral("<>")));

    // The saved condition 门店 offers the operators of its field; the chosen one is kept.
    choose(u("门店"));
    EXPECT_EQ(frame->cmbOperator->currentText(), QStringLiteral("="));
    EXPECT_EQ(frame->cmbValue->currentText(), u("门店"));
    focus(frame->cmbOperator);
    EXPECT_EQ(frame->cmbOperator->count(), 2);
    EXPECT_EQ(frame->cmbOperator->currentText(), QStringLiteral("="));

    choose(u("试用品名称"));
    focus(other);
    focus(frame->cmbOperator);
    EXPECT_EQ(frame->cmbOperator->count(), 10);
    EXPECT_EQ(frame->cmbOperator->currentIndex(), -1);
    focus(frame->cmbValue);
    EXPECT_EQ(frame->cmbValue->count(), 0);

    frame->FreeQryData();
    QString where, desc;
    frame->cmbOperator->setCurrentIndex(frame->cmbOperator->findText(u("含有")));
    frame->cmbValue->setEditText(u("霜"));
    EXPECT_EQ(frame->GetQryCondition(where, desc), TQryConditionOutcome::Built); // data made anew
    EXPECT_EQ(where, QStringLiteral("(IsNull(G.PluName,'') like '%") + u("霜") + QStringLiteral("%')"));
    const QStringList rows = reportRows(where);
    EXPECT_FALSE(rows.isEmpty());
}
