// Volume data shaped like a real chain's: a few hundred organisations, tens of thousands of
// goods, thousands of staff, and trials whose remarks are nearly all distinct, so that sorting,
// filtering and exporting meet the text variety of a real store instead of a tiny dictionary.
#include "schema/Schema.h"

#include "platform/db/Db.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// --- deterministic randomness ---------------------------------------------------------------

// splitmix64: small, fast, and the same sequence on every platform for a seed.
class Rng {
public:
    explicit Rng(uint64_t seed) : m_s(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    uint64_t next()
    {
        uint64_t z = (m_s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 <= result < n
    int below(int n) { return int((next() >> 11) % uint64_t(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); } // inclusive
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    template <typename T>
    const T& pick(const std::vector<T>& v) { return v[size_t(below(int(v.size())))]; }

private:
    uint64_t m_s;
};

// The characters of a text as a list of one-character strings.
std::vector<QString> chars(const QString& s)
{
    std::vector<QString> out;
    for (QChar c : s) out.push_back(QString(c));
    return out;
}

std::vector<QString> words(const QString& s)
{
    const QStringList l = s.split(u' ', Qt::SkipEmptyParts);
    return {l.begin(), l.end()};
}

// --- vocabulary (common characters, every one encodable in GBK) ------------------------------

const QString kSurnames = u"王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏魏吕丁任沈姚卢姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛段雷侯龙史陶黎贺顾毛郝龚邵万钱严武戴莫孔向汤"_s;
const QString kGiven = u"芳娜敏静丽艳娟霞秀玲桂英华红梅琳燕雪婷倩颖慧琪悦洁晶欣怡璐瑶佳宁萍兰凤云月蓉婕茜薇菲露岚思雨晓文嘉丹妍莉亚楠琳蕾涵梦可心"_s;
const QString kDistricts = u"东城 西城 南湖 北苑 中山 解放 人民 新华 和平 建设 胜利 朝阳 长江 黄河 滨江 湖滨 城南 城北 新区 高新 开发 江北 河西 金融 万达 国贸 银泰 来福 天河 龙华 福田 南山 罗湖 海珠 越秀 白云 黄埔 番禺 花都 增城"_s;
const QString kCounterKinds = u"一店 二店 专柜 香水柜 护肤柜"_s;
const QString kOfficeNames = u"华东总部 华南总部 华北仓库 中心仓库 配送中心 华西仓库"_s;
const QString kBrands = u"雅诗 兰芝 雪花 珀莱 百雀 佰草 相宜 丸美 自然 欧诗 美加 卡姿 玛丽 植村 花西 完美 韩束 一叶 膜法 御泥 薇诺 理肤 雅漾 芙丽 资生 娇韵 倩碧 悦诗 innis 水之 羽西 大宝 郁美 林清 谷雨 润百 珂拉 毛戈 橘朵 稚优"_s;
const QString kSeries = u"水润 焕颜 雪肌 紧致 净透 修护 柔肤 清透 臻白 多效 青春 小棕 小黑 玻尿 烟酰 积雪 玫瑰 樱花 人参 绿茶 芦荟 蜂蜜 珍珠 山茶"_s;
const QString kProducts = u"精华液 面霜 眼霜 洁面乳 洗面奶 爽肤水 乳液 面膜 防晒霜 隔离霜 粉底液 气垫 口红 唇釉 眉笔 眼线笔 睫毛膏 腮红 散粉 卸妆油 卸妆水 护手霜 身体乳 香水 精油 喷雾 唇膏 安瓶 冻干粉 精华露"_s;
const QString kSpecs = u"30ml 50ml 100ml 120ml 150ml 200ml 15g 30g 50g 80g 3.5g 5片 10片 1支 2支 1盒 1瓶 60粒"_s;
// Fragments of what advisors write about a trial.
const QString kFragments = u"顾客觉得 质地清爽 吸收很快 味道清香 有点油腻 保湿效果明显 颜色偏深 颜色自然 会考虑购买 下次再来 "
                           u"效果很好 肤感不错 略微刺激 皮肤敏感 想要试大样 觉得价格偏高 包装好看 持久度一般 遮瑕力好 "
                           u"上妆服帖 有点干 比较滋润 很好推开 香味太浓 不太适合 适合油皮 适合干皮 推荐给朋友 "
                           u"已加微信 约了周末 和同事一起来 老顾客 新顾客 试了两次 第一次用 对比了别家 问了成分 "
                           u"想买套装 等活动再买 很满意 不满意 一般般 还可以 手感细腻 没有假白 控油不错 "
                           u"补水好 有小颗粒 容易搓泥 闻着舒服 颜值高 孕妇能用吗 学生党 送妈妈 送女朋友"_s;
const QString kCommonRemarks = u"效果很好 味道清香 有点油腻 保湿效果明显 颜色偏深 会考虑购买 满意"_s;
// Characters mixed into remarks between the fragments.
const QString kRemarkChars = u"好的很是不了在有人这上大来个们中说到地为子和你要出也得就那时过下面可天去能对然于家还多"
                             u"发没后自成心前如只用之意回些样其起现从长同十看正加两把做行法所本当定实外全才方又新问"
                             u"感觉皮肤颜色味道清爽滋润补水保湿干油敏感细腻服帖持久香淡浓亮白嫩滑紧致毛孔痘痘斑点"
                             u"试用满意喜欢推荐购买价格活动赠品套装包装瓶盒支片霜乳液水膏粉"_s;

// --- what is generated ----------------------------------------------------------------------

constexpr int kOrganisations = 200;
constexpr int kOffices = 6;         // kind '2' (head offices, warehouses): never take trials
constexpr int kFranchises = 20;     // kind '3', deployed
constexpr int kGoods = 20000;
constexpr int kAdvisorsPerOrg = 7;  // 1,400 advisors
constexpr int kUsersPerOrg = 2;     // 400 shop users
constexpr int kOfficeStaff = 200;   // 2,000 staff in all
constexpr int kMonths = 36;
constexpr int kOpenSecond = 8 * 3600;
constexpr int kOpenSeconds = 12 * 3600; // 08:00:00 to before 20:00:00
constexpr int kRowsPerInsert = 400;
// Masters are the same for every seed, so that a second run of another seed finds its own
// organisations, goods and staff already stored.
constexpr uint64_t kMasterSeed = 20240601;
const QDate kDefaultPeriodEnd(2025, 9, 30);

struct Org {
    QString code, name;
    char type = '1';
    bool deployed = true;
    double weight = 0; // share of the trials (0: takes none)
    std::vector<int> advisors, users, assortment;
};
struct Good {
    QString code, name, spec, barCode;
    double price = 0;
    double satisfied = 0.7;
};
struct Staff {
    QString code, name;
    QString group;
};

struct Masters {
    std::vector<Org> orgs;
    std::vector<Good> goods;
    std::vector<Staff> staff;
};

QString ean13(qint64 twelveDigits)
{
    QString s = QString::number(twelveDigits).rightJustified(12, u'0');
    int sum = 0;
    for (int i = 0; i < 12; ++i) sum += (s[i].unicode() - '0') * (i % 2 ? 3 : 1);
    return s + QString::number((10 - sum % 10) % 10);
}

Masters makeMasters()
{
    Rng rng(kMasterSeed);
    Masters m;
    const auto surnames = chars(kSurnames), given = chars(kGiven);
    const auto districts = words(kDistricts), counters = words(kCounterKinds), offices = words(kOfficeNames);
    const auto brands = words(kBrands), series = words(kSeries), products = words(kProducts), specs = words(kSpecs);

    auto personName = [&] {
        QString n = rng.pick(surnames) + rng.pick(given);
        if (rng.below(3)) n += rng.pick(given);
        return n;
    };

    for (int i = 0; i < kOrganisations; ++i) {
        Org o;
        o.code = QString::number(5001 + i);
        if (i < kOffices) {
            o.type = '2';
            o.name = offices[size_t(i) % offices.size()];
            o.deployed = i % 2 == 0;
        } else {
            const int k = i - kOffices;
            o.type = i >= kOrganisations - kFranchises ? '3' : '1';
            o.name = districts[size_t(k / int(counters.size())) % districts.size()] + counters[size_t(k) % counters.size()];
            o.deployed = k % 19 != 7; // about one in twenty not deployed
        }
        if (o.type != '2' && o.deployed) o.weight = 0.3 + 2.7 * rng.unit() * rng.unit();
        m.orgs.push_back(std::move(o));
    }

    for (int i = 0; i < kGoods; ++i) {
        Good g;
        g.code = QString::number(60000001 + i);
        QString name = rng.pick(brands);
        if (rng.below(3)) name += rng.pick(series);
        name += rng.pick(products);
        if (name.size() > 10) name = name.left(10);
        if (name.size() < 3) name += rng.pick(products);
        g.name = name.left(10);
        g.spec = rng.pick(specs);
        // Multiplying by a number prime to 10 permutes the ten-digit item numbers: unique codes.
        g.barCode = ean13(690000000000ll + (qint64(i + 1) * 7919) % 10000000000ll);
        g.price = 10.0 * rng.between(2, 80);
        g.satisfied = 0.45 + 0.45 * rng.unit();
        m.goods.push_back(std::move(g));
    }

    int nextStaff = 700001;
    auto addStaff = [&](const QString& group) {
        m.staff.push_back({QString::number(nextStaff++), personName(), group});
        return int(m.staff.size() - 1);
    };
    for (Org& o : m.orgs) {
        for (int k = 0; k < kAdvisorsPerOrg; ++k) o.advisors.push_back(addStaff(u"01"_s));
        for (int k = 0; k < kUsersPerOrg; ++k) o.users.push_back(addStaff(u"03"_s));
    }
    // Some advisors also work at a second counter.
    for (int k = 0; k < 150; ++k) {
        Org& from = m.orgs[size_t(rng.below(kOrganisations))];
        Org& to = m.orgs[size_t(rng.below(kOrganisations))];
        const int a = rng.pick(from.advisors);
        if (&from != &to && std::find(to.advisors.begin(), to.advisors.end(), a) == to.advisors.end())
            to.advisors.push_back(a);
    }
    for (int k = 0; k < kOfficeStaff; ++k) addStaff(k % 2 ? u"04"_s : u"02"_s);

    // What each counter carries: a few hundred goods, so that every good is carried somewhere.
    for (Org& o : m.orgs) {
        if (o.weight <= 0) continue;
        QSet<int> seen;
        const int n = rng.between(300, 900);
        for (int k = 0; k < n; ++k) {
            const int g = rng.below(kGoods);
            if (!seen.contains(g)) {
                seen.insert(g);
                o.assortment.push_back(g);
            }
        }
    }
    return m;
}

// --- writing --------------------------------------------------------------------------------

// Multi-row inserts: every text goes through the quoting helper; numbers are formatted here.
class Inserter {
public:
    Inserter(TADOConnection& conn, const QString& head) : m_conn(conn), m_head(head) {}
    ~Inserter() = default;
    void row(const QStringList& values)
    {
        m_sql += m_rows ? u",\n("_s : m_head + u" VALUES\n("_s;
        m_sql += values.join(u',');
        m_sql += u')';
        if (++m_rows == kRowsPerInsert) flush();
    }
    void flush()
    {
        if (!m_rows) return;
        m_sql += u';';
        m_conn.executeScript(m_sql);
        m_sql.clear();
        m_rows = 0;
    }

private:
    TADOConnection& m_conn;
    QString m_head;
    QString m_sql;
    int m_rows = 0;
};

QString q(const QString& s)
{
    return QuotedStr(s);
}

QString money(double v)
{
    return QString::number(v, 'f', 2);
}

void writeMasters(TADOConnection& conn, const Masters& m)
{
    conn.executeScript(u"INSERT OR IGNORE INTO XtUserGrp (UGrpCode, UGrpName) VALUES "
                       "('01', '美容顾问'), ('02', '总部管理'), ('03', '门店操作'), ('04', '查询人员');"_s);
    Inserter orgs(conn, u"INSERT OR IGNORE INTO SubShop (OrgCode, OrgName, OrgType, IsDbDeploy)"_s);
    for (const Org& o : m.orgs)
        orgs.row({q(o.code), q(o.name), q(QString(QLatin1Char(o.type))), q(o.deployed ? u"1"_s : u"0"_s)});
    orgs.flush();
    Inserter goods(conn, u"INSERT OR IGNORE INTO Goods (PluCode, PluName, Spec, BarCode, Price)"_s);
    for (const Good& g : m.goods) goods.row({q(g.code), q(g.name), q(g.spec), q(g.barCode), money(g.price)});
    goods.flush();
    Inserter staff(conn, u"INSERT OR IGNORE INTO Staffs (StaffCode, StaffName)"_s);
    Inserter groups(conn, u"INSERT OR IGNORE INTO XtUserSub (StaffCode, UGrpCode)"_s);
    for (const Staff& s : m.staff) {
        staff.row({q(s.code), q(s.name)});
        groups.row({q(s.code), q(s.group)});
    }
    staff.flush();
    groups.flush();
    Inserter userOrg(conn, u"INSERT OR IGNORE INTO UserOrg (StaffCode, OrgCode)"_s);
    for (const Org& o : m.orgs) {
        for (int a : o.advisors) userOrg.row({q(m.staff[size_t(a)].code), q(o.code)});
        for (int u : o.users) userOrg.row({q(m.staff[size_t(u)].code), q(o.code)});
    }
    // Head-office staff may see the offices and every fifth counter.
    for (const Staff& s : m.staff) {
        if (s.group != u"02"_s && s.group != u"04"_s) continue;
        for (size_t i = 0; i < m.orgs.size(); ++i)
            if (i < size_t(kOffices) || (i + size_t(s.code.toInt())) % 5 == 0) userOrg.row({q(s.code), q(m.orgs[i].code)});
    }
    userOrg.flush();
}

QVariant scalar(TADOConnection& conn, const QString& sql)
{
    TADOQuery qry(&conn);
    qry.SQL << sql;
    qry.Open();
    return qry.Eof() ? QVariant() : qry.Field(0).Value();
}

QString remark(Rng& rng, const std::vector<QString>& fragments, const std::vector<QString>& common,
               const std::vector<QString>& mix)
{
    if (rng.below(10) < 3) return rng.below(2) ? QString() : rng.pick(common);
    const int target = rng.between(4, 30);
    QString s;
    while (s.size() < target) {
        if (!s.isEmpty() && rng.below(4) == 0) s += u'，';
        if (rng.below(5) < 3) {
            s += rng.pick(fragments);
        } else {
            for (int k = rng.between(2, 4); k > 0; --k) s += rng.pick(mix);
        }
    }
    s.truncate(target);
    if (s.endsWith(u'，')) s.chop(1);
    while (s.size() < 4) s += rng.pick(mix);
    return s;
}

// One trial before it is written.
struct Trial {
    int day; // index of the day in the period
    int second;
    int org, good, advisor, user;
    bool satisfied;
};

} // namespace

namespace Schema {

void generateTrials(TADOConnection& conn, int n, quint64 seed)
{
    if (n <= 0) return;
    if (conn.dialect() != Dialect::SQLite)
        throw DbError(u"只能在嵌入式（SQLite）数据库上执行："_s + conn.description());
    DbTransaction tx(&conn);

    const Masters m = makeMasters();
    writeMasters(conn, m);

    // The period: 36 months ending the day before anything stored, so that repeated runs go
    // further back and the summary report of any stored period sees only its own bills.
    QDate end = kDefaultPeriodEnd;
    for (const QString& sql : {u"select min(BookDate) from TryOutBK"_s, u"select min(DrawDate) from DrawForm"_s}) {
        const QVariant first = scalar(conn, sql);
        const QDate d = first.isNull() ? QDate() : QDate::fromString(first.toString(), u"yyyy-MM-dd"_s);
        if (d.isValid() && d <= end) end = d.addDays(-1);
    }
    const QDate start = QDate(end.year(), end.month(), 1).addMonths(-(kMonths - 1));
    const int days = int(start.daysTo(end)) + 1;

    // Trials per day: weekends busier, the business growing over the period; cumulative
    // rounding makes the total exact.
    std::vector<double> dayWeight(static_cast<size_t>(days));
    double totalWeight = 0;
    for (int d = 0; d < days; ++d) {
        const int dow = start.addDays(d).dayOfWeek();
        dayWeight[size_t(d)] = (dow >= 6 ? 1.4 : 1.0) * (0.8 + 0.4 * d / days);
        totalWeight += dayWeight[size_t(d)];
    }
    std::vector<int> perDay(static_cast<size_t>(days));
    {
        double cum = 0;
        qint64 done = 0;
        for (int d = 0; d < days; ++d) {
            cum += dayWeight[size_t(d)];
            const qint64 upto = d == days - 1 ? n : qint64(double(n) * cum / totalWeight + 0.5);
            perDay[size_t(d)] = int(upto - done);
            done = upto;
        }
    }
    std::vector<double> orgCum; // organisations that take trials, by weight
    std::vector<int> orgIdx;
    for (size_t i = 0; i < m.orgs.size(); ++i) {
        if (m.orgs[i].weight <= 0) continue;
        orgCum.push_back((orgCum.empty() ? 0 : orgCum.back()) + m.orgs[i].weight);
        orgIdx.push_back(int(i));
    }

    // Bill numbers already taken (by earlier runs).
    QSet<QString> takenBills;
    {
        TADOQuery bills(&conn);
        bills.SQL << u"select DrawNo from DrawForm where DrawNo like 'PL%'"_s;
        for (bills.Open(); !bills.Eof(); bills.Next()) takenBills.insert(bills.Field(0).AsString());
    }

    Rng rng(seed);
    const auto fragments = words(kFragments), common = words(kCommonRemarks), mix = chars(kRemarkChars);
    Inserter trials(conn, u"INSERT INTO TryOutBK (BookDate, BookTime, OrgCode, PluCode, Result, Remark, "
                          "ZdrCode, ZdrName, UserCode, UserName)"_s);
    Inserter forms(conn, u"INSERT INTO DrawForm (DrawNo, OrgCode, BillType, RzDate, DrawDate)"_s);
    Inserter lines(conn, u"INSERT INTO DrawDetail (DrawNo, PluCode, PluName, Counts, Cost, NetCost, Total)"_s);

    int day = 0;
    for (QDate month = start; month <= end; month = month.addMonths(1)) {
        const int firstDay = day;
        const int monthDays = std::min(month.daysInMonth(), int(month.daysTo(end)) + 1);
        // Which organisation each trial of the month goes to.
        std::vector<std::vector<int>> orgDays(m.orgs.size()); // days of the trials, per organisation
        for (int d = firstDay; d < firstDay + monthDays; ++d) {
            for (int k = 0; k < perDay[size_t(d)]; ++k) {
                const double u = rng.unit() * orgCum.back();
                const size_t j = size_t(std::upper_bound(orgCum.begin(), orgCum.end(), u) - orgCum.begin());
                orgDays[size_t(orgIdx[std::min(j, orgIdx.size() - 1)])].push_back(d);
            }
        }
        day = firstDay + monthDays;

        std::vector<Trial> monthTrials;
        std::unordered_set<uint64_t> keys;
        const QString yyyymm = month.toString(u"yyyyMM"_s);
        for (size_t oi = 0; oi < m.orgs.size(); ++oi) {
            const Org& o = m.orgs[oi];
            const std::vector<int>& tdays = orgDays[oi];
            int billNo = 0;
            auto newBill = [&](const QString& type, const QString& booked, int dayOfMonth) {
                QString no;
                do no = u"PL%1-%2-%3"_s.arg(yyyymm, o.code).arg(++billNo, 2, 10, QChar(u'0'));
                while (takenBills.contains(no));
                takenBills.insert(no);
                const QDate drawn = month.addDays(dayOfMonth);
                forms.row({q(no), q(o.code), q(type),
                           booked == u"null"_s ? u"NULL"_s : booked == u"yes"_s ? q(drawn.addDays(1).toString(Qt::ISODate)) : q(QString()),
                           q(drawn.toString(Qt::ISODate))});
                return no;
            };
            auto line = [&](const QString& no, int g, double counts) {
                const Good& gd = m.goods[size_t(g)];
                lines.row({q(no), q(gd.code), q(gd.name), QString::number(counts), money(counts * gd.price * 0.55),
                           money(counts * gd.price * 0.55 / 1.13), money(counts * gd.price)});
            };
            auto randomGoods = [&](int count, QSet<int>& used) {
                std::vector<int> out;
                for (int tries = 0; int(out.size()) < count && tries < count * 20; ++tries) {
                    const int g = rng.pick(o.assortment);
                    if (!used.contains(g)) {
                        used.insert(g);
                        out.push_back(g);
                    }
                }
                return out;
            };

            // Unbooked bills and bills of another type now and then, also where nothing was tried.
            if (o.weight > 0 && rng.below(10) == 0) {
                QSet<int> used;
                const QString no = newBill(u"1"_s, rng.below(2) ? u"null"_s : u"no"_s, rng.below(monthDays));
                for (int g : randomGoods(rng.between(1, 7), used)) line(no, g, rng.between(1, 5));
            }
            if (o.weight > 0 && rng.below(25) == 0) {
                QSet<int> used;
                const QString no = newBill(u"2"_s, u"yes"_s, 0);
                for (int g : randomGoods(rng.between(1, 7), used)) line(no, g, rng.between(1, 5));
            }
            const int t = int(tdays.size());
            if (t == 0) continue;

            // Booked sample-goods bills, about one per twenty trials, dated on the first of the
            // month (before any trial of it), with one to seven goods each; a good is on one
            // bill of the month only, and each line is tried at least once.
            int bills = std::max(1, (t + 10) / 20);
            std::vector<int> perBill(static_cast<size_t>(bills));
            int lineCount = 0;
            for (int& b : perBill) lineCount += (b = rng.between(1, 7));
            while (lineCount > t) { // fewer trials than lines: drop lines from the end
                if (perBill.back() > 1) --perBill.back();
                else perBill.pop_back();
                --lineCount;
            }
            QSet<int> used;
            std::vector<int> lineGood; // per line of the month
            std::vector<int> lineBill;
            for (size_t b = 0; b < perBill.size(); ++b)
                for (int g : randomGoods(perBill[b], used)) {
                    lineGood.push_back(g);
                    lineBill.push_back(int(b));
                }
            const int nl = int(lineGood.size());
            std::vector<int> lineTrials(size_t(nl), 0);
            for (int k = 0; k < t; ++k) {
                // The first trials cover every line; later ones favour the first lines.
                const int l = k < nl ? k : std::min(nl - 1, int(nl * rng.unit() * rng.unit() * 1.6) % nl);
                ++lineTrials[size_t(l)];
                Trial tr;
                tr.day = tdays[size_t(k)];
                tr.org = int(oi);
                tr.good = lineGood[size_t(l)];
                tr.advisor = rng.pick(o.advisors);
                tr.user = rng.pick(o.users);
                tr.satisfied = rng.unit() < m.goods[size_t(tr.good)].satisfied;
                // The key is unique: another second when this one is taken for the good here.
                for (;;) {
                    tr.second = kOpenSecond + rng.below(kOpenSeconds);
                    const uint64_t key = (uint64_t(tr.day) << 50) | (uint64_t(oi) << 40) | (uint64_t(tr.good) << 20) |
                                         uint64_t(tr.second);
                    if (keys.insert(key).second) break;
                }
                monthTrials.push_back(tr);
            }
            std::vector<QString> billNos;
            for (size_t b = 0; b < perBill.size(); ++b) billNos.push_back(newBill(u"1"_s, u"yes"_s, 0));
            for (int l = 0; l < nl; ++l)
                line(billNos[size_t(lineBill[size_t(l)])], lineGood[size_t(l)], (lineTrials[size_t(l)] + 3) / 4);
        }

        // The month's trials in date and time order, so that the indexes grow at their end.
        std::sort(monthTrials.begin(), monthTrials.end(), [](const Trial& a, const Trial& b) {
            return a.day != b.day ? a.day < b.day : a.second < b.second;
        });
        int lastDay = -1;
        QString date;
        for (const Trial& tr : monthTrials) {
            if (tr.day != lastDay) {
                lastDay = tr.day;
                date = q(start.addDays(tr.day).toString(Qt::ISODate));
            }
            const Org& o = m.orgs[size_t(tr.org)];
            const Staff& a = m.staff[size_t(tr.advisor)];
            const Staff& u = m.staff[size_t(tr.user)];
            const QString time = u"%1:%2:%3"_s.arg(tr.second / 3600, 2, 10, QChar(u'0'))
                                     .arg(tr.second / 60 % 60, 2, 10, QChar(u'0'))
                                     .arg(tr.second % 60, 2, 10, QChar(u'0'));
            trials.row({date, q(time), q(o.code), q(m.goods[size_t(tr.good)].code),
                        q(tr.satisfied ? u"0"_s : u"1"_s), q(remark(rng, fragments, common, mix)), q(a.code),
                        q(a.name), q(u.code), q(u.name)});
        }
    }
    trials.flush();
    forms.flush();
    lines.flush();
    tx.commit();
}

} // namespace Schema
