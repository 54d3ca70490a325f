#include "support/jetwriter.h"

#include "core/bytes.h"
#include "core/cp1252.h"
#include "core/oledate.h"
#include "db/jet/reader.h"
#include "db/sqlite.h"

#include <QDate>
#include <QLocale>
#include <QTime>

#include <QUuid>
#include <optional>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tolvane {

namespace jetwriter {

namespace {

using jet::Format;

[[noreturn]] void refuse(const QString& what) {
    throw std::invalid_argument(what.toStdString());
}

using SqlRows = QList<QVariantList>;

// The rows a statement on the source database gives, typed as the program reads them.
SqlRows queryRows(SQLite::Database& db, const QString& sql) {
    SqlRows rows;
    try {
        SQLite::Statement query(db, sql.toStdString());
        while (query.executeStep()) {
            QVariantList row;
            for (int c = 0; c < query.getColumnCount(); ++c)
                row << sqlite::value(query, c);
            rows << row;
        }
    } catch (const SQLite::Exception& e) {
        refuse(QStringLiteral("%1: %2").arg(sql, QString::fromUtf8(e.what())));
    }
    return rows;
}

void put8(QByteArray& b, qsizetype at, std::uint8_t v) {
    b[at] = static_cast<char>(v);
}
void put16(QByteArray& b, qsizetype at, std::uint16_t v) {
    bytes::storeLittleEndian(b.data() + at, v);
}
void put32(QByteArray& b, qsizetype at, std::uint32_t v) {
    bytes::storeLittleEndian(b.data() + at, v);
}
// A row's column count, variable column count or offset, one or two bytes wide.
void appendNumber(QByteArray& b, const Format& f, std::uint32_t v) {
    if (f.rowFieldSize == 1)
        b.append(static_cast<char>(v & 0xff));
    else
        bytes::appendLittleEndian(b, static_cast<std::uint16_t>(v));
}

constexpr qsizetype kFreeSpaceOffset = 2;
// A row pointer holds the slot in one byte.
constexpr int kMaxSlots = 255;
constexpr std::uint8_t kFixedFlag = 0x01;
constexpr std::uint8_t kNullableFlag = 0x02;
constexpr std::uint8_t kCompressedText = 0x01;   // in the extended flags
constexpr std::uint8_t kCalculatedColumn = 0xc0; // in the extended flags
// A calculated value: 16 bytes, the value's length in 4, the value, then 3 bytes; a fixed
// column of the calculated kind is 39 bytes long, room for 16 bytes of value.
constexpr qsizetype kCalculatedLengthAt = 16;
constexpr qsizetype kCalculatedHeader = 20;
constexpr qsizetype kCalculatedPadding = 3;
constexpr qsizetype kCalculatedFixedLength = 39;
constexpr std::uint16_t kGeneralSortOrder = 0x0409;
constexpr std::uint8_t kUsageMapPage = 0x05;
constexpr std::uint32_t kTablesFolder = 0x0f000001;

qsizetype fixedSize(std::uint8_t type) {
    switch (type) {
    case jet::Bool:
        return 0;
    case jet::Byte:
        return 1;
    case jet::Int:
        return 2;
    case jet::Long:
    case jet::Float:
    case jet::Complex:
        return 4;
    case jet::Money:
    case jet::Double:
    case jet::DateTime:
    case jet::BigInt:
        return 8;
    case jet::Guid:
        return 16;
    case jet::Numeric:
        return 17;
    case jet::ExtendedDateTime:
        return 42;
    default:
        return -1; // variable
    }
}

bool isText(std::uint8_t type) {
    return type == jet::Text || type == jet::Memo;
}

bool isLongValue(std::uint8_t type) {
    return type == jet::Memo || type == jet::Ole;
}

// A value of a calculated column, with its header and padding.
QByteArray calculatedValue(const QByteArray& value) {
    QByteArray wrapped(kCalculatedHeader, '\0');
    bytes::storeLittleEndian(wrapped.data() + kCalculatedLengthAt,
                             static_cast<std::uint32_t>(value.size()));
    return wrapped + value + QByteArray(kCalculatedPadding, '\0');
}

// A column as the definition stores it.
struct Laid {
    ColumnDef def;
    std::uint16_t number = 0;
    bool fixed = false;
    std::uint16_t fixedOffset = 0;
    std::uint16_t variableIndex = 0;
    std::uint16_t length = 0;
};

// A decimal text or double as a count of units of 10^-scale; throws where that is not exact.
__extension__ typedef unsigned __int128 u128;
u128 decimalUnits(const QVariant& value, std::uint8_t scale, bool& negative) {
    QString text = value.typeId() == QMetaType::Double
                       ? QString::number(value.toDouble(), 'e', QLocale::FloatingPointShortest)
                       : value.toString().trimmed();
    negative = text.startsWith(QLatin1Char('-'));
    if (negative || text.startsWith(QLatin1Char('+')))
        text.remove(0, 1);
    int exponent = 0;
    if (const qsizetype e = text.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive); e >= 0) {
        exponent = text.mid(e + 1).toInt();
        text.truncate(e);
    }
    if (const qsizetype point = text.indexOf(QLatin1Char('.')); point >= 0) {
        exponent -= static_cast<int>(text.size() - point - 1);
        text.remove(point, 1);
    }
    u128 units = 0;
    for (const QChar c : text) {
        if (!c.isDigit())
            refuse(QStringLiteral("\"%1\" is no decimal number").arg(value.toString()));
        units = units * 10 + static_cast<unsigned>(c.digitValue());
    }
    for (int e = exponent + scale; e > 0; --e)
        units *= 10;
    for (int e = exponent + scale; e < 0; ++e) {
        if (units % 10 != 0)
            refuse(QStringLiteral("%1 has more than %2 decimal places")
                       .arg(value.toString())
                       .arg(scale));
        units /= 10;
    }
    return units;
}

// The fewest decimal places that hold a value exactly.
int decimalPlaces(const QVariant& value) {
    for (int scale = 0; scale <= 28; ++scale) {
        try {
            bool negative = false;
            decimalUnits(value, static_cast<std::uint8_t>(scale), negative);
            return scale;
        } catch (const std::invalid_argument&) {
        }
    }
    refuse(QStringLiteral("%1 needs more than 28 decimal places").arg(value.toString()));
}

class Writer {
public:
    explicit Writer(const Options& options)
        : m_options(options)
        , m_format(*options.format) {}

