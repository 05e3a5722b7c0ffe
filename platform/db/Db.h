// Database layer: the ADO-shaped connection and query over two backends (SQLite through its C
// API, ODBC through unixODBC). Statements are written in Transact-SQL; on SQLite they are
// translated (TsqlTranslator) before they are prepared.
#pragma once

#include "platform/sys/QorError.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

enum class Dialect { SqlServer, SQLite };

// A failure of the provider (or of the layer itself, e.g. no connection). what() is UTF-8.
class DbError : public QorError {
public:
    explicit DbError(const QString& message, int nativeCode = 0, const QString& sqlState = {});
    int nativeCode() const { return m_native; }
    QString sqlState() const { return m_state; }
    // A unique-key or primary-key violation (SQLite constraint, SQL Server 2627/2601).
    bool isUniqueViolation() const;

private:
    int m_native;
    QString m_state;
};

// One record of the connection's error collection.
struct TDbErrorRecord {
    int Number = 0;
    QString Description;
    QString SqlState;
    bool Informational = false; // success with info: kept apart from errors, never a failure
};

// Column type of one value of the current row.
enum class DbType { Null, Integer, Float, Text, Blob };

// Backend cursor over a prepared, executed statement. Values are read from the current row.
class DbCursor {
public:
    virtual ~DbCursor() = default;
    virtual int columnCount() const = 0;
    virtual QString columnName(int i) const = 0;
    // Declared type of the column when the backend knows it (ODBC: always; SQLite: table columns).
    virtual DbType declaredType(int i) const = 0;
    virtual bool atEnd() const = 0;
    virtual void next() = 0;
    virtual DbType type(int i) const = 0;
    virtual qint64 int64(int i) const = 0;
    virtual double dbl(int i) const = 0;
    // UTF-8 text of the value, valid until the next call of next(). Numbers are formatted.
    virtual std::string_view utf8(int i) const = 0;
};

struct DbParam {
    QString Name;  // without the colon
    QVariant Value; // QString (never NULL when empty), qint64/int, double, bool, null QVariant
    int Size = 0;  // declared size, as the ADO parameter carries it
};

class DbBackend;

class TADOConnection {
public:
    // Opens an embedded SQLite database file (WAL journal, memory-mapped I/O), created if missing.
    static std::unique_ptr<TADOConnection> openSqlite(const QString& path);
    // Opens an ODBC connection string ("DSN=..." or "DRIVER=...;..."). The dialect follows the
    // DBMS behind it (SQL_DBMS_NAME), not the API.
    static std::unique_ptr<TADOConnection> openOdbc(const QString& connectionString);
    ~TADOConnection();

    Dialect dialect() const;
    QString description() const; // file name or connection string without secrets

    // Error collection of the last statement: cleared at the start of every statement.
    const QList<TDbErrorRecord>& Errors() const { return m_errors; }
    void clearErrors() { m_errors.clear(); }
    void addError(const TDbErrorRecord& r) { m_errors.append(r); }

    // Transactions (SQLite: BEGIN IMMEDIATE, so the write lock is taken before the first read).
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const;

    // Runs a script of several statements as the backend's own SQL (no translation): schema set-up.
    void executeScript(const QString& sql);

    // The statement text the backend receives for a T-SQL text (translated and cached on SQLite).
    QString prepareText(const QString& tsql, const std::vector<DbParam>& params = {});

    DbBackend* backend() const { return m_backend.get(); }

    // The declared types of a table's columns (lower-case name -> type as CREATE TABLE wrote
    // it), read from the embedded database's schema and kept until the schema changes; empty for
    // a table that does not exist. What the translation of a statement may depend on.
    QHash<QString, QString> columnTypes(const QString& table);
    // Names this connection and the version of its schema: changes whenever columnTypes() may
    // answer differently (a table created, dropped or altered by any connection).
    QString schemaKey();

    // Fault injection for tests of failure paths: the nth statement from now (a query, a
    // command, a begin or a commit; 1 is the next one) fails as the provider would, with a
    // DbError and a record in the error collection, and nothing reaches the database. 0 turns
    // it off. The environment variable QOR_FAIL_STATEMENT=n does the same for a connection
    // when it opens.
    void failStatementAt(int n);
    // Statements run on the connection since it opened (what failStatementAt counts).
    int statementCount() const { return m_statements; }
    // Counts one statement; throws the injected failure when it is the one chosen.
    void countStatement(const QString& what);

private:
    explicit TADOConnection(std::unique_ptr<DbBackend> b);
    std::unique_ptr<DbBackend> m_backend;
    QList<TDbErrorRecord> m_errors;
    int m_statements = 0;
    int m_failAt = 0; // statement number that fails, 0 none
    quint64 m_serial;  // tells connections apart in schema keys (addresses are reused)
    qint64 m_schemaVersion = -1;
    quint64 m_unversioned = 0; // schema keys given while the version could not be read
    QHash<QString, QHash<QString, QString>> m_columnTypes; // lower-case table -> columns
};

