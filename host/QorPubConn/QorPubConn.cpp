// libQorPubConn.so: hands the host's open connection to the module.
#include "host/include/PubProcDll.h"

extern "C" __attribute__((visibility("default"))) TADOConnection* USysDbConn()
{
    return qorHostConnection();
}
