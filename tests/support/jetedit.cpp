#include "support/jetedit.h"

#include "core/bytes.h"
#include "db/jet/storedrow.h"

#include <gtest/gtest.h>

namespace tolvane {

namespace jetedit {

namespace {

std::uint16_t get16(const QByteArray& file, qsizetype at) {
    return bytes::loadLittleEndian<std::uint16_t>(file.constData() + at);
}

} // namespace

const jet::Format& formatOf(const QByteArray& file) {
    const std::optional<jet::FileHeader> header = jet::readHeader(file);
    if (!header) {
        ADD_FAILURE() << "not an Access file";
        return jet::kJet4Format;
    }
    return *header->format;
}

jet::PageFile pagesOf(const QByteArray& file) {
    return jet::PageFile(file, formatOf(file));
}

void put16(QByteArray& file, qsizetype at, std::uint16_t value) {
    bytes::storeLittleEndian(file.data() + at, value);
}

void put32(QByteArray& file, qsizetype at, std::uint32_t value) {
    bytes::storeLittleEndian(file.data() + at, value);
}

Place slotPlace(const QByteArray& file, jet::RowLocation at) {
    const jet::Format& format = formatOf(file);
    return {static_cast<qsizetype>(at.page) * format.pageSize + format.slotTableOffset() +
                2 * at.slot,
            2};
}

Place rowPlace(const QByteArray& file, jet::RowLocation at) {
    const jet::PageFile pages = pagesOf(file);
    const jet::RowBytes row = pages.row(at);
    return {row.fileOffset, row.size};
}

Place fieldPlace(const QByteArray& file, const jet::Table& table, std::size_t row,
                 const QString& column) {
    const jet::PageFile pages = pagesOf(file);
    const jet::TableDefinition def = jet::parseTableDefinition(pages, table.definitionPage);
    const jet::RowBytes bytes = pages.row(*pages.dataOf(table.locations[row], def.page));
    const jet::StoredRow stored(bytes, def, pages.format());
    const auto field = stored.field(*def.column(column));
    return {bytes.fileOffset + (field.data() - bytes.data), static_cast<qsizetype>(field.size())};
}

qsizetype variableOffsetPlace(const QByteArray& file, jet::RowLocation at, std::uint16_t index) {
    const jet::Format& format = formatOf(file);
    EXPECT_FALSE(format.jumpTable) << "only for rows without a jump table";
    const Place row = rowPlace(file, at);
    const qsizetype mask = (get16(file, row.offset) + 7) / 8;
    return row.offset + row.size - mask - 4 - 2 * index;
}

std::uint32_t appendRowPage(QByteArray& file, std::uint32_t owner, const std::vector<NewRow>& rows,
                            bool longValues) {
    const jet::Format& format = formatOf(file);
    QByteArray page(format.pageSize, '\0');
    page[0] = static_cast<char>(jet::DataPage);
    page[1] = 1;
    if (longValues)
        page.replace(jet::kPageOwnerOffset, 4, "LVAL");
    else
        put32(page, jet::kPageOwnerOffset, owner);
    put16(page, format.rowCountOffset, static_cast<std::uint16_t>(rows.size()));
    const qsizetype slotTable = format.slotTableOffset();
    qsizetype end = format.pageSize;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const qsizetype start = end - rows[i].bytes.size();
        page.replace(start, rows[i].bytes.size(), rows[i].bytes);
        put16(page, slotTable + 2 * static_cast<qsizetype>(i),
              static_cast<std::uint16_t>(start | rows[i].flags));
        end = start;
    }
    put16(page, 2, static_cast<std::uint16_t>(end - slotTable - 2 * rows.size()));
    const auto number = static_cast<std::uint32_t>(file.size() / format.pageSize);
    file.append(page);
    return number;
}

void moveRow(QByteArray& file, const jet::Table& table, std::size_t row) {
    const jet::RowLocation at = table.locations[row];
    const Place place = rowPlace(file, at);
    const QByteArray data = file.mid(place.offset, place.size);
    // The moved data is marked deleted, so that only the pointer leads to it.
    const std::uint32_t page =
        appendRowPage(file, table.definitionPage, {{data, jet::kRowDeleted}});
    // The pointer takes the row's first bytes; a row shorter than a pointer cannot move.
    EXPECT_GE(place.size, 4);
    put32(file, place.offset, page << 8);
    const Place slot = slotPlace(file, at);
    put16(file, slot.offset, get16(file, slot.offset) | jet::kRowOverflow);
}

std::vector<std::uint32_t> moveMemo(QByteArray& file, const jet::Table& table, std::size_t row,
                                    const QString& column, bool chained) {
    const Place field = fieldPlace(file, table, row, column);
    const auto header = bytes::loadLittleEndian<std::uint32_t>(file.constData() + field.offset);
    const std::uint32_t length = header & 0x3fffffff;
    const QByteArray data = file.mid(field.offset + 12, length);
    std::vector<std::uint32_t> pointers;
    if (!chained) {
        const std::uint32_t page = appendRowPage(file, 0, {{data}}, true);
        pointers.push_back(page << 8);
        put32(file, field.offset, length | 0x40000000);
    } else {
        // The last piece first, so that each row can point to the next.
        const qsizetype half = data.size() / 2;
        QByteArray second(4, '\0');
        second += data.mid(half);
        const std::uint32_t last = appendRowPage(file, 0, {{second}}, true) << 8;
        QByteArray first(4, '\0');
        put32(first, 0, last);
        first += data.left(half);
        const std::uint32_t head = appendRowPage(file, 0, {{first}}, true) << 8;
        pointers = {head, last};
        put32(file, field.offset, length);
    }
    put32(file, field.offset + 4, pointers.front());
    return pointers;
}

qsizetype usageMapOffset(const QByteArray& file, std::uint32_t definitionPage) {
    const jet::TableDefinition def = jet::parseTableDefinition(pagesOf(file), definitionPage);
    return rowPlace(file, jet::rowAt(def.usageMap)).offset;
}

void inlineUsageMap(QByteArray& file, std::uint32_t definitionPage, std::uint32_t first) {
    const jet::PageFile pages = pagesOf(file);
    const jet::TableDefinition def = jet::parseTableDefinition(pages, definitionPage);
    const Place map = rowPlace(file, jet::rowAt(def.usageMap));
    QByteArray inlineMap(map.size, '\0');
    put32(inlineMap, 1, first);
    for (std::uint32_t page = first; page < pages.pageCount(); ++page) {
        const std::uint32_t bit = page - first;
        if (pages.isDataPageOf(page, definitionPage) &&
            5 + bit / 8 < static_cast<std::uint32_t>(map.size))
            inlineMap[5 + bit / 8] = static_cast<char>(inlineMap[5 + bit / 8] | (1 << (bit % 8)));
    }
    file.replace(map.offset, map.size, inlineMap);
}

void setRowCount(QByteArray& file, std::uint32_t definitionPage, std::uint32_t count) {
    const jet::Format& format = formatOf(file);
    put32(file, qsizetype(definitionPage) * format.pageSize + format.definition.rowCount, count);
}

void setColumnType(QByteArray& file, std::uint32_t definitionPage, const QString& column,
                   std::uint8_t type) {
    const jet::Format& format = formatOf(file);
    const jet::DefinitionLayout& l = format.definition;
    const jet::TableDefinition def = jet::parseTableDefinition(pagesOf(file), definitionPage);
    const jet::Column* found = def.column(column);
    ASSERT_NE(found, nullptr) << column.toStdString();
    const qsizetype start = qsizetype(definitionPage) * format.pageSize;
    const auto physicalIndexes =
        bytes::loadLittleEndian<std::uint32_t>(file.constData() + start + l.physicalIndexCount);
    const qsizetype entry = l.firstEntry + qsizetype(physicalIndexes) * l.physicalIndexEntry +
                            (found - def.columns.data()) * l.columnEntry;
    ASSERT_LT(entry + l.columnEntry, format.pageSize) << "the entry lies on a continuation page";
    file[start + entry + l.columnType] = static_cast<char>(type);
}

} // namespace jetedit

} // namespace tolvane
