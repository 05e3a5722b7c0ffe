// The calculated-field editor driven as a user drives it: typing, leaving boxes, entering the
// lists, double-clicking, answering the questions.
#include "calc/SetCalcFld.h"

#include "module/MISPub.h"
#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/ClientDataSet.h"
#include "tests/calc/CalcTestUtil.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString kRows = QStringLiteral(
    "select FldName,FldCaption,FldType,FldSize,FldExpress,FldFormat,IsSum,Remark from tXtQryField order by FldName");

class CalcEditor : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        ds.setObjectName(QStringLiteral("qryHead"));
        auto add = [&](const char* name, TFieldType t, const char* label, int tag = 0) {
            TField* field = ds.addField(QString::fromLatin1(name), t, t == ftString ? 20 : 0);
            field->setDisplayLabel(u8(label));
            field->setTag(tag);
            return field;
        };
        add("OrgCode", ftString, "组织|编码");
        add("PluName", ftString, " 试用品|名称 ");
        add("Price", ftCurrency, "单价");
        add("LyCount", ftFloat, "领用数量");
        add("A", ftInteger, "甲");
        add("TryTimes", ftLargeint, "试用次数");
        add("Flag", ftBoolean, "标志");
        add("ShopOnly", ftString, "门店不显示", 1);
        add("CentreOnly", ftString, "总部不显示", 2);
        add("Never", ftString, "从不显示", 3);
        add("JPrice", ftCurrency, "含税进价")->setOnGetText([](TField*, QString& t, bool) { t = QStringLiteral("*"); });
        add("Calc", ftString, "查找")->setFieldKind(fkCalculated);
        add("R_Old", ftCurrency, "旧计算列", CalcFieldTag);
    }

    void TearDown() override
    {
        delete f;
        HostTest::TearDown();
    }

    void storeRow(const QString& name, const QString& caption, const QString& type, const QString& express,
                  const QString& format = {}, const QString& isSum = QStringLiteral("0"), int size = 0)
    {
        EnsureCalcFieldTable();
        TADOQuery q(db.get());
        q.SQL << QStringLiteral("insert into tXtQryField values ('TryOutR','qryHead',:N,:C,:T,:S,:E,:F,:I,'')");
        q.Parameters.ParamByName(QStringLiteral("N")).Value = name;
        q.Parameters.ParamByName(QStringLiteral("C")).Value = caption;
        q.Parameters.ParamByName(QStringLiteral("T")).Value = type;
        q.Parameters.ParamByName(QStringLiteral("S")).Value = size;
        q.Parameters.ParamByName(QStringLiteral("E")).Value = express;
        q.Parameters.ParamByName(QStringLiteral("F")).Value = format;
        q.Parameters.ParamByName(QStringLiteral("I")).Value = isSum;
        q.ExecSQL();
    }

    void open()
    {
        f = TfrmBase::create<TfrmSetCalcFld>();
        f->CalcDataSet = &ds;
        f->FormKey = QStringLiteral("TryOutR");
        f->FillColumns(-1);
        f->show();
        f->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(f));
    }

    QStringList items(const QListWidget* l) const
    {
        QStringList out;
        for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
        return out;
    }

    void typeName(const QString& text)
    {
        f->cbxFldName->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(f->cbxFldName, text);
    }

    // Name, caption, type (and length), then the focus enters the list of fields.
    void attributes(const QString& name, const QString& caption, int type, const QString& length = {})
    {
        typeName(name);
        f->EdtFldCaption->setFocus(Qt::TabFocusReason); // leaving the name box checks the name
        f->EdtFldCaption->setText(caption);
        chooseType(type);
        f->EdtFldLen->setText(length);
        f->lbxFieldCaption->setFocus(Qt::TabFocusReason);
    }

    // Choices from a drop-down, as the user makes them: the entry becomes current, then the
    // combo reports it.
    void chooseName(int index)
    {
        f->cbxFldName->setCurrentIndex(index);
        Q_EMIT f->cbxFldName->activated(index);
    }
    void chooseType(int index)
    {
        f->CbxFlgType->setCurrentIndex(index);
        Q_EMIT f->CbxFlgType->activated(index);
    }

    void pick(QListWidget* list, const QString& text)
    {
        const auto found = list->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        list->setCurrentItem(found[0]);
        Q_EMIT list->itemDoubleClicked(found[0]);
    }
    void field(const char* caption) { pick(f->lbxFieldCaption, u8(caption)); }
    void op(const char* item) { pick(f->lbxOperator, u8(item)); }
    void constant(const QString& k)
    {
        prompts->pushText(k);
        op("常量");
    }

    QString memo() const { return f->MmExpress->toPlainText(); }
    bool memoFinished() const
    {
        return f->MmExpress->palette().color(QPalette::Base) == QApplication::palette().color(QPalette::ToolTipBase);
    }
    QString lastText() const { return prompts->calls.empty() ? QString() : prompts->calls.back().text; }

    TClientDataSet ds;
    TfrmSetCalcFld* f = nullptr;
};

} // namespace

