#include "platform/dataset/FilterExpr.h"

#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/Store.h"

#include <QByteArray>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace dsimpl {

// --- values ---------------------------------------------------------------------------------

struct Val {
    enum T : uint8_t { Null, Num, Str, Bool } t = Null;
    double n = 0;
    bool b = false;
    bool owned = false;
    std::string_view view;
    std::string own;
    std::string_view sv() const { return owned ? std::string_view(own) : view; }
    static Val num(double d) { Val v; v.t = Num; v.n = d; return v; }
    static Val boolean(bool x) { Val v; v.t = Bool; v.b = x; return v; }
    static Val str(std::string_view s) { Val v; v.t = Str; v.view = s; return v; }
    static Val ownStr(std::string s) { Val v; v.t = Str; v.owned = true; v.own = std::move(s); return v; }
};

struct Node {
    virtual ~Node() = default;
    virtual Val eval(const Store& st, int row) const = 0;
    virtual bool test(const Store& st, int row) const
    {
        const Val v = eval(st, row);
        if (v.t == Val::Bool) return v.b;
        if (v.t == Val::Num) return v.n != 0;
        return false;
    }
    virtual bool isBoolean() const { return false; }
    virtual const Val* literal() const { return nullptr; }
    virtual int stringColumn() const { return -1; } // a plain string field reference
};

using NodeP = std::unique_ptr<Node>;

