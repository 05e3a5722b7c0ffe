// The base form: action set, create/show/close, print-format menus and defaults, field masking,
// record actions, Enter as Tab, the pending parameter and the linked-function procedure.
#include "framework/UBase.h"

#include "host/include/PubProcDll.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// A list form as the concrete forms make it: FormKey set before the base create handler.
class TestForm : public TfrmBase {
public:
    using TfrmBase::TfrmBase;
    int prints = 0, previews = 0;
    QStringList params;
    TCloseAction closeAs = caFree;
    void FormCreate(QObject* sender) override
    {
        FormKey = QStringLiteral("TryOut");
        TfrmBase::FormCreate(sender);
    }
    void FormClose(QObject* sender, TCloseAction& action) override
    {
        TfrmBase::FormClose(sender, action);
        action = closeAs;
    }
    void actPrintExecute(QObject*) override { ++prints; }
    void actPreviewExecute(QObject*) override { ++previews; }
    void HandlePendingParam(const QString& p) override { params << p; }
};

// A descendant of the client dataset is not one of the masked classes.
class TOwnDataSet : public TClientDataSet {
    Q_OBJECT
public:
    using TClientDataSet::TClientDataSet;
};

// A frame on the form owns its own components.
class TframeProbe : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

QString linkedCall;
void recordLink(const QString& a, const QString& b, const QString& c, const QString& d,
                const QString& e, const QString& f)
{
    linkedCall = QStringList{a, b, c, d, e, f}.join(QLatin1Char('|'));
}

class UBaseTest : public HostTest {
protected:
    void TearDown() override
    {
        for (const QPointer<TestForm>& f : forms) delete f.data();
        forms.clear();
        HostTest::TearDown();
    }
    TestForm* make()
    {
        TestForm* f = TfrmBase::create<TestForm>();
        forms << f;
        return f;
    }
    TestForm* shown(const QString& user, const QString& ver = QStringLiteral("1"))
    {
        qorSession().userCode = user;
        qorSession().version = ver;
        TestForm* f = make();
        f->show();
        return f;
    }
    void exec(const QString& sql) { db->executeScript(sql); }
    // Entries of a drop-down menu after it popped up: names, "*" for a ticked one.
    static QStringList popup(QMenu* m)
    {
        Q_EMIT m->aboutToShow();
        QStringList out;
        for (QAction* a : m->actions())
            out << a->objectName() + (a->isChecked() ? QStringLiteral("*") : QString());
        return out;
    }
    static QAction* entry(QMenu* m, const QString& name)
    {
        for (QAction* a : m->actions())
            if (a->objectName() == name) return a;
        return nullptr;
    }
    QStringList defaults(const QString& user)
    {
        return queryRows(*db, QStringLiteral("select PrnCode,SerialNo,WorkStation from tXtPrnDefault where UserCode='%1' "
                                             "order by PrnCode,WorkStation")
                                  .arg(user));
    }
    QList<QPointer<TestForm>> forms;
};

