#include "db/accesscopy.h"

#include "core/fileops.h"
#include "core/patcherror.h"
#include "db/databaseformat.h"
#include "db/sqliteapi.h"
#include "db/sqliteconnection.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <memory>

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
    case Text:
    case Memo:
    case Guid:
        return QStringLiteral("TEXT");
    default: // a type the reader does not know: its bytes
        return QStringLiteral("BLOB");
    }
}

QString copyOperation() {
    return QStringLiteral("Cannot copy a table of the Access database into SQLite");
}

// What a failure on a table of the copy names.
QString tableTarget(const SqliteConnection& db, const QString& table) {
    return QStringLiteral("%1\nTable %2").arg(db.path(), table);
}

[[noreturn]] void fail(const SqliteConnection& db, const QString& table, const QString& cause) {
    throw PatchError(copyOperation(), tableTarget(db, table), cause);
}

// The rows of a table of the copy in stored order, each cell compared where SQLite holds it.
class CopyRows : public ExpectedRows {
public:
    CopyRows(SqliteConnection& db, const QString& table)
        : m_rows(db, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(quoted(table)),
                 copyOperation(), tableTarget(db, table)) {}

    bool next() override { return m_rows.next(); }

    bool holds(std::size_t column, const QVariant& written) override {
        sqlite3_stmt* s = m_rows.native();
        const int c = static_cast<int>(column);
        if (c >= sqlite3_column_count(s))
            return false;
        const int type = written.typeId();
        switch (sqlite3_column_type(s, c)) {
        case SQLITE_NULL:
            // SQLite holds a NaN as NULL.
            return written.isNull() ||
                   (type == QMetaType::Double && std::isnan(written.toDouble()));
        case SQLITE_INTEGER:
            return !written.isNull() && type == QMetaType::LongLong &&
                   written.toLongLong() == sqlite3_column_int64(s, c);
        case SQLITE_FLOAT:
            // -0 goes in as 0.
            return !written.isNull() && type == QMetaType::Double &&
                   written.toDouble() == sqlite3_column_double(s, c);
        case SQLITE_TEXT: {
            if (written.isNull() || type != QMetaType::QString)
                return false;
            const QString& text = *static_cast<const QString*>(written.constData());
            const void* theirs = sqlite3_column_text16(s, c);
            const auto size = static_cast<qsizetype>(sqlite3_column_bytes16(s, c));
            return size == text.size() * 2 &&
                   (size == 0 ||
                    std::memcmp(text.utf16(), theirs, static_cast<std::size_t>(size)) == 0);
        }
        default: {
            if (written.isNull() || type != QMetaType::QByteArray)
                return false;
            const QByteArray& bytes = *static_cast<const QByteArray*>(written.constData());
            const void* theirs = sqlite3_column_blob(s, c);
            const auto size = static_cast<qsizetype>(sqlite3_column_bytes(s, c));
            return size == bytes.size() &&
                   (size == 0 ||
                    std::memcmp(bytes.constData(), theirs, static_cast<std::size_t>(size)) == 0);
        }
        }
    }

private:
    sqliteapi::Statement m_rows;
};

} // namespace

std::unique_ptr<ExpectedRows> rowsOfCopy(SqliteConnection& db, const QString& table) {
    return std::make_unique<CopyRows>(db, table);
}

std::optional<Table> copyTableToSqlite(const Reader& reader, const QString& name,
                                       SqliteConnection& db, const QString& textCollation,
                                       const Reader::RowVisitor& alsoVisit) {
    std::optional<sqliteapi::Statement> insert;
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
        insert.emplace(db,
                       QStringLiteral("INSERT INTO %1 VALUES (%2)")
                           .arg(quoted(table.name), marks.join(QStringLiteral(", "))),
                       copyOperation(), tableTarget(db, table.name));
    };
    const auto row = [&](const std::vector<QVariant>& values) {
        // The values stay alive until the row is stored.
        for (std::size_t c = 0; c < values.size(); ++c)
            insert->bind(static_cast<int>(c), values[c]);
        insert->run();
        if (alsoVisit)
            alsoVisit(values);
    };
    std::optional<Table> table = reader.streamTable(name, start, row);
    insert.reset(); // a statement left open would keep the transaction from committing
    if (transaction)
        transaction->commit();
    return table;
}

std::vector<LeftOutOfTable> convertToSqlite(const QString& accessPath, const QString& sqlitePath,
                                            std::vector<RawBytesOfTable>* rawBytes) {
    const QString operation = QStringLiteral("Cannot create the SQLite database");
    if (QFileInfo::exists(sqlitePath))
        throw PatchError(operation, sqlitePath,
                         QStringLiteral("The file exists already; choose a new name."));
    const DatabaseFormat format = detectDatabaseFormat(accessPath);
    if (!isReadableAccess(format))
        throw PatchError(openOperation(), accessPath, unreadableFormatReason(format));
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
                    for (const RawColumn& column : table->rawBytes) {
                        if (rawBytes)
                            rawBytes->push_back({table->name, column});
                    }
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
