#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace SQLite {
class Database;
}

namespace tolvane {

namespace season {

// What a failure to write a season database names as its operation.
QString writeSeasonOperation();

// Creates the tables Ratings and qz of the reference schema, with no rows, in db.
void createEmptySeason(SQLite::Database& db);

// Something wrong in a CSV file, where it is: the line its record starts on, and the
// column as the file's first line names it (empty where the problem is the whole record).
struct ImportProblem {
    QString file;
    qint64 line = 0;
    QString column;
    QString reason;

    // "file:line: column: reason", on one line.
    QString text() const;
};

// Builds a season database's tables from the CSV files of Ratings and qz, as an export
// writes them or a spreadsheet saves them: columns in any order, header names in any
// letter case, columns beyond the reference schema's kept as text. Every cell is checked
// as the update checks the value it becomes, and every problem is reported.
class SeasonImport {
public:
    using Report = std::function<void(const ImportProblem&)>;

    // Problems go to report as they are found.
    explicit SeasonImport(Report report);
    ~SeasonImport();
    SeasonImport(const SeasonImport&) = delete;
    SeasonImport& operator=(const SeasonImport&) = delete;

    // Reads both files into db, an empty database, in one transaction, committed only when
    // there is no problem; returns the number of problems. A file that cannot be read or a
    // database that cannot be written throws a PatchError.
    qint64 run(const QString& ratingsCsv, const QString& qzCsv, SQLite::Database& db);

    // The rows written into each table.
    qint64 ratingsRows() const;
    qint64 qzRows() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace season

} // namespace tolvane
