#pragma once

#include "core/gamefolder.h"

#include <QString>
#include <QStringList>

namespace tolvane {

class Findings;

// The game folder as a run will find it: the patch's two files, the folder of the roster
// slots, the slot itself and the folder of the game's fixtures.
class FolderCheck {
public:
    FolderCheck(GameFolder game, QString slotName);

    // Adds to findings whatever in the folder's layout would stop a run: a folder missing,
    // one the run cannot write in, or something standing where the run puts a file.
    void run(Findings& findings) const;

    // For each file of the patch missing from the game's folder, in the order a run names
    // them, the message that tells the user.
    static QStringList missingInputFiles(const GameFolder& game);

    // Tries whether the run could write in folder; adds the folder to findings when not.
    static void probe(const QString& folder, Findings& findings);
    // Adds to findings a file the run replaces that is read-only.
    static void checkReplaceable(const QString& file, Findings& findings);
    // Adds to findings a file the run moves or replaces that another program holds open.
    static void checkNotHeldOpen(const QString& file, Findings& findings);
    // "A folder stands at PATH, WHERE. Move it away, ...": something in the way of a file
    // the run writes.
    static QString obstacle(const QString& path, const QString& where);

private:
    void checkFixtures(Findings& findings) const;

    GameFolder m_game;
    QString m_slotName;
};

} // namespace tolvane