    QByteArray write(const std::vector<TableDef>& tables) {
        m_pages.push_back(headerPage());
        m_pages.push_back(emptyPage()); // Access's own map of the file's pages
        m_pages.push_back(emptyPage()); // the system catalogue's definition
        TableDef catalog;
        catalog.name = QStringLiteral("MSysObjects");
        catalog.columns = {{QStringLiteral("Id"), jet::Long},
                           {QStringLiteral("ParentId"), jet::Long},
                           {QStringLiteral("Name"), jet::Text, 255},
                           {QStringLiteral("Type"), jet::Int},
                           {QStringLiteral("Flags"), jet::Long},
                           // Access's properties of each object; libmdb needs the column.
                           {QStringLiteral("LvProp"), jet::Ole}};
        for (const TableDef& table : tables) {
            const std::uint32_t page = writeTable(table, std::nullopt, false);
            catalog.rows.push_back({qint64(page), qint64(kTablesFolder), table.name, qint64(1),
                                    qint64(0), QVariant()});
        }
        writeTable(catalog, 2, true);
        QByteArray file;
        file.reserve(static_cast<qsizetype>(m_pages.size()) * m_format.pageSize);
        for (const QByteArray& page : m_pages)
            file += page;
        return file;
    }

private:
    QByteArray emptyPage() const { return QByteArray(m_format.pageSize, '\0'); }

    QByteArray headerPage() const {
        QByteArray page = emptyPage();
        const QByteArray head = fileHeader(m_format, m_options.version, jet::kWesternCodePage);
        page.replace(0, head.size(), head);
        return page;
    }

    std::uint32_t addPage(QByteArray page) {
        m_pages.push_back(std::move(page));
        return static_cast<std::uint32_t>(m_pages.size() - 1);
    }

    // A page of rows, filled from its end; owner is the table's definition page or LVAL.
    struct RowPage {
        QByteArray bytes;
        int rows = 0;
        qsizetype end = 0;
    };
    RowPage newRowPage(const QByteArray& owner) const {
        RowPage page{emptyPage(), 0, m_format.pageSize};
        page.bytes[0] = static_cast<char>(jet::DataPage);
        page.bytes[1] = 1;
        page.bytes.replace(jet::kPageOwnerOffset, 4, owner);
        return page;
    }
    bool fits(const RowPage& page, qsizetype size) const {
        const qsizetype slotsEnd = m_format.slotTableOffset() + 2 * (page.rows + 1);
        return page.rows < kMaxSlots && page.end - size >= slotsEnd;
    }
    // Adds a row; returns its slot.
    std::uint16_t addRow(RowPage& page, const QByteArray& row, std::uint16_t flags) const {
        page.end -= row.size();
        page.bytes.replace(page.end, row.size(), row);
        put16(page.bytes, m_format.slotTableOffset() + 2 * page.rows,
              static_cast<std::uint16_t>(page.end | flags));
        ++page.rows;
        put16(page.bytes, m_format.rowCountOffset, static_cast<std::uint16_t>(page.rows));
        put16(page.bytes, kFreeSpaceOffset,
              static_cast<std::uint16_t>(page.end - m_format.slotTableOffset() - 2 * page.rows));
        return static_cast<std::uint16_t>(page.rows - 1);
    }
    qsizetype largestRow() const { return m_format.pageSize - m_format.slotTableOffset() - 2; }

