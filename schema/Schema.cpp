#include "schema/Schema.h"

#include "platform/db/Db.h"

#include <QDate>
#include <QFile>

#include <cmath>
#include <utility>

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

QVariant scalar(TADOConnection& conn, const QString& sql)
{
    TADOQuery q(&conn);
    q.SQL << sql;
    q.Open();
    return q.Eof() ? QVariant() : q.Field(0).Value();
}

// Fills in {Name} tokens of a script (numbers and dates computed here, never user text).
QString fill(QString script, std::initializer_list<std::pair<const char*, QString>> values)
{
    for (const auto& [name, value] : values)
        script.replace(QLatin1Char('{') + QLatin1String(name) + QLatin1Char('}'), value);
    return script;
}

// Generated trials spread over 273 days (about nine months) ending the day before the earliest
// trial already stored, so that repeated runs never produce the same key; on an empty table the
// period ends on this day.
constexpr int kPeriodDays = 273;
constexpr int kOpenSeconds = 12 * 3600; // trials from 08:00:00 to before 20:00:00
const QDate kDefaultPeriodEnd(2025, 9, 30);

// The (organisation, good) pairs trials are generated for: goods on booked sample-goods bills of
// organisations that take trials and have an advisor, each with its first advisor.
const char* const kPairsFromBills = R"SQL(
DROP TABLE IF EXISTS temp.gen_pair;
CREATE TEMP TABLE gen_pair (k INTEGER PRIMARY KEY, OrgCode TEXT, PluCode TEXT,
                            ZdrCode TEXT, ZdrName TEXT, PluName TEXT, Price REAL);
INSERT INTO gen_pair (k, OrgCode, PluCode, ZdrCode, ZdrName, PluName, Price)
SELECT row_number() OVER (ORDER BY b.OrgCode, b.PluCode) - 1, b.OrgCode, b.PluCode,
       a.StaffCode, a.StaffName, G.PluName, G.Price
  FROM (SELECT DISTINCT F.OrgCode AS OrgCode, D.PluCode AS PluCode
          FROM DrawForm F JOIN DrawDetail D ON D.DrawNo = F.DrawNo
         WHERE F.BillType = '1' AND F.RzDate <> '' AND F.RzDate IS NOT NULL) b
  JOIN SubShop S ON S.OrgCode = b.OrgCode AND S.OrgType <> '2' AND S.IsDbDeploy = '1'
  JOIN Goods G ON G.PluCode = b.PluCode
  JOIN (SELECT O.OrgCode AS OrgCode, min(S.StaffCode) AS StaffCode
          FROM Staffs S JOIN UserOrg O ON O.StaffCode = S.StaffCode
          JOIN XtUserSub X ON X.StaffCode = S.StaffCode AND X.UGrpCode = '01'
         GROUP BY O.OrgCode) f ON f.OrgCode = b.OrgCode
  JOIN Staffs a ON a.StaffCode = f.StaffCode;
)SQL";

// Master data for volume trials on a database without bills: ten counters with an advisor each
// and 200 goods, twenty per counter.
const char* const kVolumeMasters = R"SQL(
INSERT OR IGNORE INTO XtUserGrp (UGrpCode, UGrpName) VALUES ('01', '美容顾问');
WITH RECURSIVE a (j) AS (SELECT 1 UNION ALL SELECT j + 1 FROM a WHERE j < 10)
INSERT OR IGNORE INTO SubShop (OrgCode, OrgName, OrgType, IsDbDeploy)
SELECT printf('99%02d', j), printf('批量组织%02d', j), '1', '1' FROM a;
WITH RECURSIVE a (j) AS (SELECT 1 UNION ALL SELECT j + 1 FROM a WHERE j < 10)
INSERT OR IGNORE INTO Staffs (StaffCode, StaffName)
SELECT printf('990%02d', j), printf('批量顾问%02d', j) FROM a;
WITH RECURSIVE a (j) AS (SELECT 1 UNION ALL SELECT j + 1 FROM a WHERE j < 10)
INSERT OR IGNORE INTO XtUserSub (StaffCode, UGrpCode) SELECT printf('990%02d', j), '01' FROM a;
WITH RECURSIVE a (j) AS (SELECT 1 UNION ALL SELECT j + 1 FROM a WHERE j < 10)
INSERT OR IGNORE INTO UserOrg (StaffCode, OrgCode) SELECT printf('990%02d', j), printf('99%02d', j) FROM a;
WITH RECURSIVE g (j) AS (SELECT 1 UNION ALL SELECT j + 1 FROM g WHERE j < 200)
INSERT OR IGNORE INTO Goods (PluCode, PluName, Spec, BarCode, Price)
SELECT printf('990%05d', j), printf('批量商品%03d', j), '1件', printf('299%010d', j), 10 + (j % 50) * 10
  FROM g;
