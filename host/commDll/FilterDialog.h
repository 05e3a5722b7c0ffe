// The filter dialog: condition lines on the grid's columns (join, column, comparison, value),
// composed into a filter expression of the grid's dataset.
#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLineEdit;
class QTableWidget;
class TDBGridEh;

class TfrmFilter : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFilter(TDBGridEh* grid, QWidget* parent = nullptr);
    // "1|<expression>" after OK ("1|" when the filter is cleared); empty when cancelled.
    QString resultText() const { return m_result; }
    bool hasFields() const { return !m_fields.isEmpty(); }

    // A new condition line; its widgets are cmbJoin<n>, cmbField<n>, cmbOp<n>, edtValue<n>.
    int addCondition();
    void deleteCondition(int row);
    int conditionCount() const;
    // The expression of the lines as they stand; throws commdll::CommDllError with the message
    // for a line that cannot be composed.
    QString composeExpression() const;

    QTableWidget* tblConditions;
    QLineEdit* edtExpr;

private:
    struct FieldInfo {
        QString name;
        QString caption;
        bool numeric;
    };
    void fillOperators(QComboBox* ops, bool numeric);
    void renameRows();
    void refreshExpression();
    void btnOKClick();
    void btnClearClick();
    QStringList lineOf(int row) const;
    void setLine(int row, const QStringList& line);
    TDBGridEh* m_grid;
    QList<FieldInfo> m_fields;
    QString m_result;
};

QString RunFilterDialog(TDBGridEh* grid);
