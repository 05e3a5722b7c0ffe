// Rules of the print-format catalogue, rights and defaults, on the demo database.
#include "framework/PrintFmtRules.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class PrintFmtRulesTest : public HostTest {
protected:
    void exec(const QString& sql) { db->executeScript(sql); }
    QStringList rows(const QString& sql) { return queryRows(*db, sql); }
    QStringList menu(const QString& user, const QString& station, const QString& ver,
                     const QString& key = QStringLiteral("TryOut"))
    {
        QStringList out;
        for (const PrnMenuEntry& e : LoadPrnMenuEntries(db.get(), key, user, station, ver))
            out << QString::number(e.SerialNo) + (e.IsDefault ? QStringLiteral("*") : QString());
        return out;
    }
    QStringList rights(int serial)
    {
        return rows(QStringLiteral("select PrnType,PrnCode,SerialNo,UGrpCode from tXtRightPrn "
                                   "where PrnCode='TryOut' and SerialNo=%1 order by UGrpCode")
                        .arg(serial));
    }
    PrnFmtSave save(bool adding, int current, const QString& serial, const QString& user)
    {
        PrnFmtSave s;
        s.prnCode = QStringLiteral("TryOut");
        s.adding = adding;
        s.currentSerial = current;
        s.serialText = serial;
        s.name = QStringLiteral(" 新格式 ");
        s.remark = QStringLiteral("备注;可以有分号");
        s.ver = QStringLiteral("1");
        s.userCode = user;
        return s;
    }
};

TEST_F(PrintFmtRulesTest, EditionFilterLinesAndTheirEffect)
{
    EXPECT_EQ(PrnEditionFilter(QStringLiteral("0")), QStringLiteral("and (VER='0' or VER='2')"));
    EXPECT_EQ(PrnEditionFilter(QStringLiteral("1")), QStringLiteral("and (VER='1' or VER='2')"));
    EXPECT_EQ(PrnEditionFilter(QStringLiteral("1"), QStringLiteral("P")),
              QStringLiteral("and (P.VER='1' or P.VER='2')"));
    EXPECT_TRUE(PrnEditionFilter(QStringLiteral("2")).isEmpty());
    EXPECT_TRUE(PrnEditionFilter(QString()).isEmpty());
    QStringList sql{QStringLiteral("x")};
    AppendPrnEditionFilter(sql, QStringLiteral("2"));
    EXPECT_EQ(sql.size(), 1);

    // Demo formats 1, 2, 3 of TryOut are of editions 0, 1 and 2; both menu variants filter alike.
    for (const QString& user : {QStringLiteral("QVW"), QStringLiteral("1001")}) {
        EXPECT_EQ(menu(user, QStringLiteral("WS01"), QStringLiteral("0")), QStringList({u"1"_s, u"3"_s})) << user.toStdString();
        EXPECT_EQ(menu(user, QStringLiteral("WS01"), QStringLiteral("1")), QStringList({u"2"_s, u"3"_s})) << user.toStdString();
        EXPECT_EQ(menu(user, QStringLiteral("WS01"), QStringLiteral("2")), QStringList({u"1"_s, u"2"_s, u"3"_s})) << user.toStdString();
    }
}

TEST_F(PrintFmtRulesTest, MenuListsOnlyFormatsOfTheUsersGroupsExceptForTheAdministrator)
{
    // 2001 (group 03) holds TryOut 1 and 3; 1002 (group 04) only 3.
    EXPECT_EQ(menu(QStringLiteral("2001"), QStringLiteral("WS01"), QStringLiteral("2")),
              QStringList({u"1"_s, u"3*"_s}));
    EXPECT_EQ(menu(QStringLiteral("1002"), QStringLiteral("WS01"), QStringLiteral("2")), QStringList({u"3"_s}));
    // No group at all: a valid statement with no rows, not a failure.
    EXPECT_TRUE(menu(QStringLiteral("9999"), QStringLiteral("WS01"), QStringLiteral("2")).isEmpty());
    // The administrator in any letter case sees every format.
    EXPECT_TRUE(IsPrnMenuAdmin(QStringLiteral("qvw")));
    exec(QStringLiteral("delete from tXtRightPrn"));
    EXPECT_EQ(menu(QStringLiteral("qVw"), QStringLiteral("WS01"), QStringLiteral("2")), QStringList({u"1"_s, u"2"_s, u"3"_s}));
    EXPECT_TRUE(menu(QStringLiteral("1001"), QStringLiteral("WS01"), QStringLiteral("2")).isEmpty());
}

