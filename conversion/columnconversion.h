#pragma once

#include "db/seasonschema.h"

#include <QLatin1String>

#include <array>

class QVariant;

namespace tolvane {

namespace values {

// Which of the value conversions the player mapping applies to a column. A check of a
// season cell by cell reads this table; the mapping itself is held to it when it is
// compiled, so the two cannot drift apart.
enum class Conversion {
    Text,    // toText
    Name,    // toText, then toFirstAndLastName
    Int16,   // toInt16
    Boolean, // toBoolean
    Single,  // toSingle
    Double,  // toDouble
    Date,    // toOleDate
    Rating,  // toRating: a number, or no value
    Unread,  // never read
};

// clang-format off
inline constexpr std::array<Conversion, seasonschema::RatingsColumnCount> kRatingsConversions = [] {
    namespace s = seasonschema;
    using enum Conversion;
    std::array<Conversion, s::RatingsColumnCount> c{};
    c[s::Team] = Text;            c[s::Name] = Name;            c[s::Height] = Int16;
    c[s::Weight] = Int16;         c[s::Dob] = Date;             c[s::PreferredPos] = Text;
    c[s::SecondaryPos] = Text;    c[s::ThirdPos] = Text;        c[s::KeyPos] = Boolean;
    c[s::KickMax] = Single;       c[s::InjTend] = Int16;        c[s::RepTend] = Single;
    c[s::ShortKickPer] = Single;  c[s::LongKickPer] = Single;   c[s::HballPer] = Single;
    c[s::RunPer] = Single;        c[s::HealthLimit] = Double;   c[s::Overall] = Unread;
    c[s::PlayerType] = Int16;     c[s::Potential] = Double;     c[s::LineupType] = Text;
    c[s::Contract] = Int16;       c[s::Salary] = Double;        c[s::PendingContract] = Int16;
    c[s::PendingSalary] = Double; c[s::Debut] = Int16;          c[s::State] = Text;
    c[s::Town] = Text;            c[s::Pno] = Int16;            c[s::GoalSense] = Single;
    c[s::Leadership] = Int16;
    for (int column = s::ImprR; column <= s::ImprNk; ++column)
        c[column] = Int16;
    // The other ratings summed into the overall points go through the rating scales.
    for (s::RatingsColumn column : s::kOverallPointColumns) {
        if (column != s::GoalSense && column != s::Leadership)
            c[column] = Rating;
    }
    return c;
}();
// clang-format on

// The name, then the eight position values.
inline constexpr std::array<Conversion, seasonschema::QzColumnCount> kQzConversions = [] {
    std::array<Conversion, seasonschema::QzColumnCount> c{};
    c.fill(Conversion::Single);
    c[seasonschema::QzName] = Conversion::Text;
    return c;
}();

// What a message calls the sum of a player's 22 ratings, which has no column of its own.
inline constexpr QLatin1String kOverallPointsName("overall points (the sum of 22 ratings)");

// Converts v as conversion does and drops the result: a value that cannot be converted
// throws ValueError.
void check(Conversion conversion, const QVariant& v);

} // namespace values

} // namespace tolvane