    // Long-value pages, filled one after another.
    std::uint32_t storeLongValue(const QByteArray& row) {
        if (!m_longValues || !fits(*m_longValues, row.size())) {
            if (m_longValues)
                m_pages[m_longValuePage] = m_longValues->bytes;
            m_longValues = newRowPage(QByteArray("LVAL", 4));
            m_longValuePage = addPage(emptyPage());
        }
        const std::uint16_t slot = addRow(*m_longValues, row, 0);
        m_pages[m_longValuePage] = m_longValues->bytes;
        return pointerTo({m_longValuePage, slot});
    }

    // The 12-byte field of a Memo or OLE value in its row, and its data where it lies there.
    QByteArray longValueField(const QByteArray& data) {
        QByteArray field(12, '\0');
        if (data.size() <= m_options.inlineLongValues) {
            put32(field, 0, static_cast<std::uint32_t>(data.size()) | 0x80000000u);
            return field + data;
        }
        if (data.size() <= largestRow()) {
            put32(field, 0, static_cast<std::uint32_t>(data.size()) | 0x40000000u);
            put32(field, 4, storeLongValue(data));
            return field;
        }
        // A chain: each row points to the next, the last to nothing; stored last first.
        const qsizetype piece = largestRow() - 4;
        std::uint32_t next = 0;
        for (qsizetype start = (data.size() - 1) / piece * piece; start >= 0; start -= piece) {
            QByteArray row(4, '\0');
            put32(row, 0, next);
            row += data.mid(start, piece);
            next = storeLongValue(row);
        }
        put32(field, 0, static_cast<std::uint32_t>(data.size()));
        put32(field, 4, next);
        return field;
    }

    QByteArray textBytes(const QString& text, bool memo) const {
        if (m_format.text == jet::TextEncoding::CodePage)
            return toCp1252(text);
        // Access compresses a text where every character is one byte's worth; a memo of
        // more than 1024 characters it stores as it is.
        const bool compressible =
            (!memo || text.size() <= 1024) && std::all_of(text.begin(), text.end(), [](QChar c) {
                return c.unicode() >= 1 && c.unicode() <= 0xff;
            });
        QByteArray out;
        if (compressible && !text.isEmpty()) {
            out = QByteArray("\xff\xfe", 2);
            for (const QChar c : text)
                out += static_cast<char>(c.unicode());
            return out;
        }
        for (const QChar c : text)
            bytes::appendLittleEndian(out, c.unicode());
        return out;
    }

    QByteArray fixedValue(const Laid& column, const QVariant& value) const {
        QByteArray out;
        const auto integer = [&](qint64 low, qint64 high) {
            bool ok = false;
            const qint64 v = value.toLongLong(&ok);
            if (!ok || v < low || v > high)
                refuse(QStringLiteral("%1 does not fit the column %2")
                           .arg(value.toString(), column.def.name));
            return v;
        };
        switch (column.def.type) {
        case jet::Byte:
            out.append(static_cast<char>(integer(0, 255)));
            break;
        case jet::Int:
            bytes::appendLittleEndian(out, static_cast<std::int16_t>(integer(-32768, 32767)));
            break;
        case jet::Long:
        case jet::Complex:
            bytes::appendLittleEndian(out,
                                      static_cast<std::int32_t>(integer(INT32_MIN, INT32_MAX)));
            break;
        case jet::BigInt:
            bytes::appendLittleEndian(out, static_cast<std::int64_t>(value.toLongLong()));
            break;
        case jet::Money:
            bytes::appendLittleEndian(
                out, static_cast<std::int64_t>(std::llround(value.toDouble() * 10000.0)));
            break;
        case jet::Float:
            bytes::appendLittleEndian(out, static_cast<float>(value.toDouble()));
            break;
        case jet::Double:
            bytes::appendLittleEndian(out, value.toDouble());
            break;
        case jet::DateTime: {
            double day = value.toDouble();
            if (value.typeId() == QMetaType::QString) {
                const oledate::Parsed parsed = oledate::fromText(value.toString());
                if (parsed.fault != oledate::TextFault::None)
                    refuse(QStringLiteral("\"%1\" is no date").arg(value.toString()));
                day = parsed.day;
            }
            bytes::appendLittleEndian(out, day);
            break;
        }
        case jet::Guid: {
            const QUuid id(value.toString());
            if (id.isNull())
                refuse(QStringLiteral("\"%1\" is no Replication ID").arg(value.toString()));
            out = id.toRfc4122();
            // Its first three parts are stored little-endian.
            std::reverse(out.begin(), out.begin() + 4);
            std::reverse(out.begin() + 4, out.begin() + 6);
            std::reverse(out.begin() + 6, out.begin() + 8);
            break;
        }
        case jet::ExtendedDateTime: {
            // "YYYY-MM-DD[ HH:MM:SS[.fffffff]]" as days since 0001-01-01, seconds and
            // ten-millionths, in ASCII digits.
            const QString text = value.toString();
            const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
            if (!date.isValid())
                refuse(QStringLiteral("\"%1\" is no date").arg(text));
            qint64 seconds = 0;
            qint64 ticks = 0;
            if (text.size() > 10) {
                const QTime time = QTime::fromString(text.mid(11, 8), Qt::ISODate);
                seconds = time.msecsSinceStartOfDay() / 1000;
                if (text.size() > 20)
                    ticks = text.mid(20).leftJustified(7, QLatin1Char('0')).toLongLong();
            }
            const QString digits = QStringLiteral("%1:%2%3:7")
                                       .arg(QDate(1, 1, 1).daysTo(date), 19, 10, QLatin1Char('0'))
                                       .arg(seconds, 12, 10, QLatin1Char('0'))
                                       .arg(ticks, 7, 10, QLatin1Char('0'));
            out = digits.toLatin1() + QByteArray(1, '\0');
            break;
        }
        case jet::Numeric: {
            bool negative = false;
            u128 units = decimalUnits(value, column.def.scale, negative);
            out.append(static_cast<char>(negative ? 0x80 : 0));
            for (int word = 3; word >= 0; --word)
                bytes::appendLittleEndian(out, static_cast<std::uint32_t>(units >> (32 * word)));
            break;
        }
        default:
            refuse(QStringLiteral("the writer has no fixed type %1").arg(column.def.type));
        }
        return out;
    }

