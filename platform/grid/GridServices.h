// Column-title sorting and field masking shared by the list forms.
#pragma once

#include <QString>
#include <QStringList>

class TClientDataSet;
class TDBGridEh;
class TField;

// Class-level handlers plugged into platform components.
class TPubEvent {
public:
    // Display-text handler of a masked field: the text is "*".
    static void MaskFieldText(TField* sender, QString& text, bool displayText);
    // Sort-marking-changed handler: rebuilds the index "SortIndexEh" of the grid's client dataset
    // from the sort markers (descending for "down") and moves to the first record.
    static void SortMarkingChanged(TDBGridEh* grid);
};

// The index the sort handler maintains.
inline const QString SortIndexName = QStringLiteral("SortIndexEh");

// Switches on automatic and multi-column sort marking, makes the title of every column bound to
// a data field a button, and installs TPubEvent::SortMarkingChanged.
void EnableTitleSort(TDBGridEh* grid);

// Removes the display-text handler of every field of ds, then gives each listed field that
// exists MaskFieldText. A calculated field over a listed field counts as listed.
void MaskDataSetFields(TClientDataSet* ds, const QStringList& fieldNames);

// For every column bound to a listed field (or to a calculated field over one): no footers,
// footer value type none, no footer value, no display format of the column or its footer.
void MaskGridColumns(TDBGridEh* grid, const QStringList& fieldNames);
