#pragma once

#include <QString>

namespace tolvane {

// The statements the update and the tools run on a season database, written with the table
// and column names of seasonschema. The update's follow the wording of the statements the
// game's season databases were made for, as far as SQLite allows.
namespace seasonstatements {

// The distinct teams, in the order the engine returns them.
QString distinctTeams();
// The player pass: every Ratings row with its rowid first, by team and within a team in
// table order.
QString playersByTeam();
// The lineup pass: each row's team, name and rowid, in table order.
QString lineupNames();
// One row's team and name, by rowid.
QString playerByRow();
// A player's qz row, its rowid first, the name bound as the only parameter: the first row
// the engine returns for that name.
QString qzLookup();
// The same look-up, comparing the name character for character.
QString qzLookupExact();
// Every qz row in table order.
QString qzInTableOrder();
// The index on qz's names that look-ups use. Its one name lets a season keep it, and the
// update find it there.
QString createQzNameIndex();

} // namespace seasonstatements

} // namespace tolvane
