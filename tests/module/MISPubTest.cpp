// Query component helpers, the shared connection, the organisation list and the rights test on
// the demo database.
#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "module/MISPub.h"
#include "platform/text/Gbk.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>

#include <dlfcn.h>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

QStringList itemsOf(const QComboBox& c)
{
    QStringList l;
    for (int i = 0; i < c.count(); ++i) l << c.itemText(i);
    return l;
}

QString logText()
{
    QFile f(QDir(qEnvironmentVariable("QOR_LOG_DIR")).filePath(QStringLiteral("SysErr.Log")));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return Gbk::decode(f.readAll());
}

// A provider that reports information along with success: an SQL function qor_note(text) that
// puts an informational record into the connection's error collection, as ODBC's
// success-with-info does. Registered for the databases opened while the object lives. The
// SQLite entry points are looked up in the process (the database layer loaded the library).
TADOConnection* g_noteTarget = nullptr;

template <class F>
F sqliteFn(const char* name)
{
    auto f = reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
    if (!f) throw std::runtime_error(std::string("missing ") + name);
    return f;
}

void noteFunc(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto text = sqliteFn<decltype(&sqlite3_value_text)>("sqlite3_value_text")(argv[0]);
    if (g_noteTarget)
        g_noteTarget->addError(TDbErrorRecord{5701, QString::fromUtf8(reinterpret_cast<const char*>(text)),
                                              QStringLiteral("01000"), true});
    sqliteFn<decltype(&sqlite3_result_int)>("sqlite3_result_int")(ctx, 1);
}

int registerNote(sqlite3* db, char**, const sqlite3_api_routines*)
{
    return sqliteFn<decltype(&sqlite3_create_function)>("sqlite3_create_function")(
        db, "qor_note", 1, SQLITE_UTF8, nullptr, &noteFunc, nullptr, nullptr);
}

struct NoteFunction {
    NoteFunction()
    {
        sqliteFn<decltype(&sqlite3_auto_extension)>("sqlite3_auto_extension")(reinterpret_cast<void (*)()>(&registerNote));
    }
    ~NoteFunction()
    {
        sqliteFn<decltype(&sqlite3_cancel_auto_extension)>("sqlite3_cancel_auto_extension")(
            reinterpret_cast<void (*)()>(&registerNote));
        g_noteTarget = nullptr;
    }
};

class MISPubTest : public HostTest {};

} // namespace

// --- parameters -----------------------------------------------------------------------------

TEST(FixParamSizes, SizesEachParameterToItsValueAndOnlyGrows)
{
    TADOQuery q;
    auto set = [&](const char* name, QVariant v, int declared) {
        DbParam& p = q.Parameters.ParamByName(QString::fromLatin1(name));
        p.Value = std::move(v);
        p.Size = declared;
    };
    set("Empty", QString(QLatin1String("")), 0);
    set("Ascii", QStringLiteral("abc"), 0);
    set("Chinese", QStringLiteral("王芳A"), 0); // GBK: 2 + 2 + 1 bytes
    set("Wide", QStringLiteral("abc"), 50);     // declared larger: kept
    set("Narrow", QStringLiteral("abcdef"), 2); // declared smaller: grows
    set("EmptyDeclared", QString(QLatin1String("")), 5);
    set("Null", QVariant(), 0);
    set("Number", 42, 0);
    set("Bytes", QByteArray("12345"), 0);
    set("List", QVariantList{1, 2, 3}, 0);
    FixParamSizes(q);
    auto size = [&](const char* n) { return q.Parameters.FindParam(QString::fromLatin1(n))->Size; };
    EXPECT_EQ(size("Empty"), -1);
    EXPECT_EQ(size("Ascii"), 3);
    EXPECT_EQ(size("Chinese"), 5);
    EXPECT_EQ(size("Wide"), 50);
    EXPECT_EQ(size("Narrow"), 6);
    EXPECT_EQ(size("EmptyDeclared"), 5);
    EXPECT_EQ(size("Null"), -1);
    EXPECT_EQ(size("Number"), 16);
    EXPECT_EQ(size("Bytes"), 5);
    EXPECT_EQ(size("List"), 3);
}

TEST_F(MISPubTest, EmptyStringParameterStillBindsAsEmptyText)
{
    TQorAdoQry q(GetSharedConnection());
    q.SQL << QStringLiteral("select count(*) as N from Staffs where StaffName<>:Name");
    q.Parameters.ParamByName(QStringLiteral("Name")).Value = QString(QLatin1String(""));
    q.OpenSized();
    EXPECT_EQ(q.Parameters.FindParam(QStringLiteral("Name"))->Size, -1);
    EXPECT_GT(q.FieldByName(QStringLiteral("N")).AsInteger(), 0);
}

// --- shared connection ----------------------------------------------------------------------

