#pragma once

#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <vector>

namespace tolvane {

class SeasonDatabase;

// The rows of one statement, read front to back. Columns are found by name without
// regard to letter case, as the season database's users have always named them freely.
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
    QVariant value(int column) const { return m_query.value(column); }

private:
    QSqlQuery m_query;
    QString m_sql;
    std::vector<QString> m_columnNames; // folded to lower case
    bool m_eof = true;
};

} // namespace tolvane
