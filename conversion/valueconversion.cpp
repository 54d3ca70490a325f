#include "conversion/valueconversion.h"

#include "core/oledate.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace tolvane {

namespace values {

namespace {

// The fewest digits that read back as x; plain notation for everyday magnitudes, as a user
// would write them ("3000000", "0.0001"), and exponent notation only for the extremes.
QString realText(double x) {
    if (x == 0)
        return QStringLiteral("0");
    std::array<char, 32> buffer{};
    const double magnitude = std::fabs(x);
    const auto format = magnitude >= 1e-5 && magnitude < 1e15 ? std::chars_format::fixed
                                                              : std::chars_format::scientific;
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x, format).ptr;
    return QString::fromLatin1(buffer.data(), end - buffer.data());
}

QString numberText(const Number& n) {
    return n.integral ? QString::number(n.integer) : realText(n.real);
}

[[noreturn]] void notANumber(const QString& text) {
    throw ValueError(QStringLiteral("'%1' is not a number").arg(text));
}

// The text as ASCII bytes, or nothing when it holds another character: only ASCII digits
// count, so a text in another script is not taken for a number.
std::optional<std::string> asciiBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
        bytes.push_back(static_cast<char>(c.unicode()));
    }
    return bytes;
}

// The parts of a decimal number's text, each where it stands in the text.
struct DecimalParts {
    bool negative = false;
    std::size_t unsignedStart = 0; // after the sign
    std::size_t intDigits = 0;
    bool hasPoint = false;
    std::size_t fracDigits = 0;
    bool hasExponent = false;
    long exponent = 0; // capped at a million either way: far beyond any double

    // The digits of the number without the point, leading zeros kept.
    std::string digits(const std::string& text) const {
        return text.substr(unsignedStart, intDigits) +
               (hasPoint ? text.substr(unsignedStart + intDigits + 1, fracDigits) : std::string());
    }
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Moves pos past a sign, if any; true for a minus.
bool skipSign(const std::string& text, std::size_t& pos) {
    const bool negative = pos < text.size() && text[pos] == '-';
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    return negative;
}

// Moves pos past a run of digits and returns how many there were.
std::size_t skipDigits(const std::string& text, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < text.size() && isDigit(text[pos]))
        ++pos;
    return pos - start;
}

// The exponent after an 'e' at pos, which is moved past it; nothing without its digits.
std::optional<long> scanExponent(const std::string& text, std::size_t& pos) {
    const bool negative = skipSign(text, pos);
    const std::size_t start = pos;
    long exponent = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos)
        exponent = std::min(exponent * 10 + (text[pos] - '0'), 1'000'000L);
    if (pos == start)
        return std::nullopt;
    return negative ? -exponent : exponent;
}

// Splits a whole decimal number: optional sign, digits with an optional fraction (at least
// one digit on either side of the point), optional exponent; nothing when text is not one.
std::optional<DecimalParts> scanDecimal(const std::string& text) {
    DecimalParts parts;
    std::size_t pos = 0;
    parts.negative = skipSign(text, pos);
    parts.unsignedStart = pos;
    parts.intDigits = skipDigits(text, pos);
    if (pos < text.size() && text[pos] == '.') {
        parts.hasPoint = true;
        ++pos;
        parts.fracDigits = skipDigits(text, pos);
    }
    if (parts.intDigits + parts.fracDigits == 0)
        return std::nullopt;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        const std::optional<long> exponent = scanExponent(text, pos);
        if (!exponent)
            return std::nullopt;
        parts.hasExponent = true;
        parts.exponent = *exponent;
    }
    if (pos != text.size())
        return std::nullopt;
    return parts;
}

// The number as a 64-bit integer, when it is written as one and fits.
std::optional<Number> integerValue(const std::string& text, const DecimalParts& parts) {
    if (parts.hasPoint || parts.hasExponent)
        return std::nullopt;
    // Parsed with the sign so that -9223372036854775808 still fits.
    const char* first = text.data() + parts.unsignedStart - (parts.negative ? 1 : 0);
    const char* last = text.data() + text.size();
    std::int64_t integer = 0;
    const auto [end, ec] = std::from_chars(first, last, integer);
    if (ec != std::errc() || end != last)
        return std::nullopt;
    return Number{true, integer, 0};
}

