// The backend seam behind TADOConnection: SQLite (C API) and ODBC (unixODBC C API).
#pragma once

#include "platform/db/Db.h"

class DbBackend {
public:
    virtual ~DbBackend() = default;
    virtual Dialect dialect() const = 0;
    virtual QString description() const = 0;
    // Runs the (already translated) text with its parameters; a cursor standing on the first row.
    virtual std::unique_ptr<DbCursor> open(const QString& text, const std::vector<DbParam>& params,
                                           TADOConnection& conn) = 0;
    // Runs a statement without rows; the affected-row count.
    virtual int exec(const QString& text, const std::vector<DbParam>& params, TADOConnection& conn) = 0;
    virtual void executeScript(const QString& sql) = 0;
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual bool inTransaction() const = 0;
};

std::unique_ptr<DbBackend> makeSqliteBackend(const QString& path);
std::unique_ptr<DbBackend> makeOdbcBackend(const QString& connectionString);

// The :Name parameters of a statement text in order of appearance (outside literals and
// comments), with the positions of their colons; repeated names appear again.
struct ParamRef {
    QString name;
    int pos;    // index of the ':' in the text
    int length; // ':' + name
};
std::vector<ParamRef> scanParams(const QString& text);
// The parameter for a name (case-insensitive); DbError when the statement names one not set.
const DbParam& findParam(const std::vector<DbParam>& params, const QString& name);

// One diagnostic record of a provider call (ODBC: SQLGetDiagRec).
struct DbDiagnostic {
    QString sqlState;
    int native = 0;
    QString message;
};
// Puts the diagnostics of one call into the connection's error collection. After a successful
// call (ODBC success with info) every record is informational and nothing is thrown. After a
// failed call, records of class 01 (warnings) stay informational and the rest are errors; DbError
// is thrown with the first error's message (fallback when the driver gave none).
void recordDiagnostics(TADOConnection& conn, bool failedCall, const std::vector<DbDiagnostic>& diags,
                       const QString& fallback);

// FreeTDS converts UTF-8 only when the connection carries ClientCharset: the connection string
// to connect with again when the driver behind cs (its file name, SQL_DRIVER_NAME) is FreeTDS
// and cs does not name a client character set; empty when cs may stay.
QString withClientCharset(const QString& cs, const QString& driverName);
