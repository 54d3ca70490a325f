#pragma once

#include "run/convertedseason.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace tolvane {

class PlayerMapper;
class Recordset;
class SeasonDatabase;

// Something the check found. Each part is empty where it does not apply: a folder has no
// team, a team no player, and a player's problem may concern no one column.
struct InputFinding {
    QString team;
    QString player;
    QString column;
    QString reason;
    // A problem as the window's report lists it; empty for warnings.
    QString text;
};

// Looks at everything an update run will read and the places it will write, before it
// writes anything: the season database (readable, writable, its tables, columns and every
// value of every player, and whether it takes every new overall rating), the team names as
// folder names, and the game folder's layout. Season databases come with patches from the
// internet, so none of it is trusted. Checking a player means converting him: the check
// keeps what it converted, and the database open, for the run that follows.
class InputCheck {
public:
    // How many problems a run's report lists before it only counts the rest.
    static constexpr qsizetype kListedProblems = 20;

    // A run needs to know whether it can start, and the first problems for its message.
    // The authors of a season want every problem, and warnings too: what the run accepts
    // without a word but they would want to know of. That costs a little more, and keeps
    // only the players' overall ratings, not their records.
    enum class Scope { Run, Everything };

    InputCheck(QString programFolder, QString slotName, Scope scope = Scope::Run);
    ~InputCheck();
    InputCheck(const InputCheck&) = delete;
    InputCheck& operator=(const InputCheck&) = delete;

    // Runs every check; returns true when nothing stands in a run's way. With
    // Scope::Everything it also checks that the patch's files are in the folder, which a
    // run does before (see missingInputFiles()).
    bool run();

    // After a run that returned true: the season database, still open, and every player
    // converted, for the update run to write.
    SeasonDatabase& database() { return *m_db; }
    const ConvertedSeason& season() const { return m_season; }

    // The problems in the order found; for a run, at most kListedProblems of them.
    const std::vector<InputFinding>& problems() const { return m_problems; }
    qsizetype problemCount() const { return m_count; }
    // With Scope::Everything: players whose qz look-up finds no row, or a row only under
    // another letter case; qz names on more than one row; names twice in one team; and per
    // column, the values that the rating scales clamp.
    const std::vector<InputFinding>& warnings() const { return m_warnings; }
    // The message for the user: the problems listed, then "and N more".
    QString report() const;

    // For each file of the patch missing from programFolder, in the order a run names them,
    // the message that tells the user.
    static QStringList missingInputFiles(const QString& programFolder);

private:
    void add(InputFinding problem);
    void add(const QString& problem);
    void warn(QString team, QString player, QString column, QString reason);
    void checkFolders();
    void checkDatabase();
    bool checkTables();
    void checkTeam(const QString& team);
    void convertPlayers(Recordset& ratings, PlayerMapper& mapper);
    void notePlayer(const PlayerMapper& mapper);
    void warnRepeatedNames();
    void checkQzNames();
    void warnClamped(const PlayerMapper& mapper);
    void checkWriteBack();

    QString m_programFolder;
    QString m_slotName;
    Scope m_scope;
    std::vector<InputFinding> m_problems;
    qsizetype m_count = 0;
    std::vector<InputFinding> m_warnings;
    std::unique_ptr<SeasonDatabase> m_db;
    ConvertedSeason m_season;
    // Teams seen so far, and each by its letter-case-folded name.
    QSet<QString> m_teams;
    QHash<QString, QString> m_teamsByFoldedName;
    // With Scope::Everything: the team being converted, how often each name occurs in it,
    // and the names found more than once, in the order of their second player.
    QString m_team;
    QHash<QString, int> m_namesInTeam;
    QStringList m_repeatedNames;
};

} // namespace tolvane
