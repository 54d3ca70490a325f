#pragma once

#include <QString>
#include <QVariant>

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <utility>

namespace tolvane {

// Conversions of season database values into the types of the game's records. A value
// that cannot be converted throws ValueError with a reason; the caller adds the player
// and the column.
namespace values {

class ValueError : public std::exception {
public:
    explicit ValueError(QString reason)
        : m_reason(std::move(reason)) {}
    const QString& reason() const noexcept { return m_reason; }
    const char* what() const noexcept override { return "value cannot be converted"; }

private:
    QString m_reason;
};

// A number as the database holds it: integers stay integers so that sums keep their type.
struct Number {
    bool integral = true;
    std::int64_t integer = 0;
    double real = 0;

    double toDouble() const { return integral ? static_cast<double>(integer) : real; }
};

// The number in v: INTEGER, REAL, or a TEXT that is wholly a decimal number. Null, other
// text and blobs throw.
Number toNumber(const QVariant& v);
// The value a rating scale compares: nullopt for Null, else as toNumber.
std::optional<double> toRating(const QVariant& v);
// Nearest integer, exact halves to the even neighbour.
double roundHalfEven(double x);
// A signed 16-bit integer, halves to even; outside -32768 to 32767 throws.
std::int16_t toInt16(const QVariant& v);
// A 16-bit boolean: 0 for zero or "False", -1 for any other number or "True".
std::int16_t toBoolean(const QVariant& v);
// A single; a value beyond the single range throws.
float toSingle(const QVariant& v);
// A double.
double toDouble(const QVariant& v);
// An OLE Automation date: TEXT "YYYY-MM-DD" with an optional " HH:MM:SS", or a day number.
double toOleDate(const QVariant& v);
// Text; Null gives an empty text, numbers their decimal form.
QString toText(const QVariant& v);
// The overall points: the values added in their own types (an integer sum unless a
// real joins), Nulls adding nothing, then made a 16-bit integer with halves to even.
std::int16_t sumToInt16(std::span<const QVariant> values);

// The name split at its first blank into first and last name; nullopt when the first
// blank is missing or is the name's first character.
std::optional<std::pair<QString, QString>> splitName(const QString& name);
// The same, where a name that cannot be split throws.
std::pair<QString, QString> toFirstAndLastName(const QString& name);

} // namespace values

} // namespace tolvane
