#include "records/recordfields.h"

#include "core/cp1252.h"
#include "core/patcherror.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"
#include "support/randomrecord.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QSet>
#include <QStringList>

#include <bit>
#include <limits>
#include <type_traits>

using namespace tolvane;

namespace {

using recordfields::Kind;

PlayerRecord rebuilt(const PlayerRecord& record) {
    QHash<QString, QString> texts;
    for (const recordfields::Field& field : recordfields::fieldsOf(record))
        texts.insert(field.name, field.text);
    return recordfields::recordFromFields(
        [&texts](const QString& name, Kind) -> std::optional<QString> {
            const auto it = texts.constFind(name);
            return it == texts.constEnd() ? std::nullopt : std::optional(*it);
        });
}

QString textOf(const PlayerRecord& record, const QString& name) {
    for (const recordfields::Field& field : recordfields::fieldsOf(record)) {
        if (field.name == name)
            return field.text;
    }
    ADD_FAILURE() << "no field " << name.toStdString();
    return {};
}

// Comparing the disk forms, not the records: NaN never equals itself.
TEST(RecordFields, TextsGiveBackEveryBit) {
    std::mt19937 rng(13);
    for (int i = 0; i < 300; ++i) {
        const PlayerRecord record = randomRecord(rng);
        ASSERT_EQ(recordcodec::serialiseRecord(rebuilt(record)).toHex(),
                  recordcodec::serialiseRecord(record).toHex())
            << "record " << i;
    }
    // Every byte a text may hold, the five bytes Windows-1252 leaves undefined among them.
    PlayerRecord allBytes;
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b));
    allBytes.town = fromCp1252(bytes);
    allBytes.subListB = std::vector{SubEntryB{fromCp1252(bytes), QString(), {}}};
    EXPECT_EQ(recordcodec::serialiseRecord(rebuilt(allBytes)),
              recordcodec::serialiseRecord(allBytes));
}

TEST(RecordFields, NamesAndTextForms) {
    PlayerRecord r;
    r.shortKick = -0.0f;
    r.speed = std::bit_cast<float>(0x7FC00001u);
    r.crumbs = std::numeric_limits<float>::infinity();
    r.strength = std::bit_cast<float>(0xFFC00000u);
    r.agility = 0.1f;
    r.salary = std::bit_cast<double>(0x7FF0000000000001ull);
    r.dateOfBirth = 29221.0;
    r.healthLimit = 1e300;
    r.keyPos = -1;
    r.preset489 = 7;
    r.typeProfileB[19] = -32768;
    r.spare5 = {0xDE, 0xAD, 0xBE, 0xEF};
    r.recentGames[2] = QStringLiteral("DNP");
    r.subListB = std::vector{SubEntryB{}, SubEntryB{"a", "b", {}}};
    const std::pair<const char*, const char*> expected[] = {
        {"shortKick", "-0"},
        {"speed", "nan:0x7fc00001"},
        {"crumbs", "inf"},
        {"strength", "-nan"},
        {"agility", "0.1"},
        {"salary", "nan:0x7ff0000000000001"},
        {"dateOfBirth", "1980-01-01"},
        {"healthLimit", "1e+300"},
        {"keyPos", "true"},
        {"preset489", "7"},
        {"typeProfileB[19]", "-32768"},
        {"spare5", "deadbeef"},
        {"recentGames[2]", "DNP"},
        {"subListA", ""},
        {"subListB", "2"},
        {"subListB[1].text2", "b"},
        {"subListB[1].plain", "000000000000000000000000"},
    };
    for (const auto& [name, text] : expected)
        EXPECT_EQ(textOf(r, QLatin1String(name)), QLatin1String(text)) << name;

    const std::vector<recordfields::Field> fields = recordfields::fieldsOf(r);
    QSet<QString> names;
    for (const auto& field : fields)
        EXPECT_FALSE(names.contains(field.name)) << field.name.toStdString();
    EXPECT_EQ(fields.front().name, "spare0");
    EXPECT_EQ(fields.back().name, "spareText679");

    EXPECT_EQ(recordfields::canonicalText(Kind::Single, "72.0"), "72");
    EXPECT_EQ(recordfields::canonicalText(Kind::Date, "29221.5"), "29221.5");
    EXPECT_EQ(recordfields::canonicalText(Kind::Date, "29221"), "1980-01-01");
    EXPECT_EQ(recordfields::canonicalText(Kind::Boolean, "-1"), "true");
}

