// Hostile text pasted into every box of the entry form (quotes, statement separators, comment
// markers, LIKE wildcards, 10 kB, characters GBK cannot store, emoji, controls, invalid UTF-8
// from the clipboard): no crash, no table but TryOutBK changes, a paste the box does not keep
// as pasted is told, and a stored trial holds what its remark box showed.
#include "calc/CalcEngine.h"
#include "calc/SetCalcFld.h"
#include "chart/Graph.h"
#include "chart/GraphSetFmt.h"
#include "framework/SharedUtils.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Guard.h"
#include "print/PrintFmt.h"
#include "print/PrintFmtSet.h"
#include "query/PubQuery.h"
#include "query/QryDialog.h"
#include "query/UQryShow.h"
#include "tests/reliability/PristineTables.h"
#include "tests/support/TestSupport.h"
#include "tryout/TryOutLr.h"
#include "tryout/TryOutRefresh.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>

#include <functional>
#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

class FakeList : public QWidget, public TTryOutRefresh {
public:
    void LoadData() override {}
};

// The corpus as the clipboard holds it (UTF-8 bytes, some of them invalid).
QList<QByteArray> hostileCorpus()
{
    return {
        QByteArrayLiteral("O'Brien'; drop table TryOutBK;--"),
        QByteArrayLiteral("' or '1'='1"),
        QByteArrayLiteral("/* */ -- ; \" ` \\"),
        QByteArrayLiteral("100%_off [a-z]"),
        QByteArray(10240, 'x'),
        QByteArrayLiteral("\xe2\x82\xac\xe2\x84\xa2 \xe1\xba\xa0 \xed\x95\x9c"), // €, ™, Ạ, 한 (not all in GBK)
        QByteArrayLiteral("\xf0\x9f\x98\x80\xf0\x9f\x91\x8d"),                    // emoji
        QByteArrayLiteral("a\r\nb\tc\x01\x7f" "d"),
        QByteArrayLiteral("\xff\xfe\xc3\x28\xe4\xb8"),                           // invalid UTF-8
        QByteArrayLiteral("\xe9\x9d\xa2\xe9\x9c\x9c\xe8\xaf\x95\xe7\x94\xa8"),   // 面霜试用
        QByteArrayLiteral("0101"),
    };
}

// What a box may show for a pasted text without a word: the text with breaks, controls and odd
// blanks as blanks, composed.
QString plain(QString t)
{
    t = t.normalized(QString::NormalizationForm_C);
    t.replace(u"\r\n"_s, u" "_s);
    for (QChar& ch : t)
        if (ch.category() == QChar::Other_Control || ch.category() == QChar::Separator_Line
            || ch.category() == QChar::Separator_Paragraph || ch.category() == QChar::Separator_Space)
            ch = u' ';
    return t;
}

class HostileInputTest : public HostTest {};

