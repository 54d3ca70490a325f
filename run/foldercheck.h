#pragma once

#include <QString>
#include <QStringList>

namespace tolvane {

class Findings;

// The game folder as a run will find it: the patch's two files, the folder of the roster
// slots, the slot itself and the folder of the game's fixtures.
class FolderCheck {
public:
    FolderCheck(QString programFolder, QString slotName);

    // Adds to findings whatever in the folder's layout would stop a run.
    void run(Findings& findings) const;

    // For each file of the patch missing from programFolder, in the order a run names them,
    // the message that tells the user.
    static QStringList missingInputFiles(const QString& programFolder);

private:
    QString m_programFolder;
    QString m_slotName;
};

} // namespace tolvane
