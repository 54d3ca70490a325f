#pragma once

#include "db/jet/reader.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace tolvane {

// Edits of Access files in memory, in the layout of the file's own format: layouts that
// Access writes but a file lacks (moved rows, long values on pages of their own, inline
// usage maps), and damage.
namespace jetedit {

// The format of a file, told by its header; a file of no readable format fails the test.
const jet::Format& formatOf(const QByteArray& file);
// The pages of a file, read by its format.
jet::PageFile pagesOf(const QByteArray& file);

// Where a cell's bytes lie in the file.
struct Place {
    qsizetype offset = 0;
    qsizetype size = 0;
};

// The bytes of a row's slot entry and of the row itself.
Place slotPlace(const QByteArray& file, jet::RowLocation at);
Place rowPlace(const QByteArray& file, jet::RowLocation at);
// A column's field in a row of the table as read.
Place fieldPlace(const QByteArray& file, const jet::Table& table, std::size_t row,
                 const QString& column);
// Where a row's table of variable columns keeps the offset of entry index (the entry after
// the last column is where the variable data ends).
qsizetype variableOffsetPlace(const QByteArray& file, jet::RowLocation at, std::uint16_t index);

// Appends a page holding rows from its end, each with its slot flags; returns its number.
// owner is the table's definition page; a long-value page has none.
struct NewRow {
    QByteArray bytes;
    std::uint16_t flags = 0;
};
std::uint32_t appendRowPage(QByteArray& file, std::uint32_t owner, const std::vector<NewRow>& rows,
                            bool longValues = false);

// Moves a row's data to a new page, leaving behind the pointer Access leaves.
void moveRow(QByteArray& file, const jet::Table& table, std::size_t row);
// Stores an inline memo's bytes on long-value pages instead: in one row, or in a chain of
// rows on two pages. Returns the pointers of the chain's rows.
std::vector<std::uint32_t> moveMemo(QByteArray& file, const jet::Table& table, std::size_t row,
                                    const QString& column, bool chained);
// Rewrites the table's usage map as an inline map starting at page first.
void inlineUsageMap(QByteArray& file, std::uint32_t definitionPage, std::uint32_t first = 0);
// The file offset of the row that holds the table's usage map.
qsizetype usageMapOffset(const QByteArray& file, std::uint32_t definitionPage);

// Sets the row count a table's definition keeps, which Access may leave stale.
void setRowCount(QByteArray& file, std::uint32_t definitionPage, std::uint32_t count);
// Gives a column another type in the table's definition, its layout in the rows unchanged.
// The column's entry must lie on the definition's first page.
void setColumnType(QByteArray& file, std::uint32_t definitionPage, const QString& column,
                   std::uint8_t type);

void put16(QByteArray& file, qsizetype at, std::uint16_t value);
void put32(QByteArray& file, qsizetype at, std::uint32_t value);

} // namespace jetedit

} // namespace tolvane
