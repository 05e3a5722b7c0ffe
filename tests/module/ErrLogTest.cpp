// The error log: record format, GBK with CR LF, size limit from the registry file, rotation and
// the fall-back folders.
#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "platform/sys/Registry.h"
#include "platform/text/Gbk.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

namespace {

class ErrLogTest : public HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        folder = qEnvironmentVariable("QOR_LOG_DIR");
        oldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", (testTempDir() + QStringLiteral("/data")).toUtf8());
    }
    void TearDown() override
    {
        qputenv("XDG_DATA_HOME", oldDataHome);
        HostTest::TearDown();
    }
    QString path(const QString& name = QStringLiteral("SysErr.Log")) const { return QDir(folder).filePath(name); }
    static QByteArray bytes(const QString& p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeBytes(const QString& p, const QByteArray& b)
    {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(b);
    }
    static QString record(const QString& user, const QString& info)
    {
        QString r = QStringLiteral("时间: 2026-03-15 10:30:00\r\n");
        if (!user.isEmpty()) r += QStringLiteral("用户: ") + user + QStringLiteral("\r\n");
        return r + QStringLiteral("系统: 零售管理系统\r\n模块: 试用品试用\r\n信息: ") + info + QStringLiteral("\r\n\r\n");
    }
    QString folder;
    QByteArray oldDataHome;
};

const QString kCreated = QStringLiteral("时间: 2026-03-15 10:30:00\r\n信息: 创建日志\r\n\r\n");
const QString kCleared = QStringLiteral("时间: 2026-03-15 10:30:00\r\n信息: 清除日志\r\n\r\n");

} // namespace

TEST_F(ErrLogTest, FirstRecordStartsTheLogInGbkWithCrLf)
{
    WriteErrLog(QStringLiteral("零售管理系统"), QStringLiteral("试用品试用"), QStringLiteral("主键重复"));
    const QByteArray raw = bytes(path());
    EXPECT_EQ(raw, Gbk::encode(kCreated + record(QStringLiteral("1001-王芳"), QStringLiteral("主键重复"))));
    EXPECT_TRUE(raw.contains(Gbk::encode(QStringLiteral("王芳"))));
    // The missing size limit is written with its default.
    EXPECT_EQ(Registry::readInteger(ErrLogRegistryKey, ErrLogSizeValue), 1024);

    WriteErrLog(QStringLiteral("零售管理系统"), QStringLiteral("试用品试用"), QStringLiteral("第二条"));
    EXPECT_EQ(Gbk::decode(bytes(path())), kCreated + record(QStringLiteral("1001-王芳"), QStringLiteral("主键重复")) +
                                              record(QStringLiteral("1001-王芳"), QStringLiteral("第二条")));
}

TEST_F(ErrLogTest, MultiLineMessagesKeepCrLfLineEnds)
{
    WriteErrLog(QStringLiteral("零售管理系统"), QStringLiteral("试用品试用"), QStringLiteral("一\n二\r\n三"));
    const QByteArray raw = bytes(path());
    EXPECT_TRUE(Gbk::decode(raw).endsWith(QStringLiteral("信息: 一\r\n二\r\n三\r\n\r\n")));
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\n') {
            ASSERT_TRUE(i > 0 && raw[i - 1] == '\r') << "bare LF at " << i;
        }
    }
}

TEST_F(ErrLogTest, EmptyUserCodeWritesNoUserLine)
{
    qorSession().userCode.clear();
    WriteErrLog(QStringLiteral("零售管理系统"), QStringLiteral("试用品试用"), QStringLiteral("x"));
    const QString text = Gbk::decode(bytes(path()));
    EXPECT_FALSE(text.contains(QStringLiteral("用户: ")));
    EXPECT_EQ(text, kCreated + record({}, QStringLiteral("x")));
}

TEST_F(ErrLogTest, RotatesAtTheSizeLimitKeepingOnePreviousGeneration)
{
    ASSERT_TRUE(Registry::writeInteger(ErrLogRegistryKey, ErrLogSizeValue, 1));
    // Just under 1 KB: no rotation.
    writeBytes(path(), QByteArray(1023, 'a'));
    WriteErrLog(QStringLiteral("零售管理系统"), QStringLiteral("试用品试用"), QStringLiteral("一"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("SysErr0.Log"))));
    const QByteArray full = bytes(path());
    ASSERT_GE(full.size(), 1024);

    WriteErrLog(QStringLiteral("零售管理系统"), QStringLiteral("试用品试用"), QStringLiteral("二"));
    EXPECT_EQ(bytes(path(QStringLiteral("SysErr0.Log"))), full);
    EXPECT_EQ(Gbk::decode(bytes(path())), kCleared + record(QStringLiteral("1001-王芳"), QStringLiteral("二")));

    // The next rotation replaces the previous generation.
    writeBytes(path(), QByteArray(2048, 'b'));
    WriteErrLog(QStringLiteral("零售管理系统"), QStringLiteral("试用品试用"), QStringLiteral("三"));
    EXPECT_EQ(bytes(path(QStringLiteral("SysErr0.Log"))), QByteArray(2048, 'b'));
}

