#include "platform/db/TsqlTranslator.h"

#include "platform/db/Db.h"
#include "platform/text/Gbk.h"

#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>

#include <utility>
#include <vector>

namespace {

enum class K : unsigned char { Space, Comment, Str, QId, Num, Ident, Param, Op, LP, RP, Comma, Semi, Dot };

// Keywords that matter to the rewrites; anything else is an ordinary identifier.
enum Kw : unsigned char {
    None, Select, From, Where, And, Or, Not, On, Join, Left, Right, Inner, Outer, Cross, Full, As,
    Case, When, Then, Else, End, Between, Like, In, Is, Order, Group, By, Having, Union, All,
    Distinct, Values, Set, Into, Insert, Update, Delete, Exists, Escape, Asc, Desc, Collate, Top,
    Create, Table, Null, Primary, Constraint, Unique, Foreign, Check, Except, Intersect, Limit,
    Percent, Glob, Regexp, Match
};

struct KwName {
    const char* name;
    Kw kw;
};

const KwName kKeywords[] = {
    {"select", Select}, {"from", From}, {"where", Where}, {"and", And}, {"or", Or}, {"not", Not},
    {"on", On}, {"join", Join}, {"left", Left}, {"right", Right}, {"inner", Inner},
    {"outer", Outer}, {"cross", Cross}, {"full", Full}, {"as", As}, {"case", Case},
    {"when", When}, {"then", Then}, {"else", Else}, {"end", End}, {"between", Between},
    {"like", Like}, {"in", In}, {"is", Is}, {"order", Order}, {"group", Group}, {"by", By},
    {"having", Having}, {"union", Union}, {"all", All}, {"distinct", Distinct},
    {"values", Values}, {"set", Set}, {"into", Into}, {"insert", Insert}, {"update", Update},
    {"delete", Delete}, {"exists", Exists}, {"escape", Escape}, {"asc", Asc}, {"desc", Desc},
    {"collate", Collate}, {"top", Top}, {"create", Create}, {"table", Table}, {"null", Null},
    {"primary", Primary}, {"constraint", Constraint}, {"unique", Unique},
    {"foreign", Foreign}, {"check", Check}, {"except", Except}, {"intersect", Intersect},
    {"limit", Limit}, {"percent", Percent}, {"glob", Glob}, {"regexp", Regexp}, {"match", Match},
};

bool eqCi(QStringView a, const char* b)
{
    qsizetype i = 0;
    for (; b[i]; ++i) {
        if (i >= a.size()) return false;
        const char16_t c = a[i].unicode();
        const char16_t l = (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
        if (l != char16_t(b[i])) return false;
    }
    return i == a.size();
}

Kw keywordOf(QStringView w)
{
    if (w.size() < 2 || w.size() > 9) return None;
    for (const KwName& k : kKeywords)
        if (eqCi(w, k.name)) return k.kw;
    return None;
}

// Functions whose result is text: a `+` next to one of them concatenates.
bool isTextFunction(QStringView w)
{
    static const char* const names[] = {"rtrim", "ltrim", "trim", "upper", "lower", "substring",
                                        "substr", "replace", "char", "nchar", "space", "str",
                                        "reverse", "stuff", "replicate", "concat"};
    for (const char* n : names)
        if (eqCi(w, n)) return true;
    return false;
}

bool isTextType(QStringView w)
{
    static const char* const names[] = {"char", "varchar", "nchar", "nvarchar", "text", "ntext"};
    for (const char* n : names)
        if (eqCi(w, n)) return true;
    return false;
}

// Functions whose result is a number whatever their arguments: a string beside one of them in
// an addition converts to a number on the server.
bool isNumericFunction(QStringView w)
{
    static const char* const names[] = {"count", "count_big", "sum", "avg", "len", "datalength",
                                        "charindex", "patindex", "abs", "round", "floor", "ceiling",
                                        "sign", "power", "sqrt", "datediff", "year", "month", "day"};
    for (const char* n : names)
        if (eqCi(w, n)) return true;
    return false;
}

// What a column's declared type says about its values.
struct ColType {
    enum Kind : unsigned char { Unknown, Text, Integer, Decimal };
    Kind kind = Unknown;
    int bytes = -1; // text: the most GBK bytes a value holds, -1 no limit
};

ColType classify(const QString& declared)
{
    const QString d = declared.trimmed().toLower();
    ColType c;
    if (d.isEmpty()) return c;
    if (d.contains(QLatin1String("char")) || d.contains(QLatin1String("text")) || d.contains(QLatin1String("clob"))) {
        c.kind = ColType::Text;
        static const QRegularExpression width(QStringLiteral("\\(\\s*(\\d+)\\s*\\)"));
        const QRegularExpressionMatch m = width.match(d);
        if (m.hasMatch()) {
            // nchar/nvarchar count characters: each takes at most 2 GBK bytes.
            const int n = m.captured(1).toInt();
            c.bytes = d.startsWith(QLatin1Char('n')) ? 2 * n : n;
        }
        return c;
    }
    if (d.contains(QLatin1String("int")) || d == QLatin1String("bit")) {
        c.kind = ColType::Integer;
        return c;
    }
    for (const char* n : {"decimal", "numeric", "money", "float", "real", "double"}) {
        if (d.contains(QLatin1String(n))) {
            c.kind = ColType::Decimal;
            return c;
        }
    }
    return c;
}

// A number literal as the server writes it when it converts it to text (0, -1, 1.50).
QString numberAsText(QStringView sign, QStringView num)
{
    const qsizetype dot = num.indexOf(QLatin1Char('.'));
    QStringView whole = dot < 0 ? num : num.left(dot);
    while (whole.size() > 1 && whole.front() == QLatin1Char('0')) whole = whole.mid(1);
    QString out = whole.isEmpty() ? QStringLiteral("0") : whole.toString();
    if (dot >= 0 && dot + 1 < num.size()) out += num.mid(dot).toString();
    bool zero = true;
    for (QChar ch : std::as_const(out)) zero = zero && (ch == QLatin1Char('0') || ch == QLatin1Char('.'));
    if (sign == QLatin1String("-") && !zero) out.prepend(QLatin1Char('-'));
    return out;
}

const QLatin1String kSysobjects(
    "(select name COLLATE NOCASE AS name,"
    "(case type when 'table' then 'U' when 'view' then 'V' when 'trigger' then 'TR' end) "
    "COLLATE NOCASE AS type,"
    "(case type when 'table' then 'U' when 'view' then 'V' when 'trigger' then 'TR' end) "
    "COLLATE NOCASE AS xtype "
    "from sqlite_master where type in ('table','view','trigger'))");

struct Tok {
    K k;
    Kw kw = None;
    int pos;
    int len;
    int match = -1;     // the other parenthesis of a pair
    bool replaced = false;
    QString repl;       // used when replaced
    QString pre, post;  // text added before / after the token
};

[[noreturn]] void refuse(const QString& what)
{
    throw DbError(QStringLiteral("语句无法在嵌入式数据库上按 SQL Server 的含义执行：") + what);
}

// A string literal's text (quotes removed, doubled quotes single).
QString literalText(QStringView token)
{
    QStringView t = token;
    if (t.startsWith(QLatin1Char('N')) || t.startsWith(QLatin1Char('n'))) t = t.mid(1);
    if (t.size() >= 2) t = t.mid(1, t.size() - 2);
    return t.toString().replace(QLatin1String("''"), QLatin1String("'"));
}

class Translator {
public:
    Translator(const QString& s, const QStringList& textParams, TsqlTranslator::Schema* schema)
        : m_s(s), m_textParams(textParams), m_schema(schema) {}

    QString run()
    {
        tokenize();
        matchParens();
        processLevel(0, int(m_t.size()));
        return render();
    }
    // Whether the translation asked for a column's type (and so depends on the schema).
    bool typed() const { return m_typed; }

private:
    QStringView text(int i) const { return QStringView(m_s).mid(m_t[size_t(i)].pos, m_t[size_t(i)].len); }
    Tok& tok(int i) { return m_t[size_t(i)]; }
    bool isOp(int i, char c) const
    {
        const Tok& t = m_t[size_t(i)];
        return t.k == K::Op && t.len == 1 && m_s[t.pos] == QLatin1Char(c);
    }
    bool isKw(int i, Kw kw) const { return m_t[size_t(i)].k == K::Ident && m_t[size_t(i)].kw == kw; }
    bool isName(int i) const
    {
        const Tok& t = m_t[size_t(i)];
        return (t.k == K::Ident && t.kw == None) || t.k == K::QId;
    }
    bool isGroup(int i) const { return m_t[size_t(i)].k == K::LP && m_t[size_t(i)].match > i; }
    bool isTextParam(int i) const
    {
        return m_textParams.contains(text(i).mid(1).toString(), Qt::CaseInsensitive);
    }
    // The last token of an element (a group ends at its closing parenthesis).
    int lastTok(int i) const { return isGroup(i) ? m_t[size_t(i)].match : i; }

    void add(K k, int pos, int len)
    {
        Tok t{k, None, pos, len, -1, false, {}, {}, {}};
        if (k == K::Ident) t.kw = keywordOf(QStringView(m_s).mid(pos, len));
        m_t.push_back(std::move(t));
    }

    static bool identStart(QChar c) { return c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('@') || c == QLatin1Char('#'); }
    static bool identPart(QChar c)
    {
        return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('@') ||
               c == QLatin1Char('#') || c == QLatin1Char('$');
    }

    void tokenize()
    {
        const QString& s = m_s;
        const int n = int(s.size());
        m_t.reserve(size_t(n / 3 + 8));
        int i = 0;
        while (i < n) {
            const QChar c = s[i];
            const int start = i;
            if (c.isSpace()) {
                while (i < n && s[i].isSpace()) ++i;
                add(K::Space, start, i - start);
            } else if (c == QLatin1Char('-') && i + 1 < n && s[i + 1] == QLatin1Char('-')) {
                while (i < n && s[i] != QLatin1Char('\n')) ++i;
                add(K::Comment, start, i - start);
            } else if (c == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('*')) {
                i += 2;
                while (i + 1 < n && !(s[i] == QLatin1Char('*') && s[i + 1] == QLatin1Char('/'))) ++i;
                i = qMin(n, i + 2);
                add(K::Comment, start, i - start);
            } else if (c == QLatin1Char('\'') ||
                       ((c == QLatin1Char('N') || c == QLatin1Char('n')) && i + 1 < n &&
                        s[i + 1] == QLatin1Char('\'') && (i == 0 || !identPart(s[i - 1])))) {
                const bool national = c != QLatin1Char('\'');
                i += national ? 2 : 1;
                while (i < n) {
                    if (s[i] == QLatin1Char('\'')) {
                        if (i + 1 < n && s[i + 1] == QLatin1Char('\'')) { i += 2; continue; }
                        ++i;
                        break;
                    }
                    ++i;
                }
                // 'a'N'b' is two literals on SQL Server (an error there); joined they would be the
                // one literal a'b.
                if (!m_t.empty() && m_t.back().k == K::Str && m_t.back().pos + m_t.back().len == start)
                    refuse(QStringLiteral("两个字符串常量之间没有分隔：") + s.mid(m_t.back().pos, i - m_t.back().pos));
                add(K::Str, start, i - start);
                if (national) {
                    m_t.back().replaced = true;
                    m_t.back().repl = s.mid(start + 1, i - start - 1);
                }
            } else if (c == QLatin1Char('"') || c == QLatin1Char('[')) {
                const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
                ++i;
                while (i < n) {
                    if (s[i] == close) {
                        if (close == QLatin1Char('"') && i + 1 < n && s[i + 1] == close) { i += 2; continue; }
                        ++i;
                        break;
                    }
                    ++i;
                }
                add(K::QId, start, i - start);
            } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s[i + 1].isDigit())) {
                while (i < n && (s[i].isDigit() || s[i] == QLatin1Char('.'))) ++i;
                if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
                    int j = i + 1;
                    if (j < n && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-'))) ++j;
                    if (j < n && s[j].isDigit()) {
                        i = j;
                        while (i < n && s[i].isDigit()) ++i;
                    }
                }
                add(K::Num, start, i - start);
            } else if (identStart(c)) {
                while (i < n && identPart(s[i])) ++i;
                add(K::Ident, start, i - start);
            } else if (c == QLatin1Char(':') && i + 1 < n &&
                       (s[i + 1].isLetter() || s[i + 1] == QLatin1Char('_')) &&
                       (i == 0 || s[i - 1] != QLatin1Char(':'))) {
                ++i;
                while (i < n && (s[i].isLetterOrNumber() || s[i] == QLatin1Char('_'))) ++i;
                add(K::Param, start, i - start);
            } else if (c == QLatin1Char('(')) {
                add(K::LP, i++, 1);
            } else if (c == QLatin1Char(')')) {
                add(K::RP, i++, 1);
            } else if (c == QLatin1Char(',')) {
                add(K::Comma, i++, 1);
            } else if (c == QLatin1Char(';')) {
                add(K::Semi, i++, 1);
            } else if (c == QLatin1Char('.')) {
                add(K::Dot, i++, 1);
            } else {
                // Two-character operators stay one token, so that `<=` is never taken for `=`.
                if (i + 1 < n) {
                    const QChar d = s[i + 1];
                    if ((c == QLatin1Char('<') && (d == QLatin1Char('>') || d == QLatin1Char('='))) ||
                        (c == QLatin1Char('>') && d == QLatin1Char('=')) ||
                        (c == QLatin1Char('!') && (d == QLatin1Char('=') || d == QLatin1Char('<') || d == QLatin1Char('>'))) ||
                        (c == QLatin1Char('|') && d == QLatin1Char('|'))) {
                        add(K::Op, i, 2);
                        i += 2;
                        continue;
                    }
                }
                add(K::Op, i++, 1);
            }
        }
    }