namespace {

struct Literal : Node {
    Val v;
    explicit Literal(Val x) : v(std::move(x)) {}
    Val eval(const Store&, int) const override
    {
        Val r;
        r.t = v.t;
        r.n = v.n;
        r.b = v.b;
        r.view = v.sv();
        return r;
    }
    bool isBoolean() const override { return v.t == Val::Bool; }
    const Val* literal() const override { return &v; }
};

struct FieldRef : Node {
    int col;
    Kind kind;
    FieldRef(int c, Kind k) : col(c), kind(k) {}
    Val eval(const Store& st, int row) const override
    {
        const Column& c = st.cols[size_t(col)];
        if (c.isNull(size_t(row))) return Val();
        switch (kind) {
        case Kind::Str: return Val::str(c.str(size_t(row)));
        case Kind::Int: return Val::num(double(c.ints[size_t(row)]));
        case Kind::Dbl: return Val::num(c.dbls[size_t(row)]);
        case Kind::Bool: return Val::boolean(c.flags[size_t(row)] == 1);
        }
        return Val();
    }
    bool isBoolean() const override { return kind == Kind::Bool; }
    int stringColumn() const override { return kind == Kind::Str ? col : -1; }
};

struct Negate : Node {
    NodeP a;
    explicit Negate(NodeP x) : a(std::move(x)) {}
    Val eval(const Store& st, int row) const override
    {
        const Val v = eval1(st, row);
        return v;
    }
    Val eval1(const Store& st, int row) const
    {
        Val v = a->eval(st, row);
        if (v.t == Val::Null) return v;
        double d;
        if (v.t == Val::Num) return Val::num(-v.n);
        if (v.t == Val::Str && parseDouble(v.sv(), d)) return Val::num(-d);
        return Val();
    }
};

bool toNumber(const Val& v, double& d)
{
    switch (v.t) {
    case Val::Num: d = v.n; return true;
    case Val::Bool: d = v.b ? 1 : 0; return true;
    case Val::Str: return parseDouble(v.sv(), d);
    default: return false;
    }
}

struct Arith : Node {
    char op;
    NodeP a, b;
    Arith(char o, NodeP x, NodeP y) : op(o), a(std::move(x)), b(std::move(y)) {}
    Val eval(const Store& st, int row) const override
    {
        const Val x = a->eval(st, row);
        const Val y = b->eval(st, row);
        if (x.t == Val::Null || y.t == Val::Null) return Val();
        if (op == '+' && x.t == Val::Str && y.t == Val::Str) {
            std::string s(x.sv());
            s += y.sv();
            return Val::ownStr(std::move(s));
        }
        double p, q;
        if (!toNumber(x, p) || !toNumber(y, q)) return Val();
        switch (op) {
        case '+': return Val::num(p + q);
        case '-': return Val::num(p - q);
        case '*': return Val::num(p * q);
        default: return q == 0 ? Val() : Val::num(p / q);
        }
    }
};

struct Func : Node {
    enum F { Upper, Lower, Trim } f;
    NodeP a;
    Func(F x, NodeP y) : f(x), a(std::move(y)) {}
    Val eval(const Store& st, int row) const override
    {
        const Val v = a->eval(st, row);
        if (v.t == Val::Null) return v;
        std::string s;
        if (v.t == Val::Str) s = std::string(v.sv());
        else if (v.t == Val::Num) s = numberText(v.n);
        else s = v.b ? "True" : "False";
        switch (f) {
        case Upper:
            for (char& c : s)
                if (c >= 'a' && c <= 'z') c = char(c - 32);
            break;
        case Lower:
            for (char& c : s)
                if (c >= 'A' && c <= 'Z') c = char(c + 32);
            break;
        case Trim: {
            size_t b = s.find_first_not_of(' ');
            size_t e = s.find_last_not_of(' ');
            s = b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
            break;
        }
        }
        return Val::ownStr(std::move(s));
    }
};

enum class Op { Eq, Ne, Lt, Gt, Le, Ge };

// Compares two non-null values; false in ok when they cannot be compared.
int compareVals(const Val& x, const Val& y, bool ci, bool& ok)
{
    ok = true;
    if (x.t == Val::Str && y.t == Val::Str)
        return ci ? compareGbkCaseIns(x.sv(), y.sv()) : compareGbk(x.sv(), y.sv());
    double p, q;
    const bool px = toNumber(x, p), py = toNumber(y, q);
    if (px && py) return p < q ? -1 : p > q ? 1 : 0;
    // A number against text that is no number: compare the number's text.
    if (x.t == Val::Str || y.t == Val::Str) {
        const std::string a = x.t == Val::Str ? std::string(x.sv()) : numberText(p);
        const std::string b = y.t == Val::Str ? std::string(y.sv()) : numberText(q);
        return ci ? compareGbkCaseIns(a, b) : compareGbk(a, b);
    }
    ok = false;
    return 0;
}

bool opResult(Op op, int c)
{
    switch (op) {
    case Op::Eq: return c == 0;
    case Op::Ne: return c != 0;
    case Op::Lt: return c < 0;
    case Op::Gt: return c > 0;
    case Op::Le: return c <= 0;
    case Op::Ge: return c >= 0;
    }
    return false;
}

struct Compare : Node {
    Op op;
    NodeP a, b;
    bool ci;
    bool prefix = false;      // 'abc*': compare by prefix
    std::string prefixText;
    Compare(Op o, NodeP x, NodeP y, bool c) : op(o), a(std::move(x)), b(std::move(y)), ci(c) {}
    bool isBoolean() const override { return true; }
    Val eval(const Store& st, int row) const override { return Val::boolean(test(st, row)); }
    bool test(const Store& st, int row) const override
    {
        const Val x = a->eval(st, row);
        if (x.t == Val::Null) return false;
        if (prefix && x.t == Val::Str) {
            const bool m = ci ? startsWithCaseIns(x.sv(), prefixText)
                              : x.sv().substr(0, prefixText.size()) == prefixText;
            return op == Op::Eq ? m : !m;
        }
        const Val y = b->eval(st, row);
        if (y.t == Val::Null) return false;
        bool ok;
        int c;
        if (!ci || (op != Op::Eq && op != Op::Ne) || x.t != Val::Str || y.t != Val::Str) {
            c = compareVals(x, y, ci, ok);
            if (!ok) return false;
        } else {
            c = equalsCaseIns(x.sv(), y.sv()) ? 0 : 1;
        }
        return opResult(op, c);
    }
};

struct Like : Node {
    NodeP a, b;
    bool neg, ci;
    char esc;
    Like(NodeP x, NodeP y, bool n, bool c, char e) : a(std::move(x)), b(std::move(y)), neg(n), ci(c), esc(e) {}
    bool isBoolean() const override { return true; }
    Val eval(const Store& st, int row) const override { return Val::boolean(test(st, row)); }
    bool test(const Store& st, int row) const override
    {
        const Val x = a->eval(st, row);
        const Val y = b->eval(st, row);
        if (x.t == Val::Null || y.t == Val::Null) return false;
        // Texts are matched where they lie; only numbers need a text made.
        std::string xn, yn;
        const std::string_view xs = x.t == Val::Str ? x.sv() : std::string_view(xn = numberText(x.n));
        const std::string_view ys = y.t == Val::Str ? y.sv() : std::string_view(yn = numberText(y.n));
        return likeMatch(xs, ys, ci, esc) != neg;
    }
};

// A LIKE whose pattern is plain text with % only at its ends ('%好%', 'ab%', '%ab', 'ab'): on
// valid UTF-8 it matches exactly where the pattern's bytes occur at that place (a character's
// first byte is never inside another character), so the whole dictionary is decided by one
// search over its bytes instead of a match per text.
struct TextScan {
    enum Where : uint8_t { Contains, Prefix, Suffix, Whole } where = Contains;
    std::string text;
    bool neg = false;

