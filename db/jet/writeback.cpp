#include "db/jet/writeback.h"

#include "core/bytes.h"
#include "core/fileops.h"
#include "core/patcherror.h"
#include "db/jet/reader.h"
#include "db/jet/storedrow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>
#include <optional>

namespace tolvane {

namespace jet {

namespace {

// Why the write cannot be done safely. Every check throws it; the two entry points turn
// it into their own form (a text for the input check, a PatchError for the run).
struct Refusal {
    QString reason;
};

[[noreturn]] void refuse(QString reason) {
    throw Refusal{std::move(reason)};
}

// A failure while writing, after every check passed.
[[noreturn]] void fail(const QString& path, const QString& cause) {
    throw PatchError(writeOperation(), path, cause);
}

struct IntegerType {
    std::uint8_t type;
    int width;
    qint64 low;
    qint64 high;
};
constexpr IntegerType kWritableTypes[] = {
    {Byte, 1, 0, 255},
    {Int, 2, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()},
    {Long, 4, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()},
};

const IntegerType* writableType(std::uint8_t type) {
    for (const IntegerType& t : kWritableTypes) {
        if (t.type == type)
            return &t;
    }
    return nullptr;
}

// Where one row's value of the column lies in the file.
struct Cell {
    qsizetype offset = 0;
    qsizetype nullByte = 0;
    std::uint8_t nullBit = 0;
    bool isNull = false;
};

Cell locateCell(const PageFile& pages, const TableDefinition& def, const Column& column, int width,
                RowLocation listed, std::size_t row) {
    const auto problem = [&](const QString& what) {
        return QStringLiteral("row %1 (page %2, slot %3) %4")
            .arg(row + 1)
            .arg(listed.page)
            .arg(listed.slot)
            .arg(what);
    };
    try {
        if (!pages.isDataPageOf(listed.page, def.page))
            refuse(problem(QStringLiteral("is not on a data page of the table")));
        // A moved row is written where its pointer leads, and only there.
        const std::optional<RowLocation> data = pages.dataOf(listed, def.page);
        if (!data)
            refuse(problem(QStringLiteral("is deleted")));
        const RowBytes bytes = pages.row(*data);
        const StoredRow stored(bytes, def, pages.format());
        if (!stored.holds(column))
            refuse(problem(
                QStringLiteral("was stored before the column \"%1\" was added").arg(column.name)));
        const std::span<const unsigned char> field = stored.field(column);
        if (field.size() != static_cast<std::size_t>(width))
            refuse(problem(QStringLiteral("does not hold the column \"%1\"").arg(column.name)));
        Cell cell;
        cell.offset = bytes.fileOffset + (field.data() - bytes.data);
        cell.nullByte = stored.nullByteOffset(column);
        cell.nullBit = StoredRow::nullBit(column);
        cell.isNull = stored.isNull(column);
        return cell;
    } catch (const PatchError& e) {
        refuse(problem(QStringLiteral("cannot be read (%1)").arg(e.cause())));
    }
}

qint64 readInteger(const QByteArray& file, qsizetype at, const IntegerType& type) {
    const char* p = file.constData() + at;
    switch (type.width) {
    case 1:
        return bytes::loadLittleEndian<std::uint8_t>(p);
    case 2:
        return bytes::loadLittleEndian<std::int16_t>(p);
    default:
        return bytes::loadLittleEndian<std::int32_t>(p);
    }
}

void writeInteger(QByteArray& file, qsizetype at, const IntegerType& type, qint64 value) {
    char* p = file.data() + at;
    switch (type.width) {
    case 1:
        bytes::storeLittleEndian(p, static_cast<std::uint8_t>(value));
        break;
    case 2:
        bytes::storeLittleEndian(p, static_cast<std::int16_t>(value));
        break;
    default:
        bytes::storeLittleEndian(p, static_cast<std::int32_t>(value));
    }
}

// The lock file Access keeps beside an open database (.ldb for the Jet formats, .laccdb
// for ACE), in any letter case.
std::optional<QString> lockFileBeside(const QString& path) {
    const QFileInfo info(path);
    const QStringList wanted = {info.completeBaseName() + QStringLiteral(".ldb"),
                                info.completeBaseName() + QStringLiteral(".laccdb")};
    const QStringList entries =
        info.absoluteDir().entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        if (wanted.contains(entry, Qt::CaseInsensitive))
            return info.absoluteDir().filePath(entry);
    }
    return std::nullopt;
}

QString changedSinceRead() {
    return QStringLiteral("The file was changed by another program after it was read; nothing "
                          "was written. Run the update again.");
}

// What the write needs, once everything that must hold before one byte is written holds.
struct Plan {
    TableDefinition definition;
    Column column;
    int tableColumn = -1;
    const IntegerType* type = nullptr;
    std::vector<Cell> cells; // one per row of the table
};

// file must be the file the table was read from (its digest is checked before).
Plan makePlan(const QString& path, const QByteArray& file, const Table& table,
              const QString& columnName) {
    const std::optional<FileHeader> header = readHeader(file);
    if (!header)
        refuse(QStringLiteral("the file is not a Microsoft Access database"));
    if (header->encrypted())
        refuse(QStringLiteral("the file is %1, and only unencrypted Access files are written")
                   .arg(formatName(header->format->engine, true)));
    const Format* format = header->format;
    if (const auto lockName = lockFileBeside(path))
        refuse(QStringLiteral("the lock file %1 lies beside it: Access may have the database "
                              "open, or was not closed properly. Close Access; if the lock file "
                              "stays, delete it")
                   .arg(QDir::toNativeSeparators(*lockName)));
    Plan plan;
    plan.tableColumn = table.columnIndex(columnName);
    if (plan.tableColumn < 0)
        refuse(QStringLiteral("the table %1 has no column \"%2\"").arg(table.name, columnName));
    std::optional<PageFile> pages;
    try {
        pages.emplace(file, *format);
        plan.definition = parseTableDefinition(*pages, table.definitionPage);
    } catch (const PatchError& e) {
        refuse(QStringLiteral("the definition of the table %1 cannot be read (%2)")
                   .arg(table.name, e.cause()));
    }
    const Column* column = plan.definition.column(columnName);
    const Column& seen = table.columns[static_cast<std::size_t>(plan.tableColumn)];
    if (!column || column->type != seen.type || column->number != seen.number ||
        column->fixed != seen.fixed || (column->fixed && column->fixedOffset != seen.fixedOffset))
        refuse(QStringLiteral("the definition of the column \"%1\" has changed since the table "
                              "was read")
                   .arg(columnName));
    plan.column = *column;
    plan.type = writableType(column->type);
    if (!plan.type || !column->fixed || column->length != plan.type->width)
        refuse(QStringLiteral("the column \"%1\" is of the type %2; only Byte, Integer and Long "
                              "Integer columns are written in place")
                   .arg(column->name, columnTypeName(column->type)));
    for (const Index& index : plan.definition.indexes) {
        for (const std::uint16_t number : index.columnNumbers) {
            if (number == column->number || number == column->otherNumber)
                refuse(QStringLiteral("the column \"%1\" is part of the index %2, which would "
                                      "go stale")
                           .arg(column->name, index.name.isEmpty() ? QStringLiteral("(unnamed)")
                                                                   : QLatin1Char('"') + index.name +
                                                                         QLatin1Char('"')));
        }
    }
    plan.cells.reserve(table.locations.size());
    try {
        for (std::size_t row = 0; row < table.locations.size(); ++row)
            plan.cells.push_back(locateCell(*pages, plan.definition, *column, plan.type->width,
                                            table.locations[row], row));
    } catch (const Refusal& r) {
        refuse(QStringLiteral("in the table %1, %2").arg(table.name, r.reason));
    }
    return plan;
}

// Reads the written copy back row by row and compares every cell with what it must hold.
void verifyCopy(const QString& copy, QByteArray bytes, const Table& table, ExpectedRows& expected) {
    const auto mismatch = [&](const QString& what) {
        fail(copy, QStringLiteral("The written copy does not read back as intended (%1); the "
                                  "original file was left as it was.")
                       .arg(what));
    };
    std::size_t row = 0;
    const auto sameColumns = [&](const Table& written) {
        if (written.columns.size() != table.columns.size())
            mismatch(QStringLiteral("its columns changed"));
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            const Column& a = written.columns[c];
            const Column& b = table.columns[c];
            if (a.name != b.name || a.type != b.type || a.number != b.number)
                mismatch(QStringLiteral("its column \"%1\" changed").arg(b.name));
        }
    };
    const auto check = [&](const std::vector<QVariant>& values) {
        if (!expected.next())
            mismatch(QStringLiteral("it has more rows than were read"));
        for (std::size_t c = 0; c < values.size(); ++c) {
            if (!expected.holds(c, values[c]))
                mismatch(QStringLiteral("row %1, column \"%2\"")
                             .arg(row + 1)
                             .arg(table.columns[c].name));
        }
        ++row;
    };
    std::optional<Table> written;
    try {
        written = Reader(copy, std::move(bytes)).streamTable(table.name, sameColumns, check);
    } catch (const PatchError& e) {
        if (e.operation() == writeOperation())
            throw;
        mismatch(e.cause());
    }
    if (!written || written->locations != table.locations || expected.next())
        mismatch(QStringLiteral("its rows moved"));
}

} // namespace

