// Checks shared by the schema tests: what the entry form would say about stored trials.
#pragma once

#include "platform/db/Db.h"

#include <QStringList>

// The trials selected by where (a condition on TryOutBK, or empty for all) that the entry form
// would refuse, each described with its key and the reason. Empty when all are valid.
QStringList invalidTrials(TADOConnection& db, const QString& where = {});

// Trials (selected by where) whose good is not on a booked sample-goods bill of their
// organisation dated in the trial's month.
QStringList trialsWithoutBillOfTheirMonth(TADOConnection& db, const QString& where);

// A single value of a statement (first column of the first row), empty when there is no row.
QString scalarText(TADOConnection& db, const QString& tsql);
