#include "platform/db/Db.h"

#include "platform/db/DbBackend.h"
#include "platform/db/TsqlTranslator.h"
#include "platform/text/Gbk.h"

#include <QHash>

#include <atomic>

DbError::DbError(const QString& message, int nativeCode, const QString& sqlState)
    : QorError(message), m_native(nativeCode), m_state(sqlState) {}

bool DbError::isUniqueViolation() const
{
    // SQLite: SQLITE_CONSTRAINT_UNIQUE (2067) / _PRIMARYKEY (1555); SQL Server 2627 / 2601.
    if (m_native == 2067 || m_native == 1555 || m_native == 2627 || m_native == 2601) return true;
    // Drivers that pass less: ODBC reports integrity violations as SQLSTATE 23000 (23505 on
    // some), the SQLite ODBC driver only the primary code 19 (any constraint) with state HY000.
    // Then the text tells a duplicate key from a NOT NULL, CHECK or FOREIGN KEY violation.
    const bool constraint = m_native == 19 || m_state == QLatin1String("23000") || m_state == QLatin1String("23505");
    if (!constraint) return false;
    const QString& m = message();
    return m.contains(QLatin1String("UNIQUE constraint"), Qt::CaseInsensitive) ||
           m.contains(QLatin1String("not unique"), Qt::CaseInsensitive) ||
           m.contains(QLatin1String("PRIMARY KEY must be unique"), Qt::CaseInsensitive) ||
           m.contains(QLatin1String("duplicate"), Qt::CaseInsensitive) ||
           m.contains(QLatin1String("Violation of PRIMARY KEY"), Qt::CaseInsensitive) ||
           m.contains(QLatin1String("Violation of UNIQUE KEY"), Qt::CaseInsensitive);
}

// --- connection -----------------------------------------------------------------------------

namespace {
std::atomic<quint64> g_connectionSerial{0};
} // namespace

TADOConnection::TADOConnection(std::unique_ptr<DbBackend> b) : m_backend(std::move(b)), m_serial(++g_connectionSerial)
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("QOR_FAIL_STATEMENT", &ok);
    if (ok && n > 0) failStatementAt(n);
}

void TADOConnection::failStatementAt(int n) { m_failAt = n > 0 ? m_statements + n : 0; }

void TADOConnection::countStatement(const QString& what)
{
    if (++m_statements != m_failAt) return;
    m_failAt = 0;
    // What a provider reports for an I/O failure: a native code, a state, a message.
    const QString message = QStringLiteral("disk I/O error (injected failure of statement %1: %2)")
                                .arg(m_statements)
                                .arg(what.left(80));
    m_errors.append(TDbErrorRecord{10, message, QStringLiteral("HY000"), false});
    throw DbError(message, 10, QStringLiteral("HY000"));
}
TADOConnection::~TADOConnection() = default;

std::unique_ptr<TADOConnection> TADOConnection::openSqlite(const QString& path)
{
    return std::unique_ptr<TADOConnection>(new TADOConnection(makeSqliteBackend(path)));
}

std::unique_ptr<TADOConnection> TADOConnection::openOdbc(const QString& cs)
{
    return std::unique_ptr<TADOConnection>(new TADOConnection(makeOdbcBackend(cs)));
}

Dialect TADOConnection::dialect() const { return m_backend->dialect(); }
QString TADOConnection::description() const { return m_backend->description(); }
void TADOConnection::executeScript(const QString& sql) { m_errors.clear(); m_backend->executeScript(sql); }
void TADOConnection::BeginTrans()
{
    countStatement(QStringLiteral("begin"));
    m_backend->begin();
}
void TADOConnection::CommitTrans()
{
    countStatement(QStringLiteral("commit"));
    m_backend->commit();
}
void TADOConnection::RollbackTrans() { m_backend->rollback(); }
bool TADOConnection::InTransaction() const { return m_backend->inTransaction(); }

namespace {
// The connection's schema as the translation asks for it: the version read once per statement.
class ConnectionSchema : public TsqlTranslator::Schema {
public:
    explicit ConnectionSchema(TADOConnection& c) : m_conn(c) {}
    QHash<QString, QString> columns(const QString& table) override
    {
        version(); // forgets the columns of an older schema
        return m_conn.columnTypes(table);
    }
    QString version() override
    {
        if (m_key.isEmpty()) m_key = m_conn.schemaKey();
        return m_key;
    }

private:
    TADOConnection& m_conn;
    QString m_key;
};
} // namespace