    // Whether pattern (with escape character esc, 0 none) has this form; case-insensitive
    // matching only when the text has no ASCII letter (it then compares bytes as they are).
    static bool from(std::string_view pattern, bool ci, char esc, bool neg, TextScan& out)
    {
        const bool lead = !pattern.empty() && pattern.front() == '%';
        if (lead) pattern.remove_prefix(1);
        const bool trail = !pattern.empty() && pattern.back() == '%';
        if (trail) pattern.remove_suffix(1);
        for (const char c : pattern) {
            if (c == '%' || c == '_' || (esc && c == esc)) return false;
            if (ci && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
        }
        if (!isValidUtf8(pattern)) return false;
        out.where = lead && trail ? Contains : lead ? Suffix : trail ? Prefix : Whole;
        out.text = std::string(pattern);
        out.neg = neg;
        return true;
    }
    // The answer for every text of the pool, in cache[id].
    void fill(const StringPool& pool, std::vector<int8_t>& cache) const
    {
        const uint32_t n = pool.size();
        const std::string_view all = pool.arena();
        const size_t len = text.size();
        const auto end = [&](uint32_t id) { return size_t(id + 1 < n ? pool.offset(id + 1) : all.size()); };
        if (where == Contains && len > 0) {
            cache.assign(n, int8_t(neg));
            size_t from = 0;
            uint32_t id = 0;
            while (id < n) {
                const void* hit = memmem(all.data() + from, all.size() - from, text.data(), len);
                if (!hit) break;
                const size_t at = size_t(static_cast<const char*>(hit) - all.data());
                while (end(id) <= at) ++id; // the text the hit starts in
                if (at + len <= end(id)) cache[id] = int8_t(!neg);
                from = end(id++); // a hit reaching into the next text: search again from its start
            }
            return;
        }
        cache.resize(n);
        for (uint32_t id = 0; id < n; ++id) {
            const std::string_view t = all.substr(pool.offset(id), end(id) - pool.offset(id));
            bool m = false;
            switch (where) {
            case Contains: m = true; break; // an empty text is in every text
            case Prefix: m = t.substr(0, len) == text; break;
            case Suffix: m = t.size() >= len && t.substr(t.size() - len) == text; break;
            case Whole: m = t == text; break;
            }
            cache[id] = int8_t(m != neg);
        }
    }
};

// A predicate over one string field that does not depend on anything else: decided once per
// distinct text and then looked up by the row's text id.
struct StringFieldPred : Node {
    NodeP inner;
    int col;
    std::unique_ptr<TextScan> scan; // decides every text at the first test, when set
    mutable std::vector<int8_t> cache; // per text id: -1 unknown, 0, 1
    mutable int8_t nullResult = -1;
    mutable bool scanned = false;
    StringFieldPred(NodeP n, int c, std::unique_ptr<TextScan> s = {}) : inner(std::move(n)), col(c), scan(std::move(s)) {}
    bool isBoolean() const override { return true; }
    Val eval(const Store& st, int row) const override { return Val::boolean(test(st, row)); }
    bool test(const Store& st, int row) const override
    {
        const Column& c = st.cols[size_t(col)];
        const uint32_t id = c.ids[size_t(row)];
        if (id == kNullId) {
            if (nullResult < 0) nullResult = inner->test(st, row) ? 1 : 0;
            return nullResult == 1;
        }
        if (scan && !scanned) {
            // Texts stored later (an edit) are matched one by one as they come.
            scan->fill(*c.pool, cache);
            scanned = true;
        }
        if (id >= cache.size()) cache.resize(std::max<size_t>(c.pool->size(), id + 1), -1);
        int8_t& r = cache[id];
        if (r < 0) r = inner->test(st, row) ? 1 : 0;
        return r == 1;
    }
};

struct IsNull : Node {
    NodeP a;
    bool neg;
    IsNull(NodeP x, bool n) : a(std::move(x)), neg(n) {}
    bool isBoolean() const override { return true; }
    Val eval(const Store& st, int row) const override { return Val::boolean(test(st, row)); }
    bool test(const Store& st, int row) const override
    {
        return (a->eval(st, row).t == Val::Null) != neg;
    }
};

struct InList : Node {
    NodeP a;
    std::vector<NodeP> items;
    bool neg, ci;
    InList(NodeP x, std::vector<NodeP> l, bool n, bool c) : a(std::move(x)), items(std::move(l)), neg(n), ci(c) {}
    bool isBoolean() const override { return true; }
    Val eval(const Store& st, int row) const override { return Val::boolean(test(st, row)); }
    bool test(const Store& st, int row) const override
    {
        const Val x = a->eval(st, row);
        if (x.t == Val::Null) return false;
        for (const NodeP& it : items) {
            const Val y = it->eval(st, row);
            if (y.t == Val::Null) continue;
            bool ok;
            const int c = ci && x.t == Val::Str && y.t == Val::Str ? (equalsCaseIns(x.sv(), y.sv()) ? 0 : 1)
                                                                    : compareVals(x, y, ci, ok);
            if (c == 0) return !neg;
        }
        return neg;
    }
};

struct Logic : Node {
    bool isAnd;
    NodeP a, b;
    Logic(bool and_, NodeP x, NodeP y) : isAnd(and_), a(std::move(x)), b(std::move(y)) {}
    bool isBoolean() const override { return true; }
    Val eval(const Store& st, int row) const override { return Val::boolean(test(st, row)); }
    bool test(const Store& st, int row) const override
    {
        return isAnd ? (a->test(st, row) && b->test(st, row)) : (a->test(st, row) || b->test(st, row));
    }
};

struct Not : Node {
    NodeP a;
    explicit Not(NodeP x) : a(std::move(x)) {}
    bool isBoolean() const override { return true; }
    Val eval(const Store& st, int row) const override { return Val::boolean(test(st, row)); }
    bool test(const Store& st, int row) const override { return !a->test(st, row); }
};

// --- parser ---------------------------------------------------------------------------------

struct Token {
    enum T { End, Ident, Field, Str, Num, Sym } t = End;
    QString text;
    double num = 0;
    int pos = 0;
};

class Parser {
public:
    Parser(const QString& s, const TClientDataSet& ds, bool ci, bool noPartial)
        : m_s(s), m_ds(ds), m_ci(ci), m_noPartial(noPartial)
    {
        advance();
    }