    void matchParens()
    {
        std::vector<int> stack;
        for (int i = 0; i < int(m_t.size()); ++i) {
            if (m_t[size_t(i)].k == K::LP) {
                // Each level is translated by a call of its own.
                if (int(stack.size()) >= TsqlTranslator::MaxNesting)
                    refuse(QStringLiteral("括号嵌套超过 %1 层").arg(TsqlTranslator::MaxNesting));
                stack.push_back(i);
            } else if (m_t[size_t(i)].k == K::RP && !stack.empty()) {
                const int o = stack.back();
                stack.pop_back();
                m_t[size_t(o)].match = i;
                m_t[size_t(i)].match = o;
            }
        }
    }

    // The meaningful elements of a token range: a parenthesised group counts as one element,
    // named by its opening parenthesis.
    std::vector<int> elements(int b, int e) const
    {
        std::vector<int> out;
        for (int i = b; i < e; ++i) {
            const Tok& t = m_t[size_t(i)];
            if (t.k == K::Space || t.k == K::Comment) continue;
            out.push_back(i);
            if (t.k == K::LP && t.match > i) i = t.match;
        }
        return out;
    }

    // Splits elements at commas.
    static std::vector<std::vector<int>> splitCommas(const std::vector<int>& els, const Translator& tr)
    {
        std::vector<std::vector<int>> items(1);
        for (int e : els) {
            if (tr.m_t[size_t(e)].k == K::Comma) items.emplace_back();
            else items.back().push_back(e);
        }
        return items;
    }

