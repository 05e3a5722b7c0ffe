#include "query/PubQuery.h"

#include "host/include/PubProcDll.h"
#include "module/ErrLog.h"
#include "module/MISPub.h"
#include "platform/ui/Guard.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPalette>

QString CurQryType;
QString QryWhereText;
QString QryDescText;

namespace QryWords {

const QStringList& textOperators()
{
    static const QStringList l{QStringLiteral("="),  QStringLiteral(">"),  QStringLiteral(">="),
                               QStringLiteral("<"),  QStringLiteral("<="), QStringLiteral("<>"),
                               Contains,             BeginsWith,           EndsWith,
                               NotContains};
    return l;
}

const QStringList& comparisonOperators()
{
    static const QStringList l = textOperators().mid(0, 6);
    return l;
}

const QStringList& equalityOperators()
{
    static const QStringList l{QStringLiteral("="), QStringLiteral("<>")};
    return l;
}

const QStringList& joins()
{
    static const QStringList l{And, Or};
    return l;
}

} // namespace QryWords

namespace {

// Lines of the saved condition name (defined with the other saved-condition helpers below).
int countSaved(const QString& qryType, const QString& name, bool locked = false);

TADOConnection* conn() { return GetSharedConnection(); }

QString upperType(const QString& qryType) { return EscapeQuotes(qryType.toUpper()); }

// The first column of the first row, or empty.
QString firstValue(TQorAdoQry& q, const QString& column)
{
    q.OpenSized();
    if (q.Eof()) return QString();
    return q.FieldByName(column).AsString();
}

QString connector(const QString& join)
{
    if (join == QryWords::And) return QStringLiteral(" And ");
    if (join == QryWords::Or) return QStringLiteral(" Or ");
    return QString();
}

bool allDigits(const QString& s)
{
    if (s.isEmpty()) return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

// The code of a list value: the first row's QryVluNo, or the typed text itself when the list
// does not hold it (a partial text then finds what it names instead of matching every row).
QString listCode(TQorAdoQry& q, const QString& typed)
{
    q.OpenSized();
    if (q.Eof()) return typed;
    return q.FieldByName(QStringLiteral("QryVluNo")).AsString();
}

} // namespace

// --- catalogue -------------------------------------------------------------------------------

const TQryField* TQryCatalog::findByName(const QString& name) const
{
    for (const TQryField& f : Fields)
        if (f.FldName.compare(name, Qt::CaseInsensitive) == 0) return &f;
    return nullptr;
}

const TQryField* TQryCatalog::findBySerialNo(int serialNo) const
{
    for (const TQryField& f : Fields)
        if (f.SerialNo == serialNo) return &f;
    return nullptr;
}

int TQrySaveList::countNamed(const QString& name) const
{
    int n = 0;
    for (const TQrySaveLine& l : Lines)
        if (l.QryName.compare(name, Qt::CaseInsensitive) == 0) ++n;
    return n;
}

const TQrySaveLine* TQrySaveList::findNamed(const QString& name) const
{
    for (const TQrySaveLine& l : Lines)
        if (l.QryName.compare(name, Qt::CaseInsensitive) == 0) return &l;
    return nullptr;
}

QString QryEditionFilter()
{
    const QString v = CurVER();
    if (v == QLatin1String("0")) return QStringLiteral(" and (VER='0' or VER='1' or VER='3')");
    if (v == QLatin1String("1")) return QStringLiteral(" and (VER='0' or VER='2' or VER='4')");
    if (v == QLatin1String("2"))
        return QStringLiteral(" and (VER='0' or VER='1' or VER='2' or VER='5')");
    return QString();
}

void LoadQryFields(const QString& qryType, std::unique_ptr<TQryCatalog>& catalog)
{
    if (!catalog) catalog = std::make_unique<TQryCatalog>();
    TQorAdoQry q(conn());
    q.SQL << QStringLiteral("select SerialNo,FldCode,FldName,FldType,VluType,VluObject,VluField,VluCaption")
          << QStringLiteral("  from tXtQry")
          << QStringLiteral(" where Upper(QryType)='") + upperType(qryType) + QStringLiteral("'");
    const QString ver = QryEditionFilter();
    if (!ver.isEmpty()) q.SQL << ver;
    q.SQL << QStringLiteral("  order by SerialNo");
    q.OpenSized();
    QList<TQryField> fields;
    while (!q.Eof()) {
        TQryField f;
        f.SerialNo = int(q.FieldByName(QStringLiteral("SerialNo")).AsInteger());
        f.FldCode = q.FieldByName(QStringLiteral("FldCode")).AsString();
        f.FldName = q.FieldByName(QStringLiteral("FldName")).AsString();
        f.FldType = q.FieldByName(QStringLiteral("FldType")).AsString();
        f.VluType = q.FieldByName(QStringLiteral("VluType")).AsString();
        f.VluObject = q.FieldByName(QStringLiteral("VluObject")).AsString();
        f.VluField = q.FieldByName(QStringLiteral("VluField")).AsString();
        f.VluCaption = q.FieldByName(QStringLiteral("VluCaption")).AsString();
        fields << f;
        q.Next();
    }
    catalog->QryType = qryType;
    catalog->Fields = std::move(fields);
}

void LoadQrySaves(const QString& qryType, std::unique_ptr<TQrySaveList>& saves)
{
    if (!saves) saves = std::make_unique<TQrySaveList>();
    TQorAdoQry q(conn());
    q.SQL << QStringLiteral("select * from tXtQrySave") << QStringLiteral("where QryType=:QryType");
    q.Parameters.ParamByName(QStringLiteral("QryType")).Value = qryType;
    q.OpenSized();
    QList<TQrySaveLine> lines;
    while (!q.Eof()) {
        TQrySaveLine l;
        l.QryType = q.FieldByName(QStringLiteral("QryType")).AsString();
        l.SerialNo = int(q.FieldByName(QStringLiteral("SerialNo")).AsInteger());
        l.OrderNo = int(q.FieldByName(QStringLiteral("OrderNo")).AsInteger());
        l.QryName = q.FieldByName(QStringLiteral("QryName")).AsString();
        l.FldCode = q.FieldByName(QStringLiteral("FldCode")).AsString();
        l.Operator = q.FieldByName(QStringLiteral("Operator")).AsString();
        l.FieldValue = q.FieldByName(QStringLiteral("FieldValue")).AsString();
        l.LinkFlag = q.FieldByName(QStringLiteral("LinkFlag")).AsString();
        lines << l;
        q.Next();
    }
    saves->QryType = qryType;
    saves->Lines = std::move(lines);
}

QString GetQryFieldAttr(const QString& fieldName, const QString& column, const TQryCatalog* catalog)
{
    if (!catalog) return QString();
    const TQryField* f = catalog->findByName(fieldName);
    if (!f) return QString();
    auto is = [&](const char* c) { return column.compare(QLatin1String(c), Qt::CaseInsensitive) == 0; };
    if (is("SerialNo")) return QString::number(f->SerialNo);
    if (is("FldCode")) return f->FldCode;
    if (is("FldName")) return f->FldName;
    if (is("FldType")) return f->FldType;
    if (is("VluType")) return f->VluType;
    if (is("VluObject")) return f->VluObject;
    if (is("VluField")) return f->VluField;
    if (is("VluCaption")) return f->VluCaption;
    return QString();
}

// --- values and lines ------------------------------------------------------------------------

bool NormalizeQryNumber(const QString& fldType, const QString& text, QString& sql)
{
    const QString type = fldType.toUpper();
    if (type != QLatin1String("I") && type != QLatin1String("F")) return false;
    QString s = text.trimmed();
    bool negative = false;
    if (s.startsWith(QLatin1Char('+')) || s.startsWith(QLatin1Char('-'))) {
        negative = s.startsWith(QLatin1Char('-'));
        s.remove(0, 1);
    }
    QString whole = s, fraction;
    const int dot = s.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        if (type == QLatin1String("I")) return false;
        whole = s.left(dot);
        fraction = s.mid(dot + 1);
        if (!allDigits(fraction)) return false;
    }
    if (!allDigits(whole)) return false;
    while (whole.size() > 1 && whole.startsWith(QLatin1Char('0'))) whole.remove(0, 1);
    while (fraction.endsWith(QLatin1Char('0'))) fraction.chop(1);
    if (type == QLatin1String("I")) {
        bool ok = false;
        const qint64 n = (negative ? QLatin1String("-") + whole : whole).toLongLong(&ok);
        if (!ok) return false;
        sql = QString::number(n);
        return true;
    }
    QString r = whole;
    if (!fraction.isEmpty()) r += QLatin1Char('.') + fraction;
    if (negative && r != QLatin1String("0")) r.prepend(QLatin1Char('-'));
    sql = r;
    return true;
}

