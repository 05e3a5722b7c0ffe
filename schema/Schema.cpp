#include "schema/Schema.h"

#include "platform/db/Db.h"

#include <QFile>

// The resources live in this static library; naming the initialiser keeps the linker from
// dropping them.
static void initSchemaResources()
{
    Q_INIT_RESOURCE(schema);
}

namespace {

QString resourceText(const QString& path)
{
    static const bool once = (initSchemaResources(), true);
    (void)once;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) throw DbError(QStringLiteral("找不到内置脚本 ") + path);
    return QString::fromUtf8(f.readAll());
}

void requireSqlite(TADOConnection& conn)
{
    if (conn.dialect() != Dialect::SQLite)
        throw DbError(QStringLiteral("只能在嵌入式（SQLite）数据库上执行：") + conn.description());
}

} // namespace

namespace Schema {

QString sqliteDdl() { return resourceText(QStringLiteral(":/schema/sqlite.sql")); }

QString demoData() { return resourceText(QStringLiteral(":/schema/demo.sql")); }

void createDatabase(TADOConnection& conn, bool demo)
{
    requireSqlite(conn);
    const QString ddl = sqliteDdl();
    const QString data = demo ? demoData() : QString();
    DbTransaction tx(&conn);
    conn.executeScript(ddl);
    conn.executeScript(resourceText(QStringLiteral(":/schema/commdll.sql")));
    if (demo) conn.executeScript(data);
    tx.commit();
}

} // namespace Schema
