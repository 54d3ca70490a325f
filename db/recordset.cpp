#include "db/recordset.h"

#include "core/patcherror.h"
#include "db/seasondatabase.h"
#include "db/sqlite.h"
#include "db/statementerror.h"

namespace tolvane {

Recordset::Recordset(SeasonDatabase& db, const QString& sql)
    : m_databasePath(db.path())
    , m_sql(sql)
    , m_statement(db.prepare(sql)) {
    const int count = m_statement.getColumnCount();
    m_columnNames.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        m_columnNames.push_back(QString::fromUtf8(m_statement.getColumnName(i)).toCaseFolded());
    moveNext();
}

void Recordset::moveNext() {
    try {
        m_eof = !m_statement.executeStep();
    } catch (const SQLite::Exception& e) {
        m_eof = true;
        throw PatchError(QStringLiteral("Cannot read the season database"),
                         m_databasePath + QLatin1Char('\n') + m_sql, QString::fromUtf8(e.what()));
    }
}

int Recordset::columnIndex(const QString& name) const {
    const QString folded = name.toCaseFolded();
    for (std::size_t i = 0; i < m_columnNames.size(); ++i) {
        if (m_columnNames[i] == folded)
            return static_cast<int>(i);
    }
    return -1;
}

int Recordset::requireColumn(const QString& name, const QString& table) const {
    const int index = columnIndex(name);
    if (index < 0)
        throw statementerror::missingColumn(table, name);
    return index;
}

QVariant Recordset::value(int column) const {
    return sqlite::value(m_statement, column);
}

} // namespace tolvane
