// The try-out entry form "试用品试用登记": registers one trial (organisation, good, advisor,
// result, remark) after checking every code against the master data, and writes one TryOutBK
// row. Opened modally by the register list, in add mode (one trial after another) or in edit
// mode (one existing record).
#pragma once

#include "framework/UBase.h"

#include <QPointer>
#include <memory>

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class TQorAdoQry;
class TTryOutRefresh;

namespace Ui {
class TfrmTryOutLr;
}

// One registered trial as the register list hands it over for editing (the fields of its
// current record).
struct TTryOutRecord {
    QString BookDate;
    QString BookTime;
    QString OrgCode;
    QString OrgName;
    QString ZdrCode;
    QString ZdrName;
    QString PluCode;
    QString PluName;
    QString Remark;
    QString ResultD; // "0-满意" or "1-不满意"
};

class TfrmTryOutLr : public TfrmBase {
    Q_OBJECT
public:
    explicit TfrmTryOutLr(QWidget* parent = nullptr);
    ~TfrmTryOutLr() override;

    // --- state ----------------------------------------------------------------------------
    bool EditMode = false;     // set by the register list before showing
    QString BookDate;          // the record's date and time; set by Confirm in add mode
    QString BookTime;
    QString OldPluCode;        // the edited record's good; '' in add mode
    QString CurrentOrg;        // the organisation code last accepted
    std::unique_ptr<TQorAdoQry> qryTryOut; // duplicate check and write; freed at close

    // The list reloaded after each save (not owned); null reloads nothing. A QObject opener
    // that is destroyed meanwhile is noticed.
    void setOpener(TTryOutRefresh* list);
    TTryOutRefresh* opener() const;

    // Edit mode: book date, book time and the boxes from the record, which is also kept as the
    // record being edited (its organisation, date, time and good address the update, and
    // Cancel returns to it).
    void SetRecord(const TTryOutRecord& record);
    const TTryOutRecord& EditedRecord() const { return m_record; }

    // --- controls (object names as the form's components) --------------------------------
    QLabel *lblOrg, *lblBeauty, *lblGoods, *lblShop, *lblResult;
    QLineEdit *edtGrpCode, *edtGrpName, *edtBeautyCode, *edtBeauty, *edtGoodsCode, *edtGoodsName,
        *edtRemark;
    QPushButton *btnOrg, *btnBeauty, *btnGoods, *btnConfirm, *btnCancel, *btnClose;
    QComboBox* cmbResult;

    // --- checks -----------------------------------------------------------------------------
    // The organisation check of edtGrpCode; true when the code was accepted (an empty code
    // clears the name and counts as accepted). Database errors are shown and logged here.
    bool CheckOrganisation();
    // The advisor in edtBeautyCode / the good in edtGoodsCode against an organisation; an empty
    // code passes. A failure shows its warning.
    bool CheckAdvisor(const QString& orgCode);
    bool CheckGood(const QString& orgCode);

    // --- handlers ---------------------------------------------------------------------------
    void FormShow(QObject* sender) override;
    void FormClose(QObject* sender, TCloseAction& action) override;
    void edtGrpCodeExit(QObject* sender);
    void edtBeautyCodeExit(QObject* sender);
    void edtGoodsCodeExit(QObject* sender);
    // Extra key behaviour of the code boxes (the digits-only filter is their validator); handled
    // is set when the key was discarded.
    void edtCodeKeyPress(QLineEdit* sender, QKeyEvent* key, bool& handled);
    void btnOrgClick(QObject* sender);
    void btnBeautyClick(QObject* sender);
    void btnGoodsClick(QObject* sender);
    void btnConfirmClick(QObject* sender);
    void btnCancelClick(QObject* sender);
    void btnCloseClick(QObject* sender);

private:
    QString clerk() const;
    void showSteps();
    // Edit mode: code is the edited record's own (recordCode) at the record's organisation.
    bool recordsOwn(const QString& orgCode, const QString& code, const QString& recordCode) const;
    void loadRecord();
    void recheckForOrganisation(const QString& orgCode);
    // The exit work of the advisor / good box without the tests of the focused button: the
    // check, then the name or the cleared boxes and the focus.
    bool acceptAdvisor();
    bool acceptGood();
    bool save();
    void reloadOpener();

    std::unique_ptr<Ui::TfrmTryOutLr> ui;
    TTryOutRefresh* m_opener = nullptr;
    QPointer<QObject> m_openerObject;
    bool m_openerIsObject = false;
    TTryOutRecord m_record;
    bool m_haveRecord = false;
};

// Creates the entry form owned by owner, in edit mode when record is given (filled from it),
// runs it modally and frees it. opener is reloaded after each save (may be null).
void ShowTryOutEntry(QWidget* owner, TTryOutRefresh* opener, const TTryOutRecord* record);