TEST_F(UBaseTest, ActionSetInResourceOrderWithItsProperties)
{
    TestForm* f = make();
    QStringList names;
    for (QAction* a : f->formActions()) names << a->objectName();
    EXPECT_EQ(names.join(QLatin1Char(',')),
              QStringLiteral("actConvert,actConvertToExcel,actConvertToText,actConvertToHtml,actConvertToOther,"
                             "actPrnFmtDesign,actPreview,actPrint,actAdd,actEdit,actDelete,actSave,actCancel,"
                             "actFirst,actPrior,actNext,actLast,actColumn,actSort,actQuery,actFilt,actFind,"
                             "actClose,actCheck,actApply,actAssess,actAccount,actFormat,actGraph,actDetail,"
                             "actRefresh,ActPrintDgrd,ActPreviewDgrd,ActSetCalc"));
    EXPECT_EQ(f->actAdd->text(), QStringLiteral("增加(&A)"));
    EXPECT_EQ(f->actAdd->toolTip(), QStringLiteral("增加"));
    EXPECT_EQ(f->actAdd->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(f->actPrint->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_EQ(f->actCancel->shortcut(), QKeySequence(Qt::Key_Escape));
    EXPECT_EQ(f->actRefresh->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(f->actClose->property("Category").toString(), QStringLiteral("File"));
    EXPECT_EQ(f->actCheck->property("Category").toString(), QStringLiteral("Assess"));
    EXPECT_EQ(f->actGraph->property("ImageIndex").toInt(), 17);
    EXPECT_EQ(actionTag(f->actConvert), 1);
    EXPECT_EQ(actionTag(f->actClose), 1);
    EXPECT_EQ(actionTag(f->ActPrintDgrd), 100);
    EXPECT_EQ(actionTag(f->actAdd), 0);
    EXPECT_FALSE(f->actApply->isVisible() || f->actApply->isEnabled());
    EXPECT_FALSE(f->actAssess->isVisible() || f->actAssess->isEnabled());
    EXPECT_EQ(f->mnuPrintDgrd->text(), QStringLiteral("基本格式"));
    EXPECT_EQ(f->ActPrintDgrd->text(), QStringLiteral("所见即所得"));
    EXPECT_EQ(f->windowTitle(), QStringLiteral("基本窗体"));
    EXPECT_EQ(f->Tag, 1);

    // Images come from the installed icon set; a missing one leaves the action without image.
    EXPECT_TRUE(TfrmBase::baseImage(-1).isNull());
    EXPECT_TRUE(TfrmBase::baseImage(500).isNull());
    if (QDir(QStringLiteral("/usr/share/icons/Tango/24x24")).exists()) {
        for (QAction* a : f->formActions()) {
            if (a->property("ImageIndex").toInt() >= 0) {
                EXPECT_FALSE(a->icon().isNull()) << a->objectName().toStdString();
            }
        }
    }
}

TEST_F(UBaseTest, CreateSetsTheDefaults)
{
    qorSession().rightPrnFmt = false;
    TestForm* f = make();
    EXPECT_EQ(f->FormKey, QStringLiteral("TryOut"));
    EXPECT_FALSE(f->actPrnFmtDesign->isVisible());
    ASSERT_NE(f->CalcFieldDefs, nullptr);
    EXPECT_EQ(f->QtyFields.size(), 17);
    EXPECT_EQ(f->QtyFields.first(), QStringLiteral("Count"));
    EXPECT_EQ(f->QtyFields.last(), QStringLiteral("BqCount"));
    EXPECT_EQ(f->CostFields.size(), 66);
    EXPECT_EQ(f->CostFields.count(QStringLiteral("PyCost")), 2);
    EXPECT_EQ(f->CostFields.last(), QStringLiteral("SumPFNetCost"));
    EXPECT_EQ(f->PrnSerialNo, -1);
    EXPECT_TRUE(f->UseCalcFields && f->UseQryFrame && f->CheckFieldRights);
    EXPECT_EQ(f->linkFuncProc(), nullptr);
}

TEST_F(UBaseTest, ShowDisablesTagZeroActionsAndFollowsTheHostSwitches)
{
    qorSession().rightColumn = false;
    qorSession().rightSetCalc = true;
    TestForm* f = shown(QStringLiteral("1001"));
    EXPECT_FALSE(f->actAdd->isEnabled());
    EXPECT_FALSE(f->actPrint->isEnabled());
    EXPECT_FALSE(f->actFirst->isEnabled());
    EXPECT_TRUE(f->actConvert->isEnabled());
    EXPECT_TRUE(f->actClose->isEnabled());
    EXPECT_TRUE(f->ActPrintDgrd->isEnabled());
    EXPECT_TRUE(f->ActPreviewDgrd->isEnabled());
    EXPECT_FALSE(f->actColumn->isVisible());
    EXPECT_TRUE(f->ActSetCalc->isVisible());
    EXPECT_TRUE(prompts->calls.empty());
}

TEST_F(UBaseTest, NoDefaultMeansTheBasicFormatTickedInBothMenus)
{
    TestForm* f = shown(QStringLiteral("1001"));
    EXPECT_EQ(f->PrnSerialNo, -1);
    // Edition "1": formats 2 and 3.
    EXPECT_EQ(popup(f->DropDownPrint), QStringList({u"mnuPrintDgrd*"_s, u"Distinct"_s, u"NO2"_s, u"NO3"_s}));
    EXPECT_EQ(popup(f->DropDownPreview), QStringList({u"mnuPreviewDgrd*"_s, u"Distinct"_s, u"NO2"_s, u"NO3"_s}));
    EXPECT_TRUE(f->ActPrintDgrd->isChecked());
    EXPECT_TRUE(f->ActPreviewDgrd->isChecked());
    EXPECT_EQ(actionTag(entry(f->DropDownPrint, QStringLiteral("NO2"))), 1);
    EXPECT_EQ(actionTag(entry(f->DropDownPreview, QStringLiteral("NO2"))), 0);
    EXPECT_EQ(entry(f->DropDownPrint, QStringLiteral("NO3"))->text(), QStringLiteral("试用登记通用"));
    // A popup again rebuilds the entries rather than adding to them.
    EXPECT_EQ(popup(f->DropDownPrint).size(), 4);
}

TEST_F(UBaseTest, AWorkstationFreeDefaultIsReplacedByAWorkstationRowWhenAFormatIsChosen)
{
    // 2001's demo default: format 3 on every workstation; edition "0" lists 1 and 3.
    TestForm* f = shown(QStringLiteral("2001"), QStringLiteral("0"));
    EXPECT_EQ(f->PrnSerialNo, 3);
    EXPECT_EQ(popup(f->DropDownPreview), QStringList({u"mnuPreviewDgrd"_s, u"Distinct"_s, u"NO1"_s, u"NO3*"_s}));
    EXPECT_FALSE(f->ActPreviewDgrd->isChecked());

    entry(f->DropDownPreview, QStringLiteral("NO1"))->trigger();
    EXPECT_EQ(f->PrnSerialNo, 1);
    EXPECT_EQ(f->previews, 1);
    EXPECT_EQ(f->prints, 0);
    EXPECT_FALSE(f->ActPrintDgrd->isChecked());
    EXPECT_EQ(defaults(QStringLiteral("2001")), QStringList({u"TryOut\t1\tWS01"_s}));
    EXPECT_EQ(popup(f->DropDownPrint), QStringList({u"mnuPrintDgrd"_s, u"Distinct"_s, u"NO1*"_s, u"NO3"_s}));

    // The print menu's entry prints.
    entry(f->DropDownPrint, QStringLiteral("NO3"))->trigger();
    EXPECT_EQ(f->prints, 1);
    EXPECT_EQ(defaults(QStringLiteral("2001")), QStringList({u"TryOut\t3\tWS01"_s}));

    // The basic format forgets the default, ticks both basic entries and prints.
    f->mnuPrintDgrd->trigger();
    EXPECT_EQ(f->PrnSerialNo, -1);
    EXPECT_EQ(f->prints, 2);
    EXPECT_TRUE(f->ActPrintDgrd->isChecked());
    EXPECT_TRUE(f->ActPreviewDgrd->isChecked());
    EXPECT_TRUE(f->mnuPreviewDgrd->isChecked());
    EXPECT_TRUE(defaults(QStringLiteral("2001")).isEmpty());
    EXPECT_TRUE(prompts->calls.empty());
}

TEST_F(UBaseTest, UsersWithoutGroupsAndTheAdministratorInAnyCase)
{
    TestForm* none = shown(QStringLiteral("9999"));
    EXPECT_EQ(popup(none->DropDownPrint), QStringList({u"mnuPrintDgrd*"_s}));
    EXPECT_TRUE(none->ActPrintDgrd->isChecked());

    exec(QStringLiteral("delete from tXtRightPrn"));
    TestForm* admin = shown(QStringLiteral("qvw"));
    EXPECT_EQ(popup(admin->DropDownPrint), QStringList({u"mnuPrintDgrd*"_s, u"Distinct"_s, u"NO2"_s, u"NO3"_s}));

    // Edition "2": every edition's formats.
    TestForm* all = shown(QStringLiteral("QVW"), QStringLiteral("2"));
    EXPECT_EQ(popup(all->DropDownPreview), QStringList({u"mnuPreviewDgrd*"_s, u"Distinct"_s, u"NO1"_s, u"NO2"_s, u"NO3"_s}));
    EXPECT_TRUE(prompts->calls.empty());
}

TEST_F(UBaseTest, AStaleDefaultCountsAsTheBasicFormatAndStaysStored)
{
    // 2001 may not use format 2.
    exec(QStringLiteral("update tXtPrnDefault set SerialNo=2 where UserCode='2001'"));
    TestForm* f = shown(QStringLiteral("2001"), QStringLiteral("2"));
    EXPECT_EQ(f->PrnSerialNo, -1);
    EXPECT_EQ(popup(f->DropDownPrint), QStringList({u"mnuPrintDgrd*"_s, u"Distinct"_s, u"NO1"_s, u"NO3"_s}));
    EXPECT_EQ(defaults(QStringLiteral("2001")), QStringList({u"TryOut\t2\t"_s}));
}

TEST_F(UBaseTest, DatabaseFailuresInMenusAndChoicesNeverEscape)
{
    TestForm* f = shown(QStringLiteral("2001"), QStringLiteral("0"));
    ASSERT_EQ(f->PrnSerialNo, 3);

    // Storing the choice fails: an error box, the old default and number stay, nothing printed.
    exec(QStringLiteral("create trigger NoDefault before insert on tXtPrnDefault "
                        "begin select raise(abort, 'defaults locked'); end"));
    popup(f->DropDownPrint);
    entry(f->DropDownPrint, QStringLiteral("NO1"))->trigger();
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_TRUE(prompts->calls[0].text.contains(QStringLiteral("defaults locked")));
    EXPECT_EQ(f->PrnSerialNo, 3);
    EXPECT_EQ(f->prints, 0);
    EXPECT_EQ(defaults(QStringLiteral("2001")), QStringList({u"TryOut\t3\t"_s}));

    // The list cannot be read: only the fixed entry, without a message.
    exec(QStringLiteral("drop table tXtRightPrn"));
    EXPECT_EQ(popup(f->DropDownPrint), QStringList({u"mnuPrintDgrd*"_s}));
    EXPECT_EQ(prompts->calls.size(), 1u);
}

TEST_F(UBaseTest, AnEntryNameWithoutANumberSelectsFormatOne)
{
    TestForm* f = shown(QStringLiteral("1001"));
    QAction odd(QStringLiteral("x"));
    odd.setObjectName(QStringLiteral("NOx"));
    setActionTag(&odd, 1);
    f->PrnFmtItemClick(&odd);
    EXPECT_EQ(f->PrnSerialNo, 1);
    EXPECT_EQ(f->prints, 1);
    EXPECT_EQ(defaults(QStringLiteral("1001")), QStringList({u"TryOut\t1\tWS01"_s}));
}

TEST_F(UBaseTest, RecordActionsFollowThePosition)
{
    TestForm* f = shown(QStringLiteral("1001"));
    auto* ds = new TClientDataSet(f);
    ds->addField(QStringLiteral("Name"), ftString, 10);
    auto* src = new TDataSource(f);
    src->setDataSet(ds);
    f->RecordActionSource = src;
    const auto states = [f] {
        return QString::fromLatin1("%1%2%3%4")
            .arg(int(f->actFirst->isEnabled())).arg(int(f->actPrior->isEnabled()))
            .arg(int(f->actNext->isEnabled())).arg(int(f->actLast->isEnabled()));
    };

    // Closed dataset or no source: nothing changes.
    f->actNext->setEnabled(true);
    f->UpdateRecordActions(src);
    f->UpdateRecordActions(nullptr);
    EXPECT_EQ(states(), QStringLiteral("0010"));

    ds->CreateDataSet();
    f->UpdateRecordActions(src);
    EXPECT_EQ(states(), QStringLiteral("0000"));

    for (const char* n : {"a", "b", "c"}) {
        ds->Append();
        ds->FieldByName(QStringLiteral("Name"))->setAsString(QString::fromLatin1(n));
        ds->Post();
    }
    ds->First();
    f->UpdateRecordActions(src);
    EXPECT_EQ(states(), QStringLiteral("0011"));

    f->actNext->trigger();
    EXPECT_EQ(ds->RecNo(), 2);
    f->UpdateRecordActions(src);
    EXPECT_EQ(states(), QStringLiteral("1111"));

    f->actLast->trigger();
    EXPECT_EQ(ds->RecNo(), 3);
    f->UpdateRecordActions(src);
    EXPECT_EQ(states(), QStringLiteral("1100"));
    f->actFirst->trigger();
    EXPECT_EQ(ds->RecNo(), 1);

    // Without a source the actions do nothing.
    f->RecordActionSource = nullptr;
    f->actLast->trigger();
    EXPECT_EQ(ds->RecNo(), 1);
}

TEST_F(UBaseTest, EnterMovesLikeTabExceptInMultiLineControls)
{
    TestForm* f = make();
    auto* lay = new QVBoxLayout(f);
    auto* e1 = new QLineEdit(f);
    auto* skipped = new QLineEdit(f);
    skipped->setFocusPolicy(Qt::ClickFocus);
    auto* e2 = new QLineEdit(f);
    auto* memo = new QPlainTextEdit(f);
    auto* rich = new QTextEdit(f);
    for (QWidget* w : {static_cast<QWidget*>(e1), static_cast<QWidget*>(skipped), static_cast<QWidget*>(e2),
                       static_cast<QWidget*>(memo), static_cast<QWidget*>(rich)})
        lay->addWidget(w);
    f->show();
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f));

    e1->setFocus();
    QTest::keyClick(e1, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), e2);
    EXPECT_TRUE(e1->text().isEmpty());
    QTest::keyClick(e2, Qt::Key_Enter);
    EXPECT_EQ(QApplication::focusWidget(), memo);

    QTest::keyClick(memo, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), memo);
    EXPECT_EQ(memo->blockCount(), 2);
    rich->setFocus();
    QTest::keyClick(rich, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), rich);
    EXPECT_EQ(rich->document()->blockCount(), 2);

    // Escape belongs to the actions; it does not close the form.
    QTest::keyClick(e1, Qt::Key_Escape);
    EXPECT_TRUE(f->isVisible());
}

