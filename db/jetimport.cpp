#include "db/jetimport.h"

#include "core/patcherror.h"
#include "db/jetfile.h"
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
// as a day number stays a number rather than becoming the text of one.
QString sqliteType(std::uint8_t type) {
    switch (type) {
    case Bool:
    case Byte:
    case Int:
    case Long:
        return QStringLiteral("INTEGER");
    case Money:
    case Float:
    case Double:
        return QStringLiteral("REAL");
    case DateTime:
        return QStringLiteral("DATETIME");
    case Binary:
    case Ole:
        return QStringLiteral("BLOB");
    default:
        return QStringLiteral("TEXT");
    }
}

[[noreturn]] void fail(const QSqlDatabase& db, const QString& table, const QString& cause) {
    throw PatchError(QStringLiteral("Cannot copy a table of the Jet database into SQLite"),
                     QStringLiteral("%1\nTable %2").arg(db.databaseName(), table), cause);
}

} // namespace

void copyTableToSqlite(const Table& table, QSqlDatabase& db, const QString& textCollation) {
    QStringList columns;
    QStringList marks;
    for (const Column& c : table.columns) {
        const QString type = sqliteType(c.type);
        QString column = quoted(c.name) + QLatin1Char(' ') + type;
        if (!textCollation.isEmpty() && type == QLatin1String("TEXT"))
            column += QStringLiteral(" COLLATE ") + textCollation;
        columns << column;
        marks << QStringLiteral("?");
    }
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("CREATE TABLE %1 (%2)")
                        .arg(quoted(table.name), columns.join(QStringLiteral(", ")))))
        fail(db, table.name, query.lastError().text());
    if (!db.transaction())
        fail(db, table.name, db.lastError().text());
    if (!query.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)")
                           .arg(quoted(table.name), marks.join(QStringLiteral(", ")))))
        fail(db, table.name, query.lastError().text());
    for (const std::vector<QVariant>& row : table.rows) {
        for (std::size_t c = 0; c < row.size(); ++c)
            query.bindValue(static_cast<int>(c), row[c]);
        if (!query.exec()) {
            const QString cause = query.lastError().text();
            db.rollback();
            fail(db, table.name, cause);
        }
    }
    if (!db.commit())
        fail(db, table.name, db.lastError().text());
}

void convertJetToSqlite(const QString& jetPath, const QString& sqlitePath) {
    if (QFileInfo::exists(sqlitePath))
        throw PatchError(QStringLiteral("Cannot create the SQLite database"), sqlitePath,
                         QStringLiteral("The file exists already; choose a new name."));
    Reader reader(jetPath);
    // Built under a temporary name, so that a failure never leaves a half-filled target.
    const QString partial = sqlitePath + QStringLiteral(".part");
    QFile::remove(partial);
    try {
        {
            SqliteConnection target(partial, QStringLiteral("Cannot create the SQLite database"));
            for (const QString& name : reader.tableNames()) {
                const std::optional<Table> table = reader.readTable(name);
                if (table)
                    copyTableToSqlite(*table, target.handle());
            }
        }
        if (!QFile::rename(partial, sqlitePath))
            throw PatchError(QStringLiteral("Cannot create the SQLite database"), sqlitePath,
                             QStringLiteral("The finished file cannot be renamed into place."));
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
}

} // namespace jet

} // namespace tolvane
