#include "db/recordset.h"

#include "core/patcherror.h"
#include "db/seasondatabase.h"
#include "db/statementerror.h"

#include <QSqlError>
#include <QSqlRecord>

namespace tolvane {

Recordset::Recordset(SeasonDatabase& db, const QString& sql)
    : m_query(db.connection())
    , m_sql(sql) {
    m_query.setForwardOnly(true);
    if (!m_query.exec(sql))
        throw statementerror::rejected(db.path(), sql, m_query.lastError());
    const QSqlRecord record = m_query.record();
    m_columnNames.reserve(record.count());
    for (int i = 0; i < record.count(); ++i)
        m_columnNames.push_back(record.fieldName(i).toCaseFolded());
    moveNext();
}

void Recordset::moveNext() {
    m_eof = !m_query.next();
    if (m_eof && m_query.lastError().isValid())
        throw PatchError(QStringLiteral("Cannot read the season database"), m_sql,
                         m_query.lastError().text());
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

} // namespace tolvane