    // Processes the tokens of one parenthesis level; returns whether the level is one string
    // expression (so that a `+` next to the group concatenates).
    bool processLevel(int b, int e)
    {
        const std::vector<int> els = elements(b, e);
        std::vector<char> str(els.size(), 0); // element is a string operand
        std::vector<char> callName(els.size(), 0);

        for (size_t j = 0; j < els.size(); ++j) {
            const int i = els[j];
            if (isGroup(i)) str[j] = processLevel(i + 1, m_t[size_t(i)].match) ? 1 : 0;
        }
        for (size_t j = 0; j < els.size(); ++j) {
            const int i = els[j];
            const Tok& t = m_t[size_t(i)];
            if (t.k == K::Str) str[j] = 1;
            if (t.k == K::Param && isTextParam(i)) str[j] = 1;
            if (t.k == K::Ident && !t.replaced && eqCi(text(i), "sysobjects")) rewriteSysobjects(els, j);
            if (j + 1 < els.size() && isGroup(els[j + 1]) && t.k == K::Ident && t.kw == None) {
                callName[j] = 1;
                str[j] = rewriteCall(els, j) ? 1 : 0;
            }
        }
        rewriteSelectLists(els);
        rewriteDelete(els);
        rewriteCreateTable(els);
        return rewriteChains(els, str, callName);
    }

    // A function call name(args), the elements j and j+1 of a level; returns whether its result
    // is text.
    bool rewriteCall(const std::vector<int>& levelEls, size_t j)
    {
        const int name = levelEls[j];
        const int group = levelEls[j + 1];
        const QStringView w = text(name);
        const int close = m_t[size_t(group)].match;
        if (eqCi(w, "isnull")) return rewriteIsNull(levelEls, j);
        if (eqCi(w, "substring")) {
            tok(name).replaced = true;
            tok(name).repl = QStringLiteral("substr");
            return true;
        }
        if (isTextFunction(w)) return true;
        if (eqCi(w, "coalesce")) {
            for (const auto& a : splitCommas(elements(group + 1, close), *this))
                if (a.size() == 1 && m_t[size_t(a[0])].k == K::Str) return true;
            return false;
        }
        if (eqCi(w, "cast")) {
            const auto els = elements(group + 1, close);
            for (size_t k = 0; k + 1 < els.size(); ++k) {
                if (!isKw(els[k], As) || m_t[size_t(els[k + 1])].k != K::Ident) continue;
                const QStringView type = text(els[k + 1]);
                // The length or precision and scale after the type, as given.
                QStringList sizes;
                if (k + 2 < els.size() && isGroup(els[k + 2]))
                    for (const auto& a : splitCommas(elements(els[k + 2] + 1, m_t[size_t(els[k + 2])].match), *this))
                        sizes << (a.size() == 1 ? text(a[0]).toString() : QString());
                if (isTextType(type)) {
                    castToText(name, close, type, sizes, std::vector<int>(els.begin(), els.begin() + std::ptrdiff_t(k)));
                    return true;
                }
                if (eqCi(type, "decimal") || eqCi(type, "numeric") || eqCi(type, "money") ||
                    eqCi(type, "smallmoney"))
                    castToDecimal(name, close, type, sizes);
                return false;
            }
        }
        return false;
    }

