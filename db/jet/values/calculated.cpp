#include "db/jet/values/decoders_p.h"

#include "core/bytes.h"
#include "db/jet/pages.h"

#include <algorithm>

namespace tolvane {

namespace jet {

namespace {

// Access stores a calculated column's value (ACE) as it computed it, behind a header of 20
// bytes whose last four hold the value's length, and pads it with 3 bytes more.
constexpr qsizetype kLengthOffset = 16;
constexpr qsizetype kValueOffset = 20;
// A calculated Decimal: its length, scale and sign before its digits.
constexpr qsizetype kDecimalHeader = 4;
constexpr qsizetype kMostDecimalBytes = 16;

} // namespace

std::span<const unsigned char> calculatedValue(std::span<const unsigned char> stored) {
    // Where no header fits, or its length runs past what is stored, the bytes there are the
    // value, as jackcess reads the files Access writes.
    if (static_cast<qsizetype>(stored.size()) < kValueOffset)
        return stored;
    const auto length = bytes::loadLittleEndian<std::uint32_t>(stored.data() + kLengthOffset);
    return stored.subspan(kValueOffset,
                          std::min<std::size_t>(length, stored.size() - kValueOffset));
}

// A calculated Decimal is laid out otherwise than a stored one: the length of what follows
// it (2 bytes), the value's own scale, a sign byte (not 0 for a negative value), then 16 or
// fewer bytes of digits, a multiple of 4, most significant first: one 4-byte little-endian
// word where the count is not a multiple of 8, then 8-byte little-endian words.
QVariant decodeCalculatedDecimal(const Field& field) {
    const std::span<const unsigned char> value = calculatedValue(field.bytes);
    const auto size = static_cast<qsizetype>(value.size());
    if (size < kDecimalHeader)
        malformed(QStringLiteral("Its calculated Decimal is %1 bytes, shorter than its header.")
                      .arg(size));
    const auto length = bytes::loadLittleEndian<std::int16_t>(value.data());
    qsizetype digits = (length > 0 ? length : size - 2) - 2;
    digits = std::clamp<qsizetype>(digits / 4 * 4, 0, kMostDecimalBytes);
    if (kDecimalHeader + digits > size)
        malformed(QStringLiteral("Its calculated Decimal of %1 bytes of digits runs past its %2 "
                                 "bytes.")
                      .arg(digits)
                      .arg(size));
    const unsigned char* at = value.data() + kDecimalHeader;
    u128 units = 0;
    if (digits % 8 != 0) {
        units = bytes::loadLittleEndian<std::uint32_t>(at);
        at += 4;
        digits -= 4;
    }
    for (; digits > 0; digits -= 8, at += 8)
        units = units << 64 | bytes::loadLittleEndian<std::uint64_t>(at);
    return decimalValue(units, value[3] != 0, value[2]);
}

} // namespace jet

} // namespace tolvane
