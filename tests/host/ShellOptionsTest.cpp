// qorhost's command line read in-process: the order of the script steps among the other options,
// and the mistakes that end the program with 2.
#include "host/app/HostOptions.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QStringList cmd(std::initializer_list<QString> args)
{
    QStringList l{u"qorhost"_s};
    l.append(QList<QString>(args));
    return l;
}

QString describe(const std::vector<ScriptStep>& steps)
{
    QStringList out;
    for (const ScriptStep& s : steps) {
        static const char* const kinds[] = {"set", "action", "answer", "export", "screenshot"};
        out << QString::fromLatin1(kinds[s.kind]) + u':' + s.name + (s.kind == ScriptStep::Set ? u'=' + s.value : QString());
    }
    return out.join(u" | "_s);
}

} // namespace

TEST(HostOptions, ScriptStepsKeepTheirCommandLineOrderBetweenOtherOptions)
{
    HostOptions o;
    const int rc = parseHostOptions(cmd({u"--set"_s, u"edtGrpCode=0101"_s, u"--db"_s, u"--action"_s, u"-action"_s,
                                         u"btnConfirm"_s, u"--set=edtRemark=a=b"_s, u"-platform"_s, u"offscreen"_s,
                                         u"--answer"_s, u"YES"_s, u"--set"_s, u"edtRemark="_s, u"--export"_s,
                                         u"out/list.PDF"_s, u"--screenshot=shot.png"_s, u"--open"_s, u"tryout"_s,
                                         u"--user"_s, u" 2001 "_s}),
                                    o);
    ASSERT_EQ(rc, -1);
    // "--action" right after --db is the database's file name, not a step.
    EXPECT_EQ(o.database, u"--action"_s);
    EXPECT_EQ(describe(o.steps), u"set:edtGrpCode=0101 | action:btnConfirm | set:edtRemark=a=b | answer:yes | "
                                 u"set:edtRemark= | export:out/list.PDF | screenshot:shot.png"_s);
    EXPECT_EQ(o.openEntry, u"frmTryoutMngShow"_s);
    EXPECT_EQ(o.user, u"2001"_s);

    HostOptions plain;
    ASSERT_EQ(parseHostOptions(cmd({u"--open"_s, u"report"_s, u"--odbc"_s, u"DSN=x"_s}), plain), -1);
    EXPECT_TRUE(plain.steps.empty()); // no step: an interactive run
    EXPECT_EQ(plain.openEntry, u"frmSpRptShow"_s);
    EXPECT_EQ(plain.odbc, u"DSN=x"_s);
}

TEST(HostOptions, MistakesEndTheProgramWithTwo)
{
    const QList<QStringList> wrong = {
        cmd({u"--bogus"_s}),
        cmd({u"--db"_s}),                                 // value missing
        cmd({u"stray"_s}),                                // no positional arguments
        cmd({u"--db"_s, u"a.db"_s, u"--odbc"_s, u"DSN=x"_s}),
        cmd({u"--open"_s, u"chart"_s}),
        cmd({u"--set"_s, u"edtGrpCode"_s}),               // no '='
        cmd({u"--set"_s, u"=0101"_s}),                    // no name
        cmd({u"--action"_s, u""_s}),
        cmd({u"--answer"_s, u"maybe"_s}),
        cmd({u"--export"_s, u"list.doc"_s}),
        cmd({u"--screenshot"_s}),
    };
    for (const QStringList& args : wrong) {
        HostOptions o;
        EXPECT_EQ(parseHostOptions(args, o), 2) << args.join(u' ').toStdString();
    }
}

TEST(HostOptions, TheUsageNamesEveryOptionOnItsOwnLine)
{
    const QStringList lines = hostUsage().split(u'\n');
    for (const QString& opt : {u"-h, --help"_s, u"-v, --version"_s, u"--db FILE"_s, u"--odbc"_s, u"--user CODE"_s,
                               u"--station ID"_s, u"--shop CODE"_s, u"--open FUNCTION"_s, u"--set NAME=VALUE"_s,
                               u"--action NAME"_s, u"--answer BUTTON"_s, u"--export FILE"_s, u"--screenshot FILE"_s,
                               u"-platform NAME"_s}) {
        const auto n = std::count_if(lines.begin(), lines.end(), [&](const QString& l) {
            return l.startsWith(u"  "_s + opt) && l.size() > 36; // name and description on one line
        });
        EXPECT_EQ(n, 1) << opt.toStdString();
    }
    EXPECT_EQ(exportActionFor(u"a.XLSX"_s), u"actConvertToExcel"_s);
    EXPECT_EQ(exportActionFor(u"a.html"_s), u"actConvertToHtml"_s);
    EXPECT_EQ(exportActionFor(u"a.xls"_s), QString()); // the library writes .xlsx only
}
