#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdint>

class RunUi;

// Where the last run spent its time, in nanoseconds, for the benchmarks.
struct RunTimings {
    qint64 checkNs = 0;      // the input check
    qint64 prepareNs = 0;    // roster slot preparation
    qint64 pauseNs = 0;      // the tenth of a second the window gets to paint
    qint64 playerPassNs = 0; // opening the database, the player pass and its commit
    qint64 sheetsNs = 0;     // team sheet reset and lineup lists
    qint64 fixtureNs = 0;    // fixture installation
};

// One press of "Update": checks the inputs, prepares the roster slot, converts every
// player into the slot's team lists and writes the overall ratings back, rebuilds the
// team sheets and installs the new fixture. Holds what lives from one run to the next:
// the paths, the slot name and the teams of the last preparation.
class UpdateRun {
public:
    UpdateRun(QString programFolder, RunUi& ui);
    UpdateRun(const UpdateRun&) = delete;
    UpdateRun& operator=(const UpdateRun&) = delete;
    ~UpdateRun();

    // Slot selection: dbPath becomes the program folder's season database and slotName
    // the given name. Returns false when no season database is there (the caller warns).
    bool selectSlot(const QString& slotName);

    // The whole update run. Never throws: a failure is shown in an "Update Error" box
    // and ends the run. A call while a run is under way returns at once.
    void run();

    bool isRunning() const { return m_running; }
    const QString& programFolder() const { return m_programFolder; }
    const QString& dbPath() const { return m_dbPath; }
    const QString& slotName() const { return m_slotName; }
    QString slotFolder() const;
    // Distinct team names of the last preparation in entries 1 to teamCount(); entry 0
    // is unused.
    const QStringList& teamNames() const { return m_teamNames; }
    std::int16_t teamCount() const { return m_teamCount; }
    const RunTimings& lastTimings() const { return m_timings; }

    // The steps of a run, public so that tests can drive them one by one.
    bool chkValid();
    // Returns false when the user declined replacing an existing slot.
    bool prepareSlot();
    void copyListFilesImport();
    void copyListFilesImport2();

private:
    void runSteps();
    void loadTeamNames();

    QString m_programFolder;
    RunUi& m_ui;
    QString m_dbPath;
    QString m_slotName;
    QStringList m_teamNames;
    std::int16_t m_teamCount = 0;
    bool m_running = false;
    RunTimings m_timings;
};

// Lets the window handle its events for `seconds` (measured on a monotonic clock), or
// returns at once when stop is set or the wait is not positive.
void pauseFor(double seconds, bool stop, RunUi& ui);
