#pragma once

#include "run/databasecheck.h"
#include "run/findings.h"
#include "run/foldercheck.h"
#include "run/seasonconversion.h"
#include "run/slotcheck.h"

#include <QString>

namespace tolvane {

class ConvertedSeason;
class SeasonDatabase;

// Everything an update run checks before it writes anything, in the order it checks it:
// the game folder's layout, the season database, every player converted, and the slot's
// team folders. Authors also hear of copies in the VirtualStore. A run needs
// to know whether it can start, and the first problems for its message; the authors of a
// season want every problem, and warnings too (Findings::Scope::Everything). After a check
// that passed, the run takes the open database and the converted season from it.
class InputCheck {
public:
    using Scope = Findings::Scope;

    InputCheck(GameFolder game, QString slotName, Scope scope = Scope::Run);
    InputCheck(const InputCheck&) = delete;
    InputCheck& operator=(const InputCheck&) = delete;

    // Runs every check; returns true when nothing stands in a run's way. With
    // Scope::Everything it also checks that the patch's files are in the folder, which a
    // run does before (see FolderCheck::missingInputFiles()).
    bool run();

    // Shows observer every player as the next run() converts him, for a report of the
    // season; the check itself keeps no record in Scope::Everything.
    void observePlayers(PlayerObserver observer) {
        m_conversion.observePlayers(std::move(observer));
    }

    const Findings& findings() const { return m_findings; }
    // After run(): whether the season database opened, whatever else was wrong with it.
    bool databaseOpened() const { return m_database.opened(); }
    // After a run() that returned true: the season database, still open, and every player
    // converted, for the update run to write.
    SeasonDatabase& database() { return m_database.database(); }
    const ConvertedSeason& season() const { return m_conversion.season(); }

private:
    void warnOfVirtualStoreCopies();

    GameFolder m_game;
    QString m_slotName;
    FolderCheck m_folders;
    DatabaseCheck m_database;
    SeasonConversion m_conversion;
    SlotCheck m_slot;
    Findings m_findings;
};

} // namespace tolvane
