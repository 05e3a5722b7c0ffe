// The locate dialog: a field of the grid, the value to look for, and whether case matters and a
// prefix is enough.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class TDBGridEh;

class TfrmLocate : public QDialog {
    Q_OBJECT
public:
    explicit TfrmLocate(TDBGridEh* grid, QWidget* parent = nullptr);
    // "1|<field>|<value>|<case flag>|<partial flag>" after OK; empty otherwise.
    QString resultText() const { return m_result; }
    bool hasFields() const;

    QComboBox* cmbField;
    QLineEdit* edtValue;
    QCheckBox* chkCase;
    QCheckBox* chkPartial;

private:
    void btnOKClick();
    TDBGridEh* m_grid;
    QString m_result;
};

// Runs the dialog for the grid; the result text.
QString RunLocateDialog(TDBGridEh* grid);