TEST_F(CalcEditor, ColumnListsPerTypeAndStation)
{
    open();
    EXPECT_EQ(f->windowTitle(), u8("自定义列"));
    EXPECT_EQ(f->size(), QSize(480, 378));
    EXPECT_EQ(items(f->lbxFieldCaption), (QStringList{u8("组织编码"), u8("试用品名称"), u8("单价"), u8("领用数量"),
                                                      u8("甲"), u8("试用次数"), u8("标志"), u8("门店不显示")}));
    EXPECT_EQ(items(f->lbxFieldName), (QStringList{u"OrgCode"_s, u"PluName"_s, u"Price"_s, u"LyCount"_s, u"A"_s, u"TryTimes"_s,
                                                   u"Flag"_s, u"ShopOnly"_s}));
    EXPECT_FALSE(f->lbxFieldName->isVisible());
    f->FillColumns(0);
    EXPECT_EQ(items(f->lbxFieldName), (QStringList{u"OrgCode"_s, u"PluName"_s, u"ShopOnly"_s}));
    f->FillColumns(1);
    EXPECT_EQ(items(f->lbxFieldName), (QStringList{u"A"_s, u"TryTimes"_s}));
    f->FillColumns(2);
    EXPECT_EQ(items(f->lbxFieldName), (QStringList{u"Price"_s, u"LyCount"_s, u"A"_s, u"TryTimes"_s}));
    useShopStation(QStringLiteral("0101"), u8("一楼化妆品"));
    f->FillColumns(0);
    EXPECT_EQ(items(f->lbxFieldName), (QStringList{u"OrgCode"_s, u"PluName"_s, u"CentreOnly"_s}));
}

TEST_F(CalcEditor, ShowLoadsNamesWithoutHidingColumnsOfTheSameCaption)
{
    storeRow(QStringLiteral("Old"), u8("单价"), QStringLiteral("F"), QStringLiteral("Price*#2"));
    storeRow(QStringLiteral("Other"), u8("其它"), QStringLiteral("I"), QStringLiteral("A"));
    ds.addField(QStringLiteral("R_Other"), ftInteger)->setDisplayLabel(u8("其它列")); // not tagged
    open();
    EXPECT_EQ(f->cbxFldName->count(), 2);
    EXPECT_EQ(f->cbxFldName->currentText(), QString());
    EXPECT_EQ(f->SelectedNameIndex(), -1);
    EXPECT_EQ(f->EditState(), TfrmSetCalcFld::esUnchecked);
    EXPECT_TRUE(items(f->lbxFieldCaption).contains(u8("单价")));
    EXPECT_FALSE(items(f->lbxFieldName).contains(QStringLiteral("R_Old")));
    EXPECT_FALSE(items(f->lbxFieldName).contains(QStringLiteral("R_Other")));
    EXPECT_FALSE(items(f->lbxFieldCaption).contains(u8("其它列")));
    EXPECT_TRUE(prompts->calls.empty());
}

