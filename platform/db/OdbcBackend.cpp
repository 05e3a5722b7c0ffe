// ODBC backend over the unixODBC C API: SQL Server through FreeTDS, or any other driver (the
// SQLite ODBC driver in the tests). The dialect follows the DBMS behind the connection.
//
// Text travels as UTF-8 through the narrow API. The SQLite ODBC driver has no wide entry points
// and SQLite stores UTF-8; FreeTDS converts UTF-8 when the connection carries
// ClientCharset=UTF-8 (added below for FreeTDS connection strings that do not set it). Text
// parameters go to SQL Server as nvarchar, so that no character depends on the client's code
// page; the server compares them with the suite's varchar columns under their collation.
#include "platform/db/DbBackend.h"

#include <sql.h>
#include <sqlext.h>

#include <QDate>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <string>

namespace {

std::vector<DbDiagnostic> readDiagnostics(SQLSMALLINT type, SQLHANDLE h)
{
    std::vector<DbDiagnostic> out;
    if (!h) return out;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLCHAR state[8] = {};
        SQLINTEGER native = 0;
        SQLCHAR msg[2048] = {};
        SQLSMALLINT len = 0;
        const SQLRETURN rc = SQLGetDiagRec(type, h, i, state, &native, msg, SQLSMALLINT(sizeof msg), &len);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
        out.push_back(DbDiagnostic{QString::fromLatin1(reinterpret_cast<const char*>(state)), int(native),
                                   QString::fromUtf8(reinterpret_cast<const char*>(msg))});
    }
    return out;
}

bool failed(SQLRETURN rc) { return rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO && rc != SQL_NO_DATA; }

// Records what the driver reported for one call; throws DbError when the call failed.
void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h, TADOConnection* conn, const char* what)
{
    if (rc == SQL_SUCCESS || rc == SQL_NO_DATA) return;
    const std::vector<DbDiagnostic> d = readDiagnostics(type, h);
    const QString fallback = QStringLiteral("ODBC %1 失败 (%2)").arg(QLatin1String(what)).arg(int(rc));
    if (conn) {
        recordDiagnostics(*conn, failed(rc), d, fallback);
    } else if (failed(rc)) {
        for (const DbDiagnostic& x : d)
            if (!x.sqlState.startsWith(QLatin1String("01"))) throw DbError(x.message, x.native, x.sqlState);
        throw DbError(d.empty() ? fallback : d.front().message);
    }
}

struct BoundParam {
    SQLLEN ind = 0;
    QByteArray bytes;
    SQLINTEGER i32 = 0;
    SQLBIGINT i64 = 0;
    double d = 0;
};

DbType typeOfSql(SQLSMALLINT t)
{
    switch (t) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return DbType::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return DbType::Float; // decimals read as floating point, as the module expects
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return DbType::Blob;
    default:
        return DbType::Text;
    }
}

class OdbcCursor;

// The cursors of one connection. A server connection without multiple active result sets (SQL
// Server through FreeTDS) serves one result at a time, so before another statement runs, every
// cursor still reading reads the rest of its rows into memory and lets its statement go.
struct OdbcCursors {
    std::vector<OdbcCursor*> live;
};

class OdbcCursor : public DbCursor {
public:
    OdbcCursor(SQLHSTMT st, std::vector<BoundParam> params, bool trimFixed, TADOConnection& conn,
               std::shared_ptr<OdbcCursors> link)
        : m_st(st), m_params(std::move(params)), m_conn(conn), m_link(std::move(link))
    {
        SQLSMALLINT n = 0;
        SQLNumResultCols(st, &n);
        // A batch may start with row counts or messages before its result set.
        while (n == 0) {
            const SQLRETURN rc = SQLMoreResults(st);
            if (rc == SQL_NO_DATA) break;
            checkStmt(rc, "SQLMoreResults");
            SQLNumResultCols(st, &n);
        }
        m_cols.resize(size_t(n));
        for (SQLUSMALLINT i = 0; i < SQLUSMALLINT(n); ++i) {
            SQLCHAR name[512] = {};
            SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            checkStmt(SQLDescribeCol(st, i + 1, name, SQLSMALLINT(sizeof name), &nameLen, &type, &size, &digits,
                                     &nullable),
                      "SQLDescribeCol");
            Col& c = m_cols[i];
            c.name = QString::fromUtf8(reinterpret_cast<const char*>(name));
            c.declared = typeOfSql(type);
            c.trim = trimFixed && (type == SQL_CHAR || type == SQL_WCHAR);
        }
        m_row.resize(m_cols.size());
        if (m_cols.empty()) m_end = true;
        else m_row = fetch(m_end);
        if (m_end) releaseStatement();
        else m_link->live.push_back(this);
    }
    ~OdbcCursor() override
    {
        forget();
        releaseStatement();
    }

