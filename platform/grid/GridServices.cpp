#include "platform/grid/GridServices.h"

#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"

void TPubEvent::MaskFieldText(TField*, QString& text, bool)
{
    text = QStringLiteral("*");
}

void TPubEvent::SortMarkingChanged(TDBGridEh* grid)
{
    if (!grid) return;
    TClientDataSet* ds = grid->DataSet();
    // Only an open client dataset is sorted; anything else stays as it is.
    if (!ds || !ds->Active()) return;
    QString fields, desc;
    for (TColumnEh* c : grid->SortMarkedColumns()) {
        if (c->FieldName().isEmpty()) continue;
        fields += c->FieldName() + QLatin1Char(';');
        if (c->Title()->SortMarker() == smDownEh) desc += c->FieldName() + QLatin1Char(';');
    }
    if (fields.endsWith(QLatin1Char(';'))) fields.chop(1);
    if (desc.endsWith(QLatin1Char(';'))) desc.chop(1);
    if (ds->HasIndex(SortIndexName)) ds->DeleteIndex(SortIndexName);
    if (fields.isEmpty()) {
        // Every marker removed: the rows go back to their loaded order.
        ds->setIndexName(QString());
        ds->First();
        return;
    }
    ds->AddIndex(SortIndexName, fields, 0, desc);
    ds->setIndexName(SortIndexName);
    ds->First();
}

void EnableTitleSort(TDBGridEh* grid)
{
    if (!grid) return;
    grid->setOptionsEh(grid->OptionsEh() | dghAutoSortMarking | dghMultiSortMarking);
    // Columns bound to data fields are title buttons, also those the form adds later or the
    // grid makes from the fields; calculated fields get none.
    TDBGridColumnsEh* cols = grid->Columns();
    for (int i = 0; i < cols->Count(); ++i) cols->Items(i)->Title()->setTitleButton(false);
    grid->setDataFieldTitleButtons(true);
    grid->setOnSortMarkingChanged(&TPubEvent::SortMarkingChanged);
}

namespace {
// A user-defined calculated field (tags -100/-101) over a masked field would show what the
// masked field hides: it is masked too. The field keeps the names its expression uses in the
// property "CalcSourceFields".
QStringList withCalcFieldsOver(const TClientDataSet* ds, const QStringList& fieldNames)
{
    QStringList names = fieldNames;
    if (!ds || fieldNames.isEmpty()) return names;
    for (TField* f : ds->Fields()) {
        if (f->Tag() != -100 && f->Tag() != -101) continue;
        for (const QString& source : f->property("CalcSourceFields").toStringList())
            if (fieldNames.contains(source, Qt::CaseInsensitive)) {
                names << f->FieldName();
                break;
            }
    }
    return names;
}
} // namespace

void MaskDataSetFields(TClientDataSet* ds, const QStringList& maskedNames)
{
    if (!ds) return;
    const QStringList fieldNames = withCalcFieldsOver(ds, maskedNames);
    for (TField* f : ds->Fields()) f->setOnGetText({});
    for (const QString& name : fieldNames)
        if (TField* f = ds->FindField(name)) f->setOnGetText(&TPubEvent::MaskFieldText);
}

void MaskGridColumns(TDBGridEh* grid, const QStringList& maskedNames)
{
    if (!grid) return;
    const QStringList fieldNames = withCalcFieldsOver(grid->DataSet(), maskedNames);
    TDBGridColumnsEh* cols = grid->Columns();
    for (int i = 0; i < cols->Count(); ++i) {
        TColumnEh* c = cols->Items(i);
        if (!fieldNames.contains(c->FieldName(), Qt::CaseInsensitive)) continue;
        c->Footers()->Clear();
        TColumnFooterEh* f = c->Footer();
        f->setValueType(fvtNon);
        f->setValue(QString());
        f->setDisplayFormat(QString());
        c->setDisplayFormat(QString());
        // The footer made to clear it is removed again, so the column has no footers at all.
        c->Footers()->Clear();
    }
    grid->updateFooters();
}
