#pragma once

#include "db/databaseformat.h"
#include "db/jet/reader.h"
#include "db/sqlite.h"

#include <QString>

#include <memory>
#include <optional>

namespace tolvane {

// An open season database, reached through SQLite whatever the file is. An SQLite file is
// used directly. A Microsoft Access file (Jet 3, Jet 4 or ACE) is read once, row by row,
// into a private SQLite database of its own, with the same rows in the same order and values
// typed as the Access columns hold them, so every statement runs there unchanged; its text
// columns compare as the Jet engine compares them, without regard to letter case. The
// overall ratings a pass changes are written back into the Access file when its WriteBatch
// commits. Neither copyable nor movable; closing happens in the destructor, after every
// query on it has gone.
class SeasonDatabase {
public:
    // How the statements compare the database's texts.
    enum class TextComparison {
        Exact,    // SQLite's own comparison, character for character
        Caseless, // as the Jet engine: letter case ignored (caseless::kCollation)
    };

    // Opens the database at path for reading and writing. A missing file is an error,
    // never a new empty database; so is a file of any other kind, named by its format.
    explicit SeasonDatabase(const QString& path);
    ~SeasonDatabase();
    SeasonDatabase(const SeasonDatabase&) = delete;
    SeasonDatabase& operator=(const SeasonDatabase&) = delete;

    const QString& path() const { return m_path; }
    DatabaseFormat format() const { return m_format; }
    // Caseless for an Access file, whose tables are copies the program made: ordinary
    // tables, every text column in the caseless collation.
    TextComparison textComparison() const {
        return m_jet ? TextComparison::Caseless : TextComparison::Exact;
    }
    SQLite::Database& sqlite() { return m_sqlite; }

    // Why the overall ratings could not be written back into the file, for the user;
    // empty when they can. Only Access files have such limits.
    QString writeBackProblem() const;

    // Why the run cannot read a column of a table, for the user: an Access column of a type
    // no documentation of the format describes, which the copy holds as the file's bytes.
    // Empty when it can.
    QString unreadableColumn(QLatin1String table, const QString& column) const;

    // Runs a statement that returns no rows; failures throw.
    void exec(const QString& sql);
    // The single integer a query such as SELECT COUNT(*) returns.
    qint64 scalar(const QString& sql);
    // Prepares a statement; a failure throws a PatchError naming the database and sql.
    SQLite::Statement prepare(const QString& sql);
    // Whether a table or view of that name exists, in any letter case.
    bool hasTable(QLatin1String name);

private:
    friend class WriteBatch;
    struct Jet;

    void loadJet();
    // Writes the overall ratings changed in the connection into the Jet file.
    void saveJetChanges();

    QString m_path;
    DatabaseFormat m_format = DatabaseFormat::Unknown;
    SQLite::Database m_sqlite;
    std::unique_ptr<Jet> m_jet;
};

// Groups the writes of one pass into a transaction. For a Jet file, ending it also writes
// the changed overall ratings into the file, all or none. A batch that is not committed
// rolls back.
class WriteBatch {
public:
    explicit WriteBatch(SeasonDatabase& db);
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // Ends a pass that is done; failures throw.
    void commit();

private:
    SeasonDatabase& m_db;
    std::optional<SQLite::Transaction> m_transaction;
};

} // namespace tolvane
