// The query component on the host's connection and the shared database helpers.
#pragma once

#include "platform/db/Db.h"

#include <QString>
#include <functional>

class QComboBox;
class QWidget;

// The host's connection, fetched anew from libQorPubConn.so; null when the library or its
// entry is missing. The library is looked for beside the module first, then on the default
// search path; once loaded it stays loaded.
TADOConnection* GetSharedConnection();

// The folder of the module library: host libraries are looked up there first.
QString ModuleFolder();
// The file the connection library is loaded from beside the module (for messages and tests).
QString SharedConnectionLibraryPath();

// The module's query: SQL as lines, named parameters, created with no owner.
class TQorAdoQry : public TADOQuery {
public:
    TQorAdoQry() = default;
    explicit TQorAdoQry(TADOConnection* c) : TADOQuery(c) {}
    // Sizes the parameters, then opens (raises DbError).
    void OpenSized();
};

// Executes; fails exactly when the provider reports a failure, with the first error's message.
// Informational records go to the error log. Returns the affected-row count.
int ExecChecked(TADOQuery& q);

// The filter line of an organisation list kind (0..7); empty for any other kind.
QString OrgListFilter(int orgListKind);
// Fills an organisation combo (items "code-name"; "<全部>" first when withAll).
// Database errors reach the caller.
void BuildOrgList(QComboBox* combo, int orgListKind, bool withAll);

bool HasFunctionRight(const QString& funCode, const QString& staffCode, const QString& optCode);

// True for the suite's built-in administrator (QVW, any letter case, as the server compares).
bool IsAdminUser(const QString& userCode);

// The exit check of a control: runs (inside the guard) when the focus moves from the control to
// another control of the same window by Tab, Backtab, mouse, shortcut or program, never when
// the window only loses activation (a message box, menu or dialog opening). An empty handler
// removes the check.
void SetOnExit(QWidget* control, std::function<void()> handler);
bool HasOnExit(QWidget* control);

// Moves the focus to a control without running its exit check, so that a form can return the
// focus to a box after a failed check.
void FocusControl(QWidget* control);
