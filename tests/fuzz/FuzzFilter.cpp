// The dataset filter language on a small dataset: any text is applied or refused with
// DatasetError, never read past, never crashes; a refused filter leaves the view whole. The LIKE
// matcher is also driven directly with raw bytes (cut UTF-8 characters included).
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/Field.h"
#include "platform/dataset/FilterExpr.h"
#include "tests/fuzz/FuzzCommon.h"

#include <string_view>

using namespace Qt::StringLiterals;

namespace {

TClientDataSet& dataset()
{
    static TClientDataSet* ds = [] {
        fuzz::ensureApp(false);
        auto* d = new TClientDataSet;
        TField* code = d->addField(u"OrgCode"_s, ftString, 10);
        TField* name = d->addField(u"OrgName"_s, ftString, 40);
        TField* qty = d->addField(u"Qty"_s, ftInteger);
        TField* price = d->addField(u"Price"_s, ftFloat);
        TField* big = d->addField(u"Big"_s, ftLargeint);
        TField* flag = d->addField(u"Flag"_s, ftBoolean);
        d->CreateDataSet();
        const char* names[] = {"面霜", "abc%_", "", "O'Brien", "\xe4\xb8\xad\xe6\x96\x87 x"};
        for (int i = 0; i < 5; ++i) {
            d->Append();
            code->setAsString(u"0%1"_s.arg(i));
            name->setAsString(QString::fromUtf8(names[i]));
            if (i != 2) qty->setAsInteger(i * 7 - 3);
            price->setAsFloat(i * 1.25 - 2);
            big->setAsInteger(qint64(i) << 40);
            flag->setAsBoolean(i % 2);
            d->Post();
        }
        return d;
    }();
    return *ds;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const auto in = fuzz::pieces(data + 1, size - 1, 3);
    const uint8_t opts = data[0];

    // The matcher on raw bytes: never reads past either text (ASan watches the exact sizes).
    {
        const std::string s(in[1].constData(), size_t(in[1].size()));
        const std::string p(in[2].constData(), size_t(in[2].size()));
        const char esc = (opts & 8) ? '\\' : 0;
        dsimpl::likeMatch(std::string_view(s), std::string_view(p), opts & 4, esc);
    }

    TClientDataSet& ds = dataset();
    ds.setFiltered(false);
    ds.setFilterOptions(opts & 3);
    try {
        ds.setFilter(fuzz::text(in[0]));
        ds.setFiltered(true);
        const int n = ds.RecordCount();
        if (n < 0 || n > 5) fuzz::fail("filtered view has an impossible size", ds.Filter());
        for (ds.First(); !ds.Eof(); ds.Next()) (void)ds.FieldByName(u"OrgName"_s)->AsString();
    } catch (const DatasetError&) {
    }
    try {
        ds.setFiltered(false);
        ds.setFilter(QString());
    } catch (const DatasetError& e) {
        fuzz::fail("switching a filter off failed", e.message());
    }
    if (ds.RecordCount() != 5) fuzz::fail("rows lost after a filter", fuzz::text(in[0]));
    return 0;
}
