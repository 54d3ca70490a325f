#pragma once

#include <QString>
#include <QtGlobal>

namespace tolvane {

class ConvertedSeason;
class Findings;
class GameFolder;

// Whether the game's volume has room for what an update writes beside what it replaces:
// the new slot beside the old one, the fixture, the backup of the season database, and the
// database's journal or its new copy. Found before the first write, as a problem naming
// both figures.
class SpaceCheck {
public:
    // The bytes an update of season into the slot writes, at the most.
    static qint64 neededBytes(const GameFolder& game, const QString& slotName,
                              const ConvertedSeason& season, bool accessDatabase);

    static void run(const GameFolder& game, const QString& slotName, const ConvertedSeason& season,
                    bool accessDatabase, Findings& findings);
};

} // namespace tolvane
