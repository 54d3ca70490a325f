#include "run/foldercheck.h"

#include "core/fileops.h"
#include "core/gamepaths.h"
#include "run/findings.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

namespace tolvane {

namespace {

bool isFolder(const QString& path) {
    return QFileInfo(path).isDir();
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

FolderCheck::FolderCheck(QString programFolder, QString slotName)
    : m_programFolder(std::move(programFolder))
    , m_slotName(std::move(slotName)) {}

QStringList FolderCheck::missingInputFiles(const QString& programFolder) {
    QStringList messages;
    for (const auto& [path, name] :
         {std::pair{gamepaths::seasonDatabase(programFolder), gamepaths::kSeasonDatabase},
          std::pair{gamepaths::newFixture(programFolder), gamepaths::kNewFixture}}) {
        if (!fileops::isOrdinaryFile(path))
            messages << QStringLiteral("Could not find file %1. Make sure it has been copied to %2")
                            .arg(name, shown(programFolder));
    }
    return messages;
}

void FolderCheck::run(Findings& findings) const {
    const QString lists = gamepaths::listsFolder(m_programFolder);
    if (!isFolder(lists))
        findings.addProblem(
            QStringLiteral("The folder %1 does not exist; the roster slots are kept there.")
                .arg(shown(lists)));
    const QString slot = gamepaths::slotFolder(m_programFolder, m_slotName);
    if (fileops::entryExists(slot) && !isFolder(slot))
        findings.addProblem(
            QStringLiteral("%1 is a file, not a roster slot folder.").arg(shown(slot)));

    const QString schedules = gamepaths::schedulesFolder(m_programFolder);
    if (!isFolder(schedules))
        findings.addProblem(
            QStringLiteral("The folder %1 does not exist; the new fixture is installed there.")
                .arg(shown(schedules)));
    else if (!fileops::isOrdinaryFile(gamepaths::gameFixture(m_programFolder)) &&
             !fileops::isOrdinaryFile(gamepaths::keptFixture(m_programFolder)))
        findings.addProblem(QStringLiteral("The game's fixture %1 does not exist.")
                                .arg(shown(gamepaths::gameFixture(m_programFolder))));
}

} // namespace tolvane
