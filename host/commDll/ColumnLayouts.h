// Column layouts of a grid (order, visibility, width, title), stored per layout key and user in
// tXtGridColumn: the designed layout as the default ('D') and the user's own as the current one
// ('C').
#pragma once

#include <QList>
#include <QString>

class TADOConnection;
class TDBGridEh;

namespace commdll {

struct ColumnLayoutItem {
    QString fieldName;
    QString title;
    int width = 0;
    bool visible = true;
    bool operator==(const ColumnLayoutItem&) const = default;
};
using ColumnLayout = QList<ColumnLayoutItem>;

inline const QString DefaultLayoutType = QStringLiteral("D");
inline const QString CurrentLayoutType = QStringLiteral("C");

// The grid's columns as they are now, in grid order.
ColumnLayout layoutOfGrid(TDBGridEh* grid);
// The columns of current rearranged by stored: the columns stored come first, in the stored
// order and with the stored properties, matched by field name (the n-th stored column of a name
// is the n-th column of that name); columns the stored layout does not know follow in their
// present order; stored columns the grid no longer has are dropped.
ColumnLayout arrangeLayout(const ColumnLayout& current, const ColumnLayout& stored);
// Gives the grid the layout: order, visibility, width and title of every column it names.
void applyLayout(TDBGridEh* grid, const ColumnLayout& layout);

// The stored layout; empty when none is stored. Raises DbError.
ColumnLayout readLayout(TADOConnection& conn, const QString& layoutKey, const QString& userCode,
                        const QString& layoutType);
// Replaces the stored layout in one transaction. Raises DbError.
void writeLayout(TADOConnection& conn, const QString& layoutKey, const QString& userCode,
                 const QString& layoutType, const ColumnLayout& layout);

} // namespace commdll
