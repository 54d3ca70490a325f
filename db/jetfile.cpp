#include "db/jetfile.h"

#include "core/bytes.h"
#include "core/fileops.h"
#include "core/oledate.h"
#include "core/patcherror.h"

#include <QFile>

#include <algorithm>

namespace tolvane {

namespace jet {

namespace {

// The system catalogue's definition always starts on page 2.
constexpr std::uint32_t kCatalogPage = 2;
constexpr std::int16_t kTableObject = 1;
// Flags that mark one of Access's own tables.
constexpr std::uint32_t kSystemTableFlags = 0x80000002;
constexpr std::uint32_t kObjectPageMask = 0x00ffffff;

// A long value (Memo, OLE Object) in a row: 4 bytes of length and kind, a pointer to its
// first long-value row, 4 unused bytes, then the data itself when it is stored inline.
constexpr qsizetype kLongValueHeader = 12;
constexpr std::uint32_t kLongValueLengthMask = 0x3fffffff;
enum LongValueKind : std::uint32_t { Chained = 0, SingleRow = 1, Inline = 2 };

// A moved row points to its data, which never moves again; more hops mean a damaged file.
constexpr int kMaxRowHops = 8;

QString rowTarget(const QString& path, const QString& table, std::size_t row, RowLocation at) {
    return QStringLiteral("%1\nTable %2, row %3 (page %4, slot %5)")
        .arg(path, table)
        .arg(row + 1)
        .arg(at.page)
        .arg(at.slot);
}

[[noreturn]] void rethrowAt(const PatchError& e, const QString& target, const QString& column) {
    throw PatchError(e.operation(), target,
                     column.isEmpty() ? e.cause()
                                      : QStringLiteral("Column \"%1\": %2").arg(column, e.cause()));
}

// The pages the table's usage map lists, in ascending order, each once.
std::vector<std::uint32_t> usedPages(const PageFile& pages, const TableDefinition& def) {
    const RowBytes map = pages.row(rowAt(def.usageMap));
    std::vector<std::uint32_t> used;
    const auto add = [&](std::uint64_t page) {
        if (page >= pages.pageCount())
            malformed(QStringLiteral("The table's page usage map lists page %1, past the end of "
                                     "the file (%2 pages).")
                          .arg(page)
                          .arg(pages.pageCount()));
        used.push_back(static_cast<std::uint32_t>(page));
    };
    const auto scan = [&](const unsigned char* bits, qsizetype size, std::uint64_t first) {
        for (qsizetype i = 0; i < size; ++i) {
            for (int bit = 0; bits[i] != 0 && bit < 8; ++bit) {
                if (bits[i] & (1u << bit))
                    add(first + static_cast<std::uint64_t>(i) * 8 + bit);
            }
        }
    };
    if (map.size < 1)
        malformed(QStringLiteral("The table's page usage map is empty."));
    switch (map.data[0]) {
    case 0: // a first page and a bitmap of the pages after it, in the row itself
        if (map.size < 5)
            malformed(QStringLiteral("The table's page usage map is shorter than its header."));
        scan(map.data + 5, map.size - 5, bytes::loadLittleEndian<std::uint32_t>(map.data + 1));
        break;
    case 1: { // pointers to whole pages of bitmap, each covering the pages that follow
        constexpr qsizetype kBitmapBytes = kPageSize - 4;
        for (qsizetype k = 0; 1 + 4 * (k + 1) <= map.size; ++k) {
            const auto bitmapPage = bytes::loadLittleEndian<std::uint32_t>(map.data + 1 + 4 * k);
            if (bitmapPage != 0)
                scan(pages.page(bitmapPage) + 4, kBitmapBytes,
                     static_cast<std::uint64_t>(k) * kBitmapBytes * 8);
        }
        break;
    }
    default:
        malformed(QStringLiteral("The table's page usage map is of an unknown kind (%1).")
                      .arg(map.data[0]));
    }
    return used;
}

// The bytes of a Memo or OLE value: in the row itself, in one long-value row, or in a
// chain of long-value rows that each start with a pointer to the next. buffer holds a
// chain's bytes; the other kinds point into the file.
std::span<const unsigned char> longValue(const PageFile& pages,
                                         std::span<const unsigned char> field, QByteArray& buffer) {
    if (field.size() < kLongValueHeader)
        malformed(QStringLiteral("Its long value is %1 bytes, shorter than its header.")
                      .arg(field.size()));
    const auto header = bytes::loadLittleEndian<std::uint32_t>(field.data());
    const qsizetype length = header & kLongValueLengthMask;
    std::uint32_t pointer = bytes::loadLittleEndian<std::uint32_t>(field.data() + 4);
    switch (header >> 30) {
    case Inline:
        if (kLongValueHeader + length > static_cast<qsizetype>(field.size()))
            malformed(QStringLiteral("Its value of %1 bytes runs past its row.").arg(length));
        return field.subspan(kLongValueHeader, static_cast<std::size_t>(length));
    case SingleRow: {
        const RowBytes row = pages.row(rowAt(pointer));
        if (row.size < length)
            malformed(QStringLiteral("Its value of %1 bytes is longer than the long-value row "
                                     "that holds it (%2 bytes).")
                          .arg(length)
                          .arg(row.size));
        return {row.data, static_cast<std::size_t>(length)};
    }
    case Chained:
        break;
    default:
        malformed(QStringLiteral("Its long value is of an unknown kind."));
    }
    buffer.clear();
    buffer.reserve(std::min<qsizetype>(length, pages.pageCount() * kPageSize));
    std::vector<std::uint32_t> seen;
    while (buffer.size() < length) {
        if (pointer == 0)
            malformed(QStringLiteral("Its chain of long-value rows ends after %1 of its %2 bytes.")
                          .arg(buffer.size())
                          .arg(length));
        if (std::find(seen.begin(), seen.end(), pointer) != seen.end())
            malformed(QStringLiteral("Its chain of long-value rows loops back to row %1 of page "
                                     "%2.")
                          .arg(rowAt(pointer).slot)
                          .arg(rowAt(pointer).page));
        seen.push_back(pointer);
        const RowBytes row = pages.row(rowAt(pointer));
        if (row.size < 4)
            malformed(QStringLiteral("A long-value row of its chain is shorter than its pointer."));
        pointer = bytes::loadLittleEndian<std::uint32_t>(row.data);
        const qsizetype take = std::min(row.size - 4, length - buffer.size());
        buffer.append(reinterpret_cast<const char*>(row.data) + 4, take);
    }
    return {reinterpret_cast<const unsigned char*>(buffer.constData()),
            static_cast<std::size_t>(buffer.size())};
}

QVariant dateValue(double day) {
    const QString text = oledate::toText(day);
    if (text.isEmpty())
        return day;
    return text;
}

QString text(std::span<const unsigned char> bytes) {
    return decodeText(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// One cell, typed as the SQLite copy holds it.
QVariant cellValue(const PageFile& pages, const StoredRow& row, const Column& column,
                   QByteArray& buffer) {
    if (column.type == Bool) // Yes/No lives in the null mask: a set bit is Yes
        return qint64(row.isNull(column) ? 0 : 1);
    if (row.isNull(column))
        return QVariant();
    const std::span<const unsigned char> field = row.field(column);
    const auto need = [&](std::size_t size) {
        if (field.size() < size)
            malformed(QStringLiteral("It holds %1 bytes; its type %2 needs %3.")
                          .arg(field.size())
                          .arg(columnTypeName(column.type))
                          .arg(size));
        return field.data();
    };
    switch (column.type) {
    case Byte:
        return qint64(*need(1));
    case Int:
        return qint64(bytes::loadLittleEndian<std::int16_t>(need(2)));
    case Long:
        return qint64(bytes::loadLittleEndian<std::int32_t>(need(4)));
    case Money:
        // Currency is a count of ten-thousandths; one division rounds it to the double
        // nearest to the decimal value.
        return static_cast<double>(bytes::loadLittleEndian<std::int64_t>(need(8))) / 10000.0;
    case Float:
        return static_cast<double>(bytes::loadLittleEndian<float>(need(4)));
    case Double:
        return bytes::loadLittleEndian<double>(need(8));
    case DateTime:
        return dateValue(bytes::loadLittleEndian<double>(need(8)));
    case Text:
        return text(field);
    case Memo:
        return text(longValue(pages, field, buffer));
    case Ole: {
        const auto value = longValue(pages, field, buffer);
        return QByteArray(reinterpret_cast<const char*>(value.data()),
                          static_cast<qsizetype>(value.size()));
    }
    case Binary:
        return QByteArray(reinterpret_cast<const char*>(field.data()),
                          static_cast<qsizetype>(field.size()));
    default:
        malformed(QStringLiteral("It is of the type %1, which this program cannot read.")
                      .arg(columnTypeName(column.type)));
    }
}

const Column& requireColumn(const TableDefinition& def, const QString& name) {
    const Column* column = def.column(name);
    if (!column)
        malformed(QStringLiteral("The system catalogue has no column \"%1\".").arg(name));
    return *column;
}

} // namespace

StoredRow::StoredRow(const RowBytes& row, const TableDefinition& definition)
    : m_row(row) {
    if (row.size < 2)
        malformed(
            QStringLiteral("The row is %1 bytes, too short for its column count.").arg(row.size));
    m_columnCount = bytes::loadLittleEndian<std::uint16_t>(row.data);
    m_nullMask = row.size - (m_columnCount + 7) / 8;
    if (m_nullMask < 2)
        malformed(QStringLiteral("The row claims %1 columns, whose null mask does not fit its %2 "
                                 "bytes.")
                      .arg(m_columnCount)
                      .arg(row.size));
    m_fixedEnd = m_nullMask;
    if (definition.variableColumnCount == 0)
        return;
    if (m_nullMask < 4)
        malformed(QStringLiteral("The row is %1 bytes, too short for its variable columns.")
                      .arg(row.size));
    m_variableCount = bytes::loadLittleEndian<std::uint16_t>(row.data + m_nullMask - 2);
    m_variableTable = m_nullMask - 2 - 2 * (qsizetype(m_variableCount) + 1);
    if (m_variableTable < 2)
        malformed(QStringLiteral("The row claims %1 variable columns, more than fit its %2 "
                                 "bytes.")
                      .arg(m_variableCount)
                      .arg(row.size));
    m_fixedEnd = variableOffset(0);
    if (m_fixedEnd < 2 || m_fixedEnd > m_variableTable)
        malformed(QStringLiteral("The row's variable columns start at byte %1, outside its %2 "
                                 "bytes.")
                      .arg(m_fixedEnd)
                      .arg(row.size));
}

std::uint16_t StoredRow::variableOffset(std::uint16_t index) const {
    // The table is stored backwards from the variable column count; its last entry is
    // where the variable data ends.
    return bytes::loadLittleEndian<std::uint16_t>(m_row.data + m_nullMask - 4 -
                                                  2 * qsizetype(index));
}

bool StoredRow::holds(const Column& column) const {
    if (column.number >= m_columnCount)
        return false;
    return column.fixed || column.variableIndex < m_variableCount;
}

bool StoredRow::isNull(const Column& column) const {
    if (!holds(column))
        return true;
    return (m_row.data[m_nullMask + column.number / 8] & nullBit(column)) == 0;
}

std::span<const unsigned char> StoredRow::field(const Column& column) const {
    if (!holds(column))
        return {};
    qsizetype start = 0;
    qsizetype end = 0;
    if (column.fixed) {
        start = 2 + qsizetype(column.fixedOffset);
        end = start + column.length;
        if (end > m_fixedEnd)
            malformed(QStringLiteral("Its %1 bytes at byte %2 lie past the row's fixed columns, "
                                     "which end at byte %3.")
                          .arg(column.length)
                          .arg(start)
                          .arg(m_fixedEnd));
    } else {
        start = variableOffset(column.variableIndex);
        end = variableOffset(column.variableIndex + 1);
        if (start < 2 || end < start || end > m_variableTable)
            malformed(QStringLiteral("Its value runs from byte %1 to byte %2, outside the row's "
                                     "%3 bytes of data.")
                          .arg(start)
                          .arg(end)
                          .arg(m_variableTable));
    }
    return {m_row.data + start, static_cast<std::size_t>(end - start)};
}

qsizetype StoredRow::nullByteOffset(const Column& column) const {
    return m_row.fileOffset + m_nullMask + column.number / 8;
}

int Table::columnIndex(const QString& name) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

Reader::Reader(const QString& path)
    : Reader(path, fileops::readWholeFile(path, openDatabaseOperation())) {}

Reader::Reader(const QString& path, QByteArray contents)
    : m_path(path)
    , m_file(std::move(contents)) {
    const DatabaseFormat format = detectDatabaseFormat(m_file.left(kDatabaseHeadSize));
    if (format != DatabaseFormat::Jet4)
        throw PatchError(openDatabaseOperation(), path, unreadableFormatReason(format));
    try {
        m_pages.emplace(m_file);
        readCatalog();
    } catch (const PatchError& e) {
        rethrowAt(e, QStringLiteral("%1\nSystem catalogue").arg(path), QString());
    }
}

Reader::~Reader() = default;

template <class Visit>
void Reader::forEachRow(const TableDefinition& definition, Visit visit) const {
    const PageFile& pages = *m_pages;
    for (const std::uint32_t page : usedPages(pages, definition)) {
        const unsigned char* p = pages.page(page);
        // Pages a table gave up stay in its map; only its own data pages hold its rows.
        if (p[0] != DataPage || bytes::loadLittleEndian<std::uint32_t>(p + 4) != definition.page)
            continue;
        const std::uint16_t rowCount = pages.slotCount(page);
        for (std::uint16_t slot = 0; slot < rowCount; ++slot) {
            const RowLocation at{page, slot};
            // A deleted row's bounds mean nothing; it is passed over unread.
            if (bytes::loadLittleEndian<std::uint16_t>(p + kRowCountOffset + 2 + 2 * slot) &
                kRowDeleted)
                continue;
            RowBytes row = pages.row(at);
            // A row that outgrew its page left a pointer to where its data went; that row
            // is marked deleted so that it is only ever read through the pointer.
            std::vector<RowLocation> hops;
            while ((row.flags & kRowOverflow) && (hops.empty() || !(row.flags & kRowDeleted))) {
                if (row.size < 4)
                    malformed(QStringLiteral("Row %1 of page %2 is moved, but too short to say "
                                             "where to.")
                                  .arg(slot)
                                  .arg(page));
                const RowLocation target = rowAt(bytes::loadLittleEndian<std::uint32_t>(row.data));
                if (hops.size() >= kMaxRowHops ||
                    std::find(hops.begin(), hops.end(), target) != hops.end() || target == at)
                    malformed(QStringLiteral("Row %1 of page %2 is moved along pointers that "
                                             "loop.")
                                  .arg(slot)
                                  .arg(page));
                hops.push_back(target);
                if (pages.page(target.page)[0] != DataPage)
                    malformed(QStringLiteral("Row %1 of page %2 is moved to page %3, which is "
                                             "not a data page.")
                                  .arg(slot)
                                  .arg(page)
                                  .arg(target.page));
                row = pages.row(target);
            }
            visit(row, at);
        }
    }
}

void Reader::readCatalog() {
    const TableDefinition catalog = parseTableDefinition(*m_pages, kCatalogPage);
    const Column& id = requireColumn(catalog, QStringLiteral("Id"));
    const Column& name = requireColumn(catalog, QStringLiteral("Name"));
    const Column& type = requireColumn(catalog, QStringLiteral("Type"));
    const Column& flags = requireColumn(catalog, QStringLiteral("Flags"));
    QByteArray buffer;
    forEachRow(catalog, [&](const RowBytes& bytes, RowLocation) {
        const StoredRow row(bytes, catalog);
        const QVariant objectType = cellValue(*m_pages, row, type, buffer);
        const QVariant objectFlags = cellValue(*m_pages, row, flags, buffer);
        if (objectType.toLongLong() != kTableObject ||
            (static_cast<std::uint32_t>(objectFlags.toLongLong()) & kSystemTableFlags) != 0)
            return;
        const QVariant objectId = cellValue(*m_pages, row, id, buffer);
        m_tables.push_back({cellValue(*m_pages, row, name, buffer).toString(),
                            static_cast<std::uint32_t>(objectId.toLongLong()) & kObjectPageMask});
    });
}

QStringList Reader::tableNames() const {
    QStringList names;
    for (const CatalogEntry& entry : m_tables)
        names << entry.name;
    return names;
}

std::optional<Table> Reader::readTable(const QString& name) const {
    const auto entry = std::find_if(m_tables.begin(), m_tables.end(), [&](const CatalogEntry& e) {
        return e.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (entry == m_tables.end())
        return std::nullopt;
    Table table;
    table.name = entry->name;
    table.definitionPage = entry->page;
    const QString tableTarget = QStringLiteral("%1\nTable %2").arg(m_path, table.name);

    TableDefinition def;
    try {
        def = parseTableDefinition(*m_pages, entry->page);
    } catch (const PatchError& e) {
        rethrowAt(e, tableTarget, QString());
    }
    table.columns = def.columns;
    std::stable_sort(table.columns.begin(), table.columns.end(),
                     [](const Column& a, const Column& b) { return a.number < b.number; });

    // Where a failure happened, for its message: the row being read, and its column.
    std::optional<RowLocation> inRow;
    const Column* current = nullptr;
    QByteArray buffer;
    // The count comes from the file; it only sizes a first allocation.
    table.rows.reserve(std::min<std::size_t>(def.rowCount, 65536));
    table.locations.reserve(table.rows.capacity());
    try {
        forEachRow(def, [&](const RowBytes& bytes, RowLocation location) {
            inRow = location;
            const StoredRow row(bytes, def);
            std::vector<QVariant> values;
            values.reserve(table.columns.size());
            for (const Column& column : table.columns) {
                current = &column;
                values.push_back(cellValue(*m_pages, row, column, buffer));
            }
            current = nullptr;
            inRow.reset();
            table.rows.push_back(std::move(values));
            table.locations.push_back(location);
        });
    } catch (const PatchError& e) {
        if (!inRow)
            rethrowAt(e, tableTarget, QString());
        rethrowAt(e, rowTarget(m_path, table.name, table.rows.size(), *inRow),
                  current ? current->name : QString());
    }
    if (table.rows.size() != def.rowCount)
        throw PatchError(readOperation(), tableTarget,
                         QStringLiteral("The table's definition counts %1 rows, but its data "
                                        "pages hold %2; the file is damaged. Compact and repair "
                                        "the database in Access, then try again.")
                             .arg(def.rowCount)
                             .arg(table.rows.size()));
    return table;
}

} // namespace jet

} // namespace tolvane
