#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace SQLite {
class Database;
}

namespace tolvane {

using SqlRows = QList<QVariantList>;

// The rows sql returns with the values bound to its parameters in order, each value typed as
// the program reads it (sqlite::value); a statement that fails fails the test and gives no rows.
SqlRows queryRows(SQLite::Database& db, const QString& sql, const QVariantList& bound = {});
// The first value of the first row, or a null value when there is none.
QVariant queryValue(SQLite::Database& db, const QString& sql, const QVariantList& bound = {});

} // namespace tolvane
