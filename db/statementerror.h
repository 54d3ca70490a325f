#pragma once

#include <QString>

namespace SQLite {
class Exception;
}

namespace tolvane {

class PatchError;

// The two ways a statement on the season database fails for reasons of the database
// itself, worded once for every caller.
namespace statementerror {

// The engine refused sql on the database at databasePath.
PatchError rejected(const QString& databasePath, const QString& sql,
                    const SQLite::Exception& error);
// The table has no column of that name.
PatchError missingColumn(const QString& table, const QString& column);

} // namespace statementerror

} // namespace tolvane
