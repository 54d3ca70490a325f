#pragma once

#include <cstdint>
#include <optional>

namespace tolvane {

// The game's rating scales. A rating kind selects one scale:
// 1 skill, 2 health, 3 goal accuracy from marks, 4 defence, 5 tenths, 6 short kick,
// 7 long kick. Any other kind selects none and gives 0.
enum RatingKind : std::uint8_t {
    SkillKind = 1,
    HealthKind = 2,
    GoalAccuracyMarkKind = 3,
    DefenceKind = 4,
    TenthsKind = 5,
    ShortKickKind = 6,
    LongKickKind = 7,
};

// Converts one rating to the game's scale. An empty value (nullopt, a database Null)
// gives 0. Kinds 6 and 7 expect a kind 1 result as stored in single precision, widened
// to double by the caller.
double convertRating(std::optional<double> value, std::uint8_t kind);

// The lowest and highest thresholds of a kind's scale. convertRating gives every value at
// or below the lowest the lowest rung's result, and every value above the highest the
// highest rung's: values outside them are clamped. Nullopt for the tenths and for kinds
// that select no scale, which clamp nothing.
struct RungBounds {
    double lowest = 0;
    double highest = 0;
};
std::optional<RungBounds> rungBounds(std::uint8_t kind);

// The overall rating, 10 to 99, for the sum of a player's 22 raw ratings.
std::int16_t overallToRating(std::int16_t points);

// The development rate, -0.5 to 0.5, for an improvement code 0 to 10; 0 for any other.
double improvementRate(std::int16_t code);

} // namespace tolvane
