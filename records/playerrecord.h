#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tolvane {

// The game's description of one player, field for field in the order of its disk form
// (see recordcodec.h). Spare fields are never set by the update run; spare and preset
// fields are named after their offset in a record whose texts are empty. Booleans are
// 16-bit: 0 false, -1 true. Dates are OLE Automation day numbers.

// Element of the record's first nested list: a text, then 26 plain bytes.
struct SubEntryA {
    QString text;
    std::array<std::uint8_t, 26> plain{};

    bool operator==(const SubEntryA&) const = default;
};

// Element of the record's second nested list: two texts, then 12 plain bytes.
struct SubEntryB {
    QString text1;
    QString text2;
    std::array<std::uint8_t, 12> plain{};

    bool operator==(const SubEntryB&) const = default;
};

template <std::size_t N> using SpareBytes = std::array<std::uint8_t, N>;

struct PlayerRecord {
    std::uint8_t spare0 = 0;
    float shortKick = 0;
    SpareBytes<4> spare5{};
    float goalAccuracyGround = 0;
    float goalAccuracyMark = 0;
    float speed = 0;
    SpareBytes<4> spare21{};
    float crumbs = 0;
    float defenceGround = 0;
    float defenceAir = 0;
    float defenceOne = 0;
    float hitOuts = 0;
    float strength = 0;
    SpareBytes<4> spare49{};
    float agility = 0;
    float handball = 0;
    float kickMax = 0;
    float longKickFactor = 0;
    float shortKickFactor = 0;
    float shortKickPercent = 0;
    float longKickPercent = 0;
    float handballPercent = 0;
    float runPercent = 0;
    SpareBytes<36> spare89{};
    QString firstName;
    QString lastName;
    QString team;
    double salary = 0;
    QString preferredPos;
    SpareBytes<4> spare141{};
    float health = 0;
    std::array<std::int16_t, 20> typeProfileA{};
    SpareBytes<10> spare189{};
    float longKick = 0;
    SpareBytes<4> spare203{};
    std::int16_t keyPos = 0;
    double preset209 = 0;
    SpareBytes<36> spare217{};
    float overall = 0;
    std::int16_t injuryTendency = 0;
    float reputationTendency = 0;
    std::array<std::int16_t, 20> typeProfileB{};
    double healthLimit = 0;
    std::int16_t preset311 = 0;
    QString fullName;
    std::int16_t height = 0;
    std::int16_t weight = 0;
    double dateOfBirth = 0;
    QString secondaryPos;
    QString thirdPos;
    float tackling = 0;
    float discipline = 0;
    float freeKickTendency = 0;
    float markContested = 0;
    float markUncontested = 0;
    SpareBytes<16> spare351{};
    std::int16_t playerType = 0;
    std::int16_t leadership = 0;
    double potential = 0;
    QString lineupType;
    std::int16_t contract = 0;
    std::array<QString, 3> recentGames;
    SpareBytes<6> spare389{};
    float clearance = 0;
    float goalSense = 0;
    std::int16_t preset403 = 0;
    std::int16_t debut = 0;
    QString state;
    QString town;
    std::int16_t preset411 = 0;
    std::int16_t preset413 = 0;
    std::int16_t playerNumber = 0;
    SpareBytes<8> spare417{};
    // A list that was never created (no array) is nullopt, which differs on disk from
    // an empty list.
    std::optional<std::vector<SubEntryA>> subListA;
    std::optional<std::vector<SubEntryB>> subListB;
    std::int16_t preset489 = 0;
    std::int16_t spare491 = 0;
    std::int16_t spare493 = 0;
    std::int16_t spare495 = 0;
    std::int16_t spare497 = 0;
    double improveR = 0;
    double improveBf = 0;
    double improveB = 0;
    double improveC = 0;
    double improveF = 0;
    double improveFf = 0;
    double improveK = 0;
    double improveNk = 0;
    std::array<float, 8> positionValuesA{};
    std::array<std::int16_t, 8> spare595{};
    std::array<float, 8> positionValuesB{};
    std::int16_t spare643 = 0;
    std::int16_t preset645 = 0;
    double pendingSalary = 0;
    std::int16_t pendingContract = 0;
    std::array<QString, 4> spareTextsA;
    std::array<QString, 4> spareTextsB;
    std::int16_t spare673 = 0;
    std::int16_t spare675 = 0;
    std::int16_t spare677 = 0;
    QString spareText679;

    bool operator==(const PlayerRecord&) const = default;
};

} // namespace tolvane
