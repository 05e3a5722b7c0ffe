// qorhost's command line: the options, the usage text and their reading.
#pragma once

#include "host/app/ShellScript.h"

#include <QString>
#include <QStringList>
#include <vector>

struct HostOptions {
    QString database; // the embedded database file
    QString odbc;     // an ODBC connection string instead
    QString user;
    QString station;
    QString shop;
    QString openEntry; // the entry point --open names
    std::vector<ScriptStep> steps;
};

// Reads the program's arguments (the program's name first). -1 to go on; otherwise the exit
// code: 0 after --help or --version (written to standard output), 2 after a mistake (the
// problem and the usage written to standard error).
int parseHostOptions(const QStringList& args, HostOptions& out);
// The usage: every option with one line.
QString hostUsage();
// The embedded database when --db is not given (created with the demo data on first start).
QString defaultDatabase();
