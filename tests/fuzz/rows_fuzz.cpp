#include "conversion/ratingscales.h"
#include "conversion/valueconversion.h"
#include "core/foldername.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <span>
#include <vector>

using namespace tolvane;

// Feeds values of a season database row, as SQLite hands them over (Null, integers,
// reals, texts, blobs), through every conversion and check the player pass and the input
// check use. A value may be refused only with a ValueError; anything else that escapes, and
// any result outside its documented range, is a bug.
namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

// Texts that look like what a season database holds, or nearly so.
const char* const kTextSeeds[] = {
    "180.5",
    " -3e2 ",
    "1e400",
    "1e-400",
    "+.5",
    "5.",
    ".",
    "-",
    "1e",
    "0x10",
    "nan",
    "inf",
    "True",
    "false",
    "1980-01-01",
    "1899-12-29 06:00:00",
    "9999-12-31 23:59:59",
    "0099-01-01",
    "2001-02-30",
    "Sam Jones",
    " Jones",
    "CON",
    "..",
    "a/b",
    "lpt9.txt",
    "Zoë Ångström",
    "-9223372036854775808",
    "9223372036854775808",
    "32767.5",
    "-32768.5",
    "١٢٣",
};

QVariant nextValue(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 8)) {
    case 0: {
        // SQLite's Null arrives as a null value of the column's type.
        const QMetaType types[] = {QMetaType(), QMetaType::fromType<QString>(),
                                   QMetaType::fromType<qlonglong>(), QMetaType::fromType<double>()};
        return QVariant(types[in.ConsumeIntegralInRange<int>(0, 3)]);
    }
    case 1:
        return QVariant(in.ConsumeIntegral<qlonglong>());
    case 2:
        return QVariant(in.ConsumeIntegralInRange<qlonglong>(-40000, 40000));
    case 3:
        return QVariant(in.ConsumeFloatingPoint<double>());
    case 4: {
        // NaN, infinities and the other special doubles come from raw bits.
        const std::uint64_t bits = in.ConsumeIntegral<std::uint64_t>();
        double x = 0;
        static_assert(sizeof x == sizeof bits);
        std::memcpy(&x, &bits, sizeof x);
        return QVariant(x);
    }
    case 5:
        return QVariant(QString::fromUtf8(in.ConsumeRandomLengthString(64)));
    case 6:
        return QVariant(QString::fromLatin1(
            kTextSeeds[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kTextSeeds) - 1)]));
    case 7:
        return QVariant(QByteArray::fromStdString(in.ConsumeRandomLengthString(16)));
    default:
        return QVariant(QString::number(in.ConsumeFloatingPoint<double>(), 'g',
                                        in.ConsumeIntegralInRange<int>(1, 20)));
    }
}

template <class Convert> void tryConvert(Convert convert) {
    try {
        convert();
    } catch (const values::ValueError& e) {
        require(!e.reason().isEmpty());
    }
}

void convertOne(const QVariant& v) {
    tryConvert([&] { values::toNumber(v); });
    tryConvert([&] {
        const std::optional<double> rating = values::toRating(v);
        require(rating.has_value() != v.isNull());
        for (std::uint8_t kind = 0; kind <= 8; ++kind) {
            const double scaled = convertRating(rating, kind);
            if (!rating || !std::isnan(*rating))
                require(!std::isnan(scaled));
            // What a check counts as clamped converts as the scale's end does.
            if (const std::optional<RungBounds> bounds = rungBounds(kind); bounds && rating) {
                if (*rating < bounds->lowest)
                    require(scaled == convertRating(bounds->lowest, kind));
                else if (*rating > bounds->highest)
                    require(scaled == convertRating(bounds->highest, kind));
            }
            // The kick scales read a skill result widened from single precision.
            if (kind == SkillKind) {
                convertRating(double(static_cast<float>(scaled)), ShortKickKind);
                convertRating(double(static_cast<float>(scaled)), LongKickKind);
            }
        }
    });
    tryConvert([&] {
        const std::int16_t n = values::toInt16(v);
        const values::Number number = values::toNumber(v);
        require(number.integral ? number.integer == n
                                : values::roundHalfEven(number.real) == double(n));
        require(improvementRate(n) >= -0.5 && improvementRate(n) <= 0.5);
        const std::int16_t overall = overallToRating(n);
        require(overall >= 10 && overall <= 99);
    });
    tryConvert([&] {
        const std::int16_t b = values::toBoolean(v);
        require(b == 0 || b == -1);
    });
    tryConvert([&] { require(std::isfinite(values::toSingle(v))); });
    tryConvert([&] { require(std::isfinite(values::toDouble(v))); });
    tryConvert([&] {
        const double day = values::toOleDate(v);
        require(day >= -657434.0 && day < 2958466.0);
    });
    tryConvert([&] {
        const QString text = values::toText(v);
        if (const auto split = values::splitName(text)) {
            require(!split->first.isEmpty() && !split->first.contains(u' '));
            require(split->first + u' ' + split->second == text);
        }
        const QString problem = folderNameProblem(text);
        if (problem.isEmpty()) {
            // A name that passes is one component that stays where it is put.
            require(!text.isEmpty() && text.size() <= 100);
            require(text != QLatin1String(".") && text != QLatin1String(".."));
            require(!text.contains(u'/') && !text.contains(u'\\') && !text.contains(QChar(0)));
            require(!text.endsWith(u'.') && !text.endsWith(u' '));
        }
    });
    const double x = v.toDouble();
    const double rounded = values::roundHalfEven(x);
    if (std::isfinite(x))
        require(std::fabs(rounded - x) <= 0.5);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // One row's worth: the 22 ratings of the overall sum and then some.
    std::vector<QVariant> row;
    while (in.remaining_bytes() > 0 && row.size() < 64)
        row.push_back(nextValue(in));
    for (const QVariant& v : row)
        convertOne(v);
    for (std::size_t start = 0; start < row.size(); start += 22) {
        const std::size_t count = std::min<std::size_t>(22, row.size() - start);
        tryConvert([&] {
            const std::int16_t points =
                values::sumToInt16(std::span<const QVariant>(row.data() + start, count));
            const std::int16_t overall = overallToRating(points);
            require(overall >= 10 && overall <= 99);
        });
    }
    return 0;
}
