#include "host/commDll/SelectGridDialog.h"

#include "host/commDll/CommDllCommon.h"
#include "platform/db/Db.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

TfrmSelectGrid::TfrmSelectGrid(const QStringList& titles, unsigned gridColor, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSelectGrid"));
    setWindowTitle(QStringLiteral("选择"));
    resize(480, 420);
    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setPlaceholderText(QStringLiteral("输入编码或名称的一部分"));
    m_model = new QStandardItemModel(0, int(titles.size()), this);
    m_model->setHorizontalHeaderLabels(titles);
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    grdRows = new QTableView(this);
    grdRows->setObjectName(QStringLiteral("grdRows"));
    grdRows->setModel(m_proxy);
    grdRows->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRows->setSelectionMode(QAbstractItemView::SingleSelection);
    grdRows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRows->verticalHeader()->setVisible(false);
    grdRows->horizontalHeader()->setStretchLastSection(true);
    if (gridColor != 0) {
        QPalette pal = grdRows->palette();
        pal.setColor(QPalette::Base, colorFromTColor(gridColor));
        grdRows->setPalette(pal);
    }

    const auto [buttons, ok, cancel] = commdll::addOkCancelButtons(this);
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);

    auto* search = new QHBoxLayout;
    search->addWidget(new QLabel(QStringLiteral("查找："), this));
    search->addWidget(edtSearch);
    auto* box = new QVBoxLayout(this);
    box->addLayout(search);
    box->addWidget(grdRows);
    box->addWidget(buttons);

    connect(edtSearch, &QLineEdit::textChanged, this, [this](const QString& t) { guard([&] { searchChanged(t); }, this); });
    connect(grdRows, &QAbstractItemView::doubleClicked, this, [this] { guard([this] { chooseCurrent(); }, this); });
    connect(ok, &QPushButton::clicked, this, [this] { guard([this] { chooseCurrent(); }, this); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    edtSearch->installEventFilter(this);
    grdRows->installEventFilter(this);
    edtSearch->setFocus();
}

void TfrmSelectGrid::loadRows(TADOConnection& conn, const QString& tableAndCondition, const QStringList& fields)
{
    TADOQuery q(&conn);
    q.SQL << QStringLiteral("select ") + fields.join(QLatin1Char(',')) << QStringLiteral(" from ") + tableAndCondition;
    q.Open();
    const int n = q.FieldCount();
    if (m_model->columnCount() < n) m_model->setColumnCount(n);
    for (int i = 0; i < n; ++i)
        if (m_model->headerData(i, Qt::Horizontal).toString().isEmpty())
            m_model->setHeaderData(i, Qt::Horizontal, q.FieldName(i));
    // The same good on several bills is one choice.
    QSet<QString> seen;
    while (!q.Eof()) {
        QStringList texts;
        for (int i = 0; i < n; ++i) texts << q.Field(i).AsString();
        const QString key = texts.join(QChar(0x1F));
        if (!seen.contains(key)) {
            seen.insert(key);
            QList<QStandardItem*> row;
            for (const QString& t : texts) row << new QStandardItem(t);
            m_model->appendRow(row);
        }
        q.Next();
    }
    grdRows->resizeColumnsToContents();
    if (m_proxy->rowCount() > 0) grdRows->setCurrentIndex(m_proxy->index(0, 0));
}

int TfrmSelectGrid::visibleRowCount() const { return m_proxy->rowCount(); }

void TfrmSelectGrid::searchChanged(const QString& text)
{
    m_proxy->setFilterFixedString(text.trimmed());
    if (m_proxy->rowCount() > 0) grdRows->setCurrentIndex(m_proxy->index(0, 0));
}

bool TfrmSelectGrid::chooseCurrent()
{
    if (m_proxy->rowCount() == 0) return false;
    QModelIndex cur = grdRows->currentIndex();
    if (!cur.isValid()) cur = m_proxy->index(0, 0);
    const QModelIndex src = m_proxy->mapToSource(cur);
    m_chosen.clear();
    for (int c = 0; c < m_model->columnCount(); ++c) m_chosen << m_model->item(src.row(), c)->text();
    accept();
    return true;
}

bool TfrmSelectGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        guard([this] { chooseCurrent(); }, this);
        return true;
    }
    if (watched == edtSearch) {
        // The arrows move through the rows while the typing stays in the search box.
        int by = 0;
        if (key->key() == Qt::Key_Down) by = 1;
        else if (key->key() == Qt::Key_Up) by = -1;
        else if (key->key() == Qt::Key_PageDown) by = 10;
        else if (key->key() == Qt::Key_PageUp) by = -10;
        if (by != 0 && m_proxy->rowCount() > 0) {
            const int row = grdRows->currentIndex().isValid() ? grdRows->currentIndex().row() : 0;
            const int to = std::clamp(row + by, 0, m_proxy->rowCount() - 1);
            grdRows->setCurrentIndex(m_proxy->index(to, 0));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString RunSelectGrid(TADOConnection* conn, const QString& tableAndCondition, const QString& fieldList,
                      const QString& titleList, unsigned gridColor, int take)
{
    if (!conn) {
        commdll::showError(QStringLiteral("没有数据库连接！"));
        return QString();
    }
    const QStringList fields = fieldList.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    if (fields.isEmpty()) return QString();
    QStringList titles = titleList.split(QLatin1Char('|'));
    while (titles.size() < fields.size()) titles << QString();
    titles = titles.mid(0, fields.size());
    for (int i = 0; i < titles.size(); ++i)
        if (titles[i].trimmed().isEmpty()) titles[i] = fields[i];
    TfrmSelectGrid dlg(titles, gridColor, QApplication::activeWindow());
    dlg.loadRows(*conn, tableAndCondition, fields);
    if (runModal(&dlg) != QDialog::Accepted) return QString();
    const QStringList row = dlg.chosenRow();
    if (row.isEmpty()) return QString();
    return row.mid(0, std::clamp(take, 1, int(row.size()))).join(QLatin1Char('+'));
}