    int columnCount() const override { return int(m_cols.size()); }
    QString columnName(int i) const override { return m_cols[size_t(i)].name; }
    DbType declaredType(int i) const override { return m_cols[size_t(i)].declared; }
    bool atEnd() const override { return m_end; }
    void next() override
    {
        if (m_end) return;
        if (m_st) {
            m_row = fetch(m_end);
            if (m_end) {
                forget();
                releaseStatement();
            }
            return;
        }
        if (!m_buffer.empty()) {
            m_row = std::move(m_buffer.front());
            m_buffer.pop_front();
            return;
        }
        m_end = true;
        if (m_pending) {
            const DbError e = *m_pending;
            m_pending.reset();
            throw e;
        }
    }

    // Reads the remaining rows into memory and frees the statement (see OdbcCursors).
    void detach()
    {
        forget();
        try {
            bool end = false;
            for (;;) {
                std::vector<Val> row = fetch(end);
                if (end) break;
                m_buffer.push_back(std::move(row));
            }
        } catch (const DbError& e) {
            m_pending = e; // reported where the reading gets to it
        }
        releaseStatement();
    }
    // The connection goes away: the statement must be freed before it.
    void orphan()
    {
        releaseStatement();
        m_buffer.clear();
        m_end = true;
    }
    DbType type(int i) const override { return m_row[size_t(i)].type; }
    qint64 int64(int i) const override
    {
        const Val& v = m_row[size_t(i)];
        if (v.type == DbType::Integer) return v.i;
        if (v.type == DbType::Float) return qint64(v.d);
        return QByteArray::fromRawData(v.s.data(), qsizetype(v.s.size())).trimmed().toLongLong();
    }
    double dbl(int i) const override
    {
        const Val& v = m_row[size_t(i)];
        if (v.type == DbType::Float) return v.d;
        if (v.type == DbType::Integer) return double(v.i);
        return QByteArray::fromRawData(v.s.data(), qsizetype(v.s.size())).trimmed().toDouble();
    }
    std::string_view utf8(int i) const override
    {
        const Val& v = m_row[size_t(i)];
        if (v.type == DbType::Text || v.type == DbType::Blob) return v.s;
        if (v.type == DbType::Null) return {};
        // Numbers are formatted on demand.
        v.s = v.type == DbType::Integer ? std::to_string(v.i) : QByteArray::number(v.d, 'g', 17).toStdString();
        return v.s;
    }

private:
    struct Col {
        QString name;
        DbType declared = DbType::Text;
        bool trim = false;
    };
    struct Val {
        DbType type = DbType::Null;
        qint64 i = 0;
        double d = 0;
        mutable std::string s;
    };

    void checkStmt(SQLRETURN rc, const char* what) { check(rc, SQL_HANDLE_STMT, m_st, &m_conn, what); }

