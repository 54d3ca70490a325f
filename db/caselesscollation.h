#pragma once

#include <QLatin1String>
#include <QString>

class QSqlDatabase;

namespace tolvane {

// Texts compared as the Jet engine compares them: without regard to letter case (Unicode
// case folding, the same on every platform), with accents and every other difference kept.
// Registered on an SQLite connection as a collation, it makes =, DISTINCT, GROUP BY and
// ORDER BY on a column declared with it compare that way.
// SQLite's C API registers it (db/sqliteapi.h).
namespace caseless {

// The collation's name in SQL: COLLATE TOLVANE_CASELESS.
inline constexpr QLatin1String kCollation("TOLVANE_CASELESS");

// Two texts have equal keys exactly when the collation finds them equal.
QString key(const QString& text);

// Registers the collation on the open connection db, before any table uses it. A failure
// throws a PatchError with operation and path.
void addTo(QSqlDatabase& db, const QString& operation, const QString& path);

} // namespace caseless

} // namespace tolvane