// A value unlike the zero every field starts with.
template <class T> void setNonZero(T& value) {
    if constexpr (std::is_same_v<T, QString>)
        value = QStringLiteral("Q");
    else if constexpr (std::is_arithmetic_v<T>)
        value = T(7);
    else if constexpr (requires { value.emplace(); })
        value.emplace(1);
    else
        for (auto& element : value)
            setNonZero(element);
}

// The named fields of record that differ from those of base.
QStringList changedNames(const PlayerRecord& base, const PlayerRecord& record) {
    QHash<QString, QString> before;
    for (const recordfields::Field& field : recordfields::fieldsOf(base))
        before.insert(field.name, field.text);
    QStringList changed;
    for (const recordfields::Field& field : recordfields::fieldsOf(record)) {
        if (before.value(field.name, QStringLiteral("\x01none")) != field.text)
            changed << field.name;
    }
    return changed;
}

// Each field of the lists a record is made from, given a value of its own, must reach the
// disk form, read back, and change the named fields of that field and of no other.
void expectFieldReachesDiskAndNames(const PlayerRecord& base, const PlayerRecord& record,
                                    const QString& name) {
    SCOPED_TRACE(name.toStdString());
    const QByteArray bytes = recordcodec::serialiseRecord(record);
    EXPECT_NE(bytes, recordcodec::serialiseRecord(base));
    qsizetype offset = 0;
    EXPECT_EQ(recordcodec::parseRecord(bytes, offset), record);
    const QStringList changed = changedNames(base, record);
    EXPECT_FALSE(changed.isEmpty());
    for (const QString& changedName : changed)
        EXPECT_TRUE(changedName == name || changedName.startsWith(name + '[') ||
                    changedName.startsWith(name + '.'))
            << changedName.toStdString();
    EXPECT_EQ(rebuilt(record), record);
}

TEST(RecordFields, EveryListedFieldReachesTheDiskAndTheNames) {
    const PlayerRecord blank;
#define TOLVANE_CHECK_FIELD(type, name)                                                            \
    {                                                                                              \
        PlayerRecord record;                                                                       \
        setNonZero(record.name);                                                                   \
        expectFieldReachesDiskAndNames(blank, record, QStringLiteral(#name));                      \
    }
    TOLVANE_PLAYER_RECORD_FIELDS(TOLVANE_CHECK_FIELD)
#undef TOLVANE_CHECK_FIELD

    PlayerRecord withEntries;
    withEntries.subListA.emplace(1);
    withEntries.subListB.emplace(1);
#define TOLVANE_CHECK_MEMBER(list, type, name)                                                     \
    {                                                                                              \
        PlayerRecord record = withEntries;                                                         \
        setNonZero((*record.list)[0].name);                                                        \
        expectFieldReachesDiskAndNames(withEntries, record, QStringLiteral(#list "[0]." #name));   \
    }
#define TOLVANE_CHECK_A(type, name) TOLVANE_CHECK_MEMBER(subListA, type, name)
#define TOLVANE_CHECK_B(type, name) TOLVANE_CHECK_MEMBER(subListB, type, name)
    TOLVANE_SUB_ENTRY_A_FIELDS(TOLVANE_CHECK_A)
    TOLVANE_SUB_ENTRY_B_FIELDS(TOLVANE_CHECK_B)
#undef TOLVANE_CHECK_B
#undef TOLVANE_CHECK_A
#undef TOLVANE_CHECK_MEMBER
}

TEST(RecordFields, BadValuesNameTheField) {
    const std::pair<const char*, const char*> cases[] = {
        {"overall", "fast"},
        {"overall", "1e39"},
        {"overall", "nan:0x3f800000"},
        {"salary", "nan:0x7ff8"},
        {"spare0", "256"},
        {"height", "32768"},
        {"keyPos", "yes"},
        {"dateOfBirth", "1980-02-30"},
        {"firstName", "\u0141ukasz"},
        {"spare5", "deadbee"},
        {"spare5", "deadbeeg"},
        {"subListA", "-1"},
        {"subListA", "70000"},
    };
    for (const auto& c : cases) {
        const char* field = c.first;
        const char* text = c.second;
        try {
            recordfields::recordFromFields([&](const QString& name, Kind) {
                return name == QLatin1String(field) ? std::optional(QString::fromUtf8(text))
                                                    : std::nullopt;
            });
            ADD_FAILURE() << field << " took " << text;
        } catch (const PatchError& error) {
            EXPECT_EQ(error.target(), QLatin1String(field)) << error.what();
        }
    }
}

} // namespace
