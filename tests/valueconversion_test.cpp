#include "conversion/valueconversion.h"

#include "db/sqlite.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

using namespace tolvane;

using namespace values;

namespace {

const QVariant null;
const QVariant inf(std::numeric_limits<double>::infinity());

QVariant text(const char* s) {
    return QString::fromUtf8(s);
}

QVariant integer(qlonglong n) {
    return n;
}

// The reason a conversion gives, or "(none)" when it converts.
QString failure(const std::function<void()>& convert) {
    try {
        convert();
    } catch (const ValueError& e) {
        return e.reason();
    }
    return QStringLiteral("(none)");
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    // clang-format off
    const std::pair<double, double> cases[] = {
        {180.5, 180}, {181.5, 182}, {2.5, 2}, {-2.5, -2}, {0.5, 0}, {-0.5, 0}, {1.5, 2},
        {-1.25, -1}, {2.4999999999999996, 2}, {2.5000000000000004, 3},
        {4503599627370495.5, 4503599627370496}, {1e300, 1e300}};
    // clang-format on
    for (const auto& [x, rounded] : cases)
        EXPECT_EQ(roundHalfEven(x), rounded) << x;
    for (int k = -2000; k <= 2000; ++k) {
        const double x = k / 4.0;
        EXPECT_EQ(roundHalfEven(x), std::nearbyint(x)) << x;
    }
}

TEST(ToInt16, ConvertsNumbersAndNumericTexts) {
    // clang-format off
    const std::pair<QVariant, int> cases[] = {
        {integer(180), 180}, {180.5, 180}, {181.5, 182}, {2.5, 2}, {-2.5, -2},
        {integer(-32768), -32768}, {integer(32767), 32767}, {-32768.5, -32768},
        {QVariant(int(7)), 7}, {text("180.5"), 180}, {text(" 42 "), 42}, {text("\t12\n"), 12},
        {text("+7"), 7}, {text("-0"), 0}, {text("1e3"), 1000}, {text(".5"), 0}, {text("5."), 5}};
    // clang-format on
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(toInt16(value), expected) << value.toString().toStdString();
}

TEST(ToInt16, RejectsWhatItCannotHold) {
    const std::pair<QVariant, const char*> cases[] = {
        {integer(32768), "32768 is outside the range -32768 to 32767"},
        {integer(-32769), "-32769 is outside the range -32768 to 32767"},
        {32767.5, "32767.5 is outside the range -32768 to 32767"},
        {text("99999999999999999999"), "1e+20 is outside the range -32768 to 32767"},
        {inf, "inf is not a finite number"},
        {null, "holds no value"},
        {QVariant(QMetaType::fromType<QString>()), "holds no value"},
        {QByteArray("12"), "holds binary data, not a number"},
        {text("1e999"), "'1e999' is too large a number"}};
    for (const auto& [value, reason] : cases)
        EXPECT_EQ(failure([&v = value] { toInt16(v); }), QString::fromUtf8(reason));

    const char* badTexts[] = {"",   " ",  "abc", "12abc", "1,5", "1.2.3", "--1", "+", ".",
                              "e5", "1e", "1e+", "0x10",  "inf", "nan",   "1 2", "١٢"};
    for (const char* bad : badTexts)
        EXPECT_EQ(failure([&] { toInt16(text(bad)); }),
                  QStringLiteral("'%1' is not a number").arg(QString::fromUtf8(bad)));
}

TEST(ToNumber, KeepsIntegersIntegral) {
    const Number big = toNumber(text("9223372036854775807"));
    EXPECT_TRUE(big.integral);
    EXPECT_EQ(big.integer, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(toNumber(text("-9223372036854775808")).integer,
              std::numeric_limits<std::int64_t>::min());
    const Number beyond = toNumber(text("9223372036854775808"));
    EXPECT_FALSE(beyond.integral);
    EXPECT_EQ(beyond.real, 9223372036854775808.0);
    EXPECT_FALSE(toNumber(text("5.")).integral);
    EXPECT_EQ(toNumber(text("1E-2")).real, 0.01);
    EXPECT_EQ(toNumber(text("-1e-400")).real, 0.0);
    EXPECT_EQ(toRating(null), std::nullopt);
    EXPECT_EQ(toRating(text("30.5")), 30.5);
}

TEST(ToBoolean, ZeroAndFalseAreFalse) {
    const std::pair<QVariant, int> cases[] = {
        {integer(0), 0}, {integer(1), -1},   {integer(-3), -1},  {0.0, 0},
        {0.5, -1},       {text("True"), -1}, {text("FALSE"), 0}, {text(" tRuE "), -1},
        {text("0"), 0},  {text("2"), -1},    {text("0.0"), 0}};
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(toBoolean(value), expected) << value.toString().toStdString();
    EXPECT_EQ(failure([] { toBoolean(null); }), "holds no value");
    EXPECT_EQ(failure([] { toBoolean(text("yes")); }),
              "'yes' is neither a number nor True or False");
}

TEST(ToSingle, NearestSingleWithinRange) {
    EXPECT_EQ(toSingle(3.05), 3.05f);
    EXPECT_EQ(toSingle(text("2.5")), 2.5f);
    EXPECT_EQ(toSingle(integer(16777217)), 16777216.0f);
    EXPECT_EQ(toSingle(double(std::numeric_limits<float>::max())),
              std::numeric_limits<float>::max());
    EXPECT_EQ(toSingle(1e-50), 0.0f);
    EXPECT_EQ(failure([] { toSingle(1e39); }),
              "1e+39 is outside the range of a single-precision number");
    EXPECT_EQ(failure([] { toSingle(-1e39); }),
              "-1e+39 is outside the range of a single-precision number");
    EXPECT_EQ(failure([] { toSingle(inf); }), "inf is not a finite number");
    EXPECT_EQ(failure([] { toSingle(null); }), "holds no value");
    EXPECT_EQ(toDouble(text("0.1")), 0.1);
    EXPECT_EQ(toDouble(integer(3)), 3.0);
    EXPECT_EQ(failure([] { toDouble(inf); }), "inf is not a finite number");
}

TEST(ToOleDate, DaysSince30December1899) {
    const std::pair<QVariant, double> cases[] = {
        {text("1980-01-01"), 29221.0},
        {text("1899-12-30"), 0},
        {text("1899-12-31"), 1},
        {text("1899-12-29"), -1},
        {text("1980-01-01 12:00:00"), 29221.5},
        {text("1980-01-01 06:00:00"), 29221.25},
        {text("1899-12-29 06:00:00"), -1.25},
        {text("2000-02-29"), 36585},
        {text("9999-12-31"), 2958465},
        {text("1980-01-01 23:59:59"), 29221 + 86399 / 86400.0},
        {29221.5, 29221.5},
        {integer(29221), 29221.0}};
    for (const auto& [value, day] : cases)
        EXPECT_EQ(toOleDate(value), day) << value.toString().toStdString();

    const std::pair<QVariant, const char*> bad[] = {
        {text("2009-02-30"), "'2009-02-30' is not a valid date"},
        {text("2009-13-01"), "'2009-13-01' is not a valid date"},
        {text("1900-02-29"), "'1900-02-29' is not a valid date"},
        {text("1980-01-01 24:00:00"), "'1980-01-01 24:00:00' is not a valid time of day"},
        {text("1980-01-01 12:60:00"), "'1980-01-01 12:60:00' is not a valid time of day"},
        {text("01/01/1980"),
         "'01/01/1980' is not a date of the form YYYY-MM-DD or YYYY-MM-DD HH:MM:SS"},
        {text("1980-1-1"),
         "'1980-1-1' is not a date of the form YYYY-MM-DD or YYYY-MM-DD HH:MM:SS"},
        {text("1980-01-01T12:00:00"),
         "'1980-01-01T12:00:00' is not a date of the form YYYY-MM-DD or YYYY-MM-DD HH:MM:SS"},
        {null, "holds no value"},
        {inf, "inf is not a finite number"},
        {3e6, "day number 3000000 is outside the range of dates (100-01-01 to 9999-12-31)"}};
    for (const auto& [value, reason] : bad)
        EXPECT_EQ(failure([&v = value] { toOleDate(v); }), QString::fromUtf8(reason));
}

TEST(ToText, NumbersInDecimalForm) {
    const std::pair<QVariant, const char*> cases[] = {
        {null, ""},
        {QVariant(QMetaType::fromType<QString>()), ""},
        {integer(-5), "-5"},
        {3e6, "3000000"},
        {0.0001, "0.0001"},
        {1e20, "1e+20"},
        {-0.0, "0"},
        {180.5, "180.5"},
        {3.0, "3"},
        {0.1, "0.1"},
        {text(" Sam Jones "), " Sam Jones "}};
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(toText(value), QString::fromUtf8(expected));
}

TEST(SumToInt16, AddsInTheValuesOwnTypes) {
    const auto of = [](std::initializer_list<QVariant> list) {
        return std::vector<QVariant>(list);
    };
    std::vector<QVariant> fifties(22, integer(50));
    EXPECT_EQ(sumToInt16(fifties), 1100);
    fifties.back() = 50.5;
    EXPECT_EQ(sumToInt16(fifties), 1100);
    fifties.back() = 51.5;
    EXPECT_EQ(sumToInt16(fifties), 1102);
    EXPECT_EQ(sumToInt16(of({integer(50), null, text("50"), null})), 100);
    EXPECT_EQ(sumToInt16(of({null, null})), 0);
    EXPECT_EQ(sumToInt16(of({integer(40000), integer(-39000)})), 1000);
    // Done in doubles, 2^53 + 1 would round away and leave 0.
    EXPECT_EQ(sumToInt16(of({integer(9007199254740993), integer(-9007199254740992)})), 1);

    EXPECT_EQ(failure([&] {
                  sumToInt16(of({integer(std::numeric_limits<qlonglong>::max()), integer(1)}));
              }),
              "the sum outgrows a 64-bit integer at value 2");
    EXPECT_EQ(failure([&] {
                  sumToInt16(of({integer(50), text("abc")}));
              }),
              "value 2 of the sum: 'abc' is not a number");
    EXPECT_EQ(failure([&] { sumToInt16(std::vector<QVariant>(22, integer(2000))); }),
              "44000 is outside the range -32768 to 32767");
}

TEST(SplitName, AtTheFirstBlank) {
    using Split = std::optional<std::pair<QString, QString>>;
    // clang-format off
    const std::pair<const char*, Split> cases[] = {
        {"Sam Jones", Split{{"Sam", "Jones"}}}, {"Ann Lee Smith", Split{{"Ann", "Lee Smith"}}},
        {"Sam  Jones", Split{{"Sam", " Jones"}}}, {"Sam ", Split{{"Sam", ""}}},
        {"S Jones", Split{{"S", "Jones"}}},
        {"Madonna", std::nullopt}, {" Jones", std::nullopt}, {"", std::nullopt}};
    // clang-format on
    for (const auto& [name, split] : cases)
        EXPECT_EQ(splitName(QString::fromUtf8(name)), split) << name;
}

// The variant types come from how the program reads SQLite's values; check them against the
// conversions.
TEST(Conversions, ValuesAsSqliteDeliversThem) {
    SQLite::Database db(":memory:", SQLite::OPEN_READWRITE);
    SQLite::Statement query(db,
                            "SELECT 180, 180.5, '181.5', NULL, '1980-01-01', x'3132', 'Sam Jones'");
    ASSERT_TRUE(query.executeStep());
    const auto value = [&](int c) { return sqlite::value(query, c); };
    EXPECT_EQ(toInt16(value(0)), 180);
    EXPECT_EQ(toInt16(value(1)), 180);
    EXPECT_EQ(toInt16(value(2)), 182);
    EXPECT_EQ(toRating(value(3)), std::nullopt);
    EXPECT_EQ(toText(value(3)), QString());
    EXPECT_EQ(failure([&] { toInt16(value(3)); }), "holds no value");
    EXPECT_EQ(toOleDate(value(4)), 29221.0);
    EXPECT_EQ(failure([&] { toSingle(value(5)); }), "holds binary data, not a number");
    EXPECT_EQ(toText(value(0)), "180");
    EXPECT_EQ(toText(value(6)), "Sam Jones");
}

} // namespace
