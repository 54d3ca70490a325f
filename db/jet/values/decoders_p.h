#pragma once

// The decoders of each column type, for the table that maps types to them (decoders.cpp).

#include "db/jet/values/decoders.h"

#include <cstdint>

namespace tolvane {

namespace jet {

// Throws for a field shorter than its type needs, naming the column's type.
[[noreturn]] void tooShort(const Field& field, std::size_t size);

// The field's first size bytes; a shorter field throws, naming the column's type. Inline:
// every fixed-width value of every row passes here.
inline const unsigned char* need(const Field& field, std::size_t size) {
    if (field.bytes.size() < size) [[unlikely]]
        tooShort(field, size);
    return field.bytes.data();
}

// GCC and Clang have 128-bit integers on every target the program is built for.
__extension__ typedef unsigned __int128 u128;

// units / 10^scale as a double where one holds it exactly, else as its exact decimal text,
// which a double would round. A scale past what 128 bits hold throws.
QVariant decimalValue(u128 units, bool negative, int scale);

// The value a calculated column (ACE) stores behind its header (see calculated.cpp).
std::span<const unsigned char> calculatedValue(std::span<const unsigned char> stored);

// integers.cpp
QVariant decodeYesNoByte(const Field& field); // a calculated Yes/No: 0 is No
QVariant decodeByte(const Field& field);
QVariant decodeInteger(const Field& field);
QVariant decodeLongInteger(const Field& field);
QVariant decodeLargeNumber(const Field& field);
// floating.cpp
QVariant decodeSingle(const Field& field);
QVariant decodeDouble(const Field& field);
// currency.cpp
QVariant decodeCurrency(const Field& field);
// datetime.cpp
QVariant decodeDateTime(const Field& field);
// extendeddatetime.cpp
QVariant decodeExtendedDateTime(const Field& field);
// decimal.cpp
QVariant decodeDecimal(const Field& field);
// guid.cpp
QVariant decodeReplicationId(const Field& field);
// text.cpp
QVariant decodeText(const Field& field);
// longvalues.cpp
QVariant decodeMemo(const Field& field);
QVariant decodeOle(const Field& field);
QVariant decodeCalculatedMemo(const Field& field);
QVariant decodeCalculatedOle(const Field& field);
// binary.cpp
QVariant decodeBinary(const Field& field);
// calculated.cpp
QVariant decodeCalculatedDecimal(const Field& field);

} // namespace jet

} // namespace tolvane