TEST_F(ErrLogTest, ZeroNegativeOrUnreadableLimitCountsAsMissing)
{
    for (const QString& stored : {QStringLiteral("0"), QStringLiteral("-5"), QStringLiteral("abc")}) {
        {
            QSettings reg(Registry::filePath(), QSettings::IniFormat);
            reg.setValue(QStringLiteral("SOFTWARE/Tamrek/Vorandel/5.0/MaxLogSize"), stored);
        }
        writeBytes(path(), QByteArray(4096, 'c'));
        QFile::remove(path(QStringLiteral("SysErr0.Log")));
        EXPECT_EQ(ErrLogSizeLimit(), 1024) << stored.toStdString();
        WriteErrLog(QStringLiteral("零售管理系统"), QStringLiteral("试用品试用"), QStringLiteral("x"));
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("SysErr0.Log")))) << stored.toStdString();
        EXPECT_EQ(Registry::readInteger(ErrLogRegistryKey, ErrLogSizeValue), 1024) << stored.toStdString();
    }
}

TEST_F(ErrLogTest, ReadOnlyLogIsMadeWritableBeforeTheAppend)
{
    WriteErrLog(QStringLiteral("零售管理系统"), QStringLiteral("试用品试用"), QStringLiteral("一"));
    ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    WriteErrLog(QStringLiteral("零售管理系统"), QStringLiteral("试用品试用"), QStringLiteral("二"));
    EXPECT_TRUE(QFile::permissions(path()) & QFileDevice::WriteOwner);
    EXPECT_TRUE(Gbk::decode(bytes(path())).endsWith(record(QStringLiteral("1001-王芳"), QStringLiteral("二"))));
}

TEST_F(ErrLogTest, UnwritableFolderFallsBackToThePerUserFolderThenToStderr)
{
    // A folder below a plain file can never be created, whoever runs the test.
    const QString blocker = testTempDir() + QStringLiteral("/plain-file");
    writeBytes(blocker, "x");
    qputenv("QOR_LOG_DIR", (blocker + QStringLiteral("/logs")).toUtf8());
    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    ASSERT_TRUE(perUser.startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
    EXPECT_EQ(ErrLogFolder(), perUser);
    WriteErrLog(QStringLiteral("零售管理系统"), QStringLiteral("试用品试用"), QStringLiteral("备用目录"));
    EXPECT_TRUE(Gbk::decode(bytes(QDir(perUser).filePath(QStringLiteral("SysErr.Log"))))
                    .endsWith(record(QStringLiteral("1001-王芳"), QStringLiteral("备用目录"))));

    // No folder at all: the record goes to standard error, and nothing is thrown.
    qputenv("XDG_DATA_HOME", (blocker + QStringLiteral("/data")).toUtf8());
    EXPECT_EQ(ErrLogFolder(), QString());
    const QString capture = testTempDir() + QStringLiteral("/stderr.txt");
    fflush(stderr);
    const int saved = dup(2);
    const int fd = ::open(QFile::encodeName(capture).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    dup2(fd, 2);
    EXPECT_NO_THROW(WriteErrLog(QStringLiteral("零售管理系统"), QStringLiteral("试用品试用"), QStringLiteral("无处可写")));
    fflush(stderr);
    dup2(saved, 2);
    ::close(fd);
    ::close(saved);
    EXPECT_TRUE(QString::fromUtf8(bytes(capture)).contains(QStringLiteral("信息: 无处可写")));
}

TEST_F(ErrLogTest, LogExceptionNamesTheApplicationAndTheActiveWindow)
{
    LogException(QStringLiteral("连接中断"));
    const QString text = Gbk::decode(bytes(path()));
    EXPECT_TRUE(text.contains(QStringLiteral("系统: ") + QGuiApplication::applicationDisplayName() + QStringLiteral("\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("模块: \r\n信息: 连接中断\r\n")));
    try {
        throw DbError(QStringLiteral("语法错误"));
    } catch (...) {
        LogCurrentException();
    }
    EXPECT_TRUE(Gbk::decode(bytes(path())).contains(QStringLiteral("信息: 语法错误\r\n")));
}
