#include "conversion/ratingscales.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace tolvane;

namespace {

// The game's scales typed in afresh, so that a slip in the library's tables shows up here
// instead of being copied into the expectations.
struct Step {
    double threshold;
    double result;
    bool plusValue = false;
};

// Kind 1 results for the ratings 30, 31, ..., 99.
const double skillResults[70] = {
    3.00, 3.05, 3.10, 3.12, 3.16, 3.19, 3.20, 3.21, 3.22, 3.23, 3.24, 3.25, 3.26, 3.27,
    3.29, 3.30, 3.32, 3.34, 3.35, 3.36, 3.38, 3.39, 3.40, 3.41, 3.42, 3.43, 3.45, 3.46,
    3.48, 3.49, 3.50, 3.51, 3.52, 3.53, 3.54, 3.56, 3.57, 3.59, 3.60, 3.62, 3.64, 3.66,
    3.68, 3.69, 3.70, 3.72, 3.73, 3.75, 3.77, 3.79, 3.80, 3.81, 3.82, 3.84, 3.86, 3.87,
    3.88, 3.89, 3.90, 3.91, 3.92, 3.93, 3.94, 3.95, 3.96, 3.97, 3.98, 3.99, 4.00, 4.01};

std::vector<Step> skillSteps() {
    std::vector<Step> steps;
    for (int i = 0; i < 70; ++i)
        steps.push_back({30.0 + i, skillResults[i]});
    return steps;
}

const std::vector<Step> healthSteps = {
    {2, 0.0100},  {9, 0.0111},  {14, 0.0112}, {24, 0.0113}, {32, 0.0114}, {39, 0.0115},
    {44, 0.0116}, {49, 0.0117}, {53, 0.0118}, {54, 0.0119}, {58, 0.0121}, {61, 0.0122},
    {63, 0.0123}, {67, 0.0124}, {70, 0.0125}, {73, 0.0126}, {76, 0.0127}, {78, 0.0128},
    {79, 0.0129}, {81, 0.0131}, {82, 0.0132}, {83, 0.0133}, {84, 0.0134}, {85, 0.0135},
    {86, 0.0136}, {87, 0.0137}, {88, 0.0138}, {89, 0.0139}, {90, 0.0141}, {91, 0.0142},
    {92, 0.0143}, {94, 0.0144}, {95, 0.0145}, {96, 0.0146}, {97, 0.0147}, {98, 0.0148},
    {99, 0.0149}};

const std::vector<Step> goalAccuracyMarkSteps = {
    {1, 10},  {19, 10, true}, {28, 10, true}, {38, 10, true}, {43, 49}, {48, 51}, {53, 53},
    {58, 55}, {63, 56},       {68, 58},       {72, 59},       {78, 61}, {83, 63}, {88, 64},
    {93, 66}, {95, 69},       {96, 74},       {97, 77},       {98, 79}, {99, 80}};

const std::vector<Step> defenceSteps = {
    {4, 1.20},  {7, 1.18},  {11, 1.17}, {14, 1.16}, {17, 1.15}, {19, 1.14}, {21, 1.13},
    {24, 1.12}, {29, 1.10}, {33, 1.08}, {36, 1.07}, {39, 1.06}, {42, 1.05}, {45, 1.04},
    {48, 1.03}, {51, 1.02}, {54, 1.01}, {59, 1.00}, {63, 0.99}, {67, 0.98}, {71, 0.97},
    {75, 0.96}, {79, 0.95}, {83, 0.94}, {87, 0.93}, {89, 0.92}, {92, 0.91}, {93, 0.89},
    {94, 0.87}, {95, 0.85}, {96, 0.83}, {97, 0.82}, {98, 0.81}, {99, 0.75}};

const double kickThresholds[24] = {2,    2.5,  3.09, 3.19, 3.29, 3.39, 3.44, 3.49,
                                   3.54, 3.59, 3.64, 3.69, 3.79, 3.84, 3.89, 3.94,
                                   3.99, 4.04, 4.09, 4.14, 4.19, 4.29, 4.39, 5};
const double shortKickResults[24] = {0.40, 0.45, 0.50, 0.53, 0.55, 0.61, 0.62, 0.63,
                                     0.64, 0.65, 0.66, 0.67, 0.68, 0.70, 0.72, 0.73,
                                     0.75, 0.77, 0.79, 0.81, 0.83, 0.85, 0.87, 0.90};
const double longKickResults[24] = {0.30, 0.40, 0.45, 0.50, 0.51, 0.52, 0.53, 0.54,
                                    0.55, 0.57, 0.59, 0.61, 0.63, 0.65, 0.66, 0.67,
                                    0.68, 0.69, 0.70, 0.72, 0.74, 0.76, 0.78, 0.80};

std::vector<Step> kickSteps(const double (&results)[24]) {
    std::vector<Step> steps;
    for (int i = 0; i < 24; ++i)
        steps.push_back({kickThresholds[i], results[i]});
    return steps;
}

struct Ladder {
    std::uint8_t kind;
    std::vector<Step> steps;
};

void PrintTo(const Ladder& ladder, std::ostream* os) {
    *os << "kind " << int(ladder.kind);
}

double expected(const Step& step, double value) {
    return step.plusValue ? value + step.result : step.result;
}

class LadderTest : public ::testing::TestWithParam<Ladder> {};

TEST_P(LadderTest, EveryRungHoldsItsHalfOpenBand) {
    const auto& [kind, steps] = GetParam();
    const double inf = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const double t = steps[i].threshold;
        const double below = i == 0 ? t - 1000 : steps[i - 1].threshold;
        const double justAbove = std::nextafter(t, inf);
        const Step& next = i + 1 < steps.size() ? steps[i + 1] : steps.back();
        SCOPED_TRACE(testing::Message() << "kind " << int(kind) << " threshold " << t);
        EXPECT_EQ(convertRating(t, kind), expected(steps[i], t));
        EXPECT_EQ(convertRating(justAbove, kind), expected(next, justAbove));
        EXPECT_EQ(convertRating(std::nextafter(below, inf), kind),
                  expected(steps[i], std::nextafter(below, inf)));
        const double middle = (below + t) / 2;
        EXPECT_EQ(convertRating(middle, kind), expected(steps[i], middle));
    }
    EXPECT_EQ(convertRating(-inf, kind), steps.front().result);
    EXPECT_EQ(convertRating(inf, kind), steps.back().result);
    EXPECT_EQ(convertRating(1e9, kind), steps.back().result);
}