TEST_F(CalcEditor, AttributesComeBeforeTheExpression)
{
    open();
    field("单价");
    EXPECT_EQ(memo(), QString()); // nothing until the attributes are confirmed
    f->lbxOperator->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(lastText(), u8("字段属性中“字段名称”没有设置，不能保存！"));
    EXPECT_TRUE(f->cbxFldName->hasFocus());
    typeName(QStringLiteral("Code"));
    f->lbxFieldCaption->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(lastText(), u8("字段属性中“字段标题”没有设置，不能保存！"));
    EXPECT_TRUE(f->EdtFldCaption->hasFocus());
    f->EdtFldCaption->setText(u8("编码"));
    chooseType(0);
    f->lbxFieldCaption->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(lastText(), u8("字段属性中“字段长度”没有设置，不能保存！"));
    EXPECT_TRUE(f->EdtFldLen->hasFocus());
    EXPECT_EQ(f->EditState(), TfrmSetCalcFld::esUnchecked);
    f->EdtFldLen->setText(QStringLiteral("30"));
    f->lbxFieldCaption->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(f->EditState(), TfrmSetCalcFld::esEditing);
    EXPECT_EQ(prompts->calls.size(), 3u);
}

TEST_F(CalcEditor, NameKeysAndNameCheck)
{
    open();
    typeName(QStringLiteral("9a-b c_1"));
    EXPECT_EQ(f->cbxFldName->currentText(), QStringLiteral("abc_1"));
    f->cbxFldName->setEditText(QString());
    typeName(QStringLiteral("_x"));
    EXPECT_EQ(f->cbxFldName->currentText(), QStringLiteral("x")); // a leading "_" is dropped by the next key

    f->cbxFldName->setEditText(QStringLiteral("1abc")); // pasted
    f->EdtFldCaption->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(f->cbxFldName->currentText(), QString());
    EXPECT_TRUE(prompts->calls.empty());

    f->cbxFldName->setEditText(QStringLiteral("price"));
    f->cbxFldName->setFocus(Qt::TabFocusReason);
    f->EdtFldCaption->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(lastText(), u8("该名称已经被系统使用，请更换新的字段名称！"));
    EXPECT_TRUE(f->cbxFldName->hasFocus());

    f->cbxFldName->setEditText(QStringLiteral("Margin"));
    f->EdtFldCaption->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(f->CbxFlgType->currentIndex(), 2); // a new name is numeric unless told otherwise
    EXPECT_EQ(f->CbxFormat->currentText(), QStringLiteral("#,##0.00"));
    EXPECT_TRUE(f->CbxFormat->isEnabled());
    EXPECT_TRUE(f->ChkIsSum->isEnabled());
    EXPECT_FALSE(f->EdtFldLen->isEnabled());
    EXPECT_EQ(items(f->lbxFieldName), (QStringList{u"Price"_s, u"LyCount"_s, u"A"_s, u"TryTimes"_s}));
}

TEST_F(CalcEditor, UnbalancedExpressionIsNotSaved)
{
    open();
    attributes(QStringLiteral("M"), u8("毛利"), 2);
    field("单价");
    op("+");
    field("领用数量");
    op(")");
    field("甲"); // refused after ")"
    EXPECT_EQ(memo(), u8("单价+领用数量)"));
    f->btnOk->click();
    EXPECT_EQ(lastText(), u8("表达式括号不完整！"));
    EXPECT_EQ(f->CommittedStored(), QStringLiteral("Price+LyCount)"));
    EXPECT_EQ(f->EditState(), TfrmSetCalcFld::esEditing);
    EXPECT_TRUE(queryRows(*db, kRows).isEmpty());
}

