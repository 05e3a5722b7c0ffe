// "切换用户/站点": the user, the kind of station (head office or a shop), the edition and the
// workstation of the session that the forms opened next run under.
#pragma once

#include "host/include/PubProcDll.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TADOConnection;

class SessionDialog : public QDialog {
    Q_OBJECT
public:
    // Lists the users (Staffs) and organisations (SubShop) of conn; starts from current.
    SessionDialog(TADOConnection& conn, const QorSession& current, QWidget* parent = nullptr);

    // The session chosen, completed from the database; valid after the dialog was accepted.
    QorSession session() const { return m_session; }

    QComboBox* cmbUser;
    QRadioButton* rbCenter;
    QRadioButton* rbShop;
    QComboBox* cmbShop;
    QComboBox* cmbVersion;
    QLineEdit* edtStation;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private:
    void btnOKClick();
    void stationKindChanged();

    TADOConnection& m_conn;
    QorSession m_base;
    QorSession m_session;
};
