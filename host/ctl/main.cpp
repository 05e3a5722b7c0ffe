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

static void usage()
{
    ctlErr(QStringLiteral(
        "用法：\n"
        "  qorctl init-db FILE [--demo] [--trials N]   建立嵌入式数据库（--demo 含演示数据，\n"
        "                                              --trials 生成 N 条试用记录及对应的领用单，\n"
        "                                              --seed S 选择生成的数据（同一 S 结果相同））\n"
        "  qorctl sql FILE \"T-SQL\" [Name=value ...]    执行一条语句，输出表头和以制表符分隔的行，\n"
        "                                              或受影响的行数；FILE 也可以是 ODBC 连接串\n"
        "  qorctl check-db FILE | --odbc \"连接串\"      列出本模块读写的表和列，指出缺少的和类型不对的\n"
        "  qorctl initials < FILE                      每行输出该行的拼音首字母"));
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        usage();
        return 2;
    }
    // The initials command brings its own application object.
    if (std::strcmp(argv[1], "initials") == 0) return cmdInitials(argc, argv);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qorctl"));
    QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.takeFirst();
    try {
        if (command == QLatin1String("init-db")) return cmdInitDb(args);
        if (command == QLatin1String("sql")) return cmdSql(args);
        if (command == QLatin1String("check-db")) return cmdCheckDb(args);
        if (command == QLatin1String("help") || command == QLatin1String("--help")) {
            usage();
            return 0;
        }
    } catch (const std::exception& e) {
        ctlErr(QString::fromUtf8(e.what()));
        return 1;
    }
    ctlErr(QStringLiteral("未知的命令：") + command);
    usage();
    return 2;
}
