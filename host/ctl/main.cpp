// qorctl: creates embedded databases and runs single statements through the module's database
// layer, for administrators, scripts and volume tests.
#include "host/ctl/CtlCommands.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <exception>

void ctlOut(const QString& line)
{
    const QByteArray b = line.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stdout);
    std::fputc('\n', stdout);
}

void ctlErr(const QString& line)
{
    const QByteArray b = line.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
    std::fputc('\n', stderr);
}

// Every command and option with one line; on standard output when asked for, else on standard
// error after the problem.
static QString usageText()
{
    return QStringLiteral(
        "用法：qorctl 命令 [参数]\n"
        "  qorctl init-db FILE [--demo] [--trials N [--seed S]]  建立嵌入式数据库\n"
        "      --demo                                   含演示数据\n"
        "      --trials N                               生成 N 条试用记录及对应的领用单\n"
        "      --seed S                                 选择生成的数据（同一 S 结果相同）\n"
        "  qorctl sql FILE \"T-SQL\" [Name=value ...]     执行一条语句，输出表头和以制表符分隔的行或受影响的行数\n"
        "                                               （FILE 也可以是 ODBC 连接串）\n"
        "  qorctl check-db FILE                         列出本模块读写的表和列，指出缺少的和类型不对的\n"
        "      --odbc \"连接串\"                          检查 ODBC 连接的数据库而不是文件\n"
        "  qorctl initials < FILE                       每行输出该行的拼音首字母\n"
        "  qorctl -h, --help                            显示本说明\n"
        "  qorctl -v, --version                         显示版本\n"
        "退出码：0 完成；1 数据库或文件失败；2 命令行有误。");
}

static int usageError()
{
    ctlErr(usageText());
    return 2;
}

int main(int argc, char** argv)
{
    if (argc < 2) return usageError();
    const char* first = argv[1];
    if (std::strcmp(first, "help") == 0 || std::strcmp(first, "--help") == 0 || std::strcmp(first, "-h") == 0) {
        ctlOut(usageText());
        return 0;
    }
    if (std::strcmp(first, "--version") == 0 || std::strcmp(first, "-v") == 0) {
        ctlOut(QStringLiteral("qorctl " QOR_VERSION));
        return 0;
    }
    // The initials command brings its own application object.
    if (std::strcmp(first, "initials") == 0) {
        const int rc = cmdInitials(argc, argv);
        return rc == 2 ? usageError() : rc;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qorctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QOR_VERSION));
    QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.takeFirst();
    int rc = 2;
    try {
        if (command == QLatin1String("init-db")) rc = cmdInitDb(args);
        else if (command == QLatin1String("sql")) rc = cmdSql(args);
        else if (command == QLatin1String("check-db")) rc = cmdCheckDb(args);
        else ctlErr((command.startsWith(QLatin1Char('-')) ? QStringLiteral("未知的选项：")
                                                            : QStringLiteral("未知的命令：")) + command);
    } catch (const std::exception& e) {
        ctlErr(QString::fromUtf8(e.what()));
        return 1;
    }
    // A wrong command line (the command said what was wrong) is followed by the usage.
    return rc == 2 ? usageError() : rc;
}
