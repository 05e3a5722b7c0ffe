#include "host/include/Appres.h"
QString UGetProductName_CH() { return QStringLiteral("零售管理系统"); }
