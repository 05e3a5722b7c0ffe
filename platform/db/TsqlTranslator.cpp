#include "platform/db/TsqlTranslator.h"

namespace TsqlTranslator {
QString toSqlite(const QString& tsql) { return tsql; }
}