    NodeP parseAll()
    {
        if (m_tok.t == Token::End) fail(QStringLiteral("过滤条件为空"));
        NodeP n = parseOr();
        if (m_tok.t != Token::End) fail(QStringLiteral("多余的内容“%1”").arg(m_tok.text));
        if (!n->isBoolean()) failAt(0, QStringLiteral("不是一个条件"));
        return n;
    }

private:
    [[noreturn]] void failAt(int pos, const QString& what)
    {
        throw DatasetError(QStringLiteral("过滤条件有误（第 %1 个字符）：%2：%3").arg(pos + 1).arg(what, m_s));
    }
    [[noreturn]] void fail(const QString& what) { failAt(m_tok.pos, what); }

    // One level deeper for as long as it lives (a parenthesis, a NOT, a sign): the parser and
    // the evaluation recurse per level.
    struct Deeper {
        Parser& p;
        explicit Deeper(Parser& parser) : p(parser)
        {
            if (++p.m_depth > MaxFilterNesting)
                p.fail(QStringLiteral("嵌套超过 %1 层").arg(MaxFilterNesting));
        }
        ~Deeper() { --p.m_depth; }
        Deeper(const Deeper&) = delete;
        Deeper& operator=(const Deeper&) = delete;
    };
    // One more operator: a long chain of them builds a deep tree too.
    void oneMoreOperator()
    {
        if (++m_operators > MaxFilterOperators)
            fail(QStringLiteral("运算符超过 %1 个").arg(MaxFilterOperators));
    }