QString TADOConnection::prepareText(const QString& tsql, const std::vector<DbParam>& params)
{
    if (dialect() == Dialect::SqlServer) return tsql;
    // What a parameter holds decides what its + means, as on the server.
    QStringList textParams;
    for (const DbParam& p : params)
        if (p.Value.typeId() == QMetaType::QString) textParams << p.Name;
    ConnectionSchema schema(*this);
    return TsqlTranslator::toSqlite(tsql, textParams, &schema);
}

// Both read the schema through the backend directly: they are no statements of the caller's
// (not counted, no failure injected), and a failure only leaves the types unknown.
QString TADOConnection::schemaKey()
{
    qint64 version = -1;
    try {
        const std::unique_ptr<DbCursor> c = m_backend->open(QStringLiteral("PRAGMA schema_version"), {}, *this);
        if (!c->atEnd()) version = c->int64(0);
    } catch (const DbError&) {
        m_errors.clear(); // read at the start of a statement, whose collection was empty
    }
    if (version < 0) {
        m_columnTypes.clear();
        return QStringLiteral("%1:unversioned %2").arg(m_serial).arg(++m_unversioned);
    }
    if (version != m_schemaVersion) {
        m_schemaVersion = version;
        m_columnTypes.clear();
    }
    return QStringLiteral("%1:%2").arg(m_serial).arg(version);
}

QHash<QString, QString> TADOConnection::columnTypes(const QString& table)
{
    if (dialect() == Dialect::SqlServer) return {};
    const QString key = table.toLower();
    auto it = m_columnTypes.constFind(key);
    if (it != m_columnTypes.constEnd()) return it.value();
    QHash<QString, QString> cols;
    try {
        const std::vector<DbParam> params{DbParam{QStringLiteral("T"), table, 0}};
        const std::unique_ptr<DbCursor> c =
            m_backend->open(QStringLiteral("select name, type from pragma_table_info(:T)"), params, *this);
        for (; !c->atEnd(); c->next()) {
            const std::string_view name = c->utf8(0);
            const QString column = QString::fromUtf8(name.data(), qsizetype(name.size())).toLower();
            const std::string_view type = c->utf8(1);
            cols.insert(column, QString::fromUtf8(type.data(), qsizetype(type.size())));
        }
    } catch (const DbError&) {
        m_errors.clear();
        return cols; // not kept: the next statement asks again
    }
    m_columnTypes.insert(key, cols);
    return cols;
}

DbTransaction::DbTransaction(TADOConnection* c) : m_conn(c)
{
    if (!m_conn) throw DbError(QStringLiteral("没有数据库连接"));
    m_conn->BeginTrans();
}

DbTransaction::~DbTransaction()
{
    if (!m_done) {
        try {
            m_conn->RollbackTrans();
        } catch (...) {
        }
    }
}

void DbTransaction::commit()
{
    m_conn->CommitTrans();
    m_done = true;
}

// --- parameters -----------------------------------------------------------------------------

DbParam& TParameters::ParamByName(const QString& name)
{
    if (DbParam* p = FindParam(name)) return *p;
    m_items.push_back(DbParam{name, QVariant(), 0});
    return m_items.back();
}

DbParam* TParameters::FindParam(const QString& name)
{
    for (DbParam& p : m_items)
        if (p.Name.compare(name, Qt::CaseInsensitive) == 0) return &p;
    return nullptr;
}

std::vector<ParamRef> scanParams(const QString& t)
{
    std::vector<ParamRef> out;
    const int n = int(t.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = t[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            for (++i; i < n; ++i) {
                if (t[i] == close) {
                    if (close != QLatin1Char(']') && i + 1 < n && t[i + 1] == close) { ++i; continue; }
                    break;
                }
            }
        } else if (c == QLatin1Char('-') && i + 1 < n && t[i + 1] == QLatin1Char('-')) {
            while (i < n && t[i] != QLatin1Char('\n')) ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && t[i + 1] == QLatin1Char('*')) {
            i += 2;
            while (i + 1 < n && !(t[i] == QLatin1Char('*') && t[i + 1] == QLatin1Char('/'))) ++i;
            ++i;
        } else if (c == QLatin1Char(':') && i + 1 < n &&
                   (t[i + 1].isLetter() || t[i + 1] == QLatin1Char('_')) &&
                   (i == 0 || t[i - 1] != QLatin1Char(':'))) {
            int j = i + 1;
            while (j < n && (t[j].isLetterOrNumber() || t[j] == QLatin1Char('_'))) ++j;
            out.push_back(ParamRef{t.mid(i + 1, j - i - 1), i, j - i});
            i = j - 1;
        }
    }
    return out;
}

