#include "framework/PrintFmtRules.h"

#include "module/MISPub.h"
#include "module/ModuleState.h"
#include "platform/text/Gbk.h"

#include <QHash>

namespace {

const QString kAdmin = QStringLiteral("QVW");

void bind(TADOQuery& q, const char* name, const QVariant& value)
{
    q.Parameters.ParamByName(QString::fromLatin1(name)).Value = value;
}

QVariant text(const QString& s)
{
    // An empty string is bound as an empty string, never as NULL.
    return QVariant(s.isNull() ? QString(QLatin1String("")) : s);
}

int exec(TQorAdoQry& q)
{
    FixParamSizes(q);
    return ExecChecked(q);
}

void bindFormatKey(TADOQuery& q, const QString& prnCode, int serialNo)
{
    bind(q, "PrnType", text(PrnTypeValue()));
    bind(q, "PrnCode", text(prnCode));
    bind(q, "SerialNo", QVariant(qint64(serialNo)));
}

QString rightTrimmed(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) --n;
    s.truncate(n);
    return s;
}

} // namespace

QString PrnTypeValue() { return ModuleState::PrintSetting; }

// --- editions ---------------------------------------------------------------------------------

QString PrnEditionFilter(const QString& ver, const QString& alias)
{
    const QString col = alias.isEmpty() ? QStringLiteral("VER") : alias + QStringLiteral(".VER");
    if (ver == QLatin1String("0"))
        return QStringLiteral("and (%1='0' or %1='2')").arg(col);
    if (ver == QLatin1String("1"))
        return QStringLiteral("and (%1='1' or %1='2')").arg(col);
    return QString();
}

void AppendPrnEditionFilter(QStringList& sql, const QString& ver, const QString& alias)
{
    const QString line = PrnEditionFilter(ver, alias);
    if (!line.isEmpty()) sql << line;
}

// --- who sees what ----------------------------------------------------------------------------

bool IsPrnMenuAdmin(const QString& userCode) { return userCode.toUpper() == kAdmin; }

bool PrnSaveGrantsRights(const QString& userCode) { return userCode != kAdmin; }

// --- format rules -----------------------------------------------------------------------------

QString PrnFmtProblemText(PrnFmtProblem p)
{
    switch (p) {
    case PrnFmtProblem::None: return QString();
    case PrnFmtProblem::SerialMissing: return QStringLiteral("必须输入序列号！");
    case PrnFmtProblem::NameMissing: return QStringLiteral("必须输入打印格式名称！");
    case PrnFmtProblem::NameHasSemicolon:
        return QStringLiteral("打印格式名称不允许包含字符 \";\" ！");
    case PrnFmtProblem::NameTooLong: return QStringLiteral("打印格式名称不能超过40个字节！");
    case PrnFmtProblem::RemarkTooLong: return QStringLiteral("备注不能超过40个字节！");
    case PrnFmtProblem::DuplicateSerial: return QStringLiteral("已经存在同序号的打印格式！");
    case PrnFmtProblem::FormatMissing: return QStringLiteral("当前打印格式已不存在！");
    }
    return QString();
}

std::optional<int> ParsePrnSerialNo(const QString& t)
{
    const QString s = t.trimmed();
    if (s.isEmpty() || s.size() > PrnSerialMaxDigits) return std::nullopt;
    for (QChar ch : s)
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9')) return std::nullopt;
    return s.toInt();
}

PrnFmtProblem CheckPrnName(const QString& name)
{
    const QString s = name.trimmed();
    if (s.isEmpty()) return PrnFmtProblem::NameMissing;
    if (s.contains(QLatin1Char(';'))) return PrnFmtProblem::NameHasSemicolon;
    // The boxes cut what is typed; a name that came from elsewhere is refused here, not cut.
    if (Gbk::byteLength(s) > PrnNameMaxBytes) return PrnFmtProblem::NameTooLong;
    return PrnFmtProblem::None;
}

bool PrnSerialExists(TADOConnection* c, const QString& prnCode, int serialNo)
{
    TQorAdoQry q(c);
    q.SQL << QStringLiteral("select SerialNo from tXtPrnFormat ")
          << QStringLiteral("where PrnCode=:PrnCode ")
          << QStringLiteral("and  PrnType=:PrnType ")
          << QStringLiteral("and SerialNo=:SerialNo ");
    bind(q, "PrnCode", text(prnCode));
    bind(q, "PrnType", text(PrnTypeValue()));
    bind(q, "SerialNo", QVariant(qint64(serialNo)));
    q.OpenSized();
    const bool found = !q.Eof();
    q.Close();
    return found;
}

