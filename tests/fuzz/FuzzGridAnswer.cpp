// The answers of the grid-dialog library (locate "<status>|<fields>|<value>|<case>|<partial>",
// filter "<status>|<expression>") read by the grid services bridge: any answer locates, filters
// or is refused with a message; the dataset keeps its rows and a usable filter state.
#include "framework/GridBridge.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/grid/DBGridEh.h"
#include "tests/fuzz/FuzzCommon.h"

#include <QCoreApplication>
#include <dlfcn.h>

using namespace Qt::StringLiterals;

namespace {

struct Setup {
    TClientDataSet ds;
    TDataSource src;
    TDBGridEh grid;
    void (*setAnswer)(const char*) = nullptr;
    Setup()
    {
        const QString folder = QCoreApplication::applicationDirPath() + u"/fuzzfakes"_s;
        GridBridge::setLibraryFolder(folder);
        void* h = dlopen((folder + u"/libcommDll.so"_s).toUtf8().constData(), RTLD_NOW);
        if (!h) fuzz::fail("no stand-in grid-dialog library", QString::fromUtf8(dlerror()));
        setAnswer = reinterpret_cast<void (*)(const char*)>(dlsym(h, "fakeSetAnswer"));
        TField* code = ds.addField(u"PluCode"_s, ftString, 20);
        TField* name = ds.addField(u"PluName"_s, ftString, 20);
        TField* qty = ds.addField(u"TryTimes"_s, ftInteger);
        ds.CreateDataSet();
        const char* names[] = {"Abcd", "abc", "a|b", "面霜", ""};
        for (int i = 0; i < 5; ++i) {
            ds.Append();
            code->setAsString(u"R%1"_s.arg(i + 1));
            name->setAsString(QString::fromUtf8(names[i]));
            qty->setAsInteger(i + 1);
            ds.Post();
        }
        src.setDataSet(&ds);
        grid.setDataSource(&src);
        fuzz::installQuietPrompter();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ensureApp(true);
    static Setup* s = new Setup;
    const std::string answer(reinterpret_cast<const char*>(data), size);
    const bool filter = size > 0 && (data[0] & 1);
    s->setAnswer(answer.c_str());
    if (filter) {
        ShowFilterDialog(&s->grid);
        // The filter in force is one the dataset can apply again.
        try {
            s->ds.setFiltered(false);
            s->ds.setFiltered(true);
        } catch (const QorError& e) {
            fuzz::fail("the bridge left an unusable filter", e.message());
        }
        s->ds.setFiltered(false);
        s->ds.setFilter(QString());
    } else {
        ShowLocateDialog(&s->grid);
        if (s->ds.RecNo() < 1) fuzz::fail("locate left no current record", QString::fromUtf8(answer));
    }
    if (s->ds.RecordCount() != 5) fuzz::fail("rows lost", QString::fromUtf8(answer));
    return 0;
}
