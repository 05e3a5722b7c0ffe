// qorctl init-db FILE [--demo] [--trials N [--seed S]]
#include "host/ctl/CtlCommands.h"

#include "platform/db/Db.h"
#include "schema/Schema.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

static void removeDatabaseFiles(const QString& file)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(file + QLatin1String(suffix));
}

int cmdInitDb(const QStringList& args)
{
    QString file;
    bool demo = false;
    qint64 trials = 0;
    quint64 seed = 1;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--demo")) {
            demo = true;
        } else if (a == QLatin1String("--trials")) {
            bool ok = false;
            trials = i + 1 < args.size() ? args[++i].toLongLong(&ok) : 0;
            if (!ok || trials < 0 || trials > 100000000) {
                ctlErr(QStringLiteral("--trials 需要 0 到 100000000 之间的整数"));
                return 2;
            }
        } else if (a == QLatin1String("--seed")) {
            bool ok = false;
            seed = i + 1 < args.size() ? args[++i].toULongLong(&ok) : 0;
            if (!ok) {
                ctlErr(QStringLiteral("--seed 需要一个非负整数"));
                return 2;
            }
        } else if (a.startsWith(QLatin1String("--")) || !file.isEmpty()) {
            ctlErr(QStringLiteral("无法识别的参数：") + a);
            return 2;
        } else {
            file = a;
        }
    }
    if (file.isEmpty()) {
        ctlErr(QStringLiteral("用法：qorctl init-db FILE [--demo] [--trials N [--seed S]]"));
        return 2;
    }
    if (QFileInfo::exists(file)) {
        ctlErr(QStringLiteral("数据库文件已存在：") + file);
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    try {
        auto conn = TADOConnection::openSqlite(file);
        Schema::createDatabase(*conn, demo);
        const qint64 created = timer.elapsed();
        if (trials > 0) Schema::generateTrials(*conn, int(trials), seed);
        const qint64 total = timer.elapsed();
        conn.reset();
        ctlOut(QStringLiteral("已建立数据库 %1%2，用时 %3 秒")
                   .arg(QFileInfo(file).absoluteFilePath(),
                        demo ? QStringLiteral("（含演示数据）") : QString(),
                        QString::number(created / 1000.0, 'f', 2)));
        if (trials > 0)
            ctlOut(QStringLiteral("已生成 %1 条试用记录及对应的领用单，用时 %2 秒")
                       .arg(trials)
                       .arg(QString::number((total - created) / 1000.0, 'f', 2)));
        return 0;
    } catch (const DbError& e) {
        ctlErr(e.message());
    } catch (const std::exception& e) {
        // Out of memory or disk while generating: the file goes all the same.
        ctlErr(QString::fromUtf8(e.what()));
    }
    // Leave no half-made database behind.
    removeDatabaseFiles(file);
    return 1;
}
