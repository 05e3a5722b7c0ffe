// The T-SQL translation: any text either translates or is refused with DbError; the translation
// is stable (the cache answers what a fresh translation gives) and never grows without bound.
#include "platform/db/Db.h"
#include "platform/db/TsqlTranslator.h"
#include "tests/fuzz/FuzzCommon.h"

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto in = fuzz::pieces(data, size, 2);
    const QString tsql = fuzz::text(in[0]);
    const QStringList textParams = fuzz::text(in[1]).split(u',', Qt::SkipEmptyParts);
    QString first;
    bool refused = false;
    try {
        first = TsqlTranslator::translate(tsql, textParams);
    } catch (const DbError&) {
        refused = true;
    }
    try {
        const QString cached = TsqlTranslator::toSqlite(tsql, textParams);
        if (refused) fuzz::fail("the cache accepted a refused statement", tsql);
        if (cached != first) fuzz::fail("cached and fresh translations differ", tsql);
    } catch (const DbError&) {
        if (!refused) fuzz::fail("the cache refused an accepted statement", tsql);
    }
    // Keep the cache from holding every input of a long run.
    if (TsqlTranslator::cacheSize() > 4096) TsqlTranslator::clearCache();
    return 0;
}