TEST_F(PrintFmtRulesTest, UserValuesAreBoundNotPasted)
{
    exec(QStringLiteral("insert into XtUserSub values ('O''B', '02');"
                        "insert into tXtPrnDefault values ('TryOut', 2, 'O''B', 'W''1')"));
    EXPECT_EQ(menu(QStringLiteral("O'B"), QStringLiteral("W'1"), QStringLiteral("2")),
              QStringList({u"1"_s, u"2*"_s, u"3"_s}));
    EXPECT_EQ(ReadPrnDefault(db.get(), QStringLiteral("TryOut"), QStringLiteral("O'B"), QStringLiteral("W'1"),
                             QStringLiteral("2")),
              2);
    for (const QString& line : PrnMenuSql(false, QStringLiteral("1")))
        EXPECT_FALSE(line.contains(QStringLiteral(" in ()")));
}

TEST_F(PrintFmtRulesTest, DefaultReadPrefersTheWorkstationRowAndIgnoresUnlistedFormats)
{
    const QString key = QStringLiteral("TryOut");
    const QString ver = QStringLiteral("2");
    EXPECT_EQ(ReadPrnDefault(db.get(), key, QStringLiteral("1001"), QStringLiteral("WS01"), ver), -1);
    // 2001's demo default (format 3, no workstation) holds on every workstation.
    EXPECT_EQ(ReadPrnDefault(db.get(), key, QStringLiteral("2001"), QStringLiteral("WS01"), ver), 3);
    EXPECT_EQ(ReadPrnDefault(db.get(), key, QStringLiteral("2001"), QStringLiteral("ANY"), ver), 3);

    // A workstation row wins over the workstation-free one, whatever the storage order.
    exec(QStringLiteral("delete from tXtPrnDefault;"
                        "insert into tXtPrnDefault values ('TryOut', 1, '2001', 'WS01');"
                        "insert into tXtPrnDefault values ('TryOut', 3, '2001', NULL)"));
    EXPECT_EQ(ReadPrnDefault(db.get(), key, QStringLiteral("2001"), QStringLiteral("WS01"), ver), 1);
    EXPECT_EQ(ReadPrnDefault(db.get(), key, QStringLiteral("2001"), QStringLiteral("WS02"), ver), 3);
    EXPECT_EQ(menu(QStringLiteral("2001"), QStringLiteral("WS01"), ver), QStringList({u"1*"_s, u"3"_s}));
    EXPECT_EQ(menu(QStringLiteral("2001"), QStringLiteral("WS02"), ver), QStringList({u"1"_s, u"3*"_s}));

    // Both rows naming the same format: listed once, ticked once.
    exec(QStringLiteral("delete from tXtPrnDefault;"
                        "insert into tXtPrnDefault values ('TryOut', 3, '2001', '');"
                        "insert into tXtPrnDefault values ('TryOut', 3, '2001', 'WS01')"));
    EXPECT_EQ(menu(QStringLiteral("2001"), QStringLiteral("WS01"), ver), QStringList({u"1"_s, u"3*"_s}));

    // A default the menus would not list (no right, other edition, deleted) counts as none,
    // and its row stays.
    exec(QStringLiteral("delete from tXtPrnDefault;"
                        "insert into tXtPrnDefault values ('TryOut', 2, '2001', 'WS01')"));
    EXPECT_EQ(ReadPrnDefault(db.get(), key, QStringLiteral("2001"), QStringLiteral("WS01"), ver), -1);
    EXPECT_EQ(ReadPrnDefault(db.get(), key, QStringLiteral("QVW"), QStringLiteral("WS01"), ver), -1);
    exec(QStringLiteral("insert into tXtPrnDefault values ('TryOut', 1, 'QVW', '')"));
    EXPECT_EQ(ReadPrnDefault(db.get(), key, QStringLiteral("QVW"), QStringLiteral("WS01"), QStringLiteral("1")), -1);
    EXPECT_EQ(ReadPrnDefault(db.get(), key, QStringLiteral("QVW"), QStringLiteral("WS01"), QStringLiteral("0")), 1);
    EXPECT_EQ(rows(QStringLiteral("select count(*) from tXtPrnDefault")), QStringList({u"2"_s}));
}

