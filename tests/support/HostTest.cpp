#include "tests/support/TestSupport.h"

#include "host/include/PubProcDll.h"
#include "platform/sys/Clock.h"

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