const DbParam& findParam(const std::vector<DbParam>& params, const QString& name)
{
    for (const DbParam& p : params)
        if (p.Name.compare(name, Qt::CaseInsensitive) == 0) return p;
    throw DbError(QStringLiteral("参数 %1 没有值").arg(name));
}

// --- field values ---------------------------------------------------------------------------

TDbField::TDbField(QVariant v)
{
    if (v.isNull()) return;
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
        m_type = DbType::Integer;
        m_i = v.toLongLong();
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        m_type = DbType::Float;
        m_d = v.toDouble();
        break;
    case QMetaType::QByteArray:
        m_type = DbType::Blob;
        m_b = v.toByteArray();
        break;
    default:
        m_type = DbType::Text;
        m_s = v.toString();
        break;
    }
}

QVariant TDbField::Value() const
{
    switch (m_type) {
    case DbType::Null: return {};
    case DbType::Integer: return QVariant(m_i);
    case DbType::Float: return QVariant(m_d);
    case DbType::Text: return QVariant(m_s);
    case DbType::Blob: return QVariant(m_b);
    }
    return {};
}

QString TDbField::AsString() const&
{
    switch (m_type) {
    case DbType::Null: return QString();
    case DbType::Integer: return QString::number(m_i);
    case DbType::Float: return QString::number(m_d, 'g', 15);
    case DbType::Text: return m_s;
    case DbType::Blob: return QString::fromUtf8(m_b);
    }
    return QString();
}

QString TDbField::AsString() &&
{
    if (m_type == DbType::Text) return std::move(m_s);
    return static_cast<const TDbField&>(*this).AsString();
}

qint64 TDbField::AsInteger() const
{
    switch (m_type) {
    case DbType::Null: return 0;
    case DbType::Integer: return m_i;
    case DbType::Float:
    case DbType::Text:
    case DbType::Blob: break;
    }
    bool ok = m_type == DbType::Float;
    const QString s = AsString().trimmed();
    if (!ok) {
        const qint64 n = s.toLongLong(&ok);
        if (ok) return n;
    }
    const double d = ok ? m_d : s.toDouble(&ok);
    // A number outside the 64-bit range (or not a number) has no integer value: converting it
    // anyway is undefined and gave any value.
    if (ok && d > -9223372036854775808.0 && d < 9223372036854775808.0) return qint64(d);
    throw DbError(QStringLiteral("'%1' 不是有效的整数").arg(s));
}

double TDbField::AsFloat() const
{
    switch (m_type) {
    case DbType::Null: return 0.0;
    case DbType::Integer: return double(m_i);
    case DbType::Float: return m_d;
    case DbType::Text:
    case DbType::Blob: break;
    }
    bool ok = false;
    const QString s = AsString().trimmed();
    const double d = s.toDouble(&ok);
    if (!ok) throw DbError(QStringLiteral("'%1' 不是有效的浮点数").arg(s));
    return d;
}

