// Helpers shared by the fuzz targets: splitting the input, a Qt application, a scratch database
// and the one way a target reports a broken promise (abort, so libFuzzer keeps the input).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TADOConnection;

namespace fuzz {

// The input cut at NUL bytes into at most n pieces (the last keeps any further NULs); missing
// pieces are empty.
std::vector<QByteArray> pieces(const uint8_t* data, size_t size, int n);
// UTF-8 text of the bytes (invalid sequences become U+FFFD, as a paste does).
QString text(const QByteArray& bytes);
// Creates the application object once, on the offscreen platform.
void ensureApp(bool widgets);
// A scratch database with the schema, made once per process.
TADOConnection& scratchDb();
// Every row of every table of db, sorted, with the schema: equal before and after a statement
// when the statement changed nothing.
QStringList snapshot(TADOConnection& db);
// Rows changed and the schema's version on the connection: equal before and after a statement
// that changed nothing in any table.
QString changeMark(TADOConnection& db);
// Answers every message box with its default and counts them.
void installQuietPrompter();
int promptCount();
QString lastPrompt();
// Reports a broken promise and aborts.
[[noreturn]] void fail(const char* what, const QString& detail);

} // namespace fuzz