PrnFmtProblem ValidatePrnFormat(TADOConnection* c, const QString& prnCode, bool adding,
                                int currentSerial, const QString& serialText, const QString& name)
{
    const std::optional<int> serial = ParsePrnSerialNo(serialText);
    if (!serial) return PrnFmtProblem::SerialMissing;
    const PrnFmtProblem nameProblem = CheckPrnName(name);
    if (nameProblem != PrnFmtProblem::None) return nameProblem;
    if (PrnSerialNeedsCheck(adding, *serial, currentSerial) && PrnSerialExists(c, prnCode, *serial))
        return PrnFmtProblem::DuplicateSerial;
    return PrnFmtProblem::None;
}

PrnFmtProblem SavePrnFormat(TADOConnection* c, const PrnFmtSave& s)
{
    // The transaction takes the write lock before the duplicate check reads, so two stations
    // cannot both pass the check with the same number.
    DbTransaction tx(c);
    const PrnFmtProblem problem =
        ValidatePrnFormat(c, s.prnCode, s.adding, s.currentSerial, s.serialText, s.name);
    if ((problem == PrnFmtProblem::None || problem == PrnFmtProblem::DuplicateSerial) &&
        Gbk::byteLength(s.remark.trimmed()) > PrnRemarkMaxBytes)
        return PrnFmtProblem::RemarkTooLong;
    if (problem != PrnFmtProblem::None) return problem;
    const int serial = *ParsePrnSerialNo(s.serialText);

    TQorAdoQry q(c);
    if (s.adding) {
        q.SQL << QStringLiteral("Insert Into  tXtPrnFormat ")
              << QStringLiteral("(PrnType,PrnCode,SerialNo,VER,PrnName,Remark) ")
              << QStringLiteral("Values(:PrnType,:PrnCode,:SerialNo,:VER,:PrnName,:Remark) ");
        bindFormatKey(q, s.prnCode, serial);
    } else {
        q.SQL << QStringLiteral("Update  tXtPrnFormat Set  ")
              << QStringLiteral("VER=:VER,PrnName=:PrnName,Remark=:Remark ,SerialNo=:NewSerialNo ")
              << QStringLiteral("where PrnCode=:PrnCode and SerialNo=:SerialNo and PrnType=:PrnType ");
        bindFormatKey(q, s.prnCode, s.currentSerial);
        bind(q, "NewSerialNo", QVariant(qint64(serial)));
    }
    bind(q, "VER", text(s.ver));
    bind(q, "PrnName", text(s.name.trimmed()));
    bind(q, "Remark", text(s.remark.trimmed()));
    try {
        const int rows = exec(q);
        // An edit that updates nothing (the row was deleted meanwhile) must not grant rights
        // to a format that does not exist.
        if (!s.adding && rows == 0) return PrnFmtProblem::FormatMissing;
    } catch (const DbError& e) {
        if (e.isUniqueViolation()) return PrnFmtProblem::DuplicateSerial;
        throw;
    }

    if (PrnSaveGrantsRights(s.userCode)) GrantPrnFormatToUserGroups(c, s.prnCode, serial, s.userCode);
    tx.commit();
    return PrnFmtProblem::None;
}

// --- rights -----------------------------------------------------------------------------------

QStringList PrnUserGroups(TADOConnection* c, const QString& userCode)
{
    TQorAdoQry q(c);
    q.SQL << QStringLiteral("select UGrpCode from XtUserSub")
          << QStringLiteral("where StaffCode=:UserCode");
    bind(q, "UserCode", text(userCode));
    q.OpenSized();
    QStringList groups;
    for (; !q.Eof(); q.Next()) groups << q.FieldByName(QStringLiteral("UGrpCode")).AsString();
    q.Close();
    return groups;
}

void GrantPrnFormatToUserGroups(TADOConnection* c, const QString& prnCode, int serialNo,
                                const QString& userCode)
{
    DbTransaction tx(c);
    const QStringList groups = PrnUserGroups(c, userCode);
    for (const QString& grp : groups) {
        TQorAdoQry del(c);
        del.SQL << QStringLiteral("delete from tXtRightPrn")
                << QStringLiteral("where PrnType=:PrnType and PrnCode=:PrnCode and SerialNo=:SerialNo and UGrpCode=:UGrpCode");
        bindFormatKey(del, prnCode, serialNo);
        bind(del, "UGrpCode", text(grp));
        exec(del);

        TQorAdoQry ins(c);
        ins.SQL << QStringLiteral("insert into tXtRightPrn")
                << QStringLiteral("(PrnType,PrnCode,SerialNo,UGrpCode)")
                << QStringLiteral("values(:PrnType,:PrnCode,:SerialNo,:UGrpCode)");
        bindFormatKey(ins, prnCode, serialNo);
        bind(ins, "UGrpCode", text(grp));
        exec(ins);
    }
    tx.commit();
}

