#pragma once

#include "core/gamefolder.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tolvane {

class ConvertedSeason;
class Findings;
class PatchBackup;
class PatchError;
class RunUi;
class SeasonDatabase;
class Swap;

// Where the last run spent its time, in nanoseconds, for the benchmarks.
struct RunTimings {
    qint64 checkNs = 0;      // the input check
    qint64 prepareNs = 0;    // the slot question and the teams
    qint64 pauseNs = 0;      // the tenth of a second the window gets to paint
    qint64 playerPassNs = 0; // the new slot's folders and team lists
    qint64 sheetsNs = 0;     // team sheets, the fixture and the backup, built aside
    qint64 fixtureNs = 0;    // putting them in place, the overall ratings and the backup kept
};

// One press of "Update": checks the inputs, prepares the roster slot, converts every
// player into the slot's team lists and writes the overall ratings back, rebuilds the
// team sheets and installs the new fixture. Holds what lives from one run to the next:
// the paths, the slot name and the teams of the last preparation.
class UpdateRun {
public:
    UpdateRun(GameFolder game, RunUi& ui);
    UpdateRun(const UpdateRun&) = delete;
    UpdateRun& operator=(const UpdateRun&) = delete;
    ~UpdateRun();

    // Makes slotName the roster slot the run fills from the program folder's season
    // database. Returns false when no season database is there (the caller warns).
    bool selectSlot(const QString& slotName);

    // The whole update run. Never throws: a failure is shown in an "Update Error" box
    // and ends the run. A call while a run is under way returns at once.
    void run();

    bool isRunning() const { return m_running; }
    const GameFolder& game() const { return m_game; }
    const QString& slotName() const { return m_slotName; }
    const RunTimings& lastTimings() const { return m_timings; }

    // The step that prepares the roster slot, public for tests: learns the teams of db, and
    // asks before an existing slot is replaced. Returns false when the user declined.
    bool prepareSlot(SeasonDatabase& db);
    // The distinct teams of the season database, as the last preparation found them.
    const QStringList& teamNames() const { return m_teamNames; }

private:
    void runSteps();
    // Copies of what the run writes in Windows' VirtualStore would hide the new files from
    // the game: offers to move them aside.
    void offerToSetAsideVirtualStoreCopies();
    void stopShowingProgress();
    // Tells the user which of the patch's files is missing from the program folder; false
    // when one is.
    bool checkInputFiles();
    void loadTeamNames(SeasonDatabase& db);
    // Builds in newSlot the slot the update puts in place: what it keeps of the slot there
    // is, the team lists of the converted players and the team sheets.
    void buildSlot(const QString& newSlot, SeasonDatabase& db, const ConvertedSeason& season,
                   double progressStep);
    // Writes the update, all or nothing; a failure leaves the game's folder as it was.
    void writeUpdate(SeasonDatabase& db, const ConvertedSeason& season);
    // Keeps the season database as it is in the folder backup, laid out as the game's.
    void keepSeasonDatabase(SeasonDatabase& db, const GameFolder& backup);
    // Writes the overall ratings back into the season database.
    void writeRatings(SeasonDatabase& db, const ConvertedSeason& season);
    // Removes the work folder of a failed update; a failure to is added to failure.
    void discard(Swap& swap, PatchBackup& backup, PatchError& failure);
    // Adds the time since the last lap to one of the run's step figures.
    void lap(qint64& figure);
    QString slotFolder() const;

    GameFolder m_game;
    RunUi& m_ui;
    QString m_slotName;
    QStringList m_teamNames;
    bool m_running = false;
    RunTimings m_timings;
    QElapsedTimer m_clock;
};

// Tells the user why the run cannot start. Where a folder refused a write for want of
// rights and the program could start again as administrator (Windows protecting the game's
// folder), asks whether it should, and on Yes has it do so.
void reportCheckProblems(const Findings& findings, RunUi& ui);

// Lets the window handle its events for `seconds` (measured on a monotonic clock), or
// returns at once when the wait is not positive.
void pauseFor(double seconds, RunUi& ui);

} // namespace tolvane