TEST_F(MISPubTest, SharedConnectionIsTheHostsConnectionFetchedAnew)
{
    EXPECT_EQ(GetSharedConnection(), db.get());
    auto other = makeTestDb(false);
    qorHostConnection() = other.get();
    EXPECT_EQ(GetSharedConnection(), other.get());
    qorHostConnection() = nullptr;
    EXPECT_EQ(GetSharedConnection(), nullptr);
    // A query on no connection fails with the layer's error, not a crash.
    TQorAdoQry q(GetSharedConnection());
    q.SQL << QStringLiteral("select 1");
    EXPECT_THROW(q.OpenSized(), DbError);
    EXPECT_THROW(ExecChecked(q), DbError);
}

// --- checked execution ----------------------------------------------------------------------

TEST_F(MISPubTest, ExecCheckedReturnsAffectedRowsAndReportsProviderErrors)
{
    TQorAdoQry q(GetSharedConnection());
    q.SQL << QStringLiteral("update Staffs set StaffName=StaffName where StaffCode in (:A,:B)");
    q.Parameters.ParamByName(QStringLiteral("A")).Value = QStringLiteral("1001");
    q.Parameters.ParamByName(QStringLiteral("B")).Value = QStringLiteral("1002");
    EXPECT_EQ(ExecChecked(q), 2);

    TQorAdoQry dup(GetSharedConnection());
    dup.SQL << QStringLiteral("insert into Staffs (StaffCode, StaffName) values (:Code, :Name)");
    dup.Parameters.ParamByName(QStringLiteral("Code")).Value = QStringLiteral("1001");
    dup.Parameters.ParamByName(QStringLiteral("Name")).Value = QStringLiteral("重复");
    try {
        ExecChecked(dup);
        FAIL() << "a duplicate key must fail";
    } catch (const DbError& e) {
        ASSERT_FALSE(db->Errors().isEmpty());
        EXPECT_EQ(e.message(), db->Errors().first().Description);
        EXPECT_TRUE(e.isUniqueViolation());
    }
    EXPECT_EQ(queryRows(*db, QStringLiteral("select StaffName from Staffs where StaffCode='1001'")),
              QStringList{QStringLiteral("王芳")});
}

TEST_F(MISPubTest, InformationalRecordsNeverTurnSuccessIntoFailureAndGoToTheLog)
{
    NoteFunction note;
    auto conn = makeTestDb(true);
    qorHostConnection() = conn.get();
    g_noteTarget = conn.get();

    TQorAdoQry q(GetSharedConnection());
    q.SQL << QStringLiteral("update Staffs set StaffName=:Name where StaffCode=:Code")
          << QStringLiteral(" and qor_note('Null value is eliminated by an aggregate')=1");
    q.Parameters.ParamByName(QStringLiteral("Name")).Value = QStringLiteral("王芳芳");
    q.Parameters.ParamByName(QStringLiteral("Code")).Value = QStringLiteral("1001");
    EXPECT_EQ(ExecChecked(q), 1);
    EXPECT_EQ(queryRows(*conn, QStringLiteral("select StaffName from Staffs where StaffCode='1001'")),
              QStringList{QStringLiteral("王芳芳")});
    EXPECT_TRUE(logText().contains(QStringLiteral("信息: [01000] Null value is eliminated by an aggregate")));
    EXPECT_TRUE(prompts->calls.empty());

    // A real error behind an informational record: the error is what fails the statement.
    TQorAdoQry dup(GetSharedConnection());
    dup.SQL << QStringLiteral("insert into Staffs (StaffCode, StaffName)")
            << QStringLiteral("select :Code, 'x' where qor_note('trigger said hello')=1");
    dup.Parameters.ParamByName(QStringLiteral("Code")).Value = QStringLiteral("1002");
    try {
        ExecChecked(dup);
        FAIL() << "a duplicate key must fail";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isUniqueViolation());
        EXPECT_FALSE(e.message().contains(QStringLiteral("hello")));
    }
    EXPECT_TRUE(logText().contains(QStringLiteral("trigger said hello")));
    qorHostConnection() = db.get();
}

// --- organisation list ----------------------------------------------------------------------

TEST_F(MISPubTest, HeadOfficeUserSeesHisOrganisationsWithHeadOfficeKindsFirst)
{
    QComboBox c;
    c.setEnabled(false);
    BuildOrgList(&c, 0, true);
    EXPECT_EQ(itemsOf(c), (QStringList{QStringLiteral("<全部>"), QStringLiteral("0001-总部"),
                                       QStringLiteral("0101-一楼化妆品"), QStringLiteral("0102-二楼护肤品"),
                                       QStringLiteral("0103-三楼香水"), QStringLiteral("0301-加盟一店")}));
    EXPECT_EQ(c.currentIndex(), 0);
    EXPECT_TRUE(c.isEnabled());

    BuildOrgList(&c, 2, false); // the kinds that take try-out records
    EXPECT_EQ(itemsOf(c), (QStringList{QStringLiteral("0101-一楼化妆品"), QStringLiteral("0102-二楼护肤品"),
                                       QStringLiteral("0103-三楼香水"), QStringLiteral("0301-加盟一店")}));
    EXPECT_EQ(c.currentText(), QStringLiteral("0101-一楼化妆品"));
}

