#include "records/recordcodec.h"

#include "core/bytes.h"
#include "core/cp1252.h"
#include "core/patcherror.h"
#include "records/playerrecord.h"
#include "records/recordfields_p.h"

#include <bit>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>

namespace tolvane {

namespace recordcodec {
namespace {

using recordfields::detail::forEachField;

template <class T> struct IsOptionalList : std::false_type {};
template <class Entry> struct IsOptionalList<OptionalList<Entry>> : std::true_type {};

template <class T> struct ArrayOf : std::false_type {};
template <class T, std::size_t N> struct ArrayOf<std::array<T, N>> : std::true_type {
    using Element = T;
    static constexpr qsizetype size = N;
};

#define TOLVANE_ADD_MIN_SIZE(type, name) +minDiskSize<type>()

// The smallest disk form of a value of type T (texts empty, lists never created): for a
// record or a list element, the bound that keeps a corrupt count from allocating more than
// the remaining bytes could ever hold.
template <class T> constexpr qsizetype minDiskSize() {
    if constexpr (std::is_same_v<T, PlayerRecord>)
        return 0 TOLVANE_PLAYER_RECORD_FIELDS(TOLVANE_ADD_MIN_SIZE);
    else if constexpr (std::is_same_v<T, SubEntryA>)
        return 0 TOLVANE_SUB_ENTRY_A_FIELDS(TOLVANE_ADD_MIN_SIZE);
    else if constexpr (std::is_same_v<T, SubEntryB>)
        return 0 TOLVANE_SUB_ENTRY_B_FIELDS(TOLVANE_ADD_MIN_SIZE);
    else if constexpr (std::is_same_v<T, QString> || IsOptionalList<T>::value)
        return 2; // the byte count, or the header of a list never created
    else if constexpr (ArrayOf<T>::value)
        return ArrayOf<T>::size * minDiskSize<typename ArrayOf<T>::Element>();
    else
        return sizeof(T);
}

#undef TOLVANE_ADD_MIN_SIZE

// Names a field for messages: "recentGames[2]", "subListB[0].text2".
struct FieldName {
    const char* field;
    qsizetype index = -1;
    const char* member = nullptr;

    FieldName element(qsizetype i) const { return {field, i, member}; }
    FieldName withMember(const char* m) const { return {field, index, m}; }

    QString toString() const {
        QString name = QString::fromLatin1(field);
        if (index >= 0)
            name += QStringLiteral("[%1]").arg(index);
        if (member)
            name += QLatin1Char('.') + QLatin1String(member);
        return name;
    }
};

// Long names are cut in messages so that a runaway text does not fill the message box.
QString elided(const QString& text) {
    constexpr qsizetype kMax = 40;
    return text.size() <= kMax ? text : text.left(kMax) + QChar(0x2026);
}

QString playerName(const PlayerRecord& record) {
    return QStringLiteral("Player %1 %2 of the team %3")
        .arg(elided(record.firstName), elided(record.lastName), elided(record.team));
}

class Writer {
public:
    Writer(QByteArray& out, const PlayerRecord& record)
        : m_out(out)
        , m_record(record) {}

    void operator()(FieldName, std::uint8_t value) { m_out.append(static_cast<char>(value)); }
    void operator()(FieldName, std::int16_t value) {
        bytes::appendLittleEndian(m_out, static_cast<std::uint16_t>(value));
    }
    void operator()(FieldName, float value) {
        bytes::appendLittleEndian(m_out, std::bit_cast<std::uint32_t>(value));
    }
    void operator()(FieldName, double value) {
        bytes::appendLittleEndian(m_out, std::bit_cast<std::uint64_t>(value));
    }

    template <std::size_t N> void operator()(FieldName, const std::array<std::uint8_t, N>& bytes) {
        m_out.append(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(N));
    }

    template <class T, std::size_t N>
    void operator()(FieldName name, const std::array<T, N>& values) {
        for (std::size_t i = 0; i < N; ++i)
            (*this)(name.element(static_cast<qsizetype>(i)), values[i]);
    }

    void operator()(FieldName name, const QString& text) {
        // The count goes first, so the text is encoded in place and the count filled in.
        const qsizetype countAt = m_out.size();
        bytes::appendLittleEndian(m_out, std::uint16_t{0});
        appendCp1252(m_out, text);
        const qsizetype length = m_out.size() - countAt - 2;
        if (length > std::numeric_limits<std::uint16_t>::max())
            throw PatchError(
                QStringLiteral("Cannot store the player record"), playerName(m_record),
                QStringLiteral("The text of the field %1 is %2 bytes long; a team list "
                               "file holds at most 65535 bytes per text.")
                    .arg(name.toString())
                    .arg(length));
        bytes::storeLittleEndian(m_out.data() + countAt, static_cast<std::uint16_t>(length));
    }

