#include "platform/dataset/Field.h"

#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/FormatFloat.h"
#include "platform/dataset/Store.h"

#include <cmath>

using namespace dsimpl;

TField::TField(TFieldType type, QObject* owner) : QObject(owner), m_type(type)
{
}

TField::~TField()
{
    if (m_ds) m_ds->detachField(this);
}

void TField::setDataSet(TClientDataSet* ds)
{
    if (ds == m_ds) return;
    if (m_ds) m_ds->detachField(this);
    if (ds) ds->attachField(this);
}

bool TField::IsNumeric() const
{
    return m_type == ftInteger || m_type == ftLargeint || m_type == ftFloat || m_type == ftCurrency;
}

void TField::setFieldName(const QString& name)
{
    if (name == m_name) return;
    if (m_ds) {
        TField* other = m_ds->FindField(name);
        if (other && other != this)
            throw DatasetError(QStringLiteral("字段名“%1”重复").arg(name));
    }
    m_name = name;
    if (m_ds) m_ds->fieldPropertyChanged();
}

void TField::setDisplayLabel(const QString& label)
{
    m_label = label.isNull() ? QStringLiteral("") : label;
    if (m_ds) m_ds->fieldPropertyChanged();
}

void TField::setSize(int size)
{
    m_size = std::max(0, size);
}

int TField::DisplayWidth() const
{
    if (m_displayWidth >= 0) return m_displayWidth;
    switch (m_type) {
    case ftString: return m_size > 0 ? m_size : 10;
    case ftBoolean: return 5;
    default: return 10;
    }
}

void TField::setDisplayWidth(int width)
{
    m_displayWidth = std::max(0, width);
    if (m_ds) m_ds->fieldPropertyChanged();
}

void TField::setDisplayFormat(const QString& fmt)
{
    m_displayFormat = fmt;
    if (m_ds) m_ds->fieldPropertyChanged();
}

void TField::setVisible(bool v)
{
    if (v == m_visible) return;
    m_visible = v;
    if (m_ds) m_ds->fieldPropertyChanged();
}

void TField::setFieldKind(TFieldKind k)
{
    m_kind = k;
}

int TField::Index() const
{
    return m_ds ? int(m_ds->Fields().indexOf(const_cast<TField*>(this))) : -1;
}

