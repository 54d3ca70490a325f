#include "db/statementerror.h"

#include "core/patcherror.h"

#include <SQLiteCpp/Exception.h>

namespace tolvane::statementerror {

PatchError rejected(const QString& databasePath, const QString& sql,
                    const SQLite::Exception& error) {
    return PatchError(QStringLiteral("The season database rejected a statement"),
                      databasePath + QLatin1Char('\n') + sql, QString::fromUtf8(error.what()));
}

PatchError missingColumn(const QString& table, const QString& column) {
    return PatchError(QStringLiteral("The season database lacks a column"),
                      QStringLiteral("Table %1").arg(table),
                      QStringLiteral("The column \"%1\" does not exist.").arg(column));
}

} // namespace tolvane::statementerror
