#include "records/recordfields.h"

#include "core/cp1252.h"
#include "core/patcherror.h"
#include "records/playerrecord.h"
#include "records/recordfields_p.h"

#include <QDate>

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace tolvane {

namespace recordfields {
namespace {

using detail::forEachField;

// Fields whose stored type says less than their meaning.
struct KindOverride {
    const char* field;
    Kind kind;
};
constexpr KindOverride kKindOverrides[] = {
    {"keyPos", Kind::Boolean},
    {"preset489", Kind::Boolean},
    {"dateOfBirth", Kind::Date},
};

Kind kindOf(const char* field, Kind stored) {
    for (const KindOverride& o : kKindOverrides) {
        if (std::strcmp(o.field, field) == 0)
            return o.kind;
    }
    return stored;
}

// A list given more elements than this is refused rather than allocated; the game's lists
// hold one.
constexpr std::uint32_t kMaxListElements = 65535;

// Day 0 of the OLE Automation calendar.
const QDate kOleEpoch(1899, 12, 30);

[[noreturn]] void invalid(const QString& name, const QString& cause) {
    throw PatchError(QStringLiteral("Cannot take the value of a record field"), name, cause);
}

template <class F> struct FloatBits;
template <> struct FloatBits<float> {
    using Bits = std::uint32_t;
    static constexpr Bits quietNan = 0x7FC0'0000u;
};
template <> struct FloatBits<double> {
    using Bits = std::uint64_t;
    static constexpr Bits quietNan = 0x7FF8'0000'0000'0000ull;
};

template <class F> QString floatText(F value) {
    using Bits = typename FloatBits<F>::Bits;
    constexpr Bits sign = Bits(1) << (8 * sizeof(Bits) - 1);
    const Bits bits = std::bit_cast<Bits>(value);
    if (std::isnan(value)) {
        if (bits == FloatBits<F>::quietNan)
            return QStringLiteral("nan");
        if (bits == (FloatBits<F>::quietNan | sign))
            return QStringLiteral("-nan");
        return QStringLiteral("nan:0x%1").arg(bits, int(2 * sizeof(Bits)), 16, QLatin1Char('0'));
    }
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    if (value == 0 && std::signbit(value))
        return QStringLiteral("-0");
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return QString::fromLatin1(buffer, end - buffer);
}

template <class F> std::optional<F> parseFloat(const QString& text) {
    using Bits = typename FloatBits<F>::Bits;
    constexpr Bits sign = Bits(1) << (8 * sizeof(Bits) - 1);
    if (text == QLatin1String("nan"))
        return std::bit_cast<F>(FloatBits<F>::quietNan);
    if (text == QLatin1String("-nan"))
        return std::bit_cast<F>(FloatBits<F>::quietNan | sign);
    if (text == QLatin1String("inf"))
        return std::numeric_limits<F>::infinity();
    if (text == QLatin1String("-inf"))
        return -std::numeric_limits<F>::infinity();
    if (text.startsWith(QLatin1String("nan:0x"))) {
        const QString digits = text.mid(6);
        bool ok = false;
        const qulonglong bits = digits.toULongLong(&ok, 16);
        if (!ok || digits.size() != qsizetype(2 * sizeof(Bits)) ||
            !std::isnan(std::bit_cast<F>(Bits(bits))))
            return std::nullopt;
        return std::bit_cast<F>(Bits(bits));
    }
    const QByteArray latin = text.toLatin1();
    F value = 0;
    const char* end = latin.constData() + latin.size();
    const auto [ptr, error] =
        std::from_chars(latin.constData(), end, value, std::chars_format::general);
    if (error != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Day 0 stays a number: it is the date of a record that has none.
QString dateText(double day) {
    if (day == std::trunc(day) && day != 0 && std::abs(day) < 4e6) {
        const QDate date = kOleEpoch.addDays(static_cast<qint64>(day));
        if (date.isValid() && date.year() >= 1 && date.year() <= 9999)
            return date.toString(Qt::ISODate);
    }
    return floatText(day);
}

std::optional<double> parseDate(const QString& text) {
    if (text.size() == 10 && text[4] == QLatin1Char('-') && text[7] == QLatin1Char('-')) {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (!date.isValid())
            return std::nullopt;
        return static_cast<double>(kOleEpoch.daysTo(date));
    }
    return parseFloat<double>(text);
}

std::optional<qlonglong> parseInteger(const QString& text, qlonglong low, qlonglong high) {
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

// Hex digits, two a byte.
bool isHex(const QByteArray& text) {
    return text.size() % 2 == 0 && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c));
           });
}

// The first character of text that Windows-1252 cannot hold, if any.
std::optional<QChar> unencodable(const QString& text) {
    const QString back = fromCp1252(toCp1252(text));
    if (back == text)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size() && i < back.size(); ++i) {
        if (text[i] != back[i])
            return text[i];
    }
    return QChar(QChar::ReplacementCharacter);
}

QString kindName(Kind kind) {
    switch (kind) {
    case Kind::Byte:
        return QStringLiteral("a whole number from 0 to 255");
    case Kind::Integer:
        return QStringLiteral("a whole number from -32768 to 32767");
    case Kind::Boolean:
        return QStringLiteral("true, false or a whole number from -32768 to 32767");
    case Kind::Single:
        return QStringLiteral("a number in single precision range, inf, -inf, nan or "
                              "nan:0x followed by 8 hex digits");
    case Kind::Double:
        return QStringLiteral("a number, inf, -inf, nan or nan:0x followed by 16 hex digits");
    case Kind::Date:
        return QStringLiteral("a date as YYYY-MM-DD or a day number");
    case Kind::Text:
        return QStringLiteral("a text");
    case Kind::Bytes:
        return QStringLiteral("hex digits");
    case Kind::Count:
        return QStringLiteral("an element count from 0 to %1, or empty for no list")
            .arg(kMaxListElements);
    }
    return QString();
}

// Names of nested values: "recentGames[2]", "subListB[0].text2".
QString elementName(const QString& name, std::size_t index) {
    return name + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}
QString memberName(const QString& name, const char* member) {
    return name + QLatin1Char('.') + QLatin1String(member);
}

// The kind a field's stored type gives it before overrides.
template <class T> constexpr Kind storedKind() {
    if constexpr (std::is_same_v<T, std::uint8_t>)
        return Kind::Byte;
    else if constexpr (std::is_same_v<T, float>)
        return Kind::Single;
    else if constexpr (std::is_same_v<T, double>)
        return Kind::Double;
    else if constexpr (std::is_same_v<T, QString>)
        return Kind::Text;
    else
        return Kind::Integer;
}

template <class T> struct ElementOf { using Type = T; };
template <class T, std::size_t N> struct ElementOf<std::array<T, N>> { using Type = T; };

// A visitor of forEachField that hands visit each field by its flat name and its kind.
template <class Visit> auto named(Visit& visit) {
    return [&visit](const char* field, auto& value) {
        using Element = typename ElementOf<std::remove_cvref_t<decltype(value)>>::Type;
        visit(QString::fromLatin1(field), kindOf(field, storedKind<Element>()), value);
    };
}

// The same for the members of the list element named entry ("subListB[0]").
template <class Visit> auto namedMembers(Visit& visit, const QString& entry) {
    return [&visit, &entry](const char* member, auto& value) {
        using Element = typename ElementOf<std::remove_cvref_t<decltype(value)>>::Type;
        visit(memberName(entry, member), storedKind<Element>(), value);
    };
}

class Flattener {
public:
    explicit Flattener(std::vector<Field>& out)
        : m_out(out) {}

    void operator()(const QString& name, Kind kind, std::uint8_t value) {
        add(name, kind, QString::number(value));
    }
    void operator()(const QString& name, Kind kind, std::int16_t value) {
        if (kind == Kind::Boolean && (value == 0 || value == -1))
            add(name, kind, value ? QStringLiteral("true") : QStringLiteral("false"));
        else
            add(name, kind, QString::number(value));
    }
    void operator()(const QString& name, Kind kind, float value) {
        add(name, kind, floatText(value));
    }
    void operator()(const QString& name, Kind kind, double value) {
        add(name, kind, kind == Kind::Date ? dateText(value) : floatText(value));
    }
    void operator()(const QString& name, Kind kind, const QString& text) { add(name, kind, text); }

    template <std::size_t N>
    void operator()(const QString& name, Kind, const std::array<std::uint8_t, N>& bytes) {
        const QByteArray raw(reinterpret_cast<const char*>(bytes.data()), qsizetype(N));
        add(name, Kind::Bytes, QString::fromLatin1(raw.toHex()));
    }
    template <class T, std::size_t N>
    void operator()(const QString& name, Kind kind, const std::array<T, N>& values) {
        for (std::size_t i = 0; i < N; ++i)
            (*this)(elementName(name, i), kind, values[i]);
    }

    template <detail::SubEntry Entry>
    void operator()(const QString& name, Kind, const Entry& entry) {
        forEachField(entry, namedMembers(*this, name));
    }
    template <class Entry>
    void operator()(const QString& name, Kind, const OptionalList<Entry>& list) {
        add(name, Kind::Count, list ? QString::number(list->size()) : QString());
        if (list) {
            for (std::size_t i = 0; i < list->size(); ++i)
                (*this)(elementName(name, i), Kind::Count, (*list)[i]);
        }
    }

private:
    void add(const QString& name, Kind kind, QString text) {
        m_out.push_back({name, kind, std::move(text)});
    }

    std::vector<Field>& m_out;
};

class Builder {
public:
    explicit Builder(const FieldSource& source)
        : m_source(source) {}

    void operator()(const QString& name, Kind kind, std::uint8_t& value) {
        if (const auto text = m_source(name, kind))
            value = static_cast<std::uint8_t>(integer(name, kind, *text, 0, 255));
    }
    void operator()(const QString& name, Kind kind, std::int16_t& value) {
        const auto text = m_source(name, kind);
        if (!text)
            return;
        if (kind == Kind::Boolean &&
            (*text == QLatin1String("true") || *text == QLatin1String("false")))
            value = *text == QLatin1String("true") ? -1 : 0;
        else
            value = static_cast<std::int16_t>(integer(name, kind, *text, -32768, 32767));
    }
    void operator()(const QString& name, Kind kind, float& value) {
        if (const auto text = m_source(name, kind))
            value = checked(name, kind, parseFloat<float>(*text));
    }
    void operator()(const QString& name, Kind kind, double& value) {
        if (const auto text = m_source(name, kind))
            value = checked(name, kind,
                            kind == Kind::Date ? parseDate(*text) : parseFloat<double>(*text));
    }
    void operator()(const QString& name, Kind kind, QString& value) {
        const auto text = m_source(name, kind);
        if (!text)
            return;
        if (const auto bad = unencodable(*text))
            invalid(name,
                    QStringLiteral("The character %1 (U+%2) has no Windows-1252 form.")
                        .arg(*bad,
                             QString::number(bad->unicode(), 16).toUpper().rightJustified(4, '0')));
        value = *text;
    }

    template <std::size_t N>
    void operator()(const QString& name, Kind, std::array<std::uint8_t, N>& bytes) {
        const auto text = m_source(name, Kind::Bytes);
        if (!text)
            return;
        const QByteArray hex = text->toLatin1();
        if (hex.size() != qsizetype(2 * N) || !isHex(hex))
            invalid(name, QStringLiteral("The value %1 is not %2 hex digits (%3 bytes).")
                              .arg(quoted(*text))
                              .arg(2 * N)
                              .arg(N));
        const QByteArray raw = QByteArray::fromHex(hex);
        std::memcpy(bytes.data(), raw.constData(), N);
    }
    template <class T, std::size_t N>
    void operator()(const QString& name, Kind kind, std::array<T, N>& values) {
        for (std::size_t i = 0; i < N; ++i)
            (*this)(elementName(name, i), kind, values[i]);
    }

    template <detail::SubEntry Entry> void operator()(const QString& name, Kind, Entry& entry) {
        forEachField(entry, namedMembers(*this, name));
    }
    template <class Entry> void operator()(const QString& name, Kind, OptionalList<Entry>& list) {
        const auto text = m_source(name, Kind::Count);
        if (!text || text->isEmpty()) {
            list.reset();
            return;
        }
        const qlonglong count = integer(name, Kind::Count, *text, 0, kMaxListElements);
        list.emplace(static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < list->size(); ++i)
            (*this)(elementName(name, i), Kind::Count, (*list)[i]);
    }

private:
    static QString quoted(const QString& text) {
        constexpr qsizetype kMax = 40;
        return QLatin1Char('"') + (text.size() <= kMax ? text : text.left(kMax) + QChar(0x2026)) +
               QLatin1Char('"');
    }

    static qlonglong integer(const QString& name, Kind kind, const QString& text, qlonglong low,
                             qlonglong high) {
        const auto value = parseInteger(text, low, high);
        if (!value)
            invalid(name,
                    QStringLiteral("The value %1 is not %2.").arg(quoted(text), kindName(kind)));
        return *value;
    }

    template <class F>
    static F checked(const QString& name, Kind kind, const std::optional<F>& value) {
        if (!value)
            invalid(name, QStringLiteral("The value is not %1.").arg(kindName(kind)));
        return *value;
    }

    const FieldSource& m_source;
};

} // namespace

