// The browse list with a head grid: the data chain qryAdoHead -> dspHead -> qryHead -> dsHead ->
// dgrdHead, the one-line condition frame, the organisation list, the record counter, saved
// column layouts, calculated columns, export, grid or format printing, chart and the
// linked-function detail panel.
#pragma once

#include "browse/UBaseA.h"
#include "platform/grid/DBGridEh.h"

#include <memory>

class QComboBox;
class QFrame;
class QLabel;
class TClientDataSet;
class TDataSetProvider;
class TDataSource;
class TField;
class TQorAdoQry;
class TframeQryShow;

class TfrmBaseACx : public TfrmBaseA {
    Q_OBJECT
public:
    explicit TfrmBaseACx(QWidget* parent = nullptr);
    ~TfrmBaseACx() override;

    // --- members ----------------------------------------------------------------------------
    bool ShowOrgList = true;    // the organisation list is filled at show
    bool OrgListWithAll = true; // the list starts with "<全部>"
    QString OrgCode;            // the chosen organisation's code, "<全部>" for all
    QString OrgName;            // the name part of the chosen entry
    // Set by a descendant's LoadData when its rows could not be read: the query and refresh
    // actions then give the form its previous condition back.
    bool LoadFailed = false;

    // The key the head grid's column layouts are stored under: FormKey + "QH".
    QString LayoutKey() const;

    // --- components -------------------------------------------------------------------------
    QFrame* pnlTop;
    TframeQryShow* frameQryShow;
    QLabel* lblOrgList;
    QComboBox* cmbOrgList;
    QFrame* Panel1;
    QLabel* pnlRecordcount;
    QFrame* Panel2;
    QFrame* pnlHead;
    TDBGridEh* dgrdHead;
    TDataSource* dsHead;
    std::unique_ptr<TQorAdoQry> qryAdoHead;
    TDataSetProvider* dspHead;
    TClientDataSet* qryHead;
    QAction* I1; // the detail entry at the end of popBaseA

    // --- handlers ---------------------------------------------------------------------------
    void FormCreate(QObject* sender) override;
    void FormShow(QObject* sender) override;
    void FormClose(QObject* sender, TCloseAction& action) override;
    void LoadData() override;
    void actColumnExecute(QObject* sender) override;
    void actSortExecute(QObject* sender) override;
    void actQueryExecute(QObject* sender) override;
    void actFiltExecute(QObject* sender) override;
    void actFindExecute(QObject* sender) override;
    void actFormatExecute(QObject* sender) override;
    void actRefreshExecute(QObject* sender) override;
    void actPrintExecute(QObject* sender) override;
    void actPreviewExecute(QObject* sender) override;
    void actConvertToExcelExecute(QObject* sender) override;
    void actConvertToTextExecute(QObject* sender) override;
    void actConvertToHtmlExecute(QObject* sender) override;
    void actConvertToOtherExecute(QObject* sender) override;
    void actGraphExecute(QObject* sender) override;
    void actPrnFmtDesignExecute(QObject* sender) override;
    void ActSetCalcExecute(QObject* sender) override;
    void actDetailExecute(QObject* sender) override;
    virtual void cmbOrgListChange(QObject* sender);
    virtual void dgrdHeadMouseDown(TDBGridEh* sender, Qt::MouseButton button, TShiftState shift, int x, int y);
    void dgrdHeadDblClick(TDBGridEh* sender);
    void dsHeadDataChange(TDataSource* sender, TField* field);
    // Backspace is swallowed, so the choice cannot be erased; true when the key was used.
    bool cmbOrgListKeyPress(int key);

    // Loads the rows of qryAdoHead's statement into qryHead through the provider, with the
    // grid frozen, the hourglass and the rows read so far on the record counter; the previous
    // rows stay when it fails, and the error passes.
    void LoadHeadData();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Opens the detail panel for the current record at the mouse cursor.
    void showDetail();
};
