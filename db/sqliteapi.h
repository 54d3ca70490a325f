#pragma once

#include <QString>

class QVariant;
struct sqlite3_stmt;

namespace tolvane {

class SqliteConnection;

// SQLite's C API under a Qt Sql connection, for what Qt Sql does slowly. It must be the very
// library Qt's SQLite driver runs on (see SqliteConnection::native()).
namespace sqliteapi {

// One statement run for many rows: an INSERT of a whole table, or a SELECT read row by row.
// Qt Sql's bindValue costs a formatted placeholder name and a hash look-up for every value,
// which outweighs the rest of an insert. Neither copyable nor movable; it must go before its
// connection.
class Statement {
public:
    // Prepares sql; failures here and later throw a PatchError naming operation and target,
    // by default the database and the statement.
    Statement(SqliteConnection& db, const QString& sql, QString operation,
              QString target = QString());
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds the index-th parameter, from 0, to value: NULL (a null variant or text), an
    // integer, a real, a text or bytes. A text or bytes is bound where the variant holds
    // it, without a copy: the variant must outlive the next run() or next().
    void bind(int index, const QVariant& value);
    // Runs the statement once with the values bound; failures throw.
    void run();
    // Steps to the next row of a query; false past the last. Failures throw.
    bool next();
    // The statement, for reading the columns of the current row.
    sqlite3_stmt* native() const { return m_statement; }

    [[noreturn]] void fail() const;

private:
    // Binds text, a null text as NULL; lifetime is SQLite's SQLITE_STATIC or
    // SQLITE_TRANSIENT.
    int bindText(int at, const QString& text, void (*lifetime)(void*));

    sqlite3_stmt* m_statement = nullptr;
    QString m_operation;
    QString m_target;
};

} // namespace sqliteapi

} // namespace tolvane
