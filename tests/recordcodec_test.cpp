#include "records/recordcodec.h"

#include "core/patcherror.h"
#include "records/playerrecord.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <vector>

using namespace tolvane;

namespace {

QByteArray littleEndian(std::uint64_t value, int width) {
    QByteArray bytes;
    for (int i = 0; i < width; ++i)
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    return bytes;
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// One field of the game's record layout as the game documents it: where the field starts
// in a record whose texts are empty and whose lists hold one blank element, how wide it is
// there, how to give it a value unique to the field, and the bytes that value must take.
struct Row {
    const char* name;
    qsizetype base;
    qsizetype width;
    bool isText;
    std::function<void(PlayerRecord&, int seed)> set;
    std::function<QByteArray(int seed)> expected;
};

template <class T> struct IsArray : std::false_type {};
template <class T, std::size_t N> struct IsArray<std::array<T, N>> : std::true_type {
    using Element = T;
    static constexpr std::size_t size = N;
};

float floatFor(int seed, std::size_t i = 0) {
    return static_cast<float>(seed) + 0.5f + static_cast<float>(i) * 0.25f;
}

template <class T> Row field(const char* name, qsizetype base, T PlayerRecord::*member) {
    if constexpr (std::is_same_v<T, std::uint8_t>) {
        return {name,
                base,
                1,
                false,
                [member](PlayerRecord& r, int s) { r.*member = s; },
                [](int s) { return littleEndian(s, 1); }};
    } else if constexpr (std::is_same_v<T, std::int16_t>) {
        // Negative, so that the sign bits are checked too.
        return {name,
                base,
                2,
                false,
                [member](PlayerRecord& r, int s) { r.*member = static_cast<std::int16_t>(-3 * s); },
                [](int s) { return littleEndian(static_cast<std::uint16_t>(-3 * s), 2); }};
    } else if constexpr (std::is_same_v<T, float>) {
        return {name,
                base,
                4,
                false,
                [member](PlayerRecord& r, int s) { r.*member = floatFor(s); },
                [](int s) { return littleEndian(std::bit_cast<std::uint32_t>(floatFor(s)), 4); }};
    } else if constexpr (std::is_same_v<T, double>) {
        return {name,
                base,
                8,
                false,
                [member](PlayerRecord& r, int s) { r.*member = s + 0.125; },
                [](int s) { return littleEndian(std::bit_cast<std::uint64_t>(s + 0.125), 8); }};
    } else if constexpr (std::is_same_v<T, QString>) {
        return {name,
                base,
                2,
                true,
                [member](PlayerRecord& r, int) { r.*member = "Q"; },
                [](int) { return hex("01 00 51"); }};
    } else if constexpr (std::is_same_v<T, std::optional<std::vector<SubEntryA>>>) {
        return {name,
                base,
                38,
                false,
                [member](PlayerRecord& r, int s) {
                    SubEntryA e;
                    e.plain.fill(static_cast<std::uint8_t>(s));
                    r.*member = std::vector{e};
                },
                [](int s) {
                    return hex("01 00 01 00 00 00 00 00 00 00 00 00") + QByteArray(26, char(s));
                }};
    } else if constexpr (std::is_same_v<T, std::optional<std::vector<SubEntryB>>>) {
        return {name,
                base,
                26,
                false,
                [member](PlayerRecord& r, int s) {
                    SubEntryB e;
                    e.plain.fill(static_cast<std::uint8_t>(s));
                    r.*member = std::vector{e};
                },
                [](int s) {
                    return hex("01 00 01 00 00 00 00 00 00 00 00 00 00 00") +
                           QByteArray(12, char(s));
                }};
    } else {
        using E = typename IsArray<T>::Element;
        constexpr std::size_t n = IsArray<T>::size;
        if constexpr (std::is_same_v<E, std::uint8_t>) {
            return {name,
                    base,
                    qsizetype(n),
                    false,
                    [member](PlayerRecord& r, int s) { (r.*member).fill(std::uint8_t(s)); },
                    [](int s) { return QByteArray(n, char(s)); }};
        } else if constexpr (std::is_same_v<E, std::int16_t>) {
            return {name,
                    base,
                    qsizetype(2 * n),
                    false,
                    [member](PlayerRecord& r, int s) {
                        for (std::size_t i = 0; i < n; ++i)
                            (r.*member)[i] = static_cast<std::int16_t>(s * 256 + int(i));
                    },
                    [](int s) {
                        QByteArray b;
                        for (std::size_t i = 0; i < n; ++i)
                            b += littleEndian(std::uint16_t(s * 256 + int(i)), 2);
                        return b;
                    }};
        } else {
            static_assert(std::is_same_v<E, float>);
            return {name,
                    base,
                    qsizetype(4 * n),
                    false,
                    [member](PlayerRecord& r, int s) {
                        for (std::size_t i = 0; i < n; ++i)
                            (r.*member)[i] = floatFor(s, i);
                    },
                    [](int s) {
                        QByteArray b;
                        for (std::size_t i = 0; i < n; ++i)
                            b += littleEndian(std::bit_cast<std::uint32_t>(floatFor(s, i)), 4);
                        return b;
                    }};
        }
    }
}

template <std::size_t N>
Row textElement(const char* name, qsizetype base, std::array<QString, N> PlayerRecord::*member,
                std::size_t index) {
    return {name,
            base,
            2,
            true,
            [member, index](PlayerRecord& r, int) { (r.*member)[index] = "Q"; },
            [](int) { return hex("01 00 51"); }};
}

using R = PlayerRecord;

const std::vector<Row>& layout() {
    static const std::vector<Row> rows = {
        field("spare0", 0, &R::spare0),
        field("shortKick", 1, &R::shortKick),
        field("spare5", 5, &R::spare5),
        field("goalAccuracyGround", 9, &R::goalAccuracyGround),
        field("goalAccuracyMark", 13, &R::goalAccuracyMark),
        field("speed", 17, &R::speed),
        field("spare21", 21, &R::spare21),
        field("crumbs", 25, &R::crumbs),
        field("defenceGround", 29, &R::defenceGround),
        field("defenceAir", 33, &R::defenceAir),
        field("defenceOne", 37, &R::defenceOne),
        field("hitOuts", 41, &R::hitOuts),
        field("strength", 45, &R::strength),
        field("spare49", 49, &R::spare49),
        field("agility", 53, &R::agility),
        field("handball", 57, &R::handball),
        field("kickMax", 61, &R::kickMax),
        field("longKickFactor", 65, &R::longKickFactor),
        field("shortKickFactor", 69, &R::shortKickFactor),
        field("shortKickPercent", 73, &R::shortKickPercent),
        field("longKickPercent", 77, &R::longKickPercent),
        field("handballPercent", 81, &R::handballPercent),
        field("runPercent", 85, &R::runPercent),
        field("spare89", 89, &R::spare89),
        field("firstName", 125, &R::firstName),
        field("lastName", 127, &R::lastName),
        field("team", 129, &R::team),
        field("salary", 131, &R::salary),
        field("preferredPos", 139, &R::preferredPos),
        field("spare141", 141, &R::spare141),
        field("health", 145, &R::health),
        field("typeProfileA", 149, &R::typeProfileA),
        field("spare189", 189, &R::spare189),
        field("longKick", 199, &R::longKick),
        field("spare203", 203, &R::spare203),
        field("keyPos", 207, &R::keyPos),
        field("preset209", 209, &R::preset209),
        field("spare217", 217, &R::spare217),
        field("overall", 253, &R::overall),
        field("injuryTendency", 257, &R::injuryTendency),
        field("reputationTendency", 259, &R::reputationTendency),
        field("typeProfileB", 263, &R::typeProfileB),
        field("healthLimit", 303, &R::healthLimit),
        field("preset311", 311, &R::preset311),
        field("fullName", 313, &R::fullName),
        field("height", 315, &R::height),
        field("weight", 317, &R::weight),
        field("dateOfBirth", 319, &R::dateOfBirth),
        field("secondaryPos", 327, &R::secondaryPos),
        field("thirdPos", 329, &R::thirdPos),
        field("tackling", 331, &R::tackling),
        field("discipline", 335, &R::discipline),
        field("freeKickTendency", 339, &R::freeKickTendency),
        field("markContested", 343, &R::markContested),
        field("markUncontested", 347, &R::markUncontested),
        field("spare351", 351, &R::spare351),
        field("playerType", 367, &R::playerType),
        field("leadership", 369, &R::leadership),
        field("potential", 371, &R::potential),
        field("lineupType", 379, &R::lineupType),
        field("contract", 381, &R::contract),
        textElement("recentGames[0]", 383, &R::recentGames, 0),
        textElement("recentGames[1]", 385, &R::recentGames, 1),
        textElement("recentGames[2]", 387, &R::recentGames, 2),
        field("spare389", 389, &R::spare389),
        field("clearance", 395, &R::clearance),
        field("goalSense", 399, &R::goalSense),
        field("preset403", 403, &R::preset403),
        field("debut", 405, &R::debut),
        field("state", 407, &R::state),
        field("town", 409, &R::town),
        field("preset411", 411, &R::preset411),
        field("preset413", 413, &R::preset413),
        field("playerNumber", 415, &R::playerNumber),
        field("spare417", 417, &R::spare417),
        field("subListA", 425, &R::subListA),
        field("subListB", 463, &R::subListB),
        field("preset489", 489, &R::preset489),
        field("spare491", 491, &R::spare491),
        field("spare493", 493, &R::spare493),
        field("spare495", 495, &R::spare495),
        field("spare497", 497, &R::spare497),
        field("improveR", 499, &R::improveR),
        field("improveBf", 507, &R::improveBf),
        field("improveB", 515, &R::improveB),
        field("improveC", 523, &R::improveC),
        field("improveF", 531, &R::improveF),
        field("improveFf", 539, &R::improveFf),
        field("improveK", 547, &R::improveK),
        field("improveNk", 555, &R::improveNk),
        field("positionValuesA", 563, &R::positionValuesA),
        field("spare595", 595, &R::spare595),
        field("positionValuesB", 611, &R::positionValuesB),
        field("spare643", 643, &R::spare643),
        field("preset645", 645, &R::preset645),
        field("pendingSalary", 647, &R::pendingSalary),
        field("pendingContract", 655, &R::pendingContract),
        textElement("spareTextsA[0]", 657, &R::spareTextsA, 0),
        textElement("spareTextsA[1]", 659, &R::spareTextsA, 1),
        textElement("spareTextsA[2]", 661, &R::spareTextsA, 2),
        textElement("spareTextsA[3]", 663, &R::spareTextsA, 3),
        textElement("spareTextsB[0]", 665, &R::spareTextsB, 0),
        textElement("spareTextsB[1]", 667, &R::spareTextsB, 1),
        textElement("spareTextsB[2]", 669, &R::spareTextsB, 2),
        textElement("spareTextsB[3]", 671, &R::spareTextsB, 3),
        field("spare673", 673, &R::spare673),
        field("spare675", 675, &R::spare675),
        field("spare677", 677, &R::spare677),
        field("spareText679", 679, &R::spareText679),
    };
    return rows;
}

// Every non-text field holds its row's unique value; texts are empty.
PlayerRecord recordWithEveryNumberSet() {
    PlayerRecord record;
    int seed = 1;
    for (const Row& row : layout()) {
        if (!row.isText)
            row.set(record, seed);
        ++seed;
    }
    return record;
}

TEST(RecordLayout, TableCoversTheRecordBackToBack) {
    const auto& rows = layout();
    int texts = 0;
    for (std::size_t i = 0; i + 1 < rows.size(); ++i)
        EXPECT_EQ(rows[i].base + rows[i].width, rows[i + 1].base) << rows[i].name;
    for (const Row& row : rows)
        texts += row.isText;
    EXPECT_EQ(rows.back().base + rows.back().width, 681);
    EXPECT_EQ(texts, 22);
}

// With all texts empty every field must stand at its documented base; with one text of
// one character that text's bytes stand at its base and every later field moves by one.
TEST(RecordLayout, EveryFieldAtItsOffset) {
    const auto& rows = layout();
    for (std::size_t textRow = 0; textRow <= rows.size(); ++textRow) {
        const bool withText = textRow < rows.size();
        if (withText && !rows[textRow].isText)
            continue;
        PlayerRecord record = recordWithEveryNumberSet();
        if (withText)
            rows[textRow].set(record, 0);
        const QByteArray bytes = recordcodec::serialiseRecord(record);
        const std::string context = withText ? rows[textRow].name : "no text";
        ASSERT_EQ(bytes.size(), withText ? 682 : 681) << context;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& row = rows[i];
            const qsizetype shift = withText && i > textRow ? 1 : 0;
            const QByteArray expected = !row.isText    ? row.expected(int(i) + 1)
                                        : i == textRow ? row.expected(0)
                                                       : hex("00 00");
            EXPECT_EQ(bytes.mid(row.base + shift, expected.size()).toHex(' '), expected.toHex(' '))
                << row.name << " with " << context;
        }
    }
}

TEST(RecordCodec, BlankTeamListIs631Bytes) {
    const QByteArray expected = hex("01 00 01 00 00 00 00 00 00 00") + QByteArray(621, '\0');
    EXPECT_EQ(recordcodec::serialiseTeamList({recordcodec::blankRecord()}), expected);
    EXPECT_EQ(recordcodec::teamListHeader(1) +
                  recordcodec::serialiseRecord(recordcodec::blankRecord()),
              expected);

    const std::vector<PlayerRecord> parsed = recordcodec::parseTeamList(expected);
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(parsed[0], recordcodec::blankRecord());
    EXPECT_FALSE(parsed[0].subListA.has_value());
}

TEST(RecordCodec, KnownBytes) {
    struct Case {
        const char* what;
        std::function<void(PlayerRecord&)> set;
        qsizetype offset;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"names",
         [](PlayerRecord& r) {
             r.firstName = "Jo";
             r.lastName = "Bell";
             r.team = "Cats";
         },
         125, hex("02 00 4A 6F 04 00 42 65 6C 6C 04 00 43 61 74 73")},
        {"salary after names",
         [](PlayerRecord& r) {
             r.firstName = "Jo";
             r.lastName = "Bell";
             r.team = "Cats";
             r.salary = 1234.5;
         },
         141, hex("00 00 00 00 00 4A 93 40")},
        {"keyPos true", [](PlayerRecord& r) { r.keyPos = -1; }, 207, hex("FF FF")},
        {"1 January 1980", [](PlayerRecord& r) { r.dateOfBirth = 29221.0; }, 319,
         hex("00 00 00 00 40 89 DC 40")},
        {"e acute", [](PlayerRecord& r) { r.firstName = QStringLiteral("\u00e9"); }, 125,
         hex("01 00 E9")},
        {"euro", [](PlayerRecord& r) { r.firstName = QStringLiteral("\u20ac"); }, 125,
         hex("01 00 80")},
        {"unmappable", [](PlayerRecord& r) { r.firstName = QStringLiteral("\u6f22"); }, 125,
         hex("01 00 3F")},
        {"list text",
         [](PlayerRecord& r) {
             r.subListA = std::vector{SubEntryA{"DNP", {}}};
         },
         425, hex("01 00 01 00 00 00 00 00 00 00 03 00 44 4E 50")},
        {"empty list", [](PlayerRecord& r) { r.subListB = std::vector<SubEntryB>{}; }, 427,
         hex("01 00 00 00 00 00 00 00 00 00 00 00")},
    };
    for (const Case& c : cases) {
        PlayerRecord record;
        c.set(record);
        const QByteArray bytes = recordcodec::serialiseRecord(record);
        EXPECT_EQ(bytes.mid(c.offset, c.bytes.size()).toHex(' '), c.bytes.toHex(' ')) << c.what;
    }
}

