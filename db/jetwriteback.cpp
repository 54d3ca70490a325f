#include "db/jetwriteback.h"

#include "core/bytes.h"
#include "core/fileops.h"
#include "core/patcherror.h"
#include "db/jetfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <bit>
#include <limits>
#include <optional>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

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
                RowLocation at, std::size_t row) {
    const auto problem = [&](const QString& what) {
        return QStringLiteral("row %1 (page %2, slot %3) %4")
            .arg(row + 1)
            .arg(at.page)
            .arg(at.slot)
            .arg(what);
    };
    try {
        const unsigned char* page = pages.page(at.page);
        if (page[0] != DataPage || bytes::loadLittleEndian<std::uint32_t>(page + 4) != def.page)
            refuse(problem(QStringLiteral("is not on a data page of the table")));
        const RowBytes bytes = pages.row(at);
        if (bytes.flags != 0)
            refuse(problem(QStringLiteral("is stored with row flags 0x%1 (deleted, moved or "
                                          "overflowing rows cannot be written in place)")
                               .arg(bytes.flags, 4, 16, QLatin1Char('0'))));
        const StoredRow stored(bytes, def);
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

// The lock file Access keeps beside an open database, in any letter case.
std::optional<QString> lockFileBeside(const QString& path) {
    const QFileInfo info(path);
    const QString wanted = info.completeBaseName() + QStringLiteral(".ldb");
    const QStringList entries =
        info.absoluteDir().entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0)
            return info.absoluteDir().filePath(entry);
    }
    return std::nullopt;
}

// What the write needs, once everything that must hold before one byte is written holds.
struct Plan {
    TableDefinition definition;
    Column column;
    int tableColumn = -1;
    const IntegerType* type = nullptr;
};

Plan makePlan(const QString& path, const QByteArray& file, const Table& table,
              const QString& columnName) {
    const DatabaseFormat format = detectDatabaseFormat(file.left(kDatabaseHeadSize));
    if (format != DatabaseFormat::Jet4)
        refuse(QStringLiteral("the file is %1, and only Jet 4 files are written")
                   .arg(databaseFormatName(format)));
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
        pages.emplace(file);
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
    try {
        for (std::size_t row = 0; row < table.locations.size(); ++row)
            locateCell(*pages, plan.definition, *column, plan.type->width, table.locations[row],
                       row);
    } catch (const Refusal& r) {
        refuse(QStringLiteral("in the table %1, %2").arg(table.name, r.reason));
    }
    return plan;
}

bool sameValue(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    if (a.typeId() != b.typeId())
        return false;
    if (a.typeId() == QMetaType::Double)
        return std::bit_cast<std::uint64_t>(a.toDouble()) ==
               std::bit_cast<std::uint64_t>(b.toDouble());
    return a == b;
}

void syncFolder([[maybe_unused]] const QString& folder) {
#ifdef Q_OS_UNIX
    // A rename is durable only once its folder is; Windows has no such step.
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

// Reads the copy back and compares every cell with what it must hold.
void verifyCopy(const QString& copy, const QByteArray& bytes, const Table& table, int column,
                const std::vector<std::optional<qint64>>& expected) {
    const auto mismatch = [&](const QString& what) {
        fail(copy, QStringLiteral("The written copy does not read back as intended (%1); the "
                                  "original file was left as it was.")
                       .arg(what));
    };
    std::optional<Table> written;
    try {
        written = Reader(copy, bytes).readTable(table.name);
    } catch (const PatchError& e) {
        mismatch(e.cause());
    }
    if (!written || written->rows.size() != table.rows.size() ||
        written->locations != table.locations)
        mismatch(QStringLiteral("its rows moved"));
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            const QVariant want = static_cast<int>(c) == column && expected[r]
                                      ? QVariant(*expected[r])
                                      : table.rows[r][c];
            if (!sameValue(written->rows[r][c], want))
                mismatch(
                    QStringLiteral("row %1, column \"%2\"").arg(r + 1).arg(table.columns[c].name));
        }
    }
}

} // namespace

QString writeOperation() {
    return QStringLiteral("Cannot write the overall ratings into the Jet database");
}

QString sqliteAdvice() {
    return QStringLiteral("Converting the season database to SQLite (with the tool jet2sqlite) "
                          "removes this limit.");
}

QString inPlaceWriteProblem(const QString& path, const Table& table, const QString& column) {
    try {
        makePlan(path, fileops::readWholeFile(path, readOperation()), table, column);
    } catch (const Refusal& r) {
        return QStringLiteral("The overall ratings cannot be written back into the Jet database "
                              "%1: %2. %3")
            .arg(QDir::toNativeSeparators(path), r.reason, sqliteAdvice());
    }
    return QString();
}

void writeInPlace(const QString& path, const Table& table, const QString& columnName,
                  const std::vector<CellChange>& changes, const WriteFault& fault) {
    if (changes.empty())
        return;
    const QByteArray original = fileops::readWholeFile(path, readOperation());
    QByteArray patched = original;
    std::vector<std::optional<qint64>> expected(table.rows.size());
    Plan plan;
    try {
        plan = makePlan(path, original, table, columnName);
        const PageFile pages(original);
        for (const CellChange& change : changes) {
            if (change.row >= table.rows.size())
                fail(path, QStringLiteral("Row %1 does not exist.").arg(change.row + 1));
            const Cell cell = locateCell(pages, plan.definition, plan.column, plan.type->width,
                                         table.locations[change.row], change.row);
            const QVariant& before =
                table.rows[change.row][static_cast<std::size_t>(plan.tableColumn)];
            const bool unchanged =
                cell.isNull
                    ? before.isNull()
                    : !before.isNull() &&
                          before.toLongLong() == readInteger(original, cell.offset, *plan.type);
            if (!unchanged)
                fail(path, QStringLiteral("Row %1 has changed in the file since it was read; "
                                          "nothing was written.")
                               .arg(change.row + 1));
            if (change.value < plan.type->low || change.value > plan.type->high)
                refuse(QStringLiteral("row %1: the value %2 does not fit the column \"%3\" of "
                                      "the type %4")
                           .arg(change.row + 1)
                           .arg(change.value)
                           .arg(plan.column.name, columnTypeName(plan.column.type)));
            writeInteger(patched, cell.offset, *plan.type, change.value);
            patched[cell.nullByte] = static_cast<char>(patched[cell.nullByte] | cell.nullBit);
            expected[change.row] = change.value;
        }
    } catch (const Refusal& r) {
        fail(path, r.reason + QStringLiteral(". ") + sqliteAdvice());
    }
    if (patched == original)
        return;

    const QFileInfo info(path);
    const QString copy = info.absoluteDir().filePath(QLatin1Char('.') + info.fileName() +
                                                     QStringLiteral(".writing"));
    QFile::remove(copy); // a copy left by a crash is stale
    try {
        QSaveFile out(copy);
        if (!out.open(QIODevice::WriteOnly) || out.write(patched) != patched.size() ||
            !out.commit())
            fail(copy, out.errorString());
        QFile::setPermissions(copy, QFile::permissions(path));
        if (fault)
            fault(WriteStep::CopyWritten);

        const QByteArray onDisk = fileops::readWholeFile(copy, readOperation());
        if (onDisk != patched)
            fail(copy, QStringLiteral("The copy on disk differs from what was written; the "
                                      "original file was left as it was."));
        verifyCopy(copy, onDisk, table, plan.tableColumn, expected);
        if (fault)
            fault(WriteStep::CopyVerified);

        if (fileops::readWholeFile(path, readOperation()) != original)
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
    syncFolder(info.absolutePath());
}

} // namespace jet

} // namespace tolvane
