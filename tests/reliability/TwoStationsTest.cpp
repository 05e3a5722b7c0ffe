// Two stations at once on one embedded database: two processes register trials through the
// entry form and edit and delete them, and save, save as, overwrite and delete named query
// conditions through the query dialog and remember conditions of the condition frame, for a
// while. No row is lost, every duplicate is refused with the form's message, no "database is
// locked" reaches a user, and the rows at the end are the rows at the start plus the stored
// trials minus the deleted ones; every condition a station stored and kept is there whole, under
// a name no other condition has.
#include "host/include/PubProcDll.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Guard.h"
#include "query/PubQuery.h"
#include "query/QryDialog.h"
#include "query/UQryShow.h"
#include "tests/support/TestSupport.h"
#include "tryout/TryOutLr.h"
#include "tryout/TryOutRefresh.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString Duplicate = u"当前记录已存在。"_s;
const QString AskName = u"请输入查询条件名称："_s;
const QString DuplicateName = u"查询条件名称不允许重复！"_s;
const QString AskDelete = u"确认要删除该查询条件吗？"_s;
const QStringList Goods{u"10010001"_s, u"10010002"_s, u"10010003"_s, u"10020001"_s, u"10020002"_s};

class FakeList : public QWidget, public TTryOutRefresh {
public:
    void LoadData() override {}
};

int trialCount(TADOConnection& c)
{
    return queryRows(c, u"select count(*) from TryOutBK"_s).value(0).toInt();
}

// A station's named query conditions, saved through the query dialog as its user saves them.
// Names come from a small pool both stations draw from; a station deletes, overwrites and saves
// as only the conditions it stored itself, so that what it counts is what happened.
class ConditionWork {
public:
    ConditionWork(ScriptedPrompter& prompts, QRandomGenerator& rnd) : m_prompts(prompts), m_rnd(rnd) {}
    int stored = 0, refused = 0, deleted = 0, overwritten = 0, remembered = 0, other = 0;
    QStringList owned, otherTexts;

    void step(int op)
    {
        if (op == 0 || owned.isEmpty()) return saveNew(false);
        if (op == 1) return saveNew(true);
        if (op == 2) return overwrite();
        if (op == 3) return remove();
        remember();
    }

private:
    QString poolName() { return u"共用条件%1"_s.arg(m_rnd.bounded(8)); }
    QString ownedName() { return owned[m_rnd.bounded(owned.size())]; }

    // The dialog as the register list opens it, with one line.
    TfrmQry* open()
    {
        auto* d = TfrmBase::create<TfrmQry>(nullptr);
        CurQryType = u"TryOut"_s;
        d->QryType = u"TryOut"_s;
        if (!guard([&] { LoadQryFields(u"TryOut"_s, d->Catalog); })) {
            delete d;
            return nullptr;
        }
        d->show();
        addLine(d);
        return d;
    }
    void addLine(TfrmQry* d)
    {
        d->lstQuery->setCurrentItem(d->lstQuery->findItems(u"试用品名称"_s, Qt::MatchExactly).value(0));
        d->btnAdd->click();
        TClientDataSet* t = d->qryTemp;
        t->Last();
        t->Edit();
        t->FieldByName(u"FldValue"_s)->setAsString(u"霜%1"_s.arg(m_rnd.bounded(100)));
        t->Post();
    }
    bool choose(TfrmQry* d, const QString& name)
    {
        for (int i = 0; i < d->cmbQrySave->count(); ++i) {
            const QString item = d->cmbQrySave->itemText(i);
            if (item.mid(item.indexOf(u'_') + 1) != name) continue;
            d->cmbQrySave->setCurrentIndex(i);
            Q_EMIT d->cmbQrySave->activated(i);
            return true;
        }
        return false;
    }
    void unexpected(const QString& what)
    {
        ++other;
        otherTexts << what + u": "_s + m_prompts.texts().join(u" / "_s);
    }

