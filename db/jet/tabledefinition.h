#pragma once

#include "db/jet/pages.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace tolvane {

// The definition of a table in an Access file: its columns, where each lies in a row, its
// indexes and the map of its data pages, as its definition pages store them.
namespace jet {

enum ColumnType : std::uint8_t {
    Bool = 0x01,
    Byte = 0x02,
    Int = 0x03,
    Long = 0x04,
    Money = 0x05,
    Float = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0a,
    Ole = 0x0b,
    Memo = 0x0c,
    Guid = 0x0f,
    Numeric = 0x10,
    // ACE only:
    Complex = 0x12, // an attachment or multivalued list: a key into hidden tables
    BigInt = 0x13,
    ExtendedDateTime = 0x14,
};

// The name Access gives a column type, e.g. "Long Integer".
QString columnTypeName(std::uint8_t type);

struct Column {
    QString name;
    std::uint8_t type = 0;
    // The column's number in every row: its bit in the null mask, and what an index's
    // column list refers to. Deleted columns leave gaps.
    std::uint16_t number = 0;
    // Some writers fill a second number; an index that names it is counted too.
    std::uint16_t otherNumber = 0;
    bool fixed = false;
    // A column Access computes from an expression (ACE): its stored value is wrapped.
    bool calculated = false;
    std::uint16_t fixedOffset = 0;   // after the row's column count
    std::uint16_t variableIndex = 0; // its entry in a row's table of variable columns
    std::uint16_t length = 0;
    std::uint8_t precision = 0; // Decimal columns
    std::uint8_t scale = 0;
};

struct Index {
    QString name;
    std::vector<std::uint16_t> columnNumbers;
};

struct TableDefinition {
    std::uint32_t page = 0;
    std::uint32_t rowCount = 0;
    std::uint16_t variableColumnCount = 0;
    // Points to the row that maps the table's data pages.
    std::uint32_t usageMap = 0;
    std::vector<Column> columns; // as stored; a row's columns are found by their numbers
    // Every physical index, including those that only back a relationship: writing
    // safely needs them all.
    std::vector<Index> indexes;

    const Column* column(const QString& name) const; // any letter case; null if absent
};

// Parses the definition that starts at page; a malformed definition throws a PatchError
// naming the page.
TableDefinition parseTableDefinition(const PageFile& file, std::uint32_t page);

} // namespace jet

} // namespace tolvane