TEST_F(HostileInputTest, PastedIntoEveryBoxOfTheEntryForm)
{
    const QString others = u"select name from sqlite_master where type='table' and name<>'TryOutBK' order by name"_s;
    QStringList otherTables;
    for (const QString& t : queryRows(*db, others)) otherTables << t + u": "_s + queryRows(*db, u"select * from "_s + t).join(u'|');

    FakeList list;
    QPointer<TfrmTryOutLr> form = TfrmBase::create<TfrmTryOutLr>(nullptr);
    form->setOpener(&list);
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    const QList<QLineEdit*> boxes = form->findChildren<QLineEdit*>();
    ASSERT_GE(boxes.size(), 7);

    int pastes = 0, told = 0, silentCodeRefusals = 0;
    for (const QByteArray& bytes : hostileCorpus()) {
        const QString text = QString::fromUtf8(bytes);
        for (QLineEdit* box : boxes) {
            if (!form || box->isReadOnly() || !box->isEnabled() || !box->isVisible()) continue;
            SCOPED_TRACE((box->objectName() + u" <- "_s + text.left(40)).toStdString());
            auto* mime = new QMimeData;
            mime->setData(u"text/plain"_s, bytes);
            QGuiApplication::clipboard()->setMimeData(mime);
            prompts->calls.clear();
            box->setFocus(Qt::OtherFocusReason);
            box->clear();
            // A code box takes digits only; what else a paste brings is left out.
            bool digitsOnly = false;
            if (auto* v = qobject_cast<const GbkLengthValidator*>(box->validator())) {
                QString probe = u"a"_s;
                int pos = 1;
                digitsOnly = v->validate(probe, pos) == QValidator::Invalid;
            }
            bool refused = false;
            if (auto* v = qobject_cast<const GbkLengthValidator*>(box->validator()))
                QObject::connect(v, &GbkLengthValidator::refused, box, [&refused] { refused = true; });
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            ++pastes;
            const QString held = box->text();
            const bool kept = plain(held) == plain(text);
            if (refused || !prompts->calls.empty()) ++told;
            if (digitsOnly) {
                for (QChar ch : held) EXPECT_TRUE(ch.isDigit()) << held.toStdString();
                if (!kept && !refused && prompts->calls.empty()) ++silentCodeRefusals;
            } else {
                EXPECT_TRUE(kept || refused || !prompts->calls.empty())
                    << "silently changed to " << held.left(60).toStdString();
            }
            if (auto* v = qobject_cast<const GbkLengthValidator*>(box->validator())) {
                EXPECT_TRUE(Gbk::canEncode(held));
                EXPECT_LE(Gbk::byteLength(held), v->maxBytes());
                QObject::disconnect(v, &GbkLengthValidator::refused, box, nullptr);
            }
            // Leave the box (its exit check runs) and confirm what the form holds now.
            QTest::keyClick(box, Qt::Key_Tab);
            if (!form) break;
            const int before = queryRows(*db, u"select count(*) from TryOutBK"_s).value(0).toInt();
            const QString remark = form->edtRemark->text().trimmed();
            QTest::mouseClick(form->btnConfirm, Qt::LeftButton);
            const int after = queryRows(*db, u"select count(*) from TryOutBK"_s).value(0).toInt();
            EXPECT_GE(after, before);
            if (after > before) {
                EXPECT_EQ(queryRows(*db, u"select Remark from TryOutBK where rowid=(select max(rowid) from TryOutBK)"_s),
                          QStringList{remark}) << "the stored remark is not what the box showed";
            }
        }
    }
    EXPECT_GT(pastes, 40);
    // Known: a code box refuses a paste that is not all digits without saying so.
    RecordProperty("silentCodeRefusals", silentCodeRefusals);
    EXPECT_GT(told, 0);
    QStringList now;
    for (const QString& t : queryRows(*db, others)) now << t + u": "_s + queryRows(*db, u"select * from "_s + t).join(u'|');
    EXPECT_EQ(now, otherTables) << "a typed text changed a table";
    delete form.data();
}

// --- every other box of the module's forms and dialogs ----------------------------------------

// Message boxes scripted; input requests shown as the module's own input box (so that text is
// typed and pasted into it), driven by the modal hook.
class InputBoxPrompter : public ScriptedPrompter {
public:
    PromptAnswer ask(const PromptCall& call, QWidget* parent, QPrinter* printer) override
    {
        if (call.kind != PromptKind::Input) return ScriptedPrompter::ask(call, parent, printer);
        calls.push_back(call);
        return RunInputDialog(call, parent);
    }
    int messages() const
    {
        int n = 0;
        for (const PromptCall& c : calls) n += c.kind == PromptKind::Message;
        return n;
    }
};

enum class Entry { Pasted, Typed };

// What typing the text brings: its first 300 characters without the control characters.
QString typedText(const QByteArray& bytes)
{
    QString t = QString::fromUtf8(bytes).left(300);
    t.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    return t;
}

// One box of one dialog: the flow opens the dialog, calls enter() with the box when it is open,
// and finishes as a user would (save, confirm). stored() reads back what the flow wrote from the
// box (nullopt when it wrote nothing), expected() says what it should have written of the text
// the box held.
struct BoxCase {
    const char* name;
    QStringList tables; // the tables the flow may write
    std::function<void(const std::function<void(QLineEdit*)>& enter)> flow;
    std::function<std::optional<QString>()> stored;
    std::function<QString(const QString& held)> expected = [](const QString& shown) { return shown.trimmed(); };
    bool keyFilter = false; // typed characters outside the box's alphabet are dropped as typed
};