    void saveNew(bool saveAs)
    {
        std::unique_ptr<TfrmQry> d(open());
        if (!d) return unexpected(u"open"_s);
        const QString name = poolName();
        m_prompts.calls.clear();
        if (saveAs && !choose(d.get(), ownedName())) return unexpected(u"own condition missing"_s);
        m_prompts.pushText(name);
        (saveAs ? d->btnSaveAs : d->btnSave)->click();
        const QStringList said = m_prompts.texts();
        if (said == QStringList{AskName} && d->CurQryName == name) {
            ++stored;
            owned << name;
        } else if (said == QStringList{AskName, DuplicateName}) {
            ++refused;
        } else {
            unexpected(saveAs ? u"save as"_s : u"save"_s);
        }
    }
    void overwrite()
    {
        std::unique_ptr<TfrmQry> d(open());
        if (!d) return unexpected(u"open"_s);
        m_prompts.calls.clear();
        if (!choose(d.get(), ownedName())) return unexpected(u"own condition missing"_s);
        addLine(d.get());
        d->btnSave->click();
        if (m_prompts.calls.empty()) ++overwritten;
        else unexpected(u"save over"_s);
    }
    void remove()
    {
        std::unique_ptr<TfrmQry> d(open());
        if (!d) return unexpected(u"open"_s);
        const QString name = ownedName();
        m_prompts.calls.clear();
        if (!choose(d.get(), name)) return unexpected(u"own condition missing"_s);
        m_prompts.pushButton(MsgResult::Yes);
        d->btnDelete->click();
        if (m_prompts.texts() == QStringList{AskDelete}) {
            ++deleted;
            owned.removeOne(name);
        } else {
            unexpected(u"delete"_s);
        }
    }
    // A refresh through the condition frame remembers its condition (both stations the same ones).
    void remember()
    {
        QWidget window;
        auto* frame = new TframeQryShow(&window);
        frame->SetQryType(u"TryOut"_s);
        m_prompts.calls.clear();
        frame->LoadQryItems();
        frame->cmbItem->setEditText(u"试用品名称"_s);
        static const QStringList ops{u"="_s, u"含有"_s, u"左边含有"_s};
        frame->cmbOperator->setCurrentIndex(frame->cmbOperator->findText(ops[m_rnd.bounded(ops.size())]));
        frame->cmbValue->setEditText(u"乳%1"_s.arg(m_rnd.bounded(10)));
        QString where, desc;
        guard([&] { frame->GetQryCondition(where, desc); });
        if (m_prompts.calls.empty() && !where.isEmpty()) ++remembered;
        else unexpected(u"remember"_s);
    }

    ScriptedPrompter& m_prompts;
    QRandomGenerator& m_rnd;
};