bool FormatQryValue(const QString& value, const QString& fieldName, const QString& op,
                    const TQryCatalog* catalog, QString& valueText)
{
    const QString type = GetQryFieldAttr(fieldName, QStringLiteral("FldType"), catalog).toUpper();
    if (type == QLatin1String("S")) {
        QString pattern = value;
        if (op == QryWords::Contains || op == QryWords::NotContains)
            pattern = QLatin1Char('%') + value + QLatin1Char('%');
        else if (op == QryWords::BeginsWith)
            pattern = value + QLatin1Char('%');
        else if (op == QryWords::EndsWith)
            pattern = QLatin1Char('%') + value;
        valueText = QuotedStr(pattern);
        return true;
    }
    if (type == QLatin1String("F") || type == QLatin1String("I")) {
        QString n;
        if (!NormalizeQryNumber(type, value, n)) return false;
        valueText = n;
        return true;
    }
    return false;
}

QString BuildQryComparison(const QString& fieldName, const QString& op, const QString& value,
                           const TQryCatalog* catalog)
{
    const TQryField* f = catalog ? catalog->findByName(fieldName) : nullptr;
    if (!f || f->FldCode.isEmpty() || op.isEmpty()) return QString();
    if (!QryWords::textOperators().contains(op)) return QString();

    QString valueText;
    if (f->VluType == QLatin1String("0")) {
        FormatQryValue(value, fieldName, op, catalog, valueText);
    } else if (f->VluType == QLatin1String("1")) {
        TQorAdoQry q(conn());
        q.SQL << QStringLiteral(" select ltrim(rtrim(QryVluNo)) as QryVluNo,ltrim(rtrim(QryValue)) as qryVluInfo")
              << QStringLiteral(" from tXtQryValue")
              << QStringLiteral(" where Upper(QryType)='") + upperType(catalog->QryType) + QStringLiteral("'")
              << QStringLiteral(" and serialNo=") + QString::number(f->SerialNo)
              << QStringLiteral(" and QryValue=") + QuotedStr(value);
        FormatQryValue(listCode(q, value), fieldName, op, catalog, valueText);
    } else if (f->VluType == QLatin1String("2")) {
        TQorAdoQry q(conn());
        q.SQL << QStringLiteral(" select ltrim(rtrim(") + f->VluField + QStringLiteral(")) as QryVluNo,")
              << QStringLiteral(" ltrim(rtrim(") + f->VluCaption + QStringLiteral(")) as qryVluInfo ")
              << QStringLiteral(" from ") + f->VluObject
              << QStringLiteral(" where ") + f->VluCaption + QStringLiteral("=") + QuotedStr(value);
        FormatQryValue(listCode(q, value), fieldName, op, catalog, valueText);
    }
    if (valueText.isEmpty()) return QString();

    const QString type = f->FldType.toUpper();
    QString column = f->FldCode;
    if (type == QLatin1String("S"))
        column = QStringLiteral("IsNull(") + f->FldCode + QStringLiteral(",'')");
    else if (type == QLatin1String("F") || type == QLatin1String("I"))
        column = QStringLiteral("IsNull(") + f->FldCode + QStringLiteral(",0)");

    if (QryWords::comparisonOperators().contains(op))
        return QLatin1Char('(') + column + op + valueText + QLatin1Char(')');
    if (op == QryWords::NotContains)
        return QLatin1Char('(') + column + QStringLiteral(" not like ") + valueText + QLatin1Char(')');
    return QLatin1Char('(') + column + QStringLiteral(" like ") + valueText + QLatin1Char(')');
}

