#include "db/jetwriteback.h"

#include "core/patcherror.h"
#include "db/jetfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <variant>

#include <fcntl.h>
#include <unistd.h>

namespace jet {

namespace {

constexpr qsizetype kRowCountOffset = 12; // Jet 4 data pages: row count, then the slots
constexpr std::uint8_t kDataPage = 0x01;
constexpr std::uint16_t kSlotFlags = 0xe000;
constexpr std::uint16_t kSlotOffsetMask = 0x1fff;

std::uint16_t le16(const QByteArray& b, qsizetype at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) |
                                      (static_cast<std::uint8_t>(b[at + 1]) << 8));
}
std::uint32_t le32(const QByteArray& b, qsizetype at) {
    return le16(b, at) | (static_cast<std::uint32_t>(le16(b, at + 2)) << 16);
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

std::variant<Cell, QString> locateCell(const QByteArray& file, const TableDefinition& def,
                                       const Column& column, int width, RowLocation at,
                                       std::size_t row) {
    const auto problem = [&](const QString& what) {
        return QStringLiteral("row %1 (page %2, slot %3) %4")
            .arg(row + 1)
            .arg(at.page)
            .arg(at.slot)
            .arg(what);
    };
    const qsizetype page = static_cast<qsizetype>(at.page) * kPageSize;
    if (page + kPageSize > file.size())
        return problem(QStringLiteral("lies outside the file"));
    if (static_cast<std::uint8_t>(file[page]) != kDataPage || le32(file, page + 4) != def.page)
        return problem(QStringLiteral("is not on a data page of the table"));
    const std::uint16_t rows = le16(file, page + kRowCountOffset);
    const qsizetype slotTable = page + kRowCountOffset + 2;
    if (at.slot >= rows || slotTable + 2 * rows > page + kPageSize)
        return problem(QStringLiteral("has no slot on its page"));
    const std::uint16_t slot = le16(file, slotTable + 2 * at.slot);
    if (slot & kSlotFlags)
        return problem(QStringLiteral("is stored with row flags 0x%1 (deleted, moved or "
                                      "overflowing rows cannot be written in place)")
                           .arg(slot & kSlotFlags, 4, 16, QLatin1Char('0')));
    const qsizetype start = slot & kSlotOffsetMask;
    const qsizetype end =
        at.slot == 0 ? kPageSize : (le16(file, slotTable + 2 * (at.slot - 1)) & kSlotOffsetMask);
    if (start < kRowCountOffset + 2 + 2 * rows || end > kPageSize || start + 2 > end)
        return problem(QStringLiteral("has slot bounds that do not fit its page"));

    const qsizetype rowStart = page + start;
    const qsizetype rowSize = end - start;
    const std::uint16_t rowColumns = le16(file, rowStart);
    const qsizetype maskSize = (rowColumns + 7) / 8;
    if (column.number >= rowColumns)
        return problem(
            QStringLiteral("was stored before the column \"%1\" was added").arg(column.name));
    qsizetype fixedEnd = rowSize - maskSize;
    if (def.variableColumnCount > 0) {
        if (rowSize < 2 + maskSize + 4)
            return problem(QStringLiteral("is too short for its column tables"));
        fixedEnd = le16(file, rowStart + rowSize - maskSize - 4);
        if (fixedEnd > rowSize - maskSize - 4)
            return problem(QStringLiteral("has a variable column table that does not fit"));
    }
    if (2 + column.fixedOffset + width > fixedEnd)
        return problem(QStringLiteral("does not hold the column \"%1\"").arg(column.name));

    Cell cell;
    cell.offset = rowStart + 2 + column.fixedOffset;
    cell.nullByte = rowStart + rowSize - maskSize + column.number / 8;
    cell.nullBit = static_cast<std::uint8_t>(1u << (column.number % 8));
    cell.isNull = (static_cast<std::uint8_t>(file[cell.nullByte]) & cell.nullBit) == 0;
    return cell;
}

qint64 readInteger(const QByteArray& file, qsizetype at, const IntegerType& type) {
    switch (type.width) {
    case 1:
        return static_cast<std::uint8_t>(file[at]);
    case 2:
        return static_cast<std::int16_t>(le16(file, at));
    default:
        return static_cast<std::int32_t>(le32(file, at));
    }
}

void writeInteger(QByteArray& file, qsizetype at, const IntegerType& type, qint64 value) {
    auto bits = static_cast<std::uint64_t>(value);
    for (int i = 0; i < type.width; ++i, bits >>= 8)
        file[at + i] = static_cast<char>(bits & 0xff);
}

bool lockFileBeside(const QString& path, QString* lockName) {
    const QFileInfo info(path);
    const QString wanted = info.completeBaseName() + QStringLiteral(".ldb");
    const QStringList entries =
        info.absoluteDir().entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0) {
            *lockName = info.absoluteDir().filePath(entry);
            return true;
        }
    }
    return false;
}

