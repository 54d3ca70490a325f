#include "conversion/ratingscales.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <span>

namespace tolvane {

namespace {

struct Rung {
    double threshold;
    double result;
    // A rung that adds the rating itself to its result instead of taking the result alone.
    bool addsValue = false;
};

constexpr bool PlusValue = true;

// Rows are tens of the threshold, columns its last digit: row 40, column +4 is the result
// for 44. Every integer from 30 to 99 is a threshold.
constexpr double skillResults[7][10] = {
    // clang-format off
    /* 30 */ {3.00, 3.05, 3.10, 3.12, 3.16, 3.19, 3.20, 3.21, 3.22, 3.23},
    /* 40 */ {3.24, 3.25, 3.26, 3.27, 3.29, 3.30, 3.32, 3.34, 3.35, 3.36},
    /* 50 */ {3.38, 3.39, 3.40, 3.41, 3.42, 3.43, 3.45, 3.46, 3.48, 3.49},
    /* 60 */ {3.50, 3.51, 3.52, 3.53, 3.54, 3.56, 3.57, 3.59, 3.60, 3.62},
    /* 70 */ {3.64, 3.66, 3.68, 3.69, 3.70, 3.72, 3.73, 3.75, 3.77, 3.79},
    /* 80 */ {3.80, 3.81, 3.82, 3.84, 3.86, 3.87, 3.88, 3.89, 3.90, 3.91},
    /* 90 */ {3.92, 3.93, 3.94, 3.95, 3.96, 3.97, 3.98, 3.99, 4.00, 4.01},
    // clang-format on
};

constexpr std::array<Rung, 70> skillLadder = [] {
    std::array<Rung, 70> ladder{};
    for (std::size_t i = 0; i < ladder.size(); ++i)
        ladder[i] = {30.0 + static_cast<double>(i), skillResults[i / 10][i % 10]};
    return ladder;
}();

constexpr Rung healthLadder[] = {
    // clang-format off
    {2, 0.0100},  {9, 0.0111},  {14, 0.0112}, {24, 0.0113}, {32, 0.0114}, {39, 0.0115},
    {44, 0.0116}, {49, 0.0117}, {53, 0.0118}, {54, 0.0119}, {58, 0.0121}, {61, 0.0122},
    {63, 0.0123}, {67, 0.0124}, {70, 0.0125}, {73, 0.0126}, {76, 0.0127}, {78, 0.0128},
    {79, 0.0129}, {81, 0.0131}, {82, 0.0132}, {83, 0.0133}, {84, 0.0134}, {85, 0.0135},
    {86, 0.0136}, {87, 0.0137}, {88, 0.0138}, {89, 0.0139}, {90, 0.0141}, {91, 0.0142},
    {92, 0.0143}, {94, 0.0144}, {95, 0.0145}, {96, 0.0146}, {97, 0.0147}, {98, 0.0148},
    {99, 0.0149},
    // clang-format on
};

constexpr Rung goalAccuracyMarkLadder[] = {
    // clang-format off
    {1, 10},
    {19, 10, PlusValue},
    {28, 10, PlusValue},
    {38, 10, PlusValue},
    {43, 49},
    {48, 51},
    {53, 53},
    {58, 55},
    {63, 56},
    {68, 58},
    {72, 59},
    {78, 61},
    {83, 63},
    {88, 64},
    {93, 66},
    {95, 69},
    {96, 74},
    {97, 77},
    {98, 79},
    {99, 80},
    // clang-format on
};

constexpr Rung defenceLadder[] = {
    // clang-format off
    {4, 1.20},  {7, 1.18},  {11, 1.17}, {14, 1.16}, {17, 1.15}, {19, 1.14},
    {21, 1.13}, {24, 1.12}, {29, 1.10}, {33, 1.08}, {36, 1.07}, {39, 1.06},
    {42, 1.05}, {45, 1.04}, {48, 1.03}, {51, 1.02}, {54, 1.01}, {59, 1.00},
    {63, 0.99}, {67, 0.98}, {71, 0.97}, {75, 0.96}, {79, 0.95}, {83, 0.94},
    {87, 0.93}, {89, 0.92}, {92, 0.91}, {93, 0.89}, {94, 0.87}, {95, 0.85},
    {96, 0.83}, {97, 0.82}, {98, 0.81}, {99, 0.75},
    // clang-format on
};

struct KickRung {
    double threshold;
    double shortKick;
    double longKick;
};

// The thresholds are the doubles nearest their decimals while the inputs are singles
// widened to double, so a stored 3.19f (3.19000005...) lies above 3.19 and takes the next
// rung. The game's own lists were made that way; keep the literals as they are.
constexpr KickRung kickLadder[] = {
    // clang-format off
    {2,    0.40, 0.30},
    {2.5,  0.45, 0.40},
    {3.09, 0.50, 0.45},
    {3.19, 0.53, 0.50},
    {3.29, 0.55, 0.51},
    {3.39, 0.61, 0.52},
    {3.44, 0.62, 0.53},
    {3.49, 0.63, 0.54},
    {3.54, 0.64, 0.55},
    {3.59, 0.65, 0.57},
    {3.64, 0.66, 0.59},
    {3.69, 0.67, 0.61},
    {3.79, 0.68, 0.63},
    {3.84, 0.70, 0.65},
    {3.89, 0.72, 0.66},
    {3.94, 0.73, 0.67},
    {3.99, 0.75, 0.68},
    {4.04, 0.77, 0.69},
    {4.09, 0.79, 0.70},
    {4.14, 0.81, 0.72},
    {4.19, 0.83, 0.74},
    {4.29, 0.85, 0.76},
    {4.39, 0.87, 0.78},
    {5,    0.90, 0.80},
    // clang-format on
};

constexpr std::array<Rung, std::size(kickLadder)> kickLadderFor(bool shortKick) {
    std::array<Rung, std::size(kickLadder)> ladder{};
    for (std::size_t i = 0; i < ladder.size(); ++i)
        ladder[i] = {kickLadder[i].threshold,
                     shortKick ? kickLadder[i].shortKick : kickLadder[i].longKick};
    return ladder;
}

constexpr auto shortKickLadder = kickLadderFor(true);
constexpr auto longKickLadder = kickLadderFor(false);

constexpr bool ascends(std::span<const Rung> ladder) {
    return std::adjacent_find(ladder.begin(), ladder.end(), [](const Rung& a, const Rung& b) {
               return a.threshold >= b.threshold;
           }) == ladder.end();
}

static_assert(std::size(healthLadder) == 37 && std::size(goalAccuracyMarkLadder) == 20 &&
              std::size(defenceLadder) == 34 && std::size(kickLadder) == 24);
static_assert(ascends(skillLadder) && ascends(healthLadder) && ascends(goalAccuracyMarkLadder) &&
              ascends(defenceLadder) && ascends(shortKickLadder));

double climb(std::span<const Rung> ladder, double value) {
    // Written as comparisons rather than a search so that a NaN, which compares with
    // nothing, falls through every rung and the closing test and gives 0.
    for (const Rung& rung : ladder) {
        if (value <= rung.threshold)
            return rung.addsValue ? value + rung.result : rung.result;
    }
    const Rung& last = ladder.back();
    if (value > last.threshold)
        return last.addsValue ? value + last.result : last.result;
    return 0;
}

// The ladder of a kind; empty for the tenths, which have none, and for unknown kinds.
std::span<const Rung> ladderOf(std::uint8_t kind) {
    switch (kind) {
    case SkillKind:
        return skillLadder;
    case HealthKind:
        return healthLadder;
    case GoalAccuracyMarkKind:
        return goalAccuracyMarkLadder;
    case DefenceKind:
        return defenceLadder;
    case ShortKickKind:
        return shortKickLadder;
    case LongKickKind:
        return longKickLadder;
    default:
        return {};
    }
}

struct RatingGroup {
    std::int16_t firstRating;
    std::int16_t lastRating;
    std::int16_t firstBound;
    std::int16_t step;
};

// Each rating's upper bound of points; a value equal to a bound takes that rating, and
// anything above the last bound is 99.
constexpr RatingGroup ratingGroups[] = {
    // clang-format off
    {10, 10,  900,  0},
    {11, 27,  915, 15},
    {28, 47, 1159,  4},
    {48, 72, 1240,  5},
    {73, 92, 1370, 10},
    {93, 96, 1580, 20},
    {97, 98, 1670, 30},
    // clang-format on
};

constexpr std::array<std::int16_t, 89> ratingBounds = [] {
    std::array<std::int16_t, 89> bounds{};
    std::size_t i = 0;
    for (const RatingGroup& group : ratingGroups) {
        for (int rating = group.firstRating; rating <= group.lastRating; ++rating)
            bounds[i++] = static_cast<std::int16_t>(group.firstBound +
                                                    (rating - group.firstRating) * group.step);
    }
    return bounds;
}();

static_assert(ratingBounds.front() == 900 && ratingBounds[27 - 10] == 1155 &&
              ratingBounds[47 - 10] == 1235 && ratingBounds[72 - 10] == 1360 &&
              ratingBounds[92 - 10] == 1560 && ratingBounds[96 - 10] == 1640 &&
              ratingBounds.back() == 1700);

constexpr double improvementRates[] = {-0.5, -0.4, -0.3, -0.2, -0.1, 0.0, 0.1, 0.2, 0.3, 0.4, 0.5};

} // namespace

double convertRating(std::optional<double> value, std::uint8_t kind) {
    if (!value)
        return 0;
    if (kind == TenthsKind) {
        // Like the ladders, a NaN gives 0 so that no caller ever stores a NaN.
        return std::isnan(*value) ? 0 : *value / 10;
    }
    const std::span<const Rung> ladder = ladderOf(kind);
    return ladder.empty() ? 0 : climb(ladder, *value);
}

std::optional<RungBounds> rungBounds(std::uint8_t kind) {
    const std::span<const Rung> ladder = ladderOf(kind);
    if (ladder.empty())
        return std::nullopt;
    return RungBounds{ladder.front().threshold, ladder.back().threshold};
}

std::int16_t overallToRating(std::int16_t points) {
    const auto bound = std::lower_bound(ratingBounds.begin(), ratingBounds.end(), points);
    return static_cast<std::int16_t>(10 + (bound - ratingBounds.begin()));
}

double improvementRate(std::int16_t code) {
    if (code < 0 || code >= static_cast<std::int16_t>(std::size(improvementRates)))
        return 0;
    return improvementRates[code];
}

} // namespace tolvane