// Rolls back unless commit() was called; use around every multi-statement operation.
class DbTransaction {
public:
    explicit DbTransaction(TADOConnection* c);
    ~DbTransaction();
    void commit();

private:
    TADOConnection* m_conn;
    bool m_done = false;
};

class TParameters {
public:
    DbParam& ParamByName(const QString& name); // created when missing
    DbParam* FindParam(const QString& name);
    int Count() const { return int(m_items.size()); }
    DbParam& operator[](int i) { return m_items[size_t(i)]; }
    void Clear() { m_items.clear(); }
    std::vector<DbParam>& items() { return m_items; }
    const std::vector<DbParam>& items() const { return m_items; }

private:
    std::vector<DbParam> m_items;
};

// Value of one field of the current row, read with the Delphi field accessors. Kept as a small
// tagged value rather than a QVariant: reading rows field by field is the hot path of list loads.
class TDbField {
public:
    TDbField() = default;
    TDbField(QVariant v); // QString, QByteArray, integers, floating point, bool; anything else as text
    explicit TDbField(qint64 v) : m_type(DbType::Integer), m_i(v) {}
    explicit TDbField(int v) : TDbField(qint64(v)) {}
    explicit TDbField(double v) : m_type(DbType::Float), m_d(v) {}
    explicit TDbField(QString v) : m_type(DbType::Text), m_s(std::move(v)) {}
    explicit TDbField(QByteArray v) : m_type(DbType::Blob), m_b(std::move(v)) {}
    bool IsNull() const { return m_type == DbType::Null; }
    DbType type() const { return m_type; }
    QString AsString() const&;
    QString AsString() &&; // a temporary hands its text over without a copy
    qint64 AsInteger() const;
    double AsFloat() const;
    bool AsBoolean() const;
    QVariant Value() const;

private:
    DbType m_type = DbType::Null;
    qint64 m_i = 0;
    double m_d = 0;
    QString m_s;
    QByteArray m_b;
};

class TADOQuery {
public:
    explicit TADOQuery(TADOConnection* conn = nullptr) : m_conn(conn) {}
    ~TADOQuery();
    TADOQuery(const TADOQuery&) = delete;
    TADOQuery& operator=(const TADOQuery&) = delete;

    void setConnection(TADOConnection* c) { Close(); m_conn = c; }
    TADOConnection* connection() const { return m_conn; }

    QStringList SQL;       // the statement, one piece per line; lines are joined by "\n"
    TParameters Parameters; // filled from :Name in the text at open/exec when missing
    QString sqlText() const { return SQL.join(QLatin1Char('\n')); }

    // Runs the statement and stands on the first row. Raises DbError (also with no connection).
    void Open();
    void Close();
    bool Active() const { return m_cursor != nullptr; }
    bool Eof() const;
    void Next();
    void First(); // re-runs the statement when not on the first row

    int FieldCount() const;
    QString FieldName(int i) const;
    int FieldIndex(const QString& name) const; // -1 when missing (case-insensitive)
    TDbField FieldByName(const QString& name) const; // DbError when missing
    TDbField Field(int i) const;
    DbCursor* cursor() const { return m_cursor.get(); }

    // Runs a statement that returns no rows; the affected-row count.
    int ExecSQL();

private:
    TADOConnection* m_conn = nullptr;
    std::unique_ptr<DbCursor> m_cursor;
    std::vector<QString> m_names; // column names of the open result, read once
    mutable int m_lastField = -1; // where the next name search starts
    bool m_onFirst = false;
};

// The one quoting helper for values written between single quotes: doubles every quote.
QString QuotedStr(const QString& s); // with the surrounding quotes
QString EscapeQuotes(const QString& s); // quotes doubled, no surrounding quotes

// The size a parameter needs for its value: null -1, empty string -1, a string its GBK
// bytes, a list or byte array its element count, anything else 16.
int NeededParamSize(const QVariant& value);
// Sizes each parameter to its value; the declared size only grows.
void FixParamSizes(TADOQuery& q);
