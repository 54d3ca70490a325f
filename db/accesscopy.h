#pragma once

#include "db/jet/reader.h"
#include "db/jet/writeback.h"

#include <SQLiteCpp/Database.h>

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace tolvane {

class PatchError;

namespace jet {

// An SQLite database that Access tables are copied into, and how.
struct AccessCopy {
    SQLite::Database& db;
    // What messages call the copy: the Access file, for a season's private copy.
    QString name;
    // Text columns are declared with this collation when it is given (registered on db
    // before), else with SQLite's own.
    QString textCollation = QString();
};

// Creates the table of that name in the copy with SQLite column types that keep each Access
// value's kind, and inserts the rows as the reader reads them, in their stored order, so
// that rowid n is the n-th stored row; no reading of the whole table is held beside the
// copy. Also hands each row to alsoVisit when given. Returns the table without its rows;
// nothing when the file has no such table.
std::optional<Table> copyAccessTable(const Reader& reader, const QString& name,
                                     const AccessCopy& copy,
                                     const Reader::RowVisitor& alsoVisit = {});

// The rows of a table of the copy in stored order, as what the Access table it was copied
// from must read back as once the overall ratings are written into it; compared without
// building a value of each cell. Failures throw a PatchError.
std::unique_ptr<ExpectedRows> rowsOfAccessCopy(const AccessCopy& copy, const QString& table);

// A column the converter left out of a table, and why.
struct LeftOutOfTable {
    QString table;
    LeftOutColumn column;
};

// A column the converter copied as the bytes the file stores (BLOB), its type being one the
// reader does not know, and why.
struct RawBytesOfTable {
    QString table;
    RawColumn column;
};

// Writes every user table of the Access file at accessPath into a new SQLite file at
// sqlitePath, and returns the columns it left out; adds to rawBytes, when given, the
// columns it copied as raw bytes. An existing target is refused; a failure leaves no target
// behind.
std::vector<LeftOutOfTable> convertToSqlite(const QString& accessPath, const QString& sqlitePath,
                                            std::vector<RawBytesOfTable>* rawBytes = nullptr);

// Whether error, thrown by convertToSqlite, is the Access file's: it cannot be opened as a
// readable Access file, or its tables are damaged; otherwise it is the SQLite file's,
// which exists already or cannot be written.
bool failedOnAccessFile(const PatchError& error);

} // namespace jet

} // namespace tolvane