    QByteArray variableValue(const Laid& column, const QVariant& value) {
        switch (column.def.type) {
        case jet::Text:
            return textBytes(value.toString(), false);
        case jet::Binary:
            return value.toByteArray();
        case jet::Memo:
            return longValueField(textBytes(value.toString(), true));
        case jet::Ole:
            return longValueField(value.toByteArray());
        default:
            return value.toByteArray();
        }
    }

    // A calculated Decimal: the length of what follows (2 bytes), the value's own scale, a
    // sign byte, then its units in 12 bytes, a 4-byte little-endian word of the most
    // significant, then an 8-byte one.
    static QByteArray calculatedDecimal(const QVariant& value) {
        const int scale = decimalPlaces(value);
        bool negative = false;
        const u128 units = decimalUnits(value, static_cast<std::uint8_t>(scale), negative);
        if (units >> 96 != 0)
            refuse(QStringLiteral("%1 has too many digits for a calculated Decimal")
                       .arg(value.toString()));
        QByteArray out;
        bytes::appendLittleEndian(out, std::int16_t(14));
        out.append(static_cast<char>(scale));
        out.append(negative ? '\x80' : '\0');
        bytes::appendLittleEndian(out, static_cast<std::uint32_t>(units >> 64));
        bytes::appendLittleEndian(out, static_cast<std::uint64_t>(units));
        return out;
    }

    void placeCalculated(const Laid& column, const QVariant& value, QByteArray& fixed,
                         std::vector<QByteArray>& variable) {
        QByteArray stored;
        switch (column.def.type) {
        case jet::Bool:
            stored = QByteArray(1, value.toLongLong() != 0 ? '\xff' : '\0');
            break;
        case jet::Numeric:
            stored = calculatedDecimal(value);
            break;
        case jet::Text:
            stored = textBytes(value.toString(), false);
            break;
        case jet::Memo:
            // The long value holds the whole calculated value.
            variable[column.variableIndex] =
                longValueField(calculatedValue(textBytes(value.toString(), true)));
            return;
        default:
            stored = fixedValue(column, value);
        }
        stored = calculatedValue(stored);
        if (column.fixed)
            fixed.replace(column.fixedOffset, column.length,
                          stored.leftJustified(column.length, '\0', true));
        else
            variable[column.variableIndex] = stored;
    }