QString BuildQryCondition(const QString& fieldName, const QString& op, const QString& value,
                          const TQryCatalog* catalog, const QString& join)
{
    const QString c = BuildQryComparison(fieldName, op, value, catalog);
    if (c.isEmpty()) return QString();
    return c + connector(join);
}

bool TQryWhereBuilder::add(const QString& comparison, const QString& join)
{
    if (comparison.isEmpty()) return false;
    m_parts.append(Part{comparison, join});
    return true;
}

QString TQryWhereBuilder::text() const
{
    QString r;
    for (int i = 0; i < m_parts.size(); ++i) {
        r += m_parts[i].comparison;
        if (i + 1 < m_parts.size()) {
            // Between two lines a word that is no join (a stored line edited elsewhere) reads
            // as "并且": two comparisons side by side would not be SQL.
            const QString c = connector(m_parts[i].join);
            r += c.isEmpty() ? connector(QryWords::And) : c;
        }
    }
    return r;
}

void BuildQryFromItem(const QString& qryType, const QString& item, const QString& op,
                      const QString& value, std::unique_ptr<TQryCatalog>& catalog, QString& desc,
                      QString& where)
{
    CurQryType = qryType;
    LoadQryFields(qryType, catalog);
    desc.clear();
    where.clear();

    TQorAdoQry isField(conn());
    isField.SQL << QStringLiteral("select * from txtQry ")
                << QStringLiteral(" where qrytype='") + EscapeQuotes(qryType) + QStringLiteral("' and FldName='") +
                       EscapeQuotes(item) + QStringLiteral("'");
    isField.OpenSized();
    if (!isField.Eof()) {
        const QString c = BuildQryComparison(item, op, value, catalog.get());
        if (c.isEmpty()) return;
        where = c;
        desc = item + QLatin1Char(' ') + op + QLatin1Char(' ') + QuotedStr(value);
        return;
    }

    TQorAdoQry saved(conn());
    saved.SQL << QStringLiteral("select * from txtQrySave ")
              << QStringLiteral(" where QryType='") + EscapeQuotes(qryType) + QStringLiteral("' and QryName ='") +
                     EscapeQuotes(item) + QStringLiteral("' ")
              << QStringLiteral(" order by SerialNo,OrderNo");
    saved.OpenSized();
    struct Line {
        QString field, op, value, join;
    };
    QList<Line> lines;
    while (!saved.Eof()) {
        lines << Line{saved.FieldByName(QStringLiteral("FldCode")).AsString(),
                      saved.FieldByName(QStringLiteral("Operator")).AsString(),
                      saved.FieldByName(QStringLiteral("FieldValue")).AsString(),
                      saved.FieldByName(QStringLiteral("LinkFlag")).AsString()};
        saved.Next();
    }
    TQryWhereBuilder builder;
    QList<Line> used; // the lines that contribute, for the description
    for (Line& l : lines) {
        l.field = GetQryFldName(qryType, l.field);
        if (builder.add(BuildQryComparison(l.field, l.op, l.value, catalog.get()), l.join)) used << l;
    }
    if (builder.isEmpty()) return;
    for (int i = 0; i < used.size(); ++i) {
        const Line& l = used[i];
        desc += QLatin1Char('(') + l.field + QLatin1Char(' ') + l.op + QLatin1Char(' ') +
                QuotedStr(l.value) + QLatin1Char(')');
        if (i + 1 < used.size()) desc += QLatin1Char(' ') + l.join + QChar(13);
    }
    where = QLatin1Char('(') + builder.text() + QLatin1Char(')');
}