QString copyPathFor(const QString& path) {
    const QFileInfo info(path);
    return info.absoluteDir().filePath(QLatin1Char('.') + info.fileName() +
                                       QStringLiteral(".writing"));
}

QString writeOperation() {
    return QStringLiteral("Cannot write the overall ratings into the Access database");
}

QString sqliteAdvice() {
    return QStringLiteral("Converting the season database to SQLite (with the tool jet2sqlite) "
                          "removes this limit.");
}

QString inPlaceWriteProblem(const QString& path, const Table& table, const QString& column) {
    const QByteArray file = fileops::readWholeFile(path, readOperation());
    if (fileDigest(file) != table.fileDigest)
        return changedSinceRead();
    try {
        makePlan(path, file, table, column);
    } catch (const Refusal& r) {
        return QStringLiteral("The overall ratings cannot be written back into the Access "
                              "database %1: %2. %3")
            .arg(QDir::toNativeSeparators(path), r.reason, sqliteAdvice());
    }
    return QString();
}

QByteArray writeInPlace(const QString& path, const Table& table, const QString& columnName,
                        const std::vector<CellChange>& changes, ExpectedRows& expected) {
    if (changes.empty())
        return table.fileDigest;
    QByteArray bytes = fileops::readWholeFile(path, readOperation());
    if (fileDigest(bytes) != table.fileDigest)
        fail(path, changedSinceRead());
    bool changed = false;
    try {
        const Plan plan = makePlan(path, bytes, table, columnName);
        for (const CellChange& change : changes) {
            if (change.row >= plan.cells.size())
                fail(path, QStringLiteral("Row %1 does not exist.").arg(change.row + 1));
            if (change.value < plan.type->low || change.value > plan.type->high)
                refuse(QStringLiteral("row %1: the value %2 does not fit the column \"%3\" of "
                                      "the type %4")
                           .arg(change.row + 1)
                           .arg(change.value)
                           .arg(plan.column.name, columnTypeName(plan.column.type)));
            const Cell& cell = plan.cells[change.row];
            if (!cell.isNull && readInteger(bytes, cell.offset, *plan.type) == change.value)
                continue;
            writeInteger(bytes, cell.offset, *plan.type, change.value);
            bytes[cell.nullByte] = static_cast<char>(bytes[cell.nullByte] | cell.nullBit);
            changed = true;
        }
    } catch (const Refusal& r) {
        fail(path, r.reason + QStringLiteral(". ") + sqliteAdvice());
    }
    if (!changed)
        return table.fileDigest;

    const QByteArray intended = fileDigest(bytes);
    const QString copy = copyPathFor(path);
    QFile::remove(copy); // a copy left by a crash is stale
    try {
        try {
            fileops::writeNewFile(copy, bytes, fileops::Durability::Now);
        } catch (const PatchError& e) {
            fail(copy, e.cause());
        }
        QFile::setPermissions(copy, QFile::permissions(path));
        bytes = QByteArray(); // only one reading of the file is held at a time

        QByteArray onDisk = fileops::readWholeFile(copy, readOperation());
        if (fileDigest(onDisk) != intended)
            fail(copy, QStringLiteral("The copy on disk differs from what was written; the "
                                      "original file was left as it was."));
        verifyCopy(copy, std::move(onDisk), table, expected);

        if (fileDigest(path, readOperation()) != table.fileDigest)
            fail(path, QStringLiteral("The file was changed by another program during the "
                                      "write; it was left as that program wrote it."));
        try {
            fileops::replaceByRename(copy, path);
        } catch (const PatchError& e) {
            fail(path, e.cause());
        }
    } catch (...) {
        QFile::remove(copy);
        throw;
    }
    return intended;
}

} // namespace jet

} // namespace tolvane