// A workstation default naming a deleted format and a user default naming format 3: the menu
// ticks 3, and printing uses 3 as well.
TEST_F(PrintFmtRulesTest, TheMenuAndPrintingAgreeOnTheDefaultWhenTheStationsFormatIsGone)
{
    const QString key = QStringLiteral("TryOut");
    const QString ver = QStringLiteral("2");
    exec(QStringLiteral("delete from tXtPrnDefault;"
                        "insert into tXtPrnDefault values ('TryOut', 9, '2001', 'WS01');"
                        "insert into tXtPrnDefault values ('TryOut', 3, '2001', '')"));
    EXPECT_EQ(menu(QStringLiteral("2001"), QStringLiteral("WS01"), ver), QStringList({u"1"_s, u"3*"_s}));
    EXPECT_EQ(ReadPrnDefault(db.get(), key, QStringLiteral("2001"), QStringLiteral("WS01"), ver), 3);
}

TEST_F(PrintFmtRulesTest, StoringADefaultReplacesBothRowsOfTheUserInOneTransaction)
{
    exec(QStringLiteral("insert into tXtPrnDefault values ('TryOut', 1, '2001', 'WS01');"
                        "insert into tXtPrnDefault values ('TryOut', 1, '2001', 'WS02');"
                        "insert into tXtPrnDefault values ('TryOutR', 2, '2001', '')"));
    StorePrnDefault(db.get(), QStringLiteral("TryOut"), 1, QStringLiteral("2001"), QStringLiteral("WS01"));
    EXPECT_EQ(rows(QStringLiteral("select PrnCode,SerialNo,UserCode,WorkStation from tXtPrnDefault "
                                  "order by PrnCode,WorkStation")),
              QStringList({u"TryOut\t1\t2001\tWS01"_s, u"TryOut\t1\t2001\tWS02"_s, u"TryOutR\t2\t2001\t"_s}));

    // A failing insert keeps the previous default.
    exec(QStringLiteral("create trigger NoDefault before insert on tXtPrnDefault "
                        "begin select raise(abort, 'no new default'); end"));
    EXPECT_THROW(StorePrnDefault(db.get(), QStringLiteral("TryOut"), 3, QStringLiteral("2001"),
                                 QStringLiteral("WS01")),
                 DbError);
    EXPECT_EQ(rows(QStringLiteral("select SerialNo from tXtPrnDefault where UserCode='2001' and "
                                  "WorkStation='WS01'")),
              QStringList({u"1"_s}));

    ForgetPrnDefault(db.get(), QStringLiteral("TryOut"), QStringLiteral("2001"), QStringLiteral("WS02"));
    EXPECT_EQ(rows(QStringLiteral("select WorkStation from tXtPrnDefault where PrnCode='TryOut'")),
              QStringList({u"WS01"_s}));
}

