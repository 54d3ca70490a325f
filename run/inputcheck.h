#pragma once

#include "run/convertedseason.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class PlayerMapper;
class Recordset;
class SeasonDatabase;

// Looks at everything an update run will read and the places it will write, before it
// writes anything: the season database (readable, writable, its tables, columns and every
// value of every player, and whether it takes every new overall rating), the team names as
// folder names, and the game folder's layout. Season databases come with patches from the
// internet, so none of it is trusted. Checking a player means converting him: the check
// keeps what it converted, and the database open, for the run that follows.
class InputCheck {
public:
    // How many problems a report lists before it only counts the rest.
    static constexpr qsizetype kListedProblems = 20;

    InputCheck(QString programFolder, QString slotName);
    ~InputCheck();
    InputCheck(const InputCheck&) = delete;
    InputCheck& operator=(const InputCheck&) = delete;

    // Runs every check; returns true when nothing stands in a run's way.
    bool run();

    // After a run that returned true: the season database, still open, and every player
    // converted, for the update run to write.
    SeasonDatabase& database() { return *m_db; }
    const ConvertedSeason& season() const { return m_season; }

    // One line per problem, in the order found, at most kListedProblems of them.
    const QStringList& listedProblems() const { return m_listed; }
    qsizetype problemCount() const { return m_count; }
    // The message for the user: the problems listed, then "and N more".
    QString report() const;

private:
    void add(const QString& problem);
    void checkFolders();
    void checkDatabase();
    bool checkTables();
    void checkTeam(const QString& team);
    void convertPlayers(Recordset& ratings, PlayerMapper& mapper);
    void checkWriteBack();

    QString m_programFolder;
    QString m_slotName;
    QStringList m_listed;
    qsizetype m_count = 0;
    std::unique_ptr<SeasonDatabase> m_db;
    ConvertedSeason m_season;
    // Teams seen so far, and each by its letter-case-folded name.
    QSet<QString> m_teams;
    QHash<QString, QString> m_teamsByFoldedName;
};
