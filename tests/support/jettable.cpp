#include "support/jettable.h"

#include <cmath>

namespace tolvane {

namespace jettable {

namespace {

// Whether a value read back is the one expected, compared as ExpectedRows::holds says:
// floating values as numbers, a NaN read back standing for a NULL.
bool sameValue(const QVariant& written, const QVariant& expected) {
    const bool nan = written.typeId() == QMetaType::Double && std::isnan(written.toDouble());
    if (written.isNull() || expected.isNull())
        return written.isNull() == expected.isNull() || (nan && expected.isNull());
    if (written.typeId() != expected.typeId())
        return false;
    if (written.typeId() == QMetaType::Double)
        return written.toDouble() == expected.toDouble() ||
               (nan && std::isnan(expected.toDouble()));
    return written == expected;
}

} // namespace

std::optional<WholeTable> read(const jet::Reader& reader, const QString& name) {
    std::vector<std::vector<QVariant>> rows;
    std::optional<jet::Table> table = reader.streamTable(
        name, [&](const jet::Table& t) { rows.reserve(t.locations.capacity()); },
        [&](const std::vector<QVariant>& values) { rows.push_back(values); });
    if (!table)
        return std::nullopt;
    WholeTable whole;
    static_cast<jet::Table&>(whole) = std::move(*table);
    whole.rows = std::move(rows);
    return whole;
}

ChangedRows::ChangedRows(const WholeTable& table, const QString& column,
                         const std::vector<jet::CellChange>& changes)
    : m_table(table)
    , m_column(table.columnIndex(column))
    , m_new(table.rows.size()) {
    for (const jet::CellChange& change : changes) {
        if (change.row < m_new.size())
            m_new[change.row] = change.value;
    }
}

bool ChangedRows::next() {
    return ++m_row < m_table.rows.size();
}

bool ChangedRows::holds(std::size_t column, const QVariant& written) {
    const std::vector<QVariant>& row = m_table.rows[m_row];
    if (static_cast<int>(column) == m_column && m_new[m_row])
        return sameValue(written, QVariant(*m_new[m_row]));
    return column < row.size() && sameValue(written, row[column]);
}

QByteArray writeInPlace(const QString& path, const WholeTable& table, const QString& column,
                        const std::vector<jet::CellChange>& changes) {
    ChangedRows expected(table, column, changes);
    return jet::writeInPlace(path, table, column, changes, expected);
}

} // namespace jettable

} // namespace tolvane
