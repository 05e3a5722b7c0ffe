// Session context of the suite, answered from a session the host sets at start-up.
// The module calls these whenever it needs a value.
#pragma once

#include <QString>

#define PUBPROC_API __attribute__((visibility("default")))

QString PUBPROC_API UClerkCaption();
QString PUBPROC_API UproductType();
QString PUBPROC_API sDisplayFormat();
QString PUBPROC_API sShopName();
QString PUBPROC_API sBranchNo();
bool PUBPROC_API URightSetCalc();
bool PUBPROC_API URightColumn();
bool PUBPROC_API URightPrnFmt();
QString PUBPROC_API CurUserName();
QString PUBPROC_API CurUserCode();
bool PUBPROC_API UIsCenter();
bool PUBPROC_API UIsShop();
QString PUBPROC_API UStationID();
unsigned PUBPROC_API UGridColor(); // 0x00BBGGRR, as the suite stores colours
QString PUBPROC_API CurVER();

// The session the functions answer from. The host fills it; tests set it directly.
struct PUBPROC_API QorSession {
    QString userCode;
    QString userName;
    QString stationId;
    QString branchNo;  // own shop's organisation code
    QString shopName;
    bool isCenter = true;
    QString version = QStringLiteral("1");
    QString productType = QStringLiteral("1");
    QString clerkCaption = QStringLiteral("美容顾问");
    QString displayFormat = QStringLiteral("#,##0.00");
    bool rightSetCalc = true;
    bool rightColumn = true;
    bool rightPrnFmt = true;
    unsigned gridColor = 0x00F0E0D0;
};

PUBPROC_API QorSession& qorSession();
PUBPROC_API void setQorSession(const QorSession& s);

class TADOConnection;

// The station's session file: <config folder>/Tamrek/session.ini.
PUBPROC_API QString defaultSessionFile();
// Reads the [Session] group of a session file over base; keys that are missing keep base's
// values. Keys: UserCode, StationID, BranchNo, ShopName, IsCenter, Version, ProductType,
// ClerkCaption, DisplayFormat, RightSetCalc, RightColumn, RightPrnFmt, GridColor.
PUBPROC_API QorSession loadSessionFile(const QString& path, const QorSession& base = {});
// Completes a session from the database: the user's name from Staffs, the head office's own
// organisation (the first of kind '2') when no shop is set, the shop's name from SubShop, the
// host name as station. False when the user code is not a staff member.
PUBPROC_API bool completeSession(QorSession& s, TADOConnection& conn);
// The host's open connection, handed out by libQorPubConn.so's USysDbConn.
PUBPROC_API TADOConnection*& qorHostConnection();
