// Fields of the in-memory dataset: typed accessors of the current record, display labels and
// formats, and the per-field display-text handler.
#pragma once

#include "platform/sys/QorError.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>
#include <stdexcept>
#include <string_view>

class TClientDataSet;

// Failure of a dataset operation (bad filter, unknown field or index, wrong state, bad value).
// what() is UTF-8.
class DatasetError : public QorError {
public:
    explicit DatasetError(const QString& message) : QorError(message) {}
};

enum TFieldType { ftUnknown, ftString, ftInteger, ftLargeint, ftFloat, ftCurrency, ftBoolean };

// fkData: filled from the loaded result. fkInternalCalc / fkCalculated: computed by the
// dataset's OnCalcFields for every record (at load and after every post) and stored, so they can
// be indexed, filtered and located like data fields.
enum TFieldKind { fkData, fkCalculated, fkInternalCalc };

class TField : public QObject {
    Q_OBJECT
public:
    // text is preset with the field's own text; displayText is true for display (grid, print)
    // and false for the edit text.
    using GetTextHandler = std::function<void(TField* sender, QString& text, bool displayText)>;

    explicit TField(TFieldType type, QObject* owner = nullptr);
    ~TField() override;

    // Attaches the field to a dataset (appended after its fields) or detaches it (nullptr).
    void setDataSet(TClientDataSet* ds);
    TClientDataSet* DataSet() const { return m_ds; }

    TFieldType DataType() const { return m_type; }
    bool IsNumeric() const;
    QString FieldName() const { return m_name; }
    void setFieldName(const QString& name);
    // Caption for titles; the field name until set.
    QString DisplayLabel() const { return m_label.isNull() ? m_name : m_label; }
    void setDisplayLabel(const QString& label);
    QString DisplayName() const { return DisplayLabel(); }
    // String fields: the declared length (metadata only: values are never cut).
    int Size() const { return m_size; }
    void setSize(int size);
    // Width in characters a grid gives the field by default.
    int DisplayWidth() const;
    void setDisplayWidth(int width);
    // Numeric fields: a FormatFloat pattern for the display text ("#,##0.00").
    QString DisplayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString& fmt);
    int Tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    bool Visible() const { return m_visible; }
    void setVisible(bool v);
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool v) { m_readOnly = v; }
    TFieldKind FieldKind() const { return m_kind; }
    void setFieldKind(TFieldKind k);
    bool IsCalculated() const { return m_kind != fkData; }
    // Dynamic fields are made by the dataset from a result and freed when it closes.
    bool IsDynamic() const { return m_dynamic; }
    // Position among the dataset's fields, -1 when detached.
    int Index() const;
    Qt::Alignment Alignment() const;

    // The display-text handler (OnGetText); an empty function removes it.
    void setOnGetText(GetTextHandler h);
    bool HasOnGetText() const { return bool(m_onGetText); }
    const GetTextHandler& OnGetText() const { return m_onGetText; }

    // Value of the dataset's current record (or of the row a grid or printout is reading).
    bool IsNull() const;
    QVariant Value() const; // null QVariant for null
    QString AsString() const; // numbers as plain text, Booleans "True"/"False", null ""
    qint64 AsInteger() const;
    double AsFloat() const;
    double AsCurrency() const { return AsFloat(); }
    bool AsBoolean() const;
    // String fields: the stored UTF-8 bytes without a copy (valid until the data changes).
    std::string_view asUtf8() const;
    // The text shown (DisplayFormat or the handler) and the text edited.
    QString DisplayText() const;
    QString Text() const;

    // Setting a value puts a browsing dataset into edit mode; values are coerced to the
    // field's type (DatasetError for text that is not a number of a numeric field).
    void setValue(const QVariant& v);
    void setAsString(const QString& s);
    void setAsInteger(qint64 v);
    void setAsFloat(double v);
    void setAsCurrency(double v) { setAsFloat(v); }
    void setAsBoolean(bool v);
    void setUtf8(std::string_view s);
    void Clear(); // sets null

    // The same for an arbitrary physical row (the grid and the printout read rows in place).
    QString displayTextAt(int physRow) const;
    QVariant valueAt(int physRow) const;

    // Text of a number as DisplayFormat (or the type's default) shows it; no handler.
    QString formatNumber(double v) const;
    // Storage column of the field while its dataset is active (-1 otherwise).
    int storeColumn() const { return m_col; }

private:
    friend class TClientDataSet;
    TFieldType m_type;
    TFieldKind m_kind = fkData;
    TClientDataSet* m_ds = nullptr;
    QString m_name;
    QString m_label; // null: not set
    int m_size = 0;
    int m_displayWidth = -1;
    QString m_displayFormat;
    int m_tag = 0;
    bool m_visible = true;
    bool m_readOnly = false;
    bool m_dynamic = false;
    GetTextHandler m_onGetText;
    int m_col = -1; // storage column while the dataset is active
};

class TStringField : public TField {
    Q_OBJECT
public:
    explicit TStringField(QObject* owner = nullptr) : TField(ftString, owner) {}
};
class TIntegerField : public TField {
    Q_OBJECT
public:
    explicit TIntegerField(QObject* owner = nullptr) : TField(ftInteger, owner) {}
};
class TLargeintField : public TField {
    Q_OBJECT
public:
    explicit TLargeintField(QObject* owner = nullptr) : TField(ftLargeint, owner) {}
};
class TFloatField : public TField {
    Q_OBJECT
public:
    explicit TFloatField(QObject* owner = nullptr) : TField(ftFloat, owner) {}
};
// A floating-point field shown as money when it has no DisplayFormat.
class TCurrencyField : public TField {
    Q_OBJECT
public:
    explicit TCurrencyField(QObject* owner = nullptr) : TField(ftCurrency, owner) {}
};
class TBooleanField : public TField {
    Q_OBJECT
public:
    explicit TBooleanField(QObject* owner = nullptr) : TField(ftBoolean, owner) {}
};

// A new field of the type's class, owned by owner.
TField* createField(TFieldType type, QObject* owner);
