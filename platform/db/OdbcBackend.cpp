// ODBC backend over unixODBC (SQL Server through FreeTDS). Filled in by the ODBC work.
#include "platform/db/DbBackend.h"

std::unique_ptr<DbBackend> makeOdbcBackend(const QString&)
{
    throw DbError(QStringLiteral("ODBC 连接尚不可用"));
}
