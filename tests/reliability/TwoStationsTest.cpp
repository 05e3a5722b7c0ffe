// Two stations at once on one embedded database: two processes register trials through the
// entry form and edit and delete them for a while. No row is lost, every duplicate is refused
// with the form's message, no "database is locked" reaches a user, and the rows at the end are
// the rows at the start plus the stored trials minus the deleted ones.
#include "host/include/PubProcDll.h"
#include "platform/sys/Clock.h"
#include "tests/support/TestSupport.h"
#include "tryout/TryOutLr.h"
#include "tryout/TryOutRefresh.h"

#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString Duplicate = u"当前记录已存在。"_s;
const QStringList Goods{u"10010001"_s, u"10010002"_s, u"10010003"_s, u"10020001"_s, u"10020002"_s};

class FakeList : public QWidget, public TTryOutRefresh {
public:
    void LoadData() override {}
};

int trialCount(TADOConnection& c)
{
    return queryRows(c, u"select count(*) from TryOutBK"_s).value(0).toInt();
}

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
    const auto enter = [](QLineEdit* box, const QString& text) {
        box->setFocus(Qt::TabFocusReason);
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Tab);
    };
    enter(form->edtGrpCode, u"0101"_s);
    enter(form->edtBeautyCode, u"3001"_s);

    int stored = 0, duplicates = 0, deleted = 0, edited = 0, other = 0;
    QStringList otherTexts;
    const QDeadlineTimer deadline{std::chrono::seconds(seconds)};
    while (!deadline.hasExpired()) {
        const int op = rnd.bounded(10);
        if (op < 6) {
            at = QTime(11, 0, rnd.bounded(20));
            prompts.calls.clear();
            enter(form->edtGoodsCode, Goods[rnd.bounded(Goods.size())]);
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
                edited, other);
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
        stored += value(u"stored"_s);
        duplicates += value(u"duplicates"_s);
        deleted += value(u"deleted"_s);
    }
    std::printf("two stations, %d s: %d trials stored, %d duplicates refused, %d deleted\n", seconds, stored,
                duplicates, deleted);
    EXPECT_GT(duplicates, 0) << "the stations never met on one trial";
    auto db = TADOConnection::openSqlite(path);
    EXPECT_EQ(trialCount(*db), before + stored - deleted);
}

} // namespace
