#pragma once

#include <QString>

namespace tolvane {

// The statements the update runs on a season database, written with the table and column
// names of seasonschema. Each is what the Jet engine was once asked, kept as close to its
// wording as our engine allows.
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
// A player's qz row, the name bound as the only parameter.
QString qzLookup();
// The same look-up, comparing the name character for character.
QString qzLookupExact();
// Every qz row in table order.
QString qzInTableOrder();

} // namespace seasonstatements

} // namespace tolvane