bool TDbField::AsBoolean() const
{
    switch (m_type) {
    case DbType::Null: return false;
    case DbType::Integer: return m_i != 0;
    case DbType::Float: return m_d != 0;
    case DbType::Text:
    case DbType::Blob: break;
    }
    const QString s = AsString().trimmed();
    return s == QLatin1String("1") || s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

// --- query ----------------------------------------------------------------------------------

TADOQuery::~TADOQuery() = default;

namespace {
TADOConnection* need(TADOConnection* c)
{
    if (!c) throw DbError(QStringLiteral("没有数据库连接"));
    return c;
}

// Parameters named in the text but not created yet are created empty (null), as ADO does when
// the SQL is assigned; the backend then binds NULL for them.
void addMissingParams(TParameters& ps, const QString& text)
{
    for (const ParamRef& r : scanParams(text)) ps.ParamByName(r.name);
}
} // namespace

void TADOQuery::Open()
{
    Close();
    TADOConnection* c = need(m_conn);
    c->clearErrors();
    const QString text = sqlText();
    addMissingParams(Parameters, text);
    c->countStatement(text);
    m_cursor = c->backend()->open(c->prepareText(text, Parameters.items()), Parameters.items(), *c);
    const int n = m_cursor->columnCount();
    m_names.resize(size_t(n));
    for (int i = 0; i < n; ++i) m_names[size_t(i)] = m_cursor->columnName(i);
    m_onFirst = true;
}

void TADOQuery::Close()
{
    m_cursor.reset();
    m_names.clear();
}

bool TADOQuery::Eof() const { return !m_cursor || m_cursor->atEnd(); }

void TADOQuery::Next()
{
    if (m_cursor && !m_cursor->atEnd()) {
        m_cursor->next();
        m_onFirst = false;
    }
}

void TADOQuery::First()
{
    if (!m_onFirst) Open();
}

int TADOQuery::FieldCount() const { return int(m_names.size()); }
QString TADOQuery::FieldName(int i) const
{
    return i >= 0 && i < int(m_names.size()) ? m_names[size_t(i)] : QString();
}

int TADOQuery::FieldIndex(const QString& name) const
{
    // Callers nearly always spell the name as the statement does and read the fields of a row
    // in column order: the exact search starts after the field found last.
    const int n = int(m_names.size());
    for (int k = 0, i = m_lastField + 1; k < n; ++k, ++i) {
        if (i >= n) i = 0;
        if (m_names[size_t(i)] == name) return m_lastField = i;
    }
    for (int i = 0; i < n; ++i)
        if (m_names[size_t(i)].compare(name, Qt::CaseInsensitive) == 0) return m_lastField = i;
    return -1;
}

TDbField TADOQuery::Field(int i) const
{
    if (!m_cursor || m_cursor->atEnd() || i < 0 || i >= int(m_names.size())) return {};
    switch (m_cursor->type(i)) {
    case DbType::Null: return {};
    case DbType::Integer: return TDbField(qint64(m_cursor->int64(i)));
    case DbType::Float: return TDbField(m_cursor->dbl(i));
    case DbType::Text: {
        std::string_view v = m_cursor->utf8(i);
        return TDbField(QString::fromUtf8(v.data(), qsizetype(v.size())));
    }
    case DbType::Blob: {
        // Binary data (settings files, pictures) comes back byte for byte.
        std::string_view v = m_cursor->utf8(i);
        return TDbField(QByteArray(v.data(), qsizetype(v.size())));
    }
    }
    return {};
}

TDbField TADOQuery::FieldByName(const QString& name) const
{
    const int i = FieldIndex(name);
    if (i < 0) throw DbError(QStringLiteral("找不到字段 %1").arg(name));
    return Field(i);
}

int TADOQuery::ExecSQL()
{
    Close();
    TADOConnection* c = need(m_conn);
    c->clearErrors();
    const QString text = sqlText();
    addMissingParams(Parameters, text);
    c->countStatement(text);
    return c->backend()->exec(c->prepareText(text, Parameters.items()), Parameters.items(), *c);
}

QString EscapeQuotes(const QString& s)
{
    QString r = s;
    return r.replace(QLatin1Char('\''), QLatin1String("''"));
}

QString QuotedStr(const QString& s) { return QLatin1Char('\'') + EscapeQuotes(s) + QLatin1Char('\''); }

int NeededParamSize(const QVariant& v)
{
    if (v.isNull()) return -1;
    switch (v.typeId()) {
    case QMetaType::QString: {
        const QString s = v.toString();
        return s.isEmpty() ? -1 : Gbk::byteLength(s);
    }
    case QMetaType::QByteArray: return int(v.toByteArray().size());
    case QMetaType::QVariantList: return int(v.toList().size());
    case QMetaType::QStringList: return int(v.toStringList().size());
    default: return 16;
    }
}

void FixParamSizes(TADOQuery& q)
{
    for (DbParam& p : q.Parameters.items()) {
        const int need = NeededParamSize(p.Value);
        if (p.Size == 0 || p.Size < need) p.Size = need;
    }
}
