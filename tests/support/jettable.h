#pragma once

#include "db/jet/reader.h"
#include "db/jet/writeback.h"

#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

namespace tolvane {

// Whole tables of Access files, for tests: read with all their rows, and written back in
// place against the rows as read.
namespace jettable {

// A table with its rows in the order the file stores them.
struct WholeTable : jet::Table {
    std::vector<std::vector<QVariant>> rows;
};

// The table of that name in any letter case with all its rows, or nothing when the file has
// none.
std::optional<WholeTable> read(const jet::Reader& reader, const QString& name);

// The rows of a table read whole, with the changes: what the file must read back as.
class ChangedRows : public jet::ExpectedRows {
public:
    ChangedRows(const WholeTable& table, const QString& column,
                const std::vector<jet::CellChange>& changes);
    bool next() override;
    bool holds(std::size_t column, const QVariant& written) override;

private:
    const WholeTable& m_table;
    int m_column;
    std::vector<std::optional<qint64>> m_new;
    std::size_t m_row = std::size_t(-1);
};

// jet::writeInPlace for a table read whole: the file must read back as it was read, with
// the changes.
QByteArray writeInPlace(const QString& path, const WholeTable& table, const QString& column,
                        const std::vector<jet::CellChange>& changes);

} // namespace jettable

} // namespace tolvane