    static bool isSignedNumber(const std::vector<int>& a, const Translator& tr)
    {
        return (a.size() == 1 && tr.m_t[size_t(a[0])].k == K::Num) ||
               (a.size() == 2 && (tr.isOp(a[0], '-') || tr.isOp(a[0], '+')) && tr.m_t[size_t(a[1])].k == K::Num);
    }
    bool isComparisonOrArithmetic(int i) const
    {
        const Tok& t = m_t[size_t(i)];
        if (t.k != K::Op) return false;
        static const char* const ops[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>", "+", "-", "*", "/", "%"};
        for (const char* o : ops)
            if (eqCi(text(i), o)) return true;
        return false;
    }
    // Whether the value of the element j of a level is compared with, or computed with,
    // something other than a string literal (the server converts a text to a number there).
    bool numericContext(const std::vector<int>& els, size_t j, size_t last) const
    {
        if (j >= 1 && isComparisonOrArithmetic(els[j - 1]) && !(j >= 2 && m_t[size_t(els[j - 2])].k == K::Str))
            return true;
        // case <value> when <number>: the value is compared with the number.
        if (j >= 1 && isKw(els[j - 1], Case) && last + 2 < els.size() && isKw(els[last + 1], When) &&
            m_t[size_t(els[last + 2])].k != K::Str)
            return true;
        if (last + 1 < els.size()) {
            const int nx = els[last + 1];
            if (isComparisonOrArithmetic(nx) && !(last + 2 < els.size() && m_t[size_t(els[last + 2])].k == K::Str))
                return true;
            if (isKw(nx, Between) || isKw(nx, In) || (isKw(nx, Not) && last + 2 < els.size() &&
                                                      (isKw(els[last + 2], Between) || isKw(els[last + 2], In))))
                return true;
        }
        return false;
    }

    // IsNull(a,b): the result has a's type. Without a's type, b decides: IsNull(a,'') stays text
    // and case-insensitive, IsNull(a,<number>) compares as a number.
    bool rewriteIsNull(const std::vector<int>& levelEls, size_t j)
    {
        const int name = levelEls[j];
        const int close = m_t[size_t(levelEls[j + 1])].match;
        const auto args = splitCommas(elements(levelEls[j + 1] + 1, close), *this);
        Tok& n = tok(name);
        n.replaced = true;
        n.repl = QStringLiteral("coalesce");
        if (args.size() != 2) return false;
        const std::vector<int>& a2 = args[1];
        const bool literal = a2.size() == 1 && m_t[size_t(a2[0])].k == K::Str;
        const bool number = isSignedNumber(a2, *this);
        if (!literal && !number) return false;
        const ColType first = columnOf(args[0]);
        const QString call = source(name, close);
        if (literal && (first.kind == ColType::Integer || first.kind == ColType::Decimal)) {
            // The string converts to the column's type: '' is 0, anything else must be a number.
            const QString lit = literalText(text(a2[0]));
            static const QRegularExpression integer(QStringLiteral("^\\s*[+-]?\\d*\\s*$"));
            static const QRegularExpression decimal(QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+))?\\s*$"));
            if (!(first.kind == ColType::Integer ? integer : decimal).match(lit).hasMatch() ||
                lit.trimmed() == QLatin1String("+") || lit.trimmed() == QLatin1String("-"))
                refuse(QStringLiteral("字符串 '%1' 不能转换为数值：").arg(lit) + call);
            tok(a2[0]).replaced = true;
            tok(a2[0]).repl = lit.trimmed().isEmpty() ? QStringLiteral("0") : lit.trimmed();
            n.pre += QLatin1String("CAST(");
            tok(close).post += QLatin1String(" AS NUMERIC)");
            return false;
        }
        if (literal) {
            n.pre += QLatin1Char('(');
            tok(close).post += QLatin1String(" COLLATE NOCASE)");
            return true;
        }
        const QStringView num = text(a2.back());
        if (first.kind == ColType::Text && !numericContext(levelEls, j, j + 1)) {
            // The number becomes text of the column's type: IsNull(OrgCode,0) is '0101'.
            if (num.contains(QLatin1Char('e')) || num.contains(QLatin1Char('E')))
                refuse(QStringLiteral("浮点数转换为文本：") + call);
            const QString value = numberAsText(a2.size() == 2 ? text(a2[0]) : QStringView(), num);
            if (first.bytes >= 0 && value.size() > first.bytes)
                refuse(QStringLiteral("数值 %1 超出文本列的宽度 %2：").arg(value).arg(first.bytes) + call);
            tok(a2[0]).replaced = true;
            tok(a2[0]).repl = QuotedStr(value);
            if (a2.size() == 2) {
                tok(a2[1]).replaced = true;
                tok(a2[1]).repl.clear();
            }
            n.pre += QLatin1Char('(');
            tok(close).post += QLatin1String(" COLLATE NOCASE)");
            return true;
        }
        // An integer column keeps integers: the server truncates IsNull(n,2.75) to 2.
        const bool integral = !num.contains(QLatin1Char('.')) && !num.contains(QLatin1Char('e')) && !num.contains(QLatin1Char('E'));
        n.pre += QLatin1String("CAST(");
        tok(close).post += first.kind == ColType::Integer && !integral ? QLatin1String(" AS INTEGER)")
                                                                       : QLatin1String(" AS NUMERIC)");
        return false;
    }

