#include "host/commDll/LocateDialog.h"

#include "host/commDll/CommDllCommon.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// What the last search of a grid was, so that the dialog opens with it.
const char kLastLocate[] = "commDllLastLocate";
}

TfrmLocate::TfrmLocate(TDBGridEh* grid, QWidget* parent) : QDialog(parent), m_grid(grid)
{
    setObjectName(QStringLiteral("frmLocate"));
    setWindowTitle(QStringLiteral("查找"));
    cmbField = new QComboBox(this);
    cmbField->setObjectName(QStringLiteral("cmbField"));
    edtValue = new QLineEdit(this);
    edtValue->setObjectName(QStringLiteral("edtValue"));
    chkCase = new QCheckBox(QStringLiteral("区分大小写(&S)"), this);
    chkCase->setObjectName(QStringLiteral("chkCase"));
    chkPartial = new QCheckBox(QStringLiteral("部分匹配(&P)"), this);
    chkPartial->setObjectName(QStringLiteral("chkPartial"));
    chkPartial->setChecked(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("查找字段："), cmbField);
    form->addRow(QStringLiteral("查找内容："), edtValue);
    const auto [buttons, ok, cancel] = commdll::addOkCancelButtons(this);
    ok->setDefault(true);
    auto* box = new QVBoxLayout(this);
    box->addLayout(form);
    box->addWidget(chkCase);
    box->addWidget(chkPartial);
    box->addWidget(buttons);
    connect(ok, &QPushButton::clicked, this, [this] { guard([this] { btnOKClick(); }, this); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    const QList<TColumnEh*> cols = commdll::visibleDataColumns(grid);
    for (TColumnEh* c : cols) cmbField->addItem(commdll::columnCaption(c), c->FieldName());
    // The focused column first; else the field searched last.
    int pick = -1;
    if (grid) {
        const QStringList last = grid->property(kLastLocate).toStringList();
        if (last.size() == 4) {
            pick = cmbField->findData(last[0]);
            edtValue->setText(last[1]);
            chkCase->setChecked(last[2] == QLatin1String("1"));
            chkPartial->setChecked(last[3] == QLatin1String("1"));
        }
        if (TColumnEh* focused = grid->columnAt(grid->SelectedIndex())) {
            const int at = cols.indexOf(focused);
            if (at >= 0) pick = at;
        }
    }
    if (pick >= 0) cmbField->setCurrentIndex(pick);
    edtValue->selectAll();
    edtValue->setFocus();
}

bool TfrmLocate::hasFields() const { return cmbField->count() > 0; }

void TfrmLocate::btnOKClick()
{
    const QString field = cmbField->currentData().toString();
    if (field.isEmpty()) {
        commdll::showWarning(QStringLiteral("请选择查找字段！"), this);
        return;
    }
    const QString value = edtValue->text();
    const QString cs = chkCase->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    const QString partial = chkPartial->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (m_grid) m_grid->setProperty(kLastLocate, QStringList{field, value, cs, partial});
    m_result = QStringList{QStringLiteral("1"), field, value, cs, partial}.join(QLatin1Char('|'));
    accept();
}

QString RunLocateDialog(TDBGridEh* grid)
{
    TfrmLocate dlg(grid, commdll::dialogParent(grid));
    if (!dlg.hasFields()) {
        commdll::showWarning(QStringLiteral("没有可以查找的列！"), commdll::dialogParent(grid));
        return QString();
    }
    if (runModal(&dlg) != QDialog::Accepted) return QString();
    return dlg.resultText();
}
