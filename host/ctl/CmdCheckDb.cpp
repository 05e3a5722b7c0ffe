// qorctl check-db: compares a database with the tables and columns the module and the host
// libraries read and write (the embedded schema), and says what is missing or of the wrong kind.
#include "host/ctl/CtlCommands.h"

#include "platform/db/Db.h"
#include "schema/Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Tables the module creates itself when they are missing: their absence is no fault.
const QStringList kCreatedByModule = {u"tXtQryField"_s};

QString kindName(ColumnKind k)
{
    switch (k) {
    case ColumnKind::Text: return u"文本"_s;
    case ColumnKind::Integer: return u"整数"_s;
    case ColumnKind::Number: return u"数值"_s;
    case ColumnKind::DateTime: return u"日期时间"_s;
    case ColumnKind::Other: break;
    }
    return u"其他"_s;
}

// Reads table -> column -> declared type through the statement, which returns those three.
QMap<QString, QMap<QString, QString>> readColumns(TADOConnection& conn, const QString& sql)
{
    QMap<QString, QMap<QString, QString>> out;
    TADOQuery q(&conn);
    q.SQL << sql;
    q.Open();
    while (!q.Eof()) {
        out[q.Field(0).AsString().toLower()][q.Field(1).AsString().toLower()] = q.Field(2).AsString();
        q.Next();
    }
    return out;
}

QMap<QString, QMap<QString, QString>> sqliteColumns(TADOConnection& conn)
{
    return readColumns(conn, u"select m.name, p.name, p.type from sqlite_master m, "
                             "pragma_table_info(m.name) p where m.type = 'table' order by m.name, p.cid"_s);
}

// The schema the code expects, with the original spelling of each name for the report.
struct Expected {
    QString table;
    QList<QPair<QString, QString>> columns; // name, declared type
};

QList<Expected> expectedSchema()
{
    QTemporaryDir dir;
    if (!dir.isValid()) throw DbError(u"无法建立临时文件夹"_s);
    auto conn = TADOConnection::openSqlite(dir.filePath(u"expected.db"_s));
    Schema::createDatabase(*conn, false);
    QList<Expected> out;
    TADOQuery q(conn.get());
    q.SQL << u"select m.name, p.name, p.type from sqlite_master m, pragma_table_info(m.name) p "
             "where m.type = 'table' order by m.name, p.cid"_s;
    q.Open();
    while (!q.Eof()) {
        const QString t = q.Field(0).AsString();
        if (out.isEmpty() || out.last().table != t) out.append(Expected{t, {}});
        out.last().columns.append({q.Field(1).AsString(), q.Field(2).AsString()});
        q.Next();
    }
    return out;
}

} // namespace

ColumnKind columnKind(const QString& declaredType)
{
    const QString t = declaredType.trimmed().toLower();
    if (t.contains(u"date"_s) || t.contains(u"time"_s)) return ColumnKind::DateTime;
    if (t.contains(u"char"_s) || t.contains(u"text"_s) || t.contains(u"clob"_s)) return ColumnKind::Text;
    if (t.contains(u"int"_s) || t == u"bit"_s) return ColumnKind::Integer;
    if (t.contains(u"real"_s) || t.contains(u"floa"_s) || t.contains(u"doub"_s) ||
        t.contains(u"dec"_s) || t.contains(u"num"_s) || t.contains(u"money"_s))
        return ColumnKind::Number;
    return ColumnKind::Other;
}

QStringList checkDatabase(TADOConnection& conn, int* problems)
{
    const auto have = conn.dialect() == Dialect::SQLite
        ? sqliteColumns(conn)
        : readColumns(conn, u"select TABLE_NAME, COLUMN_NAME, DATA_TYPE from INFORMATION_SCHEMA.COLUMNS "
                            "order by TABLE_NAME, ORDINAL_POSITION"_s);
    QStringList lines;
    int bad = 0;
    for (const Expected& e : expectedSchema()) {
        const auto table = have.constFind(e.table.toLower());
        if (table == have.constEnd()) {
            lines << u"缺少表 %1"_s.arg(e.table);
            ++bad;
            continue;
        }
        QStringList faults;
        for (const auto& [name, type] : e.columns) {
            const auto col = table->constFind(name.toLower());
            if (col == table->constEnd()) {
                faults << u"  缺少列 %1（应为%2）"_s.arg(name, kindName(columnKind(type)));
                continue;
            }
            const ColumnKind want = columnKind(type);
            const ColumnKind got = columnKind(*col);
            if (want != got)
                faults << u"  列 %1 的类型为 %2（%3），应为%4"_s.arg(name, *col, kindName(got), kindName(want));
        }
        bad += int(faults.size());
        lines << (faults.isEmpty() ? u"表 %1：正常（%2 列）"_s.arg(e.table).arg(e.columns.size())
                                   : u"表 %1："_s.arg(e.table));
        lines << faults;
    }
    for (const QString& t : kCreatedByModule) {
        if (!have.contains(t.toLower())) lines << u"表 %1 不存在：模块第一次使用时会自动建立"_s.arg(t);
    }
    if (problems) *problems = bad;
    return lines;
}

int cmdCheckDb(const QStringList& args)
{
    QString target;
    bool odbc = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--odbc"_s && i + 1 < args.size() && target.isEmpty()) {
            target = args[++i];
            odbc = true;
        } else if (!args[i].startsWith(u"--"_s) && target.isEmpty()) {
            target = args[i];
        } else {
            ctlErr(u"check-db 的参数不对：%1"_s.arg(args[i]));
            return 2;
        }
    }
    if (target.isEmpty()) {
        ctlErr(u"check-db 需要数据库文件或 --odbc \"连接串\""_s);
        return 2;
    }
    if (!odbc && !QFileInfo::exists(target)) {
        ctlErr(u"数据库文件不存在："_s + target);
        return 1;
    }
    try {
        auto conn = odbc ? TADOConnection::openOdbc(target) : TADOConnection::openSqlite(target);
        int problems = 0;
        for (const QString& line : checkDatabase(*conn, &problems)) ctlOut(line);
        if (problems) {
            ctlErr(u"发现 %1 处问题。"_s.arg(problems));
            return 1;
        }
        ctlOut(u"数据库具备本模块需要的全部表和列。"_s);
        return 0;
    } catch (const QorError& e) {
        ctlErr(e.message());
        return 1;
    }
}
