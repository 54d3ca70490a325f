#include "db/accesscopy.h"

#include "core/fileops.h"
#include "core/patcherror.h"
#include "db/databaseformat.h"
#include "db/seasonschema.h"
#include "db/sqlite.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstring>
#include <memory>

namespace tolvane {

namespace jet {

namespace {

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
QString tableTarget(const AccessCopy& copy, const QString& table) {
    return QStringLiteral("%1\nTable %2").arg(copy.name, table);
}

// The rows of a table of the copy in stored order, each cell compared where SQLite holds it.
class CopyRows : public ExpectedRows {
public:
    CopyRows(const AccessCopy& copy, const QString& table)
        : m_target(tableTarget(copy, table))
        , m_rows(sqlite::guarded(copyOperation(), m_target, [&] {
            return SQLite::Statement(copy.db, QStringLiteral("SELECT * FROM %1 ORDER BY rowid")
                                                  .arg(seasonschema::quotedName(table))
                                                  .toStdString());
        })) {}

    bool next() override {
        return sqlite::guarded(copyOperation(), m_target, [&] { return m_rows.executeStep(); });
    }

    bool holds(std::size_t column, const QVariant& written) override {
        const int c = static_cast<int>(column);
        if (c >= m_rows.getColumnCount())
            return false;
        const SQLite::Column cell = m_rows.getColumn(c);
        const int type = written.typeId();
        if (cell.isNull()) // SQLite holds a NaN as NULL.
            return written.isNull() ||
                   (type == QMetaType::Double && std::isnan(written.toDouble()));
        if (written.isNull())
            return false;
        if (cell.isInteger())
            return type == QMetaType::LongLong && written.toLongLong() == cell.getInt64();
        if (cell.isFloat()) // -0 goes in as 0.
            return type == QMetaType::Double && written.toDouble() == cell.getDouble();
        if (cell.isText()) {
            if (type != QMetaType::QString)
                return false;
            // Compared as UTF-8, the form SQLite keeps, without decoding the cell.
            const QByteArray text = static_cast<const QString*>(written.constData())->toUtf8();
            return equalBytes(text, cell.getText(), cell.getBytes());
        }
        if (type != QMetaType::QByteArray)
            return false;
        return equalBytes(*static_cast<const QByteArray*>(written.constData()), cell.getBlob(),
                          cell.getBytes());
    }

private:
    static bool equalBytes(const QByteArray& ours, const void* theirs, int size) {
        return size == ours.size() &&
               (size == 0 ||
                std::memcmp(ours.constData(), theirs, static_cast<std::size_t>(size)) == 0);
    }

    QString m_target;
    SQLite::Statement m_rows;
};

} // namespace

std::unique_ptr<ExpectedRows> rowsOfAccessCopy(const AccessCopy& copy, const QString& table) {
    return std::make_unique<CopyRows>(copy, table);
}

std::optional<Table> copyAccessTable(const Reader& reader, const QString& name,
                                     const AccessCopy& copy, const Reader::RowVisitor& alsoVisit) {
    std::optional<SQLite::Statement> insert;
    std::optional<sqlite::RowBinder> binder;
    std::optional<SQLite::Transaction> transaction;
    QString target = tableTarget(copy, name);
    const auto start = [&](const Table& table) {
        target = tableTarget(copy, table.name);
        QStringList columns;
        QStringList marks;
        for (const Column& c : table.columns) {
            const QString type = sqliteType(c.type);
            QString column = seasonschema::quotedName(c.name);
            if (!type.isEmpty())
                column += QLatin1Char(' ') + type;
            if (!copy.textCollation.isEmpty() && type == QLatin1String("TEXT"))
                column += QStringLiteral(" COLLATE ") + copy.textCollation;
            columns << column;
            marks << QStringLiteral("?");
        }
        const QString quotedTable = seasonschema::quotedName(table.name);
        sqlite::guarded(copyOperation(), target, [&] {
            copy.db.exec(QStringLiteral("CREATE TABLE %1 (%2)")
                             .arg(quotedTable, columns.join(QStringLiteral(", ")))
                             .toStdString());
            transaction.emplace(copy.db);
            insert.emplace(copy.db, QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                        .arg(quotedTable, marks.join(QStringLiteral(", ")))
                                        .toStdString());
            binder.emplace(*insert);
        });
    };
    const auto row = [&](const std::vector<QVariant>& values) {
        sqlite::guarded(copyOperation(), target, [&] {
            for (std::size_t c = 0; c < values.size(); ++c)
                binder->bind(static_cast<int>(c) + 1, values[c]);
            insert->exec();
            insert->reset();
        });
        if (alsoVisit)
            alsoVisit(values);
    };
    std::optional<Table> table = reader.streamTable(name, start, row);
    binder.reset();
    insert.reset(); // a statement left open would keep the transaction from committing
    if (transaction)
        sqlite::guarded(copyOperation(), target, [&] { transaction->commit(); });
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
            SQLite::Database target = sqlite::open(partial, operation);
            const AccessCopy copy{target, partial};
            for (const QString& name : reader.tableNames()) {
                if (const std::optional<Table> table = copyAccessTable(reader, name, copy)) {
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
        // A write that failed half-way can leave SQLite's rollback journal beside the file.
        QFile::remove(partial);
        QFile::remove(partial + QStringLiteral("-journal"));
        throw;
    }
    return leftOut;
}

bool failedOnAccessFile(const PatchError& error) {
    // The reader's failures keep their operations when it names the table and row they
    // met; a failure to store a row keeps the copy's.
    return error.operation() == openOperation() || error.operation() == readOperation();
}

} // namespace jet

} // namespace tolvane
