#pragma once

#include "db/jet/catalog.h"
#include "db/jet/pages.h"
#include "db/jet/tabledefinition.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

namespace tolvane {

// Reading Access files (Jet 3, Jet 4 and ACE): the tables of the system catalogue, their
// data pages and their rows, with nothing but the file's bytes.
namespace jet {

// A column the reader leaves out of its table, and why.
struct LeftOutColumn {
    QString name;
    QString reason;
};

// A column of a type no documentation of the format describes: the table keeps it, its
// values the bytes each row stores (QByteArray), so that a copy loses nothing; what they
// mean nobody can say, so nothing should read them as values.
struct RawColumn {
    QString name;
    std::uint8_t type = 0;
    QString reason; // names the type, e.g. "its type (unknown type 0x15) is one …"
};

// A table of the file. Values are typed the way an SQLite copy holds them: integers as
// qint64, floating and currency values as double, texts and memos as QString (a
// zero-length text is an empty, non-null string), Yes/No as 0 or 1, dates as
// "YYYY-MM-DD[ HH:MM:SS]" text (or the day number where the text would not give back the
// same instant), Decimal values as double where one holds them exactly and as their exact
// decimal text otherwise, Replication IDs as their text in braces, binary data as
// QByteArray, and NULL as a null QVariant. A calculated column (ACE) gives the value Access
// computed and stored, typed by its result type.
struct Table {
    QString name;
    std::uint32_t definitionPage = 0;
    std::vector<Column> columns; // in the order SELECT * lists them
    // Columns whose values the reader does not give (attachments and multivalued lists).
    std::vector<LeftOutColumn> leftOut;
    // Columns among columns whose values are raw bytes of a type the reader does not know.
    std::vector<RawColumn> rawBytes;
    // What a later write into the file relies on: the fingerprint of the file the table
    // was read from, and one location per row, the slot the table's pages list it in (for
    // a row moved to another page, the slot of its pointer).
    QByteArray fileDigest;
    std::vector<RowLocation> locations;

    int columnIndex(const QString& name) const; // any letter case; -1 if absent
    // The column of that name (any letter case) if it holds raw bytes; null otherwise.
    const RawColumn* rawColumn(const QString& name) const;
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

    // Reads the table row by row without keeping the rows: start gets the table (without
    // rows) once its definition is read, then visit gets each row's values in stored
    // order. The table returned holds every row's location. Nothing when the file has no
    // such table of that name in any letter case. The rows are those the table's data
    // pages hold, whatever count its definition keeps: Access leaves that count stale.
    using TableStart = std::function<void(const Table&)>;
    using RowVisitor = std::function<void(const std::vector<QVariant>& values)>;
    std::optional<Table> streamTable(const QString& name, const TableStart& start,
                                     const RowVisitor& visit) const;

    // A fingerprint of the file's bytes: a later write into the file checks that it is
    // still the file that was read.
    QByteArray digest() const;

private:
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