class HostileBoxes : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        qputenv("XDG_CONFIG_HOME", testTempDir().toUtf8());
        prompts.reset();
        auto p = std::make_unique<InputBoxPrompter>();
        inputs = p.get();
        prompts = std::move(p);
        EnsureCalcFieldTable(); // the editor makes it when it opens; here it is one of the tables compared
        pristine.remember(*db);
        // The head dataset of the register list, for the calculated-field editor and the chart.
        ds.setObjectName(u"qryHead"_s);
        ds.addField(u"OrgName"_s, ftString, 20)->setDisplayLabel(u"组织"_s);
        ds.addField(u"LyCount"_s, ftFloat, 0)->setDisplayLabel(u"领用数量"_s);
        ds.addField(u"TryTimes"_s, ftInteger, 0)->setDisplayLabel(u"试用次数"_s);
        ds.CreateDataSet();
        for (int i = 0; i < 3; ++i) {
            ds.Append();
            ds.FieldByName(u"OrgName"_s)->setAsString(u"一楼化妆品%1"_s.arg(i));
            ds.FieldByName(u"LyCount"_s)->setAsFloat(10 + i);
            ds.FieldByName(u"TryTimes"_s)->setAsInteger(i + 1);
            ds.Post();
        }
        src.setDataSet(&ds);
        grid.setDataSource(&src);
        for (int i = 0; i < 3; ++i) grid.Columns()->Add()->setFieldName(ds.Fields()[i]->FieldName());
    }
    void TearDown() override
    {
        setModalHook({});
        HostTest::TearDown();
    }

    QStringList snapshot(const QStringList& except) const { return pristine.snapshot(*db, except); }
    void restore() const { pristine.restore(*db); }
    // The calculated-field editor on the register list's head dataset, shown.
    std::unique_ptr<TfrmSetCalcFld> openCalcEditor()
    {
        std::unique_ptr<TfrmSetCalcFld> f(TfrmBase::create<TfrmSetCalcFld>());
        f->CalcDataSet = &ds;
        f->FormKey = u"TryOut"_s;
        f->FillColumns(-1);
        f->show();
        f->activateWindow();
        return f;
    }
    QString one(const QString& sql) { return queryRows(*db, sql).value(0); }
    std::optional<QString> optionalOne(const QString& sql)
    {
        const QStringList rows = queryRows(*db, sql);
        if (rows.isEmpty()) return std::nullopt;
        return rows.first();
    }

    // The text goes into the box as the user puts it there; says whether the box told about
    // what it did not keep.
    bool put(QLineEdit* edit, const QByteArray& bytes, Entry how)
    {
        bool told = false;
        QToolTip::hideText();
        auto* v = qobject_cast<const GbkLengthValidator*>(edit->validator());
        if (v) QObject::connect(v, &GbkLengthValidator::refused, edit, [&told] { told = true; });
        const int before = inputs->messages();
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
        if (how == Entry::Pasted) {
            auto* mime = new QMimeData;
            mime->setData(u"text/plain"_s, bytes);
            QGuiApplication::clipboard()->setMimeData(mime);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        } else {
            edit->del();
            // A text beyond every width is typed in part: a keyboard brings no 10 kB at once, and
            // no control characters.
            const QString typed = typedText(bytes);
            for (qsizetype i = 0; i < typed.size(); ++i) {
                const qsizetype n = typed[i].isHighSurrogate() && i + 1 < typed.size() ? 2 : 1;
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, typed.mid(i, n), Qt::NoModifier);
                i += n - 1;
            }
        }
        if (v) QObject::disconnect(v, &GbkLengthValidator::refused, edit, nullptr);
        return told || inputs->messages() > before || QToolTip::isVisible();
    }

    // The query dialog as the register list opens it, with one line on 试用品名称.
    void openQuery(const std::function<void(TfrmQry*)>& script)
    {
        setModalHook([&](QDialog* d) {
            if (auto* f = qobject_cast<TfrmQry*>(d)) {
                f->show();
                f->lstQuery->setCurrentItem(f->lstQuery->findItems(u"试用品名称"_s, Qt::MatchExactly).value(0));
                f->btnAdd->click();
                script(f);
                return f->isVisible() ? 0 : f->result();
            }
            return int(QDialog::Rejected);
        });
        QString w, d;
        ShowQryDialog(u"TryOut"_s, w, d);
        setModalHook({});
    }
    // The input box the flow opens next: the text goes into it and it is confirmed.
    void answerInputWith(const std::function<void(QLineEdit*)>& enter, const ModalHook& outer = {})
    {
        setModalHook([=](QDialog* d) {
            if (auto* e = d->findChild<QLineEdit*>(u"edtValue"_s); e && d->objectName() != u"frmQry"_s
                && !qobject_cast<TfrmQry*>(d)) {
                d->show();
                enter(e);
                return int(QDialog::Accepted);
            }
            return outer ? outer(d) : int(QDialog::Rejected);
        });
    }

    QList<BoxCase> cases()
    {
        QList<BoxCase> c;
        c << BoxCase{"query dialog: condition value", {u"tXtQrySave"_s},
                     [&](const auto& enter) {
                         openQuery([&](TfrmQry* f) {
                             TDBGridEh* g = f->dgrdQuery;
                             const QModelIndex value = g->model()->index(0, 2);
                             g->setCurrentIndex(value);
                             g->edit(value);
                             auto* e = g->viewport()->findChild<QLineEdit*>();
                             ASSERT_NE(e, nullptr) << "no editor in the value cell";
                             enter(e);
                             g->setCurrentIndex(g->model()->index(0, 0)); // leaving the cell posts it
                             held = f->qryTemp->FieldByName(u"FldValue"_s)->AsString();
                             EXPECT_EQ(held, e->text()) << "the line holds another text than its cell showed";
                             prompts->pushText(u"敌意条件"_s);
                             QPointer<TfrmQry> keep = f;
                             answerInputWith([](QLineEdit* n) { n->setText(u"敌意条件"_s); });
                             f->btnSave->click();
                             setModalHook({});
                             if (keep) f->btnOK->click();
                             where = QryWhereText;
                         });
                     },
                     [&] { return optionalOne(u"select FieldValue from tXtQrySave where QryName='敌意条件'"_s); },
                     [](const QString& shown) { return shown; }};
        c << BoxCase{"query dialog: condition name (the input box)", {u"tXtQrySave"_s},
                     [&](const auto& enter) {
                         openQuery([&](TfrmQry* f) {
                             answerInputWith([&](QLineEdit* e) {
                                 enter(e);
                                 held = e->text();
                             });
                             f->btnSave->click();
                             setModalHook({});
                             f->btnCancel->click();
                         });
                     },
                     [&] { return optionalOne(u"select QryName from tXtQrySave where SerialNo=3"_s); }};
        c << BoxCase{"condition frame: value", {u"tXtQrySave"_s},
                     [&](const auto& enter) {
                         QWidget window;
                         auto* lay = new QVBoxLayout(&window);
                         auto* frame = new TframeQryShow(&window);
                         auto* outside = new QLineEdit(&window);
                         lay->addWidget(frame);
                         lay->addWidget(outside);
                         window.show();
                         frame->SetQryType(u"TryOut"_s);
                         frame->LoadQryItems();
                         frame->cmbItem->setEditText(u"试用品名称"_s);
                         frame->cmbOperator->setCurrentIndex(frame->cmbOperator->findText(u"="_s));
                         enter(frame->cmbValue->lineEdit());
                         outside->setFocus();
                         held = frame->cmbValue->currentText();
                         QString desc;
                         where.clear();
                         guard([&] { frame->GetQryCondition(where, desc); });
                     },
                     [&] { return optionalOne(u"select FieldValue from tXtQrySave where QryName='试用品名称='"_s); },
                     [](const QString& shown) { return shown; }};
        const auto calc = [&](const char* name, QLineEdit* TfrmSetCalcFld::*target, const char* column, bool keys) {
            return BoxCase{name, {u"tXtQryField"_s},
                           [=, this](const auto& enter) {
                               const std::unique_ptr<TfrmSetCalcFld> f = openCalcEditor();
                               ASSERT_TRUE(QTest::qWaitForWindowActive(f.get()));
                               QLineEdit* nameBox = f->cbxFldName->lineEdit();
                               QLineEdit* edit = target ? f.get()->*target : nameBox;
                               if (edit != nameBox) {
                                   nameBox->setFocus(Qt::TabFocusReason);
                                   QTest::keyClicks(nameBox, u"Rate"_s);
                               } else {
                                   enter(nameBox);
                               }
                               f->EdtFldCaption->setFocus(Qt::TabFocusReason);
                               if (edit != f->EdtFldCaption) f->EdtFldCaption->setText(u"试用率"_s);
                               f->CbxFlgType->setCurrentIndex(2);
                               Q_EMIT f->CbxFlgType->activated(2);
                               if (edit != nameBox) enter(edit);
                               held = edit->text();
                               f->lbxFieldCaption->setFocus(Qt::TabFocusReason);
                               for (const QString& item : {u"试用次数"_s, u"/"_s, u"领用数量"_s}) {
                                   QListWidget* list = item == u"/"_s ? f->lbxOperator : f->lbxFieldCaption;
                                   const auto found = list->findItems(item, Qt::MatchExactly);
                                   if (found.isEmpty()) continue;
                                   list->setCurrentItem(found[0]);
                                   Q_EMIT list->itemDoubleClicked(found[0]);
                               }
                               f->btnOk->click();
                           },
                           [=, this] {
                               return optionalOne(u"select %1 from tXtQryField"_s.arg(QLatin1String(column)));
                           },
                           [](const QString& shown) { return shown.trimmed(); }, keys};
        };
        c << calc("calculated field: name", nullptr, "FldName", true);
        c << calc("calculated field: caption", &TfrmSetCalcFld::EdtFldCaption, "FldCaption", false);
        c << calc("calculated field: remark", &TfrmSetCalcFld::EdtReMark, "Remark", false);
        c << BoxCase{"calculated field: text constant of the expression (the input box)", {u"tXtQryField"_s},
                     [&](const auto& enter) {
                         const std::unique_ptr<TfrmSetCalcFld> f = openCalcEditor();
                         ASSERT_TRUE(QTest::qWaitForWindowActive(f.get()));
                         f->cbxFldName->setFocus(Qt::TabFocusReason);
                         QTest::keyClicks(f->cbxFldName, u"Note"_s);
                         f->EdtFldCaption->setFocus(Qt::TabFocusReason);
                         f->EdtFldCaption->setText(u"说明"_s);
                         f->CbxFlgType->setCurrentIndex(0);
                         Q_EMIT f->CbxFlgType->activated(0);
                         f->EdtFldLen->setText(u"100"_s);
                         f->lbxOperator->setFocus(Qt::TabFocusReason);
                         answerInputWith([&](QLineEdit* e) {
                             enter(e);
                             held = e->text();
                         });
                         const auto k = f->lbxOperator->findItems(u"常量"_s, Qt::MatchExactly);
                         ASSERT_EQ(k.size(), 1);
                         f->lbxOperator->setCurrentItem(k[0]);
                         Q_EMIT f->lbxOperator->itemDoubleClicked(k[0]);
                         setModalHook({});
                         f->btnOk->click();
                     },
                     [&] { return optionalOne(u"select FldExpress from tXtQryField"_s); },
                     // a constant is stored marked, as one quoted literal
                     [](const QString& shown) { return u"#'"_s + shown.trimmed() + u"'"_s; }};
        const auto format = [&](const char* name, QLineEdit* TfrmPrintFmtSet::*target, const char* column) {
            return BoxCase{name, {u"tXtPrnFormat"_s, u"tXtRightPrn"_s},
                           [=, this](const auto& enter) {
                               QWidget owner;
                               TClientDataSet data(&owner);
                               setModalHook([&](QDialog* d) {
                                   d->show();
                                   if (auto* l = qobject_cast<TfrmPrintFmt*>(d)) {
                                       l->btnAdd->click();
                                   } else if (auto* e = qobject_cast<TfrmPrintFmtSet*>(d)) {
                                       e->edtSerialNo->setText(u"9"_s);
                                       e->edtPrnName->setText(u"敌意格式"_s);
                                       e->edtRemark->setText(u"备注"_s);
                                       enter(e->*target);
                                       held = (e->*target)->text();
                                       e->btnSave->click();
                                   }
                                   if (d->isVisible()) d->close();
                                   return 0;
                               });
                               ShowPrintFmtList(&owner, u"TryOut"_s, &data);
                               setModalHook({});
                               QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                           },
                           [=, this] {
                               return optionalOne(u"select %1 from tXtPrnFormat where SerialNo=9"_s.arg(QLatin1String(column)));
                           }};
        };
        c << format("print format editor: name", &TfrmPrintFmtSet::edtPrnName, "PrnName");
        c << format("print format editor: remark", &TfrmPrintFmtSet::edtRemark, "Remark");
        const auto chart = [&](const char* name, QLineEdit* TfrmGraphSetFmt::*target, bool x) {
            return BoxCase{name, {u"TXTMYCLMDEFAULT"_s},
                           [=, this](const auto& enter) {
                               QPointer<TfrmGraph> form = TfrmBase::create<TfrmGraph>();
                               form->setGraphSource(&ds, &grid, u"试用登记"_s, u"TryOut"_s);
                               form->show();
                               other = form->Settings.otherText();
                               setModalHook([&](QDialog* d) {
                                   auto* dlg = qobject_cast<TfrmGraphSetFmt*>(d);
                                   if (!dlg) return int(QDialog::Rejected);
                                   dlg->show();
                                   enter(dlg->*target);
                                   held = (dlg->*target)->text();
                                   return int(QDialog::Accepted);
                               });
                               form->actSetFmt->trigger();
                               setModalHook({});
                               delete form.data();
                           },
                           [=, this]() -> std::optional<QString> {
                               QByteArray row;
                               if (!GraphSettings::readDatabaseCopy(db.get(), u"TryOut"_s, row)) return std::nullopt;
                               const TGraphSettings s = TGraphSettings::fromIni(row, QString());
                               // The other settings are read back as they were chosen.
                               EXPECT_EQ(s.otherText(), other) << "a caption changed another setting";
                               return (x ? s.XCaption : s.YCaption).trimmed();
                           },
                           // The file holds one line per setting: a line break is a blank there.
                           [](const QString& shown) {
                               QString t = shown;
                               return t.replace(u'\r', u' ').replace(u'\n', u' ').trimmed();
                           }};
        };
        c << chart("chart format: X caption", &TfrmGraphSetFmt::edtXCaption, true);
        c << chart("chart format: Y caption", &TfrmGraphSetFmt::edtYCaption, false);
        return c;
    }

    InputBoxPrompter* inputs = nullptr;
    PristineTables pristine;
    TClientDataSet ds;
    TDataSource src;
    TDBGridEh grid;
    QString held, where, other;
};

