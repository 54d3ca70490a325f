#include "db/jet/longvalue.h"

#include "core/bytes.h"

#include <algorithm>
#include <unordered_set>

namespace tolvane {

namespace jet {

namespace {

constexpr qsizetype kLongValueHeader = 12;
constexpr std::uint32_t kLongValueLengthMask = 0x3fffffff;
enum LongValueKind : std::uint32_t { Chained = 0, SingleRow = 1, Inline = 2 };

} // namespace

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

} // namespace jet

} // namespace tolvane