    template <recordfields::detail::SubEntry Entry>
    void operator()(FieldName name, const Entry& entry) {
        forEachField(entry, [this, name](const char* member, const auto& value) {
            (*this)(name.withMember(member), value);
        });
    }

    template <class Entry> void operator()(FieldName name, const OptionalList<Entry>& list) {
        if (!list) {
            bytes::appendLittleEndian(m_out, std::uint16_t{0});
            return;
        }
        bytes::appendLittleEndian(m_out, std::uint16_t{1});
        bytes::appendLittleEndian(m_out, static_cast<std::uint32_t>(list->size()));
        bytes::appendLittleEndian(m_out, std::uint32_t{0});
        for (std::size_t i = 0; i < list->size(); ++i)
            (*this)(name.element(static_cast<qsizetype>(i)), (*list)[i]);
    }

private:
    QByteArray& m_out;
    const PlayerRecord& m_record;
};

[[noreturn]] void fail(const QString& where, qsizetype offset, const QString& what) {
    throw PatchError(QStringLiteral("Cannot read the team list"), QString(),
                     QStringLiteral("%1 at byte %2: %3").arg(where).arg(offset).arg(what));
}

// Reads from data at offset; every read checks the remaining length first, so corrupt
// input ends in a PatchError and never in a read past the end.
class Reader {
public:
    // where is the record's place for messages ("Record 3"); empty for a lone record.
    Reader(QByteArrayView data, qsizetype& offset, QString where)
        : m_data(data)
        , m_offset(offset)
        , m_where(std::move(where)) {}

    void operator()(FieldName name, std::uint8_t& value) {
        need(name, 1);
        value = static_cast<std::uint8_t>(m_data[m_offset]);
        ++m_offset;
    }
    void operator()(FieldName name, std::int16_t& value) {
        value = static_cast<std::int16_t>(take<std::uint16_t>(name));
    }
    void operator()(FieldName name, float& value) {
        value = std::bit_cast<float>(take<std::uint32_t>(name));
    }
    void operator()(FieldName name, double& value) {
        value = std::bit_cast<double>(take<std::uint64_t>(name));
    }

    template <std::size_t N> void operator()(FieldName name, std::array<std::uint8_t, N>& bytes) {
        need(name, static_cast<qsizetype>(N));
        for (std::size_t i = 0; i < N; ++i)
            bytes[i] = static_cast<std::uint8_t>(m_data[m_offset + static_cast<qsizetype>(i)]);
        m_offset += static_cast<qsizetype>(N);
    }

    template <class T, std::size_t N> void operator()(FieldName name, std::array<T, N>& values) {
        for (std::size_t i = 0; i < N; ++i)
            (*this)(name.element(static_cast<qsizetype>(i)), values[i]);
    }

    void operator()(FieldName name, QString& text) {
        const qsizetype start = m_offset;
        const qsizetype length = take<std::uint16_t>(name);
        if (length > remaining())
            fail(describe(name), start,
                 QStringLiteral("the text of %1 bytes runs past the end of the data (%2 bytes "
                                "remain).")
                     .arg(length)
                     .arg(remaining()));
        text = fromCp1252(m_data.sliced(m_offset, length));
        m_offset += length;
    }

    template <recordfields::detail::SubEntry Entry> void operator()(FieldName name, Entry& entry) {
        forEachField(entry, [this, name](const char* member, auto& value) {
            (*this)(name.withMember(member), value);
        });
    }

    template <class Entry> void operator()(FieldName name, OptionalList<Entry>& list) {
        const std::optional<std::uint32_t> count = listHeader(name, minDiskSize<Entry>());
        if (!count) {
            list.reset();
            return;
        }
        list.emplace();
        list->resize(*count);
        for (std::uint32_t i = 0; i < *count; ++i)
            (*this)(name.element(i), (*list)[i]);
    }