WITH RECURSIVE a (j) AS (SELECT 1 UNION ALL SELECT j + 1 FROM a WHERE j < 10),
               g (j) AS (SELECT 1 UNION ALL SELECT j + 1 FROM g WHERE j < 200)
INSERT INTO gen_pair (k, OrgCode, PluCode, ZdrCode, ZdrName, PluName, Price)
SELECT row_number() OVER (ORDER BY a.j, g.j) - 1, printf('99%02d', a.j), G.PluCode,
       S.StaffCode, S.StaffName, G.PluName, G.Price
  FROM a JOIN g ON g.j % 10 = a.j % 10
  JOIN Goods G ON G.PluCode = printf('990%05d', g.j)
  JOIN Staffs S ON S.StaffCode = printf('990%02d', a.j);
)SQL";

// The trials, generated in date and time order so that the indexes grow at their end. Row i
// falls on day i / {Q} and goes to pair i % {P}; within the day, row r is registered r / {P} * {STEP}
// seconds after opening, so one pair never has two trials in one second.
const char* const kTrials = R"SQL(
DROP TABLE IF EXISTS temp.gen_day;
CREATE TEMP TABLE gen_day (k INTEGER PRIMARY KEY, d TEXT, n INTEGER);
WITH RECURSIVE c (k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM c WHERE k < {DAYS} - 1)
INSERT INTO gen_day (k, d, n)
SELECT k, date('{START}', '+' || k || ' days'), max(0, min({Q}, {N} - k * {Q})) FROM c;
WITH RECURSIVE n (i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < {N} - 1),
    x (i, dk, k, s) AS (
        SELECT i, i / {Q}, i % {P}, 28800 + ((i % {Q}) / {P}) * {STEP} FROM n)
INSERT INTO TryOutBK (BookDate, BookTime, OrgCode, PluCode, Result, Remark,
                      ZdrCode, ZdrName, UserCode, UserName)
SELECT d.d, printf('%02d:%02d:%02d', x.s / 3600, x.s / 60 % 60, x.s % 60),
       p.OrgCode, p.PluCode,
       CASE WHEN ((x.i / {P}) * 3 + x.k) % 10 < 5 + x.k % 5 THEN '0' ELSE '1' END,
       CASE x.i % 8 WHEN 1 THEN '效果很好' WHEN 2 THEN '味道清香' WHEN 3 THEN '有点油腻'
                    WHEN 4 THEN '保湿效果明显' WHEN 5 THEN '颜色偏深' WHEN 7 THEN '会考虑购买'
                    ELSE '' END,
       p.ZdrCode, p.ZdrName, 'QVW', '系统管理员'
  FROM x CROSS JOIN gen_day d CROSS JOIN gen_pair p
 WHERE d.k = x.dk AND p.k = x.k;

