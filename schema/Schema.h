// The database of the suite as the module reads it: DDL and demo data, embedded as resources.
#pragma once

#include <QString>

class TADOConnection;

namespace Schema {
// Creates every table (and, with demo, the demo data) on an empty embedded database.
void createDatabase(TADOConnection& conn, bool demo);
// Adds n generated trials with matching booked bills (volume data).
void generateTrials(TADOConnection& conn, int n);
// The embedded texts.
QString sqliteDdl();
QString demoData();
}