// --- lookups ---------------------------------------------------------------------------------

QString GetQryFldName(const QString& qryType, const QString& fldCode)
{
    TQorAdoQry q(conn());
    q.SQL << QStringLiteral("select SerialNo,FldCode,FldName,FldType,VluType,VluObject,VluField,VluCaption")
          << QStringLiteral("  from tXtQry")
          << QStringLiteral(" where Upper(QryType)='") + upperType(qryType) + QStringLiteral("' and FldCode='") +
                 EscapeQuotes(fldCode) + QStringLiteral("' ");
    const QString ver = QryEditionFilter();
    if (!ver.isEmpty()) q.SQL << ver;
    q.SQL << QStringLiteral("  order by SerialNo");
    return firstValue(q, QStringLiteral("FldName"));
}

QString GetSavedFirstFldName(const QString& qryType, const QString& name)
{
    TQorAdoQry q(conn());
    q.SQL << QStringLiteral("select b.FldName from tXtQrySave a,tXtQry b")
          << QStringLiteral("where a.QryType=b.QryType and a.FldCode=b.FldCode")
          << QStringLiteral("and a.QryType=:QryType and a.QryName=:QryName")
          << QStringLiteral("order by a.SerialNo,a.OrderNo");
    q.Parameters.ParamByName(QStringLiteral("QryType")).Value = qryType;
    q.Parameters.ParamByName(QStringLiteral("QryName")).Value = name;
    q.OpenSized();
    if (q.Eof()) return name;
    return q.FieldByName(QStringLiteral("FldName")).AsString();
}

