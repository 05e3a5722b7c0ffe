#include "framework/URightCtl.h"

#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "platform/ui/Guard.h"

namespace {

// Codes read from fixed-width columns may come back padded; the option is compared whole.
QString codeOf(const TDbField& f)
{
    QString s = f.AsString();
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) --n;
    s.truncate(n);
    return s;
}

// A code as a text parameter: a null code is bound as an empty text, not as NULL.
QVariant textValue(const QString& s) { return QVariant(s.isNull() ? QString(QLatin1String("")) : s); }

// Runs the query and collects the OptCode column; false (and an empty set) on any failure.
bool loadOptCodes(TQorAdoQry& q, QSet<QString>& codes, const char* what)
{
    codes.clear();
    try {
        q.setConnection(GetSharedConnection());
        q.OpenSized();
        const int col = q.FieldIndex(QStringLiteral("OptCode"));
        if (col < 0) throw DbError(QStringLiteral("找不到字段 OptCode"));
        for (; !q.Eof(); q.Next()) codes.insert(codeOf(q.Field(col)));
        q.Close();
        return true;
    } catch (...) {
        // Denied rights are the answer; the log keeps the reason.
        codes.clear();
        q.Close();
        LogException(QString::fromLatin1(what) + QStringLiteral(": ") + currentExceptionMessage());
        return false;
    }
}

} // namespace

TRightCtl::TRightCtl(const QString& userCode, const QString& funCode)
    : m_userCode(userCode), m_funCode(funCode)
{
    LoadFuncItems();
    LoadUserRights();
}

TRightCtl::~TRightCtl() = default;

bool TRightCtl::LoadFuncItems()
{
    m_funcItemsOpen = false;
    m_qryFuncItems.Close();
    m_qryFuncItems.Parameters.Clear();
    m_qryFuncItems.SQL = QStringList{
        QStringLiteral("select FunCode,OptCode,OptName"),
        QStringLiteral("from xtFuncItem "),
        QStringLiteral("where FunCode = :FunCode"),
        QStringLiteral("union"),
        QStringLiteral("select FunCode,FunCode as OptCode,FunName as OptName"),
        QStringLiteral("from xtfunction"),
        QStringLiteral("where FunCode like 'OP%'"),
    };
    m_qryFuncItems.Parameters.ParamByName(QStringLiteral("FunCode")).Value = textValue(m_funCode);
    m_funcItemsOpen = loadOptCodes(m_qryFuncItems, m_funcOptCodes, "LoadFuncItems");
    return m_funcItemsOpen;
}

bool TRightCtl::LoadUserRights()
{
    m_userRightsOpen = false;
    m_qryUserRights.Close();
    m_qryUserRights.Parameters.Clear();
    bool productTen = false;
    try {
        productTen = UproductType() == QLatin1String("10");
    } catch (...) {
        LogException(QStringLiteral("LoadUserRights: ") + currentExceptionMessage());
        m_userOptCodes.clear();
        return false;
    }
    if (!productTen) {
        m_qryUserRights.SQL = QStringList{
            QStringLiteral("select distinct FunCode,OptCode"),
            QStringLiteral("from xtRightFunc T1,xtUserSub T2 "),
            QStringLiteral("where T1.UGrpCode = T2.UGrpCode and T2.StaffCode = :UserCode and "
                           "(T1.FunCode = :FunCode or T1.FunCode like 'OP%')"),
        };
    } else {
        // Under product type "10" a controlled function keeps only its query rows.
        m_qryUserRights.SQL = QStringList{
            QStringLiteral("select distinct FunCode,OptCode"),
            QStringLiteral("from xtRightFunc T1,xtUserSub T2"),
            QStringLiteral("where T1.UGrpCode = T2.UGrpCode and T2.StaffCode = :UserCode and "
                           "(T1.FunCode = :FunCode or T1.FunCode like 'OP%') and "),
            QStringLiteral("      (Exists (select * from tMGMdFunction where funcode = :FunCode "
                           "and isCtrl = '1') and T1.OptCode = '04' "),
            QStringLiteral("       or not Exists (select * from tMGMdFunction where funcode = "
                           ":FunCode and isCtrl = '1') )"),
        };
    }
    m_qryUserRights.Parameters.ParamByName(QStringLiteral("UserCode")).Value = textValue(m_userCode);
    m_qryUserRights.Parameters.ParamByName(QStringLiteral("FunCode")).Value = textValue(m_funCode);
    m_userRightsOpen = loadOptCodes(m_qryUserRights, m_userOptCodes, "LoadUserRights");
    return m_userRightsOpen;
}

bool TRightCtl::HasRight(const QString& optCode)
{
    if (!m_funcItemsOpen || !m_userRightsOpen) {
        if (!LoadFuncItems()) return false;
        if (!LoadUserRights()) return false;
    }
    // The built-in administrator, spelt exactly.
    if (m_userCode == QLatin1String("QVW")) return true;
    if (!m_userOptCodes.contains(optCode)) return false;
    return m_funcOptCodes.contains(optCode);
}
