// The commands of qorctl, the administrator's command line. Each returns the exit code:
// 0 done, 1 the database or the file system failed, 2 the command line was wrong.
#pragma once

#include <QStringList>

// qorctl init-db FILE [--demo] [--trials N [--seed S]]
int cmdInitDb(const QStringList& args);
// qorctl sql FILE "T-SQL" [Name=value ...]
int cmdSql(const QStringList& args);
// qorctl initials ...
int cmdInitials(int argc, char** argv);

// Output helpers: UTF-8 on stdout and stderr.
void ctlOut(const QString& line);
void ctlErr(const QString& line);