bool PrnGroupHasRight(TADOConnection* c, const QString& prnCode, int serialNo,
                      const QString& grpCode)
{
    TQorAdoQry q(c);
    q.SQL << QStringLiteral("select * from tXtRightPrn ")
          << QStringLiteral("where PrnType=:PrnType  ")
          << QStringLiteral("and PrnCode=:PrnCode ")
          << QStringLiteral("and SerialNo=:SerialNo")
          << QStringLiteral("and UGrpCode=:UGrpCode ");
    bindFormatKey(q, prnCode, serialNo);
    bind(q, "UGrpCode", text(grpCode));
    q.OpenSized();
    const bool found = !q.Eof();
    q.Close();
    return found;
}

bool SetPrnGroupRight(TADOConnection* c, const QString& prnCode, int serialNo,
                      const QString& grpCode, bool granted)
{
    DbTransaction tx(c);
    const bool has = PrnGroupHasRight(c, prnCode, serialNo, grpCode);
    if (has == granted) return false;
    TQorAdoQry q(c);
    if (granted) {
        q.SQL << QStringLiteral("Insert Into tXtRightPrn(PrnType,PrnCode,SerialNo,UGrpCode) ")
              << QStringLiteral("Values(:PrnType,:PrnCode,:SerialNo,:UGrpCode) ");
    } else {
        q.SQL << QStringLiteral("delete from  tXtRightPrn ")
              << QStringLiteral("where PrnType=:PrnType  ")
              << QStringLiteral("and PrnCode=:PrnCode ")
              << QStringLiteral("and SerialNo=:SerialNo")
              << QStringLiteral("and UGrpCode=:UGrpCode ");
    }
    bindFormatKey(q, prnCode, serialNo);
    bind(q, "UGrpCode", text(grpCode));
    exec(q);
    tx.commit();
    return true;
}

void DeletePrnFormat(TADOConnection* c, const QString& prnCode, int serialNo)
{
    DbTransaction tx(c);
    // Only the module's own print type: a format of another type under the same key and
    // number belongs to someone else.
    TQorAdoQry fmt(c);
    fmt.SQL << QStringLiteral("delete from tXtPrnFormat ")
            << QStringLiteral("where PrnCode=:PrnCode ")
            << QStringLiteral("and  SerialNo=:SerialNo ")
            << QStringLiteral("and PrnType=:PrnType ");
    bindFormatKey(fmt, prnCode, serialNo);
    exec(fmt);

    TQorAdoQry rights(c);
    rights.SQL << QStringLiteral("delete from tXtRightPrn")
               << QStringLiteral("where PrnType=:PrnType and PrnCode=:PrnCode and SerialNo=:SerialNo");
    bindFormatKey(rights, prnCode, serialNo);
    exec(rights);
    tx.commit();
}

// --- defaults and the print menus -------------------------------------------------------------

QStringList PrnMenuSql(bool admin, const QString& ver)
{
    QStringList sql;
    if (!admin) {
        sql << QStringLiteral(
                   "Select distinct P.SerialNo,P.PrnName,D.UserCode,D.WorkStation From tXtPrnFormat P "
                   "left join tXtPrnDefault D on P.PrnCode=D.PrnCode and (isnull(D.WorkStation,'') ='' "
                   "or  D.WorkStation=:WorkStation) and P.SerialNo=D.SerialNo and D.UserCode=:UserCode,"
                   "tXtRightPrn F Where P.PrnCode=:PrnCode and P.PrnType=F.PrnType and P.PrnCode=F.PrnCode "
                   "and P.SerialNo=F.SerialNo "
                   "and F.UGrpCode in (select UGrpCode from XtUserSub where StaffCode=:UserCode) ");
        AppendPrnEditionFilter(sql, ver);
    } else {
        sql << QStringLiteral(
                   "Select P.SerialNo,P.PrnName,D.UserCode,D.WorkStation From tXtPrnFormat P "
                   "left join tXtPrnDefault D on P.PrnCode=D.PrnCode and (isnull(D.WorkStation,'') ='' "
                   "or  D.WorkStation=:WorkStation)  and P.SerialNo=D.SerialNo and D.UserCode=:UserCode "
                   "Where P.PrnCode=:PrnCode ");
        AppendPrnEditionFilter(sql, ver, QStringLiteral("P"));
    }
    sql << QStringLiteral("order by P.SerialNo ");
    return sql;
}