TEST_F(PrintFmtRulesTest, SerialNumberAndNameRules)
{
    EXPECT_EQ(ParsePrnSerialNo(QStringLiteral(" 5 ")), 5);
    EXPECT_EQ(ParsePrnSerialNo(QStringLiteral("000000007")), 7);
    EXPECT_EQ(ParsePrnSerialNo(QStringLiteral("999999999")), 999999999);
    for (const QString& bad : {QString(), QStringLiteral("  "), QStringLiteral("12a"), QStringLiteral("-1"),
                              QStringLiteral("+1"), QStringLiteral("1 2"), QStringLiteral("５"),
                              QStringLiteral("1234567890")})
        EXPECT_FALSE(ParsePrnSerialNo(bad).has_value()) << bad.toStdString();

    EXPECT_EQ(CheckPrnName(QStringLiteral("  ")), PrnFmtProblem::NameMissing);
    EXPECT_EQ(CheckPrnName(QStringLiteral("a;b")), PrnFmtProblem::NameHasSemicolon);
    EXPECT_EQ(CheckPrnName(QStringLiteral("明细")), PrnFmtProblem::None);
    EXPECT_EQ(PrnFmtProblemText(PrnFmtProblem::NameHasSemicolon),
              QStringLiteral("打印格式名称不允许包含字符 \";\" ！"));

    const QString key = QStringLiteral("TryOut");
    // Checks in order: number, name, semicolon, duplicate.
    EXPECT_EQ(ValidatePrnFormat(db.get(), key, true, 0, QString(), QString()), PrnFmtProblem::SerialMissing);
    EXPECT_EQ(ValidatePrnFormat(db.get(), key, true, 0, QStringLiteral("3"), QString()), PrnFmtProblem::NameMissing);
    EXPECT_EQ(ValidatePrnFormat(db.get(), key, true, 0, QStringLiteral("3"), QStringLiteral("x;")),
              PrnFmtProblem::NameHasSemicolon);
    EXPECT_EQ(ValidatePrnFormat(db.get(), key, true, 0, QStringLiteral("3"), QStringLiteral("x")),
              PrnFmtProblem::DuplicateSerial);
    EXPECT_EQ(ValidatePrnFormat(db.get(), key, true, 0, QStringLiteral("4"), QStringLiteral("x")), PrnFmtProblem::None);
    // Editing 3 without changing its number skips the check; changing it to an existing 2 fails.
    EXPECT_EQ(ValidatePrnFormat(db.get(), key, false, 3, QStringLiteral("3"), QStringLiteral("x")), PrnFmtProblem::None);
    EXPECT_EQ(ValidatePrnFormat(db.get(), key, false, 3, QStringLiteral("2"), QStringLiteral("x")),
              PrnFmtProblem::DuplicateSerial);
    // Formats of another print type do not count.
    exec(QStringLiteral("insert into tXtPrnFormat values ('2', 'TryOut', 8, '1', 'other', '')"));
    EXPECT_FALSE(PrnSerialExists(db.get(), key, 8));
}

TEST_F(PrintFmtRulesTest, AddingGrantsTheFormatToEveryGroupOfTheEditor)
{
    exec(QStringLiteral("insert into XtUserGrp values ('A1', 'a'), ('B2', 'b');"
                        "insert into XtUserSub values ('5001', 'A1'), ('5001', 'B2');"
                        "insert into tXtRightPrn values ('1', 'TryOut', 5, 'A1')"));
    ASSERT_EQ(SavePrnFormat(db.get(), save(true, 0, QStringLiteral("5"), QStringLiteral("5001"))),
              PrnFmtProblem::None);
    EXPECT_EQ(rows(QStringLiteral("select PrnType,SerialNo,VER,PrnName,Remark from tXtPrnFormat "
                                  "where PrnCode='TryOut' and SerialNo=5")),
              QStringList({u"1\t5\t1\t新格式\t备注;可以有分号"_s}));
    EXPECT_EQ(rights(5), QStringList({u"1\tTryOut\t5\tA1"_s, u"1\tTryOut\t5\tB2"_s}));

    // The same number again is refused and writes nothing.
    EXPECT_EQ(SavePrnFormat(db.get(), save(true, 0, QStringLiteral("5"), QStringLiteral("5001"))),
              PrnFmtProblem::DuplicateSerial);
    EXPECT_EQ(rows(QStringLiteral("select count(*) from tXtPrnFormat where SerialNo=5")), QStringList({u"1"_s}));
}

TEST_F(PrintFmtRulesTest, TheAdministratorSpeltExactlyGrantsNothing)
{
    ASSERT_EQ(SavePrnFormat(db.get(), save(true, 0, QStringLiteral("6"), QStringLiteral("QVW"))),
              PrnFmtProblem::None);
    EXPECT_TRUE(rights(6).isEmpty());
    // In lower case the user is an ordinary user here: QVW's group 02 receives the right.
    ASSERT_EQ(SavePrnFormat(db.get(), save(true, 0, QStringLiteral("7"), QStringLiteral("qvw"))),
              PrnFmtProblem::None);
    EXPECT_EQ(rights(7), QStringList({u"1\tTryOut\t7\t02"_s}));
}

