#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace tolvane {

class Findings;
class PlayerMapper;
class SeasonDatabase;

// What an update accepts without a word but the authors of a season would want to know
// of: players whose qz look-up finds no row, or a row only in another letter case; names
// twice in one team; qz names on more than one row; and per column, the values that the
// rating scales clamp. Only an author's check collects them; a run does without.
class AuthorWarnings {
public:
    explicit AuthorWarnings(Findings& findings);

    // Notes the player the mapper converted last. Players come grouped by team.
    void notePlayer(const PlayerMapper& mapper);
    // After the last player: warns of what the players showed, and of the qz names the
    // look-up finds on more than one row.
    void finish(SeasonDatabase& db, const PlayerMapper& mapper);

private:
    void warnRepeatedNames();
    void warnRepeatedQzNames(SeasonDatabase& db);
    void warnClamped(const PlayerMapper& mapper);

    Findings& m_findings;
    // The team being converted, how often each name occurs in it, and the names found
    // more than once, in the order of their second player.
    QString m_team;
    QHash<QString, int> m_namesInTeam;
    QStringList m_repeatedNames;
};

} // namespace tolvane
