#include "db/jet/pages.h"

#include "core/bytes.h"
#include "core/cp1252.h"
#include "core/patcherror.h"

#include <algorithm>
#include <vector>

namespace tolvane {

namespace jet {

namespace {

// A moved row points to its data, which never moves again; more hops mean a damaged file.
constexpr int kMaxRowHops = 8;

} // namespace

QString readOperation() {
    return QStringLiteral("Cannot read the Access database");
}

void malformed(const QString& cause) {
    throw PatchError(readOperation(), QString(), cause);
}

PageFile::PageFile(const QByteArray& file, const Format& format)
    : m_file(file)
    , m_format(format) {
    if (file.size() % format.pageSize != 0)
        malformed(QStringLiteral("The file is %1 bytes long, which is not a whole number of "
                                 "%2-byte pages; it is truncated or damaged.")
                      .arg(file.size())
                      .arg(format.pageSize));
    // Row pointers give a page 24 bits.
    if (file.size() / format.pageSize > 0xffffff)
        malformed(QStringLiteral("The file is larger than an Access file can be."));
    m_pageCount = static_cast<std::uint32_t>(file.size() / format.pageSize);
}

const unsigned char* PageFile::page(std::uint32_t number) const {
    if (number >= m_pageCount)
        malformed(QStringLiteral("Page %1 lies past the end of the file, which has %2 pages; the "
                                 "file is truncated or damaged.")
                      .arg(number)
                      .arg(m_pageCount));
    return reinterpret_cast<const unsigned char*>(m_file.constData()) +
           static_cast<qsizetype>(number) * pageSize();
}

bool PageFile::isDataPageOf(std::uint32_t number, std::uint32_t table) const {
    const unsigned char* p = page(number);
    return p[0] == DataPage &&
           bytes::loadLittleEndian<std::uint32_t>(p + kPageOwnerOffset) == table;
}

std::uint16_t PageFile::slotCount(std::uint32_t number) const {
    const unsigned char* p = page(number);
    const auto count = bytes::loadLittleEndian<std::uint16_t>(p + m_format.rowCountOffset);
    if (m_format.slotTableOffset() + 2 * qsizetype(count) > pageSize())
        malformed(
            QStringLiteral("Page %1 claims %2 rows, more than fit a page.").arg(number).arg(count));
    return count;
}

std::uint16_t PageFile::slot(RowLocation at) const {
    const std::uint16_t count = slotCount(at.page);
    if (at.slot >= count)
        malformed(QStringLiteral("Page %1 has no row %2 (it has %3).")
                      .arg(at.page)
                      .arg(at.slot)
                      .arg(count));
    return bytes::loadLittleEndian<std::uint16_t>(page(at.page) + m_format.slotTableOffset() +
                                                  2 * at.slot);
}

RowBytes PageFile::row(RowLocation at) const {
    const unsigned char* p = page(at.page);
    const std::uint16_t value = slot(at);
    const qsizetype slotTable = m_format.slotTableOffset();
    const qsizetype start = value & kSlotOffsetMask;
    const qsizetype end =
        at.slot == 0 ? pageSize()
                     : (bytes::loadLittleEndian<std::uint16_t>(p + slotTable + 2 * (at.slot - 1)) &
                        kSlotOffsetMask);
    if (start < slotTable + 2 * qsizetype(slotCount(at.page)) || end > pageSize() || start > end)
        malformed(QStringLiteral("Row %1 of page %2 has bounds (%3 to %4) that do not fit its "
                                 "page.")
                      .arg(at.slot)
                      .arg(at.page)
                      .arg(start)
                      .arg(end));
    RowBytes row;
    row.data = p + start;
    row.size = end - start;
    row.fileOffset = static_cast<qsizetype>(at.page) * pageSize() + start;
    row.flags = value & kSlotFlags;
    return row;
}

std::optional<RowLocation> PageFile::dataOf(RowLocation listed, std::uint32_t table) const {
    std::uint16_t flags = slot(listed) & kSlotFlags;
    if (flags & kRowDeleted)
        return std::nullopt;
    RowLocation at = listed;
    std::vector<RowLocation> hops;
    while (flags == kRowOverflow) {
        const RowBytes pointer = row(at);
        if (pointer.size < 4)
            malformed(QStringLiteral("Row %1 of page %2 is moved, but too short to say where to.")
                          .arg(listed.slot)
                          .arg(listed.page));
        const RowLocation target = rowAt(bytes::loadLittleEndian<std::uint32_t>(pointer.data));
        if (hops.size() >= kMaxRowHops ||
            std::find(hops.begin(), hops.end(), target) != hops.end() || target == listed)
            malformed(QStringLiteral("Row %1 of page %2 is moved along pointers that loop.")
                          .arg(listed.slot)
                          .arg(listed.page));
        hops.push_back(target);
        if (!isDataPageOf(target.page, table))
            malformed(QStringLiteral("Row %1 of page %2 is moved to page %3, which is not a data "
                                     "page of its table.")
                          .arg(listed.slot)
                          .arg(listed.page)
                          .arg(target.page));
        flags = slot(target) & kSlotFlags;
        // Moved data is marked deleted, so that only the pointer leads to it; a row in use
        // or a deleted one there means the pointer is stale.
        if (flags != kRowDeleted && flags != kRowOverflow)
            malformed(QStringLiteral("Row %1 of page %2 is moved to row %3 of page %4, which "
                                     "does not hold a moved row's data.")
                          .arg(listed.slot)
                          .arg(listed.page)
                          .arg(target.slot)
                          .arg(target.page));
        at = target;
        if (flags == kRowDeleted)
            break;
    }
    return at;
}

QString PageFile::text(const unsigned char* bytes, qsizetype size) const {
    if (m_format.text == TextEncoding::CodePage) {
        QString text = fromCp1252(QByteArrayView(bytes, size));
        if (text.isNull())
            text = QString(0, QChar()); // a zero-length text must not read back as NULL
        return text;
    }
    QString text(0, QChar());
    const auto oddByte = [] {
        malformed(QStringLiteral("A text ends in the middle of a character."));
    };
    if (size < 2 || bytes[0] != 0xff || bytes[1] != 0xfe) {
        if (size % 2 != 0)
            oddByte();
        text.resize(size / 2);
        QChar* out = text.data();
        for (qsizetype i = 0; i + 1 < size; i += 2)
            *out++ = QChar(bytes::loadLittleEndian<std::uint16_t>(bytes + i));
        return text;
    }
    text.reserve(size);
    bool oneByte = true;
    for (qsizetype i = 2; i < size;) {
        if (bytes[i] == 0) {
            oneByte = !oneByte;
            ++i;
        } else if (oneByte) {
            text.append(QChar(bytes[i]));
            ++i;
        } else {
            if (i + 1 >= size)
                oddByte();
            text.append(QChar(bytes::loadLittleEndian<std::uint16_t>(bytes + i)));
            i += 2;
        }
    }
    return text;
}

} // namespace jet

} // namespace tolvane