TEST_F(PrintFmtRulesTest, EditingRenumbersAndGrantsTheNewNumberLeavingTheOldRows)
{
    // Format 3 is of edition "2"; saved in edition "1" it becomes a format of edition "1".
    exec(QStringLiteral("insert into tXtPrnDefault values ('TryOut', 3, '1001', '')"));
    ASSERT_EQ(SavePrnFormat(db.get(), save(false, 3, QStringLiteral("6"), QStringLiteral("2001"))),
              PrnFmtProblem::None);
    EXPECT_EQ(rows(QStringLiteral("select SerialNo,VER,PrnName from tXtPrnFormat where PrnCode='TryOut' "
                                  "order by SerialNo")),
              QStringList({u"1\t0\t试用登记明细表"_s, u"2\t1\t试用登记(总部)"_s, u"6\t1\t新格式"_s}));
    EXPECT_EQ(rights(3), QStringList({u"1\tTryOut\t3\t02"_s, u"1\tTryOut\t3\t03"_s, u"1\tTryOut\t3\t04"_s}));
    EXPECT_EQ(rights(6), QStringList({u"1\tTryOut\t6\t03"_s}));
    EXPECT_EQ(rows(QStringLiteral("select SerialNo from tXtPrnDefault where UserCode='1001'")), QStringList({u"3"_s}));

    // Editing a format that is gone updates nothing and grants nothing.
    EXPECT_EQ(SavePrnFormat(db.get(), save(false, 42, QStringLiteral("43"), QStringLiteral("2001"))),
              PrnFmtProblem::FormatMissing);
    EXPECT_TRUE(rights(43).isEmpty());
}

TEST_F(PrintFmtRulesTest, AFailedGrantUndoesTheSave)
{
    exec(QStringLiteral("create trigger NoRight before insert on tXtRightPrn "
                        "begin select raise(abort, 'rights locked'); end"));
    EXPECT_THROW(SavePrnFormat(db.get(), save(true, 0, QStringLiteral("9"), QStringLiteral("1001"))), DbError);
    EXPECT_EQ(rows(QStringLiteral("select count(*) from tXtPrnFormat where SerialNo=9")), QStringList({u"0"_s}));
}

TEST_F(PrintFmtRulesTest, DeletingAFormatTakesItsRightsAndLeavesDefaults)
{
    exec(QStringLiteral("insert into tXtPrnFormat values ('2', 'TryOut', 3, '1', 'other type', '');"
                        "insert into tXtRightPrn values ('2', 'TryOut', 3, '02');"
                        "insert into tXtPrnDefault values ('TryOut', 3, '1001', 'WS01')"));
    DeletePrnFormat(db.get(), QStringLiteral("TryOut"), 3);
    EXPECT_EQ(rows(QStringLiteral("select PrnType from tXtPrnFormat where PrnCode='TryOut' and SerialNo=3")),
              QStringList({u"2"_s}));
    EXPECT_EQ(rights(3), QStringList({u"2\tTryOut\t3\t02"_s}));
    EXPECT_EQ(rows(QStringLiteral("select UserCode from tXtPrnDefault where PrnCode='TryOut' and SerialNo=3 "
                                  "order by UserCode")),
              QStringList({u"1001"_s, u"2001"_s}));
    // The other form's format 3 is untouched.
    EXPECT_EQ(rows(QStringLiteral("select count(*) from tXtRightPrn where PrnCode='TryOutR' and SerialNo=3")),
              QStringList({u"2"_s}));
}

TEST_F(PrintFmtRulesTest, GroupRightsAreWrittenOnlyWhenTheyChange)
{
    const QString key = QStringLiteral("TryOut");
    EXPECT_FALSE(PrnGroupHasRight(db.get(), key, 2, QStringLiteral("03")));
    EXPECT_TRUE(SetPrnGroupRight(db.get(), key, 2, QStringLiteral("03"), true));
    EXPECT_FALSE(SetPrnGroupRight(db.get(), key, 2, QStringLiteral("03"), true));
    EXPECT_EQ(rights(2), QStringList({u"1\tTryOut\t2\t02"_s, u"1\tTryOut\t2\t03"_s}));
    EXPECT_TRUE(SetPrnGroupRight(db.get(), key, 2, QStringLiteral("02"), false));
    EXPECT_FALSE(SetPrnGroupRight(db.get(), key, 2, QStringLiteral("02"), false));
    EXPECT_EQ(rights(2), QStringList({u"1\tTryOut\t2\t03"_s}));
}

} // namespace
