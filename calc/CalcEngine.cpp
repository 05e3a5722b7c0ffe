#include "calc/CalcEngine.h"

#include "framework/SharedUtils.h"
#include "module/ErrLog.h"
#include "module/MISPub.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/FormatFloat.h"
#include "platform/grid/DBGridEh.h"
#include "platform/text/Gbk.h"
#include "platform/ui/Guard.h"

#include <QRegularExpression>

#include <utility>

namespace {

bool isOperator(QChar c)
{
    return c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('*') ||
           c == QLatin1Char('/');
}

bool isDelimiter(QChar c)
{
    return isOperator(c) || c == QLatin1Char('(') || c == QLatin1Char(')');
}

QString errorWithMessage(const QString& text, const QString& message)
{
    return text + QLatin1Char('\n') + message;
}

// Every guard writes its divisor twice, so each division nested in a divisor doubles the text:
// beyond this size the guard gives up instead of building an exponentially long statement.
constexpr qsizetype kMaxGuardedSize = 20000;

// One divisor at a time, left to right; the text after a divisor is guarded in turn. Answers an
// empty text with tooLong set when the result would pass kMaxGuardedSize.
QString guardFrom(const QString& text, bool decimal, bool& tooLong)
{
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype slash = text.indexOf(QLatin1Char('/'), from);
        if (slash < 0 || slash == text.size() - 1) break;
        // Find the end of the divisor operand.
        int depth = 0;
        qsizetype end = -1; // one past the divisor
        qsizetype i = slash + 1;
        for (; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c == QLatin1Char('(')) {
                ++depth;
            } else if (c == QLatin1Char(')')) {
                if (depth > 0) {
                    if (--depth == 0) {
                        end = i + 1;
                        break;
                    }
                } else {
                    end = i; // closes a group around the division
                    break;
                }
            } else if (depth == 0 && isOperator(c)) {
                end = i;
                break;
            }
        }
        if (end < 0) {
            if (depth > 0) break; // an open group reaches the end: leave the rest as it is
            end = text.size();
        }
        // Divisions inside the divisor are guarded (and made decimal) in their turn: a/(b/c) with
        // c = 0 is a/b, and with b = 1, c = 2 it is 2, not a division by an integer 0.
        const QString d = guardFrom(text.mid(slash + 1, end - slash - 1), decimal, tooLong);
        if (tooLong) return {};
        if (d.isEmpty()) break; // no operand to guard (the checker refuses such texts)
        if (out.size() + 2 * d.size() + (text.size() - from) > kMaxGuardedSize) {
            tooLong = true;
            return {};
        }
        out += QStringView(text).mid(from, slash + 1 - from);
        if (decimal)
            out += QLatin1String("Case(") + d + QLatin1String(") when 0 then 1.0 else 1.0*(") + d +
                   QLatin1String(") end ");
        else
            out += QLatin1String("Case(") + d + QLatin1String(") when 0 then 1 else (") + d +
                   QLatin1String(") end ");
        from = end;
    }
    out += QStringView(text).mid(from);
    return out;
}

// "+" outside string literals becomes "||": on SQLite a string column plus a string column is
// an addition, and the text cannot tell it from one.
QString concatOperators(const QString& text)
{
    QString out;
    out.reserve(text.size() + 8);
    bool inQuote = false;
    for (QChar c : text) {
        if (c == QLatin1Char('\'')) inQuote = !inQuote;
        if (!inQuote && c == QLatin1Char('+'))
            out += QLatin1String("||");
        else
            out += c;
    }
    return out;
}

bool isIdentifier(const QString& s)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(s).hasMatch();
}

qsizetype indexOfName(const QStringList& names, const QString& name)
{
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void logProblem(const QString& def, const QString& problem)
{
    LogException(QStringLiteral("计算字段定义无效，未使用：") + def + QStringLiteral("（") + problem +
                 QStringLiteral("）"));
}

} // namespace

// --- expressions -------------------------------------------------------------------------------

