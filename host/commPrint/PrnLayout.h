// The layout of one print format: page set-up, title, header and footer lines, the columns to
// print with their footers, and an optional grouping with a subtotal line per group. Stored as
// JSON in tXtPrnLayout under (PrnType, PrnCode, SerialNo).
#pragma once

#include <QByteArray>
#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>
#include <optional>

class TADOConnection;
class TClientDataSet;

namespace commprint {

enum class FooterKind { None, Sum, Count, Average };
enum class ColumnAlign { Auto, Left, Center, Right };

struct PrnColumn {
    QString field;         // field name in the dataset
    QString caption;       // column title
    double widthMm = 25;   // width on paper
    ColumnAlign align = ColumnAlign::Auto; // Auto: numbers right, texts left
    QString displayFormat; // numbers: a FormatFloat pattern; empty keeps the field's own text
    FooterKind footer = FooterKind::None;
    bool operator==(const PrnColumn&) const = default;
};

struct PrnLayout {
    QPageSize::PageSizeId pageSize = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    double marginLeftMm = 15, marginTopMm = 15, marginRightMm = 15, marginBottomMm = 15;
    int fontPointSize = 9;
    QString title;
    // Page header and footer lines. A line is "left|centre|right" (missing parts are empty) and
    // may hold the variables of expandVariables().
    QStringList headerLines;
    QStringList footerLines;
    QList<PrnColumn> columns;
    QString groupField;       // empty: no grouping
    bool groupSubtotal = true; // a subtotal line under every group
    bool operator==(const PrnLayout&) const = default;

    QPageLayout pageLayout() const;
};

// The variables of header and footer lines, and what they stand for.
struct PrnVariables {
    int page = 1;
    int pages = 1;
    QString date;      // "YYYY-MM-DD"
    QString time;      // "HH:MM:SS"
    QString user;      // the user's name
    QString condition; // the form's condition description
};
// "&[Page]", "&[Pages]", "&[Date]", "&[Time]", "&[User]", "&[Condition]" replaced.
QString expandVariables(const QString& text, const PrnVariables& v);
// The variables in the order the designer offers them, with their captions.
struct PrnVariableInfo {
    const char16_t* token;
    const char16_t* caption;
};
QList<PrnVariableInfo> variableList();

// JSON text of a layout and back; nullopt for text that is not a layout.
QByteArray layoutToJson(const PrnLayout& l);
std::optional<PrnLayout> layoutFromJson(const QByteArray& json);

// The plain layout of a dataset: every visible field in order, captions from the display labels
// (title levels "a|b" joined by "-"), widths from the display widths, no footers, no grouping.
PrnLayout plainLayout(TClientDataSet* ds);

// --- storage -------------------------------------------------------------------------------------

struct PrnLayoutKey {
    QString prnType;
    QString prnCode;
    int serialNo = 0;
};
// The stored layout; nullopt when there is none (or it is unreadable).
std::optional<PrnLayout> readLayout(TADOConnection& c, const PrnLayoutKey& key);
// Replaces the stored layout, in one transaction.
void writeLayout(TADOConnection& c, const PrnLayoutKey& key, const PrnLayout& l);

} // namespace commprint
