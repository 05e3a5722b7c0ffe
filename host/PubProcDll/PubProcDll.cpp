#include "host/include/PubProcDll.h"

#include "platform/db/Db.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>

#include <optional>

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

QString defaultSessionFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tamrek/session.ini");
}

QorSession loadSessionFile(const QString& path, const QorSession& base)
{
    QorSession s = base;
    if (!QFileInfo::exists(path)) return s;
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("Session"));
    auto text = [&](const char* key, QString& field) {
        const QString k = QString::fromLatin1(key);
        if (ini.contains(k)) field = ini.value(k).toString().trimmed();
    };
    auto flag = [&](const char* key, bool& field) {
        const QString k = QString::fromLatin1(key);
        if (!ini.contains(k)) return;
        const QString v = ini.value(k).toString().trimmed();
        field = v == QLatin1String("1") || v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    };
    text("UserCode", s.userCode);
    text("StationID", s.stationId);
    text("BranchNo", s.branchNo);
    text("ShopName", s.shopName);
    flag("IsCenter", s.isCenter);
    text("Version", s.version);
    text("ProductType", s.productType);
    text("ClerkCaption", s.clerkCaption);
    text("DisplayFormat", s.displayFormat);
    flag("RightSetCalc", s.rightSetCalc);
    flag("RightColumn", s.rightColumn);
    flag("RightPrnFmt", s.rightPrnFmt);
    if (ini.contains(QStringLiteral("GridColor"))) {
        bool ok = false;
        const QString v = ini.value(QStringLiteral("GridColor")).toString().trimmed();
        const unsigned c = v.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? v.mid(2).toUInt(&ok, 16)
                                                                                 : v.toUInt(&ok);
        if (ok) s.gridColor = c;
    }
    return s;
}

namespace {
// The first column of the first row; nullopt when there is no row.
std::optional<QString> firstValue(TADOConnection& conn, const QString& sql, const QString& param,
                                  const QString& value)
{
    TADOQuery q(&conn);
    q.SQL << sql;
    if (!param.isEmpty()) q.Parameters.ParamByName(param).Value = value;
    q.Open();
    if (q.Eof()) return std::nullopt;
    return q.Field(0).AsString().trimmed();
}
} // namespace

bool completeSession(QorSession& s, TADOConnection& conn)
{
    if (s.stationId.isEmpty()) s.stationId = QSysInfo::machineHostName();
    const auto name = firstValue(conn, QStringLiteral("select StaffName from Staffs where StaffCode=:Code"),
                                 QStringLiteral("Code"), s.userCode);
    if (name) s.userName = *name;
    if (s.branchNo.isEmpty() && s.isCenter)
        s.branchNo = firstValue(conn, QStringLiteral("select OrgCode from SubShop where OrgType='2' order by OrgCode"),
                                {}, {}).value_or(QString());
    if (s.shopName.isEmpty() && !s.branchNo.isEmpty())
        s.shopName = firstValue(conn, QStringLiteral("select OrgName from SubShop where OrgCode=:Code"),
                                QStringLiteral("Code"), s.branchNo).value_or(QString());
    return name.has_value();
}
