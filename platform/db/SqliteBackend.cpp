// Embedded backend over the SQLite C API: WAL journal and memory-mapped reads.
#include "platform/db/DbBackend.h"

#include <sqlite3.h>

#include <QDate>
#include <QFileInfo>

namespace {

DbError sqliteError(sqlite3* db, const QString& context = {})
{
    QString msg = QString::fromUtf8(sqlite3_errmsg(db));
    if (!context.isEmpty()) msg = context + QStringLiteral(": ") + msg;
    return DbError(msg, sqlite3_extended_errcode(db));
}

class SqliteCursor : public DbCursor {
public:
    SqliteCursor(sqlite3* db, sqlite3_stmt* st) : m_db(db), m_st(st)
    {
        m_cols = sqlite3_column_count(st);
        step();
    }
    ~SqliteCursor() override { sqlite3_finalize(m_st); }

    int columnCount() const override { return m_cols; }
    QString columnName(int i) const override { return QString::fromUtf8(sqlite3_column_name(m_st, i)); }
    DbType declaredType(int i) const override
    {
        const char* d = sqlite3_column_decltype(m_st, i);
        if (!d) return DbType::Null;
        const QByteArray t = QByteArray(d).toUpper();
        if (t.contains("INT")) return DbType::Integer;
        if (t.contains("CHAR") || t.contains("TEXT") || t.contains("CLOB")) return DbType::Text;
        if (t.contains("BLOB")) return DbType::Blob;
        return DbType::Float; // REAL, FLOAT, DOUBLE, NUMERIC, DECIMAL, MONEY
    }
    bool atEnd() const override { return m_end; }
    void next() override { step(); }
    DbType type(int i) const override
    {
        switch (sqlite3_column_type(m_st, i)) {
        case SQLITE_INTEGER: return DbType::Integer;
        case SQLITE_FLOAT: return DbType::Float;
        case SQLITE_TEXT: return DbType::Text;
        case SQLITE_BLOB: return DbType::Blob;
        default: return DbType::Null;
        }
    }
    qint64 int64(int i) const override { return sqlite3_column_int64(m_st, i); }
    double dbl(int i) const override { return sqlite3_column_double(m_st, i); }
    std::string_view utf8(int i) const override
    {
        const unsigned char* p = sqlite3_column_text(m_st, i);
        if (!p) return {};
        return std::string_view(reinterpret_cast<const char*>(p), size_t(sqlite3_column_bytes(m_st, i)));
    }

private:
    void step()
    {
        const int rc = sqlite3_step(m_st);
        if (rc == SQLITE_ROW) return;
        m_end = true;
        if (rc != SQLITE_DONE) throw sqliteError(m_db);
    }
    sqlite3* m_db;
    sqlite3_stmt* m_st;
    int m_cols = 0;
    bool m_end = false;
};

class SqliteBackend : public DbBackend {
public:
    explicit SqliteBackend(const QString& path) : m_path(path)
    {
        const QByteArray p = path.toUtf8();
        const int rc = sqlite3_open_v2(p.constData(), &m_db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                       nullptr);
        if (rc != SQLITE_OK) {
            DbError e = m_db ? sqliteError(m_db, path) : DbError(QStringLiteral("无法打开数据库 ") + path, rc);
            sqlite3_close(m_db);
            m_db = nullptr;
            throw e;
        }
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_timeout(m_db, 5000);
        // Memory-mapped reads cut the cost of large list loads; WAL lets readers and a writer
        // work side by side.
        // A file that is no database fails only here; the handle (and its open file) must not
        // outlive the failed constructor, whose destructor never runs.
        try {
            executeScript(QStringLiteral("PRAGMA mmap_size=4294967296; PRAGMA journal_mode=WAL; "
                                         "PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF;"));
        } catch (...) {
            sqlite3_close_v2(m_db);
            m_db = nullptr;
            throw;
        }
    }
    ~SqliteBackend() override
    {
        if (m_db) sqlite3_close_v2(m_db);
    }

    Dialect dialect() const override { return Dialect::SQLite; }
    QString description() const override { return QFileInfo(m_path).absoluteFilePath(); }

    std::unique_ptr<DbCursor> open(const QString& text, const std::vector<DbParam>& params,
                                   TADOConnection& conn) override
    {
        sqlite3_stmt* st = prepare(text, params, conn);
        try {
            return std::make_unique<SqliteCursor>(m_db, st);
        } catch (const DbError& e) {
            conn.addError(TDbErrorRecord{e.nativeCode(), e.message(), {}, false});
            throw;
        }
    }

    int exec(const QString& text, const std::vector<DbParam>& params, TADOConnection& conn) override
    {
        sqlite3_stmt* st = prepare(text, params, conn);
        const sqlite3_int64 before = sqlite3_total_changes64(m_db);
        int rc;
        for (int attempt = 1;; ++attempt) {
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            }
            // Outside a transaction a busy statement did nothing yet and may run again; inside
            // one the caller's transaction decides.
            if ((rc & 0xff) != SQLITE_BUSY || m_depth > 0 || attempt >= BusyAttempts) break;
            sqlite3_reset(st);
        }
        const bool readOnly = sqlite3_stmt_readonly(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) {
            DbError e = sqliteError(m_db);
            conn.addError(TDbErrorRecord{e.nativeCode(), e.message(), {}, false});
            throw e;
        }
        if (readOnly) return -1;
        // sqlite3_changes() keeps the count of the last INSERT/UPDATE/DELETE; a statement that
        // changed no row (DDL, a DML that matched nothing) must not report that older count.
        return sqlite3_total_changes64(m_db) == before ? 0 : sqlite3_changes(m_db);
    }

