#pragma once

#include "db/jet/pages.h"
#include "db/jet/tabledefinition.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace tolvane {

// Reading Access files (Jet 3, Jet 4 and ACE): the tables of the system catalogue, their
// data pages and their rows, with nothing but the file's bytes.
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

// A column the reader leaves out of its table, and why.
struct LeftOutColumn {
    QString name;
    QString reason;
};

// A table of the file. Values are typed the way an SQLite copy holds them: integers as
// qint64, floating and currency values as double, texts and memos as QString (a
// zero-length text is an empty, non-null string), Yes/No as 0 or 1, dates as
// "YYYY-MM-DD[ HH:MM:SS]" text (or the day number where the text would not give back the
// same instant), Decimal values as double where one holds them exactly and as their exact
// decimal text otherwise, Replication IDs as their text in braces, binary data as
// QByteArray, and NULL as a null QVariant.
struct Table {
    QString name;
    std::uint32_t definitionPage = 0;
    std::vector<Column> columns; // in the order SELECT * lists them
    // Columns whose values the reader does not give (attachments, calculated columns).
    std::vector<LeftOutColumn> leftOut;
    // What a later write into the file relies on: the fingerprint of the file the table
    // was read from, and one location per row, the slot the table's pages list it in (for
    // a row moved to another page, the slot of its pointer).
    QByteArray fileDigest;
    std::vector<RowLocation> locations;
    // The rows in the order the file stores them, when the table was read whole.
    std::vector<std::vector<QVariant>> rows;

    int columnIndex(const QString& name) const; // any letter case; -1 if absent
};

// An open Access file of a readable format, read whole into memory and never written.
// Other formats (SQLite, encoded or encrypted files) are refused with their names; damaged
// structures throw a PatchError that names the table, row and column it met them in.
class Reader {
public:
    // A file that cannot be read, or is no readable Access file, is refused under operation.
    explicit Reader(const QString& path, const QString& operation = openOperation());
    // The bytes of the file at path, already read.
    Reader(const QString& path, QByteArray contents, const QString& operation = openOperation());
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    const Format& format() const { return m_pages->format(); }
    QStringList tableNames() const;
    // The table of that name in any letter case with all its rows, or nothing when the file
    // has none.
    std::optional<Table> readTable(const QString& name) const;

    // Reads the table row by row without keeping the rows: start gets the table (without
    // rows) once its definition is read, then visit gets each row's values in stored
    // order. The table returned holds every row's location. Nothing when the file has no
    // such table.
    using TableStart = std::function<void(const Table&)>;
    using RowVisitor = std::function<void(const std::vector<QVariant>& values)>;
    std::optional<Table> streamTable(const QString& name, const TableStart& start,
                                     const RowVisitor& visit) const;

    // A fingerprint of the file's bytes: a later write into the file checks that it is
    // still the file that was read.
    QByteArray digest() const;

private:
    struct CatalogEntry {
        QString name;
        std::uint32_t page = 0;
    };
    void readCatalog();
    // Calls visit(RowBytes, RowLocation) for every row the table's data pages list, in
    // order, moved rows read where their pointers lead.
    template <class Visit> void forEachRow(const TableDefinition& definition, Visit visit) const;

    QString m_path;
    QByteArray m_file;
    std::optional<PageFile> m_pages;
    std::vector<CatalogEntry> m_tables; // user tables
    mutable QByteArray m_digest;
};

// The fingerprint Reader::digest() gives, of bytes in memory or of a file read from disk.
QByteArray fileDigest(QByteArrayView bytes);
QByteArray fileDigest(const QString& path, const QString& operation);

} // namespace jet

} // namespace tolvane
