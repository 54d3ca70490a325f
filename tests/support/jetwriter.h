#pragma once

#include "db/jet/format.h"
#include "db/jet/pages.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <map>
#include <vector>

namespace tolvane {

// A small writer of Access files (Jet 3, Jet 4 and ACE) for tests and benchmarks: season
// databases in every format from their SQLite twins. It lays files out as Access does:
// table definitions over continuation pages where they are long, rows from the end of data
// pages, Jet 3's one-byte offsets with their jump tables, compressed Unicode texts, long
// values in the row or on long-value pages, inline usage maps for tables on few pages and
// maps of bitmap pages for large ones, and rows moved to another page behind a pointer.
// Indexes are declared in the definition, without index pages. What it writes is checked
// against libmdb (tests/libmdb/), so that a fault of the writer cannot hide one of the
// reader.
namespace jetwriter {

struct ColumnDef {
    QString name;
    std::uint8_t type = 0;      // a jet::ColumnType
    std::uint16_t size = 0;     // Text and Binary: the most characters or bytes a value has
    std::uint8_t precision = 0; // Decimal
    std::uint8_t scale = 0;
    // A calculated column (ACE) of this result type: its values, given as Access computed
    // them, are stored behind the header Access stores before each.
    bool calculated = false;
};

struct IndexDef {
    QString name;
    QStringList columns;
};

struct TableDef {
    QString name;
    std::vector<ColumnDef> columns;
    // Values as an SQLite copy holds them: integers, doubles, texts (dates "YYYY-MM-DD[
    // HH:MM:SS]", Decimal values as doubles or their decimal text), blobs, NULL.
    std::vector<std::vector<QVariant>> rows;
    std::vector<IndexDef> indexes;
    // Rows stored on another page with a pointer in their slot, as Access leaves a row that
    // grew too long for its page.
    std::vector<std::size_t> movedRows;
};

struct Options {
    const jet::Format* format = &jet::kJet4Format;
    std::uint8_t version = 1; // the header's version: 0 Jet 3, 1 Jet 4, 2 and up ACE
    // Long values (Memo, OLE Object) of more bytes than this go to long-value pages.
    int inlineLongValues = 64;
};

// The head of page 0 of a new file of the format, with its masked part masked: the
// signature, the version, the code page and the database key (0: not encoded).
QByteArray fileHeader(const jet::Format& format, std::uint8_t version, std::uint16_t codePage);

// A pointer to a row as Jet stores it: the slot in the low byte, the page above.
inline std::uint32_t pointerTo(jet::RowLocation at) {
    return at.page << 8 | at.slot;
}

// The whole file. A value its column cannot hold throws std::invalid_argument; Jet 3 texts
// are written in Windows-1252, where a character it lacks becomes '?', as Access 97 does.
// A column of a type the writer does not know is a variable column of the bytes given.
QByteArray writeDatabase(const std::vector<TableDef>& tables, const Options& options);

// The tables of an SQLite file in stored order with their columns typed by name from
// types (table name, then column name; both in any letter case), or else by their
// declared SQLite type: INTEGER as Long Integer, REAL as Double, anything else as Text of
// 255 characters, or Memo where a value is longer.
using ColumnTypes = std::map<QString, std::map<QString, ColumnDef>>;
std::vector<TableDef> tablesOf(const QString& sqlitePath, const ColumnTypes& types = {});

// The column types of every table of an Access file, for tablesOf.
ColumnTypes columnTypesOf(const QString& accessPath);

// The layouts the season tests write the twins' seasons in.
struct SeasonLayout {
    const char* label;
    Options options;
    bool movedRows = false; // every fifth Ratings row moved to another page
    bool decimal = false;   // the floating-point columns of Ratings and qz made Decimal
};
inline const SeasonLayout kSeasonLayouts[] = {
    {"Jet3", {&jet::kJet3Format, 0}},
    {"Jet4", {&jet::kJet4Format, 1}},
    {"Jet4MovedRows", {&jet::kJet4Format, 1}, true},
    {"Jet4Decimal", {&jet::kJet4Format, 1}, false, true},
    {"Ace", {&jet::kAceFormat, 3}},
};

// The season of the twin NAME.sqlite in folder, its columns typed as in its Jet 4 sibling
// NAME.mdb, written in a layout.
QByteArray seasonFile(const QString& folder, const QString& name, const SeasonLayout& layout);

// Turns the named columns of a table into Decimal columns of precision 28 with the fewest
// decimal places that hold every value exactly; their values become exact decimal texts.
void makeDecimal(TableDef& table, const QStringList& columns);

} // namespace jetwriter

} // namespace tolvane