    void forget()
    {
        auto& v = m_link->live;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
    void releaseStatement()
    {
        if (m_st) SQLFreeHandle(SQL_HANDLE_STMT, m_st);
        m_st = nullptr;
    }

    std::vector<Val> fetch(bool& end)
    {
        std::vector<Val> row(m_cols.size());
        const SQLRETURN rc = SQLFetch(m_st);
        if (rc == SQL_NO_DATA) {
            end = true;
            return row;
        }
        if (failed(rc)) end = true;
        checkStmt(rc, "SQLFetch");
        for (size_t c = 0; c < m_cols.size(); ++c) readColumn(SQLUSMALLINT(c + 1), m_cols[c], row[c]);
        return row;
    }

    void readColumn(SQLUSMALLINT col, const Col& info, Val& v)
    {
        SQLLEN ind = 0;
        switch (info.declared) {
        case DbType::Integer: {
            SQLBIGINT x = 0;
            checkStmt(SQLGetData(m_st, col, SQL_C_SBIGINT, &x, 0, &ind), "SQLGetData");
            v.type = ind == SQL_NULL_DATA ? DbType::Null : DbType::Integer;
            v.i = x;
            return;
        }
        case DbType::Float: {
            double x = 0;
            checkStmt(SQLGetData(m_st, col, SQL_C_DOUBLE, &x, 0, &ind), "SQLGetData");
            v.type = ind == SQL_NULL_DATA ? DbType::Null : DbType::Float;
            v.d = x;
            return;
        }
        default:
            break;
        }
        const bool binary = info.declared == DbType::Blob;
        const SQLSMALLINT ctype = binary ? SQL_C_BINARY : SQL_C_CHAR;
        const SQLLEN term = binary ? 0 : 1; // the driver ends text chunks with a zero byte
        v.s.clear();
        char buf[4096];
        for (;;) {
            const SQLRETURN rc = SQLGetData(m_st, col, ctype, buf, SQLLEN(sizeof buf), &ind);
            if (rc == SQL_NO_DATA) break;
            if (failed(rc)) checkStmt(rc, "SQLGetData");
            if (ind == SQL_NULL_DATA) {
                v.type = DbType::Null;
                return;
            }
            const bool truncated = ind == SQL_NO_TOTAL || ind > SQLLEN(sizeof buf) - term;
            v.s.append(buf, truncated ? sizeof buf - size_t(term) : size_t(ind));
            // A truncated chunk (01004) is our own buffer running full, not a provider message.
            if (rc == SQL_SUCCESS || !truncated) break;
        }
        v.type = binary ? DbType::Blob : DbType::Text;
        if (info.trim) {
            size_t n = v.s.size();
            while (n > 0 && v.s[n - 1] == ' ') --n;
            v.s.resize(n);
        }
    }

    SQLHSTMT m_st;
    std::vector<BoundParam> m_params; // kept until the statement is freed
    TADOConnection& m_conn;
    std::shared_ptr<OdbcCursors> m_link;
    std::vector<Col> m_cols;
    std::vector<Val> m_row;
    std::deque<std::vector<Val>> m_buffer;
    std::optional<DbError> m_pending;
    bool m_end = false;
};

QString withoutSecrets(const QString& cs)
{
    static const QRegularExpression re(QStringLiteral("(?i)\\b(PWD|PASSWORD)\\s*=\\s*(\\{[^}]*\\}|[^;]*)"));
    QString s = cs;
    return s.replace(re, QStringLiteral("\\1=***"));
}

} // namespace

QString withClientCharset(const QString& cs, const QString& driverName)
{
    if (!driverName.contains(QLatin1String("tdsodbc"), Qt::CaseInsensitive)) return {};
    if (cs.contains(QLatin1String("ClientCharset"), Qt::CaseInsensitive)) return {};
    QString out = cs;
    if (!out.isEmpty() && !out.endsWith(QLatin1Char(';'))) out += QLatin1Char(';');
    return out + QLatin1String("ClientCharset=UTF-8;");
}

