#pragma once

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Savepoint.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include "core/patcherror.h"

#include <QString>
#include <QVariant>

#include <string>
#include <vector>

namespace tolvane {

// The program reaches SQLite through SQLiteCpp alone: its Database, Statement, Transaction and
// Savepoint. This is what the program adds: databases opened as it opens them, SQLiteCpp's
// exceptions turned into PatchErrors that name the operation and the database, and values
// carried between SQLite and QVariant.
namespace sqlite {

enum class Storage {
    File,    // the database is the file at path, created when missing
    Scratch, // a new, empty database of the connection's own, gone when it closes
};

// Opens a database for reading and writing; a failure throws a PatchError naming operation,
// path and SQLite's reason. A Scratch database lives in memory up to the size of SQLite's
// cache and beyond that in a file of the system's temporary folder that SQLite deletes when
// it closes, so a large one costs no more memory than a database file does.
SQLite::Database open(const QString& path, const QString& operation,
                      Storage storage = Storage::File);

// The PatchError for a failure SQLite reported while doing operation on target.
PatchError error(const SQLite::Exception& e, const QString& operation, const QString& target);

// Runs work; a failure SQLite reports is thrown as a PatchError naming operation and target.
template <class Work>
decltype(auto) guarded(const QString& operation, const QString& target, Work&& work) {
    try {
        return work();
    } catch (const SQLite::Exception& e) {
        throw error(e, operation, target);
    }
}

// The value of a column of the statement's current row, typed by its storage class: NULL as a
// null QVariant, INTEGER as qint64, REAL as double, TEXT as QString, BLOB as QByteArray.
QVariant value(const SQLite::Statement& statement, int column);

// The index of the statement's column of that name in any letter case, as SQLite matches
// names; -1 when it has none.
int columnIndex(const SQLite::Statement& statement, const QString& name);

// Binds the index-th parameter (from 1) of statement: a null variant as NULL, a boolean or
// integer as an INTEGER, a floating value as a REAL, bytes as a BLOB, anything else as its
// text. The statement keeps a copy.
void bind(SQLite::Statement& statement, int index, const QVariant& value);

// Binds many rows' values without a copy of each: texts and bytes are held here until the
// next row is bound. For statements run once a row, such as the INSERT of a whole table.
class RowBinder {
public:
    explicit RowBinder(SQLite::Statement& statement);

    // As sqlite::bind, for the index-th parameter (from 1) of the current row.
    void bind(int index, const QVariant& value);

private:
    SQLite::Statement& m_statement;
    std::vector<std::string> m_texts;
    std::vector<QByteArray> m_bytes;
};

} // namespace sqlite

} // namespace tolvane
