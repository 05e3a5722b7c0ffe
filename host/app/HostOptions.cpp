#include "host/app/HostOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStandardPaths>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

struct OptionLine {
    QStringList names;
    const char16_t* value; // null: a switch
    QString help;
    bool shown = true;
};

QList<OptionLine> optionLines()
{
    QList<OptionLine> l = {
        {{u"h"_s, u"help"_s}, nullptr, u"Show this help and exit."_s},
        {{u"v"_s, u"version"_s}, nullptr, u"Show the version and exit."_s},
        {{u"db"_s}, u"FILE", u"Embedded database file (default: %1, made with the demo data)."_s.arg(defaultDatabase())},
        {{u"odbc"_s}, u"\"CONNECTION STRING\"", u"Use an ODBC connection (DSN=... or DRIVER=...) instead."_s},
        {{u"user"_s}, u"CODE", u"User code (default: the session file's, else 1001)."_s},
        {{u"station"_s}, u"ID", u"Workstation identifier (default: the host name)."_s},
        {{u"shop"_s}, u"CODE", u"Run as the shop station of this organisation (default: head office)."_s},
        {{u"open"_s}, u"FUNCTION", u"Open a function at start: tryout (试用品试用) or report (试用品统计报表)."_s},
        {{u"set"_s}, u"NAME=VALUE", u"Script: enter VALUE into the box NAME of the open form or dialog."_s},
        {{u"action"_s}, u"NAME", u"Script: trigger the action, or click the button, NAME."_s},
        {{u"answer"_s}, u"BUTTON", u"Script: answer the next message box with ok, cancel, yes or no."_s},
        {{u"export"_s}, u"FILE", u"Script: export the form's grid as shown: .xlsx, .txt, .htm or .pdf (printout)."_s},
        {{u"screenshot"_s}, u"FILE", u"Script: save the shell with the open form (or the open dialog) as PNG."_s},
        {{u"platform"_s}, u"NAME", u"Qt platform plug-in; offscreen needs no display."_s},
    };
    // Qt's own options, accepted and handed on to Qt.
    for (const char16_t* v : {u"platformpluginpath", u"platformtheme", u"plugin", u"qwindowgeometry", u"qwindowicon",
                              u"qwindowtitle", u"display", u"geometry", u"style", u"stylesheet", u"session", u"title"})
        l.append({{QString::fromUtf16(v)}, u"VALUE", {}, false});
    for (const char16_t* v : {u"reverse", u"widgetcount", u"nograb", u"dograb", u"sync"})
        l.append({{QString::fromUtf16(v)}, nullptr, {}, false});
    return l;
}

void writeTo(FILE* f, const QString& text)
{
    const QByteArray b = text.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), f);
}

} // namespace

QString defaultDatabase()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/tryout/demo.db"_s;
}

QString hostUsage()
{
    QString out = u"Usage: qorhost [options]\n"
                  u"The suite shell of the try-out module: the menu with its functions, several forms at once.\n"
                  u"\nOptions:\n"_s;
    for (const OptionLine& o : optionLines()) {
        if (!o.shown) continue;
        QStringList names;
        for (const QString& n : o.names) names << (n.size() == 1 || n == u"platform" ? u"-"_s : u"--"_s) + n;
        QString left = u"  "_s + names.join(u", "_s);
        if (o.value) left += u' ' + QString::fromUtf16(o.value);
        out += left.leftJustified(34) + u' ' + o.help + u'\n';
    }
    out += u"\nScript steps (--set, --action, --answer, --export, --screenshot) run in their order once the\n"
           u"form --open names has shown; a dialog a step opens receives the following steps until it\n"
           u"closes. Message boxes are written to standard error and answered with their default button.\n"
           u"Exit status: 0; 1 when the database or user is refused, a step fails or an error or warning\n"
           u"box is raised; 2 for a wrong command line.\n"_s;
    return out;
}

int parseHostOptions(const QStringList& args, HostOptions& out)
{
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    QStringList valueOptions;
    for (const OptionLine& o : optionLines()) {
        QCommandLineOption opt(o.names, o.help);
        if (o.value) {
            opt.setValueName(QString::fromUtf16(o.value));
            valueOptions << o.names;
        }
        p.addOption(opt);
    }
    auto wrong = [](const QString& problem) {
        writeTo(stderr, u"qorhost: "_s + problem + u"\n\n"_s + hostUsage());
        return 2;
    };
    if (!p.parse(args)) return wrong(p.errorText());
    if (p.isSet(u"help"_s)) {
        writeTo(stdout, hostUsage());
        return 0;
    }
    if (p.isSet(u"version"_s)) {
        writeTo(stdout, u"qorhost "_s + QStringLiteral(QOR_VERSION) + u'\n');
        return 0;
    }
    if (!p.positionalArguments().isEmpty())
        return wrong(u"unexpected argument \"%1\""_s.arg(p.positionalArguments().first()));
    if (p.isSet(u"db"_s) && p.isSet(u"odbc"_s)) return wrong(u"--db and --odbc exclude each other"_s);
    if (p.isSet(u"open"_s)) {
        const QString f = p.value(u"open"_s);
        if (f == u"tryout") out.openEntry = u"frmTryoutMngShow"_s;
        else if (f == u"report") out.openEntry = u"frmSpRptShow"_s;
        else return wrong(u"--open takes tryout or report, not \"%1\""_s.arg(f));
    }
    out.database = p.isSet(u"db"_s) ? p.value(u"db"_s) : defaultDatabase();
    out.odbc = p.value(u"odbc"_s);
    out.user = p.value(u"user"_s).trimmed();
    out.station = p.value(u"station"_s).trimmed();
    out.shop = p.value(u"shop"_s).trimmed();
    ScriptParse script = parseScriptSteps(args, valueOptions);
    if (!script.error.isEmpty()) return wrong(script.error);
    out.steps = std::move(script.steps);
    return -1;
}