namespace {

class OdbcBackend : public DbBackend {
public:
    explicit OdbcBackend(const QString& connectionString)
    {
        QString cs = connectionString;
        if (cs.contains(QLatin1String("FreeTDS"), Qt::CaseInsensitive)) {
            const QString named = withClientCharset(cs, QStringLiteral("libtdsodbc.so"));
            if (!named.isEmpty()) cs = named;
        }
        m_desc = withoutSecrets(connectionString);
        try {
            check(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env), SQL_HANDLE_ENV, m_env, nullptr, "SQLAllocHandle");
            check(SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                  SQL_HANDLE_ENV, m_env, nullptr, "SQLSetEnvAttr");
            check(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc), SQL_HANDLE_ENV, m_env, nullptr, "SQLAllocHandle");
            QByteArray in = cs.toUtf8();
            SQLCHAR out[1024];
            SQLSMALLINT outLen = 0;
            const SQLRETURN rc = SQLDriverConnect(m_dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()), SQL_NTS,
                                                  out, SQLSMALLINT(sizeof out), &outLen, SQL_DRIVER_NOPROMPT);
            if (failed(rc)) check(rc, SQL_HANDLE_DBC, m_dbc, nullptr, "SQLDriverConnect");
            m_connected = true;
            // A DSN may lead to FreeTDS without saying so: ask the driver, and connect again
            // with the client character set when it is FreeTDS.
            SQLCHAR driver[256] = {};
            SQLSMALLINT driverLen = 0;
            if (!failed(SQLGetInfo(m_dbc, SQL_DRIVER_NAME, driver, SQLSMALLINT(sizeof driver), &driverLen))) {
                const QString again =
                    withClientCharset(cs, QString::fromUtf8(reinterpret_cast<const char*>(driver)));
                if (!again.isEmpty()) {
                    SQLDisconnect(m_dbc);
                    m_connected = false;
                    QByteArray in2 = again.toUtf8();
                    const SQLRETURN rc2 = SQLDriverConnect(m_dbc, nullptr, reinterpret_cast<SQLCHAR*>(in2.data()),
                                                           SQL_NTS, out, SQLSMALLINT(sizeof out), &outLen,
                                                           SQL_DRIVER_NOPROMPT);
                    if (failed(rc2)) check(rc2, SQL_HANDLE_DBC, m_dbc, nullptr, "SQLDriverConnect");
                    m_connected = true;
                }
            }
            SQLCHAR dbms[256] = {};
            SQLSMALLINT len = 0;
            check(SQLGetInfo(m_dbc, SQL_DBMS_NAME, dbms, SQLSMALLINT(sizeof dbms), &len), SQL_HANDLE_DBC, m_dbc,
                  nullptr, "SQLGetInfo");
            m_dbms = QString::fromUtf8(reinterpret_cast<const char*>(dbms));
            m_dialect = m_dbms.contains(QLatin1String("SQLite"), Qt::CaseInsensitive) ? Dialect::SQLite
                                                                                        : Dialect::SqlServer;
        } catch (...) {
            release();
            throw;
        }
    }
    ~OdbcBackend() override
    {
        if (m_depth > 0) {
            try {
                while (m_depth > 0) rollback();
            } catch (...) {
            }
        }
        for (OdbcCursor* c : std::vector<OdbcCursor*>(m_cursors->live)) c->orphan();
        m_cursors->live.clear();
        release();
    }

    Dialect dialect() const override { return m_dialect; }
    QString description() const override { return m_desc; }

    std::unique_ptr<DbCursor> open(const QString& text, const std::vector<DbParam>& params,
                                   TADOConnection& conn) override
    {
        std::vector<BoundParam> bound;
        SQLHSTMT st = execute(text, params, conn, bound);
        try {
            return std::make_unique<OdbcCursor>(st, std::move(bound), m_dialect == Dialect::SqlServer, conn, m_cursors);
        } catch (...) {
            // A cursor frees its statement itself, but only once it is constructed.
            SQLFreeHandle(SQL_HANDLE_STMT, st);
            throw;
        }
    }

    int exec(const QString& text, const std::vector<DbParam>& params, TADOConnection& conn) override
    {
        std::vector<BoundParam> bound;
        SQLHSTMT st = execute(text, params, conn, bound);
        struct Free {
            SQLHSTMT h;
            ~Free() { SQLFreeHandle(SQL_HANDLE_STMT, h); }
        } guard{st};
        SQLLEN rows = -1;
        SQLSMALLINT cols = 0;
        SQLNumResultCols(st, &cols);
        if (cols == 0) check(SQLRowCount(st, &rows), SQL_HANDLE_STMT, st, &conn, "SQLRowCount");
        // Later results of a batch (trigger counts, messages) are drained so that their
        // diagnostics are seen and the connection is free for the next statement.
        for (;;) {
            const SQLRETURN rc = SQLMoreResults(st);
            if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE) break;
            check(rc, SQL_HANDLE_STMT, st, &conn, "SQLMoreResults");
        }
        return cols == 0 ? int(rows) : -1;
    }

    void executeScript(const QString& sql) override
    {
        for (const QString& s : splitScript(sql)) direct(s);
    }

    // Nested transactions become savepoints. SQLite takes its write lock at BEGIN IMMEDIATE;
    // SQL Server runs the connection in manual-commit mode.
    void begin() override
    {
        if (m_dialect == Dialect::SQLite) {
            direct(m_depth == 0 ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("SAVEPOINT sp%1").arg(m_depth));
        } else if (m_depth == 0) {
            detachCursors();
            check(SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
                  SQL_HANDLE_DBC, m_dbc, nullptr, "SQLSetConnectAttr");
        } else {
            direct(QStringLiteral("SAVE TRANSACTION sp%1").arg(m_depth));
        }
        ++m_depth;
    }
    void commit() override
    {
        if (m_depth == 0) throw DbError(QStringLiteral("没有活动的事务"));
        --m_depth;
        if (m_dialect == Dialect::SQLite) {
            direct(m_depth == 0 ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE sp%1").arg(m_depth));
        } else if (m_depth == 0) {
            endTran(SQL_COMMIT);
        }
    }
    void rollback() override
    {
        if (m_depth == 0) return;
        --m_depth;
        if (m_dialect == Dialect::SQLite) {
            direct(m_depth == 0 ? QStringLiteral("ROLLBACK")
                                : QStringLiteral("ROLLBACK TO sp%1").arg(m_depth));
            if (m_depth > 0) direct(QStringLiteral("RELEASE sp%1").arg(m_depth));
        } else if (m_depth == 0) {
            endTran(SQL_ROLLBACK);
        } else {
            direct(QStringLiteral("ROLLBACK TRANSACTION sp%1").arg(m_depth));
        }
    }
    bool inTransaction() const override { return m_depth > 0; }

private:
    void release()
    {
        if (m_dbc) {
            if (m_connected) SQLDisconnect(m_dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
            m_dbc = nullptr;
        }
        if (m_env) {
            SQLFreeHandle(SQL_HANDLE_ENV, m_env);
            m_env = nullptr;
        }
    }

    void endTran(SQLSMALLINT how)
    {
        detachCursors();
        const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, m_dbc, how);
        SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
        check(rc, SQL_HANDLE_DBC, m_dbc, nullptr, "SQLEndTran");
    }

    // Cursors still reading let go of the connection before another statement runs.
    void detachCursors()
    {
        for (OdbcCursor* c : std::vector<OdbcCursor*>(m_cursors->live)) c->detach();
    }

    // Runs one statement as it stands (no parameters, no translation).
    void direct(const QString& sql)
    {
        detachCursors();
        SQLHSTMT st = nullptr;
        check(SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &st), SQL_HANDLE_DBC, m_dbc, nullptr, "SQLAllocHandle");
        QByteArray s = sql.toUtf8();
        const SQLRETURN rc = SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(s.data()), SQLINTEGER(s.size()));
        try {
            check(rc, SQL_HANDLE_STMT, st, nullptr, "SQLExecDirect");
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_STMT, st);
            throw;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
    }

    // :Name parameters become ? in order of appearance; a repeated name is bound again.
    SQLHSTMT execute(const QString& text, const std::vector<DbParam>& params, TADOConnection& conn,
                     std::vector<BoundParam>& bound)
    {
        const std::vector<ParamRef> refs = scanParams(text);
        QString sql;
        sql.reserve(text.size());
        int at = 0;
        for (const ParamRef& r : refs) {
            sql += QStringView(text).mid(at, r.pos - at);
            sql += QLatin1Char('?');
            at = r.pos + r.length;
        }
        sql += QStringView(text).mid(at);

        detachCursors();
        SQLHSTMT st = nullptr;
        check(SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &st), SQL_HANDLE_DBC, m_dbc, &conn, "SQLAllocHandle");
        try {
            QByteArray s = sql.toUtf8();
            check(SQLPrepare(st, reinterpret_cast<SQLCHAR*>(s.data()), SQLINTEGER(s.size())), SQL_HANDLE_STMT, st,
                  &conn, "SQLPrepare");
            bound.resize(refs.size()); // no reallocation after binding: the driver keeps pointers
            for (size_t i = 0; i < refs.size(); ++i)
                bind(st, SQLUSMALLINT(i + 1), findParam(params, refs[i].name), bound[i], conn);
            check(SQLExecute(st), SQL_HANDLE_STMT, st, &conn, "SQLExecute");
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_STMT, st);
            throw;
        }
        return st;
    }

    void bind(SQLHSTMT st, SQLUSMALLINT n, const DbParam& p, BoundParam& b, TADOConnection& conn)
    {
        const QVariant& v = p.Value;
        SQLSMALLINT ctype = SQL_C_CHAR, sqltype = SQL_VARCHAR;
        SQLULEN size = 1;
        SQLPOINTER ptr = nullptr;
        SQLLEN buflen = 0;
        static char empty[1] = {0};
        auto text = [&](const QString& s) {
            b.bytes = s.toUtf8();
            b.ind = SQLLEN(b.bytes.size());
            ptr = b.bytes.isEmpty() ? static_cast<SQLPOINTER>(empty) : static_cast<SQLPOINTER>(b.bytes.data());
            buflen = b.ind;
            // An empty string is '' with a column size of 1: some drivers refuse size 0. The size
            // follows the value (a declared size could turn a short text into a long type that
            // the server will not compare).
            if (m_dialect == Dialect::SqlServer) {
                size = SQLULEN(qMax<qsizetype>(1, s.size()));
                sqltype = size > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
            } else {
                size = SQLULEN(qMax<qsizetype>(1, b.bytes.size()));
                sqltype = size > 8000 ? SQL_LONGVARCHAR : SQL_VARCHAR;
            }
        };
        if (v.isNull()) {
            b.ind = SQL_NULL_DATA;
            ptr = empty;
        } else {
            switch (v.typeId()) {
            case QMetaType::Bool:
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Long:
            case QMetaType::Short: {
                const qint64 x = v.toLongLong();
                if (x >= INT32_MIN && x <= INT32_MAX) {
                    b.i32 = SQLINTEGER(x);
                    ctype = SQL_C_SLONG;
                    sqltype = SQL_INTEGER;
                    ptr = &b.i32;
                    size = 10;
                } else {
                    b.i64 = x;
                    ctype = SQL_C_SBIGINT;
                    sqltype = SQL_BIGINT;
                    ptr = &b.i64;
                    size = 19;
                }
                break;
            }
            case QMetaType::Double:
            case QMetaType::Float:
                b.d = v.toDouble();
                ctype = SQL_C_DOUBLE;
                sqltype = SQL_DOUBLE;
                ptr = &b.d;
                size = 15;
                break;
            case QMetaType::QByteArray:
                b.bytes = v.toByteArray();
                b.ind = SQLLEN(b.bytes.size());
                ctype = SQL_C_BINARY;
                size = SQLULEN(qMax<qsizetype>(1, b.bytes.size()));
                sqltype = size > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY;
                ptr = b.bytes.isEmpty() ? static_cast<SQLPOINTER>(empty) : static_cast<SQLPOINTER>(b.bytes.data());
                buflen = b.ind;
                break;
            case QMetaType::QDate:
                text(v.toDate().toString(QStringLiteral("yyyy-MM-dd")));
                break;
            default:
                text(v.toString());
                break;
            }
        }
        check(SQLBindParameter(st, n, SQL_PARAM_INPUT, ctype, sqltype, size, 0, ptr, buflen, &b.ind),
              SQL_HANDLE_STMT, st, &conn, "SQLBindParameter");
    }

    // Statements of a script, split at semicolons outside literals and comments.
    static QStringList splitScript(const QString& sql)
    {
        QStringList out;
        const int n = int(sql.size());
        int start = 0;
        for (int i = 0; i < n; ++i) {
            const QChar c = sql[i];
            if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
                const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
                for (++i; i < n && sql[i] != close; ++i) {
                }
            } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
                while (i < n && sql[i] != QLatin1Char('\n')) ++i;
            } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
                i += 2;
                while (i + 1 < n && !(sql[i] == QLatin1Char('*') && sql[i + 1] == QLatin1Char('/'))) ++i;
                ++i;
            } else if (c == QLatin1Char(';')) {
                const QString s = sql.mid(start, i - start).trimmed();
                if (!s.isEmpty()) out << s;
                start = i + 1;
            }
        }
        const QString s = sql.mid(start).trimmed();
        if (!s.isEmpty()) out << s;
        return out;
    }

    SQLHENV m_env = nullptr;
    SQLHDBC m_dbc = nullptr;
    bool m_connected = false;
    Dialect m_dialect = Dialect::SqlServer;
    QString m_dbms;
    QString m_desc;
    int m_depth = 0;
    std::shared_ptr<OdbcCursors> m_cursors = std::make_shared<OdbcCursors>();
};

} // namespace

void recordDiagnostics(TADOConnection& conn, bool failedCall, const std::vector<DbDiagnostic>& diags,
                       const QString& fallback)
{
    const DbDiagnostic* firstError = nullptr;
    for (const DbDiagnostic& d : diags) {
        // Class 01 is a warning: informational even when it comes with a failure.
        const bool info = !failedCall || d.sqlState.startsWith(QLatin1String("01"));
        conn.addError(TDbErrorRecord{d.native, d.message, d.sqlState, info});
        if (!info && !firstError) firstError = &d;
    }
    if (!failedCall) return;
    if (firstError) throw DbError(firstError->message, firstError->native, firstError->sqlState);
    conn.addError(TDbErrorRecord{0, fallback, {}, false});
    throw DbError(diags.empty() ? fallback : diags.front().message);
}

std::unique_ptr<DbBackend> makeOdbcBackend(const QString& connectionString)
{
    return std::make_unique<OdbcBackend>(connectionString);
}
