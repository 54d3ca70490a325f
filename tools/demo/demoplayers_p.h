#pragma once

#include "db/seasonschema.h"
#include "tools/demo/demofolder.h"

#include <QDate>
#include <QString>
#include <QVariantList>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace tolvane::demo::detail {

// std::uniform_int_distribution and std::shuffle differ between standard libraries, so
// every draw is derived from the engine's raw output, whose sequence the standard fixes.
// Callers draw in separate statements: the order in which function arguments are
// evaluated differs between compilers.
class Random {
public:
    explicit Random(std::uint32_t seed)
        : m_engine(seed) {}

    // A number in [0, n); n must be positive.
    std::uint32_t below(std::uint32_t n) {
        return std::uint32_t((std::uint64_t(m_engine()) * n) >> 32);
    }
    int between(int low, int high) { return low + int(below(std::uint32_t(high - low + 1))); }
    bool oneIn(std::uint32_t n) { return below(n) == 0; }
    template <typename T> void shuffle(std::vector<T>& items) {
        for (std::size_t i = items.size(); i > 1; --i)
            std::swap(items[i - 1], items[below(std::uint32_t(i))]);
    }

private:
    std::mt19937 m_engine;
};

// A player as generated; the database row is made from it only when it is inserted, which
// keeps tens of thousands of players small in memory.
struct Player {
    int team = 0;
    QString name;
    double height = 0;
    double weight = 0;
    QDate dateOfBirth;
    std::array<std::uint8_t, 3> positions{};
    int keyPos = 0;
    // The ratings summed into the overall points, in the order of their columns.
    std::array<int, seasonschema::kOverallPointColumns.size()> skills{};
    double kickMax = 0;
    double injuryTendency = 0;
    double reputationTendency = 0;
    double shortKickPercent = 0;
    double longKickPercent = 0;
    double handballPercent = 0;
    double runPercent = 0;
    double healthLimit = 0;
    int overall = 0;
    int playerType = 0;
    double potential = 0;
    std::uint8_t lineupType = 0;
    int contract = 0;
    double salary = 0;
    int pendingContract = 0;
    double pendingSalary = 0;
    int debut = 0;
    std::uint8_t state = 0;
    std::uint8_t town = 0;
    int playerNumber = 0;
    std::array<int, 8> improvement{};
    bool hasQz = false;
    std::array<double, 8> positionValues{};
};

// The players of a generated season, team after team, from the options' seed.
std::vector<Player> randomPlayers(const Options& options);
// A player in the middle of every range, for rows that tests shape by hand.
Player midRangePlayer(const QString& name);
// The player's Ratings row, a value for each column in the table's order.
QVariantList ratingsRow(const Player& p, const QString& team);

} // namespace tolvane::demo::detail
