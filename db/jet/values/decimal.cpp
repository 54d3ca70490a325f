#include "db/jet/values/decoders_p.h"

#include "core/bytes.h"
#include "db/jet/pages.h"

#include <cmath>

namespace tolvane {

namespace jet {

QVariant decimalValue(u128 units, bool negative, int scale) {
    // 10^38 is the largest power of ten that 128 bits hold.
    if (scale > 38)
        malformed(QStringLiteral("Its scale of %1 decimal places is more than a Decimal can "
                                 "have.")
                      .arg(scale));
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

// A sign byte, then a 128-bit count of units of 10^-scale (the column's scale), stored as
// four 32-bit little-endian words, the most significant first.
QVariant decodeDecimal(const Field& field) {
    const unsigned char* b = need(field, 17);
    u128 units = 0;
    for (int word = 0; word < 4; ++word)
        units = units << 32 | bytes::loadLittleEndian<std::uint32_t>(b + 1 + 4 * word);
    return decimalValue(units, (b[0] & 0x80) != 0, field.column.scale);
}

} // namespace jet

} // namespace tolvane