QString CheckExpression(const QString& text)
{
    QString s = text;
    if (!s.isEmpty() && isOperator(s.front())) s.remove(0, 1);
    if (!s.isEmpty() && isOperator(s.back())) s.chop(1);
    if (s.isEmpty()) return s;

    if (s.count(QLatin1Char('(')) != s.count(QLatin1Char(')'))) return ExprErrParens;
    // Every ")" closes a "(" before it: "(a)))+(((b)" has as many of each and is no expression.
    int depth = 0;
    for (QChar c : std::as_const(s)) {
        if (c == QLatin1Char('(')) ++depth;
        else if (c == QLatin1Char(')') && --depth < 0) return ExprErrCloseAt;
    }
    // An operator still at the end had a second one beside it ("a//"); at the start only a sign
    // ("++a" is +a) leaves an expression.
    if (isOperator(s.back()) || s.front() == QLatin1Char('*') || s.front() == QLatin1Char('/'))
        return ExprErrOperator;

    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = s[i];
        const bool hasNext = i + 1 < n;
        const QChar next = hasNext ? s[i + 1] : QChar();
        const QChar prev = i > 0 ? s[i - 1] : QChar();
        if (c == QLatin1Char(')')) {
            if (hasNext && next != QLatin1Char(')') && !isOperator(next)) return ExprErrCloseAt;
            if (i > 0 && isOperator(prev)) return ExprErrCloseAt;
            if (prev == QLatin1Char('(')) return ExprErrCloseAt; // "()" holds no operand
        } else if (c == QLatin1Char('(')) {
            if (hasNext && isOperator(next)) return ExprErrOpenAt;
            if (i > 0 && prev != QLatin1Char('(') && !isOperator(prev)) return ExprErrOpenAt;
        } else if (isOperator(c)) {
            if (hasNext && isOperator(next)) return ExprErrOperator;
        }
    }
    return s;
}

bool IsExpressionError(const QString& r)
{
    return r == ExprErrParens || r == ExprErrCloseAt || r == ExprErrOpenAt || r == ExprErrOperator;
}

bool ShowExpressionError(const QString& code)
{
    QString text;
    if (code == ExprErrParens)
        text = QStringLiteral("表达式括号不完整！");
    else if (code == ExprErrCloseAt)
        text = QStringLiteral("表达式中‘(’附近有错误！");
    else if (code == ExprErrOpenAt)
        text = QStringLiteral("表达式中‘)’附近有错误！");
    else if (code == ExprErrOperator)
        text = QStringLiteral("表达式中运算符‘+、-、*、/’附近有错误！");
    else
        return false;
    ShowErrorMsg(text);
    return true;
}

QString ExpressToCaption(const QString& text, const QStringList& names, const QStringList& captions)
{
    // Token by token, left to right; the delimiters are copied as they stand.
    auto display = [&](const QString& token) {
        if (token.startsWith(QLatin1Char('#'))) return token.mid(1);
        const qsizetype at = indexOfName(names, token);
        if (at >= 0 && at < captions.size()) return captions[at];
        return token; // not listed (removed, hidden or of another type): the name itself
    };
    QString out;
    QString token;
    for (QChar c : text) {
        if (isDelimiter(c)) {
            if (!token.isEmpty()) out += display(token);
            token.clear();
            out += c;
        } else {
            token += c;
        }
    }
    if (!token.isEmpty()) out += display(token);
    return out;
}

QString GuardDivisions(const QString& text, bool decimal)
{
    bool tooLong = false;
    return guardFrom(text, decimal, tooLong);
}

