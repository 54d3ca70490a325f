#pragma once

#include "db/jet/pages.h"
#include "db/jet/tabledefinition.h"

#include <cstdint>
#include <span>

namespace tolvane {

namespace jet {

// One stored row split into its parts: the column count, the fixed columns, the table of
// variable columns (with Jet 3's jump table) and the null mask, each checked to lie within
// the row.
class StoredRow {
public:
    // Throws when the row's own tables do not fit it.
    StoredRow(const RowBytes& row, const TableDefinition& definition, const Format& format);

    // False for a row stored before the column was added to the table.
    bool holds(const Column& column) const;
    // A clear null-mask bit: NULL for most types, No for a Yes/No column.
    bool isNull(const Column& column) const;
    // The column's bytes; empty for a column the row does not hold. Bytes outside the row
    // throw.
    std::span<const unsigned char> field(const Column& column) const;
    // Where in the file the column's null-mask bit lies.
    qsizetype nullByteOffset(const Column& column) const;
    static std::uint8_t nullBit(const Column& column) {
        return static_cast<std::uint8_t>(1u << (column.number % 8));
    }

private:
    std::uint16_t number(qsizetype at) const;
    qsizetype variableOffset(std::uint16_t index) const;

    RowBytes m_row;
    const Format& m_format;
    std::uint16_t m_columnCount = 0;
    qsizetype m_nullMask = 0;
    std::uint16_t m_variableCount = 0;
    qsizetype m_entries = 0;     // the variable column table's first entry; the rest lie before it
    qsizetype m_variableEnd = 0; // where that table starts, which the column data must not pass
    qsizetype m_firstJump = 0;   // Jet 3's jump table, also stored backwards
    int m_jumpCount = 0;         // its entries in use
    qsizetype m_fixedEnd = 0;
};

} // namespace jet

} // namespace tolvane