    bool isKeyword(const char* kw) const
    {
        return m_tok.t == Token::Ident && m_tok.text.compare(QLatin1String(kw), Qt::CaseInsensitive) == 0;
    }
    bool isSym(const char* s) const { return m_tok.t == Token::Sym && m_tok.text == QLatin1String(s); }

    void advance()
    {
        const int n = m_s.size();
        while (m_i < n && m_s[m_i].isSpace()) ++m_i;
        m_tok = Token();
        m_tok.pos = m_i;
        if (m_i >= n) return;
        const QChar c = m_s[m_i];
        if (c == u'\'' || c == u'"') {
            QString text;
            int i = m_i + 1;
            for (;;) {
                if (i >= n) failAt(m_i, QStringLiteral("字符串缺少结束的引号"));
                if (m_s[i] == c) {
                    if (i + 1 < n && m_s[i + 1] == c) {
                        text += c;
                        i += 2;
                        continue;
                    }
                    break;
                }
                text += m_s[i++];
            }
            m_tok.t = Token::Str;
            m_tok.text = text;
            m_i = i + 1;
            return;
        }
        if (c == u'[') {
            const int e = m_s.indexOf(u']', m_i + 1);
            if (e < 0) failAt(m_i, QStringLiteral("字段名缺少“]”"));
            m_tok.t = Token::Field;
            m_tok.text = m_s.mid(m_i + 1, e - m_i - 1);
            m_i = e + 1;
            return;
        }
        if (c.isDigit() || (c == u'.' && m_i + 1 < n && m_s[m_i + 1].isDigit())) {
            int i = m_i;
            while (i < n && m_s[i].isDigit()) ++i;
            if (i < n && m_s[i] == u'.') {
                ++i;
                while (i < n && m_s[i].isDigit()) ++i;
            }
            if (i < n && (m_s[i] == u'e' || m_s[i] == u'E')) {
                int j = i + 1;
                if (j < n && (m_s[j] == u'+' || m_s[j] == u'-')) ++j;
                if (j < n && m_s[j].isDigit()) {
                    while (j < n && m_s[j].isDigit()) ++j;
                    i = j;
                }
            }
            m_tok.t = Token::Num;
            m_tok.text = m_s.mid(m_i, i - m_i);
            m_tok.num = m_tok.text.toDouble();
            m_i = i;
            if (i < n && (m_s[i].isLetter() || m_s[i] == u'_')) failAt(i, QStringLiteral("数字后面不能紧跟字母"));
            return;
        }
        if (c.isLetter() || c == u'_' || c.unicode() >= 0x80) {
            int i = m_i;
            while (i < n && (m_s[i].isLetterOrNumber() || m_s[i] == u'_' || m_s[i].unicode() >= 0x80) &&
                   !m_s[i].isSpace())
                ++i;
            m_tok.t = Token::Ident;
            m_tok.text = m_s.mid(m_i, i - m_i);
            m_i = i;
            return;
        }
        static const char* two[] = {"<>", "<=", ">=", "!="};
        for (const char* t : two) {
            if (m_s.mid(m_i, 2) == QLatin1String(t)) {
                m_tok.t = Token::Sym;
                m_tok.text = QString::fromLatin1(t) == QLatin1String("!=") ? QStringLiteral("<>") : QString::fromLatin1(t);
                m_i += 2;
                return;
            }
        }
        if (QStringLiteral("=<>()+-*/,").contains(c)) {
            m_tok.t = Token::Sym;
            m_tok.text = QString(c);
            ++m_i;
            return;
        }
        failAt(m_i, QStringLiteral("无法识别的字符“%1”").arg(c));
    }