std::vector<PrnMenuEntry> LoadPrnMenuEntries(TADOConnection* c, const QString& prnCode,
                                             const QString& userCode, const QString& stationId,
                                             const QString& ver)
{
    TQorAdoQry q(c);
    q.SQL = PrnMenuSql(IsPrnMenuAdmin(userCode), ver);
    bind(q, "WorkStation", text(stationId));
    bind(q, "UserCode", text(userCode));
    bind(q, "PrnCode", text(prnCode));
    q.OpenSized();

    // A format joined with both of the user's default rows comes twice; list it once. Of the
    // two defaults the workstation's row wins, so at most one entry is ticked.
    std::vector<PrnMenuEntry> entries;
    QHash<QString, int> indexOf;
    int stationDefault = -1, freeDefault = -1;
    for (; !q.Eof(); q.Next()) {
        PrnMenuEntry e;
        e.SerialNo = int(q.FieldByName(QStringLiteral("SerialNo")).AsInteger());
        e.PrnName = rightTrimmed(q.FieldByName(QStringLiteral("PrnName")).AsString());
        const bool isDefault = !q.FieldByName(QStringLiteral("UserCode")).IsNull();
        const bool forStation =
            !q.FieldByName(QStringLiteral("WorkStation")).AsString().trimmed().isEmpty();
        const QString key = QString::number(e.SerialNo) + QLatin1Char('\t') + e.PrnName;
        auto it = indexOf.constFind(key);
        int index;
        if (it != indexOf.constEnd()) {
            index = *it;
        } else {
            index = int(entries.size());
            indexOf.insert(key, index);
            entries.push_back(e);
        }
        if (isDefault) {
            if (forStation && stationDefault < 0) stationDefault = index;
            if (!forStation && freeDefault < 0) freeDefault = index;
        }
    }
    q.Close();
    const int chosen = stationDefault >= 0 ? stationDefault : freeDefault;
    if (chosen >= 0) entries[size_t(chosen)].IsDefault = true;
    return entries;
}

int ReadPrnDefault(TADOConnection* c, const QString& prnCode, const QString& userCode,
                   const QString& stationId, const QString& ver)
{
    // The default is the entry the print menus tick, decided in one place: a default naming a
    // deleted format, or one the user may no longer use, is not listed and so never chosen, and
    // printing cannot use another format than the menu shows.
    for (const PrnMenuEntry& e : LoadPrnMenuEntries(c, prnCode, userCode, stationId, ver))
        if (e.IsDefault) return e.SerialNo;
    return -1;
}

void ForgetPrnDefault(TADOConnection* c, const QString& prnCode, const QString& userCode,
                      const QString& stationId)
{
    TQorAdoQry q(c);
    q.SQL << QStringLiteral("Delete from tXtPrnDefault ")
          << QStringLiteral("where PrnCode=:PrnCode and UserCode=:UserCode and "
                            "(isnull(WorkStation,'')='' or WorkStation = :WorkStation) ");
    bind(q, "PrnCode", text(prnCode));
    bind(q, "UserCode", text(userCode));
    bind(q, "WorkStation", text(stationId));
    exec(q);
}

void StorePrnDefault(TADOConnection* c, const QString& prnCode, int serialNo,
                     const QString& userCode, const QString& stationId)
{
    // A failed insert must not leave the user without the previous default.
    DbTransaction tx(c);
    ForgetPrnDefault(c, prnCode, userCode, stationId);
    TQorAdoQry q(c);
    q.SQL << QStringLiteral("Insert into tXtPrnDefault(PrnCode,SerialNo,UserCode,WorkStation) ")
          << QStringLiteral("values(:PrnCode,:SerialNo,:UserCode,:WorkStation) ");
    bind(q, "PrnCode", text(prnCode));
    bind(q, "SerialNo", QVariant(qint64(serialNo)));
    bind(q, "UserCode", text(userCode));
    bind(q, "WorkStation", text(stationId));
    exec(q);
    tx.commit();
}