TEST_F(CalcEditor, ParenthesisedSumIsSaved)
{
    open();
    attributes(QStringLiteral("M"), u8(" 毛利 "), 2);
    f->ChkIsSum->setChecked(true);
    f->EdtReMark->setText(u8(" 备注 "));
    op("(");
    field("单价");
    op("+");
    field("领用数量");
    op(")");
    EXPECT_EQ(memo(), u8("(单价+领用数量)"));
    f->btnOk->click();
    EXPECT_TRUE(prompts->calls.empty());
    EXPECT_EQ(queryRows(*db, kRows), QStringList{u8("M\t毛利\tF\t0\t(Price+LyCount)\t#,##0.00\t1\t备注")});
    // Saved: the names are read again and the entry starts afresh.
    EXPECT_EQ(f->cbxFldName->count(), 1);
    EXPECT_EQ(f->cbxFldName->currentText(), QString());
    EXPECT_EQ(f->EditState(), TfrmSetCalcFld::esUnchecked);
    EXPECT_EQ(memo(), QString());
}

TEST_F(CalcEditor, PendingItemsOnSave)
{
    open();
    attributes(QStringLiteral("K"), u8("常数"), 1);
    field("甲");
    constant(QStringLiteral("5")); // replaces the field
    f->btnOk->click();
    attributes(QStringLiteral("P"), u8("加"), 1);
    field("甲");
    op("+"); // a trailing operator is not committed
    f->btnOk->click();
    EXPECT_EQ(queryRows(*db, QStringLiteral("select FldName,FldExpress,FldFormat from tXtQryField order by FldName")),
              (QStringList{QStringLiteral("K\t#5\t#,##0."), QStringLiteral("P\tA\t#,##0.")}));
}

TEST_F(CalcEditor, ShortCaptionsStayWholeAndOverwriteNeedsYes)
{
    storeRow(QStringLiteral("D"), u8("倍"), QStringLiteral("I"), QStringLiteral("A"));
    open();
    typeName(QStringLiteral("D")); // an existing name: its definition is shown
    EXPECT_EQ(f->EdtFldCaption->text(), u8("倍"));
    EXPECT_EQ(f->EditState(), TfrmSetCalcFld::esFinished);
    f->EdtFldCaption->setText(u8("两倍"));
    f->btnClear->click();
    field("甲");
    op("*");
    constant(QStringLiteral("2"));
    prompts->pushButton(MsgResult::No);
    f->btnOk->click();
    EXPECT_EQ(lastText(), u8("该字段已经存在，是否覆盖！"));
    EXPECT_EQ(prompts->calls.back().flags, MsgFlags::YesNo | MsgFlags::IconQuestion); // Yes preselected
    EXPECT_EQ(memo(), u8("甲*2"));
    EXPECT_EQ(f->EditState(), TfrmSetCalcFld::esEditing);
    EXPECT_EQ(queryRows(*db, kRows), QStringList{u8("D\t倍\tI\t0\tA\t\t0\t")});
    prompts->pushButton(MsgResult::Yes);
    f->btnOk->click();
    EXPECT_EQ(queryRows(*db, kRows), QStringList{u8("D\t两倍\tI\t0\tA*#2\t#,##0.\t0\t")});
}

TEST_F(CalcEditor, StringFieldsConcatenateOnly)
{
    open();
    attributes(QStringLiteral("Title"), u8("标题"), 0, QStringLiteral("30"));
    field("组织编码");
    op("-");
    op("*");
    op("/");
    EXPECT_EQ(memo(), u8("组织编码"));
    op("+");
    constant(QStringLiteral("abc"));
    EXPECT_EQ(memo(), u8("组织编码+'abc'"));
    prompts->pushText(QString(), false); // a cancelled constant adds nothing
    op("常量");
    EXPECT_EQ(memo(), u8("组织编码+'abc'"));
    f->btnOk->click();
    EXPECT_EQ(queryRows(*db, kRows), QStringList{u8("Title\t标题\tS\t30\tOrgCode+#'abc'\t\t0\t")});
}