TEST_F(UBaseTest, MaskingWithoutTheCostRight)
{
    // 2001 holds OP07 but not OP08.
    qorSession().userCode = QStringLiteral("2001");
    TestForm* f = make();
    auto* ds = new TClientDataSet(f);
    ds->setObjectName(QStringLiteral("qryHead"));
    ds->addField(QStringLiteral("Cost"), ftFloat);
    ds->addField(QStringLiteral("Count"), ftFloat);
    ds->addField(QStringLiteral("Name"), ftString, 10);
    ds->CreateDataSet();
    ds->Append();
    ds->FieldByName(QStringLiteral("Cost"))->setAsFloat(12.5);
    ds->FieldByName(QStringLiteral("Count"))->setAsFloat(3);
    ds->FieldByName(QStringLiteral("Name"))->setAsString(QStringLiteral("abc"));
    ds->Post();
    ds->FieldByName(QStringLiteral("Name"))->setOnGetText(
        [](TField*, QString& t, bool) { t = QStringLiteral("own"); });
    auto* src = new TDataSource(f);
    src->setDataSet(ds);
    auto* grid = new TDBGridEh(f);
    grid->setDataSource(src);
    for (const char* name : {"Cost", "Count"}) {
        TColumnEh* c = grid->Columns()->Add();
        c->setFieldName(QString::fromLatin1(name));
        c->Footer()->setValueType(fvtSum);
        c->setDisplayFormat(QStringLiteral("#,##0.00"));
    }
    auto* own = new TOwnDataSet(f);
    own->addField(QStringLiteral("Cost"), ftFloat);
    own->CreateDataSet();
    own->Append();
    own->FieldByName(QStringLiteral("Cost"))->setAsFloat(7);
    own->Post();

    // Components of a frame on the form and of a dialog the form owns are theirs, not the form's.
    auto* frame = new TframeProbe(f);
    auto* frameDs = new TClientDataSet(frame);
    frameDs->addField(QStringLiteral("Cost"), ftFloat);
    frameDs->CreateDataSet();
    frameDs->Append();
    frameDs->FieldByName(QStringLiteral("Cost"))->setAsFloat(1);
    frameDs->Post();
    frameDs->FieldByName(QStringLiteral("Cost"))->setOnGetText([](TField*, QString& t, bool) { t = QStringLiteral("f"); });
    auto* dialog = new QDialog(f);
    auto* dialogDs = new TClientDataSet(dialog);
    dialogDs->addField(QStringLiteral("Cost"), ftFloat);
    dialogDs->CreateDataSet();
    dialogDs->Append();
    dialogDs->FieldByName(QStringLiteral("Cost"))->setAsFloat(1);
    dialogDs->Post();
    dialogDs->FieldByName(QStringLiteral("Cost"))->setOnGetText([](TField*, QString& t, bool) { t = QStringLiteral("d"); });

    f->show();
    EXPECT_EQ(frameDs->FieldByName(QStringLiteral("Cost"))->DisplayText(), QStringLiteral("f"));
    EXPECT_EQ(dialogDs->FieldByName(QStringLiteral("Cost"))->DisplayText(), QStringLiteral("d"));
    EXPECT_TRUE(f->ShowQtyFields);
    EXPECT_FALSE(f->ShowCostFields);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("Cost"))->DisplayText(), QStringLiteral("*"));
    EXPECT_NE(ds->FieldByName(QStringLiteral("Count"))->DisplayText(), QStringLiteral("*"));
    // The form's own display-text handler is gone.
    EXPECT_EQ(ds->FieldByName(QStringLiteral("Name"))->DisplayText(), QStringLiteral("abc"));
    EXPECT_EQ(grid->Columns()->Items(0)->Footers()->Count(), 0);
    EXPECT_TRUE(grid->Columns()->Items(0)->DisplayFormat().isEmpty());
    EXPECT_EQ(grid->Columns()->Items(1)->Footer()->ValueType(), fvtSum);
    EXPECT_NE(own->FieldByName(QStringLiteral("Cost"))->DisplayText(), QStringLiteral("*"));

    // ApplyFieldRightsTo masks the one dataset given.
    f->ApplyFieldRightsTo(own);
    EXPECT_EQ(own->FieldByName(QStringLiteral("Cost"))->DisplayText(), QStringLiteral("*"));
}

