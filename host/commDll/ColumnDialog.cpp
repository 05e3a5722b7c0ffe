#include "host/commDll/ColumnDialog.h"

#include "host/commDll/CommDllCommon.h"
#include "platform/db/Db.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

using commdll::ColumnLayout;
using commdll::ColumnLayoutItem;

namespace {
constexpr int kMaxWidth = 2000;
}

TfrmColumnSet::TfrmColumnSet(TDBGridEh* grid, TADOConnection* conn, const QString& layoutKey,
                             const QString& userCode, QWidget* parent)
    : QDialog(parent), m_grid(grid), m_conn(conn), m_key(layoutKey), m_user(userCode)
{
    setObjectName(QStringLiteral("frmColumnSet"));
    setWindowTitle(QStringLiteral("列设置"));
    resize(460, 400);
    tblColumns = new QTableWidget(0, 3, this);
    tblColumns->setObjectName(QStringLiteral("tblColumns"));
    tblColumns->setHorizontalHeaderLabels({QStringLiteral("显示 / 标题"), QStringLiteral("宽度"), QStringLiteral("字段")});
    tblColumns->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    tblColumns->verticalHeader()->setVisible(false);
    tblColumns->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblColumns->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* up = new QPushButton(QStringLiteral("上移(&U)"), this);
    up->setObjectName(QStringLiteral("btnUp"));
    auto* down = new QPushButton(QStringLiteral("下移(&N)"), this);
    down->setObjectName(QStringLiteral("btnDown"));
    auto* def = new QPushButton(QStringLiteral("恢复默认(&R)"), this);
    def->setObjectName(QStringLiteral("btnDefault"));
    const auto [buttons, ok, cancel] = commdll::addOkCancelButtons(this);
    ok->setDefault(true);

    auto* side = new QVBoxLayout;
    side->addWidget(up);
    side->addWidget(down);
    side->addWidget(def);
    side->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(tblColumns);
    middle->addLayout(side);
    auto* box = new QVBoxLayout(this);
    box->addLayout(middle);
    box->addWidget(buttons);

    connect(up, &QPushButton::clicked, this, [this] { guard([this] { moveRow(tblColumns->currentRow(), -1); }, this); });
    connect(down, &QPushButton::clicked, this, [this] { guard([this] { moveRow(tblColumns->currentRow(), 1); }, this); });
    connect(def, &QPushButton::clicked, this, [this] { guard([this] { restoreDefault(); }, this); });
    connect(ok, &QPushButton::clicked, this, [this] { guard([this] { btnOKClick(); }, this); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    loadRows(commdll::layoutOfGrid(grid));
    if (tblColumns->rowCount() > 0) tblColumns->setCurrentCell(0, 0);
}

void TfrmColumnSet::loadRows(const ColumnLayout& layout)
{
    // The view deletes the old spin boxes later: they must not answer to the names meanwhile.
    for (int r = 0; r < tblColumns->rowCount(); ++r)
        if (QWidget* w = tblColumns->cellWidget(r, 1)) w->setObjectName(QString());
    tblColumns->setRowCount(0);
    for (int r = 0; r < layout.size(); ++r) {
        const ColumnLayoutItem& it = layout[r];
        tblColumns->insertRow(r);
        auto* title = new QTableWidgetItem(it.title);
        title->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsUserCheckable);
        title->setCheckState(it.visible ? Qt::Checked : Qt::Unchecked);
        // The default title, for a title that is cleared.
        title->setData(Qt::UserRole, it.title);
        tblColumns->setItem(r, 0, title);
        auto* width = new QSpinBox;
        width->setObjectName(QStringLiteral("spnWidth%1").arg(r));
        width->setRange(1, kMaxWidth);
        width->setValue(std::clamp(it.width, 1, kMaxWidth));
        tblColumns->setCellWidget(r, 1, width);
        auto* field = new QTableWidgetItem(it.fieldName);
        field->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        tblColumns->setItem(r, 2, field);
    }
}

ColumnLayout TfrmColumnSet::editedLayout() const
{
    ColumnLayout out;
    for (int r = 0; r < tblColumns->rowCount(); ++r) {
        QTableWidgetItem* title = tblColumns->item(r, 0);
        auto* width = qobject_cast<QSpinBox*>(tblColumns->cellWidget(r, 1));
        QString t = title->text();
        if (t.trimmed().isEmpty()) t = title->data(Qt::UserRole).toString();
        out << ColumnLayoutItem{tblColumns->item(r, 2)->text(), t, width ? width->value() : 0,
                                title->checkState() == Qt::Checked};
    }
    return out;
}

void TfrmColumnSet::moveRow(int row, int by)
{
    const int to = row + by;
    if (row < 0 || to < 0 || row >= tblColumns->rowCount() || to >= tblColumns->rowCount()) return;
    ColumnLayout layout = editedLayout();
    QStringList defaults;
    for (int r = 0; r < tblColumns->rowCount(); ++r) defaults << tblColumns->item(r, 0)->data(Qt::UserRole).toString();
    layout.move(row, to);
    defaults.move(row, to);
    loadRows(layout);
    for (int r = 0; r < defaults.size(); ++r) tblColumns->item(r, 0)->setData(Qt::UserRole, defaults[r]);
    tblColumns->setCurrentCell(to, 0);
}

void TfrmColumnSet::restoreDefault()
{
    if (!m_conn) return;
    const ColumnLayout def = commdll::readLayout(*m_conn, m_key, m_user, commdll::DefaultLayoutType);
    if (def.isEmpty()) {
        commdll::showInfo(QStringLiteral("没有保存默认的列设置！"), this);
        return;
    }
    loadRows(commdll::arrangeLayout(editedLayout(), def));
    if (tblColumns->rowCount() > 0) tblColumns->setCurrentCell(0, 0);
}

void TfrmColumnSet::btnOKClick()
{
    const ColumnLayout layout = editedLayout();
    bool anyVisible = false;
    for (const ColumnLayoutItem& it : layout) anyVisible = anyVisible || it.visible;
    if (!layout.isEmpty() && !anyVisible) {
        commdll::showWarning(QStringLiteral("至少要显示一列！"), this);
        return;
    }
    commdll::applyLayout(m_grid, layout);
    if (m_conn) commdll::writeLayout(*m_conn, m_key, m_user, commdll::CurrentLayoutType, commdll::layoutOfGrid(m_grid));
    accept();
}

void RunColumnDialog(TDBGridEh* grid, TADOConnection* conn, const QString& layoutKey, const QString& userCode)
{
    if (!grid) return;
    TfrmColumnSet dlg(grid, conn, layoutKey, userCode, commdll::dialogParent(grid));
    runModal(&dlg);
}
