#pragma once

#include <QLatin1String>
#include <QString>

namespace SQLite {
class Database;
}

namespace tolvane {

// Texts compared as the Jet engine compares them: without regard to letter case (Unicode
// case folding, the same on every platform), with accents and every other difference kept.
// Registered on an SQLite connection as a collation, it makes =, DISTINCT, GROUP BY and
// ORDER BY on a column declared with it compare that way.
// SQLiteCpp does not wrap collations: they go through SQLite's C API, here alone.
namespace caseless {

// The collation's name in SQL: COLLATE TOLVANE_CASELESS.
inline constexpr QLatin1String kCollation("TOLVANE_CASELESS");

// Two texts have equal keys exactly when the collation finds them equal.
QString key(const QString& text);

// Registers the collation on the open database db, before any table uses it. A failure
// throws a PatchError with operation and path, the database's name in messages.
void addTo(SQLite::Database& db, const QString& path, const QString& operation);

} // namespace caseless

} // namespace tolvane