INSTANTIATE_TEST_SUITE_P(Scales, LadderTest,
                         testing::Values(Ladder{SkillKind, skillSteps()},
                                         Ladder{HealthKind, healthSteps},
                                         Ladder{GoalAccuracyMarkKind, goalAccuracyMarkSteps},
                                         Ladder{DefenceKind, defenceSteps},
                                         Ladder{ShortKickKind, kickSteps(shortKickResults)},
                                         Ladder{LongKickKind, kickSteps(longKickResults)}));

double stored(double x) {
    return static_cast<float>(x);
}

TEST(ConvertRating, GameExamples) {
    struct Case {
        std::uint8_t kind;
        double value;
        double result;
    };
    // clang-format off
    const Case cases[] = {
        {SkillKind, 0, 3.00}, {SkillKind, 30, 3.00}, {SkillKind, 30.5, 3.05},
        {SkillKind, 44, 3.29}, {SkillKind, 99, 4.01}, {SkillKind, 150, 4.01}, {SkillKind, -7, 3.00},
        {HealthKind, 2, 0.0100}, {HealthKind, 3, 0.0111}, {HealthKind, 93, 0.0144},
        {HealthKind, 100, 0.0149}, {HealthKind, 70, 0.0125},
        {GoalAccuracyMarkKind, 0, 10}, {GoalAccuracyMarkKind, 1, 10}, {GoalAccuracyMarkKind, 2, 12},
        {GoalAccuracyMarkKind, 38, 48}, {GoalAccuracyMarkKind, 38.5, 49},
        {GoalAccuracyMarkKind, 99, 80}, {GoalAccuracyMarkKind, 120, 80},
        {GoalAccuracyMarkKind, 1.5, 11.5},
        {DefenceKind, 0, 1.20}, {DefenceKind, 59, 1.00}, {DefenceKind, 60, 0.99},
        {DefenceKind, 99, 0.75},
        {TenthsKind, 73, 7.3}, {TenthsKind, 0, 0},
        {ShortKickKind, stored(3.19), 0.55}, {ShortKickKind, stored(3.16), 0.53},
        {ShortKickKind, 5, 0.90}, {ShortKickKind, 0, 0.40},
        {LongKickKind, stored(3.19), 0.51}, {LongKickKind, 2.5, 0.40}, {LongKickKind, 6, 0.80},
        {LongKickKind, 0, 0.30}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << int(c.kind) << " value " << c.value);
        EXPECT_EQ(convertRating(c.value, c.kind), c.result);
        EXPECT_EQ(static_cast<float>(convertRating(c.value, c.kind)), static_cast<float>(c.result));
    }
    const float stored305 = static_cast<float>(convertRating(31, SkillKind));
    EXPECT_EQ(stored305, 3.05f);
    EXPECT_LT(static_cast<double>(stored305), 3.05);
}

