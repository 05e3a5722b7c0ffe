// Function rights of one user on one function: the options the function offers and the user's
// rights on it and on the suite-wide rights, loaded once and answered from memory.
#pragma once

#include "module/MISPub.h"

#include <QSet>
#include <QString>

class TRightCtl {
public:
    // Stores both codes and loads the options, then the user's rights; failures are not
    // reported here (they are answered as denied rights).
    TRightCtl(const QString& userCode, const QString& funCode);
    ~TRightCtl();
    TRightCtl(const TRightCtl&) = delete;
    TRightCtl& operator=(const TRightCtl&) = delete;

    // The user holds the option on the function. A closed list is loaded again first; a
    // failed load answers False, for the administrator too.
    bool HasRight(const QString& optCode);
    bool CanAdd() { return HasRight(QStringLiteral("01")); }
    bool CanEdit() { return HasRight(QStringLiteral("02")); }
    bool CanDelete() { return HasRight(QStringLiteral("03")); }
    bool CanQuery() { return HasRight(QStringLiteral("04")); }
    bool CanPrint() { return HasRight(QStringLiteral("05")); }
    bool CanExport() { return HasRight(QStringLiteral("06")); }
    bool CanDesignPrnFmt() { return HasRight(QStringLiteral("OP01")); }

    // (Re)load the options of the function plus every suite-wide right; False on failure.
    bool LoadFuncItems();
    // (Re)load the user's rights on the function and on the suite-wide rights; False on failure.
    bool LoadUserRights();

    QString UserCode() const { return m_userCode; }
    QString FunCode() const { return m_funCode; }
    // Whether each list is loaded ("open").
    bool FuncItemsOpen() const { return m_funcItemsOpen; }
    bool UserRightsOpen() const { return m_userRightsOpen; }
    // The statements last loaded (their SQL and bound parameters).
    const TQorAdoQry& FuncItemsQuery() const { return m_qryFuncItems; }
    const TQorAdoQry& UserRightsQuery() const { return m_qryUserRights; }

private:
    QString m_userCode;
    QString m_funCode;
    TQorAdoQry m_qryFuncItems;
    TQorAdoQry m_qryUserRights;
    bool m_funcItemsOpen = false;
    bool m_userRightsOpen = false;
    QSet<QString> m_funcOptCodes; // OptCode of every row of the options list
    QSet<QString> m_userOptCodes; // OptCode of every row of the user's rights
};
