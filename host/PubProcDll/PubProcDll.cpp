#include "host/PubProcDll/PubProcDll.h"

QorSession& qorSession() { static QorSession s; return s; }
void setQorSession(const QorSession& s) { qorSession() = s; }

QString UClerkCaption() { return qorSession().clerkCaption; }
QString UproductType() { return qorSession().productType; }
QString sDisplayFormat() { return qorSession().displayFormat; }
QString sShopName() { return qorSession().shopName; }
QString sBranchNo() { return qorSession().branchNo; }
bool URightSetCalc() { return qorSession().rightSetCalc; }
bool URightColumn() { return qorSession().rightColumn; }
bool URightPrnFmt() { return qorSession().rightPrnFmt; }
QString CurUserName() { return qorSession().userName; }
QString CurUserCode() { return qorSession().userCode; }
bool UIsCenter() { return qorSession().isCenter; }
bool UIsShop() { return !qorSession().isCenter; }
QString UStationID() { return qorSession().stationId; }
unsigned UGridColor() { return qorSession().gridColor; }
QString CurVER() { return qorSession().version; }
TADOConnection*& qorHostConnection() { static TADOConnection* c = nullptr; return c; }