TEST_F(UBaseTest, NothingIsMaskedForAUserWithBothRightsOrWhenTheFormReadsThemItself)
{
    qorSession().userCode = QStringLiteral("1001");
    TestForm* f = make();
    auto* ds = new TClientDataSet(f);
    ds->addField(QStringLiteral("Cost"), ftFloat);
    ds->CreateDataSet();
    ds->Append();
    ds->FieldByName(QStringLiteral("Cost"))->setAsFloat(2);
    ds->Post();
    ds->FieldByName(QStringLiteral("Cost"))->setOnGetText([](TField*, QString& t, bool) { t = QStringLiteral("own"); });
    f->show();
    EXPECT_EQ(ds->FieldByName(QStringLiteral("Cost"))->DisplayText(), QStringLiteral("own"));

    // A variant that reads the rights through its rights object switches the base check off.
    qorSession().userCode = QStringLiteral("2001");
    TestForm* g = make();
    g->CheckFieldRights = false;
    g->show();
    EXPECT_TRUE(g->ShowCostFields);
}

TEST_F(UBaseTest, AFailingDefaultReadStillMasksAndShowsOneError)
{
    exec(QStringLiteral("drop table tXtPrnDefault"));
    qorSession().userCode = QStringLiteral("2001");
    TestForm* f = make();
    auto* ds = new TClientDataSet(f);
    ds->addField(QStringLiteral("NetCost"), ftFloat);
    ds->CreateDataSet();
    ds->Append();
    ds->FieldByName(QStringLiteral("NetCost"))->setAsFloat(1);
    ds->Post();
    f->show();
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_EQ(prompts->calls[0].kind, PromptKind::Message);
    EXPECT_EQ(f->PrnSerialNo, -1);
    EXPECT_EQ(ds->FieldByName(QStringLiteral("NetCost"))->DisplayText(), QStringLiteral("*"));
    EXPECT_TRUE(f->isVisible());
}