// The nearest double to a number from_chars found out of range: zero for one too small
// (from_chars reports underflow and overflow alike; the place of the first significant
// digit tells them apart), a ValueError naming original for one too large.
double outOfRangeValue(const QString& original, const std::string& text,
                       const DecimalParts& parts) {
    const std::string digits = parts.digits(text);
    const auto firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos)
        return 0;
    const long magnitude = static_cast<long>(parts.intDigits) -
                           static_cast<long>(firstSignificant) - 1 + parts.exponent;
    if (magnitude > 0)
        throw ValueError(QStringLiteral("'%1' is too large a number").arg(original));
    return 0;
}

// The number as the nearest double.
std::optional<Number> realValue(const QString& original, const std::string& text,
                                const DecimalParts& parts) {
    const char* first = text.data() + parts.unsignedStart;
    const char* last = text.data() + text.size();
    double real = 0;
    const auto [end, ec] = std::from_chars(first, last, real);
    if (ec == std::errc::result_out_of_range)
        real = outOfRangeValue(original, text, parts);
    else if (ec != std::errc() || end != last)
        return std::nullopt;
    return Number{false, 0, parts.negative ? -real : real};
}

// Reads a whole decimal number (see scanDecimal), as an integer where it is written as one
// and fits, else as the nearest double.
std::optional<Number> parseDecimal(const QString& original) {
    const std::optional<std::string> text = asciiBytes(original.trimmed());
    if (!text)
        return std::nullopt;
    const std::optional<DecimalParts> parts = scanDecimal(*text);
    if (!parts)
        return std::nullopt;
    if (const std::optional<Number> integer = integerValue(*text, *parts))
        return integer;
    return realValue(original, *text, *parts);
}

std::int16_t numberToInt16(const Number& n) {
    constexpr auto low = std::numeric_limits<std::int16_t>::min();
    constexpr auto high = std::numeric_limits<std::int16_t>::max();
    double rounded = 0;
    if (n.integral) {
        if (n.integer >= low && n.integer <= high)
            return static_cast<std::int16_t>(n.integer);
    } else {
        if (!std::isfinite(n.real))
            throw ValueError(QStringLiteral("%1 is not a finite number").arg(realText(n.real)));
        rounded = roundHalfEven(n.real);
        if (rounded >= low && rounded <= high)
            return static_cast<std::int16_t>(rounded);
    }
    throw ValueError(QStringLiteral("%1 is outside the range -32768 to 32767").arg(numberText(n)));
}

double finiteDouble(const Number& n) {
    if (!n.integral && !std::isfinite(n.real))
        throw ValueError(QStringLiteral("%1 is not a finite number").arg(realText(n.real)));
    return n.toDouble();
}

double textToOleDate(const QString& original) {
    const oledate::Parsed parsed = oledate::fromText(original);
    switch (parsed.fault) {
    case oledate::TextFault::None:
        return parsed.day;
    case oledate::TextFault::NotDateForm:
        throw ValueError(
            QStringLiteral("'%1' is not a date of the form YYYY-MM-DD or YYYY-MM-DD HH:MM:SS")
                .arg(original));
    case oledate::TextFault::NoSuchDate:
        throw ValueError(QStringLiteral("'%1' is not a valid date").arg(original));
    case oledate::TextFault::NoSuchTime:
        break;
    }
    throw ValueError(QStringLiteral("'%1' is not a valid time of day").arg(original));
}

} // namespace

Number toNumber(const QVariant& v) {
    if (v.isNull())
        throw ValueError(QStringLiteral("holds no value"));
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return Number{true, v.toLongLong(), 0};
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        if (u <= static_cast<qulonglong>(std::numeric_limits<std::int64_t>::max()))
            return Number{true, static_cast<std::int64_t>(u), 0};
        return Number{false, 0, static_cast<double>(u)};
    }
    case QMetaType::Float:
    case QMetaType::Double:
        return Number{false, 0, v.toDouble()};
    case QMetaType::QString: {
        const QString text = v.toString();
        if (auto n = parseDecimal(text))
            return *n;
        notANumber(text);
    }
    case QMetaType::QByteArray:
        throw ValueError(QStringLiteral("holds binary data, not a number"));
    default:
        throw ValueError(
            QStringLiteral("holds a value of type %1, not a number").arg(v.metaType().name()));
    }
}