TEST_F(CalcEditor, ConstantsAreChecked)
{
    open();
    attributes(QStringLiteral("N"), u8("数"), 2);
    constant(QStringLiteral("1,5"));
    EXPECT_EQ(lastText(), u8("输入的数字无效！"));
    constant(QStringLiteral("-1"));
    EXPECT_EQ(lastText(), u8("常量禁止使用字符：# 、@ 、' 和运算符+、-、*、/、(、)"));
    EXPECT_EQ(memo(), QString());
    constant(QStringLiteral(" 1.5 "));
    EXPECT_EQ(memo(), QStringLiteral("1.5"));
    EXPECT_EQ(prompts->calls.back().kind, PromptKind::Input);
    EXPECT_EQ(prompts->calls.back().caption, u8("自定义常量"));
    EXPECT_EQ(prompts->calls.back().text, QString());
}

TEST_F(CalcEditor, LoadingADefinitionAndEditingTheName)
{
    storeRow(QStringLiteral("Margin"), u8("毛利"), QStringLiteral("F"), QStringLiteral("(Price-JPrice)/LyCount*#100"),
             QStringLiteral("#,##0.0000"), QStringLiteral("1"));
    open();
    chooseName(0);
    EXPECT_EQ(f->EditState(), TfrmSetCalcFld::esFinished);
    EXPECT_TRUE(memoFinished());
    // JPrice is masked for this user: its name stands in for its caption.
    EXPECT_EQ(memo(), u8("(单价-JPrice)/领用数量*100"));
    EXPECT_EQ(f->EdtFldCaption->text(), u8("毛利"));
    EXPECT_EQ(f->CbxFlgType->currentIndex(), 2);
    EXPECT_EQ(f->CbxFormat->currentText(), QStringLiteral("#,##0.0000"));
    EXPECT_TRUE(f->ChkIsSum->isChecked());
    field("甲"); // Finished: double-clicks do nothing
    EXPECT_EQ(f->CommittedStored(), QStringLiteral("(Price-JPrice)/LyCount*#100"));

    f->btnClear->click();
    EXPECT_EQ(f->EditState(), TfrmSetCalcFld::esEditing);
    EXPECT_FALSE(memoFinished());
    f->cbxFldName->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f->cbxFldName, Qt::Key_X);
    EXPECT_EQ(f->EditState(), TfrmSetCalcFld::esUnchecked);
    EXPECT_EQ(f->EdtFldCaption->text(), QString());
}

TEST_F(CalcEditor, EmptyExpressionDeletesOnlyAfterYes)
{
    storeRow(QStringLiteral("Gone"), u8("旧"), QStringLiteral("I"), QStringLiteral("A"));
    open();
    attributes(QStringLiteral("New"), u8("新"), 1);
    f->btnOk->click();
    EXPECT_EQ(lastText(), u8("表达式为空，不能保存！"));
    EXPECT_EQ(f->EditState(), TfrmSetCalcFld::esEditing);

    chooseName(0);
    f->btnClear->click();
    f->btnOk->click(); // unscripted: No
    EXPECT_EQ(lastText(), u8("该字段表达为空，确认要删除该字段吗？"));
    EXPECT_TRUE(prompts->calls.back().flags & MsgFlags::DefButton2);
    EXPECT_EQ(queryRows(*db, kRows).size(), 1);
    prompts->pushButton(MsgResult::Yes);
    f->btnOk->click();
    EXPECT_TRUE(queryRows(*db, kRows).isEmpty());
}

TEST_F(CalcEditor, DeleteButtonClosesAfterSuccess)
{
    storeRow(QStringLiteral("Gone"), u8("旧"), QStringLiteral("I"), QStringLiteral("A"));
    open();
    f->btnDelete->click(); // no entry chosen: nothing
    EXPECT_TRUE(prompts->calls.empty());
    chooseName(0);
    f->btnDelete->click();
    EXPECT_EQ(lastText(), u8("确定要删除自定义列Gone吗？"));
    EXPECT_EQ(queryRows(*db, kRows).size(), 1);
    prompts->pushButton(MsgResult::Yes);
    f->btnDelete->click();
    EXPECT_EQ(lastText(), u8("成功删除"));
    EXPECT_TRUE(queryRows(*db, kRows).isEmpty());
    EXPECT_FALSE(f->isVisible());
}

