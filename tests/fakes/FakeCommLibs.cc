// Stand-ins for libcommDll.so and libcommPrint.so in the bridge tests: every entry records its
// arguments and the text entries answer what the test set. Built as fakes/full/libcommDll.so,
// fakes/full/libcommPrint.so and, with FAKE_PARTIAL, fakes/partial/libcommDll.so, which lacks
// xtShowFilter, DbToHtml and SetOldApplication.
#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <string>

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {
std::string g_answer;
std::string g_result;
std::string g_log;
int g_giveBacks = 0;
bool g_throw = false;

void record(const char* format, ...) __attribute__((format(printf, 1, 2)));
void record(const char* format, ...)
{
    char buf[4096];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    g_log += buf;
    g_log += '\n';
}

const char* answer()
{
    if (g_throw) throw std::runtime_error("fake failure");
    g_result = g_answer;
    return g_result.c_str();
}

void maybeThrow()
{
    if (g_throw) throw std::runtime_error("fake failure");
}

const char* s(const char* t) { return t ? t : "(null)"; }
} // namespace

// --- control from the tests -----------------------------------------------------------------
FAKE_API void fakeSetAnswer(const char* text) { g_answer = text ? text : ""; }
FAKE_API void fakeSetThrow(int on) { g_throw = on != 0; }
FAKE_API const char* fakeLog() { return g_log.c_str(); }
FAKE_API void fakeReset()
{
    g_answer.clear();
    g_result.clear();
    g_log.clear();
    g_giveBacks = 0;
    g_throw = false;
}
FAKE_API int fakeGiveBacks() { return g_giveBacks; }

// --- commDll --------------------------------------------------------------------------------
FAKE_API const char* xtShowLocate(void* app, void* grid)
{
    record("xtShowLocate|%p|%p", app, grid);
    return answer();
}

#ifndef FAKE_PARTIAL
FAKE_API const char* xtShowFilter(void* app, void* grid)
{
    record("xtShowFilter|%p|%p", app, grid);
    return answer();
}
#endif

FAKE_API void xtShowColumn(int mode, void* conn, void* app, void* grid, const char* key, const char* user,
                           const char* edition)
{
    record("xtShowColumn|%d|%p|%p|%p|%s|%s|%s", mode, conn, app, grid, s(key), s(user), s(edition));
    maybeThrow();
}

FAKE_API void SaveDefaultColumns(int mode, void* conn, void* grid, const char* key, const char* user)
{
    record("SaveDefaultColumns|%d|%p|%p|%s|%s", mode, conn, grid, s(key), s(user));
}

FAKE_API void SaveCurrentColumns(int mode, void* conn, void* grid, const char* key, const char* user)
{
    record("SaveCurrentColumns|%d|%p|%p|%s|%s", mode, conn, grid, s(key), s(user));
}

FAKE_API void LoadCurrentColumns(int mode, void* conn, void* grid, const char* key, const char* user)
{
    record("LoadCurrentColumns|%d|%p|%p|%s|%s", mode, conn, grid, s(key), s(user));
}

FAKE_API const char* xtShowSelectGrid(void* conn, void* app, const char* source, const char* fields,
                                      const char* titles, int r1, unsigned color, int r2, int r3)
{
    record("xtShowSelectGrid|%p|%p|%s|%s|%s|%d|%u|%d|%d", conn, app, s(source), s(fields), s(titles), r1, color, r2,
           r3);
    return answer();
}

FAKE_API const char* xtShowSelectGridMultiLine(void* conn, void* app, const char* source, const char* fields,
                                               const char* titles, int r1, int count, unsigned color, int r2)
{
    record("xtShowSelectGridMultiLine|%p|%p|%s|%s|%s|%d|%d|%u|%d", conn, app, s(source), s(fields), s(titles), r1,
           count, color, r2);
    return answer();
}

FAKE_API void DbToExcel(void* app, void* grid, const char* file) { record("DbToExcel|%p|%p|%s", app, grid, s(file)); }
FAKE_API void DbToTxt(void* app, void* grid, const char* file) { record("DbToTxt|%p|%p|%s", app, grid, s(file)); }
#ifndef FAKE_PARTIAL
FAKE_API void DbToHtml(void* app, void* grid, const char* file) { record("DbToHtml|%p|%p|%s", app, grid, s(file)); }

// Spoils the last answer: a caller that reads it after this point reads garbage.
FAKE_API void SetOldApplication()
{
    ++g_giveBacks;
    g_result.assign(g_result.size(), '#');
    record("SetOldApplication");
}
#endif

// --- commPrint ------------------------------------------------------------------------------
FAKE_API void CommPrn(void* conn, int mode, void* app, const char* setting, const char* formKey, int formatNo, int r1,
                      void* dataSet, int r2, int r3, int z1, int z2, int z3, int z4, int z5, int z6, int z7)
{
    record("CommPrn|%p|%d|%p|%s|%s|%d|%d|%p|%d|%d|%d%d%d%d%d%d%d", conn, mode, app, s(setting), s(formKey), formatNo, r1,
           dataSet, r2, r3, z1, z2, z3, z4, z5, z6, z7);
}

FAKE_API void CommPrnBill(void* conn, int mode, void* app, const char* setting, const char* formKey, int formatNo,
                          int r1, int* value, void* dataSet, int r2, int r3, int z1, int z2, int z3, int z4, int z5,
                          int z6, int z7)
{
    record("CommPrnBill|%p|%d|%p|%s|%s|%d|%d|%s|%p|%d|%d|%d%d%d%d%d%d%d", conn, mode, app, s(setting), s(formKey),
           formatNo, r1, value ? "ref" : "null", dataSet, r2, r3, z1, z2, z3, z4, z5, z6, z7);
}