TEST_F(HostileBoxes, TypedAndPastedIntoEveryBoxOfTheOtherDialogs)
{
    int runs = 0;
    QStringList report;
    for (const BoxCase& bc : cases()) {
        int storedRuns = 0;
        for (const Entry how : {Entry::Pasted, Entry::Typed}) {
            for (const QByteArray& bytes : hostileCorpus()) {
                const QString text = QString::fromUtf8(bytes);
                SCOPED_TRACE((QString::fromLatin1(bc.name) + (how == Entry::Pasted ? u" pasted <- "_s : u" typed <- "_s)
                              + text.left(40)).toStdString());
                restore();
                inputs->calls.clear();
                const QStringList others = snapshot(bc.tables);
                held.clear();
                where.clear();
                bool told = false;
                bc.flow([&](QLineEdit* e) {
                    told = put(e, bytes, how);
                    // What the box shows without a word: the text (typed: what a keyboard brings).
                    const QString given = how == Entry::Pasted ? text : typedText(bytes);
                    const bool kept = plain(e->text()) == plain(given);
                    if (!kept && !told && !(how == Entry::Typed && bc.keyFilter))
                        ADD_FAILURE() << "silently changed to " << e->text().left(60).toStdString();
                });
                ++runs;
                EXPECT_EQ(snapshot(bc.tables), others) << "a typed text changed another table";
                const std::optional<QString> stored = bc.stored();
                const int messages = inputs->messages();
                if (stored) {
                    ++storedRuns;
                    EXPECT_EQ(*stored, bc.expected(held)) << "stored other than the box held";
                } else {
                    EXPECT_TRUE(told || messages > 0) << "nothing stored and nothing said";
                }
                // A condition holds the value as one literal and runs.
                if (!where.isEmpty()) {
                    EXPECT_TRUE(where.contains(QuotedStr(held))) << where.left(80).toStdString();
                    const QStringList before = snapshot({});
                    TADOQuery q(db.get());
                    q.SQL << u"select count(*) from TryOutBK T Left Join Goods R on T.PluCode=R.PluCode where "_s + where;
                    EXPECT_NO_THROW(q.Open()) << where.left(80).toStdString();
                    EXPECT_EQ(snapshot({}), before);
                }
            }
        }
        // Plain Chinese text, digits and most of the rest go through: the flow does store.
        EXPECT_GE(storedRuns, 2) << bc.name;
        report << u"%1: %2 of %3 stored"_s.arg(QLatin1String(bc.name)).arg(storedRuns).arg(2 * hostileCorpus().size());
    }
    RecordProperty("stored", report.join(u"; "_s).toStdString());
    EXPECT_GT(runs, 200);
}

} // namespace
