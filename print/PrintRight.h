// "用户打印权限设置": which user groups may use which print format of the list form whose formats
// are maintained (CurPrnCode). A tree of the shop, its formats and under each format every user
// group with a check box; confirm writes only the differences, in one transaction.
#pragma once

#include "framework/UBase.h"

#include <QStringList>
#include <memory>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TADOConnection;

namespace Ui {
class TfrmPrintRight;
}

// The groups of XtUserGrp for one format, in the server's order; ticked: the group holds it.
struct PrnGroupRight {
    QString UGrpCode;
    QString UGrpName;
    bool Granted = false;
};
// Every group once, with the format's rights joined outside (the three filters in the join, so
// that groups without a right stay in the list).
QList<PrnGroupRight> LoadPrnGroupRights(TADOConnection* c, const QString& prnCode, int serialNo);

class TfrmPrintRight : public TfrmBase {
    Q_OBJECT
public:
    // Level marks of the tree's nodes (data role kLevelRole), their keys (kKeyRole) and images.
    static constexpr int kLevelRole = Qt::UserRole + 1;
    static constexpr int kKeyRole = Qt::UserRole + 2;
    static constexpr int kImageRole = Qt::UserRole + 3;
    static constexpr int kSelectedImageRole = Qt::UserRole + 4;

    explicit TfrmPrintRight(QWidget* parent = nullptr);
    ~TfrmPrintRight() override;

    // --- components ----------------------------------------------------------------------------
    QTreeWidget* fcRightTree;
    QPushButton *btnOk, *BtnSelect, *Button1, *btnClose;

    // Builds the tree from the tables (done at show).
    void BuildTree();
    // Rows inserted and deleted by the last confirm.
    int LastInserted() const { return m_inserted; }
    int LastDeleted() const { return m_deleted; }

    // --- handlers ------------------------------------------------------------------------------
    void FormShow(QObject* sender) override;
    void FormClose(QObject* sender, TCloseAction& action) override;
    void btnOkClick(QObject* sender);
    void BtnSelectClick(QObject* sender);
    void Button1Click(QObject* sender);

private:
    // Applies fn to every group node in the selected node's scope.
    template <class F> void forSelectedGroups(F fn);
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& level, const QString& text,
                             const QString& key, int image, bool checkable, bool checked);

    std::unique_ptr<Ui::TfrmPrintRight> ui;
    int m_inserted = 0;
    int m_deleted = 0;
};