    void executeScript(const QString& sql) override
    {
        char* err = nullptr;
        const QByteArray s = sql.toUtf8();
        if (sqlite3_exec(m_db, s.constData(), nullptr, nullptr, &err) != SQLITE_OK) {
            QString msg = QString::fromUtf8(err ? err : "error");
            sqlite3_free(err);
            throw DbError(msg, sqlite3_extended_errcode(m_db));
        }
    }

    // Nested transactions become savepoints, so helpers that open their own transaction can run
    // inside a caller's.
    void begin() override
    {
        if (m_depth == 0) {
            // Another station holding the write lock longer than the busy timeout is a wait, not
            // a failure the user should see: the lock is asked for again a few times.
            for (int attempt = 1;; ++attempt) {
                try {
                    executeScript(QStringLiteral("BEGIN IMMEDIATE"));
                    break;
                } catch (const DbError& e) {
                    if ((e.nativeCode() & 0xff) != SQLITE_BUSY || attempt >= BusyAttempts) throw;
                }
            }
        } else {
            executeScript(QStringLiteral("SAVEPOINT sp%1").arg(m_depth));
        }
        ++m_depth;
    }
    void commit() override
    {
        if (m_depth == 0) throw DbError(QStringLiteral("没有活动的事务"));
        --m_depth;
        if (m_depth > 0) {
            executeScript(QStringLiteral("RELEASE sp%1").arg(m_depth));
            return;
        }
        try {
            executeScript(QStringLiteral("COMMIT"));
        } catch (...) {
            // A failed commit (a reader in the way, a full disk) must not leave the transaction
            // open behind a depth of 0: undo it and report the failure.
            if (!sqlite3_get_autocommit(m_db)) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    void rollback() override
    {
        if (m_depth == 0) return;
        --m_depth;
        if (m_depth == 0) {
            executeScript(QStringLiteral("ROLLBACK"));
        } else {
            executeScript(QStringLiteral("ROLLBACK TO sp%1; RELEASE sp%1").arg(m_depth));
        }
    }
    bool inTransaction() const override { return m_depth > 0; }

private:
    // Waits of the busy timeout (5 s each) before a locked database is reported.
    static constexpr int BusyAttempts = 4;

    sqlite3_stmt* prepare(const QString& text, const std::vector<DbParam>& params, TADOConnection& conn)
    {
        const QByteArray sql = text.toUtf8();
        sqlite3_stmt* st = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &st, &tail) != SQLITE_OK) {
            DbError e = sqliteError(m_db);
            conn.addError(TDbErrorRecord{e.nativeCode(), e.message(), {}, false});
            throw e;
        }
        if (!st) throw DbError(QStringLiteral("空的 SQL 语句"));
        if (!onlyBlanks(tail, sql.constData() + sql.size())) {
            // A second statement would be dropped without a word: refuse the text instead.
            sqlite3_finalize(st);
            DbError e(QStringLiteral("一次只能执行一条 SQL 语句"));
            conn.addError(TDbErrorRecord{0, e.message(), {}, false});
            throw e;
        }
        try {
            const int n = sqlite3_bind_parameter_count(st);
            for (int i = 1; i <= n; ++i) {
                const char* nm = sqlite3_bind_parameter_name(st, i);
                if (!nm) throw DbError(QStringLiteral("不支持无名参数"));
                bind(st, i, findParam(params, QString::fromUtf8(nm + 1)).Value);
            }
        } catch (...) {
            sqlite3_finalize(st);
            throw;
        }
        return st;
    }

    void bind(sqlite3_stmt* st, int i, const QVariant& v)
    {
        int rc = SQLITE_OK;
        if (v.isNull()) {
            rc = sqlite3_bind_null(st, i);
        } else {
            switch (v.typeId()) {
            case QMetaType::Bool:
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Long:
            case QMetaType::Short:
                rc = sqlite3_bind_int64(st, i, v.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(st, i, v.toDouble());
                break;
            case QMetaType::QByteArray: {
                const QByteArray b = v.toByteArray();
                rc = sqlite3_bind_blob(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QDate:
                rc = bindText(st, i, v.toDate().toString(QStringLiteral("yyyy-MM-dd")));
                break;
            default:
                rc = bindText(st, i, v.toString());
                break;
            }
        }
        if (rc != SQLITE_OK) throw sqliteError(m_db);
    }

    // Whether the rest of a text holds nothing but blanks, semicolons and comments.
    static bool onlyBlanks(const char* p, const char* end)
    {
        while (p && p < end) {
            if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == ';') {
                ++p;
            } else if (p + 1 < end && p[0] == '-' && p[1] == '-') {
                while (p < end && *p != '\n') ++p;
            } else if (p + 1 < end && p[0] == '/' && p[1] == '*') {
                p += 2;
                while (p + 1 < end && !(p[0] == '*' && p[1] == '/')) ++p;
                p += 2;
            } else {
                return false;
            }
        }
        return true;
    }

    static int bindText(sqlite3_stmt* st, int i, const QString& s)
    {
        // An empty string stays '' (never NULL): the pointer must not be null.
        const QByteArray u = s.toUtf8();
        return sqlite3_bind_text(st, i, u.isEmpty() ? "" : u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }

    QString m_path;
    sqlite3* m_db = nullptr;
    int m_depth = 0;
};

} // namespace

std::unique_ptr<DbBackend> makeSqliteBackend(const QString& path)
{
    return std::make_unique<SqliteBackend>(path);
}
