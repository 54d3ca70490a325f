#pragma once

#include <QString>

class QSqlDatabase;

namespace tolvane {

namespace jet {
struct Table;

// Creates the table in db with SQLite column types that keep each Jet value's kind, and
// inserts every row in the table's stored order, so that rowid n is the n-th stored row.
// Text columns are declared with textCollation when it is given (registered on db before),
// else with SQLite's own.
void copyTableToSqlite(const Table& table, QSqlDatabase& db,
                       const QString& textCollation = QString());

// Writes every user table of the Jet 4 file at jetPath into a new SQLite file at
// sqlitePath. An existing target is refused; a failure leaves no target behind.
void convertJetToSqlite(const QString& jetPath, const QString& sqlitePath);

} // namespace jet

} // namespace tolvane