// Kinds 6 and 7 read the kind 1 result back from its single-precision field; where the
// single lies above the decimal threshold it takes the next rung.
TEST(ConvertRating, KickFactorsOfEveryStoredSkillResult) {
    struct Row {
        double lowest;
        double highest;
        double shortKick;
        double longKick;
    };
    const Row rows[] = {
        {3.00, 3.05, 0.50, 0.45}, {3.10, 3.16, 0.53, 0.50}, {3.19, 3.29, 0.55, 0.51},
        {3.30, 3.38, 0.61, 0.52}, {3.39, 3.43, 0.62, 0.53}, {3.45, 3.48, 0.63, 0.54},
        {3.49, 3.54, 0.64, 0.55}, {3.56, 3.59, 0.65, 0.57}, {3.60, 3.62, 0.66, 0.59},
        {3.64, 3.68, 0.67, 0.61}, {3.69, 3.79, 0.68, 0.63}, {3.80, 3.84, 0.70, 0.65},
        {3.86, 3.88, 0.72, 0.66}, {3.89, 3.93, 0.73, 0.67}, {3.94, 3.98, 0.75, 0.68},
        {3.99, 4.01, 0.77, 0.69}};
    int covered = 0;
    for (double skill : skillResults) {
        const double kick = static_cast<float>(skill);
        for (const Row& row : rows) {
            if (skill < row.lowest || skill > row.highest)
                continue;
            SCOPED_TRACE(testing::Message() << "stored kick " << skill);
            EXPECT_EQ(convertRating(kick, ShortKickKind), row.shortKick);
            EXPECT_EQ(convertRating(kick, LongKickKind), row.longKick);
            ++covered;
        }
    }
    EXPECT_EQ(covered, 70);
}

TEST(ConvertRating, NothingToCompareGivesZero) {
    const double values[] = {0, 50, 99, 1000, -5};
    for (int kind = 0; kind <= 255; ++kind) {
        const auto k = static_cast<std::uint8_t>(kind);
        EXPECT_EQ(convertRating(std::nullopt, k), 0) << "kind " << kind;
        EXPECT_EQ(convertRating(std::numeric_limits<double>::quiet_NaN(), k), 0) << "kind " << kind;
        if (kind >= 1 && kind <= 7)
            continue;
        for (double v : values)
            EXPECT_EQ(convertRating(v, k), 0) << "kind " << kind << " value " << v;
    }
}

TEST(OverallToRating, StepBounds) {
    const std::pair<int, int> cases[] = {
        {-32768, 10}, {-1, 10},   {0, 10},    {900, 10},  {901, 11},  {915, 11},  {916, 12},
        {1000, 17},   {1155, 27}, {1156, 28}, {1159, 28}, {1160, 29}, {1163, 29}, {1164, 30},
        {1200, 39},   {1235, 47}, {1236, 48}, {1240, 48}, {1241, 49}, {1300, 60}, {1360, 72},
        {1361, 73},   {1370, 73}, {1371, 74}, {1450, 81}, {1560, 92}, {1561, 93}, {1580, 93},
        {1581, 94},   {1600, 94}, {1640, 96}, {1641, 97}, {1670, 97}, {1671, 98}, {1700, 98},
        {1701, 99},   {32767, 99}};
    for (const auto& [points, rating] : cases)
        EXPECT_EQ(overallToRating(static_cast<std::int16_t>(points)), rating) << points;
}

TEST(OverallToRating, ClimbsThroughEveryRatingOnce) {
    std::vector<int> seen;
    for (int points = -32768; points <= 32767; ++points) {
        const int rating = overallToRating(static_cast<std::int16_t>(points));
        if (seen.empty() || seen.back() != rating)
            seen.push_back(rating);
    }
    ASSERT_EQ(seen.size(), 90u);
    for (std::size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], 10 + static_cast<int>(i));
}

TEST(ImprovementRate, CodesZeroToTen) {
    const std::pair<int, double> cases[] = {
        {-32768, 0}, {-1, 0},  {0, -0.5}, {1, -0.4}, {2, -0.3}, {3, -0.2}, {4, -0.1}, {5, 0},
        {6, 0.1},    {7, 0.2}, {8, 0.3},  {9, 0.4},  {10, 0.5}, {11, 0},   {32767, 0}};
    for (const auto& [code, rate] : cases)
        EXPECT_EQ(improvementRate(static_cast<std::int16_t>(code)), rate) << code;
}

} // namespace
