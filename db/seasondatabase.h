#pragma once

#include <QSqlDatabase>
#include <QString>

// An open season database: an SQLite file reached through Qt Sql. Move-only; closing
// happens in the destructor, after every query on it has gone.
class SeasonDatabase {
public:
    // Opens the database at path for reading and writing. A missing file is an error,
    // never a new empty database; so is a file that is not an SQLite database.
    explicit SeasonDatabase(const QString& path);
    ~SeasonDatabase();
    SeasonDatabase(const SeasonDatabase&) = delete;
    SeasonDatabase& operator=(const SeasonDatabase&) = delete;

    const QString& path() const { return m_path; }
    QSqlDatabase& connection() { return m_db; }

    // Runs a statement that returns no rows; failures throw.
    void exec(const QString& sql);
    // The single integer a query such as SELECT COUNT(*) returns.
    qint64 scalar(const QString& sql);

private:
    QString m_path;
    QString m_connectionName;
    QSqlDatabase m_db;
};

// Groups the writes of one pass into a transaction. Unlike a rollback guard, it commits
// when it goes out of scope on an error too: what a run wrote before it stopped stays.
class WriteBatch {
public:
    explicit WriteBatch(SeasonDatabase& db);
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // Commits now; failures throw.
    void commit();

private:
    SeasonDatabase& m_db;
    bool m_open = true;
};