-- One booked sample-goods bill per organisation and month, a line per good tried that month;
-- about four trials per unit drawn. The trial counts follow from the layout above.
DROP TABLE IF EXISTS temp.gen_line;
CREATE TEMP TABLE gen_line AS
SELECT DrawNo, m, OrgCode, PluCode, PluName, Price,
       sum(CASE WHEN n > f THEN (n - f + {P} - 1) / {P} ELSE 0 END) AS Trials
  FROM (SELECT 'PL' || substr(d.d, 1, 4) || substr(d.d, 6, 2) || '-' || p.OrgCode AS DrawNo,
               substr(d.d, 1, 7) AS m, p.OrgCode AS OrgCode, p.PluCode AS PluCode,
               p.PluName AS PluName, coalesce(p.Price, 0) AS Price, d.n AS n,
               -- the first row of the day that goes to this pair
               ((p.k - (d.k * {Q}) % {P}) % {P} + {P}) % {P} AS f
          FROM gen_day d CROSS JOIN gen_pair p)
 GROUP BY DrawNo, m, OrgCode, PluCode, PluName, Price
HAVING Trials > 0;
INSERT OR IGNORE INTO DrawForm (DrawNo, OrgCode, BillType, RzDate, DrawDate)
SELECT DISTINCT DrawNo, OrgCode, '1', date(m || '-01', '+1 day'), m || '-01' FROM gen_line;
INSERT INTO DrawDetail (DrawNo, PluCode, PluName, Counts, Cost, NetCost, Total)
SELECT l.DrawNo, l.PluCode, coalesce(l.PluName, ''), (l.Trials + 3) / 4,
       round(((l.Trials + 3) / 4) * l.Price * 0.55, 2),
       round(((l.Trials + 3) / 4) * l.Price * 0.55 / 1.13, 2),
       ((l.Trials + 3) / 4) * l.Price
  FROM gen_line l
 WHERE NOT EXISTS (SELECT 1 FROM DrawDetail D WHERE D.DrawNo = l.DrawNo AND D.PluCode = l.PluCode);
DROP TABLE temp.gen_line;
DROP TABLE temp.gen_day;
DROP TABLE temp.gen_pair;
)SQL";

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

void generateTrials(TADOConnection& conn, int n)
{
    if (n <= 0) return;
    requireSqlite(conn);
    DbTransaction tx(&conn);

    conn.executeScript(QString::fromUtf8(kPairsFromBills));
    qint64 pairs = scalar(conn, QStringLiteral("select count(*) from gen_pair")).toLongLong();
    if (pairs == 0) {
        conn.executeScript(QString::fromUtf8(kVolumeMasters));
        pairs = scalar(conn, QStringLiteral("select count(*) from gen_pair")).toLongLong();
    }
    if (pairs == 0) throw DbError(QStringLiteral("没有可以生成试用记录的组织和商品"));

    const qint64 perDay = (qint64(n) + kPeriodDays - 1) / kPeriodDays;
    const qint64 perPair = (perDay + pairs - 1) / pairs; // rows of one pair on one day
    if (perPair > kOpenSeconds)
        throw DbError(QStringLiteral("试用记录数量太大：每个组织和商品每天最多 %1 条").arg(kOpenSeconds));
    const qint64 step = kOpenSeconds / perPair;

    QDate end = kDefaultPeriodEnd;
    const QVariant first = scalar(conn, QStringLiteral("select min(BookDate) from TryOutBK"));
    if (!first.isNull()) {
        const QDate d = QDate::fromString(first.toString(), QStringLiteral("yyyy-MM-dd"));
        if (d.isValid()) end = d.addDays(-1);
    }
    const QDate start = end.addDays(-(kPeriodDays - 1));

    conn.executeScript(fill(QString::fromUtf8(kTrials),
                            {{"N", QString::number(n)},
                             {"P", QString::number(pairs)},
                             {"Q", QString::number(perDay)},
                             {"STEP", QString::number(step)},
                             {"DAYS", QString::number(kPeriodDays)},
                             {"START", start.toString(QStringLiteral("yyyy-MM-dd"))}}));
    tx.commit();
}

} // namespace Schema