    // cast(x as varchar(n)): SQLite keeps the whole text; SQL Server cuts it to n (30 without a
    // length), and char(n) pads it with blanks to n. varchar and char count GBK bytes on the
    // server's Chinese collation, nvarchar and nchar characters.
    void castToText(int name, int close, QStringView type, const QStringList& sizes, const std::vector<int>& operand)
    {
        if (eqCi(type, "text") || eqCi(type, "ntext")) return; // no length
        if (!sizes.isEmpty() && sizes[0].compare(QLatin1String("max"), Qt::CaseInsensitive) == 0) return;
        bool ok = true;
        const int n = sizes.isEmpty() ? 30 : sizes[0].toInt(&ok);
        if (!ok || n < 1 || n > 8000) refuse(QStringLiteral("长度无效的类型转换 ") + type.toString());
        const bool fixed = eqCi(type, "char") || eqCi(type, "nchar");
        const bool national = eqCi(type, "nchar") || eqCi(type, "nvarchar");
        const auto blanks = [](int count) { return QLatin1String(" || '") + QString(count, QLatin1Char(' ')) + QLatin1Char('\''); };
        // Characters and bytes are the same count for numbers.
        bool ascii = national || isSignedNumber(operand, *this) || (operand.size() == 1 && isKw(operand[0], Null)) ||
                     (operand.size() == 2 && isGroup(operand[1]) && isNumericFunction(text(operand[0])));
        if (!ascii && operand.size() == 1 && m_t[size_t(operand[0])].k == K::Str) {
            // A literal is cut here, where its bytes are known.
            const QString lit = literalText(text(operand[0]));
            const QString cut = Gbk::leftBytes(lit, n);
            const int bytes = Gbk::byteLength(cut);
            tok(name).pre += QLatin1String("substr(");
            tok(close).post += QStringLiteral(",1,%1)").arg(QStringView(cut).toUcs4().size());
            if (fixed && bytes < n) tok(close).post += blanks(n - bytes);
            return;
        }
        if (!ascii) {
            const bool column = operand.size() == 1 || (operand.size() == 3 && m_t[size_t(operand[1])].k == K::Dot);
            if (!column)
                refuse(QStringLiteral("按字节截取的类型转换（中文字符占 2 字节）只用于列和常量：") + source(name, close));
            const ColType c = columnOf(operand);
            ascii = c.kind == ColType::Integer || c.kind == ColType::Decimal ||
                    (c.kind == ColType::Text && !fixed && c.bytes >= 0 && c.bytes <= n); // nothing to cut
            if (!ascii) {
                castColumnToBytes(name, close, render(operand.front(), lastTok(operand.back())), n, fixed);
                return;
            }
        }
        QString after;
        if (fixed) after = blanks(n);
        after += QStringLiteral(",1,%1)").arg(n);
        tok(name).pre += QLatin1String("substr(");
        tok(close).post += after;
    }
    // The longest prefix of a column's value that fits in n GBK bytes (ASCII 1, any other
    // character 2), counted character by character; char(n) pads it to n bytes.
    void castColumnToBytes(int name, int close, const QString& x, int n, bool fixed)
    {
        const QString width = QStringLiteral("(1+(unicode(substr(%1,k+1,1))>127))").arg(x);
        QString value = QStringLiteral("substr(%1,1,max(k))").arg(x);
        if (fixed) value += QStringLiteral(" || substr('%1',1,%2-max(b))").arg(QString(n, QLatin1Char(' '))).arg(n);
        tok(name).pre += QStringLiteral("(WITH RECURSIVE qor_gbk_cut(k,b) AS (SELECT 0,0 UNION ALL "
                                        "SELECT k+1,b+%1 FROM qor_gbk_cut WHERE k<length(%2) AND b+%1<=%3) "
                                        "SELECT %4 FROM qor_gbk_cut)")
                             .arg(width, x)
                             .arg(n)
                             .arg(value);
        for (int i = name; i <= close; ++i) {
            tok(i).replaced = true;
            tok(i).repl.clear();
            if (i != name) tok(i).pre.clear();
            tok(i).post.clear();
        }
    }
    // cast(x as decimal(p,s)): SQLite keeps 7 an integer (7/2 is 3) and 12.345 unrounded; SQL
    // Server gives a decimal of s places (3.5, 12.35). decimal without a scale has none.
    void castToDecimal(int name, int close, QStringView type, const QStringList& sizes)
    {
        int scale = 0;
        if (eqCi(type, "money") || eqCi(type, "smallmoney")) scale = 4;
        else if (sizes.size() >= 2) {
            bool ok = false;
            scale = sizes[1].toInt(&ok);
            if (!ok || scale < 0 || scale > 38) refuse(QStringLiteral("小数位数无效的类型转换 ") + type.toString());
        }
        if (scale == 0) {
            tok(name).pre += QLatin1String("CAST(round(");
            tok(close).post += QLatin1String(") AS INTEGER)");
        } else {
            tok(name).pre += QLatin1String("round(");
            tok(close).post += QStringLiteral(",%1)").arg(scale);
        }
    }

    void rewriteSysobjects(const std::vector<int>& els, size_t j)
    {
        // A qualified column such as sysobjects.name keeps its qualifier.
        if (j + 1 < els.size() && m_t[size_t(els[j + 1])].k == K::Dot) return;
        if (j > 0 && m_t[size_t(els[j - 1])].k == K::Dot) return;
        Tok& t = tok(els[j]);
        t.replaced = true;
        bool aliased = false;
        if (j + 1 < els.size()) {
            const int nx = els[j + 1];
            aliased = isKw(nx, As) || isName(nx);
        }
        t.repl = kSysobjects;
        if (!aliased) t.repl += QLatin1String(" sysobjects");
    }

