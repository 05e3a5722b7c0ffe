#include "host/commDll/CommDllCommon.h"

#include "host/include/Appres.h"
#include "platform/grid/DBGridEh.h"
#include "platform/ui/Prompter.h"

#include <QApplication>
#include <QByteArray>
#include <QDialogButtonBox>
#include <QPushButton>

namespace commdll {

QWidget* dialogParent(TDBGridEh* grid)
{
    if (grid) return grid->window();
    return QApplication::activeWindow();
}

void showError(const QString& text, QWidget* parent)
{
    promptMessage(UGetProductName_CH(), text, MsgFlags::OK | MsgFlags::IconError, parent);
}

void showWarning(const QString& text, QWidget* parent)
{
    promptMessage(UGetProductName_CH(), text, MsgFlags::OK | MsgFlags::IconWarning, parent);
}

void showInfo(const QString& text, QWidget* parent)
{
    promptMessage(UGetProductName_CH(), text, MsgFlags::OK | MsgFlags::IconInfo, parent);
}

QString columnCaption(const TColumnEh* column)
{
    QString t = column->Title()->Caption();
    t.replace(QLatin1Char('|'), QLatin1Char('-'));
    if (t.trimmed().isEmpty()) t = column->FieldName();
    return t;
}

QList<TColumnEh*> visibleDataColumns(TDBGridEh* grid)
{
    QList<TColumnEh*> out;
    if (!grid) return out;
    TDBGridColumnsEh* cols = grid->Columns();
    for (int i = 0; i < cols->Count(); ++i) {
        TColumnEh* c = cols->Items(i);
        if (c->Visible() && !c->FieldName().isEmpty()) out << c;
    }
    return out;
}

OkCancelButtons addOkCancelButtons(QWidget* dialog)
{
    auto* box = new QDialogButtonBox(dialog);
    QPushButton* ok = box->addButton(QStringLiteral("确定(&O)"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOK"));
    QPushButton* cancel = box->addButton(QStringLiteral("取消(&C)"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    return {box, ok, cancel};
}

const char* keepResult(const QString& text)
{
    static QByteArray kept;
    kept = text.toUtf8();
    return kept.constData();
}

QString argText(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

} // namespace commdll