// One station's work; its tallies go to standard output as "key=value" lines.
void runStation(const QString& path, int station, int seconds)
{
    auto db = TADOConnection::openSqlite(path);
    QorSession s;
    s.userCode = u"1001"_s;
    s.userName = u"王芳"_s;
    s.stationId = u"WS0%1"_s.arg(station);
    s.branchNo = u"0101"_s;
    s.shopName = u"一楼化妆品"_s;
    s.isCenter = true;
    setQorSession(s);
    qorHostConnection() = db.get();
    ScriptedPrompter prompts;
    // Few distinct times, so that the two stations keep registering the same trial.
    QRandomGenerator rnd(quint32(station * 7919));
    QTime at(11, 0, 0);
    setClock([&] { return QDateTime(QDate(2026, 3, 16), at); });

    FakeList list;
    QPointer<TfrmTryOutLr> form = TfrmBase::create<TfrmTryOutLr>(nullptr);
    form->setOpener(&list);
    form->show();
    enterAndLeave(form->edtGrpCode, u"0101"_s);
    enterAndLeave(form->edtBeautyCode, u"3001"_s);

    int stored = 0, duplicates = 0, deleted = 0, edited = 0, other = 0;
    QStringList otherTexts;
    ConditionWork conditions(prompts, rnd);
    const QDeadlineTimer deadline{std::chrono::seconds(seconds)};
    while (!deadline.hasExpired()) {
        const int op = rnd.bounded(15);
        if (op >= 10) {
            conditions.step(op - 10);
            continue;
        }
        if (op < 6) {
            at = QTime(11, 0, rnd.bounded(20));
            prompts.calls.clear();
            enterAndLeave(form->edtGoodsCode, Goods[rnd.bounded(Goods.size())]);
            QTest::mouseClick(form->btnConfirm, Qt::LeftButton);
            const QStringList said = prompts.texts();
            if (said.isEmpty() && form->edtGoodsCode->text().isEmpty()) ++stored;
            else if (said == QStringList{Duplicate}) ++duplicates;
            else { ++other; otherTexts << said; }
        } else {
            // The list form's delete and edit statements on a trial of the day.
            const QStringList row = queryRows(*db, u"select BookTime, PluCode from TryOutBK where BookDate='2026-03-16'"
                                                   " and OrgCode='0101' order by random() limit 1"_s);
            if (row.isEmpty()) continue;
            const QStringList key = row[0].split(u'\t');
            TADOQuery q(db.get());
            try {
                if (op < 8) {
                    q.SQL << u"delete TryOutBK where OrgCode='0101' and BookDate='2026-03-16' and BookTime=:T and PluCode=:P"_s;
                } else {
                    q.SQL << u"update TryOutBK set Remark=:R where OrgCode='0101' and BookDate='2026-03-16'"
                             " and BookTime=:T and PluCode=:P"_s;
                    q.Parameters.ParamByName(u"R"_s).Value = u"站点%1"_s.arg(station);
                }
                q.Parameters.ParamByName(u"T"_s).Value = key.value(0);
                q.Parameters.ParamByName(u"P"_s).Value = key.value(1);
                const int n = q.ExecSQL();
                (op < 8 ? deleted : edited) += n;
            } catch (const DbError& e) {
                ++other;
                otherTexts << e.message();
            }
        }
    }
    delete form.data();
    std::printf("stored=%d\nduplicates=%d\ndeleted=%d\nedited=%d\nother=%d\n", stored, duplicates, deleted,
                edited, other + conditions.other);
    std::printf("conditionsStored=%d\nconditionsRefused=%d\nconditionsDeleted=%d\nconditionsOverwritten=%d\n"
                "conditionsRemembered=%d\n", conditions.stored, conditions.refused, conditions.deleted,
                conditions.overwritten, conditions.remembered);
    for (const QString& n : std::as_const(conditions.owned)) std::printf("owned=%s\n", n.toUtf8().constData());
    otherTexts << conditions.otherTexts;
    for (const QString& t : std::as_const(otherTexts)) std::printf("text=%s\n", t.toUtf8().constData());
    std::fflush(stdout);
    qorHostConnection() = nullptr;
    setClock({});
}

TEST(TwoStations, Station)
{
    // The work of one station when the test below starts this program as one.
    const QString path = qEnvironmentVariable("QOR_STATION_DB");
    if (path.isEmpty()) GTEST_SKIP() << "runs as a station of TwoStations.RegisterEditAndDeleteAtOnce";
    runStation(path, qEnvironmentVariableIntValue("QOR_STATION"), qEnvironmentVariableIntValue("QOR_STATION_SECONDS"));
}