    void rewriteSelectLists(const std::vector<int>& els)
    {
        for (size_t j = 0; j < els.size(); ++j) {
            if (!isKw(els[j], Select)) continue;
            size_t k = j + 1;
            std::vector<std::vector<int>> items(1);
            for (; k < els.size(); ++k) {
                const int i = els[k];
                const Tok& t = m_t[size_t(i)];
                if (t.k == K::Semi) break;
                if (t.k == K::Ident &&
                    (t.kw == From || t.kw == Into || t.kw == Where || t.kw == Group || t.kw == Order ||
                     t.kw == Having || t.kw == Union || t.kw == Except || t.kw == Intersect || t.kw == Limit))
                    break;
                if (t.k == K::Comma) items.emplace_back();
                else items.back().push_back(i);
            }
            for (size_t n = 0; n < items.size(); ++n) {
                std::vector<int>& it = items[n];
                size_t f = 0;
                if (n == 0) {
                    while (f < it.size() && (isKw(it[f], Distinct) || isKw(it[f], All))) ++f;
                    if (f < it.size() && isKw(it[f], Top)) {
                        f += 2;
                        if (f < it.size() && isKw(it[f], Percent)) ++f;
                    }
                }
                if (it.size() < f + 3) continue;
                const int name = it[f];
                if (!isName(name) || m_s[m_t[size_t(name)].pos] == QLatin1Char('@')) continue;
                if (!isOp(it[f + 1], '=')) continue;
                const QString alias = text(name).toString();
                tok(name).replaced = true;
                tok(name).repl.clear();
                tok(it[f + 1]).replaced = true;
                tok(it[f + 1]).repl.clear();
                // Blanks between the alias and the expression go with them.
                for (int s = name + 1; s < it[f + 2]; ++s) {
                    if (m_t[size_t(s)].k == K::Space) {
                        tok(s).replaced = true;
                        tok(s).repl.clear();
                    }
                }
                tok(lastTok(it.back())).post += QLatin1String(" AS ") + alias;
            }
            j = k - 1;
        }
    }

    void rewriteDelete(const std::vector<int>& els)
    {
        for (size_t j = 0; j + 1 < els.size(); ++j) {
            if (!isKw(els[j], Delete) || !isName(els[j + 1])) continue;
            // `delete T from ...` names its table later; that form is left alone.
            size_t k = j + 2;
            while (k + 1 < els.size() && m_t[size_t(els[k])].k == K::Dot) k += 2;
            if (k < els.size() && isKw(els[k], From)) continue;
            tok(els[j]).post += QLatin1String(" from");
        }
    }

    void rewriteCreateTable(const std::vector<int>& els)
    {
        for (size_t j = 0; j + 2 < els.size(); ++j) {
            if (!isKw(els[j], Create) || !isKw(els[j + 1], Table)) continue;
            size_t k = j + 2;
            while (k < els.size() && !isGroup(els[k])) ++k;
            if (k >= els.size()) return;
            const int g = els[k];
            for (const auto& col : splitCommas(elements(g + 1, m_t[size_t(g)].match), *this)) {
                if (col.size() < 2 || !isName(col[0])) continue;
                if (m_t[size_t(col[1])].k != K::Ident || !isTextType(text(col[1]))) continue;
                bool hasCollate = false;
                for (int c : col) hasCollate = hasCollate || isKw(c, Collate);
                if (hasCollate) continue;
                int after = col[1];
                if (col.size() > 2 && isGroup(col[2])) after = m_t[size_t(col[2])].match;
                tok(after).post += QLatin1String(" COLLATE NOCASE");
            }
            return;
        }
    }

