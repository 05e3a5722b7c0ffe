// The query component on the host's connection and the shared database helpers.
#pragma once

#include "platform/db/Db.h"

#include <QString>

class QComboBox;
class QWidget;

// The host's connection, fetched anew from libQorPubConn.so; null when the library or its
// entry is missing.
TADOConnection* GetSharedConnection();

// The module's query: SQL as lines, named parameters, created with no owner.
class TQorAdoQry : public TADOQuery {
public:
    TQorAdoQry() = default;
    explicit TQorAdoQry(TADOConnection* c) : TADOQuery(c) {}
    // Sizes the parameters, then opens (raises DbError).
    void OpenSized();
};

// Sizes each parameter to its value (null -1, empty string -1, string: GBK bytes, other 16);
// the declared size only grows.
void FixParamSizes(TADOQuery& q);

// Executes; fails exactly when the provider reports a failure, with the first error's message.
// Informational records go to the error log. Returns the affected-row count.
int ExecChecked(TADOQuery& q);

// Fills an organisation combo (items "code-name"; "<全部>" first when withAll).
void BuildOrgList(QComboBox* combo, int orgListKind, bool withAll);

bool HasFunctionRight(const QString& funCode, const QString& staffCode, const QString& optCode);

// True for the suite's built-in administrator (QVW, any letter case).
bool IsAdminUser(const QString& userCode);

// Moves the focus to a control without running its exit check.
void FocusControl(QWidget* control);