    NodeP parseOr()
    {
        NodeP l = parseAnd();
        while (isKeyword("OR")) {
            oneMoreOperator();
            const int p = m_tok.pos;
            advance();
            NodeP r = parseAnd();
            checkBool(l, p);
            checkBool(r, p);
            l = std::make_unique<Logic>(false, std::move(l), std::move(r));
        }
        return l;
    }
    NodeP parseAnd()
    {
        NodeP l = parseNot();
        while (isKeyword("AND")) {
            oneMoreOperator();
            const int p = m_tok.pos;
            advance();
            NodeP r = parseNot();
            checkBool(l, p);
            checkBool(r, p);
            l = std::make_unique<Logic>(true, std::move(l), std::move(r));
        }
        return l;
    }
    NodeP parseNot()
    {
        if (isKeyword("NOT")) {
            const Deeper deeper(*this);
            const int p = m_tok.pos;
            advance();
            NodeP a = parseNot();
            checkBool(a, p);
            return std::make_unique<Not>(std::move(a));
        }
        return parseCmp();
    }
    void checkBool(const NodeP& n, int pos)
    {
        if (!n->isBoolean()) failAt(pos, QStringLiteral("AND、OR、NOT 的两边必须是条件"));
    }

    // Wraps a predicate that reads one string field compared with constants.
    NodeP optimise(NodeP pred, int col) { return std::make_unique<StringFieldPred>(std::move(pred), col); }

    NodeP parseCmp()
    {
        NodeP l = parseAdd();
        if (m_tok.t == Token::Sym) {
            Op op;
            const QString s = m_tok.text;
            if (s == u'=') op = Op::Eq;
            else if (s == QLatin1String("<>")) op = Op::Ne;
            else if (s == u'<') op = Op::Lt;
            else if (s == u'>') op = Op::Gt;
            else if (s == QLatin1String("<=")) op = Op::Le;
            else if (s == QLatin1String(">=")) op = Op::Ge;
            else return l;
            oneMoreOperator();
            advance();
            if (m_tok.t == Token::End) fail(QStringLiteral("比较符后面缺少值"));
            NodeP r = parseAdd();
            const int col = l->stringColumn();
            const bool constRight = r->literal() != nullptr;
            auto cmp = std::make_unique<Compare>(op, std::move(l), std::move(r), m_ci);
            if ((op == Op::Eq || op == Op::Ne) && !m_noPartial && cmp->b->literal() &&
                cmp->b->literal()->t == Val::Str) {
                const std::string_view t = cmp->b->literal()->sv();
                if (!t.empty() && t.back() == '*') {
                    cmp->prefix = true;
                    cmp->prefixText = std::string(t.substr(0, t.size() - 1));
                }
            }
            if (col >= 0 && constRight) return optimise(std::move(cmp), col);
            return cmp;
        }
        bool neg = false;
        if (isKeyword("NOT")) {
            neg = true;
            advance();
            if (!isKeyword("LIKE") && !isKeyword("IN")) fail(QStringLiteral("NOT 后面应为 LIKE 或 IN"));
        }
        if (isKeyword("LIKE")) {
            advance();
            if (m_tok.t == Token::End) fail(QStringLiteral("LIKE 后面缺少模式"));
            NodeP r = parseAdd();
            // "LIKE pattern ESCAPE 'c'": c before % or _ (or before itself) makes it a plain character.
            char escape = 0;
            if (isKeyword("ESCAPE")) {
                advance();
                if (m_tok.t != Token::Str || m_tok.text.size() != 1 || m_tok.text[0].unicode() >= 0x80 ||
                    m_tok.text == u'%' || m_tok.text == u'_')
                    fail(QStringLiteral("ESCAPE 后面应为一个字符"));
                escape = char(m_tok.text[0].unicode());
                advance();
            }
            const int col = l->stringColumn();
            const bool constRight = r->literal() != nullptr;
            std::unique_ptr<TextScan> scan;
            if (col >= 0 && constRight && r->literal()->t == Val::Str) {
                scan = std::make_unique<TextScan>();
                if (!TextScan::from(r->literal()->sv(), m_ci, escape, neg, *scan)) scan.reset();
            }
            NodeP like = std::make_unique<Like>(std::move(l), std::move(r), neg, m_ci, escape);
            if (col >= 0 && constRight) return std::make_unique<StringFieldPred>(std::move(like), col, std::move(scan));
            return like;
        }
        if (isKeyword("IN")) {
            advance();
            if (!isSym("(")) fail(QStringLiteral("IN 后面缺少“(”"));
            advance();
            std::vector<NodeP> items;
            for (;;) {
                if (m_tok.t == Token::End) fail(QStringLiteral("缺少“)”"));
                items.push_back(parseAdd());
                if (isSym(",")) {
                    advance();
                    continue;
                }
                if (!isSym(")")) fail(QStringLiteral("缺少“)”"));
                advance();
                break;
            }
            const int col = l->stringColumn();
            bool allConst = true;
            for (const NodeP& it : items) allConst = allConst && it->literal();
            NodeP in = std::make_unique<InList>(std::move(l), std::move(items), neg, m_ci);
            if (col >= 0 && allConst) return optimise(std::move(in), col);
            return in;
        }
        if (isKeyword("IS")) {
            advance();
            bool n = false;
            if (isKeyword("NOT")) {
                n = true;
                advance();
            }
            if (!isKeyword("NULL")) fail(QStringLiteral("IS 后面应为 NULL 或 NOT NULL"));
            advance();
            return std::make_unique<IsNull>(std::move(l), n);
        }
        return l;
    }