bool IsQryFieldName(const QString& qryType, const QString& name)
{
    TQorAdoQry q(conn());
    q.SQL << QStringLiteral(" select SerialNo,FldCode,FldName,FldType,VluType,VluObject,VluField,VluCaption")
          << QStringLiteral("  from tXtQry")
          << QStringLiteral("  where Upper(QryType)='") + upperType(qryType) + QStringLiteral("' and FLdName='") +
                 EscapeQuotes(name) + QStringLiteral("' ");
    const QString ver = QryEditionFilter();
    if (!ver.isEmpty()) q.SQL << ver;
    q.SQL << QStringLiteral("  order by SerialNo");
    q.OpenSized();
    return !q.Eof();
}

bool IsQrySaveName(const QString& qryType, const QString& name)
{
    TQorAdoQry q(conn());
    q.SQL << QStringLiteral(" select * ") << QStringLiteral("  from tXtQrySave ")
          << QStringLiteral("  where Upper(QryType)='") + upperType(qryType) + QStringLiteral("' and QryName='") +
                 EscapeQuotes(name) + QStringLiteral("' ");
    q.OpenSized();
    return !q.Eof();
}

void FillQryOperators(const QString& qryType, const QString& fieldName, QStringList& operators,
                      std::unique_ptr<TQryCatalog>& catalog)
{
    CurQryType = qryType;
    LoadQryFields(qryType, catalog);
    const TQryField* f = catalog->findByName(fieldName);
    operators.clear();
    auto byType = [&] {
        return f->FldType.toUpper() == QLatin1String("S") ? QryWords::textOperators()
                                                          : QryWords::comparisonOperators();
    };
    if (f && f->VluType == QLatin1String("0"))
        operators = byType();
    else if (f && f->VluType == QLatin1String("2") && f->VluField == f->VluCaption)
        operators = byType();
    else
        operators = QryWords::equalityOperators();
}

