#include "support/sqlrows.h"

#include "db/sqlite.h"

#include <gtest/gtest.h>

namespace tolvane {

SqlRows queryRows(SQLite::Database& db, const QString& sql, const QVariantList& bound) {
    SqlRows rows;
    try {
        SQLite::Statement query(db, sql.toStdString());
        for (qsizetype i = 0; i < bound.size(); ++i)
            sqlite::bind(query, int(i) + 1, bound[i]);
        while (query.executeStep()) {
            QVariantList row;
            for (int c = 0; c < query.getColumnCount(); ++c)
                row << sqlite::value(query, c);
            rows << row;
        }
    } catch (const SQLite::Exception& e) {
        ADD_FAILURE() << sql.toStdString() << ": " << e.what();
    }
    return rows;
}

QVariant queryValue(SQLite::Database& db, const QString& sql, const QVariantList& bound) {
    const SqlRows rows = queryRows(db, sql, bound);
    return rows.isEmpty() || rows.front().isEmpty() ? QVariant() : rows.front().front();
}

} // namespace tolvane