QByteArray readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PatchError(QStringLiteral("Cannot read the Jet database"), path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PatchError(QStringLiteral("Cannot read the Jet database"), path, file.errorString());
    return bytes;
}

struct Plan {
    TableDefinition definition;
    Column column;
    int tableColumn = -1;
    const IntegerType* type = nullptr;
};

// Everything that must hold before one byte is written; fills plan when it all does.
QString planProblem(const QString& path, const QByteArray& file, const Table& table,
                    const QString& columnName, Plan& plan) {
    if (detectDatabaseFormat(file.left(64)) != DatabaseFormat::Jet4)
        return QStringLiteral("the file is %1, and only Jet 4 files are written")
            .arg(databaseFormatName(detectDatabaseFormat(file.left(64))));
    if (table.encrypted)
        return QStringLiteral("the file is encoded (encrypted), so its pages cannot be written "
                              "byte by byte");
    QString lockName;
    if (lockFileBeside(path, &lockName))
        return QStringLiteral("the lock file %1 lies beside it: Access may have the database open, "
                              "or was not closed properly. Close Access; if the lock file stays, "
                              "delete it")
            .arg(QDir::toNativeSeparators(lockName));
    plan.tableColumn = table.columnIndex(columnName);
    if (plan.tableColumn < 0)
        return QStringLiteral("the table %1 has no column \"%2\"").arg(table.name, columnName);
    try {
        plan.definition = parseTableDefinition(file, table.definitionPage);
    } catch (const PatchError& e) {
        return QStringLiteral("the definition of the table %1 cannot be read (%2)")
            .arg(table.name, e.cause());
    }
    const Column* column = plan.definition.column(columnName);
    const Column& seen = table.columns[static_cast<std::size_t>(plan.tableColumn)];
    if (!column || column->type != seen.type || column->number != seen.number ||
        column->fixed != seen.fixed || (column->fixed && column->fixedOffset != seen.fixedOffset))
        return QStringLiteral("the definition of the column \"%1\" is not understood the same way "
                              "by both readers of the file")
            .arg(columnName);
    plan.column = *column;
    plan.type = writableType(column->type);
    if (!plan.type || !column->fixed || column->length != plan.type->width)
        return QStringLiteral("the column \"%1\" is of the type %2; only Byte, Integer and Long "
                              "Integer columns are written in place")
            .arg(column->name, columnTypeName(column->type));
    for (const Index& index : plan.definition.indexes) {
        for (const std::uint16_t number : index.columnNumbers) {
            if (number == column->number || number == column->otherNumber)
                return QStringLiteral("the column \"%1\" is part of the index %2, which would "
                                      "go stale")
                    .arg(column->name, index.name.isEmpty()
                                           ? QStringLiteral("(unnamed)")
                                           : QLatin1Char('"') + index.name + QLatin1Char('"'));
        }
    }
    for (std::size_t row = 0; row < table.locations.size(); ++row) {
        const auto cell =
            locateCell(file, plan.definition, *column, plan.type->width, table.locations[row], row);
        if (const QString* problem = std::get_if<QString>(&cell))
            return QStringLiteral("in the table %1, %2").arg(table.name, *problem);
    }
    return QString();
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

[[noreturn]] void refuse(const QString& path, const QString& cause) {
    throw PatchError(QStringLiteral("Cannot write the overall ratings into the Jet database"), path,
                     cause);
}

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Reads the copy back through libmdb and compares every cell with what it must hold.
void verifyCopy(const QString& copy, const Table& table, int column,
                const std::vector<std::optional<qint64>>& expected) {
    Reader reader(copy);
    const std::optional<Table> written = reader.readTable(table.name);
    const auto mismatch = [&](const QString& what) {
        throw PatchError(QStringLiteral("Cannot write the overall ratings into the Jet database"),
                         copy,
                         QStringLiteral("The written copy does not read back as intended (%1); "
                                        "the original file was left as it was.")
                             .arg(what));
    };
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

QString sqliteAdvice() {
    return QStringLiteral("Converting the season database to SQLite (with the tool jet2sqlite) "
                          "removes this limit.");
}

QString inPlaceWriteProblem(const QString& path, const Table& table, const QString& column) {
    Plan plan;
    const QString problem = planProblem(path, readWholeFile(path), table, column, plan);
    return problem.isEmpty() ? problem
                             : QStringLiteral("The overall ratings cannot be written back into "
                                              "the Jet database %1: %2. %3")
                                   .arg(QDir::toNativeSeparators(path), problem, sqliteAdvice());
}

void writeInPlace(const QString& path, const Table& table, const QString& columnName,
                  const std::vector<CellChange>& changes, const WriteFault& fault) {
    if (changes.empty())
        return;
    const QByteArray original = readWholeFile(path);
    Plan plan;
    const QString problem = planProblem(path, original, table, columnName, plan);
    if (!problem.isEmpty())
        refuse(path, problem + QStringLiteral(". ") + sqliteAdvice());

    QByteArray patched = original;
    std::vector<std::optional<qint64>> expected(table.rows.size());
    for (const CellChange& change : changes) {
        if (change.row >= table.rows.size())
            refuse(path, QStringLiteral("Row %1 does not exist.").arg(change.row + 1));
        const auto located = locateCell(original, plan.definition, plan.column, plan.type->width,
                                        table.locations[change.row], change.row);
        const Cell cell = std::get<Cell>(located); // planProblem has checked every row
        const QVariant& before = table.rows[change.row][static_cast<std::size_t>(plan.tableColumn)];
        const bool unchanged =
            cell.isNull ? before.isNull()
                        : !before.isNull() &&
                              before.toLongLong() == readInteger(original, cell.offset, *plan.type);
        if (!unchanged)
            refuse(path, QStringLiteral("Row %1 has changed in the file since it was read; "
                                        "nothing was written.")
                             .arg(change.row + 1));
        if (change.value < plan.type->low || change.value > plan.type->high)
            refuse(path,
                   QStringLiteral("Row %1: the value %2 does not fit the column \"%3\" of "
                                  "the type %4. %5")
                       .arg(change.row + 1)
                       .arg(change.value)
                       .arg(plan.column.name, columnTypeName(plan.column.type), sqliteAdvice()));
        writeInteger(patched, cell.offset, *plan.type, change.value);
        patched[cell.nullByte] = static_cast<char>(patched[cell.nullByte] | cell.nullBit);
        expected[change.row] = change.value;
    }
    if (patched == original)
        return;

    const QFileInfo info(path);
    const QString copy = info.absoluteDir().filePath(QLatin1Char('.') + info.fileName() +
                                                     QStringLiteral(".writing"));
    QFile::remove(copy); // a copy left by a crash is stale
    try {
        QFile out(copy);
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            refuse(copy, out.errorString());
        if (out.write(patched) != patched.size() || !out.flush())
            refuse(copy, out.errorString());
        if (::fsync(out.handle()) != 0)
            refuse(copy, systemErrorText(errno));
        out.setPermissions(QFile::permissions(path));
        out.close();
        if (fault)
            fault(WriteStep::CopyWritten);

        if (readWholeFile(copy) != patched)
            refuse(copy, QStringLiteral("The copy on disk differs from what was written; the "
                                        "original file was left as it was."));
        verifyCopy(copy, table, plan.tableColumn, expected);
        if (fault)
            fault(WriteStep::CopyVerified);

        if (readWholeFile(path) != original)
            refuse(path, QStringLiteral("The file was changed by another program during the "
                                        "write; it was left as that program wrote it."));
        if (std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(path).constData()) !=
            0)
            refuse(path, systemErrorText(errno));
    } catch (...) {
        QFile::remove(copy);
        throw;
    }
    syncFolder(info.absolutePath());
}

} // namespace jet
