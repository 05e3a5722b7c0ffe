#include "host/commDll/FilterDialog.h"

#include "host/commDll/CommDllCommon.h"
#include "platform/dataset/Field.h"
#include "platform/db/Db.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <exception>

namespace {

// The lines of a grid's last filter, so that the dialog opens with them.
const char kLastFilter[] = "commDllFilterLines";

enum Op { OpEq, OpNe, OpGt, OpGe, OpLt, OpLe, OpContains, OpNotContains, OpStarts, OpEmpty, OpNotEmpty };

struct OpInfo {
    Op op;
    const char* caption;
    bool forText;
    bool forNumber;
    bool needsValue;
};

const OpInfo kOps[] = {
    {OpEq, "等于", true, true, true},          {OpNe, "不等于", true, true, true},
    {OpGt, "大于", true, true, true},          {OpGe, "大于等于", true, true, true},
    {OpLt, "小于", true, true, true},          {OpLe, "小于等于", true, true, true},
    {OpContains, "包含", true, false, true},   {OpNotContains, "不包含", true, false, true},
    {OpStarts, "开头是", true, false, true},   {OpEmpty, "为空", true, true, false},
    {OpNotEmpty, "不为空", true, true, false},
};

const OpInfo* opInfo(int op)
{
    for (const OpInfo& o : kOps)
        if (o.op == op) return &o;
    return nullptr;
}

} // namespace

