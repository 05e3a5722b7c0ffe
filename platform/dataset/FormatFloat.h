// Numeric display patterns as the suite writes them ("0.00", "#,##0.", "#,##0.00%").
#pragma once

#include <QString>

// Formats v with a pattern of up to three sections "positive;negative;zero":
//   0  digit, always shown          #  digit, shown when significant
//   .  decimal point (shown only when a fraction digit follows it)
//   ,  thousands separators in the integer part
//   E+ E- e+ e-  scientific notation     "..." '...'  literal text; any other character is literal
// The value is rounded half away from zero on its 15-digit decimal form, so 2.675 with "0.00"
// gives "2.68". A value that rounds to zero never shows a minus sign. "%" is a literal (the
// value is not scaled). An empty pattern gives the general form (up to 15 significant digits).
QString FormatFloat(const QString& pattern, double v);

// The general form of a number: "0.5", "1234", "1E20".
QString FloatToStr(double v);

// A pattern FormatFloat accepts: balanced quotes, at most three sections.
bool IsValidFloatFormat(const QString& pattern);

// Money text of a currency field without a DisplayFormat: "¥1,234.50", "-¥3.00".
QString FormatCurrency(double v);