TEST_F(UBaseTest, CloseFreesTheFormUnlessTheHandlerKeepsIt)
{
    TestForm* keep = shown(QStringLiteral("1001"));
    keep->closeAs = caNone;
    keep->close();
    EXPECT_TRUE(keep->isVisible());
    EXPECT_TRUE(keep->Closing);
    EXPECT_EQ(keep->CalcFieldDefs, nullptr);

    QPointer<TestForm> hidden = shown(QStringLiteral("1001"));
    hidden->setAttribute(Qt::WA_DeleteOnClose, true);
    hidden->closeAs = caHide;
    hidden->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(hidden.isNull());
    EXPECT_FALSE(hidden->isVisible());

    QPointer<TestForm> f = shown(QStringLiteral("1001"));
    f->actClose->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(f.isNull());

    // A dialog run modally is freed after its loop as well, however it ends.
    QPointer<TestForm> d = make();
    setModalHook([](QDialog* dlg) {
        dlg->show();
        dlg->reject();
        return dlg->result();
    });
    EXPECT_EQ(runModal(d), int(QDialog::Rejected));
    EXPECT_TRUE(d->Closing);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(d.isNull());
}

TEST_F(UBaseTest, PendingParameterIsHandledOnceAtActivation)
{
    TestForm* f = make();
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(f, &activate);
    EXPECT_TRUE(f->params.isEmpty());
    f->setProperty("PendingParam", QStringLiteral("080101|0101"));
    QCoreApplication::sendEvent(f, &activate);
    QCoreApplication::sendEvent(f, &activate);
    EXPECT_EQ(f->params, QStringList({u"080101|0101"_s}));
    EXPECT_TRUE(f->PendingParam.isEmpty());
}

