#include "run/slotcheck.h"

#include "core/fileops.h"
#include "core/gamefolder.h"
#include "run/findings.h"
#include "run/foldercheck.h"
#include "teamsheets/teamsheets.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace tolvane {

SlotCheck::SlotCheck(QString slotFolder)
    : m_slotFolder(std::move(slotFolder)) {}

void SlotCheck::run(const QStringList& teams, Findings& findings) const {
    if (!QFileInfo(m_slotFolder).isDir())
        return;
    // The slot moves whole into the backup, which a file another program holds open keeps
    // it from doing (on Windows).
    QDirIterator files(m_slotFolder, QDir::Files | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    while (files.hasNext())
        FolderCheck::checkNotHeldOpen(files.next(), findings);
    for (const QString& team : teams)
        checkTeam(team, findings);
    for (const QString& folder : teamsheets::strayFolders(m_slotFolder, teams)) {
        const QString problem = teamsheets::strayFolderProblem(folder);
        if (!problem.isEmpty())
            findings.addProblem(
                QStringLiteral("The folder %1 belongs to no team, and the update cannot remove "
                               "it: %2")
                    .arg(QDir::toNativeSeparators(folder), problem));
        else
            FolderCheck::probe(folder, findings);
    }
}

void SlotCheck::checkTeam(const QString& team, Findings& findings) const {
    const QString folder = gamepaths::teamFolder(m_slotFolder, team);
    const QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink())
        return; // made by the run
    if (!info.isDir()) {
        findings.addProblem(FolderCheck::obstacle(
            folder, QStringLiteral("where the folder of team \"%1\" goes").arg(team)));
        return;
    }
    FolderCheck::probe(folder, findings);
    // The list is replaced and the sheets deleted and written afresh: a link is fine, a
    // folder is not.
    for (const QLatin1String suffix :
         {gamepaths::kTeamListSuffix, gamepaths::kNameListSuffix, gamepaths::kChangesSuffix,
          gamepaths::kDefaultTeamSuffix, gamepaths::kCurrentTeamSuffix}) {
        const QString file = gamepaths::teamFile(m_slotFolder, team, suffix);
        if (QFileInfo(file).isDir())
            findings.addProblem(FolderCheck::obstacle(
                file, QStringLiteral("where a file of team \"%1\" goes").arg(team)));
        else
            FolderCheck::checkReplaceable(file, findings);
    }
}

} // namespace tolvane