    // Additive chains: a run of operands joined by binary `+` (and other arithmetic) between
    // delimiters. A chain with a string operand concatenates: all its `+` become `||`.
    bool rewriteChains(const std::vector<int>& els, const std::vector<char>& str,
                       const std::vector<char>& callName)
    {
        std::vector<int> plus;
        bool chainStr = false;
        // What SQL Server does with a chain depends on its operands' types: numbers make it an
        // addition, the strings in it then convert to numbers.
        int chainFirst = -1, chainLast = -1;
        bool chainNum = false, chainDecimal = false, chainOtherArith = false, chainTextExpr = false;
        QStringList chainLiterals;
        std::vector<size_t> chainColumns; // elements that name a column
        int chainOperands = 0;
        bool prevOperand = false;
        bool afterDot = false;
        bool delimiter = false;
        int chains = 0;
        bool lastChainStr = false;
        auto chainText = [&] {
            return chainFirst < 0 ? QString()
                                  : m_s.mid(m_t[size_t(chainFirst)].pos,
                                            m_t[size_t(chainLast)].pos + m_t[size_t(chainLast)].len -
                                                m_t[size_t(chainFirst)].pos);
        };
        auto flush = [&] {
            // Columns decide by their types: a number column makes the chain an addition, and
            // text columns alone concatenate.
            if (!plus.empty() && !chainColumns.empty() && (chainStr || !chainNum)) {
                int textColumns = 0;
                for (size_t c : chainColumns) {
                    const ColType type = columnAt(els, c);
                    if (type.kind == ColType::Integer) chainNum = true;
                    if (type.kind == ColType::Decimal) chainNum = chainDecimal = true;
                    if (type.kind == ColType::Text) ++textColumns;
                }
                if (!chainStr && !chainNum && !chainOtherArith && textColumns == chainOperands) chainStr = true;
            }
            if (chainStr && !plus.empty() && chainNum) {
                // An addition: each string must be a number of the chain's type.
                // A blank string is 0 on the server.
                static const QRegularExpression integer(QStringLiteral("^\\s*([+-]?\\d+)?\\s*$"));
                static const QRegularExpression decimal(
                    QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?)?\\s*$"));
                if (chainTextExpr)
                    refuse(QStringLiteral("文本与数值相加：") + chainText());
                for (const QString& lit : std::as_const(chainLiterals))
                    if (!(chainDecimal ? decimal : integer).match(lit).hasMatch())
                        refuse(QStringLiteral("字符串 '%1' 不能转换为数值：").arg(lit) + chainText());
                chainStr = false; // numeric: the + stay
            }
            if (chainStr && !plus.empty() && chainOtherArith)
                refuse(QStringLiteral("字符串连接中有 -、*、/ 或 %：") + chainText());
            if (chainStr && !plus.empty())
                for (int p : plus) {
                    tok(p).replaced = true;
                    tok(p).repl = QStringLiteral("||");
                }
            if (chainStr || !plus.empty() || prevOperand) {
                ++chains;
                lastChainStr = chainStr;
            }
            plus.clear();
            chainStr = false;
            chainFirst = chainLast = -1;
            chainNum = chainDecimal = chainOtherArith = chainTextExpr = false;
            chainLiterals.clear();
            chainColumns.clear();
            chainOperands = 0;
        };
        for (size_t j = 0; j < els.size(); ++j) {
            const int i = els[j];
            const Tok& t = m_t[size_t(i)];
            bool operand = false;
            switch (t.k) {
            case K::Str:
            case K::Num:
            case K::Param:
            case K::QId:
                operand = true;
                break;
            case K::Ident:
                operand = t.kw == None || t.kw == Null;
                break;
            case K::LP:
                operand = isGroup(i);
                break;
            default:
                break;
            }
            if (operand) {
                if (prevOperand && !afterDot) {
                    // Two operands in a row: an alias without AS ends the chain.
                    flush();
                    delimiter = true;
                }
                if (str[j]) chainStr = true;
                if (chainFirst < 0) chainFirst = i;
                chainLast = lastTok(i);
                if (t.k == K::Num) {
                    chainNum = true;
                    const QStringView num = text(i);
                    if (num.contains(QLatin1Char('.')) || num.contains(QLatin1Char('e')) || num.contains(QLatin1Char('E')))
                        chainDecimal = true;
                }
                if (t.k == K::Str) chainLiterals << literalText(text(i));
                else if (str[j]) chainTextExpr = true;
                afterDot = false;
                const bool qualifier = j + 1 < els.size() && m_t[size_t(els[j + 1])].k == K::Dot;
                if (!qualifier) ++chainOperands;
                const bool call = j < callName.size() && callName[j];
                if (call && !str[j] && isNumericFunction(text(i))) chainNum = true;
                if (!call && !qualifier && isName(i)) chainColumns.push_back(j);
                if (call) {
                    ++j; // the argument group belongs to the call
                    chainLast = lastTok(els[j]);
                    prevOperand = true;
                    continue;
                }
                prevOperand = true;
                continue;
            }
            if (t.k == K::Dot) {
                afterDot = true;
                continue;
            }
            afterDot = false;
            if (isOp(i, '+')) {
                if (prevOperand) plus.push_back(i);
                prevOperand = false;
                continue;
            }
            if (isOp(i, '-') || isOp(i, '*') || isOp(i, '/') || isOp(i, '%')) {
                // A sign before the first operand is no operator of the chain.
                if (prevOperand) chainOtherArith = true;
                prevOperand = false;
                continue;
            }
            if (t.k == K::Ident && t.kw == End) {
                flush();
                delimiter = true;
                prevOperand = true; // `case ... end + 'x'` continues with the case as operand
                continue;
            }
            flush();
            delimiter = true;
            prevOperand = false;
        }
        flush();
        return !delimiter && chains == 1 && lastChainStr;
    }

    QString render() const { return render(0, int(m_t.size()) - 1); }
    // The translated text of the tokens first..last.
    QString render(int first, int last) const
    {
        QString out;
        out.reserve(m_s.size() + 64);
        for (int i = first; i <= last; ++i) {
            const Tok& t = m_t[size_t(i)];
            if (!t.pre.isEmpty()) out += t.pre;
            if (t.replaced) out += t.repl;
            else if (t.k == K::QId && m_s[t.pos] == QLatin1Char('"')) out += backquoted(t);
            else out += QStringView(m_s).mid(t.pos, t.len);
            if (!t.post.isEmpty()) out += t.post;
        }
        return out;
    }

    // The statement's own text of the tokens first..last (for messages).
    QString source(int first, int last) const
    {
        const Tok& a = m_t[size_t(first)];
        const Tok& b = m_t[size_t(last)];
        return m_s.mid(a.pos, b.pos + b.len - a.pos);
    }

    // --- column types ---------------------------------------------------------------------

    // A name without its quotes ([x], "x").
    QString nameText(int i) const
    {
        const QStringView w = text(i);
        if (m_t[size_t(i)].k == K::QId && w.size() >= 2) return w.mid(1, w.size() - 2).toString();
        return w.toString();
    }

    // The tables of the statement and their aliases, from FROM lists, JOIN, UPDATE, INTO and
    // DELETE, at any depth. A derived table makes its alias (and unqualified names) unknown.
    void collectSources()
    {
        if (m_sourcesDone) return;
        m_sourcesDone = true;
        std::vector<int> flat;
        std::vector<int> at(m_t.size(), -1);
        for (int i = 0; i < int(m_t.size()); ++i) {
            if (m_t[size_t(i)].k == K::Space || m_t[size_t(i)].k == K::Comment) continue;
            at[size_t(i)] = int(flat.size());
            flat.push_back(i);
        }
        auto note = [this](const QString& key, const QString& table) {
            auto it = m_sources.find(key);
            if (it == m_sources.end()) m_sources.insert(key, table);
            else if (it.value().compare(table, Qt::CaseInsensitive) != 0) it.value().clear(); // ambiguous
        };
        const size_t n = flat.size();
        for (size_t p = 0; p < n; ++p) {
            const int k = flat[p];
            const bool list = isKw(k, From);
            if (!list && !isKw(k, Join) && !isKw(k, Update) && !isKw(k, Into) && !isKw(k, Delete)) continue;
            size_t q = p + 1;
            while (q < n) {
                const int a = flat[q];
                QString table;
                bool derived = false;
                if (m_t[size_t(a)].k == K::LP) {
                    if (m_t[size_t(a)].match < 0) break;
                    derived = true;
                    q = size_t(at[size_t(m_t[size_t(a)].match)]) + 1;
                } else if (isName(a)) {
                    table = nameText(a);
                    ++q;
                    while (q + 1 < n && m_t[size_t(flat[q])].k == K::Dot && isName(flat[q + 1])) {
                        table = nameText(flat[q + 1]);
                        q += 2;
                    }
                } else {
                    break;
                }
                if (q < n && isKw(flat[q], As)) ++q;
                QString alias;
                if (q < n && isName(flat[q]) && !(q + 1 < n && m_t[size_t(flat[q + 1])].k == K::LP)) {
                    alias = nameText(flat[q]);
                    ++q;
                }
                if (derived) {
                    m_derived = true;
                    if (!alias.isEmpty()) note(alias.toLower(), QString());
                } else {
                    m_tables << table;
                    note(table.toLower(), table);
                    if (!alias.isEmpty()) note(alias.toLower(), table);
                }
                if (!list || q >= n || m_t[size_t(flat[q])].k != K::Comma) break;
                ++q;
            }
        }
    }