void FillQryValues(const QString& qryType, const QString& fieldName, QStringList& values,
                   std::unique_ptr<TQryCatalog>& catalog)
{
    values.clear();
    CurQryType = qryType;
    LoadQryFields(qryType, catalog);
    const TQryField* named = catalog->findByName(fieldName);
    if (!named || (named->VluType != QLatin1String("1") && named->VluType != QLatin1String("2"))) return;
    const TQryField* f = catalog->findBySerialNo(named->SerialNo);
    if (!f) return;
    TQorAdoQry q(conn());
    if (named->VluType == QLatin1String("1")) {
        q.SQL << QStringLiteral(" select ltrim(rtrim(QryVluNo)) as QryVluNo,ltrim(rtrim(QryValue)) as qryVluInfo")
              << QStringLiteral(" from tXtQryValue")
              << QStringLiteral(" where Upper(QryType)='") + upperType(qryType) + QStringLiteral("'")
              << QStringLiteral(" and serialno=") + QString::number(f->SerialNo);
    } else {
        q.SQL << QStringLiteral(" select ltrim(rtrim(") + f->VluField + QStringLiteral(")) as QryVluNo,")
              << QStringLiteral(" ltrim(rtrim(") + f->VluCaption + QStringLiteral(")) as qryVluInfo ")
              << QStringLiteral(" from ") + f->VluObject;
    }
    q.OpenSized();
    try {
        while (!q.Eof()) {
            values << q.FieldByName(QStringLiteral("qryVluInfo")).AsString();
            q.Next();
        }
    } catch (...) {
        // the list keeps the values read so far
        LogException(currentExceptionMessage());
    }
}

// --- the condition frame's operations ---------------------------------------------------------

void ShowQryItemHint(QComboBox* cmbItem)
{
    if (!cmbItem) return;
    cmbItem->setEditText(QryWords::ItemHint);
    QPalette p = cmbItem->palette();
    p.setColor(QPalette::Text, QColor(128, 128, 128));
    cmbItem->setPalette(p);
}

void FillQryItems(const QString& qryType, QStringList& lstItem, QComboBox* cmbItem,
                  QComboBox* cmbOperator, QComboBox* cmbValue)
{
    lstItem.clear();
    TQorAdoQry saved(conn());
    saved.SQL << QStringLiteral("select distinct QryName,SerialNo from tXtQrySave")
              << QStringLiteral("where QryType=") + QuotedStr(qryType)
              << QStringLiteral(" order by SerialNo,QryName");
    saved.OpenSized();
    bool any = false;
    while (!saved.Eof()) {
        const QString name = saved.FieldByName(QStringLiteral("QryName")).AsString();
        if (!lstItem.contains(name)) lstItem << name;
        any = true;
        saved.Next();
    }
    if (any) lstItem << QryWords::Separator;

    TQorAdoQry fields(conn());
    fields.SQL << QStringLiteral("select FldName from tXtQry")
               << QStringLiteral("where QryType=") + QuotedStr(qryType)
               << (UIsShop() ? QStringLiteral(" and (VER='0' or VER='1' or VER='3')")
                             : QStringLiteral(" and (VER='0' or VER='2' or VER='4')"))
               << QStringLiteral(" order by SerialNo");
    fields.OpenSized();
    while (!fields.Eof()) {
        lstItem << fields.FieldByName(QStringLiteral("FldName")).AsString();
        fields.Next();
    }

    if (cmbItem) {
        cmbItem->clear();
        cmbItem->addItems(lstItem);
        ShowQryItemHint(cmbItem);
    }
    if (cmbOperator) cmbOperator->setCurrentIndex(-1);
    if (cmbValue) {
        cmbValue->clear();
        cmbValue->setEditText(QString());
    }
}

