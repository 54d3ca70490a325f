#include "run/seasonconversion.h"

#include "conversion/playermapping.h"
#include "core/foldername.h"
#include "core/patcherror.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "db/seasonschema.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"
#include "run/authorwarnings.h"
#include "run/findings.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace tolvane {

SeasonConversion::SeasonConversion() = default;

SeasonConversion::~SeasonConversion() = default;

void SeasonConversion::run(SeasonDatabase& db, Findings& findings, AuthorWarnings* warnings) {
    m_season.clear();
    m_teams.clear();
    m_teamNames.clear();
    m_teamsByFoldedName.clear();
    try {
        Recordset ratings(db, PlayerMapper::ratingsStatement());
        PlayerMapper mapper(db, ratings);
        if (warnings)
            mapper.countClampedValues();
        convertPlayers(ratings, mapper, findings, warnings);
        if (warnings)
            warnings->finish(db, mapper);
        if (m_teams.size() > std::numeric_limits<std::int16_t>::max())
            findings.addProblem(QStringLiteral("The season database has %1 teams; at most "
                                               "32,767 can be imported.")
                                    .arg(m_teams.size()));
    } catch (const PatchError& e) {
        findings.addProblem(e);
    }
    if (findings.problemCount() > 0)
        m_season.clear();
}

void SeasonConversion::checkTeam(const QString& team, Findings& findings) {
    if (m_teams.contains(team))
        return;
    m_teams.insert(team);
    m_teamNames << team;
    const QString problem = folderNameProblem(team);
    if (!problem.isEmpty())
        findings.addProblem({team, QString(), QString(), problem,
                             QStringLiteral("Team \"%1\": %2").arg(team, problem)});
    const QString folded = team.toCaseFolded();
    const auto other = m_teamsByFoldedName.constFind(folded);
    if (other != m_teamsByFoldedName.constEnd()) {
        const QString sameFolder =
            QStringLiteral("The teams \"%1\" and \"%2\" differ only in letter case; they would "
                           "share one folder.")
                .arg(*other, team);
        findings.addProblem({team, QString(), QString(), sameFolder, sameFolder});
    } else {
        m_teamsByFoldedName.insert(folded, team);
    }
}

bool SeasonConversion::checkName(const QString& team, const QString& name, Findings& findings) {
    // The team sheets hold a player a line: a line break, a tab or another control
    // character would not stand in them as it is.
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control) {
            const QString code =
                QString::number(c.unicode(), 16).rightJustified(4, QLatin1Char('0')).toUpper();
            findings.addPlayerProblem(
                team, name, seasonschema::kRatingsColumns[seasonschema::Name].name,
                QStringLiteral("The name holds a control character (U+%1), which the team "
                               "sheets, a line a player, cannot hold.")
                    .arg(code));
            return false;
        }
    }
    return true;
}

void SeasonConversion::convertPlayers(Recordset& ratings, PlayerMapper& mapper, Findings& findings,
                                      AuthorWarnings* warnings) {
    // The working record carries fields from one player to the next, as in the run itself,
    // so the records kept are exactly those the run writes.
    PlayerRecord record;
    QByteArray bytes;
    std::vector<MappingProblem> problems;
    for (; !ratings.eof(); ratings.moveNext()) {
        problems.clear();
        const std::int16_t rating = mapper.map(ratings, record, &problems);
        const QString& team = mapper.team();
        const QString& name = mapper.name();
        const bool teamIsText = std::none_of(problems.begin(), problems.end(), [](const auto& p) {
            return p.column == seasonschema::kRatingsColumns[seasonschema::Team].name;
        });
        if (teamIsText)
            checkTeam(team, findings);
        const bool nameFits = problems.empty() && checkName(team, name, findings);
        if (problems.empty()) {
            bytes.clear();
            try {
                recordcodec::serialiseRecord(bytes, record);
            } catch (const PatchError& e) {
                // A text longer than the format can hold.
                problems.push_back({team, name, QString(), e.cause()});
            }
        }
        for (const MappingProblem& p : problems)
            findings.addPlayerProblem(p.team, p.name, p.column, p.reason);
        if (warnings)
            warnings->notePlayer(mapper);
        if (m_observer) {
            const bool converted = problems.empty() && nameFits;
            m_observer({team, name, converted, converted ? QByteArrayView(bytes) : QByteArrayView(),
                        mapper.clampedInRow()});
        }
        // Once anything is wrong, the run will not start: converting goes on only to find
        // every problem, and keeps nothing. An author's check keeps no records at all.
        if (findings.problemCount() == 0)
            m_season.addPlayer(team, findings.keepsEverything() ? QByteArray() : bytes,
                               {ratings.value(0).toLongLong(), rating});
        else
            m_season.clear();
    }
    m_season.finish();
}

} // namespace tolvane