    QByteArray packRow(const std::vector<Laid>& columns, qsizetype fixedBytes, int variableCount,
                       const std::vector<QVariant>& values) {
        if (values.size() != columns.size())
            refuse(QStringLiteral("a row has %1 values for %2 columns")
                       .arg(values.size())
                       .arg(columns.size()));
        const int count = static_cast<int>(columns.size());
        QByteArray mask((count + 7) / 8, '\0');
        QByteArray row;
        appendNumber(row, m_format, static_cast<std::uint32_t>(count));
        QByteArray fixed(fixedBytes, '\0');
        std::vector<QByteArray> variable(static_cast<std::size_t>(variableCount));
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const Laid& column = columns[c];
            const QVariant& value = values[c];
            // A calculated Yes/No keeps its value in the row like any calculated value.
            const bool inNullMask = column.def.type == jet::Bool && !column.def.calculated;
            const bool set = inNullMask ? value.toLongLong() != 0 : !value.isNull();
            if (set)
                mask[column.number / 8] =
                    static_cast<char>(mask[column.number / 8] | (1 << (column.number % 8)));
            if (!set || inNullMask)
                continue;
            if (column.def.calculated)
                placeCalculated(column, value, fixed, variable);
            else if (column.fixed)
                fixed.replace(column.fixedOffset, column.length, fixedValue(column, value));
            else
                variable[column.variableIndex] = variableValue(column, value);
        }
        row += fixed;
        if (variableCount == 0)
            return row + mask;
        std::vector<qsizetype> offsets;
        for (const QByteArray& data : variable) {
            offsets.push_back(row.size());
            row += data;
        }
        offsets.push_back(row.size()); // where the variable data ends
        if (!m_format.jumpTable) {
            for (auto it = offsets.rbegin(); it != offsets.rend(); ++it)
                appendNumber(row, m_format, static_cast<std::uint32_t>(*it));
            appendNumber(row, m_format, static_cast<std::uint32_t>(variableCount));
            return row + mask;
        }
        // One-byte offsets, and for each further 256 bytes of the row the first entry past
        // them; the table's size follows from the row's, itself included.
        const qsizetype base = row.size() + qsizetype(offsets.size()) + 1 + mask.size();
        qsizetype jumps = 0;
        while ((base + jumps - 1) / 256 != jumps)
            ++jumps;
        for (auto it = offsets.rbegin(); it != offsets.rend(); ++it)
            row.append(static_cast<char>(*it & 0xff));
        const qsizetype needed = offsets.back() / 256;
        if (jumps - needed > 1)
            refuse(QStringLiteral("a row's jump table would need two unused entries"));
        for (qsizetype j = jumps - 1; j >= 0; --j) {
            if (j >= needed) {
                row.append('\xff');
                continue;
            }
            const auto first = std::find_if(offsets.begin(), offsets.end(),
                                            [&](qsizetype o) { return o >= 256 * (j + 1); });
            row.append(static_cast<char>(first - offsets.begin()));
        }
        row.append(static_cast<char>(variableCount));
        return row + mask;
    }

    QByteArray definitionBytes(const TableDef& table, const std::vector<Laid>& columns,
                               int variableCount, std::uint32_t rowCount, std::uint32_t usageMap,
                               bool system) const {
        const jet::DefinitionLayout& l = m_format.definition;
        QByteArray def(l.firstEntry, '\0');
        def[0] = static_cast<char>(jet::DefinitionPage);
        def[1] = 1;
        if (m_format.jumpTable)
            def.replace(2, 2, "VC");
        put32(def, l.rowCount, rowCount);
        put8(def, l.variableColumnCount - 3, system ? 0x53 : 0x4e);
        put16(def, l.variableColumnCount - 2, static_cast<std::uint16_t>(columns.size()));
        put16(def, l.variableColumnCount, static_cast<std::uint16_t>(variableCount));
        put16(def, l.columnCount, static_cast<std::uint16_t>(columns.size()));
        put32(def, l.logicalIndexCount, static_cast<std::uint32_t>(table.indexes.size()));
        put32(def, l.physicalIndexCount, static_cast<std::uint32_t>(table.indexes.size()));
        put32(def, l.usageMap, usageMap);
        put32(def, l.usageMap + 4, usageMap + 1); // the map of pages with free space
        def += QByteArray(l.physicalIndexEntry * qsizetype(table.indexes.size()), '\0');
        for (const Laid& c : columns) {
            QByteArray entry(l.columnEntry, '\0');
            put8(entry, l.columnType, c.def.type);
            put16(entry, l.columnNumber, c.number);
            put16(entry, l.columnVariableIndex, c.variableIndex);
            put16(entry, l.columnOtherNumber, c.number);
            if (c.def.type == jet::Numeric) {
                put8(entry, l.columnPrecision, c.def.precision);
                put8(entry, l.columnScale, c.def.scale);
            } else if (isText(c.def.type)) {
                if (m_format.jumpTable) { // Jet 3: the sort order, then the code page
                    put16(entry, l.columnPrecision - 2, kGeneralSortOrder);
                    put16(entry, l.columnPrecision, jet::kWesternCodePage);
                } else {
                    put16(entry, l.columnPrecision, kGeneralSortOrder);
                }
            }
            put8(entry, l.columnFlags, (c.fixed ? kFixedFlag : 0) | kNullableFlag);
            if (l.columnExtendedFlags >= 0)
                put8(entry, l.columnExtendedFlags,
                     (isText(c.def.type) ? kCompressedText : 0) |
                         (c.def.calculated ? kCalculatedColumn : 0));
            put16(entry, l.columnFixedOffset, c.fixedOffset);
            put16(entry, l.columnLength, c.length);
            def += entry;
        }
        const auto name = [&](const QString& text) {
            const QByteArray bytes =
                m_format.text == jet::TextEncoding::CodePage
                    ? toCp1252(text)
                    : QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
            if (l.nameLengthSize == 1)
                def.append(static_cast<char>(bytes.size()));
            else
                bytes::appendLittleEndian(def, static_cast<std::uint16_t>(bytes.size()));
            def += bytes;
        };
        for (const Laid& c : columns)
            name(c.def.name);
        for (const IndexDef& index : table.indexes) {
            def += QByteArray(l.indexColumnsBefore, '\0');
            for (int k = 0; k < 10; ++k) {
                std::uint16_t number = 0xffff;
                if (k < index.columns.size()) {
                    const auto column =
                        std::find_if(columns.begin(), columns.end(), [&](const Laid& c) {
                            return c.def.name.compare(index.columns[k], Qt::CaseInsensitive) == 0;
                        });
                    if (column == columns.end())
                        refuse(QStringLiteral("the index %1 names no column %2")
                                   .arg(index.name, index.columns[k]));
                    number = column->number;
                }
                bytes::appendLittleEndian(def, number);
                def.append(number == 0xffff ? '\0' : '\1');
            }
            def += QByteArray(l.indexColumnsAfter, '\0');
        }
        for (qsizetype i = 0; i < qsizetype(table.indexes.size()); ++i) {
            QByteArray entry(l.logicalIndexEntry, '\0');
            put32(entry, l.logicalIndexPhysical - 4, static_cast<std::uint32_t>(i));
            put32(entry, l.logicalIndexPhysical, static_cast<std::uint32_t>(i));
            put32(entry, l.logicalIndexPhysical + 5, 0xffffffffu); // no relationship
            def += entry;
        }
        for (const IndexDef& index : table.indexes)
            name(index.name);
        bytes::appendLittleEndian(def, std::uint16_t(0xffff));
        put32(def, 8, static_cast<std::uint32_t>(def.size()));
        return def;
    }