    NodeP parseAdd()
    {
        NodeP l = parseMul();
        while (isSym("+") || isSym("-")) {
            oneMoreOperator();
            const char op = char(m_tok.text[0].unicode());
            advance();
            NodeP r = parseMul();
            l = std::make_unique<Arith>(op, std::move(l), std::move(r));
        }
        return l;
    }
    NodeP parseMul()
    {
        NodeP l = parseUnary();
        while (isSym("*") || isSym("/")) {
            oneMoreOperator();
            const char op = char(m_tok.text[0].unicode());
            advance();
            NodeP r = parseUnary();
            l = std::make_unique<Arith>(op, std::move(l), std::move(r));
        }
        return l;
    }
    NodeP parseUnary()
    {
        if (!isSym("-") && !isSym("+")) return parsePrimary();
        const Deeper deeper(*this);
        if (isSym("-")) {
            advance();
            if (m_tok.t == Token::Num) {
                const double d = -m_tok.num;
                advance();
                return std::make_unique<Literal>(Val::num(d));
            }
            return std::make_unique<Negate>(parseUnary());
        }
        if (isSym("+")) advance();
        return parsePrimary();
    }
    NodeP fieldNode(const QString& name, int pos)
    {
        TField* f = m_ds.FindField(name);
        if (!f) failAt(pos, QStringLiteral("没有字段“%1”").arg(name));
        if (f->storeColumn() < 0) failAt(pos, QStringLiteral("字段“%1”没有数据").arg(name));
        return std::make_unique<FieldRef>(f->storeColumn(), kindOf(f->DataType()));
    }
    NodeP parsePrimary()
    {
        const Token t = m_tok;
        switch (t.t) {
        case Token::End: fail(QStringLiteral("条件不完整"));
        case Token::Num: advance(); return std::make_unique<Literal>(Val::num(t.num));
        case Token::Str: {
            advance();
            return std::make_unique<Literal>(Val::ownStr(t.text.toUtf8().toStdString()));
        }
        case Token::Field: advance(); return fieldNode(t.text, t.pos);
        case Token::Sym:
            if (t.text == u'(') {
                const Deeper deeper(*this);
                advance();
                NodeP n = parseOr();
                if (!isSym(")")) fail(QStringLiteral("缺少“)”"));
                advance();
                return n;
            }
            fail(QStringLiteral("此处不应出现“%1”").arg(t.text));
        case Token::Ident: {
            advance();
            const QString u = t.text.toUpper();
            if (u == QLatin1String("NULL")) return std::make_unique<Literal>(Val());
            if (u == QLatin1String("TRUE")) return std::make_unique<Literal>(Val::boolean(true));
            if (u == QLatin1String("FALSE")) return std::make_unique<Literal>(Val::boolean(false));
            if (u == QLatin1String("AND") || u == QLatin1String("OR") || u == QLatin1String("LIKE") ||
                u == QLatin1String("IS") || u == QLatin1String("IN"))
                failAt(t.pos, QStringLiteral("此处不应出现“%1”").arg(t.text));
            if (isSym("(") && (u == QLatin1String("UPPER") || u == QLatin1String("LOWER") ||
                               u == QLatin1String("TRIM"))) {
                const Deeper deeper(*this);
                advance();
                NodeP a = parseAdd();
                if (!isSym(")")) fail(QStringLiteral("缺少“)”"));
                advance();
                const Func::F f = u == QLatin1String("UPPER") ? Func::Upper
                                  : u == QLatin1String("LOWER") ? Func::Lower
                                                                : Func::Trim;
                return std::make_unique<Func>(f, std::move(a));
            }
            return fieldNode(t.text, t.pos);
        }
        }
        fail(QStringLiteral("条件不完整"));
    }

