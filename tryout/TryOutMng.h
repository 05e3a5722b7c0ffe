// The try-out register list "试用品试用": the registered trials with organisation and goods
// details, narrowed by query conditions; trials are added, edited and deleted through the entry
// form. Created by frmTryoutMngShow.
#pragma once

#include "browse/UBaseB.h"
#include "module/ModuleState.h"
#include "tryout/TryOutRefresh.h"

#include <memory>

class QLabel;
class QToolButton;
class TClientDataSet;
class TDataSetProvider;
class TDataSource;
class TDBGridEh;
class TField;
class TQorAdoQry;
struct TTryOutRecord;

namespace Ui {
class TfrmTryOutMng;
}

class TfrmTryOutMng : public TfrmBaseB, public TTryOutRefresh {
    Q_OBJECT
public:
    explicit TfrmTryOutMng(QWidget* parent = nullptr);
    ~TfrmTryOutMng() override;

    // The host's close notifier, handed over by the entry point that created the form; called
    // once, with the form's Tag, when the form closes.
    void setCloseNotifier(CloseNotifier notifier) { m_notifier = notifier; }
    CloseNotifier closeNotifier() const { return m_notifier; }

    // --- components -------------------------------------------------------------------------
    std::unique_ptr<TQorAdoQry> qryAdoHead;
    TDataSetProvider* dspHead;
    TClientDataSet* qryHead;
    TDataSource* dsHead;
    TDBGridEh* dgrdHead;
    QLabel* pnlRecordcount;
    QAction* tbtnNone5;
    QToolButton* tbtnRefresh;

    // The current record as the entry form takes it for editing.
    TTryOutRecord CurrentRecord() const;
    // Enables the actions from the rights and the rows, and shows the record count.
    void UpdateActionStates();

    // --- handlers ---------------------------------------------------------------------------
    void FormCreate(QObject* sender) override;
    void FormShow(QObject* sender) override;
    void FormClose(QObject* sender, TCloseAction& action) override;
    // Rebuilds the statement and loads the list (refresh, query, delete, and the entry form
    // after each save).
    void LoadData() override;
    void actAddExecute(QObject* sender) override;
    void actEditExecute(QObject* sender) override;
    void actDeleteExecute(QObject* sender) override;
    void actRefreshExecute(QObject* sender) override;
    void actQueryExecute(QObject* sender) override;
    void actColumnExecute(QObject* sender) override;
    void actFiltExecute(QObject* sender) override;
    void actFindExecute(QObject* sender) override;
    void ActSetCalcExecute(QObject* sender) override;
    void actPreviewExecute(QObject* sender) override;
    void actPrintExecute(QObject* sender) override;
    void actPrnFmtDesignExecute(QObject* sender) override;
    void actConvertToExcelExecute(QObject* sender) override;
    void actConvertToTextExecute(QObject* sender) override;
    void actConvertToHtmlExecute(QObject* sender) override;
    void actGraphExecute(QObject* sender) override;
    void dsHeadDataChange(TDataSource* sender, TField* field);
    void dgrdHeadDblClick(TDBGridEh* sender);
    void qryHeadCalcFields(TClientDataSet* dataSet);

private:
    // LoadData's work; false when the rows could not be read (the list keeps what it held).
    bool loadRows();
    void printList(int formatMode);

    std::unique_ptr<Ui::TfrmTryOutMng> ui;
    CloseNotifier m_notifier = nullptr;
    bool m_notified = false;
    TField* m_result;  // Result and ResultD, read for every row of a load
    TField* m_resultD;
};