    // Writes the definition over as many pages as it needs, the first at page.
    void placeDefinition(const QByteArray& def, std::uint32_t first) {
        constexpr qsizetype kContinuationHeader = 8;
        m_pages[first] = def.left(m_format.pageSize).leftJustified(m_format.pageSize, '\0');
        std::uint32_t previous = first;
        for (qsizetype at = m_format.pageSize; at < def.size();
             at += m_format.pageSize - kContinuationHeader) {
            QByteArray page = emptyPage();
            page[0] = static_cast<char>(jet::DefinitionPage);
            page[1] = 1;
            if (m_format.jumpTable)
                page.replace(2, 2, "VC");
            const QByteArray part = def.mid(at, m_format.pageSize - kContinuationHeader);
            page.replace(kContinuationHeader, part.size(), part);
            const std::uint32_t number = addPage(page);
            put32(m_pages[previous], 4, number);
            previous = number;
        }
    }

    // The row that lists the table's data pages: a bitmap in the row where they lie close
    // together, else pointers to pages of bitmap.
    QByteArray usageMap(const std::vector<std::uint32_t>& pages) {
        const qsizetype size = m_format.jumpTable ? 128 : 64;
        QByteArray map(size, '\0');
        if (pages.empty())
            return map;
        const std::uint32_t first = pages.front();
        if ((pages.back() - first) < std::uint32_t(size - 5) * 8) {
            put32(map, 1, first);
            for (const std::uint32_t page : pages)
                map[5 + (page - first) / 8] =
                    static_cast<char>(map[5 + (page - first) / 8] | (1 << ((page - first) % 8)));
            return map;
        }
        map[0] = 1;
        const qsizetype bitmapBytes = m_format.pageSize - 4;
        const std::uint32_t perPage = static_cast<std::uint32_t>(bitmapBytes * 8);
        std::map<std::uint32_t, QByteArray> bitmaps;
        for (const std::uint32_t page : pages) {
            QByteArray& bitmap = bitmaps[page / perPage];
            if (bitmap.isEmpty()) {
                bitmap = emptyPage();
                bitmap[0] = static_cast<char>(kUsageMapPage);
                bitmap[1] = 1;
            }
            const std::uint32_t bit = page % perPage;
            bitmap[4 + bit / 8] = static_cast<char>(bitmap[4 + bit / 8] | (1 << (bit % 8)));
        }
        for (const auto& [k, bitmap] : bitmaps) {
            if (1 + 4 * (qsizetype(k) + 1) > size)
                refuse(QStringLiteral("the file is too large for a usage map"));
            put32(map, 1 + 4 * k, addPage(bitmap));
        }
        return map;
    }

