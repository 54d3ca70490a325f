#pragma once

#include "db/databaseformat.h"
#include "db/jetpages.h"
#include "db/jettabledefinition.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <span>
#include <vector>

namespace tolvane {

// Reading Microsoft Jet 4 files (Access 2000 to 2003): the tables of the system catalogue,
// their data pages and their rows, with nothing but the file's bytes.
namespace jet {

// One stored row split into its parts: the column count, the fixed columns, the table of
// variable columns and the null mask, each checked to lie within the row.
class StoredRow {
public:
    // Throws when the row's own tables do not fit it.
    StoredRow(const RowBytes& row, const TableDefinition& definition);

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
    std::uint16_t variableOffset(std::uint16_t index) const;

    RowBytes m_row;
    std::uint16_t m_columnCount = 0;
    qsizetype m_nullMask = 0;
    std::uint16_t m_variableCount = 0;
    qsizetype m_variableTable = 0; // where the offsets end (the first is the last stored)
    qsizetype m_fixedEnd = 0;
};

// A whole table, rows in the order the file stores them. Values are typed the way an
// SQLite copy holds them: integers as qint64, floating and currency values as double,
// texts and memos as QString (a zero-length text is an empty, non-null string), Yes/No as
// 0 or 1, dates as "YYYY-MM-DD[ HH:MM:SS]" text (or the day number where the text would
// not give back the same instant), binary data as QByteArray, and NULL as a null QVariant.
struct Table {
    QString name;
    std::uint32_t definitionPage = 0;
    std::vector<Column> columns; // in the order SELECT * lists them
    std::vector<std::vector<QVariant>> rows;
    // One per row: the slot the table's pages list it in. For a row moved to another page
    // that is the slot of its pointer.
    std::vector<RowLocation> locations;

    int columnIndex(const QString& name) const; // any letter case; -1 if absent
};

// An open Jet 4 file, read whole into memory and never written. Other formats (Jet 3,
// ACE, an encoded Jet 4 file) are refused with their names; damaged structures throw a
// PatchError that names the table, row and column it met them in.
class Reader {
public:
    explicit Reader(const QString& path);
    // The bytes of the file at path, already read.
    Reader(const QString& path, QByteArray contents);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    QStringList tableNames() const;
    // The table of that name in any letter case, or nothing when the file has none.
    std::optional<Table> readTable(const QString& name) const;

private:
    struct CatalogEntry {
        QString name;
        std::uint32_t page = 0;
    };
    void readCatalog();
    // Calls visit(RowBytes, RowLocation) for every row the table's data pages list, in
    // order, moved rows followed to their data.
    template <class Visit> void forEachRow(const TableDefinition& definition, Visit visit) const;

    QString m_path;
    QByteArray m_file;
    std::optional<PageFile> m_pages;
    std::vector<CatalogEntry> m_tables; // user tables
};

} // namespace jet

} // namespace tolvane
