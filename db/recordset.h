#pragma once

#include <SQLiteCpp/Statement.h>

#include <QString>
#include <QVariant>

#include <vector>

namespace tolvane {

class SeasonDatabase;

// The rows of one statement, read front to back. Columns are found by name without regard
// to letter case, as SQLite matches them and as season databases spell them freely.
class Recordset {
public:
    Recordset(SeasonDatabase& db, const QString& sql);
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // True past the last row, and at once when there are no rows.
    bool eof() const { return m_eof; }
    void moveNext();

    // Index of a column, or -1 when the statement has no such column.
    int columnIndex(const QString& name) const;
    // Index of a column that must exist; a missing one throws, naming the table.
    int requireColumn(const QString& name, const QString& table) const;
    // A column of the current row, typed as sqlite::value gives it.
    QVariant value(int column) const;

private:
    QString m_databasePath;
    QString m_sql;
    SQLite::Statement m_statement;
    std::vector<QString> m_columnNames; // folded to lower case
    bool m_eof = true;
};

} // namespace tolvane