TEST_F(CalcEditor, LongExpressionsAndFailedSaves)
{
    open();
    attributes(QStringLiteral("Long"), u8("长"), 0, QStringLiteral("200"));
    const QString thirty = u8("试用品试用登记试用品统计报表试用品试用登记试用品统计报表试用");
    constant(thirty);
    op("+");
    constant(thirty); // 67 characters, 127 GBK bytes
    f->btnOk->click();
    EXPECT_EQ(lastText(), u8("表达式长度太大，不能保存！"));
    EXPECT_TRUE(f->MmExpress->hasFocus());
    EXPECT_TRUE(queryRows(*db, kRows).isEmpty());

    f->btnClear->click();
    field("组织编码");
    TADOQuery drop(db.get());
    drop.SQL << QStringLiteral("drop table tXtQryField");
    drop.ExecSQL();
    f->btnOk->click();
    EXPECT_TRUE(lastText().startsWith(u8("自定义计算字段保存失败！\n")));
    // The entry stays for another try.
    EXPECT_EQ(f->cbxFldName->currentText(), QStringLiteral("Long"));
    EXPECT_EQ(memo(), u8("组织编码"));
    EnsureCalcFieldTable();
    f->btnOk->click();
    EXPECT_EQ(queryRows(*db, QStringLiteral("select FldName,FldExpress from tXtQryField")),
              QStringList{QStringLiteral("Long\tOrgCode")});
}

TEST_F(CalcEditor, DeeplyNestedDivisionsAreNotSaved)
{
    open();
    attributes(QStringLiteral("Deep"), u8("深"), 2);
    // A/(A/(A/( ... A))): 97 bytes, within the column, but 2^24 guards when the list opens.
    for (int i = 0; i < 24; ++i) {
        field("甲");
        op("/");
        op("(");
    }
    field("甲");
    for (int i = 0; i < 24; ++i) op(")");
    ASSERT_EQ(f->CommittedStored().count(QLatin1Char('/')), 24);
    f->btnOk->click();
    EXPECT_EQ(lastText(), u8("表达式中的除法嵌套过深，不能保存！"));
    EXPECT_TRUE(queryRows(*db, kRows).isEmpty());
}

TEST_F(CalcEditor, TypeChangeRestartsTheExpression)
{
    open();
    attributes(QStringLiteral("T"), u8("类型"), 2);
    field("单价");
    op("+");
    op("(");
    chooseType(1);
    EXPECT_EQ(f->CommittedStored(), QString());
    EXPECT_EQ(f->PendingKind(), TfrmSetCalcFld::pkOpen); // a pending parenthesis stays
    EXPECT_EQ(f->CbxFormat->currentText(), QStringLiteral("#,##0."));
    field("甲");
    EXPECT_EQ(memo(), u8("(甲"));
}

TEST_F(CalcEditor, ShowCalcFieldEditorRunsOneModalEditor)
{
    QPointer<QDialog> seen;
    int runs = 0;
    setModalHook([&](QDialog* d) {
        ++runs;
        seen = d;
        auto* e = qobject_cast<TfrmSetCalcFld*>(d);
        EXPECT_TRUE(e);
        if (e) {
            EXPECT_EQ(e->FormKey, QStringLiteral("TryOutR"));
            EXPECT_EQ(e->lbxFieldCaption->count(), 8);
        }
        ShowCalcFieldEditor(&ds, QStringLiteral("TryOutR")); // already open: nothing
        return 0;
    });
    ShowCalcFieldEditor(&ds, QStringLiteral("TryOutR"));
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(seen.isNull()); // freed after its modal loop
}