    // Returns the table's definition page.
    std::uint32_t writeTable(const TableDef& table, std::optional<std::uint32_t> definitionPage,
                             bool system) {
        const std::uint32_t def = definitionPage ? *definitionPage : addPage(emptyPage());
        std::vector<Laid> columns;
        qsizetype fixedBytes = 0;
        int variableCount = 0;
        for (const ColumnDef& def : table.columns) {
            Laid c;
            c.def = def;
            c.number = static_cast<std::uint16_t>(columns.size());
            const qsizetype size = fixedSize(def.type);
            c.fixed = size >= 0;
            // A calculated value takes its header and padding besides.
            const qsizetype extra =
                def.calculated ? kCalculatedHeader + kCalculatedPadding : qsizetype(0);
            if (c.fixed) {
                // Access makes every fixed calculated column 39 bytes long, room for 16
                // bytes of value (a calculated Decimal's among them).
                const qsizetype length =
                    def.calculated
                        ? std::max(kCalculatedFixedLength,
                                   extra + (def.type == jet::Numeric ? qsizetype(16) : size))
                        : size;
                c.fixedOffset = static_cast<std::uint16_t>(fixedBytes);
                c.length = static_cast<std::uint16_t>(length);
                fixedBytes += length;
            } else {
                c.variableIndex = static_cast<std::uint16_t>(variableCount++);
                const int unit =
                    def.type == jet::Text && m_format.text == jet::TextEncoding::Ucs2 ? 2 : 1;
                c.length =
                    isLongValue(def.type)
                        ? 0
                        : static_cast<std::uint16_t>(std::max<int>(def.size, 1) * unit + extra);
            }
            columns.push_back(c);
        }

        // The rows, then the moved rows' data on pages of their own after them.
        QByteArray owner(4, '\0');
        put32(owner, 0, def);
        std::vector<std::uint32_t> dataPages;
        std::vector<std::pair<std::uint32_t, qsizetype>> pointers; // page, offset of each
        std::vector<qsizetype> pointersOnPage;
        std::vector<QByteArray> movedData;
        RowPage page = newRowPage(owner);
        const auto flush = [&] {
            if (page.rows == 0)
                return;
            const std::uint32_t number = addPage(page.bytes);
            dataPages.push_back(number);
            for (const qsizetype offset : pointersOnPage)
                pointers.push_back({number, offset});
            pointersOnPage.clear();
            page = newRowPage(owner);
        };
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const QByteArray row = packRow(columns, fixedBytes, variableCount, table.rows[r]);
            if (row.size() > largestRow())
                refuse(QStringLiteral("a row of %1 is too long for a page").arg(table.name));
            const bool move = std::find(table.movedRows.begin(), table.movedRows.end(), r) !=
                              table.movedRows.end();
            const qsizetype size = move ? 4 : row.size();
            if (!fits(page, size))
                flush();
            if (!move) {
                addRow(page, row, 0);
                continue;
            }
            addRow(page, QByteArray(4, '\0'), jet::kRowOverflow);
            pointersOnPage.push_back(page.end);
            movedData.push_back(row);
        }
        flush();
        std::vector<jet::RowLocation> targets;
        std::vector<std::uint16_t> slotsOnPage;
        const auto flushMoved = [&] {
            if (page.rows == 0)
                return;
            const std::uint32_t number = addPage(page.bytes);
            dataPages.push_back(number);
            for (const std::uint16_t slot : slotsOnPage)
                targets.push_back({number, slot});
            slotsOnPage.clear();
            page = newRowPage(owner);
        };
        for (const QByteArray& row : movedData) {
            if (!fits(page, row.size()))
                flushMoved();
            slotsOnPage.push_back(addRow(page, row, jet::kRowDeleted));
        }
        flushMoved();
        for (std::size_t i = 0; i < pointers.size(); ++i)
            put32(m_pages[pointers[i].first], pointers[i].second, pointerTo(targets[i]));
        if (m_longValues) {
            m_pages[m_longValuePage] = m_longValues->bytes;
            m_longValues.reset();
        }

        // The usage maps, then the definition that points to them.
        RowPage maps = newRowPage(QByteArray(4, '\0'));
        std::sort(dataPages.begin(), dataPages.end());
        addRow(maps, usageMap(dataPages), 0);
        addRow(maps, usageMap({}), 0);
        const std::uint32_t mapPage = addPage(maps.bytes);
        placeDefinition(definitionBytes(table, columns, variableCount,
                                        static_cast<std::uint32_t>(table.rows.size()),
                                        pointerTo({mapPage, 0}), system),
                        def);
        return def;
    }

    const Options& m_options;
    const Format& m_format;
    std::vector<QByteArray> m_pages;
    std::optional<RowPage> m_longValues;
    std::uint32_t m_longValuePage = 0;
};

} // namespace

QByteArray fileHeader(const jet::Format& format, std::uint8_t version, std::uint16_t codePage) {
    constexpr qsizetype kMaskedOffset = 0x18;
    constexpr qsizetype kSignatureOffset = 4;
    constexpr qsizetype kVersionOffset = 0x14;
    constexpr qsizetype kCodePageOffset = 0x3c;
    QByteArray head(kMaskedOffset + format.maskedHeaderSize, '\0');
    head[1] = 1;
    const QByteArray signature(format.engine == jet::Engine::Ace ? "Standard ACE DB"
                                                                 : "Standard Jet DB",
                               16); // with its terminating zero
    head.replace(kSignatureOffset, signature.size(), signature);
    head[kVersionOffset] = static_cast<char>(version);
    put16(head, kCodePageOffset, codePage);
    jet::maskHeader(head, format);
    return head;
}

QByteArray writeDatabase(const std::vector<TableDef>& tables, const Options& options) {
    return Writer(options).write(tables);
}

