#include "host/Appres/Appres.h"
QString UGetProductName_CH() { return QStringLiteral("零售管理系统"); }