TEST_F(MISPubTest, HeadOfficeUserWithoutUserOrgRowsGetsNothingButAll)
{
    qorSession().userCode = QStringLiteral("1002");
    QComboBox c;
    BuildOrgList(&c, 0, true);
    EXPECT_EQ(itemsOf(c), QStringList{QStringLiteral("<全部>")});
    BuildOrgList(&c, 0, false);
    EXPECT_EQ(c.count(), 0);
    EXPECT_EQ(c.currentIndex(), -1);
    EXPECT_TRUE(c.isEnabled());

    // A code with a quote is a value, not SQL.
    qorSession().userCode = QStringLiteral("x' or '1'='1");
    BuildOrgList(&c, 0, false);
    EXPECT_EQ(c.count(), 0);
}

TEST_F(MISPubTest, AdministratorSeesEveryOrganisationOfEachKind)
{
    const std::map<int, QStringList> expected = {
        {0, {u"0001"_s, u"0002"_s, u"0101"_s, u"0102"_s, u"0103"_s, u"0104"_s, u"0201"_s, u"0301"_s}},
        {1, {u"0001"_s, u"0002"_s}},
        {2, {u"0101"_s, u"0102"_s, u"0103"_s, u"0301"_s}},
        {3, {u"0104"_s, u"0201"_s}},
        {4, {u"0101"_s, u"0102"_s, u"0103"_s, u"0104"_s, u"0201"_s, u"0301"_s}},
        {5, {u"0001"_s, u"0002"_s, u"0101"_s, u"0102"_s, u"0103"_s, u"0301"_s}},
        {6, {u"0001"_s, u"0002"_s, u"0104"_s, u"0201"_s}},
        {7, {u"0101"_s, u"0102"_s, u"0103"_s, u"0104"_s, u"0201"_s}},
        {8, {u"0001"_s, u"0002"_s, u"0101"_s, u"0102"_s, u"0103"_s, u"0104"_s, u"0201"_s, u"0301"_s}}, // unknown kind: no filter
    };
    for (const QString& admin : {QStringLiteral("QVW"), QStringLiteral("qvw")}) {
        qorSession().userCode = admin;
        for (const auto& [kind, codes] : expected) {
            QComboBox c;
            BuildOrgList(&c, kind, false);
            QStringList got;
            for (const QString& item : itemsOf(c)) got << item.section(QLatin1Char('-'), 0, 0);
            EXPECT_EQ(got, codes) << "kind " << kind << " user " << admin.toStdString();
        }
    }
    QComboBox c;
    BuildOrgList(&c, 1, false);
    EXPECT_EQ(itemsOf(c), (QStringList{QStringLiteral("0001-总部"), QStringLiteral("0002-配送中心")}));
}

TEST_F(MISPubTest, ShopStationGetsItsOwnOrganisationOnlyAndADisabledCombo)
{
    useShopStation(QStringLiteral("0101"), QStringLiteral("一楼化妆品"));
    qorSession().userCode = QStringLiteral("2001");
    QComboBox c;
    BuildOrgList(&c, 0, true);
    EXPECT_EQ(itemsOf(c), QStringList{QStringLiteral("0101-一楼化妆品")});
    EXPECT_EQ(c.currentIndex(), 0);
    EXPECT_FALSE(c.isEnabled());
}

TEST_F(MISPubTest, OrgListDatabaseErrorsReachTheCaller)
{
    qorHostConnection() = nullptr;
    QComboBox c;
    EXPECT_THROW(BuildOrgList(&c, 0, true), DbError);
}

// --- function rights ------------------------------------------------------------------------

TEST_F(MISPubTest, FunctionRightFollowsTheUsersGroups)
{
    EXPECT_TRUE(HasFunctionRight(QStringLiteral("080101"), QStringLiteral("1001"), QString()));
    EXPECT_TRUE(HasFunctionRight(QStringLiteral("080101"), QStringLiteral("1001"), QStringLiteral("03")));
    EXPECT_FALSE(HasFunctionRight(QStringLiteral("080102"), QStringLiteral("1001"), QStringLiteral("01")));
    EXPECT_TRUE(HasFunctionRight(QStringLiteral("op01"), QStringLiteral("1001"), QStringLiteral("Op01")));
    EXPECT_FALSE(HasFunctionRight(QStringLiteral("999999"), QStringLiteral("1001"), QString()));
    EXPECT_FALSE(HasFunctionRight(QStringLiteral("080101"), QStringLiteral("9999"), QString()));
    EXPECT_FALSE(HasFunctionRight(QStringLiteral("080101' or ''='"), QStringLiteral("1001' or ''='"), QString()));
}

TEST(IsAdminUser, ComparesAsTheServerDoes)
{
    EXPECT_TRUE(IsAdminUser(QStringLiteral("QVW")));
    EXPECT_TRUE(IsAdminUser(QStringLiteral("Qvw  ")));
    EXPECT_FALSE(IsAdminUser(QStringLiteral(" QVW")));
    EXPECT_FALSE(IsAdminUser(QStringLiteral("QVW1")));
    EXPECT_FALSE(IsAdminUser(QString()));
}
