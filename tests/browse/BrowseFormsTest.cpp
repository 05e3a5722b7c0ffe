// The browse-form variants, driven through a small head-grid list over the trials (the shape
// of the summary report) and the bare maintenance list: tool bars and menus that follow their
// actions, rights, the data-change rules, the organisation list, the detail panel, layouts,
// calculated columns, the query dialog and the load with progress.
#include "browse/BrowseKit.h"
#include "browse/UBaseACxA.h"
#include "browse/UBaseB.h"
#include "calc/CalcEngine.h"
#include "calc/SetCalcFld.h"
#include "chart/Graph.h"
#include "framework/ShowDetail.h"
#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "module/MISPub.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/grid/DBGridEh.h"
#include "print/PrintFmt.h"
#include "query/QryDialog.h"
#include "query/UQryShow.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// A head-grid list over the trials, loaded as the report loads: the calculated fields wrapped
// around the statement, the organisation list read at load.
class TfrmProbe : public TfrmBaseACxA {
public:
    explicit TfrmProbe(QWidget* parent = nullptr) : TfrmBaseACxA(parent)
    {
        setWindowTitle(u"试用探针"_s);
        for (const char* name : {"BookDate", "BookTime", "OrgCode", "OrgName", "PluCode", "Result"})
            qryHead->addField(QString::fromLatin1(name), ftString, 20);
        qryHead->addField(u"JPrice"_s, ftFloat);
        for (TField* f : qryHead->Fields()) dgrdHead->Columns()->Add()->setField(f);
    }
    void FormCreate(QObject* sender) override
    {
        FormKey = u"TryOut"_s;
        TfrmBaseACxA::FormCreate(sender);
    }
    void LoadData() override
    {
        TfrmBaseACxA::LoadData();
        ++loads;
        qryAdoHead->setConnection(GetSharedConnection());
        qryAdoHead->SQL.clear();
        qryAdoHead->Parameters.Clear();
        QString inner = u"select T.BookDate,T.BookTime,T.OrgCode,S.OrgName,T.PluCode,T.Result,1.5 JPrice "
                        "from TryOutBK T left join SubShop S on T.OrgCode=S.OrgCode "
                        "left join Goods R on T.PluCode=R.PluCode"_s;
        if (OrgCode != u"<全部>"_s) inner += u" where T.OrgCode=:OrgCode"_s;
        if (!QryWhere.isEmpty()) inner += (OrgCode != u"<全部>"_s ? u" and "_s : u" where "_s) + QryWhere;
        qryAdoHead->SQL << u"Select * "_s + CalcFieldSql + u" from ("_s + inner + u") T order by BookDate,BookTime"_s;
        if (OrgCode != u"<全部>"_s) qryAdoHead->Parameters.ParamByName(u"OrgCode"_s).Value = OrgCode;
        try {
            LoadHeadData();
        } catch (...) {
            LogCurrentException();
            LoadFailed = true;
        }
    }
    int loads = 0;
};

class BrowseFormsTest : public HostTest {
protected:
    void TearDown() override
    {
        if (TfrmQorDetail* p = TfrmQorDetail::current()) delete p;
        delete probe.data();
        delete plain.data();
        HostTest::TearDown();
    }
    TfrmProbe* open(const QString& user = u"1001"_s)
    {
        qorSession().userCode = user;
        probe = TfrmBase::create<TfrmProbe>(nullptr);
        probe->FunCode = u"080101"_s;
        probe->show();
        return probe;
    }
    void exec(const QString& sql) { db->executeScript(sql); }
    int count(const QString& sql) { return queryRows(*db, sql).value(0).toInt(); }
    static int rowsShown(TfrmBaseACx* f) { return f->qryHead->Active() ? f->qryHead->RecordCount() : 0; }
    void onModal(const std::function<int(QDialog*)>& script)
    {
        setModalHook([this, script](QDialog* d) {
            shownDialogs << QString::fromLatin1(d->metaObject()->className());
            return script(d);
        });
    }
    static void closeDetail()
    {
        if (TfrmQorDetail* p = TfrmQorDetail::current()) p->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QPointer<TfrmProbe> probe;
    QPointer<TfrmBaseB> plain;
    QStringList shownDialogs;
};

QStringList buttonCaptions(QToolBar* bar)
{
    QStringList out;
    for (QAction* a : bar->actions())
        out << (a->isSeparator() ? u"|"_s : a->text());
    return out;
}

QStringList entryNames(QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions()) out << a->objectName();
    return out;
}

} // namespace

// --- tool bars and menus ---------------------------------------------------------------------