PlayerRecord playerWithEveryText(int n) {
    PlayerRecord r = recordWithEveryNumberSet();
    r.shortKick = float(n);
    r.firstName = QStringLiteral("J\u00f6rg%1").arg(n);
    r.lastName = QStringLiteral("M\u00fcller \u20ac");
    r.team = "Cats";
    r.preferredPos = "CHF";
    r.fullName = r.firstName + " " + r.lastName;
    r.secondaryPos = "W";
    r.thirdPos = "R";
    r.lineupType = "B";
    r.recentGames = {"DNP", "12", "x"};
    r.state = "VIC";
    r.town = "Ballarat";
    r.spareTextsA = {"a", "bb", "ccc", "dddd"};
    r.spareTextsB = {"e", "", "g", "h"};
    r.spareText679 = "last";
    r.subListA = std::vector{SubEntryA{"one", {1, 2}}, SubEntryA{"", {}}, SubEntryA{"three", {3}}};
    r.subListB = std::vector{SubEntryB{"x", "y", {9}}};
    return r;
}

TEST(RecordCodec, RoundTrips) {
    PlayerRecord noLists = playerWithEveryText(7);
    noLists.subListA.reset();
    noLists.subListB = std::vector<SubEntryB>{};
    for (const PlayerRecord& record : {playerWithEveryText(1), noLists, PlayerRecord{}}) {
        const QByteArray bytes = recordcodec::serialiseRecord(record);
        qsizetype offset = 0;
        EXPECT_EQ(recordcodec::parseRecord(bytes, offset), record);
        EXPECT_EQ(offset, bytes.size());
    }

    const std::vector<PlayerRecord> list = {recordcodec::blankRecord(), playerWithEveryText(1),
                                            playerWithEveryText(2), noLists};
    const QByteArray file = recordcodec::serialiseTeamList(list);
    EXPECT_EQ(file.left(10), hex("01 00 04 00 00 00 00 00 00 00"));
    EXPECT_EQ(recordcodec::parseTeamList(file), list);
    EXPECT_EQ(recordcodec::parseTeamList(file + QByteArray(100, 'z')), list);
    EXPECT_TRUE(recordcodec::parseTeamList(QByteArray()).empty());
}

