#pragma once

#include "run/convertedseason.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace tolvane {

class AuthorWarnings;
class Findings;
class PlayerMapper;
class Recordset;
class SeasonDatabase;

// Converts every player of the season database into the game's record, as the player pass
// writes it, and checks each value and each team name on the way. Checking a player means
// converting him: what converted is kept for the run, so that nothing is read twice.
class SeasonConversion {
public:
    SeasonConversion();
    ~SeasonConversion();
    SeasonConversion(const SeasonConversion&) = delete;
    SeasonConversion& operator=(const SeasonConversion&) = delete;

    // Converts every player of db, adding each problem to findings and, when given, noting
    // each player in warnings. Keeps the converted season only while nothing is wrong; an
    // author's check (findings that keep everything) keeps no records at all.
    void run(SeasonDatabase& db, Findings& findings, AuthorWarnings* warnings);

    // Every player converted, for the run to write; empty once a problem was found.
    const ConvertedSeason& season() const { return m_season; }
    // Forgets the converted players, as when a later check finds a problem.
    void discard() { m_season.clear(); }
    // The teams of every player read, in the order they came, whatever was wrong.
    const QStringList& teamNames() const { return m_teamNames; }

private:
    void convertPlayers(Recordset& ratings, PlayerMapper& mapper, Findings& findings,
                        AuthorWarnings* warnings);
    void checkTeam(const QString& team, Findings& findings);
    static void checkName(const QString& team, const QString& name, Findings& findings);

    ConvertedSeason m_season;
    // Teams seen so far, and each by its letter-case-folded name.
    QSet<QString> m_teams;
    QStringList m_teamNames;
    QHash<QString, QString> m_teamsByFoldedName;
};

} // namespace tolvane
