#include "db/jetimport.h"

#include "core/fileops.h"
#include "core/patcherror.h"
#include "db/sqliteconnection.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace tolvane {

namespace jet {

namespace {

QString quoted(const QString& name) {
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// Dates are declared DATETIME (numeric affinity): their text stays text, and a date kept
// as a day number stays a number rather than becoming the text of one. Decimal columns
// get no type, so that SQLite keeps each value as given: a double where one holds the
// value exactly, else its exact text, which a numeric affinity would round to a double.
QString sqliteType(std::uint8_t type) {
    switch (type) {
    case Bool:
    case Byte:
    case Int:
    case Long:
    case BigInt:
        return QStringLiteral("INTEGER");
    case Money:
    case Float:
    case Double:
        return QStringLiteral("REAL");
    case DateTime:
    case ExtendedDateTime:
        return QStringLiteral("DATETIME");
    case Numeric:
        return QString();
    case Binary:
    case Ole:
        return QStringLiteral("BLOB");
    default:
        return QStringLiteral("TEXT");
    }
}

QString copyOperation() {
    return QStringLiteral("Cannot copy a table of the Access database into SQLite");
}

[[noreturn]] void fail(const SqliteConnection& db, const QString& table, const QString& cause) {
    throw PatchError(copyOperation(), QStringLiteral("%1\nTable %2").arg(db.path(), table), cause);
}

} // namespace

std::optional<Table> copyTableToSqlite(const Reader& reader, const QString& name,
                                       SqliteConnection& db, const QString& textCollation,
                                       const Reader::RowVisitor& alsoVisit) {
    QSqlQuery insert(db.handle());
    std::optional<Transaction> transaction;
    const auto start = [&](const Table& table) {
        QStringList columns;
        QStringList marks;
        for (const Column& c : table.columns) {
            const QString type = sqliteType(c.type);
            QString column = quoted(c.name);
            if (!type.isEmpty())
                column += QLatin1Char(' ') + type;
            if (!textCollation.isEmpty() && type == QLatin1String("TEXT"))
                column += QStringLiteral(" COLLATE ") + textCollation;
            columns << column;
            marks << QStringLiteral("?");
        }
        QSqlQuery create(db.handle());
        if (!create.exec(QStringLiteral("CREATE TABLE %1 (%2)")
                             .arg(quoted(table.name), columns.join(QStringLiteral(", ")))))
            fail(db, table.name, create.lastError().text());
        transaction.emplace(db, copyOperation());
        if (!insert.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                .arg(quoted(table.name), marks.join(QStringLiteral(", ")))))
            fail(db, table.name, insert.lastError().text());
    };
    const auto row = [&](const std::vector<QVariant>& values) {
        for (std::size_t c = 0; c < values.size(); ++c)
            insert.bindValue(static_cast<int>(c), values[c]);
        if (!insert.exec())
            fail(db, name, insert.lastError().text());
        if (alsoVisit)
            alsoVisit(values);
    };
    std::optional<Table> table = reader.streamTable(name, start, row);
    if (transaction)
        transaction->commit();
    return table;
}

std::vector<LeftOutOfTable> convertToSqlite(const QString& accessPath, const QString& sqlitePath) {
    const QString operation = QStringLiteral("Cannot create the SQLite database");
    if (QFileInfo::exists(sqlitePath))
        throw PatchError(operation, sqlitePath,
                         QStringLiteral("The file exists already; choose a new name."));
    const Reader reader(accessPath);
    // Built under a temporary name, so that a failure never leaves a half-filled target.
    const QString partial = sqlitePath + QStringLiteral(".part");
    QFile::remove(partial);
    std::vector<LeftOutOfTable> leftOut;
    try {
        {
            SqliteConnection target(partial, operation);
            for (const QString& name : reader.tableNames()) {
                if (const std::optional<Table> table = copyTableToSqlite(reader, name, target)) {
                    for (const LeftOutColumn& column : table->leftOut)
                        leftOut.push_back({table->name, column});
                }
            }
        }
        fileops::renameFile(partial, sqlitePath);
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
    return leftOut;
}

} // namespace jet

} // namespace tolvane