void ApplyQryItem(const TQrySaveList* saves, const QString& item, QComboBox* cmbOperator,
                  QComboBox* cmbValue)
{
    const int passing = saves ? saves->countNamed(item) : 0;
    if (passing <= 1 && item != QryWords::Separator) {
        cmbOperator->setEnabled(true);
        cmbValue->setEnabled(true);
        const TQrySaveLine* line = saves ? saves->findNamed(item) : nullptr;
        if (line) {
            cmbOperator->setCurrentIndex(cmbOperator->findText(line->Operator, Qt::MatchExactly));
            cmbValue->setEditText(line->FieldValue);
        } else {
            cmbOperator->setCurrentIndex(-1);
            cmbValue->clear();
            cmbValue->setEditText(QString());
        }
        return;
    }
    cmbOperator->setCurrentIndex(-1);
    cmbValue->setEditText(QString());
    cmbOperator->setEnabled(false);
    cmbValue->setEnabled(false);
}

bool CheckQryNumber(const QString& qryType, const QString& item, QComboBox* cmbValue,
                    std::unique_ptr<TQryCatalog>& catalog)
{
    LoadQryFields(qryType, catalog);
    QString type = GetQryFieldAttr(item, QStringLiteral("FldType"), catalog.get()).toUpper();
    // A saved condition of one line takes the value box's text as its value: the field behind it
    // decides. Several lines keep their own values (the box is not used).
    if (type.isEmpty() && countSaved(qryType, item) == 1)
        type = GetQryFieldAttr(GetSavedFirstFldName(qryType, item), QStringLiteral("FldType"), catalog.get())
                   .toUpper();
    if (type != QLatin1String("F") && type != QLatin1String("I")) return true;
    QString n;
    if (NormalizeQryNumber(type, cmbValue->currentText(), n)) return true;
    cmbValue->setEditText(QString());
    FocusControl(cmbValue);
    return false;
}

int GetMaxQrySerial(const QString& qryType)
{
    TADOConnection* c = conn();
    TQorAdoQry q(c);
    q.SQL << QStringLiteral("select isnull(max(SerialNo),0) as SerialNo")
          << QStringLiteral("from tXtQrySave") + QryLockHint(c) + QStringLiteral(" where QryType=:QryType");
    q.Parameters.ParamByName(QStringLiteral("QryType")).Value = qryType;
    q.OpenSized();
    return q.Eof() ? 0 : int(q.FieldByName(QStringLiteral("SerialNo")).AsInteger());
}

QString QryLockHint(TADOConnection* c)
{
    if (c && c->dialect() == Dialect::SqlServer) return QStringLiteral(" with (updlock, holdlock)");
    return QString();
}

namespace {

// Lines saved under the name; locked takes the server's range lock (inside a transaction).
int countSaved(const QString& qryType, const QString& name, bool locked)
{
    TQorAdoQry q(conn());
    q.SQL << QStringLiteral("select SerialNo from tXtQrySave") + (locked ? QryLockHint(conn()) : QString())
          << QStringLiteral("where QryType=:QryType and QryName=:QryName");
    q.Parameters.ParamByName(QStringLiteral("QryType")).Value = qryType;
    q.Parameters.ParamByName(QStringLiteral("QryName")).Value = name;
    q.OpenSized();
    int n = 0;
    while (!q.Eof()) {
        ++n;
        q.Next();
    }
    return n;
}

// A new one-line saved condition; its number is taken and used in one transaction.
void insertRemembered(const QString& qryType, const QString& name, const QString& fldCode,
                      const QString& op, const QString& value)
{
    TADOConnection* c = conn();
    DbTransaction t(c);
    // Another station may have remembered the same condition since the caller looked: one name,
    // one condition.
    if (countSaved(qryType, name, true) > 0) return;
    const int serial = GetMaxQrySerial(qryType) + 1;
    TQorAdoQry q(c);
    q.SQL << QStringLiteral("insert into tXtQrySave(QryType,SerialNo,OrderNo,")
          << QStringLiteral("QryName,FldCode,Operator,FieldValue,LinkFlag)")
          << QStringLiteral("values(:QryType,:SerialNo,:OrderNo,")
          << QStringLiteral(":QryName,:FldCode,:Operator,:FieldValue,:LinkFlag)");
    q.Parameters.ParamByName(QStringLiteral("QryType")).Value = qryType;
    q.Parameters.ParamByName(QStringLiteral("SerialNo")).Value = qint64(serial);
    q.Parameters.ParamByName(QStringLiteral("OrderNo")).Value = qint64(1);
    q.Parameters.ParamByName(QStringLiteral("QryName")).Value = name;
    q.Parameters.ParamByName(QStringLiteral("FldCode")).Value = fldCode;
    q.Parameters.ParamByName(QStringLiteral("Operator")).Value = op;
    q.Parameters.ParamByName(QStringLiteral("FieldValue")).Value = value;
    q.Parameters.ParamByName(QStringLiteral("LinkFlag")).Value = QryWords::And;
    ExecChecked(q);
    t.commit();
}

void updateSaved(const QString& qryType, const QString& name, const QString* op, const QString& value)
{
    TQorAdoQry q(conn());
    q.SQL << (op ? QStringLiteral("update tXtQrySave set Operator=:Operator,FieldValue=:FieldValue")
                 : QStringLiteral("update tXtQrySave set FieldValue=:FieldValue"))
          << QStringLiteral("where QryType=:QryType and QryName=:QryName");
    if (op) q.Parameters.ParamByName(QStringLiteral("Operator")).Value = *op;
    q.Parameters.ParamByName(QStringLiteral("FieldValue")).Value = value;
    q.Parameters.ParamByName(QStringLiteral("QryType")).Value = qryType;
    q.Parameters.ParamByName(QStringLiteral("QryName")).Value = name;
    ExecChecked(q);
}

} // namespace

