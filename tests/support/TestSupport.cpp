#include "tests/support/TestSupport.h"

#include "host/PubProcDll/PubProcDll.h"
#include "platform/sys/Clock.h"
#include "schema/Schema.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>

QString testTempDir()
{
    static QAtomicInt counter;
    QString base = qEnvironmentVariable("QOR_TEST_TMP");
    if (base.isEmpty()) base = QDir::tempPath() + QStringLiteral("/qortest");
    QString dir = QStringLiteral("%1/%2-%3-%4")
                      .arg(base, QCoreApplication::applicationName())
                      .arg(QCoreApplication::applicationPid())
                      .arg(counter.fetchAndAddRelaxed(1));
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

std::unique_ptr<TADOConnection> makeTestDb(bool demo)
{
    auto c = TADOConnection::openSqlite(testTempDir() + QStringLiteral("/test.db"));
    Schema::createDatabase(*c, demo);
    return c;
}

QStringList queryRows(TADOConnection& c, const QString& tsql)
{
    TADOQuery q(&c);
    q.SQL << tsql;
    q.Open();
    QStringList rows;
    while (!q.Eof()) {
        QStringList cells;
        for (int i = 0; i < q.FieldCount(); ++i) cells << q.Field(i).AsString();
        rows << cells.join(QLatin1Char('\t'));
        q.Next();
    }
    return rows;
}

void HostTest::SetUp()
{
    db = makeTestDb(true);
    QorSession s;
    s.userCode = QStringLiteral("1001");
    s.userName = QStringLiteral("王芳");
    s.stationId = QStringLiteral("WS01");
    s.branchNo = QStringLiteral("0101");
    s.shopName = QStringLiteral("一楼化妆品");
    s.isCenter = true;
    setQorSession(s);
    qorHostConnection() = db.get();
    prompts = std::make_unique<ScriptedPrompter>();
    setClock([] { return QDateTime(QDate(2026, 3, 15), QTime(10, 30, 0)); });
    qputenv("QOR_LOG_DIR", testTempDir().toUtf8());
    qputenv("QOR_REGISTRY", (testTempDir() + QStringLiteral("/registry.ini")).toUtf8());
}

void HostTest::TearDown()
{
    setModalHook({});
    prompts.reset();
    qorHostConnection() = nullptr;
    setClock({});
    db.reset();
}

void HostTest::useShopStation(const QString& branchNo, const QString& shopName)
{
    qorSession().isCenter = false;
    qorSession().branchNo = branchNo;
    qorSession().shopName = shopName;
}