TEST(RecordCodec, TextTooLongNamesPlayerAndField) {
    PlayerRecord record;
    record.firstName = "Jo";
    record.lastName = "Bell";
    record.team = "Cats";
    record.town = QString(65535, 'a');
    EXPECT_EQ(recordcodec::serialiseRecord(record).size(), 621 + 10 + 65535);

    record.town += QStringLiteral("\u20ac");
    QByteArray out("kept");
    try {
        recordcodec::serialiseRecord(out, record);
        FAIL() << "no error for a text of 65,536 bytes";
    } catch (const PatchError& error) {
        EXPECT_TRUE(error.target().contains("Jo") && error.target().contains("Bell") &&
                    error.target().contains("Cats"))
            << error.what();
        EXPECT_TRUE(error.cause().contains("town")) << error.what();
        EXPECT_TRUE(error.cause().contains("65536")) << error.what();
    }
    EXPECT_EQ(out, "kept");
}

TEST(RecordCodec, CorruptInputIsRejectedWithItsPlace) {
    const QByteArray blankFile = recordcodec::serialiseTeamList({PlayerRecord{}});
    PlayerRecord player;
    player.subListA = std::vector{SubEntryA{}};
    player.subListB = std::vector{SubEntryB{}};
    const QByteArray playerFile = recordcodec::serialiseTeamList({PlayerRecord{}, player});
    const QByteArray header1 = hex("01 00 01 00 00 00 00 00 00 00");
    // Zero bytes read as empty texts and lists never created, so fields up to subListA stand
    // at their base + 10 and subListB follows subListA's two bytes.
    QByteArray badText = blankFile;
    badText[137] = char(0xFF);
    badText[138] = char(0xFF);
    QByteArray hugeList = header1 + QByteArray(425, '\0') + hex("01 00 FF FF FF FF 00 00 00 00");
    hugeList += QByteArray(300, '\0');
    QByteArray threeDims = header1 + QByteArray(425, '\0') + hex("03 00") + QByteArray(300, '\0');
    QByteArray lowerBound = header1 + QByteArray(427, '\0') + hex("01 00 01 00 00 00 01 00 00 00");
    lowerBound += QByteArray(300, '\0');

    struct Case {
        const char* what;
        QByteArray data;
        std::vector<const char*> mentions;
    };
    const Case cases[] = {
        {"truncated file", playerFile.chopped(1), {"Record 1", "spareText679", "1310"}},
        {"truncated header", hex("01 00 01 00 00"), {"team list header", "byte 2"}},
        {"count larger than the data",
         hex("01 00 03 00 00 00 00 00 00 00") + QByteArray(1300, '\0'),
         {"team list header", "counts 3"}},
        {"header dimensions",
         hex("05 00 01 00 00 00 00 00 00 00") + QByteArray(621, '\0'),
         {"team list header", "5 dimensions"}},
        {"string past the end", badText, {"lastName", "65535", "137"}},
        {"huge list count", hugeList, {"subListA", "4294967295", "435"}},
        {"list dimensions", threeDims, {"subListA", "3 dimensions"}},
        {"list lower bound", lowerBound, {"subListB", "lower bound 1", "437"}},
        {"list element cut short",
         header1 + QByteArray(125, '\0') + hex("C8 00") + QByteArray(200, 'a') +
             QByteArray(298, '\0') + hex("01 00 01 00 00 00 00 00 00 00 02 00 61 62") +
             QByteArray(24, '\0'),
         {"Record 0", "subListA[0].plain", "byte 649"}},
    };
    for (const Case& c : cases) {
        try {
            recordcodec::parseTeamList(c.data);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const PatchError& error) {
            for (const char* mention : c.mentions)
                EXPECT_TRUE(error.message().contains(QLatin1String(mention)))
                    << c.what << ": " << error.what();
        }
    }
}

TEST(RecordCodec, EveryTruncationIsAnError) {
    const QByteArray file = recordcodec::serialiseTeamList(
        {recordcodec::blankRecord(), playerWithEveryText(1), playerWithEveryText(2)});
    for (qsizetype length = 1; length < file.size(); ++length)
        EXPECT_THROW(recordcodec::parseTeamList(QByteArrayView(file).first(length)), PatchError)
            << length;
}

} // namespace
