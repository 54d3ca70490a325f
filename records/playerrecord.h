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
// 16-bit: 0 false, -1 true. Dates are OLE Automation day numbers. A nested list that was
// never created (no array) is nullopt, which differs on disk from an empty list.
//
// Each type's fields are given once, as a list F(type, name) in disk order: the struct's
// members are made from it, and so is forEachField (records/recordfields_p.h), which the
// codec and the named fields walk, so that a field cannot be in one and missing from the
// other. The types below have names so that no type in a list holds a comma.

template <std::size_t N> using PlainBytes = std::array<std::uint8_t, N>;
template <std::size_t N> using Int16s = std::array<std::int16_t, N>;
template <std::size_t N> using Floats = std::array<float, N>;
template <std::size_t N> using Texts = std::array<QString, N>;
template <class Entry> using OptionalList = std::optional<std::vector<Entry>>;

// A member of a field list; every member starts as zero, an empty text, or no list.
#define TOLVANE_RECORD_MEMBER(type, name) type name{};

// Element of the record's first nested list: a text, then 26 plain bytes.
#define TOLVANE_SUB_ENTRY_A_FIELDS(F)                                                              \
    F(QString, text)                                                                               \
    F(PlainBytes<26>, plain)

struct SubEntryA {
    TOLVANE_SUB_ENTRY_A_FIELDS(TOLVANE_RECORD_MEMBER)

    bool operator==(const SubEntryA&) const = default;
};

// Element of the record's second nested list: two texts, then 12 plain bytes.
#define TOLVANE_SUB_ENTRY_B_FIELDS(F)                                                              \
    F(QString, text1)                                                                              \
    F(QString, text2)                                                                              \
    F(PlainBytes<12>, plain)

struct SubEntryB {
    TOLVANE_SUB_ENTRY_B_FIELDS(TOLVANE_RECORD_MEMBER)

    bool operator==(const SubEntryB&) const = default;
};

#define TOLVANE_PLAYER_RECORD_FIELDS(F)                                                            \
    F(std::uint8_t, spare0)                                                                        \
    F(float, shortKick)                                                                            \
    F(PlainBytes<4>, spare5)                                                                       \
    F(float, goalAccuracyGround)                                                                   \
    F(float, goalAccuracyMark)                                                                     \
    F(float, speed)                                                                                \
    F(PlainBytes<4>, spare21)                                                                      \
    F(float, crumbs)                                                                               \
    F(float, defenceGround)                                                                        \
    F(float, defenceAir)                                                                           \
    F(float, defenceOne)                                                                           \
    F(float, hitOuts)                                                                              \
    F(float, strength)                                                                             \
    F(PlainBytes<4>, spare49)                                                                      \
    F(float, agility)                                                                              \
    F(float, handball)                                                                             \
    F(float, kickMax)                                                                              \
    F(float, longKickFactor)                                                                       \
    F(float, shortKickFactor)                                                                      \
    F(float, shortKickPercent)                                                                     \
    F(float, longKickPercent)                                                                      \
    F(float, handballPercent)                                                                      \
    F(float, runPercent)                                                                           \
    F(PlainBytes<36>, spare89)                                                                     \
    F(QString, firstName)                                                                          \
    F(QString, lastName)                                                                           \
    F(QString, team)                                                                               \
    F(double, salary)                                                                              \
    F(QString, preferredPos)                                                                       \
    F(PlainBytes<4>, spare141)                                                                     \
    F(float, health)                                                                               \
    F(Int16s<20>, typeProfileA)                                                                    \
    F(PlainBytes<10>, spare189)                                                                    \
    F(float, longKick)                                                                             \
    F(PlainBytes<4>, spare203)                                                                     \
    F(std::int16_t, keyPos)                                                                        \
    F(double, preset209)                                                                           \
    F(PlainBytes<36>, spare217)                                                                    \
    F(float, overall)                                                                              \
    F(std::int16_t, injuryTendency)                                                                \
    F(float, reputationTendency)                                                                   \
    F(Int16s<20>, typeProfileB)                                                                    \
    F(double, healthLimit)                                                                         \
    F(std::int16_t, preset311)                                                                     \
    F(QString, fullName)                                                                           \
    F(std::int16_t, height)                                                                        \
    F(std::int16_t, weight)                                                                        \
    F(double, dateOfBirth)                                                                         \
    F(QString, secondaryPos)                                                                       \
    F(QString, thirdPos)                                                                           \
    F(float, tackling)                                                                             \
    F(float, discipline)                                                                           \
    F(float, freeKickTendency)                                                                     \
    F(float, markContested)                                                                        \
    F(float, markUncontested)                                                                      \
    F(PlainBytes<16>, spare351)                                                                    \
    F(std::int16_t, playerType)                                                                    \
    F(std::int16_t, leadership)                                                                    \
    F(double, potential)                                                                           \
    F(QString, lineupType)                                                                         \
    F(std::int16_t, contract)                                                                      \
    F(Texts<3>, recentGames)                                                                       \
    F(PlainBytes<6>, spare389)                                                                     \
    F(float, clearance)                                                                            \
    F(float, goalSense)                                                                            \
    F(std::int16_t, preset403)                                                                     \
    F(std::int16_t, debut)                                                                         \
    F(QString, state)                                                                              \
    F(QString, town)                                                                               \
    F(std::int16_t, preset411)                                                                     \
    F(std::int16_t, preset413)                                                                     \
    F(std::int16_t, playerNumber)                                                                  \
    F(PlainBytes<8>, spare417)                                                                     \
    F(OptionalList<SubEntryA>, subListA)                                                           \
    F(OptionalList<SubEntryB>, subListB)                                                           \
    F(std::int16_t, preset489)                                                                     \
    F(std::int16_t, spare491)                                                                      \
    F(std::int16_t, spare493)                                                                      \
    F(std::int16_t, spare495)                                                                      \
    F(std::int16_t, spare497)                                                                      \
    F(double, improveR)                                                                            \
    F(double, improveBf)                                                                           \
    F(double, improveB)                                                                            \
    F(double, improveC)                                                                            \
    F(double, improveF)                                                                            \
    F(double, improveFf)                                                                           \
    F(double, improveK)                                                                            \
    F(double, improveNk)                                                                           \
    F(Floats<8>, positionValuesA)                                                                  \
    F(Int16s<8>, spare595)                                                                         \
    F(Floats<8>, positionValuesB)                                                                  \
    F(std::int16_t, spare643)                                                                      \
    F(std::int16_t, preset645)                                                                     \
    F(double, pendingSalary)                                                                       \
    F(std::int16_t, pendingContract)                                                               \
    F(Texts<4>, spareTextsA)                                                                       \
    F(Texts<4>, spareTextsB)                                                                       \
    F(std::int16_t, spare673)                                                                      \
    F(std::int16_t, spare675)                                                                      \
    F(std::int16_t, spare677)                                                                      \
    F(QString, spareText679)

struct PlayerRecord {
    TOLVANE_PLAYER_RECORD_FIELDS(TOLVANE_RECORD_MEMBER)

    bool operator==(const PlayerRecord&) const = default;
};

} // namespace tolvane