TfrmFilter::TfrmFilter(TDBGridEh* grid, QWidget* parent) : QDialog(parent), m_grid(grid)
{
    setObjectName(QStringLiteral("frmFilter"));
    setWindowTitle(QStringLiteral("过滤"));
    resize(560, 300);
    for (TColumnEh* c : commdll::visibleDataColumns(grid)) {
        TField* f = c->Field();
        m_fields << FieldInfo{c->FieldName(), commdll::columnCaption(c), f && f->IsNumeric()};
    }

    tblConditions = new QTableWidget(0, 4, this);
    tblConditions->setObjectName(QStringLiteral("tblConditions"));
    tblConditions->setHorizontalHeaderLabels(
        {QStringLiteral("关系"), QStringLiteral("字段"), QStringLiteral("条件"), QStringLiteral("值")});
    tblConditions->horizontalHeader()->setStretchLastSection(true);
    tblConditions->verticalHeader()->setVisible(false);
    tblConditions->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblConditions->setSelectionMode(QAbstractItemView::SingleSelection);
    edtExpr = new QLineEdit(this);
    edtExpr->setObjectName(QStringLiteral("edtExpr"));
    edtExpr->setReadOnly(true);

    auto* add = new QPushButton(QStringLiteral("增加条件(&A)"), this);
    add->setObjectName(QStringLiteral("btnAdd"));
    auto* del = new QPushButton(QStringLiteral("删除条件(&D)"), this);
    del->setObjectName(QStringLiteral("btnDelete"));
    auto* clear = new QPushButton(QStringLiteral("取消过滤(&L)"), this);
    clear->setObjectName(QStringLiteral("btnClear"));
    const auto [buttons, ok, cancel] = commdll::addOkCancelButtons(this);
    ok->setDefault(true);

    auto* tools = new QHBoxLayout;
    tools->addWidget(add);
    tools->addWidget(del);
    tools->addWidget(clear);
    tools->addStretch();
    auto* box = new QVBoxLayout(this);
    box->addLayout(tools);
    box->addWidget(tblConditions);
    box->addWidget(new QLabel(QStringLiteral("过滤条件："), this));
    box->addWidget(edtExpr);
    box->addWidget(buttons);

    connect(add, &QPushButton::clicked, this, [this] { guard([this] { addCondition(); }, this); });
    connect(del, &QPushButton::clicked, this, [this] {
        guard([this] { deleteCondition(tblConditions->currentRow()); }, this);
    });
    connect(clear, &QPushButton::clicked, this, [this] { guard([this] { btnClearClick(); }, this); });
    connect(ok, &QPushButton::clicked, this, [this] { guard([this] { btnOKClick(); }, this); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    const QVariantList last = grid ? grid->property(kLastFilter).toList() : QVariantList();
    for (const QVariant& v : last) setLine(addCondition(), v.toStringList());
    if (conditionCount() == 0 && hasFields()) addCondition();
    refreshExpression();
}

void TfrmFilter::fillOperators(QComboBox* ops, bool numeric)
{
    const int keep = ops->currentData().isValid() ? ops->currentData().toInt() : int(OpEq);
    ops->clear();
    for (const OpInfo& o : kOps)
        if (numeric ? o.forNumber : o.forText) ops->addItem(QString::fromUtf8(o.caption), int(o.op));
    const int at = ops->findData(keep);
    ops->setCurrentIndex(at >= 0 ? at : 0);
}

int TfrmFilter::addCondition()
{
    const int row = tblConditions->rowCount();
    tblConditions->insertRow(row);
    auto* join = new QComboBox;
    join->addItem(QStringLiteral("并且"), QStringLiteral("AND"));
    join->addItem(QStringLiteral("或者"), QStringLiteral("OR"));
    auto* field = new QComboBox;
    for (const FieldInfo& f : m_fields) field->addItem(f.caption, f.name);
    auto* ops = new QComboBox;
    auto* value = new QLineEdit;
    tblConditions->setCellWidget(row, 0, join);
    tblConditions->setCellWidget(row, 1, field);
    tblConditions->setCellWidget(row, 2, ops);
    tblConditions->setCellWidget(row, 3, value);
    fillOperators(ops, !m_fields.isEmpty() && m_fields.first().numeric);
    auto refresh = [this] { guard([this] { refreshExpression(); }, this); };
    connect(field, &QComboBox::currentIndexChanged, this, [this, ops](int i) {
        guard([&] {
            fillOperators(ops, i >= 0 && i < m_fields.size() && m_fields[i].numeric);
            refreshExpression();
        }, this);
    });
    connect(join, &QComboBox::currentIndexChanged, this, refresh);
    connect(ops, &QComboBox::currentIndexChanged, this, [this, ops, value] {
        guard([&] {
            const OpInfo* o = opInfo(ops->currentData().toInt());
            value->setEnabled(!o || o->needsValue);
            refreshExpression();
        }, this);
    });
    connect(value, &QLineEdit::textChanged, this, refresh);
    renameRows();
    tblConditions->setCurrentCell(row, 1);
    refreshExpression();
    return row;
}

void TfrmFilter::deleteCondition(int row)
{
    if (row < 0 || row >= tblConditions->rowCount()) return;
    // The view deletes the line's widgets later: they must not answer to the names meanwhile.
    for (int c = 0; c < 4; ++c)
        if (QWidget* w = tblConditions->cellWidget(row, c)) w->setObjectName(QString());
    tblConditions->removeRow(row);
    renameRows();
    refreshExpression();
}

int TfrmFilter::conditionCount() const { return tblConditions->rowCount(); }

void TfrmFilter::renameRows()
{
    const char* names[] = {"cmbJoin", "cmbField", "cmbOp", "edtValue"};
    for (int r = 0; r < tblConditions->rowCount(); ++r) {
        for (int c = 0; c < 4; ++c)
            if (QWidget* w = tblConditions->cellWidget(r, c))
                w->setObjectName(QString::fromLatin1(names[c]) + QString::number(r));
        // The first line has nothing to join to.
        if (QWidget* j = tblConditions->cellWidget(r, 0)) j->setEnabled(r > 0);
    }
}

QStringList TfrmFilter::lineOf(int row) const
{
    auto* join = qobject_cast<QComboBox*>(tblConditions->cellWidget(row, 0));
    auto* field = qobject_cast<QComboBox*>(tblConditions->cellWidget(row, 1));
    auto* ops = qobject_cast<QComboBox*>(tblConditions->cellWidget(row, 2));
    auto* value = qobject_cast<QLineEdit*>(tblConditions->cellWidget(row, 3));
    return {join->currentData().toString(), field->currentData().toString(),
            QString::number(ops->currentData().toInt()), value->text()};
}

void TfrmFilter::setLine(int row, const QStringList& line)
{
    if (line.size() != 4) return;
    auto* join = qobject_cast<QComboBox*>(tblConditions->cellWidget(row, 0));
    auto* field = qobject_cast<QComboBox*>(tblConditions->cellWidget(row, 1));
    auto* ops = qobject_cast<QComboBox*>(tblConditions->cellWidget(row, 2));
    auto* value = qobject_cast<QLineEdit*>(tblConditions->cellWidget(row, 3));
    const int j = join->findData(line[0]);
    if (j >= 0) join->setCurrentIndex(j);
    const int f = field->findData(line[1]);
    if (f >= 0) field->setCurrentIndex(f);
    const int o = ops->findData(line[2].toInt());
    if (o >= 0) ops->setCurrentIndex(o);
    value->setText(line[3]);
}

namespace {

// What the user types after "包含" or "开头是" is text: a "%" or "_" in it is that character, not
// a wildcard. The pattern with its ESCAPE clause when it needs one.
QString likePattern(const QString& before, const QString& typed, const QString& after)
{
    QString escaped;
    escaped.reserve(typed.size() + 4);
    bool special = false;
    for (QChar c : typed) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_')) special = true;
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_')) escaped += QLatin1Char('\\');
        escaped += c;
    }
    if (!special) return QuotedStr(before + typed + after);
    return QuotedStr(before + escaped + after) + QStringLiteral(" ESCAPE '\\'");
}

} // namespace

QString TfrmFilter::composeExpression() const
{
    QString expr;
    for (int r = 0; r < tblConditions->rowCount(); ++r) {
        const QStringList line = lineOf(r);
        const QString name = line[1];
        const FieldInfo* fi = nullptr;
        for (const FieldInfo& f : m_fields)
            if (f.name == name) fi = &f;
        if (!fi) throw commdll::CommDllError(QStringLiteral("第%1行没有选择字段！").arg(r + 1));
        const OpInfo* o = opInfo(line[2].toInt());
        if (!o) throw commdll::CommDllError(QStringLiteral("第%1行没有选择条件！").arg(r + 1));
        const QString f = QLatin1Char('[') + name + QLatin1Char(']');
        const QString v = line[3];
        QString value;
        if (o->needsValue) {
            if (fi->numeric) {
                bool ok = false;
                const double d = v.trimmed().toDouble(&ok);
                // "inf" and "nan" convert, but are no values a row can hold.
                if (!ok || !std::isfinite(d))
                    throw commdll::CommDllError(
                        QStringLiteral("“%1”的值应为数值！").arg(fi->caption));
                value = QString::number(d, 'g', 15);
            } else {
                value = QuotedStr(v);
            }
        }
        QString cond;
        switch (o->op) {
        case OpEq: cond = f + QStringLiteral(" = ") + value; break;
        case OpNe: cond = f + QStringLiteral(" <> ") + value; break;
        case OpGt: cond = f + QStringLiteral(" > ") + value; break;
        case OpGe: cond = f + QStringLiteral(" >= ") + value; break;
        case OpLt: cond = f + QStringLiteral(" < ") + value; break;
        case OpLe: cond = f + QStringLiteral(" <= ") + value; break;
        case OpContains:
            cond = f + QStringLiteral(" LIKE ") + likePattern(QStringLiteral("%"), v, QStringLiteral("%"));
            break;
        case OpNotContains:
            cond = f + QStringLiteral(" NOT LIKE ") + likePattern(QStringLiteral("%"), v, QStringLiteral("%"));
            break;
        case OpStarts: cond = f + QStringLiteral(" LIKE ") + likePattern(QString(), v, QStringLiteral("%")); break;
        case OpEmpty:
            cond = fi->numeric ? f + QStringLiteral(" IS NULL")
                               : f + QStringLiteral(" IS NULL OR ") + f + QStringLiteral(" = ''");
            break;
        case OpNotEmpty:
            cond = fi->numeric ? f + QStringLiteral(" IS NOT NULL")
                               : f + QStringLiteral(" IS NOT NULL AND ") + f + QStringLiteral(" <> ''");
            break;
        }
        if (!expr.isEmpty()) expr += QLatin1Char(' ') + line[0] + QLatin1Char(' ');
        expr += QLatin1Char('(') + cond + QLatin1Char(')');
    }
    return expr;
}

void TfrmFilter::refreshExpression()
{
    try {
        edtExpr->setText(composeExpression());
    } catch (const std::exception&) {
        edtExpr->clear(); // the line being typed is not complete yet
    }
}

void TfrmFilter::btnOKClick()
{
    QString expr;
    try {
        expr = composeExpression();
    } catch (const std::exception& e) {
        commdll::showWarning(QString::fromUtf8(e.what()), this);
        return;
    }
    QVariantList lines;
    for (int r = 0; r < tblConditions->rowCount(); ++r) lines << QVariant(lineOf(r));
    if (m_grid) m_grid->setProperty(kLastFilter, lines);
    m_result = QStringLiteral("1|") + expr;
    accept();
}

void TfrmFilter::btnClearClick()
{
    if (m_grid) m_grid->setProperty(kLastFilter, QVariantList());
    m_result = QStringLiteral("1|");
    accept();
}

QString RunFilterDialog(TDBGridEh* grid)
{
    TfrmFilter dlg(grid, commdll::dialogParent(grid));
    if (!dlg.hasFields()) {
        commdll::showWarning(QStringLiteral("没有可以过滤的列！"), commdll::dialogParent(grid));
        return QString();
    }
    if (runModal(&dlg) != QDialog::Accepted) return QString();
    return dlg.resultText();
}
