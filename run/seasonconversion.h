#pragma once

#include "run/convertedseason.h"

#include <QByteArrayView>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tolvane {

class AuthorWarnings;
class Findings;
class PlayerMapper;
class Recordset;
class SeasonDatabase;
struct ClampedValue;

// A player as the check converted him, for a report of the season: every player of the
// pass, in its order, whatever was wrong.
struct ConvertedPlayer {
    const QString& team;
    const QString& name; // as the row gives it
    // Whether his every value converted and his name passed; only then is record set.
    bool converted;
    // His record as the team list holds it (recordcodec's disk form).
    QByteArrayView record;
    // His values that the rating scales clamped; empty unless the check counts them
    // (an author's check).
    const std::vector<ClampedValue>& clamped;
};
using PlayerObserver = std::function<void(const ConvertedPlayer&)>;

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
    // From the next run() on, shows observer every player as he is converted.
    void observePlayers(PlayerObserver observer) { m_observer = std::move(observer); }

private:
    void convertPlayers(Recordset& ratings, PlayerMapper& mapper, Findings& findings,
                        AuthorWarnings* warnings);
    void checkTeam(const QString& team, Findings& findings);
    static bool checkName(const QString& team, const QString& name, Findings& findings);

    ConvertedSeason m_season;
    PlayerObserver m_observer;
    // Teams seen so far, and each by its letter-case-folded name.
    QSet<QString> m_teams;
    QStringList m_teamNames;
    QHash<QString, QString> m_teamsByFoldedName;
};

} // namespace tolvane
