#pragma once
#include <QString>
// The product's display name: the caption of every message box.
QString __attribute__((visibility("default"))) UGetProductName_CH();
