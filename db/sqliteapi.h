#pragma once

#include <QString>

class QSqlDatabase;
class QVariant;
struct sqlite3;
struct sqlite3_stmt;

namespace tolvane {

class SqliteConnection;

// SQLite's C API under a Qt Sql connection, for what Qt Sql does not wrap or does slowly. It
// must be the very library Qt's SQLite driver runs on (see the SQLite::SQLite3 target in the
// top-level CMakeLists.txt).
namespace sqliteapi {

// The open connection's handle. A connection that is not SQLite's or not open, or whose
// SQLite is another library than the program's, throws a PatchError with operation and path.
sqlite3* handle(QSqlDatabase& db, const QString& operation, const QString& path);

// One statement run for many rows, such as an INSERT of a whole table. Qt Sql's bindValue
// costs a formatted placeholder name and a hash look-up for every value, which outweighs
// the rest of an insert. Neither copyable nor movable; it must go before its connection.
class Statement {
public:
    // Prepares sql; failures throw a PatchError naming operation and the database.
    Statement(SqliteConnection& db, const QString& sql, QString operation);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds the index-th parameter, from 0, to value: NULL (a null variant or text), an
    // integer, a real, a text or bytes.
    void bind(int index, const QVariant& value);
    // Runs the statement once with the values bound; failures throw.
    void run();

private:
    [[noreturn]] void fail() const;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
    QString m_sql;
    QString m_operation;
    QString m_path;
};

} // namespace sqliteapi

} // namespace tolvane
