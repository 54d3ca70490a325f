#include "db/jetimport.h"

#include "core/fileops.h"
#include "core/patcherror.h"
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

// A prepared statement on one table of the copy, through SQLite's C API; its failures name
// the table.
class TableStatement {
protected:
    TableStatement(SqliteConnection& db, const QString& table, const QString& sql)
        : m_db(db)
        , m_table(table) {
        sqlite3* handle = db.native(copyOperation());
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(handle, text.constData(), static_cast<int>(text.size()), &statement,
                               nullptr) != SQLITE_OK)
            fail(db, table, QString::fromUtf8(sqlite3_errmsg(handle)));
        m_statement.reset(statement);
    }

    sqlite3_stmt* statement() const { return m_statement.get(); }
    [[noreturn]] void failed() const {
        fail(m_db, m_table, QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(statement()))));
    }

private:
    struct Finalize {
        void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
    };
    SqliteConnection& m_db;
    QString m_table;
    std::unique_ptr<sqlite3_stmt, Finalize> m_statement;
};

// One INSERT statement run for every row: binding through Qt Sql costs several times what
// reading the row from the file does.
class RowInsert : TableStatement {
public:
    RowInsert(SqliteConnection& db, const QString& table, const QString& sql)
        : TableStatement(db, table, sql) {}

    void insert(const std::vector<QVariant>& values) {
        sqlite3_stmt* s = statement();
        for (std::size_t c = 0; c < values.size(); ++c) {
            const QVariant& value = values[c];
            const int at = static_cast<int>(c + 1);
            // The texts and bytes stay alive until the row is stored.
            int result = SQLITE_OK;
            if (value.isNull()) {
                result = sqlite3_bind_null(s, at);
            } else if (value.typeId() == QMetaType::LongLong) {
                result = sqlite3_bind_int64(s, at, value.toLongLong());
            } else if (value.typeId() == QMetaType::Double) {
                result = sqlite3_bind_double(s, at, value.toDouble());
            } else if (value.typeId() == QMetaType::QByteArray) {
                const QByteArray& bytes = *static_cast<const QByteArray*>(value.constData());
                result =
                    sqlite3_bind_blob64(s, at, bytes.constData(),
                                        static_cast<sqlite3_uint64>(bytes.size()), SQLITE_STATIC);
            } else {
                const QString& text = *static_cast<const QString*>(value.constData());
                result = sqlite3_bind_text64(s, at, reinterpret_cast<const char*>(text.utf16()),
                                             static_cast<sqlite3_uint64>(text.size()) * 2,
                                             SQLITE_STATIC, SQLITE_UTF16);
            }
            if (result != SQLITE_OK)
                failed();
        }
        if (sqlite3_step(s) != SQLITE_DONE)
            failed();
        sqlite3_reset(s);
    }
};

// The rows of a table of the copy in stored order, each cell compared where SQLite holds it.
class CopyRows : public ExpectedRows, TableStatement {
public:
    CopyRows(SqliteConnection& db, const QString& table)
        : TableStatement(db, table,
                         QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(quoted(table))) {}

    bool next() override {
        const int result = sqlite3_step(statement());
        if (result != SQLITE_ROW && result != SQLITE_DONE)
            failed();
        return result == SQLITE_ROW;
    }

    bool holds(std::size_t column, const QVariant& written) override {
        sqlite3_stmt* s = statement();
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
};

} // namespace

std::unique_ptr<ExpectedRows> rowsOfCopy(SqliteConnection& db, const QString& table) {
    return std::make_unique<CopyRows>(db, table);
}

std::optional<Table> copyTableToSqlite(const Reader& reader, const QString& name,
                                       SqliteConnection& db, const QString& textCollation,
                                       const Reader::RowVisitor& alsoVisit) {
    std::optional<RowInsert> insert;
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
        insert.emplace(db, table.name,
                       QStringLiteral("INSERT INTO %1 VALUES (%2)")
                           .arg(quoted(table.name), marks.join(QStringLiteral(", "))));
    };
    const auto row = [&](const std::vector<QVariant>& values) {
        insert->insert(values);
        if (alsoVisit)
            alsoVisit(values);
    };
    std::optional<Table> table = reader.streamTable(name, start, row);
    insert.reset(); // a statement left open would keep the transaction from committing
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