std::vector<Field> fieldsOf(const PlayerRecord& record) {
    std::vector<Field> fields;
    fields.reserve(256);
    Flattener flattener(fields);
    forEachField(record, named(flattener));
    return fields;
}

std::vector<Field> fieldsOf(const PlayerRecord& record,
                            const std::function<bool(QLatin1String name)>& wanted) {
    std::vector<Field> fields;
    Flattener flattener(fields);
    auto visit = named(flattener);
    forEachField(record, [&](const char* field, const auto& value) {
        if (wanted(QLatin1String(field)))
            visit(field, value);
    });
    return fields;
}

PlayerRecord recordFromFields(const FieldSource& source) {
    PlayerRecord record;
    Builder builder(source);
    forEachField(record, named(builder));
    return record;
}

QString canonicalText(Kind kind, const QString& text) {
    const QString name = QStringLiteral("value");
    const FieldSource source = [&text](const QString&, Kind) { return text; };
    Builder builder(source);
    std::vector<Field> fields;
    Flattener flattener(fields);
    const auto roundTrip = [&](auto value) {
        builder(name, kind, value);
        flattener(name, kind, value);
    };
    switch (kind) {
    case Kind::Byte:
        roundTrip(std::uint8_t{});
        break;
    case Kind::Integer:
    case Kind::Boolean:
        roundTrip(std::int16_t{});
        break;
    case Kind::Single:
        roundTrip(float{});
        break;
    case Kind::Double:
    case Kind::Date:
        roundTrip(double{});
        break;
    case Kind::Text:
        roundTrip(QString());
        break;
    case Kind::Bytes: {
        if (!isHex(text.toLatin1()))
            invalid(name, QStringLiteral("The value is not %1.").arg(kindName(kind)));
        return text.toLower();
    }
    case Kind::Count:
        if (text.isEmpty())
            return text;
        if (const auto count = parseInteger(text, 0, kMaxListElements))
            return QString::number(*count);
        invalid(name, QStringLiteral("The value is not %1.").arg(kindName(kind)));
    }
    return fields.front().text;
}

} // namespace recordfields

} // namespace tolvane
