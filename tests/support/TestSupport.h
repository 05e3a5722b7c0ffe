// Shared test fixtures: a fresh embedded database per test, the host session, scripted prompts.
#pragma once

#include "platform/db/Db.h"
#include "platform/ui/Prompter.h"
#include "tests/support/ScriptedPrompter.h"

#include <gtest/gtest.h>
#include <QString>
#include <memory>

class QLineEdit;

// A new empty folder under the build's test folder, unique per call.
QString testTempDir();

// A fresh SQLite database file with the schema (and the demo data when demo).
std::unique_ptr<TADOConnection> makeTestDb(bool demo = true);

// Runs one statement and returns its rows as tab-joined texts (handy for asserting results).
QStringList queryRows(TADOConnection& c, const QString& tsql);

// Types into a box as a user does and leaves it with Tab, so that its exit check runs.
void enterAndLeave(QLineEdit* box, const QString& text);

// Fixture: fresh demo database handed to the module as the host's connection, a head-office
// session of user "1001", a scripted prompter, a pinned clock (2026-03-15 10:30:00).
class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void useShopStation(const QString& branchNo, const QString& shopName);
    std::unique_ptr<TADOConnection> db;
    std::unique_ptr<ScriptedPrompter> prompts;
};

#define QOR_SOURCE(p) (QStringLiteral(QOR_SOURCE_DIR "/") + QStringLiteral(p))