QStringList ExpressionTokens(const QString& text)
{
    QStringList tokens;
    QString token;
    for (QChar c : text) {
        if (isDelimiter(c)) {
            if (!token.isEmpty()) tokens << token;
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.isEmpty()) tokens << token;
    return tokens;
}

QStringList ExpressionFieldNames(const QString& text)
{
    QStringList names;
    for (const QString& t : ExpressionTokens(text))
        if (!t.startsWith(QLatin1Char('#')) && !names.contains(t, Qt::CaseInsensitive)) names << t;
    return names;
}

bool ParseCalcFieldDef(const QString& def, CalcFieldDef& out)
{
    const qsizetype at = def.indexOf(QLatin1Char('@'));
    if (def.isEmpty() || at < 1) return false;
    out.type = def[0];
    out.name = def.mid(1, at - 1);
    out.express = def.mid(at + 1);
    return true;
}

bool IsNumericConstant(const QString& s)
{
    // What a string-to-float conversion of the suite accepts, signs excluded (they are operators).
    static const QRegularExpression re(QStringLiteral("^([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][0-9]+)?$"));
    return re.match(s).hasMatch();
}

QString ValidateCalcFieldDef(CalcFieldDef& def, const QStringList* fieldNames)
{
    if (def.type != QLatin1Char('S') && def.type != QLatin1Char('I') && def.type != QLatin1Char('F'))
        return QStringLiteral("字段类型无效");
    if (!isIdentifier(def.name) || Gbk::byteLength(def.name) > 40) return QStringLiteral("字段名称无效");
    if (def.express.isEmpty()) return QStringLiteral("表达式为空");
    // The column holds 100 characters; a text far longer was not written by the editor.
    if (def.express.size() > 1000) return QStringLiteral("表达式过长");
    // Control characters (a NUL ends the text on the server) and characters the column's code
    // page cannot hold would reach the server changed.
    for (QChar c : std::as_const(def.express))
        if (c.category() == QChar::Other_Control) return QStringLiteral("表达式含有控制字符");
    if (!Gbk::canEncode(def.express)) return QStringLiteral("表达式含有无法保存的字符");
    const QString checked = CheckExpression(def.express);
    if (IsExpressionError(checked)) return QStringLiteral("表达式有错误");
    if (checked.isEmpty()) return QStringLiteral("表达式为空");
    for (const QString& t : ExpressionTokens(checked)) {
        if (t.startsWith(QLatin1Char('#'))) {
            const QString k = t.mid(1);
            const bool ok = def.type == QLatin1Char('S')
                                ? (k.size() >= 2 && k.startsWith(QLatin1Char('\'')) &&
                                   k.endsWith(QLatin1Char('\'')) &&
                                   !k.mid(1, k.size() - 2).contains(QLatin1Char('\'')) &&
                                   !k.contains(QLatin1Char('#')) && !k.contains(QLatin1Char('@')))
                                : IsNumericConstant(k);
            if (!ok) return QStringLiteral("常量无效：") + k;
        } else if (fieldNames) {
            if (!fieldNames->contains(t, Qt::CaseInsensitive)) return QStringLiteral("字段不存在：") + t;
        } else if (!isIdentifier(t)) {
            return QStringLiteral("字段名称无效：") + t;
        }
    }
    // The statement writes each divisor twice; divisions nested deep in divisors would make it
    // grow beyond what any server takes.
    if (def.type != QLatin1Char('S')) {
        QString bare = checked;
        bare.remove(QLatin1Char('#'));
        if (GuardDivisions(bare, def.type == QLatin1Char('F')).isEmpty())
            return QStringLiteral("表达式中的除法嵌套过深");
    }
    def.express = checked;
    return {};
}

// --- services ------------------------------------------------------------------------------------

QString GetCalcFieldSql(const QStringList& defs, Dialect dialect)
{
    QString sql;
    for (const QString& entry : defs) {
        CalcFieldDef def;
        if (!ParseCalcFieldDef(entry, def)) {
            logProblem(entry, QStringLiteral("格式无效"));
            continue;
        }
        const QString problem = ValidateCalcFieldDef(def, nullptr);
        if (!problem.isEmpty()) {
            logProblem(entry, problem);
            continue;
        }
        QString expr = def.express;
        expr.remove(QLatin1Char('#'));
        const QString column = QLatin1String("R_") + def.name;
        if (def.type == QLatin1Char('S')) {
            if (dialect == Dialect::SQLite) expr = concatOperators(expr);
            sql += QLatin1String(" ,(") + expr + QLatin1String(") as ") + column;
        } else if (def.type == QLatin1Char('F')) {
            sql += QLatin1String(" ,(") + GuardDivisions(expr, true) + QLatin1String(")/1.0 as ") + column;
        } else {
            // An integer column shows what the server's conversion gives: a fraction (a decimal
            // operand) is cut toward zero, 3.75 is 3 and -3.75 is -3, on every backend alike.
            sql += QLatin1String(" ,cast((") + GuardDivisions(expr, false) + QLatin1String(") as bigint) as ") + column;
        }
    }
    return sql;
}

QString GetCalcFieldSql(const QStringList* defs)
{
    if (!defs || defs->isEmpty()) return {};
    TADOConnection* c = GetSharedConnection();
    return GetCalcFieldSql(*defs, c ? c->dialect() : Dialect::SqlServer);
}

void CreateCalcFields(TClientDataSet* ds, const QString& formKey, QStringList* defs)
{
    if (!ds) return;
    ds->Close();
    try {
        // What an expression may name: the dataset's own data fields, no calculated field.
        QStringList dataFields;
        for (TField* f : ds->Fields())
            if (f->FieldKind() == fkData && !IsCalcFieldTag(f->Tag())) dataFields << f->FieldName();

        TQorAdoQry q(GetSharedConnection());
        q.SQL << QStringLiteral("Select * from tXtQryField")
              << QStringLiteral("Where QryCode=:QryCode and DataSet=:DataSet");
        q.Parameters.ParamByName(QStringLiteral("QryCode")).Value = formKey;
        q.Parameters.ParamByName(QStringLiteral("DataSet")).Value = ds->objectName();
        q.OpenSized();
        for (; !q.Eof(); q.Next()) {
            const QString name = q.FieldByName(QStringLiteral("FldName")).AsString().trimmed();
            const QString componentName = ds->objectName() + name;
            // A field left by an earlier build.
            if (QObject* old = ds->findChild<QObject*>(componentName, Qt::FindDirectChildrenOnly))
                delete old;

            CalcFieldDef def;
            const QString letter = q.FieldByName(QStringLiteral("FldType")).AsString().trimmed().toUpper();
            def.type = letter.size() == 1 ? letter[0] : QChar();
            def.name = name;
            def.express = q.FieldByName(QStringLiteral("FldExpress")).AsString().trimmed();
            TFieldType type;
            if (def.type == QLatin1Char('S'))
                type = ftString;
            else if (def.type == QLatin1Char('I'))
                type = ftInteger;
            else if (def.type == QLatin1Char('F'))
                type = ftCurrency;
            else
                continue;
            const QString problem = ValidateCalcFieldDef(def, &dataFields);
            if (!problem.isEmpty()) {
                logProblem(def.type + def.name + QLatin1Char('@') + def.express, problem);
                continue;
            }
            const QString entry = def.type + def.name + QLatin1Char('@') + def.express;

            // A size stored outside the editor may be anything: keep it within reason.
            bool ok = false;
            qint64 size = q.FieldByName(QStringLiteral("FldSize")).Value().toLongLong(&ok);
            if (!ok || size < 0 || size > 8000) size = 0;
            const bool isSum = q.FieldByName(QStringLiteral("IsSum")).AsString().trimmed() == QLatin1String("1");
            const QString format = q.FieldByName(QStringLiteral("FldFormat")).AsString().trimmed();

            TField* f = createField(type, ds);
            f->setObjectName(componentName);
            f->setFieldName(QLatin1String("R_") + def.name);
            f->setDisplayLabel(q.FieldByName(QStringLiteral("FldCaption")).AsString().trimmed());
            f->setFieldKind(fkData);
            f->setSize(int(size));
            if (size > 0) f->setDisplayWidth(int(size));
            f->setTag(type != ftString && isSum ? CalcSumFieldTag : CalcFieldTag);
            if (type == ftInteger) {
                f->setDisplayFormat(QStringLiteral("0."));
            } else if (type == ftCurrency && !format.isEmpty() && IsValidFloatFormat(format)) {
                try {
                    f->setDisplayFormat(format);
                } catch (const DatasetError&) {
                    // a format the platform refuses: the field keeps its default
                }
            }
            f->setProperty(CalcSourceFieldsProperty, ExpressionFieldNames(def.express));
            f->setDataSet(ds);
            if (defs) defs->append(entry);
        }
    } catch (...) {
        const QString message = currentExceptionMessage();
        ShowErrorMsg(errorWithMessage(QStringLiteral("创建计算字段失败！"), message));
        LogException(message);
    }
}

void AddCalcColumns(TClientDataSet* ds, TDBGridEh* grid)
{
    if (!ds || !grid) return;
    TDBGridColumnsEh* cols = grid->Columns();
    bool wantsFooter = false;
    // Default columns would all go with the first column added: make them the grid's own first.
    if (cols->IsDefault()) {
        bool any = false;
        for (TField* f : ds->Fields()) any = any || IsCalcFieldTag(f->Tag());
        if (any) cols->AddAllColumns(true);
    }
    for (TField* f : ds->Fields()) {
        if (!IsCalcFieldTag(f->Tag())) continue;
        for (int i = 0; i < cols->Count(); ++i) {
            TField* bound = cols->Items(i)->Field();
            if (bound && bound->FieldName().compare(f->FieldName(), Qt::CaseInsensitive) == 0) {
                cols->Delete(i);
                break;
            }
        }
        TColumnEh* c = cols->Add();
        c->setTag(f->Tag());
        c->setField(f);
        c->setReadOnly(true);
        if (f->Tag() == CalcSumFieldTag) {
            c->Footer()->setValueType(fvtSum);
            wantsFooter = true;
        }
    }
    // Columns of calculated fields that no longer exist (from a saved layout, for instance).
    const int passes = cols->Count();
    int i = 0;
    for (int n = 0; n < passes && i < cols->Count(); ++n) {
        TColumnEh* c = cols->Items(i);
        if (IsCalcFieldTag(c->Tag()) && !ds->FindField(c->FieldName()))
            cols->Delete(i);
        else
            ++i;
    }
    // A total asked for must have a footer row to show in.
    if (wantsFooter && grid->FooterRowCount() < 1) grid->setFooterRowCount(1);
}

void EnsureCalcFieldTable()
{
    try {
        TQorAdoQry q(GetSharedConnection());
        q.SQL << QStringLiteral("Select Name from Sysobjects where Name ='tXtQryField' and Type='u' ");
        q.OpenSized();
        const bool exists = !q.Eof();
        q.Close();
        if (exists) return;
        q.SQL.clear();
        q.SQL << QStringLiteral("Create TABLE tXtQryField (")
              << QStringLiteral("QryCode  VarChar(10) NOT NULL ,")
              << QStringLiteral("DataSet  VarChar(15) NOT NULL,")
              << QStringLiteral("FldName VarChar(40) NOT NULL ,")
              << QStringLiteral("FldCaption  VarChar(40) NULL ,")
              << QStringLiteral("FldType  VarChar(1) NOT NULL ,")
              << QStringLiteral("FldSize  Int NOT NULL Default(0) ,")
              << QStringLiteral("FldExpress VarChar(100)  NULL,")
              << QStringLiteral("FldFormat VarChar(15)  NULL,")
              << QStringLiteral("IsSum VarChar(1)  NULL DEFAULT ('0'),")
              << QStringLiteral("Remark     VarChar(40)  NULL,")
              << QStringLiteral("Primary Key (QryCode,DataSet,FldName))");
        ExecChecked(q);
    } catch (...) {
        const QString message = currentExceptionMessage();
        ShowErrorMsg(errorWithMessage(QStringLiteral("创建数据表失败！"), message));
        LogException(message);
    }
}
