#include "db/jet/reader.h"

#include "core/bytes.h"
#include "core/fileops.h"
#include "core/oledate.h"
#include "core/patcherror.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <bit>
#include <cmath>
#include <unordered_set>

namespace tolvane {

namespace jet {

namespace {

// The system catalogue's definition always starts on page 2.
constexpr std::uint32_t kCatalogPage = 2;
constexpr std::int16_t kTableObject = 1;
// Flags that mark one of Access's own tables.
constexpr std::uint32_t kSystemTableFlags = 0x80000002;
constexpr std::uint32_t kObjectPageMask = 0x00ffffff;
// A page of usage bitmap starts with this header; its bits cover the pages after it.
constexpr qsizetype kBitmapPageHeader = 4;

// A long value (Memo, OLE Object) in a row: 4 bytes of length and kind, a pointer to its
// first long-value row, 4 unused bytes, then the data itself when it is stored inline.
constexpr qsizetype kLongValueHeader = 12;
constexpr std::uint32_t kLongValueLengthMask = 0x3fffffff;
enum LongValueKind : std::uint32_t { Chained = 0, SingleRow = 1, Inline = 2 };

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
        const qsizetype bitmapBytes = pages.pageSize() - kBitmapPageHeader;
        for (qsizetype k = 0; 1 + 4 * (k + 1) <= map.size; ++k) {
            const auto bitmapPage = bytes::loadLittleEndian<std::uint32_t>(map.data + 1 + 4 * k);
            if (bitmapPage != 0)
                scan(pages.page(bitmapPage) + kBitmapPageHeader, bitmapBytes,
                     static_cast<std::uint64_t>(k) * bitmapBytes * 8);
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
    buffer.reserve(std::min<qsizetype>(length, pages.pageCount() * pages.pageSize()));
    // A damaged file may chain every row it has; a set keeps the loop check linear.
    std::unordered_set<std::uint32_t> seen;
    while (buffer.size() < length) {
        if (pointer == 0)
            malformed(QStringLiteral("Its chain of long-value rows ends after %1 of its %2 bytes.")
                          .arg(buffer.size())
                          .arg(length));
        if (!seen.insert(pointer).second)
            malformed(QStringLiteral("Its chain of long-value rows loops back to row %1 of page "
                                     "%2.")
                          .arg(rowAt(pointer).slot)
                          .arg(rowAt(pointer).page));
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

// A Replication ID as Access shows it: its first three parts are little-endian numbers.
QString guidText(const unsigned char* b) {
    QString text = QStringLiteral("{%1-%2-%3-")
                       .arg(bytes::loadLittleEndian<std::uint32_t>(b), 8, 16, QLatin1Char('0'))
                       .arg(bytes::loadLittleEndian<std::uint16_t>(b + 4), 4, 16, QLatin1Char('0'))
                       .arg(bytes::loadLittleEndian<std::uint16_t>(b + 6), 4, 16, QLatin1Char('0'));
    for (int i = 8; i < 16; ++i) {
        if (i == 10)
            text += QLatin1Char('-');
        text += QStringLiteral("%1").arg(b[i], 2, 16, QLatin1Char('0'));
    }
    return text.toUpper() + QLatin1Char('}');
}

// A Decimal value: a sign byte, then a 128-bit count of units of 10^-scale, stored as four
// 32-bit little-endian words, the most significant first. Where the value is exactly a
// double it is that double; otherwise the exact decimal text, which a double would round.
QVariant decimalValue(const unsigned char* b, std::uint8_t scale) {
    // GCC and Clang have 128-bit integers on every target the program is built for.
    __extension__ typedef unsigned __int128 u128;
    // 10^38 is the largest power of ten that 128 bits hold.
    if (scale > 38)
        malformed(QStringLiteral("Its scale of %1 decimal places is more than a Decimal can "
                                 "have.")
                      .arg(scale));
    u128 units = 0;
    for (int word = 0; word < 4; ++word)
        units = units << 32 | bytes::loadLittleEndian<std::uint32_t>(b + 1 + 4 * word);
    const bool negative = (b[0] & 0x80) != 0;

    // units / 10^scale = (units / 5^scale) / 2^scale, a double exactly when 5^scale divides
    // units and what remains, stripped of factors of two, fits a double's 53 bits.
    u128 five = 1;
    for (int i = 0; i < scale; ++i)
        five *= 5;
    if (units % five == 0) {
        u128 odd = units / five;
        int exponent = -scale;
        while (odd != 0 && (odd & 1) == 0) {
            odd >>= 1;
            ++exponent;
        }
        if (odd < (u128(1) << 53)) {
            const double value = std::ldexp(static_cast<double>(odd), exponent);
            return negative && units != 0 ? -value : value;
        }
    }
    QString digits;
    for (u128 n = units; n != 0 || digits.size() <= scale; n /= 10)
        digits.prepend(QLatin1Char(char('0' + int(n % 10))));
    if (scale > 0) {
        digits.insert(digits.size() - scale, QLatin1Char('.'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        if (digits.endsWith(QLatin1Char('.')))
            digits.chop(1);
    }
    return negative ? QLatin1Char('-') + digits : digits;
}

// An extended date and time (ACE): 42 bytes of ASCII, the days since 0001-01-01 in 19
// digits, a colon, the seconds of the day in 12 digits and their ten-millionths in 7, then
// ":7" and a zero byte. Given as "YYYY-MM-DD HH:MM:SS.fffffff", the time left off at
// midnight and the fraction where it is 0.
QString extendedDateText(std::span<const unsigned char> field) {
    const auto number = [&](qsizetype from, qsizetype digits) {
        qint64 value = 0;
        for (qsizetype i = from; i < from + digits; ++i) {
            if (field[i] < '0' || field[i] > '9')
                malformed(QStringLiteral("Its extended date is not written in digits."));
            value = value * 10 + (field[i] - '0');
        }
        return value;
    };
    constexpr qsizetype kDays = 0, kSeconds = 20, kTicks = 32, kSize = 42;
    if (static_cast<qsizetype>(field.size()) < kSize)
        malformed(
            QStringLiteral("Its extended date is %1 bytes, too short for one.").arg(field.size()));
    const qint64 days = number(kDays, 19);
    const qint64 seconds = number(kSeconds, 12);
    const qint64 ticks = number(kTicks, 7);
    // 0001-01-01 to 9999-12-31 is 3,652,059 days.
    if (days >= 3652059 || seconds >= 86400)
        malformed(QStringLiteral("Its extended date lies outside the years 1 to 9999."));
    // Days to a civil date in the proleptic Gregorian calendar, counted from 0000-03-01.
    const qint64 z = days + 306;
    const qint64 era = z / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const qint64 day = doy - (153 * mp + 2) / 5 + 1;
    const qint64 month = mp < 10 ? mp + 3 : mp - 9;
    const qint64 year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    QString text = QStringLiteral("%1-%2-%3")
                       .arg(year, 4, 10, QLatin1Char('0'))
                       .arg(month, 2, 10, QLatin1Char('0'))
                       .arg(day, 2, 10, QLatin1Char('0'));
    if (seconds == 0 && ticks == 0)
        return text;
    text += QStringLiteral(" %1:%2:%3")
                .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (ticks != 0) {
        QString fraction = QStringLiteral("%1").arg(ticks, 7, 10, QLatin1Char('0'));
        while (fraction.endsWith(QLatin1Char('0')))
            fraction.chop(1);
        text += QLatin1Char('.') + fraction;
    }
    return text;
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
    const auto text = [&](std::span<const unsigned char> bytes) {
        return pages.text(bytes.data(), static_cast<qsizetype>(bytes.size()));
    };
    switch (column.type) {
    case Byte:
        return qint64(*need(1));
    case Int:
        return qint64(bytes::loadLittleEndian<std::int16_t>(need(2)));
    case Long:
        return qint64(bytes::loadLittleEndian<std::int32_t>(need(4)));
    case BigInt:
        return qint64(bytes::loadLittleEndian<std::int64_t>(need(8)));
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
    case ExtendedDateTime:
        return extendedDateText(field);
    case Numeric:
        return decimalValue(need(17), column.scale);
    case Guid:
        return guidText(need(16));
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
        malformed(QStringLiteral("It is of the %1, whose values this program cannot read.")
                      .arg(columnTypeName(column.type)));
    }
}

const Column& requireColumn(const TableDefinition& def, const QString& name) {
    const Column* column = def.column(name);
    if (!column)
        malformed(QStringLiteral("The system catalogue has no column \"%1\".").arg(name));
    return *column;
}

// Why the reader leaves a column out of its table; empty when it reads it.
QString leftOutReason(const Column& column) {
    if (column.type == Complex)
        return QStringLiteral("an attachment or multivalued list, whose values Access keeps "
                              "in hidden tables");
    if (column.calculated)
        return QStringLiteral("a calculated column, whose values Access computes from the "
                              "other columns");
    return QString();
}

// Names of the code pages Windows uses for the texts of Access 97 files.
QString codePageName(std::uint16_t codePage) {
    switch (codePage) {
    case 874:
        return QStringLiteral(" (Thai)");
    case 932:
        return QStringLiteral(" (Japanese)");
    case 936:
        return QStringLiteral(" (Simplified Chinese)");
    case 949:
        return QStringLiteral(" (Korean)");
    case 950:
        return QStringLiteral(" (Traditional Chinese)");
    case 1250:
        return QStringLiteral(" (Central European)");
    case 1251:
        return QStringLiteral(" (Cyrillic)");
    case 1253:
        return QStringLiteral(" (Greek)");
    case 1254:
        return QStringLiteral(" (Turkish)");
    case 1255:
        return QStringLiteral(" (Hebrew)");
    case 1256:
        return QStringLiteral(" (Arabic)");
    case 1257:
        return QStringLiteral(" (Baltic)");
    case 1258:
        return QStringLiteral(" (Vietnamese)");
    default:
        return QString();
    }
}

} // namespace

StoredRow::StoredRow(const RowBytes& row, const TableDefinition& definition, const Format& format)
    : m_row(row)
    , m_format(format) {
    const int size = format.rowFieldSize;
    if (row.size < size)
        malformed(
            QStringLiteral("The row is %1 bytes, too short for its column count.").arg(row.size));
    m_columnCount = number(0);
    m_nullMask = row.size - (m_columnCount + 7) / 8;
    if (m_nullMask < size)
        malformed(QStringLiteral("The row claims %1 columns, whose null mask does not fit its %2 "
                                 "bytes.")
                      .arg(m_columnCount)
                      .arg(row.size));
    m_fixedEnd = m_nullMask;
    if (definition.variableColumnCount == 0)
        return;
    if (m_nullMask < 2 * size)
        malformed(QStringLiteral("The row is %1 bytes, too short for its variable columns.")
                      .arg(row.size));
    m_variableCount = number(m_nullMask - size);
    if (format.jumpTable) {
        // One-byte offsets reach 255; the jump table holds, for each further 256 bytes of the
        // row, the first entry whose offset lies past them. Its size follows from the row's,
        // and its last entry goes unused where the table itself lies before that boundary.
        m_jumpCount = static_cast<int>((row.size - 1) / 256);
        m_firstJump = m_nullMask - size - 1;
    }
    m_entries = m_nullMask - size - m_jumpCount - size;
    m_variableEnd = m_entries - size * qsizetype(m_variableCount);
    if (m_variableEnd < size)
        malformed(QStringLiteral("The row claims %1 variable columns, more than fit its %2 "
                                 "bytes.")
                      .arg(m_variableCount)
                      .arg(row.size));
    if (m_jumpCount > 0 && m_variableEnd / 256 < m_jumpCount)
        --m_jumpCount;
    m_fixedEnd = variableOffset(0);
    if (m_fixedEnd < size || m_fixedEnd > m_variableEnd)
        malformed(QStringLiteral("The row's variable columns start at byte %1, outside its %2 "
                                 "bytes.")
                      .arg(m_fixedEnd)
                      .arg(row.size));
}

std::uint16_t StoredRow::number(qsizetype at) const {
    return m_format.rowFieldSize == 1 ? m_row.data[at]
                                      : bytes::loadLittleEndian<std::uint16_t>(m_row.data + at);
}

qsizetype StoredRow::variableOffset(std::uint16_t index) const {
    // The table is stored backwards from the variable column count; its last entry is
    // where the variable data ends.
    qsizetype offset = number(m_entries - m_format.rowFieldSize * qsizetype(index));
    for (int j = 0; j < m_jumpCount; ++j) {
        if (m_row.data[m_firstJump - j] <= index)
            offset += 256;
    }
    return offset;
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
        start = m_format.rowFieldSize + qsizetype(column.fixedOffset);
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
        if (start < m_format.rowFieldSize || end < start || end > m_variableEnd)
            malformed(QStringLiteral("Its value runs from byte %1 to byte %2, outside the row's "
                                     "%3 bytes of data.")
                          .arg(start)
                          .arg(end)
                          .arg(m_variableEnd));
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

QByteArray fileDigest(QByteArrayView bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_256);
}

QByteArray fileDigest(const QString& path, const QString& operation) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Blake2b_256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        throw PatchError(operation, path, file.errorString());
    return hash.result();
}

Reader::Reader(const QString& path, const QString& operation)
    : Reader(path, fileops::readWholeFile(path, operation), operation) {}

Reader::Reader(const QString& path, QByteArray contents, const QString& operation)
    : m_path(path)
    , m_file(std::move(contents)) {
    const std::optional<FileHeader> header = readHeader(m_file);
    if (!header)
        throw PatchError(operation, path,
                         QStringLiteral("The file is not a Microsoft Access database."));
    if (header->encrypted())
        throw PatchError(operation, path, encryptedReason(header->format->engine));
    const Format* format = header->format;
    try {
        m_pages.emplace(m_file, *format);
    } catch (const PatchError& e) {
        rethrowAt(e, path, QString());
    }
    const std::uint16_t codePage = header->codePage;
    if (format->text == TextEncoding::CodePage && codePage != kWesternCodePage)
        throw PatchError(operation, path,
                         QStringLiteral("The file is %1 whose texts are in code page %2%3, and "
                                        "the program reads such files only in code page 1252 "
                                        "(Western European). Save it in Access as an Access "
                                        "2000 or later database, whose texts are Unicode.")
                             .arg(formatName(format->engine, false))
                             .arg(codePage)
                             .arg(codePageName(codePage)));
    try {
        readCatalog();
    } catch (const PatchError& e) {
        rethrowAt(e, QStringLiteral("%1\nSystem catalogue").arg(path), QString());
    }
}

Reader::~Reader() = default;

QByteArray Reader::digest() const {
    if (m_digest.isEmpty())
        m_digest = fileDigest(m_file);
    return m_digest;
}

template <class Visit>
void Reader::forEachRow(const TableDefinition& definition, Visit visit) const {
    const PageFile& pages = *m_pages;
    for (const std::uint32_t page : usedPages(pages, definition)) {
        // Pages a table gave up stay in its map; only its own data pages hold its rows.
        if (!pages.isDataPageOf(page, definition.page))
            continue;
        const std::uint16_t rowCount = pages.slotCount(page);
        for (std::uint16_t slot = 0; slot < rowCount; ++slot) {
            const RowLocation listed{page, slot};
            // A deleted row's bounds mean nothing; it is passed over unread, and so is a
            // moved row's data, which its pointer leads to.
            const std::optional<RowLocation> data = pages.dataOf(listed, definition.page);
            if (data)
                visit(pages.row(*data), listed);
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
        const StoredRow row(bytes, catalog, format());
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
    std::vector<std::vector<QVariant>> rows;
    std::optional<Table> table = streamTable(
        name, [&](const Table& t) { rows.reserve(t.locations.capacity()); },
        [&](const std::vector<QVariant>& values) { rows.push_back(values); });
    if (table)
        table->rows = std::move(rows);
    return table;
}

std::optional<Table> Reader::streamTable(const QString& name, const TableStart& start,
                                         const RowVisitor& visit) const {
    const auto entry = std::find_if(m_tables.begin(), m_tables.end(), [&](const CatalogEntry& e) {
        return e.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (entry == m_tables.end())
        return std::nullopt;
    Table table;
    table.name = entry->name;
    table.definitionPage = entry->page;
    table.fileDigest = digest();
    const QString tableTarget = QStringLiteral("%1\nTable %2").arg(m_path, table.name);

    TableDefinition def;
    try {
        def = parseTableDefinition(*m_pages, entry->page);
    } catch (const PatchError& e) {
        rethrowAt(e, tableTarget, QString());
    }
    std::vector<Column> columns = def.columns;
    std::stable_sort(columns.begin(), columns.end(),
                     [](const Column& a, const Column& b) { return a.number < b.number; });
    for (Column& column : columns) {
        const QString reason = leftOutReason(column);
        if (reason.isEmpty())
            table.columns.push_back(std::move(column));
        else
            table.leftOut.push_back({column.name, reason});
    }
    // The count comes from the file; it only sizes a first allocation.
    table.locations.reserve(std::min<std::size_t>(def.rowCount, 65536));
    if (start)
        start(table);

    // Where a failure happened, for its message: the row being read, and its column.
    std::optional<RowLocation> inRow;
    const Column* current = nullptr;
    QByteArray buffer;
    std::vector<QVariant> values(table.columns.size());
    try {
        forEachRow(def, [&](const RowBytes& bytes, RowLocation location) {
            inRow = location;
            const StoredRow row(bytes, def, format());
            for (std::size_t c = 0; c < table.columns.size(); ++c) {
                current = &table.columns[c];
                values[c] = cellValue(*m_pages, row, *current, buffer);
            }
            current = nullptr;
            visit(values);
            inRow.reset();
            table.locations.push_back(location);
        });
    } catch (const PatchError& e) {
        if (!inRow)
            rethrowAt(e, tableTarget, QString());
        rethrowAt(e, rowTarget(m_path, table.name, table.locations.size(), *inRow),
                  current ? current->name : QString());
    }
    if (table.locations.size() != def.rowCount)
        throw PatchError(readOperation(), tableTarget,
                         QStringLiteral("The table's definition counts %1 rows, but its data "
                                        "pages hold %2; the file is damaged. Compact and repair "
                                        "the database in Access, then try again.")
                             .arg(def.rowCount)
                             .arg(table.locations.size()));
    return table;
}

} // namespace jet

} // namespace tolvane
