// The commands of qorctl, the administrator's command line. Each returns the exit code:
// 0 done, 1 the database or the file system failed, 2 the command line was wrong.
#pragma once

#include <QStringList>

// qorctl init-db FILE [--demo] [--trials N [--seed S]]
int cmdInitDb(const QStringList& args);
// qorctl sql FILE "T-SQL" [Name=value ...]
int cmdSql(const QStringList& args);
// qorctl check-db FILE | --odbc "CONNECTION STRING"
int cmdCheckDb(const QStringList& args);
// qorctl initials ...
int cmdInitials(int argc, char** argv);

class TADOConnection;
// Kinds of column the check compares (declared types of SQLite and SQL Server alike).
enum class ColumnKind { Text, Integer, Number, DateTime, Other };
ColumnKind columnKind(const QString& declaredType);
// One line per table of the embedded schema (and per missing or mistyped column); problems
// receives the count of missing tables and missing or mistyped columns.
QStringList checkDatabase(TADOConnection& conn, int* problems);

// Output helpers: UTF-8 on stdout and stderr.
void ctlOut(const QString& line);
void ctlErr(const QString& line);
