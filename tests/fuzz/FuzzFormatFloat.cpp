// FormatFloat with any pattern and any value (NaN, infinities, denormals included): an answer of
// bounded length, never a crash; a pattern without digit places shows no digits of its own.
#include "platform/dataset/FormatFloat.h"
#include "tests/fuzz/FuzzCommon.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < sizeof(double)) return 0;
    double v;
    std::memcpy(&v, data, sizeof v);
    const QString pattern = fuzz::text(QByteArray(reinterpret_cast<const char*>(data + sizeof v),
                                                  qsizetype(size - sizeof v)));
    (void)IsValidFloatFormat(pattern);
    const QString out = FormatFloat(pattern, v);
    // Digits of a number of at most 309 integer places, separators, the pattern's own text.
    if (out.size() > 2 * pattern.size() + 800) fuzz::fail("answer out of bounds", pattern);
    (void)FloatToStr(v);
    (void)FormatCurrency(v);
    return 0;
}