TEST_F(UBaseTest, TheHostSetsTheLinkedFunctionProcedureThroughTheFormObject)
{
    TestForm* f = make();
    QObject* asHostSeesIt = f;
    ASSERT_TRUE(asHostSeesIt->setProperty("LinkFuncProc",
                                          QVariant::fromValue(reinterpret_cast<quintptr>(&recordLink))));
    ASSERT_EQ(f->linkFuncProc(), &recordLink);
    f->linkFuncProc()(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                      QStringLiteral("e"), QStringLiteral("f"));
    EXPECT_EQ(linkedCall, QStringLiteral("a|b|c|d|e|f"));
    EXPECT_EQ(asHostSeesIt->property("LinkFuncProc").value<quintptr>(), reinterpret_cast<quintptr>(&recordLink));
    f->setLinkFuncProc(nullptr);
    EXPECT_EQ(asHostSeesIt->property("LinkFuncProc").value<quintptr>(), quintptr(0));
    ASSERT_TRUE(asHostSeesIt->setProperty("FunCode", QStringLiteral("080101")));
    EXPECT_EQ(f->FunCode, QStringLiteral("080101"));
}

TEST_F(UBaseTest, UserGroupsAsAQuotedList)
{
    TestForm* f = make();
    EXPECT_EQ(f->GetUserGroups(QStringLiteral("1001")), QStringLiteral("'02'"));
    EXPECT_TRUE(f->GetUserGroups(QStringLiteral("9999")).isEmpty());
    exec(QStringLiteral("insert into XtUserSub values ('5001', 'A''1'), ('5001', 'B2')"));
    EXPECT_EQ(f->GetUserGroups(QStringLiteral("5001")), QStringLiteral("'A''1','B2'"));
}

} // namespace

#include "UBaseTest.moc"
