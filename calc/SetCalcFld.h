// The calculated-field editor "自定义列": defines, changes and deletes the calculated fields of
// one client dataset of one list form. The user never types an expression: it is assembled by
// double-clicking available columns and operators. The editor keeps the display text (captions)
// and the stored text (field names, saved in tXtQryField.FldExpress) side by side.
#pragma once

#include "calc/CalcEngine.h"
#include "framework/UBase.h"

#include <QPointer>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QKeyEvent;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class TClientDataSet;
class TQorAdoQry;

namespace Ui {
class TfrmSetCalcFld;
}

// Opens the editor modally for the dataset's calculated fields under the list form's key; one
// editor at a time. Saved definitions take effect the next time the list form is created.
void ShowCalcFieldEditor(TClientDataSet* ds, const QString& formKey);

class TfrmSetCalcFld : public TfrmBase {
    Q_OBJECT
public:
    enum TEditState { esUnchecked, esEditing, esFinished };
    // The last choice, shown in the memo but not yet part of the committed texts.
    enum TPendingKind { pkNone, pkField, pkConstant, pkOperator, pkOpen, pkClose };

    explicit TfrmSetCalcFld(QWidget* parent = nullptr);
    ~TfrmSetCalcFld() override;

    // Set by ShowCalcFieldEditor before the form is shown.
    TClientDataSet* CalcDataSet = nullptr;

    // --- controls (object names as the form's components) ------------------------------------
    QGroupBox *GroupBox1, *GroupBox2;
    QComboBox* cbxFldName;
    QLineEdit* EdtFldCaption;
    QComboBox* CbxFlgType;
    QLineEdit* EdtFldLen;
    QComboBox* CbxFormat;
    QCheckBox* ChkIsSum;
    QLineEdit* EdtReMark;
    QListWidget* lbxFieldCaption;
    QListWidget* lbxOperator;
    QListWidget* lbxFieldName; // invisible: the field names parallel to lbxFieldCaption
    QPlainTextEdit* MmExpress;
    QPushButton *btnOk, *btnClose, *btnClear, *btnDelete;
    std::unique_ptr<TQorAdoQry> QryCalc; // loads one definition

    // --- state, readable by callers and tests -----------------------------------------------
    TEditState EditState() const { return m_state; }
    QString CommittedDisplay() const { return m_display; }
    QString CommittedStored() const { return m_stored; }
    TPendingKind PendingKind() const { return m_pending.kind; }
    // Index of the chosen entry of cbxFldName's drop-down, -1 when none is chosen.
    int SelectedNameIndex() const { return m_nameIndex; }

    // --- operations ----------------------------------------------------------------------------
    // type: -1 all types, else the position of CbxFlgType (0 string, 1 integer, 2 numeric).
    void FillColumns(int type);
    void LoadNames();
    void ResetEditor();
    void TypeChange(bool clearLength);
    void CheckName();
    void LoadDefinition();
    void ConfirmAttributes(QWidget* list);
    void ChooseField();
    void ChooseOperator();
    void Save();
    bool DeleteDefinition(const QString& name);

    // --- handlers ----------------------------------------------------------------------------
    void FormShow(QObject* sender) override;
    void FormClose(QObject* sender, TCloseAction& action) override;
    void cbxFldNameChange(QObject* sender);
    void cbxFldNameExit(QObject* sender);
    void CbxFlgTypeChange(QObject* sender);
    void lbxFieldCaptionClick(QObject* sender);
    void lbxFieldCaptionDblClick(QObject* sender);
    void lbxOperatorDblClick(QObject* sender);
    void btnOkClick(QObject* sender);
    void btnClearClick(QObject* sender);
    void btnDeleteClick(QObject* sender);
    void btnCloseClick(QObject* sender);

private:
    struct Pending {
        TPendingKind kind = pkNone;
        QString display; // caption, constant without "#", operator or parenthesis
        QString stored;  // field name, "#"-marked constant, operator or parenthesis
    };
    void setState(TEditState s);
    void setMemoFinished(bool finished);
    void showMemo();
    void commitPending();
    void setPending(TPendingKind kind, const QString& display, const QString& stored);
    void choosePunctuation(const QString& item);
    void chooseConstant();
    bool checkAttributes(bool forSave);
    int typeIndex() const;
    QString trimmedName() const;
    bool nameKeyPress(QKeyEvent* e);
    void setNameText(const QString& text);
    void saveToDatabase();
    // Binds the key of this editor's definitions (form key and dataset, and the field when a
    // name is given) to :QryCode, :DataSet and :FldName.
    void bindKey(TQorAdoQry& q, const QString* fldName) const;

    std::unique_ptr<Ui::TfrmSetCalcFld> ui;
    TEditState m_state = esUnchecked;
    QString m_display; // committed display text
    QString m_stored;  // committed stored text
    Pending m_pending;
    int m_nameIndex = -1;
};
