#pragma once

#include <QSqlDatabase>
#include <QString>

struct sqlite3;

namespace tolvane {

// One Qt Sql connection to an SQLite database, open from construction to destruction. Qt
// keeps its connections in a registry by name: each object registers one under a name of
// its own, so that connections can live side by side, and removes it when it goes. Every
// query on the connection must have gone by then. Neither copyable nor movable.
class SqliteConnection {
public:
    enum class Storage {
        File,    // the database is the file at path, created when missing
        Scratch, // a new, empty database of the connection's own, gone when it closes; path
                 // only names it in messages
    };

    // Opens the database; a failure throws a PatchError naming operation, path and cause.
    SqliteConnection(const QString& path, const QString& operation,
                     Storage storage = Storage::File);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    const QString& path() const { return m_path; }
    // The handle for QSqlQuery.
    QSqlDatabase& handle() { return m_db; }
    // SQLite's own handle, for what Qt Sql does not wrap or does too slowly: a collation,
    // the copy of a large table. It belongs to the SQLite that Qt's driver runs on, which
    // must be the very library the program is built with (see the SQLite::SQLite3 target
    // in the top-level CMakeLists.txt); a connection where it is not, or that is not open,
    // throws a PatchError under operation.
    sqlite3* native(const QString& operation);

private:
    QString m_name;
    QString m_path;
    QSqlDatabase m_db;
};

// A transaction that rolls back when it goes out of scope without commit(), as after an
// error, so that a failed writer leaves nothing half-written in the database.
class Transaction {
public:
    enum class Lock {
        Deferred,  // the database is locked by the first statement that needs it
        Immediate, // the write lock is taken at once: a database that cannot be written fails here
    };

    // Begins the transaction; a failure throws a PatchError naming operation, the database
    // and the cause. operation also names a failed commit.
    Transaction(SqliteConnection& db, QString operation, Lock lock = Lock::Deferred);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Commits; a failure throws, and the destructor then rolls back.
    void commit();

private:
    SqliteConnection& m_db;
    QString m_operation;
    bool m_open = true;
};

} // namespace tolvane
