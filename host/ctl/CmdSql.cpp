// qorctl sql FILE "T-SQL" [Name=value ...]: one statement through the module's query component,
// so that it is translated and checked exactly as the forms' statements are.
#include "host/ctl/CtlCommands.h"

#include "platform/db/Db.h"
#include "platform/db/DbBackend.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

// The first keyword of a statement, after blanks, comments and opening parentheses.
QString firstKeyword(const QString& sql)
{
    int i = 0;
    const int n = int(sql.size());
    while (i < n) {
        const QChar c = sql[i];
        if (c.isSpace() || c == QLatin1Char('(')) {
            ++i;
        } else if (sql.mid(i, 2) == QLatin1String("--")) {
            while (i < n && sql[i] != QLatin1Char('\n')) ++i;
        } else if (sql.mid(i, 2) == QLatin1String("/*")) {
            const int end = int(sql.indexOf(QLatin1String("*/"), i + 2));
            i = end < 0 ? n : end + 2;
        } else {
            break;
        }
    }
    int j = i;
    while (j < n && (sql[j].isLetter() || sql[j] == QLatin1Char('_'))) ++j;
    return sql.mid(i, j - i).toLower();
}

bool returnsRows(const QString& sql)
{
    static const QStringList rowKeywords = {QStringLiteral("select"), QStringLiteral("with"),
                                            QStringLiteral("values"), QStringLiteral("pragma"),
                                            QStringLiteral("explain")};
    return rowKeywords.contains(firstKeyword(sql));
}

bool isConnectionString(const QString& target)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(DSN|DRIVER|FILEDSN)\\s*="),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(target).hasMatch();
}

// One cell as text: tab, line breaks and backslashes escaped, NULL as \N, blobs in hex.
void appendCell(QByteArray& line, const DbCursor& c, int i)
{
    switch (c.type(i)) {
    case DbType::Null:
        line += "\\N";
        return;
    case DbType::Blob: {
        const std::string_view v = c.utf8(i);
        line += "0x" + QByteArray(v.data(), qsizetype(v.size())).toHex();
        return;
    }
    default:
        break;
    }
    for (const char ch : c.utf8(i)) {
        switch (ch) {
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        case '\\': line += "\\\\"; break;
        default: line += ch;
        }
    }
}

void writeLine(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
}

// Whether everything written reached the output (a full disk, a closed pipe); says so when not.
bool outputWritten()
{
    const bool ok = std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (!ok) ctlErr(QStringLiteral("输出写入失败：") + QString::fromLocal8Bit(std::strerror(errno)));
    return ok;
}

} // namespace

int cmdSql(const QStringList& args)
{
    if (args.size() < 2) {
        ctlErr(QStringLiteral("用法：qorctl sql FILE \"T-SQL\" [Name=value ...]"));
        return 2;
    }
    const QString target = args[0];
    const QString sql = args[1];
    static const QRegularExpression paramRe(QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*)=(.*)$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    std::vector<std::pair<QString, QString>> params;
    for (int i = 2; i < args.size(); ++i) {
        const QRegularExpressionMatch m = paramRe.match(args[i]);
        if (!m.hasMatch()) {
            ctlErr(QStringLiteral("参数应写成 Name=value：") + args[i]);
            return 2;
        }
        QString value = m.captured(2);
        if (value.isNull()) value = QLatin1String(""); // an empty value is '', never NULL
        params.emplace_back(m.captured(1), value);
    }
    // Every parameter given is one the statement names, and every one it names is given: a
    // misspelt name would otherwise bind NULL where a value was meant.
    QStringList named;
    for (const ParamRef& p : scanParams(sql))
        if (!named.contains(p.name, Qt::CaseInsensitive)) named << p.name;
    bool paramsOk = true;
    for (const auto& [name, value] : params) {
        if (!named.contains(name, Qt::CaseInsensitive)) {
            ctlErr(QStringLiteral("语句中没有参数 :") + name);
            paramsOk = false;
        }
    }
    for (const QString& name : std::as_const(named)) {
        const bool given = std::any_of(params.begin(), params.end(), [&](const auto& p) {
            return p.first.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (!given) {
            ctlErr(QStringLiteral("没有给出参数 :") + name + QStringLiteral(" 的值（写成 ") + name +
                   QStringLiteral("=value）"));
            paramsOk = false;
        }
    }
    if (!paramsOk) return 2;

    const bool odbc = isConnectionString(target);
    if (!odbc && !QFileInfo::exists(target)) {
        ctlErr(QStringLiteral("数据库文件不存在：") + target);
        return 1;
    }

    try {
        auto conn = odbc ? TADOConnection::openOdbc(target) : TADOConnection::openSqlite(target);
        TADOQuery q(conn.get());
        q.SQL << sql;
        for (const auto& [name, value] : params) q.Parameters.ParamByName(name).Value = value;
        FixParamSizes(q);
        if (!returnsRows(sql)) {
            ctlOut(QString::number(q.ExecSQL()));
            return outputWritten() ? 0 : 1;
        }
        q.Open();
        DbCursor* c = q.cursor();
        QByteArray line;
        for (int i = 0; i < c->columnCount(); ++i) {
            if (i) line += '\t';
            line += c->columnName(i).toUtf8();
        }
        writeLine(line);
        while (!c->atEnd()) {
            line.clear();
            for (int i = 0; i < c->columnCount(); ++i) {
                if (i) line += '\t';
                appendCell(line, *c, i);
            }
            writeLine(line);
            if (std::ferror(stdout)) break; // the output is lost: said below
            c->next();
        }
        q.Close();
        return outputWritten() ? 0 : 1;
    } catch (const DbError& e) {
        std::fflush(stdout);
        ctlErr(e.message());
        return 1;
    }
}