TEST(TwoStations, RegisterEditAndDeleteAtOnce)
{
    if (!qEnvironmentVariable("QOR_STATION_DB").isEmpty()) GTEST_SKIP();
    const QString path = testTempDir() + u"/shared.db"_s;
    int before = 0;
    {
        auto made = makeTestDb(true);
        made->executeScript(u"VACUUM INTO '%1'"_s.arg(path));
    }
    {
        auto db = TADOConnection::openSqlite(path);
        before = trialCount(*db);
    }
    const int seconds = qEnvironmentVariableIsSet("QOR_TWO_STATIONS_SECONDS")
                            ? qEnvironmentVariableIntValue("QOR_TWO_STATIONS_SECONDS") : 20;
    QProcess stations[2];
    for (int i = 0; i < 2; ++i) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QOR_STATION_DB"_s, path);
        env.insert(u"QOR_STATION"_s, QString::number(i + 1));
        env.insert(u"QOR_STATION_SECONDS"_s, QString::number(seconds));
        stations[i].setProcessEnvironment(env);
        stations[i].start(QCoreApplication::applicationFilePath(), {u"--gtest_filter=TwoStations.Station"_s});
    }
    int stored = 0, duplicates = 0, deleted = 0;
    int condStored = 0, condRefused = 0, condDeleted = 0, condOverwritten = 0, condRemembered = 0;
    QStringList owned;
    for (QProcess& p : stations) {
        ASSERT_TRUE(p.waitForFinished((seconds + 60) * 1000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const auto value = [&](const QString& key) {
            for (const QString& line : out.split(u'\n'))
                if (line.startsWith(key + u'=')) return line.mid(key.size() + 1).toInt();
            return -1;
        };
        EXPECT_GT(value(u"stored"_s), 0) << out.toStdString();
        EXPECT_EQ(value(u"other"_s), 0) << "a station saw another failure:\n" << out.toStdString();
        EXPECT_FALSE(out.contains(u"locked"_s)) << out.toStdString();
        for (const QString& line : out.split(u'\n'))
            if (line.startsWith(u"owned="_s)) owned << line.mid(6);
        condStored += value(u"conditionsStored"_s);
        condRefused += value(u"conditionsRefused"_s);
        condDeleted += value(u"conditionsDeleted"_s);
        condOverwritten += value(u"conditionsOverwritten"_s);
        condRemembered += value(u"conditionsRemembered"_s);
        EXPECT_GT(value(u"conditionsStored"_s), 0) << out.toStdString();
        stored += value(u"stored"_s);
        duplicates += value(u"duplicates"_s);
        deleted += value(u"deleted"_s);
    }
    std::printf("two stations, %d s: %d trials stored, %d duplicates refused, %d deleted\n", seconds, stored,
                duplicates, deleted);
    EXPECT_GT(duplicates, 0) << "the stations never met on one trial";
    std::printf("conditions: %d saved, %d duplicate names refused, %d deleted, %d overwritten, %d refreshes remembered\n",
                condStored, condRefused, condDeleted, condOverwritten, condRemembered);
    EXPECT_GT(condRefused, 0) << "the stations never met on one condition name";
    EXPECT_GT(condRemembered, 0);
    auto db = TADOConnection::openSqlite(path);
    EXPECT_EQ(trialCount(*db), before + stored - deleted);

    // One name, one condition; one number, one name; the lines of each numbered 1..n.
    EXPECT_EQ(queryRows(*db, u"select QryName from tXtQrySave where QryType='TryOut' group by QryName"
                             " having count(distinct SerialNo)>1"_s), QStringList()) << "two conditions under one name";
    EXPECT_EQ(queryRows(*db, u"select SerialNo from tXtQrySave where QryType='TryOut' group by SerialNo"
                             " having count(distinct QryName)>1"_s), QStringList()) << "two names under one number";
    EXPECT_EQ(queryRows(*db, u"select SerialNo from tXtQrySave where QryType='TryOut' group by SerialNo"
                             " having min(OrderNo)<>1 or max(OrderNo)<>count(*)"_s), QStringList()) << "lines missing";
    // No condition lost: every one a station stored and kept is there, and nothing else of the pool.
    for (const QString& name : std::as_const(owned))
        EXPECT_EQ(queryRows(*db, u"select count(*) from tXtQrySave where QryType='TryOut' and QryName='%1' and OrderNo=1"_s.arg(name)),
                  QStringList{u"1"_s}) << name.toStdString();
    EXPECT_EQ(queryRows(*db, u"select count(distinct QryName) from tXtQrySave where QryName like '共用条件%'"_s),
              QStringList{QString::number(condStored - condDeleted)});
    EXPECT_EQ(owned.size(), condStored - condDeleted);
}

} // namespace
