// The query dialog "查询条件": condition lines picked from the catalogue of a query type, each
// with an operator, a value and a join, turned into a WHERE text and a description; conditions
// saved under a name, reloaded, overwritten, saved as and deleted. Reached through
// ShowQryDialog (query/PubQuery.h).
#pragma once

#include "framework/UBase.h"
#include "query/PubQuery.h"

#include <memory>

class QComboBox;
class QGroupBox;
class QListWidget;
class QPushButton;
class TClientDataSet;
class TDataSource;
class TDBGridEh;
class TField;
class TQorAdoQry;

namespace Ui {
class TfrmQry;
}

class TfrmQry : public TfrmBase {
    Q_OBJECT
public:
    explicit TfrmQry(QWidget* parent = nullptr);
    ~TfrmQry() override;

    // The controls of the form (query/PubQuery.ui).
    QGroupBox* grpQrySave;
    QComboBox* cmbQrySave;
    QPushButton* btnSave;
    QPushButton* btnSaveAs;
    QPushButton* btnDelete;
    QGroupBox* grpQuery;
    QListWidget* lstQuery;
    QPushButton* btnAdd;
    QPushButton* btnDel;
    QPushButton* btnDelAdd;
    TDBGridEh* dgrdQuery;
    QPushButton* btnAll;
    QPushButton* btnOK;
    QPushButton* btnCancel;

    // The dialog's modal results: OK from "确定" and "查询全部", No when building the texts
    // failed, Cancel from "取消" or closing the window.
    enum { ResultOK = 1, ResultCancel = 2, ResultNo = 7 };

    // The query type the dialog works on (set by ShowQryDialog).
    QString QryType;
    // The catalogue ShowQryDialog loads.
    std::unique_ptr<TQryCatalog> Catalog;
    // The condition lines: FldCode, FldName, FldOp, FldValue, FldJoin, FldType, SerialNo.
    TClientDataSet* qryTemp;
    TDataSource* dsQuery;
    std::unique_ptr<TQorAdoQry> qryMaster; // saved-condition names
    std::unique_ptr<TQorAdoQry> QryDetail; // lines of one saved condition
    std::unique_ptr<TQorAdoQry> qryTmpBDE; // highest numbers, inserts and deletes

    // The current saved condition: number (0 none) and name (empty none).
    int CurSerialNo = 0;
    QString CurQryName;

    // --- handlers ---------------------------------------------------------------------------
    void FormCreate(QObject* sender) override;
    void FormShow(QObject* sender) override;
    void FormClose(QObject* sender, TCloseAction& action) override;
    void LoadData() override;
    void btnAddClick(QObject* sender);
    void btnDelClick(QObject* sender);
    void btnDelAddClick(QObject* sender);
    void dsQueryDataChange(TDataSource* sender, TField* field);
    void dgrdQueryKeyPress(TDBGridEh* sender, QChar& key);
    void btnOKClick(QObject* sender);
    void btnAllClick(QObject* sender);
    void btnCancelClick(QObject* sender);
    void cmbQrySaveChange(QObject* sender);
    void btnSaveClick(QObject* sender);
    void btnSaveAsClick(QObject* sender);
    void btnDeleteClick(QObject* sender);

    // Every line has an operator and a join of its pick lists, a field of the catalogue and a
    // value that gives SQL. Leaves the current row on the first line that fails.
    bool IsConditionValid();
    // The saved-condition list anew: "number_name" per saved condition, then an empty item;
    // nothing selected.
    void FillSavedList();

    void reject() override;

private:
    std::unique_ptr<Ui::TfrmQry> ui;
    // Stores the lines under the number (0: a new number) and the name in one transaction,
    // deleting the number's old lines first when replace is set. On failure nothing is changed,
    // the error is shown once and the selection stays.
    bool StoreRows(int serialNo, const QString& name, bool replace);
    // Asks for a name; false when cancelled.
    bool AskName(QString& name);
    bool SavedConditionSelected() const;
    TField* fld(const char* name) const;
    TQorAdoQry& query(std::unique_ptr<TQorAdoQry>& q);
};