std::optional<double> toRating(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    return toNumber(v).toDouble();
}

double roundHalfEven(double x) {
    // Done by hand so that the result does not depend on the floating-point rounding mode.
    // x - floor(x) is exact for every double, and beyond 2^52 every double is whole.
    if (!std::isfinite(x) || std::fabs(x) >= 4503599627370496.0)
        return x;
    const double below = std::floor(x);
    const double fraction = x - below;
    double result = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0))
        result = below + 1;
    return result == 0 ? std::copysign(0.0, x) : result;
}

std::int16_t toInt16(const QVariant& v) {
    return numberToInt16(toNumber(v));
}

std::int16_t toBoolean(const QVariant& v) {
    if (v.typeId() == QMetaType::QString && !v.isNull()) {
        const QString text = v.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return -1;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return 0;
        if (!parseDecimal(text))
            throw ValueError(
                QStringLiteral("'%1' is neither a number nor True or False").arg(v.toString()));
    }
    const Number n = toNumber(v);
    if (!n.integral && std::isnan(n.real))
        throw ValueError(QStringLiteral("nan is not a number"));
    return n.toDouble() == 0 ? 0 : -1;
}

float toSingle(const QVariant& v) {
    const double x = finiteDouble(toNumber(v));
    // Converting a double beyond the single range is undefined, not infinity.
    if (std::fabs(x) > static_cast<double>(std::numeric_limits<float>::max()))
        throw ValueError(QStringLiteral("%1 is outside the range of a single-precision number")
                             .arg(realText(x)));
    return static_cast<float>(x);
}

double toDouble(const QVariant& v) {
    return finiteDouble(toNumber(v));
}

double toOleDate(const QVariant& v) {
    if (v.typeId() == QMetaType::QString && !v.isNull())
        return textToOleDate(v.toString());
    const double day = finiteDouble(toNumber(v));
    if (!oledate::inRange(day))
        throw ValueError(QStringLiteral("day number %1 is outside the range of dates (100-01-01 "
                                        "to 9999-12-31)")
                             .arg(realText(day)));
    return day;
}

QString toText(const QVariant& v) {
    if (v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::Float:
    case QMetaType::Double:
        return realText(v.toDouble());
    case QMetaType::QByteArray:
        throw ValueError(QStringLiteral("holds binary data, not text"));
    default:
        return numberText(toNumber(v));
    }
}

std::int16_t sumToInt16(std::span<const QVariant> values) {
    Number sum;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const QVariant& v = values[i];
        if (v.isNull())
            continue;
        Number n;
        try {
            n = toNumber(v);
        } catch (const ValueError& e) {
            throw ValueError(QStringLiteral("value %1 of the sum: %2").arg(i + 1).arg(e.reason()));
        }
        if (sum.integral && n.integral) {
            constexpr auto low = std::numeric_limits<std::int64_t>::min();
            constexpr auto high = std::numeric_limits<std::int64_t>::max();
            if ((n.integer > 0 && sum.integer > high - n.integer) ||
                (n.integer < 0 && sum.integer < low - n.integer))
                throw ValueError(
                    QStringLiteral("the sum outgrows a 64-bit integer at value %1").arg(i + 1));
            sum.integer += n.integer;
        } else {
            sum.real = sum.toDouble() + n.toDouble();
            sum.integral = false;
        }
    }
    return numberToInt16(sum);
}

std::optional<std::pair<QString, QString>> splitName(const QString& name) {
    const qsizetype blank = name.indexOf(u' ');
    if (blank <= 0)
        return std::nullopt;
    return std::pair{name.left(blank), name.mid(blank + 1)};
}

std::pair<QString, QString> toFirstAndLastName(const QString& name) {
    if (auto split = splitName(name))
        return *std::move(split);
    throw ValueError(QStringLiteral("The name has no blank after its first character, so it "
                                    "cannot be split into first and last name."));
}

} // namespace values

} // namespace tolvane