TEST_F(BrowseFormsTest, MaintenanceListToolBarAndMenuStandForTheActions)
{
    plain = TfrmBase::create<TfrmBaseB>(nullptr);
    TfrmBaseB* f = plain;
    EXPECT_EQ(buttonCaptions(f->ToolBar1), (QStringList{u" 关闭 "_s, u"|"_s, u"增加"_s, u"修改"_s, u"删除"_s, u"保存"_s,
                                                        u"取消"_s, u"|"_s, u"打印"_s, u"预览"_s, u"|"_s, u"条件"_s}));
    EXPECT_EQ(f->tbtnPrint->menu(), f->DropDownPrint);
    EXPECT_EQ(f->tbtnPreview->menu(), f->DropDownPreview);
    EXPECT_EQ(entryNames(f->popBaseB),
              (QStringList{u"pmnAdd"_s, u"pmnEdit"_s, u"pmnDelete"_s, u"pmnSave"_s, u"pmnCancel"_s, u"N1"_s,
                           u"pmnConvert"_s, u"N2"_s, u"pmnPrnFmtDesign"_s, u"pmnPreview"_s, u"pmnPrint"_s, u"N3"_s,
                           u"pmnQuery"_s, u"pmnRefresh"_s}));
    auto* pmnAdd = f->popBaseB->findChild<QAction*>(u"pmnAdd"_s);
    EXPECT_EQ(pmnAdd->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_EQ(f->popBaseB->findChild<QAction*>(u"pmnQuery"_s)->text(), u"查询条件(&Q) ..."_s);
    for (QAction* a : {f->actFirst, f->actPrior, f->actNext, f->actLast}) EXPECT_FALSE(a->isVisible());

    // Buttons and entries follow their action, and a click runs it once.
    int adds = 0;
    QObject::connect(f->actAdd, &QAction::triggered, [&adds] { ++adds; });
    f->actAdd->setEnabled(true);
    QTest::mouseClick(f->tbtnAdd, Qt::LeftButton);
    pmnAdd->trigger();
    EXPECT_EQ(adds, 2);
    f->actAdd->setEnabled(false);
    EXPECT_FALSE(f->tbtnAdd->isEnabled());
    EXPECT_FALSE(pmnAdd->isEnabled());
    pmnAdd->trigger();
    EXPECT_EQ(adds, 2);
    f->actSave->setVisible(false);
    EXPECT_FALSE(f->popBaseB->findChild<QAction*>(u"pmnSave"_s)->isVisible());

    // After show: Tag-0 actions off, the rights read, "其他" on, import off.
    f->FunCode = u"080101"_s;
    f->show();
    EXPECT_TRUE(f->actOther->isEnabled());
    EXPECT_FALSE(f->actImportExcel->isEnabled());
    EXPECT_FALSE(f->actAdd->isEnabled()) << "enabled by the descendant, not by the variant";
    EXPECT_TRUE(f->actRefresh->isEnabled());
    EXPECT_TRUE(f->RightAdd && f->RightEdit && f->RightDelete && f->RightQuery && f->RightExport && f->RightPrint &&
                f->RightPrnFmt);
    EXPECT_EQ(f->EditState, 3);
}

TEST_F(BrowseFormsTest, HeadGridListHasItsToolBarMenuAndNoSort)
{
    TfrmProbe* f = open();
    EXPECT_EQ(buttonCaptions(f->ToolBar1),
              (QStringList{u" 关闭 "_s, u"|"_s, u"选择列"_s, u"条件"_s, u"过滤"_s, u"排序"_s, u"|"_s, u"打印"_s, u"预览"_s,
                           u"|"_s, u"图形"_s}));
    EXPECT_FALSE(f->tbtnSort->isVisible());
    EXPECT_FALSE(f->actSort->isEnabled());
    EXPECT_EQ(entryNames(f->popBaseA),
              (QStringList{u"pmnAdd"_s, u"pmnEdit"_s, u"pmnDelete"_s, u"N1"_s, u"actConvert1"_s, u"N2"_s,
                           u"pmnPrnFmtDesign"_s, u"pmnPreview"_s, u"pmnPrint"_s, u"N3"_s, u"pmnColumn"_s,
                           u"pmnCalcField"_s, u"pmnQuery"_s, u"pmnFilt"_s, u"pmnSort"_s, u"pmnFind"_s, u"I1"_s, u"N0"_s}));
    EXPECT_EQ(f->I1->text(), u"详细(&I)...  Ctrl+左键或双击"_s);
    EXPECT_EQ(f->dgrdHead->TitleLines(), 2);
    EXPECT_EQ(f->pnlRecordcount->text(), u"记录数：0"_s);
    for (QAction* a : {f->actFilt, f->actColumn, f->ActSetCalc, f->actQuery, f->actRefresh})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_EQ(f->dgrdHead->FixedColor(), colorFromTColor(UGridColor()));
    EXPECT_TRUE(f->frameQryShow->isVisibleTo(f));
    EXPECT_EQ(f->frameQryShow->QryType(), u"TryOut"_s);
}

// --- rights and data ----------------------------------------------------------------------------

TEST_F(BrowseFormsTest, RightsAndRowsDecideTheOutputActions)
{
    struct Case {
        QString user;
        bool query, print, exports;
    };
    for (const Case& c : {Case{u"1001"_s, true, true, true}, Case{u"1002"_s, true, false, false},
                          Case{u"1003"_s, false, false, false}}) {
        SCOPED_TRACE(c.user.toStdString());
        TfrmProbe* f = open(c.user);
        EXPECT_EQ(f->actQuery->isEnabled(), c.query);
        EXPECT_EQ(f->actRefresh->isEnabled(), c.query);
        for (QAction* a : {f->actPrint, f->actPreview, f->actConvertToExcel, f->actDetail, f->actFind, f->actGraph})
            EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();

        // An empty result.
        f->QryWhere = u"1=0"_s;
        f->LoadData();
        EXPECT_EQ(f->pnlRecordcount->text(), u"记录数：0"_s);
        for (QAction* a : {f->actPrint, f->actPreview, f->actConvertToExcel, f->actConvertToText, f->actConvertToHtml,
                           f->actDetail, f->actFind, f->actGraph})
            EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
        EXPECT_EQ(f->actPrnFmtDesign->isEnabled(), f->RightPrnFmt);

        // Rows.
        f->QryWhere.clear();
        f->LoadData();
        const int all = count(u"select count(*) from TryOutBK"_s);
        EXPECT_EQ(f->pnlRecordcount->text(), u"记录数："_s + QString::number(all));
        EXPECT_EQ(f->actPrint->isEnabled(), c.print);
        EXPECT_EQ(f->actPreview->isEnabled(), c.print);
        for (QAction* a : {f->actConvertToExcel, f->actConvertToText, f->actConvertToHtml})
            EXPECT_EQ(a->isEnabled(), c.exports) << a->objectName().toStdString();
        for (QAction* a : {f->actDetail, f->actFind, f->actGraph}) EXPECT_TRUE(a->isEnabled());
        delete probe.data();
    }
}

TEST_F(BrowseFormsTest, CostFieldsAreMaskedThroughTheRightsObject)
{
    // 2001 lacks OP08.
    TfrmProbe* f = open(u"2001"_s);
    EXPECT_FALSE(f->ShowCostFields);
    EXPECT_TRUE(f->ShowQtyFields);
    f->LoadData();
    ASSERT_GT(rowsShown(f), 0);
    EXPECT_EQ(f->qryHead->FieldByName(u"JPrice"_s)->DisplayText(), u"*"_s);
    delete probe.data();
    f = open(u"1001"_s);
    f->LoadData();
    EXPECT_EQ(f->qryHead->FieldByName(u"JPrice"_s)->DisplayText(), u"1.5"_s);
}

// --- organisation list --------------------------------------------------------------------------

TEST_F(BrowseFormsTest, OrganisationListTextsAndTheirCodes)
{
    exec(u"insert into SubShop (OrgCode, OrgName, OrgType, IsDbDeploy) values ('0105','香水-专柜-二','1','1')"_s);
    TfrmProbe* f = open(u"QVW"_s);
    QComboBox* c = f->cmbOrgList;
    ASSERT_GT(c->count(), 2);
    EXPECT_EQ(c->itemText(0), u"<全部>"_s);
    EXPECT_EQ(f->OrgCode, u"<全部>"_s) << "read once at show";
    EXPECT_EQ(f->OrgName, u"<全部>"_s);

    c->setCurrentIndex(c->findText(u"0101-一楼化妆品"_s));
    EXPECT_EQ(f->OrgCode, u"0101"_s);
    EXPECT_EQ(f->OrgName, u"一楼化妆品"_s);
    c->setCurrentIndex(c->findText(u"0105-香水-专柜-二"_s));
    EXPECT_EQ(f->OrgCode, u"0105"_s);
    EXPECT_EQ(f->OrgName, u"香水-专柜-二"_s) << "cut at the first \"-\" only";

    // Backspace cannot erase the choice.
    c->setFocus();
    QTest::keyClick(c, Qt::Key_Backspace);
    EXPECT_EQ(c->currentText(), u"0105-香水-专柜-二"_s);

    // The list narrows the load.
    c->setCurrentIndex(c->findText(u"0101-一楼化妆品"_s));
    f->actRefresh->trigger();
    EXPECT_EQ(rowsShown(f), count(u"select count(*) from TryOutBK where OrgCode='0101'"_s));
}

// --- detail panel -------------------------------------------------------------------------------

TEST_F(BrowseFormsTest, DetailPanelOnCtrlClickAndDoubleClickOnly)
{
    TfrmProbe* f = open();
    f->resize(900, 500);
    f->LoadData();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
    QWidget* cells = f->dgrdHead->viewport();
    const QPoint at = f->dgrdHead->visualRect(f->dgrdHead->model()->index(1, 1)).center();

    QTest::mouseClick(cells, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, at);
    EXPECT_EQ(TfrmQorDetail::current(), nullptr) << "Ctrl+Shift+click";
    QTest::mouseClick(cells, Qt::LeftButton, Qt::AltModifier | Qt::ControlModifier, at);
    EXPECT_EQ(TfrmQorDetail::current(), nullptr) << "Ctrl+Alt+click";
    QTest::mouseClick(cells, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(TfrmQorDetail::current(), nullptr) << "plain click";

    QTest::mouseClick(cells, Qt::LeftButton, Qt::ControlModifier, at);
    ASSERT_NE(TfrmQorDetail::current(), nullptr) << "Ctrl+click";
    EXPECT_EQ(TfrmQorDetail::current()->fields().value(0).first, u"BookDate"_s);
    EXPECT_EQ(TfrmQorDetail::current()->fields().value(2).second, f->qryHead->FieldByName(u"OrgCode"_s)->AsString());
    closeDetail();

    QTest::mouseDClick(cells, Qt::LeftButton, Qt::NoModifier, at);
    ASSERT_NE(TfrmQorDetail::current(), nullptr) << "double click";
    closeDetail();

    f->actDetail->trigger();
    EXPECT_NE(TfrmQorDetail::current(), nullptr) << "the detail action";
    closeDetail();

    // Nothing on an empty list.
    f->QryWhere = u"1=0"_s;
    f->LoadData();
    f->dgrdHeadDblClick(f->dgrdHead);
    EXPECT_EQ(TfrmQorDetail::current(), nullptr);
}

// --- layouts, calculated columns ------------------------------------------------------------------

TEST_F(BrowseFormsTest, LayoutsStoredUnderTheHeadGridKeyAtShowAndAtEveryClose)
{
    const auto stored = [this](const QString& type) {
        return count(u"select count(*) from tXtGridColumn where LayoutKey='TryOutQH' and UserCode='1001' and LayoutType='%1'"_s.arg(type));
    };
    TfrmProbe* f = open();
    EXPECT_GT(stored(u"D"_s), 0) << "the designed layout is the default";
    EXPECT_EQ(stored(u"C"_s), 0);
    f->close();
    EXPECT_EQ(stored(u"C"_s), stored(u"D"_s)) << "stored although nothing changed";

    // The user's own layout comes back at the next show.
    exec(u"update tXtGridColumn set Width=123 where LayoutKey='TryOutQH' and LayoutType='C' and FieldName='OrgName'"_s);
    f = open();
    EXPECT_EQ(f->dgrdHead->Columns()->FindColumnByName(u"OrgName"_s)->Width(), 123);
}

TEST_F(BrowseFormsTest, CalculatedColumnsAreBuiltAtCreateAndComputedByTheServer)
{
    EnsureCalcFieldTable();
    exec(u"insert into tXtQryField (QryCode,DataSet,FldName,FldCaption,FldType,FldSize,FldExpress,FldFormat,IsSum,Remark)"
         " values ('TryOut','qryHead','Both','组织商品','S',20,'OrgCode+PluCode','','0','')"_s);
    TfrmProbe* f = open();
    ASSERT_NE(f->qryHead->FindField(u"R_Both"_s), nullptr);
    EXPECT_EQ(f->qryHead->FieldByName(u"R_Both"_s)->Tag(), CalcFieldTag);
    EXPECT_NE(f->dgrdHead->Columns()->FindColumnByName(u"R_Both"_s), nullptr);
    EXPECT_FALSE(f->CalcFieldSql.isEmpty());
    EXPECT_EQ(f->CalcFieldDefs->size(), 1);
    f->LoadData();
    ASSERT_GT(rowsShown(f), 0);
    f->qryHead->First();
    EXPECT_EQ(f->qryHead->FieldByName(u"R_Both"_s)->AsString(),
              f->qryHead->FieldByName(u"OrgCode"_s)->AsString() + f->qryHead->FieldByName(u"PluCode"_s)->AsString());
}

// --- query, refresh and the forms behind the actions -------------------------------------------------

TEST_F(BrowseFormsTest, QueryDialogSetsTheConditionAndAFailedLoadGivesTheOldOneBack)
{
    TfrmProbe* f = open();
    const auto choose = [this](const QString& saved, bool ok) {
        onModal([saved, ok](QDialog* d) {
            auto* q = qobject_cast<TfrmQry*>(d);
            if (!q) return int(QDialog::Rejected);
            q->show();
            const int i = q->cmbQrySave->findText(saved);
            q->cmbQrySave->setCurrentIndex(i);
            Q_EMIT q->cmbQrySave->activated(i);
            (ok ? q->btnOK : q->btnCancel)->click();
            return q->result();
        });
    };
    choose(u"2_一楼三月"_s, true);
    f->actQuery->trigger();
    ASSERT_EQ(shownDialogs, QStringList{u"TfrmQry"_s});
    const QString where = f->QryWhere;
    EXPECT_TRUE(where.contains(u"T.OrgCode"_s));
    EXPECT_EQ(f->loads, 1);
    EXPECT_EQ(rowsShown(f), count(u"select count(*) from TryOutBK where OrgCode='0101' and BookDate>='2026-03-01'"_s));
    EXPECT_EQ(f->dgrdHead->Hint(), f->QryDesc);
    // The frame lists the saved conditions after the dialog.
    EXPECT_TRUE(f->frameQryShow->lstItem.contains(u"一楼三月"_s));

    choose(u"1_满意的试用"_s, false);
    f->actQuery->trigger();
    EXPECT_EQ(f->QryWhere, where);
    EXPECT_EQ(f->loads, 1);

    exec(u"drop table Goods"_s);
    choose(u"1_满意的试用"_s, true);
    f->actQuery->trigger();
    EXPECT_EQ(f->loads, 2);
    EXPECT_EQ(f->QryWhere, where) << "a condition whose load failed is not kept";
    EXPECT_EQ(f->dgrdHead->Hint(), f->QryDesc);
    EXPECT_EQ(rowsShown(f), count(u"select count(*) from TryOutBK where OrgCode='0101' and BookDate>='2026-03-01'"_s));
}

TEST_F(BrowseFormsTest, CalculatedColumnsChartAndFormatListOpenTheirForms)
{
    TfrmProbe* f = open();
    f->LoadData();
    onModal([](QDialog* d) {
        d->show();
        return int(QDialog::Rejected);
    });
    f->ActSetCalc->trigger();
    f->actGraph->trigger();
    f->actPrnFmtDesign->trigger();
    EXPECT_EQ(shownDialogs, (QStringList{u"TfrmSetCalcFld"_s, u"TfrmGraph"_s, u"TfrmPrintFmt"_s}));
    EXPECT_EQ(CurPrnCode, u"TryOut"_s);
    EXPECT_EQ(CurPrnDataSet.data(), f->qryHead);
}

// --- loading with progress ------------------------------------------------------------------------

TEST_F(BrowseFormsTest, LongLoadsReportTheRowsReadAndKeepTheRowsOnFailure)
{
    exec(u"create table Many (N integer); "
         "insert into Many with recursive c(n) as (select 1 union all select n+1 from c where n<120000) select n from c"_s);
    TClientDataSet ds;
    TADOQuery q(db.get());
    q.SQL << u"select N from Many order by N"_s;
    QList<qint64> reports;
    LoadHeadRows(q, ds, [&reports](qint64 rows) { reports << rows; });
    EXPECT_EQ(reports, (QList<qint64>{50000, 100000}));
    EXPECT_EQ(ds.RecordCount(), 120000);
    EXPECT_FALSE(q.Active());

    // A statement that fails: the rows stay.
    TADOQuery bad(db.get());
    bad.SQL << u"select N from NoSuchTable"_s;
    EXPECT_THROW(LoadHeadRows(bad, ds, {}), DbError);
    EXPECT_EQ(ds.RecordCount(), 120000);

    // The counter shows the progress during the load and gets its text back.
    QLabel label(u"记录数：7"_s);
    {
        TLoadProgress progress(&label);
        progress.report(50000);
        EXPECT_EQ(label.text(), u"正在读取：50000 行"_s);
        EXPECT_EQ(progress.Reports(), 1);
    }
    EXPECT_EQ(label.text(), u"记录数：7"_s);
}
