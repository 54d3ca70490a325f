#pragma once

#include "conversion/playermapping.h"
#include "run/seasonconversion.h"
#include "tools/roster/rosterdiff.h"
#include "tools/roster/teamlistfile.h"

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <QStringList>

#include <map>
#include <span>
#include <vector>

namespace tolvane {

namespace season {

// What the season report shows of a season: its teams as the update would write them, how
// strong each is, and how they differ from an earlier roster.

// The fields of a player's record that the report's team tables show, named as
// records/recordfields.h (and so tolvane-roster dump) names them: his name and position,
// the overall rating, and every rating the scales convert (the 22 summed into the overall
// points, and the kick factors).
std::span<const QLatin1String> reportFields();
// The index of "overall" in reportFields().
qsizetype overallField();

struct ReportPlayer {
    int record;   // his record's index in the team list (the blank record is 0)
    QString name; // as the season's row gives it
    // The texts of reportFields(), as tolvane-roster dump prints them.
    QStringList values;
    std::vector<ClampedValue> clamped;
};

// A player whose values do not all convert: the update would not start.
struct UnconvertedPlayer {
    int record;
    QString name;
};

struct ReportTeam {
    QString name;
    std::vector<ReportPlayer> players; // those that converted, in the list's order
    std::vector<UnconvertedPlayer> unconverted;
    // The converted players' records in their disk form, back to back, when the collector
    // keeps them.
    QByteArray records;
};

// Gathers the teams from a check's players (see PlayerObserver), in the order they come.
class ReportCollector {
public:
    // keepRecords: whether each team keeps its records, for a comparison.
    explicit ReportCollector(bool keepRecords);

    void add(const ConvertedPlayer& player);
    PlayerObserver observer() {
        return [this](const ConvertedPlayer& player) { add(player); };
    }

    std::vector<ReportTeam>& teams() { return m_teams; }

private:
    bool m_keepRecords;
    std::vector<ReportTeam> m_teams;
    // Per field of a record, in their order, whether the report shows it.
    std::vector<char> m_shownFields;
};

// The team list file the update writes for a team whose records were kept: the header,
// the blank record and the players.
TeamListFile teamListOf(const ReportTeam& team);

// The strength of a team: its best players by overall rating, at most 22 of them.
struct TeamStrength {
    static constexpr qsizetype kBest = 22;
    qsizetype counted = 0;
    double mean = 0;
    double lowest = 0;
    double highest = 0;
    double deviation = 0; // the standard deviation of the counted players' overall ratings
};
TeamStrength strengthOf(const ReportTeam& team);

// One team's differences from the earlier roster.
struct TeamComparison {
    enum class Side { Both, OnlyOld, OnlyNew };
    QString team;
    Side side = Side::Both;
    rosterdiff::ListDifferences differences;
    // Players of the earlier roster whose namesake in this season does not convert, and so
    // is not compared; the differences leave them out.
    std::vector<rosterdiff::ListedPlayer> notCompared;
};

struct Comparison {
    QString against;                   // the earlier roster as given
    QString described;                 // what it is, e.g. "the roster slot lists/default2009"
    QStringList notes;                 // what the comparison leaves out
    std::vector<TeamComparison> teams; // the teams that differ, this season's first
    qsizetype unchanged = 0;           // teams without a difference
};

// Compares the teams of this season (their records kept) with the team lists of an
// earlier roster, by team, as tolvane-roster diff compares them.
Comparison compareTeams(const std::map<QString, TeamListFile>& old,
                        const std::vector<ReportTeam>& teams);

} // namespace season

} // namespace tolvane
