#include "tools/season/reportdata.h"

#include "core/patcherror.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"
#include "records/recordfields.h"
#include "records/teamlistwriter.h"

#include <QSet>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace tolvane {

namespace season {

namespace {

// clang-format off
constexpr std::array kReportFields = {
    QLatin1String("fullName"),           QLatin1String("preferredPos"),
    QLatin1String("overall"),            QLatin1String("crumbs"),             QLatin1String("longKick"),
    QLatin1String("longKickFactor"),     QLatin1String("shortKick"),
    QLatin1String("shortKickFactor"),    QLatin1String("markContested"),
    QLatin1String("markUncontested"),    QLatin1String("handball"),
    QLatin1String("tackling"),           QLatin1String("strength"),
    QLatin1String("speed"),              QLatin1String("agility"),
    QLatin1String("health"),             QLatin1String("hitOuts"),
    QLatin1String("goalAccuracyGround"), QLatin1String("goalAccuracyMark"),
    QLatin1String("freeKickTendency"),   QLatin1String("discipline"),
    QLatin1String("defenceGround"),      QLatin1String("defenceAir"),
    QLatin1String("defenceOne"),         QLatin1String("clearance"),
    QLatin1String("goalSense"),          QLatin1String("leadership"),
};
// clang-format on

// The overall rating stands beside the name, where a reader looks first.
constexpr qsizetype kOverall = 2;

// The name a comparison matches a player by, from his record or the season's row.
QString plainName(const PlayerRecord& record) {
    return (record.firstName + QLatin1Char(' ') + record.lastName).simplified();
}

} // namespace

std::span<const QLatin1String> reportFields() {
    return kReportFields;
}

qsizetype overallField() {
    return kOverall;
}

ReportCollector::ReportCollector(bool keepRecords)
    : m_keepRecords(keepRecords) {}

void ReportCollector::add(const ConvertedPlayer& player) {
    if (m_teams.empty() || m_teams.back().name != player.team)
        m_teams.push_back({player.team, {}, {}, {}});
    ReportTeam& team = m_teams.back();
    const int record = int(team.players.size() + team.unconverted.size()) + 1;
    if (!player.converted) {
        team.unconverted.push_back({record, player.name});
        return;
    }
    // The record as the list holds it, read back from its bytes: texts as Windows-1252
    // keeps them, numbers in the bits the list holds.
    qsizetype offset = 0;
    const PlayerRecord parsed = recordcodec::parseRecord(player.record, offset);
    // Every record has the same fields in the same order: which of them the report shows is
    // found once, by name, and then by place.
    std::size_t place = 0;
    const std::vector<recordfields::Field> fields =
        recordfields::fieldsOf(parsed, [&](QLatin1String name) {
            if (place == m_shownFields.size())
                m_shownFields.push_back(std::find(kReportFields.begin(), kReportFields.end(),
                                                  name) != kReportFields.end());
            return bool(m_shownFields[place++]);
        });
    ReportPlayer shown{record, player.name, {}, player.clamped};
    shown.values.resize(qsizetype(kReportFields.size()));
    for (const recordfields::Field& field : fields) {
        const auto it = std::find(kReportFields.begin(), kReportFields.end(), field.name);
        if (it != kReportFields.end())
            shown.values[it - kReportFields.begin()] = field.text;
    }
    team.players.push_back(std::move(shown));
    if (m_keepRecords)
        team.records.append(player.record);
}

TeamListFile teamListOf(const ReportTeam& team) {
    QByteArray list = teamlist::blankListFile();
    recordcodec::setTeamListCount(list, quint32(team.players.size() + 1));
    list += team.records;
    return parseTeamListFile(list);
}

TeamStrength strengthOf(const ReportTeam& team) {
    std::vector<double> overall;
    overall.reserve(team.players.size());
    for (const ReportPlayer& player : team.players)
        overall.push_back(player.values[kOverall].toDouble());
    std::sort(overall.begin(), overall.end(), std::greater<>());
    TeamStrength s;
    s.counted = std::min<qsizetype>(TeamStrength::kBest, qsizetype(overall.size()));
    if (s.counted == 0)
        return s;
    const auto best = std::span(overall).first(std::size_t(s.counted));
    double sum = 0;
    for (const double v : best)
        sum += v;
    s.mean = sum / double(s.counted);
    s.highest = best.front();
    s.lowest = best.back();
    double squares = 0;
    for (const double v : best)
        squares += (v - s.mean) * (v - s.mean);
    s.deviation = std::sqrt(squares / double(s.counted));
    return s;
}

Comparison compareTeams(const std::map<QString, TeamListFile>& old,
                        const std::vector<ReportTeam>& teams) {
    Comparison comparison;
    QSet<QString> seen;
    const auto add = [&](TeamComparison team) {
        if (team.differences.empty() && team.notCompared.empty())
            ++comparison.unchanged;
        else
            comparison.teams.push_back(std::move(team));
    };
    for (const ReportTeam& team : teams) {
        seen.insert(team.name);
        const TeamListFile current = teamListOf(team);
        const auto it = old.find(team.name);
        TeamComparison compared{team.name, TeamComparison::Side::Both, {}, {}};
        if (it == old.end()) {
            compared.side = TeamComparison::Side::OnlyNew;
            compared.differences =
                rosterdiff::differences({current.start, {}, current.trailing}, current);
            add(std::move(compared));
            continue;
        }
        compared.differences = rosterdiff::differences(it->second, current);
        // A player of this season whose values do not convert is missing from its list; his
        // namesake of the earlier roster has not left.
        QSet<QString> unconverted;
        for (const UnconvertedPlayer& player : team.unconverted)
            unconverted.insert(player.name.simplified());
        std::vector<rosterdiff::ListedPlayer>& removed = compared.differences.removed;
        const auto stays =
            std::stable_partition(removed.begin(), removed.end(), [&](const auto& p) {
                return !unconverted.contains(plainName(it->second.records[p.record]));
            });
        compared.notCompared.assign(stays, removed.end());
        removed.erase(stays, removed.end());
        add(std::move(compared));
    }
    for (const auto& [name, list] : old) {
        if (seen.contains(name))
            continue;
        TeamComparison gone{name, TeamComparison::Side::OnlyOld, {}, {}};
        gone.differences = rosterdiff::differences(list, {list.start, {}, list.trailing});
        add(std::move(gone));
    }
    return comparison;
}

} // namespace season

} // namespace tolvane