    // A list header: nullopt for a list never created, else the element count.
    std::optional<std::uint32_t> listHeader(FieldName name, qsizetype minElementSize,
                                            const QString& elements = QStringLiteral("elements")) {
        const qsizetype start = m_offset;
        const std::uint16_t dimensions = take<std::uint16_t>(name);
        if (dimensions == 0)
            return std::nullopt;
        if (dimensions != 1)
            fail(describe(name), start,
                 QStringLiteral("the list header gives %1 dimensions; only 0 or 1 are valid.")
                     .arg(dimensions));
        const std::uint32_t count = take<std::uint32_t>(name);
        const auto lowerBound = static_cast<std::int32_t>(take<std::uint32_t>(name));
        if (lowerBound != 0)
            fail(describe(name), start,
                 QStringLiteral("the list header gives the lower bound %1; only 0 is valid.")
                     .arg(lowerBound));
        if (static_cast<quint64>(count) * static_cast<quint64>(minElementSize) >
            static_cast<quint64>(remaining()))
            fail(describe(name), start,
                 QStringLiteral("the list header counts %1 %2, but the %3 bytes that "
                                "remain hold at most %4.")
                     .arg(count)
                     .arg(elements)
                     .arg(remaining())
                     .arg(remaining() / minElementSize));
        return count;
    }

private:
    qsizetype remaining() const { return m_data.size() - m_offset; }

    QString describe(FieldName name) const {
        if (!name.field)
            return m_where;
        const QString field = QStringLiteral("field %1").arg(name.toString());
        return m_where.isEmpty() ? QStringLiteral("The ") + field
                                 : m_where + QStringLiteral(", ") + field;
    }

    void need(FieldName name, qsizetype bytes) {
        if (bytes > remaining())
            fail(describe(name), m_offset,
                 QStringLiteral("%1 bytes are needed, but the data ends after %2.")
                     .arg(bytes)
                     .arg(remaining()));
    }

    template <class Unsigned> Unsigned take(FieldName name) {
        need(name, sizeof(Unsigned));
        const auto value = bytes::loadLittleEndian<Unsigned>(m_data.data() + m_offset);
        m_offset += sizeof(Unsigned);
        return value;
    }

    QByteArrayView m_data;
    qsizetype& m_offset;
    QString m_where;
};

PlayerRecord parseRecordAt(QByteArrayView data, qsizetype& offset, QString where) {
    if (offset < 0 || offset > data.size())
        fail(QStringLiteral("The record"), offset,
             QStringLiteral("the offset lies outside the data."));
    PlayerRecord record;
    Reader reader(data, offset, std::move(where));
    forEachField(record, [&reader](const char* field, auto& value) { reader({field}, value); });
    return record;
}

} // namespace

PlayerRecord blankRecord() {
    return PlayerRecord{};
}

void serialiseRecord(QByteArray& out, const PlayerRecord& record) {
    // Built aside so that a rejected text leaves out as it was.
    QByteArray bytes;
    bytes.reserve(1024);
    Writer writer(bytes, record);
    forEachField(record,
                 [&writer](const char* field, const auto& value) { writer({field}, value); });
    out.append(bytes);
}

QByteArray serialiseRecord(const PlayerRecord& record) {
    QByteArray out;
    serialiseRecord(out, record);
    return out;
}

PlayerRecord parseRecord(QByteArrayView data, qsizetype& offset) {
    return parseRecordAt(data, offset, QString());
}

QByteArray teamListHeader(quint32 count) {
    QByteArray header;
    header.reserve(kTeamListHeaderSize);
    bytes::appendLittleEndian(header, std::uint16_t{1});
    bytes::appendLittleEndian(header, std::uint32_t{count});
    bytes::appendLittleEndian(header, std::uint32_t{0});
    return header;
}

void setTeamListCount(QByteArray& list, quint32 count) {
    Q_ASSERT(list.size() >= kTeamListHeaderSize);
    bytes::storeLittleEndian(list.data() + 2, std::uint32_t{count});
}

QByteArray teamListNeverCreated() {
    QByteArray header;
    bytes::appendLittleEndian(header, std::uint16_t{0});
    return header;
}

QByteArray serialiseTeamList(const std::vector<PlayerRecord>& records) {
    QByteArray out = teamListHeader(static_cast<quint32>(records.size()));
    for (const PlayerRecord& record : records)
        serialiseRecord(out, record);
    return out;
}

std::vector<PlayerRecord> parseTeamList(QByteArrayView data) {
    qsizetype end = 0;
    return parseTeamList(data, end);
}

std::vector<PlayerRecord> parseTeamList(QByteArrayView data, qsizetype& end) {
    end = 0;
    if (data.isEmpty())
        return {};
    qsizetype& offset = end;
    Reader header(data, offset, QStringLiteral("The team list header"));
    const std::optional<std::uint32_t> count =
        header.listHeader({nullptr}, minDiskSize<PlayerRecord>(), QStringLiteral("records"));
    std::vector<PlayerRecord> records;
    if (!count)
        return records;
    records.reserve(*count);
    for (std::uint32_t i = 0; i < *count; ++i)
        records.push_back(parseRecordAt(data, offset, QStringLiteral("Record %1").arg(i)));
    return records;
}

} // namespace recordcodec

} // namespace tolvane
