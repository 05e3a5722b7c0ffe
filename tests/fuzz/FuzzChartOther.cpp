// The chart settings: the "Other" text of the shared table and the settings file contents, read
// from anything. Whatever is read writes back to a text that reads as the same settings.
#include "chart/Graph.h"
#include "tests/fuzz/FuzzCommon.h"

using namespace Qt::StringLiterals;

namespace {
bool same(const TGraphSettings& a, const TGraphSettings& b)
{
    return a.XField == b.XField && a.YFields == b.YFields && a.Title == b.Title && a.XCaption == b.XCaption
        && a.YCaption == b.YCaption && a.ChartKind == b.ChartKind && a.LegendPosition == b.LegendPosition
        && a.LegendVisible == b.LegendVisible && a.MarksVisible == b.MarksVisible
        && a.XLabelsVisible == b.XLabelsVisible && a.YLabelsVisible == b.YLabelsVisible && a.View3D == b.View3D;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ensureApp(false);
    const auto in = fuzz::pieces(data, size, 2);
    TGraphSettings s;
    s.applyOther(fuzz::text(in[0]));
    if (s.ChartKind < TGraphSettings::Line || s.ChartKind > TGraphSettings::Pie)
        fuzz::fail("chart kind out of range", fuzz::text(in[0]));
    if (s.LegendPosition < TGraphSettings::Left || s.LegendPosition > TGraphSettings::Bottom)
        fuzz::fail("legend position out of range", fuzz::text(in[0]));
    TGraphSettings again;
    again.applyOther(s.otherText());
    if (!same(s, again)) fuzz::fail("Other does not read back", s.otherText());

    const TGraphSettings f = TGraphSettings::fromIni(in[1], u"图表"_s);
    if (f.YFields.size() > TGraphSettings::MaxYFields) fuzz::fail("too many Y fields", f.yFieldText());
    if (f.ChartKind < TGraphSettings::Line || f.ChartKind > TGraphSettings::Pie)
        fuzz::fail("chart kind out of range from a file", QString::fromLatin1(in[1].toHex()));
    (void)TGraphSettings::fromIni(f.toIni(), u"图表"_s);
    return 0;
}
