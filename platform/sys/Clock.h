// One replaceable clock: book dates and times, log stamps.
#pragma once

#include <QDateTime>
#include <functional>

QDateTime clockNow();
// Tests pin the time; an empty function restores the system clock.
void setClock(std::function<QDateTime()> now);
