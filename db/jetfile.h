#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// What a season database file is, told by its first bytes, never by its name: patches
// ship Access files and SQLite files under the same name seasonStats.mdb.
enum class DatabaseFormat { Sqlite, Jet3, Jet4, Ace, Unknown };

DatabaseFormat detectDatabaseFormat(const QByteArray& head);
// Reads the file's first bytes; an unreadable file throws.
DatabaseFormat detectDatabaseFormat(const QString& path);
// The format as users know it, e.g. "a Microsoft Jet 3 database (Access 97)".
QString databaseFormatName(DatabaseFormat format);

// Microsoft Jet 4 files (Access 2000 to 2003), read through libmdb.
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
};

// The name Access gives a column type, e.g. "Long Integer".
QString columnTypeName(std::uint8_t type);

inline constexpr qsizetype kPageSize = 4096;

struct Column {
    QString name;
    std::uint8_t type = 0;
    // The column's number in every row: its bit in the null mask, and what an index's
    // column list refers to. Deleted columns leave gaps.
    std::uint16_t number = 0;
    // Some writers fill a second number; an index that names it is counted too.
    std::uint16_t otherNumber = 0;
    bool fixed = false;
    std::uint16_t fixedOffset = 0; // after the row's 2-byte column count
    std::uint16_t length = 0;
};

struct Index {
    QString name;
    std::vector<std::uint16_t> columnNumbers;
};

// A table's definition as its definition pages store it. libmdb's own view leaves out
// indexes that only back a relationship; writing safely needs every physical index.
struct TableDefinition {
    std::uint32_t page = 0;
    std::uint32_t rowCount = 0;
    std::uint16_t variableColumnCount = 0;
    std::vector<Column> columns;
    std::vector<Index> indexes;

    const Column* column(const QString& name) const; // any letter case; null if absent
};

// Parses the definition that starts at page of a whole Jet 4 file; malformed pages throw
// a PatchError naming the page.
TableDefinition parseTableDefinition(const QByteArray& file, std::uint32_t page);

// Where a row lives: its data page and its slot in the page's row table.
struct RowLocation {
    std::uint32_t page = 0;
    std::uint16_t slot = 0;
    bool operator==(const RowLocation&) const = default;
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
    std::vector<RowLocation> locations; // one per row
    bool encrypted = false;             // the file's pages are encoded

    int columnIndex(const QString& name) const; // any letter case; -1 if absent
};

// An open Jet 4 file. Only reads; Jet 3 and ACE files are refused with their names.
class Reader {
public:
    explicit Reader(const QString& path);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // True when the file's pages are encoded (an "encrypted" database).
    bool encrypted() const;
    QStringList tableNames() const;
    // The table of that name in any letter case, or nothing when the file has none.
    std::optional<Table> readTable(const QString& name);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace jet
