// The try-out summary report "试用品统计报表": per organisation and good, for a date range, what
// was drawn on booked sample-goods bills against how often the good was tried out, with the
// satisfaction degree and the trial frequency. Created by frmSpRptShow.
#pragma once

#include "browse/UBaseACxA.h"
#include "module/EntryPoints.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <memory>

class QDateEdit;
class QLabel;
class QToolButton;

namespace Ui {
class TfrmSumSpRptQ;
}

class TfrmSumSpRptQ : public TfrmBaseACxA {
    Q_OBJECT
public:
    explicit TfrmSumSpRptQ(QWidget* parent = nullptr);
    ~TfrmSumSpRptQ() override;

    // The host's close notifier, handed over by the entry point that created the form; called
    // once, with the form's Tag, when the form closes.
    void setCloseNotifier(CloseNotifier notifier) { m_notifier = notifier; }
    CloseNotifier closeNotifier() const { return m_notifier; }

    // --- components -------------------------------------------------------------------------
    QLabel* lblbgnDate;
    QDateEdit* dtpBgnDate;
    QLabel* lblEndDate;
    QDateEdit* dtpEndDate;
    QAction* tbtnNone5;
    QToolButton* tbtnRefresh;

    // The range of the rows shown ("YYYY-MM-DD"), empty before the first statistics.
    QString shownBgnDate() const { return m_shownBgn; }
    QString shownEndDate() const { return m_shownEnd; }
    // The extra title line of the basic-format printout.
    QStringList printDateLines() const;

    // --- handlers ---------------------------------------------------------------------------
    void FormCreate(QObject* sender) override;
    void FormShow(QObject* sender) override;
    void FormClose(QObject* sender, TCloseAction& action) override;
    // The statistics over the chosen range and organisation; the grid keeps its rows when the
    // range is wrong or the statement fails.
    void LoadData() override;
    void actPrintExecute(QObject* sender) override;
    void actPreviewExecute(QObject* sender) override;

private:
    // Composes the statement on qryAdoHead for the range b..e and the organisation code o
    // (empty: every organisation).
    void composeStatement(const QString& b, const QString& e, const QString& o);
    void printReport(int formatMode);

    std::unique_ptr<Ui::TfrmSumSpRptQ> ui;
    CloseNotifier m_notifier = nullptr;
    bool m_notified = false;
    QString m_shownBgn;
    QString m_shownEnd;
};
