// The database of the suite as the module reads it: DDL and demo data, embedded as resources.
#pragma once

#include <QString>
#include <QtGlobal>

class TADOConnection;

namespace Schema {
// Creates every table (and, with demo, the demo data) on an empty embedded database.
void createDatabase(TADOConnection& conn, bool demo);
// Adds the master data of a real chain's scale (once) and n generated trials with their
// requisition bills, over the 36 months before anything stored (volume data). The same seed on
// the same database gives the same rows.
void generateTrials(TADOConnection& conn, int n, quint64 seed = 1);
// The embedded texts.
QString sqliteDdl();
QString demoData();
}