void RememberQryCondition(const QString& qryType, const QString& item, const QString& op,
                          const QString& value)
{
    if (op.isEmpty()) return;
    try {
        const int lines = countSaved(qryType, item);
        if (lines > 1) return;
        if (lines == 1) {
            TQorAdoQry q(conn());
            q.SQL << QStringLiteral("select a.FldCode,b.FldName,a.Operator")
                  << QStringLiteral("from tXtQrySave a,tXtQry b")
                  << QStringLiteral("where a.QryType=b.QryType and a.FldCode=b.FldCode")
                  << QStringLiteral("and a.QryType=:QryType and a.QryName=:QryName");
            q.Parameters.ParamByName(QStringLiteral("QryType")).Value = qryType;
            q.Parameters.ParamByName(QStringLiteral("QryName")).Value = item;
            q.OpenSized();
            if (q.Eof()) return;
            const QString fldCode = q.FieldByName(QStringLiteral("FldCode")).AsString();
            const QString fldName = q.FieldByName(QStringLiteral("FldName")).AsString();
            const QString savedOp = q.FieldByName(QStringLiteral("Operator")).AsString();
            q.Close();
            if (savedOp == op) {
                updateSaved(qryType, item, nullptr, value);
            } else if (countSaved(qryType, fldName + op) == 0) {
                insertRemembered(qryType, fldName + op, fldCode, op, value);
            }
            return;
        }
        const QString name = item + op;
        const int named = countSaved(qryType, name);
        if (named == 0) {
            TQorAdoQry q(conn());
            q.SQL << QStringLiteral("select FldCode from tXtQry")
                  << QStringLiteral("where QryType=:QryType and FldName=:FldName");
            q.Parameters.ParamByName(QStringLiteral("QryType")).Value = qryType;
            q.Parameters.ParamByName(QStringLiteral("FldName")).Value = item;
            q.OpenSized();
            if (q.Eof()) return;
            const QString fldCode = q.FieldByName(QStringLiteral("FldCode")).AsString();
            q.Close();
            insertRemembered(qryType, name, fldCode, op, value);
        } else if (named == 1) {
            // Only a one-line condition is a remembered one; a condition of several lines that
            // happens to carry this name is left alone.
            updateSaved(qryType, name, &op, value);
        }
    } catch (...) {
        // remembering is a convenience: the condition is built all the same
        LogException(currentExceptionMessage());
    }
}
