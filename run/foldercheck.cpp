#include "run/foldercheck.h"

#include "core/fileops.h"
#include "core/gamefolder.h"
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

FolderCheck::FolderCheck(GameFolder game, QString slotName)
    : m_game(std::move(game))
    , m_slotName(std::move(slotName)) {}

QStringList FolderCheck::missingInputFiles(const GameFolder& game) {
    QStringList messages;
    for (const auto& [path, name] : {std::pair{game.seasonDatabase(), gamepaths::kSeasonDatabase},
                                     std::pair{game.newFixture(), gamepaths::kNewFixture}}) {
        if (!fileops::isOrdinaryFile(path))
            messages << QStringLiteral("Could not find file %1. Make sure it has been copied to %2")
                            .arg(name, shown(game.path()));
    }
    return messages;
}

void FolderCheck::run(Findings& findings) const {
    const QString lists = m_game.listsFolder();
    if (!isFolder(lists))
        findings.addProblem(
            QStringLiteral("The folder %1 does not exist; the roster slots are kept there.")
                .arg(shown(lists)));
    else
        probe(lists, findings);
    const QString slot = m_game.slotFolder(m_slotName);
    if (isFolder(slot))
        probe(slot, findings);
    else if (fileops::entryExists(slot))
        findings.addProblem(
            QStringLiteral("%1 is a file, not a roster slot folder.").arg(shown(slot)));
    checkFixtures(findings);
}

void FolderCheck::checkFixtures(Findings& findings) const {
    const QString schedules = m_game.schedulesFolder();
    if (!isFolder(schedules)) {
        findings.addProblem(
            QStringLiteral("The folder %1 does not exist; the new fixture is installed there.")
                .arg(shown(schedules)));
        return;
    }
    probe(schedules, findings);
    const QString installed = m_game.gameFixture();
    const QString kept = m_game.keptFixture();
    const bool hasInstalled = fileops::isOrdinaryFile(installed);
    const bool hasKept = fileops::isOrdinaryFile(kept);
    if (!hasInstalled && !hasKept) {
        findings.addProblem(
            QStringLiteral("The game's fixture %1 does not exist.").arg(shown(installed)));
        return;
    }
    // The game's fixture is kept under its new name once, and the new one is copied where it
    // was: anything else under either name would stop the run half-way.
    if (!hasKept && fileops::entryExists(kept))
        findings.addProblem(obstacle(kept, QStringLiteral("where the game's own fixture is kept")));
    if (fileops::entryExists(installed) && !QFileInfo(installed).isFile()) {
        findings.addProblem(obstacle(installed, QStringLiteral("where the new fixture goes")));
    } else {
        checkReplaceable(installed, findings);
        checkNotHeldOpen(installed, findings);
    }
}

void FolderCheck::probe(const QString& folder, Findings& findings) {
    if (const auto refusal = fileops::probeWritable(folder))
        findings.addUnwritableFolder(folder, *refusal);
}

void FolderCheck::checkNotHeldOpen(const QString& file, Findings& findings) {
    if (const auto refusal = fileops::probeReplaceable(file))
        findings.addProblem(
            QStringLiteral("The file %1 cannot be replaced: %2").arg(shown(file), refusal->reason));
}

void FolderCheck::checkReplaceable(const QString& file, Findings& findings) {
    const QFileInfo info(file);
    if (info.isFile() && !info.isSymLink() && !info.isWritable())
        findings.addProblem(QStringLiteral("The file %1 is read-only, and the update replaces "
                                           "it. Make it writable, then run the update again.")
                                .arg(shown(file)));
}

QString FolderCheck::obstacle(const QString& path, const QString& where) {
    const QFileInfo info(path);
    const QString what = info.isSymLink()  ? QStringLiteral("A link")
                         : info.isDir()    ? QStringLiteral("A folder")
                         : info.isHidden() ? QStringLiteral("A hidden file")
                         : info.isFile()   ? QStringLiteral("A file")
                                           : QStringLiteral("Something other than a file");
    return QStringLiteral("%1 stands at %2, %3. Move it away, then run the update again.")
        .arg(what, shown(path), where);
}

} // namespace tolvane