std::vector<TableDef> tablesOf(const QString& sqlitePath, const ColumnTypes& types) {
    std::vector<TableDef> tables;
    std::optional<SQLite::Database> source;
    try {
        source.emplace(sqlitePath.toStdString(), SQLite::OPEN_READONLY);
    } catch (const SQLite::Exception&) {
        refuse(QStringLiteral("cannot open %1").arg(sqlitePath));
    }
    SQLite::Database& db = *source;
    {
        for (const QVariantList& name : queryRows(
                 db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER "
                                    "BY rowid"))) {
            TableDef table;
            table.name = name.front().toString();
            const auto typed = std::find_if(types.begin(), types.end(), [&](const auto& t) {
                return t.first.compare(table.name, Qt::CaseInsensitive) == 0;
            });
            for (const QVariantList& row : queryRows(
                     db, QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table.name)))
                table.rows.emplace_back(row.begin(), row.end());
            const SqlRows columns = queryRows(
                db, QStringLiteral("SELECT name, type FROM pragma_table_info('%1') ORDER BY cid")
                        .arg(table.name));
            for (int c = 0; c < columns.size(); ++c) {
                ColumnDef def;
                def.name = columns[c][0].toString();
                const QString declared = columns[c][1].toString().toUpper();
                if (typed != types.end()) {
                    const auto found = std::find_if(
                        typed->second.begin(), typed->second.end(), [&](const auto& t) {
                            return t.first.compare(def.name, Qt::CaseInsensitive) == 0;
                        });
                    if (found != typed->second.end()) {
                        table.columns.push_back(found->second);
                        continue;
                    }
                }
                if (declared.contains(QLatin1String("INT"))) {
                    def.type = jet::Long;
                } else if (declared.contains(QLatin1String("REAL"))) {
                    def.type = jet::Double;
                } else {
                    qsizetype longest = 0;
                    for (const auto& row : table.rows)
                        longest =
                            std::max(longest, row[static_cast<std::size_t>(c)].toString().size());
                    def.type = longest > 255 ? jet::Memo : jet::Text;
                    def.size = 255;
                }
                table.columns.push_back(def);
            }
            tables.push_back(std::move(table));
        }
    }
    return tables;
}

ColumnTypes columnTypesOf(const QString& accessPath) {
    ColumnTypes types;
    const jet::Reader reader(accessPath);
    for (const QString& name : reader.tableNames()) {
        const std::optional<jet::Table> table = reader.streamTable(name, {}, [](const auto&) {});
        for (const jet::Column& c : table->columns) {
            ColumnDef def{c.name, c.type, 0, c.precision, c.scale};
            if (c.type == jet::Text || c.type == jet::Binary)
                def.size = static_cast<std::uint16_t>(
                    c.type == jet::Text && reader.format().text == jet::TextEncoding::Ucs2
                        ? c.length / 2
                        : c.length);
            types[table->name][c.name] = def;
        }
    }
    return types;
}

void makeDecimal(TableDef& table, const QStringList& columns) {
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        ColumnDef& def = table.columns[c];
        if (!columns.contains(def.name, Qt::CaseInsensitive))
            continue;
        int scale = 0;
        for (const auto& row : table.rows) {
            if (!row[c].isNull())
                scale = std::max(scale, decimalPlaces(row[c]));
        }
        def.type = jet::Numeric;
        def.precision = 28;
        def.scale = static_cast<std::uint8_t>(scale);
        for (auto& row : table.rows) {
            if (row[c].isNull())
                continue;
            bool negative = false;
            u128 units = decimalUnits(row[c], def.scale, negative);
            QString digits;
            for (u128 n = units; n != 0 || digits.size() <= scale; n /= 10)
                digits.prepend(QLatin1Char(char('0' + int(n % 10))));
            if (scale > 0)
                digits.insert(digits.size() - scale, QLatin1Char('.'));
            row[c] = negative ? QLatin1Char('-') + digits : digits;
        }
    }
}

QByteArray seasonFile(const QString& folder, const QString& name, const SeasonLayout& layout) {
    const QString base = folder + QLatin1Char('/') + name;
    std::vector<TableDef> tables =
        tablesOf(base + QStringLiteral(".sqlite"), columnTypesOf(base + QStringLiteral(".mdb")));
    for (TableDef& table : tables) {
        const bool ratings = table.name.compare(QLatin1String("Ratings"), Qt::CaseInsensitive) == 0;
        if (layout.movedRows && ratings) {
            for (std::size_t r = 0; r < table.rows.size(); r += 5)
                table.movedRows.push_back(r);
        }
        if (layout.decimal) {
            QStringList floating;
            for (const ColumnDef& c : table.columns) {
                if (c.type == jet::Double || c.type == jet::Float || c.type == jet::Money)
                    floating << c.name;
            }
            makeDecimal(table, floating);
        }
    }
    return writeDatabase(tables, layout.options);
}

} // namespace jetwriter

} // namespace tolvane
