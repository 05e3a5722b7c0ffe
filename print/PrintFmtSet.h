// The format editor "格式设置": serial number, name and remark of one print format of the list
// form whose formats are maintained (CurPrnCode). Add mode stays open for the next format; edit
// mode closes after a save.
#pragma once

#include "framework/UBase.h"

#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Ui {
class TfrmPrintFmtSet;
}

class TfrmPrintFmtSet : public TfrmBase {
    Q_OBJECT
public:
    explicit TfrmPrintFmtSet(QWidget* parent = nullptr);
    ~TfrmPrintFmtSet() override;

    // --- components ----------------------------------------------------------------------------
    QGroupBox* GroupBox1;
    QLineEdit *edtSerialNo, *edtPrnName, *edtRemark;
    QPushButton *btnSave, *btnCancel, *btnClose;

    // Add (true) or edit (false).
    bool AddMode = true;
    // Edit mode: the list's current row, which the edit replaces and Cancel restores.
    int CurSerialNo = 0;
    QString CurPrnName;
    QString CurRemark;

    // Edit mode: takes the current row's values and shows them in the three edits.
    void setCurrentRow(int serialNo, const QString& prnName, const QString& remark);

    // --- handlers ------------------------------------------------------------------------------
    void FormShow(QObject* sender) override;
    void FormClose(QObject* sender, TCloseAction& action) override;
    void actSaveExecute(QObject* sender) override;
    void actCancelExecute(QObject* sender) override;

private:
    void clearEdits();
    void showCurrentRow();

    std::unique_ptr<Ui::TfrmPrintFmtSet> ui;
};
