// The column set-up dialog: which columns show, their order, widths and titles. OK applies the
// layout to the grid and stores it as the user's current layout; "恢复默认" brings back the
// default layout stored for the key and user.
#pragma once

#include "host/commDll/ColumnLayouts.h"

#include <QDialog>

class QTableWidget;
class TADOConnection;
class TDBGridEh;

class TfrmColumnSet : public QDialog {
    Q_OBJECT
public:
    TfrmColumnSet(TDBGridEh* grid, TADOConnection* conn, const QString& layoutKey, const QString& userCode,
                  QWidget* parent = nullptr);

    // The layout as the table shows it now.
    commdll::ColumnLayout editedLayout() const;
    void moveRow(int row, int by);
    void restoreDefault();

    // Rows: 显示 (check box and title, editable), 宽度 (spin box spnWidth<n>), 字段.
    QTableWidget* tblColumns;

private:
    void loadRows(const commdll::ColumnLayout& layout);
    void btnOKClick();
    TDBGridEh* m_grid;
    TADOConnection* m_conn;
    QString m_key;
    QString m_user;
};

void RunColumnDialog(TDBGridEh* grid, TADOConnection* conn, const QString& layoutKey, const QString& userCode);