    const QString& m_s;
    const TClientDataSet& m_ds;
    bool m_ci, m_noPartial;
    int m_i = 0;
    int m_depth = 0;
    int m_operators = 0;
    Token m_tok;
};

} // namespace

// --- LIKE -----------------------------------------------------------------------------------

namespace {
size_t charLen(unsigned char b)
{
    return b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
}
inline char fold(char c, bool ci)
{
    return ci && c >= 'a' && c <= 'z' ? char(c - 32) : c;
}
} // namespace

bool likeMatch(std::string_view s, std::string_view p, bool ci, char escape)
{
    // A character's length never reaches past the end of its text: a sequence cut off (texts are
    // repaired when loaded, but a pattern may come from anywhere) is its bytes one by one.
    const auto len = [](std::string_view t, size_t i) {
        const size_t n = std::min(charLen(uint8_t(t[i])), t.size() - i);
        // A lead byte without its continuation bytes is a character of one byte.
        for (size_t k = 1; k < n; ++k)
            if ((uint8_t(t[i + k]) & 0xC0) != 0x80) return size_t(1);
        return n;
    };
    size_t si = 0, pi = 0;
    size_t starP = std::string_view::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == '%') {
            starP = ++pi;
            starS = si;
            continue;
        }
        if (pi < p.size()) {
            if (p[pi] == '_') {
                si += len(s, si);
                ++pi;
                continue;
            }
            // An escaped character is compared as it stands; a lone escape at the end is itself.
            const size_t at = escape && p[pi] == escape && pi + 1 < p.size() ? pi + 1 : pi;
            const size_t n = len(p, at);
            bool eq = si + n <= s.size();
            for (size_t k = 0; eq && k < n; ++k) eq = fold(s[si + k], ci) == fold(p[at + k], ci);
            if (eq) {
                si += n;
                pi = at + n;
                continue;
            }
        }
        if (starP == std::string_view::npos) return false;
        starS += len(s, starS);
        si = starS;
        pi = starP;
    }
    while (pi < p.size() && p[pi] == '%') ++pi;
    return pi == p.size();
}

Filter::Filter(const QString& expr, const TClientDataSet& ds, bool caseInsensitive, bool noPartial)
{
    Parser p(expr, ds, caseInsensitive, noPartial);
    m_root = p.parseAll();
}

Filter::~Filter() = default;

bool Filter::test(const Store& st, int row) const
{
    return m_root->test(st, row);
}

} // namespace dsimpl
