#include "db/jetpages.h"

#include "core/bytes.h"
#include "core/patcherror.h"

namespace tolvane {

namespace jet {

QString readOperation() {
    return QStringLiteral("Cannot read the Jet database");
}

void malformed(const QString& cause) {
    throw PatchError(readOperation(), QString(), cause);
}

PageFile::PageFile(const QByteArray& file)
    : m_file(file) {
    if (file.size() % kPageSize != 0)
        malformed(QStringLiteral("The file is %1 bytes long, which is not a whole number of "
                                 "%2-byte pages; it is truncated or damaged.")
                      .arg(file.size())
                      .arg(kPageSize));
    if (file.size() / kPageSize > 0xffffff)
        malformed(QStringLiteral("The file is larger than a Jet 4 file can be."));
    m_pageCount = static_cast<std::uint32_t>(file.size() / kPageSize);
}

const unsigned char* PageFile::page(std::uint32_t number) const {
    if (number >= m_pageCount)
        malformed(QStringLiteral("Page %1 lies past the end of the file, which has %2 pages; the "
                                 "file is truncated or damaged.")
                      .arg(number)
                      .arg(m_pageCount));
    return reinterpret_cast<const unsigned char*>(m_file.constData()) +
           static_cast<qsizetype>(number) * kPageSize;
}

std::uint16_t PageFile::slotCount(std::uint32_t number) const {
    const unsigned char* p = page(number);
    const auto count = bytes::loadLittleEndian<std::uint16_t>(p + kRowCountOffset);
    if (kRowCountOffset + 2 + 2 * qsizetype(count) > kPageSize)
        malformed(
            QStringLiteral("Page %1 claims %2 rows, more than fit a page.").arg(number).arg(count));
    return count;
}

RowBytes PageFile::row(RowLocation at) const {
    const unsigned char* p = page(at.page);
    const std::uint16_t count = slotCount(at.page);
    if (at.slot >= count)
        malformed(QStringLiteral("Page %1 has no row %2 (it has %3).")
                      .arg(at.page)
                      .arg(at.slot)
                      .arg(count));
    const qsizetype slotTable = kRowCountOffset + 2;
    const auto slot = bytes::loadLittleEndian<std::uint16_t>(p + slotTable + 2 * at.slot);
    const qsizetype start = slot & kSlotOffsetMask;
    const qsizetype end =
        at.slot == 0 ? kPageSize
                     : (bytes::loadLittleEndian<std::uint16_t>(p + slotTable + 2 * (at.slot - 1)) &
                        kSlotOffsetMask);
    if (start < slotTable + 2 * qsizetype(count) || end > kPageSize || start > end)
        malformed(QStringLiteral("Row %1 of page %2 has bounds (%3 to %4) that do not fit its "
                                 "page.")
                      .arg(at.slot)
                      .arg(at.page)
                      .arg(start)
                      .arg(end));
    RowBytes row;
    row.data = p + start;
    row.size = end - start;
    row.fileOffset = static_cast<qsizetype>(at.page) * kPageSize + start;
    row.flags = slot & ~kSlotOffsetMask;
    return row;
}

QString decodeText(const unsigned char* bytes, qsizetype size) {
    QString text(0, QChar()); // a zero-length text must not read back as NULL
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