Qt::Alignment TField::Alignment() const
{
    return (IsNumeric() ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

void TField::setOnGetText(GetTextHandler h)
{
    m_onGetText = std::move(h);
    if (m_ds) m_ds->fieldPropertyChanged();
}

// --- reading --------------------------------------------------------------------------------

namespace {

const Column* columnOf(const TField* f, int& row)
{
    const TClientDataSet* ds = f->DataSet();
    if (!ds || f->storeColumn() < 0 || !ds->store()) return nullptr;
    row = ds->accessRow();
    if (row < 0 || size_t(row) >= ds->store()->rows) return nullptr;
    return &ds->store()->cols[size_t(f->storeColumn())];
}

} // namespace

bool TField::IsNull() const
{
    int row;
    const Column* c = columnOf(this, row);
    return !c || c->isNull(size_t(row));
}

QVariant TField::Value() const
{
    int row;
    const Column* c = columnOf(this, row);
    if (!c || c->isNull(size_t(row))) return {};
    switch (c->kind) {
    case Kind::Str: {
        const std::string_view s = c->str(size_t(row));
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }
    case Kind::Int: return QVariant(qint64(c->ints[size_t(row)]));
    case Kind::Dbl: return QVariant(c->dbls[size_t(row)]);
    case Kind::Bool: return QVariant(c->flags[size_t(row)] == 1);
    }
    return {};
}

std::string_view TField::asUtf8() const
{
    int row;
    const Column* c = columnOf(this, row);
    if (!c || c->kind != Kind::Str) return {};
    return c->str(size_t(row));
}

QString TField::AsString() const
{
    int row;
    const Column* c = columnOf(this, row);
    if (!c || c->isNull(size_t(row))) return QString();
    switch (c->kind) {
    case Kind::Str: {
        const std::string_view s = c->str(size_t(row));
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }
    case Kind::Int: return QString::number(c->ints[size_t(row)]);
    case Kind::Dbl: return FloatToStr(c->dbls[size_t(row)]);
    case Kind::Bool: return c->flags[size_t(row)] == 1 ? QStringLiteral("True") : QStringLiteral("False");
    }
    return QString();
}

qint64 TField::AsInteger() const
{
    int row;
    const Column* c = columnOf(this, row);
    if (!c || c->isNull(size_t(row))) return 0;
    switch (c->kind) {
    case Kind::Int: return c->ints[size_t(row)];
    case Kind::Dbl: return qint64(std::llround(c->dbls[size_t(row)]));
    case Kind::Bool: return c->flags[size_t(row)] == 1 ? 1 : 0;
    case Kind::Str: {
        int64_t v;
        if (!parseInt64(c->str(size_t(row)), v))
            throw DatasetError(QStringLiteral("“%1”不是有效的整数").arg(AsString()));
        return v;
    }
    }
    return 0;
}

double TField::AsFloat() const
{
    int row;
    const Column* c = columnOf(this, row);
    if (!c || c->isNull(size_t(row))) return 0;
    switch (c->kind) {
    case Kind::Int: return double(c->ints[size_t(row)]);
    case Kind::Dbl: return c->dbls[size_t(row)];
    case Kind::Bool: return c->flags[size_t(row)] == 1 ? 1 : 0;
    case Kind::Str: {
        double v;
        if (!parseDouble(c->str(size_t(row)), v))
            throw DatasetError(QStringLiteral("“%1”不是有效的数值").arg(AsString()));
        return v;
    }
    }
    return 0;
}

bool TField::AsBoolean() const
{
    int row;
    const Column* c = columnOf(this, row);
    if (!c || c->isNull(size_t(row))) return false;
    switch (c->kind) {
    case Kind::Bool: return c->flags[size_t(row)] == 1;
    case Kind::Int: return c->ints[size_t(row)] != 0;
    case Kind::Dbl: return c->dbls[size_t(row)] != 0;
    case Kind::Str: {
        const QString s = AsString().trimmed().toUpper();
        return s == QLatin1String("TRUE") || s == QLatin1String("T") || s == QLatin1String("1") ||
               s == QLatin1String("Y") || s == QLatin1String("YES");
    }
    }
    return false;
}

QString TField::formatNumber(double v) const
{
    if (!m_displayFormat.isEmpty()) return FormatFloat(m_displayFormat, v);
    if (m_type == ftCurrency) return FormatCurrency(v);
    if (m_type == ftInteger || m_type == ftLargeint) return QString::number(qint64(std::llround(v)));
    return FloatToStr(v);
}

QString TField::DisplayText() const
{
    QString t;
    int row;
    const Column* c = columnOf(this, row);
    if (c && !c->isNull(size_t(row))) {
        switch (c->kind) {
        case Kind::Int:
            t = m_displayFormat.isEmpty() ? QString::number(c->ints[size_t(row)])
                                          : FormatFloat(m_displayFormat, double(c->ints[size_t(row)]));
            break;
        case Kind::Dbl: t = formatNumber(c->dbls[size_t(row)]); break;
        default: t = AsString(); break;
        }
    }
    if (m_onGetText) m_onGetText(const_cast<TField*>(this), t, true);
    return t;
}

QString TField::Text() const
{
    QString t = AsString();
    if (m_onGetText) m_onGetText(const_cast<TField*>(this), t, false);
    return t;
}

QString TField::displayTextAt(int physRow) const
{
    if (!m_ds) return QString();
    TClientDataSet::RowScope scope(m_ds, physRow);
    return DisplayText();
}

QVariant TField::valueAt(int physRow) const
{
    if (!m_ds) return {};
    TClientDataSet::RowScope scope(m_ds, physRow);
    return Value();
}

// --- writing --------------------------------------------------------------------------------

void TField::setValue(const QVariant& v)
{
    if (!m_ds) throw DatasetError(QStringLiteral("字段“%1”不属于任何数据集").arg(m_name));
    m_ds->writeValue(this, v);
}

void TField::setAsString(const QString& s)
{
    setValue(QVariant(s));
}

void TField::setAsInteger(qint64 v)
{
    setValue(QVariant(v));
}

void TField::setAsFloat(double v)
{
    setValue(QVariant(v));
}

void TField::setAsBoolean(bool v)
{
    setValue(QVariant(v));
}

void TField::setUtf8(std::string_view s)
{
    if (!m_ds) throw DatasetError(QStringLiteral("字段“%1”不属于任何数据集").arg(m_name));
    m_ds->writeUtf8(this, s);
}

void TField::Clear()
{
    setValue(QVariant());
}

TField* createField(TFieldType type, QObject* owner)
{
    switch (type) {
    case ftInteger: return new TIntegerField(owner);
    case ftLargeint: return new TLargeintField(owner);
    case ftFloat: return new TFloatField(owner);
    case ftCurrency: return new TCurrencyField(owner);
    case ftBoolean: return new TBooleanField(owner);
    default: return new TStringField(owner);
    }
}