    const QHash<QString, QString>& columnsOf(const QString& table)
    {
        const QString key = table.toLower();
        auto it = m_columns.find(key);
        if (it == m_columns.end()) it = m_columns.insert(key, m_schema->columns(table));
        return it.value();
    }

    // The type of the column named by the element j of a level (a name, possibly qualified).
    ColType columnAt(const std::vector<int>& els, size_t j)
    {
        const int i = els[j];
        if (!isName(i) || (j + 1 < els.size() && m_t[size_t(els[j + 1])].k == K::Dot)) return {};
        m_typed = true;
        if (!m_schema) return {};
        collectSources();
        const QString col = nameText(i).toLower();
        if (j >= 2 && m_t[size_t(els[j - 1])].k == K::Dot) {
            if (!isName(els[j - 2])) return {};
            const QString table = m_sources.value(nameText(els[j - 2]).toLower());
            if (table.isEmpty()) return {};
            return classify(columnsOf(table).value(col));
        }
        if (m_derived) return {}; // the name may be a column of the derived table
        ColType found;
        bool any = false;
        for (const QString& table : std::as_const(m_tables)) {
            const QHash<QString, QString>& cols = columnsOf(table);
            const auto it = cols.constFind(col);
            if (it == cols.constEnd()) continue;
            const ColType c = classify(it.value());
            if (!any) found = c;
            else if (c.kind != found.kind) return {};
            else if (c.bytes != found.bytes) found.bytes = -1;
            any = true;
        }
        return found;
    }
    // The column an expression consists of (a name or qualifier.name), or unknown.
    ColType columnOf(const std::vector<int>& expr)
    {
        if (expr.size() == 1 || (expr.size() == 3 && m_t[size_t(expr[1])].k == K::Dot))
            return columnAt(expr, expr.size() - 1);
        return {};
    }

    // "name" is an identifier on SQL Server; SQLite takes an unknown one for a string. `name`
    // is an identifier only.
    QString backquoted(const Tok& t) const
    {
        QString inner = m_s.mid(t.pos + 1, t.len - 2);
        inner.replace(QLatin1String("\"\""), QLatin1String("\""));
        inner.replace(QLatin1String("`"), QLatin1String("``"));
        return QLatin1Char('`') + inner + QLatin1Char('`');
    }

    const QString& m_s;
    QStringList m_textParams;
    std::vector<Tok> m_t;
    TsqlTranslator::Schema* m_schema;
    bool m_typed = false;
    bool m_sourcesDone = false;
    bool m_derived = false;
    QStringList m_tables;
    QHash<QString, QString> m_sources;                 // lower-case table or alias -> table, "" unknown
    QHash<QString, QHash<QString, QString>> m_columns; // lower-case table -> its columns
};

QMutex g_cacheLock;
// Translations by statement key; for a statement whose translation depends on column types
// the key carries the schema's version too.
QHash<QString, QString>& cache()
{
    static QHash<QString, QString> c;
    return c;
}
// Statement keys whose translation depends on column types.
QSet<QString>& typedKeys()
{
    static QSet<QString> k;
    return k;
}
constexpr int kCacheLimit = 4096;

} // namespace

namespace TsqlTranslator {

QString translate(const QString& tsql, const QStringList& textParams, Schema* schema)
{
    return Translator(tsql, textParams, schema).run();
}

QString toSqlite(const QString& tsql, const QStringList& textParams, Schema* schema)
{
    // The same text translates differently when other parameters hold text.
    QStringList names;
    for (const QString& n : textParams) names << n.toLower();
    names.sort();
    // Every piece is prefixed with its length: a statement may hold any character, so no
    // separator alone could keep two different statements from sharing a key.
    const auto piece = [](QString& k, const QString& s) {
        k += QString::number(s.size());
        k += QLatin1Char(':');
        k += s;
    };
    QString key = QStringLiteral("P");
    piece(key, tsql);
    for (const QString& n : std::as_const(names)) piece(key, n);
    // Only statements whose translation asked for a column's type read the schema's version.
    QString version;
    bool versioned = false;
    const auto typedKey = [&] {
        if (!versioned) version = schema ? schema->version() : QString();
        versioned = true;
        QString k = key;
        k[0] = QLatin1Char('T');
        piece(k, version);
        return k;
    };
    {
        QMutexLocker lock(&g_cacheLock);
        if (!typedKeys().contains(key)) {
            auto it = cache().constFind(key);
            if (it != cache().constEnd()) return it.value();
        } else {
            lock.unlock();
            const QString k = typedKey();
            lock.relock();
            auto it = cache().constFind(k);
            if (it != cache().constEnd()) return it.value();
        }
    }
    Translator tr(tsql, textParams, schema);
    QString out = tr.run();
    const QString storeKey = tr.typed() ? typedKey() : key;
    QMutexLocker lock(&g_cacheLock);
    // Statements with values embedded by the condition builder make many distinct texts;
    // the cache starts over rather than growing without bound.
    if (cache().size() >= kCacheLimit) {
        cache().clear();
        typedKeys().clear();
    }
    if (tr.typed()) typedKeys().insert(key);
    cache().insert(storeKey, out);
    return out;
}

int cacheSize()
{
    QMutexLocker lock(&g_cacheLock);
    return int(cache().size());
}

void clearCache()
{
    QMutexLocker lock(&g_cacheLock);
    cache().clear();
    typedKeys().clear();
}

} // namespace TsqlTranslator
