#include "tools/season/scratchgame.h"

#include "core/fileops.h"
#include "core/patcherror.h"
#include "run/inputcheck.h"

#include <QDir>
#include <QFileInfo>

namespace tolvane {

namespace season {

ScratchGame::ScratchGame(const QByteArray& season, const QByteArray& fixture)
    : m_folder(QDir::temp().filePath(QStringLiteral("tolvane-season-XXXXXX")))
    , m_game(m_folder.path()) {
    if (!m_folder.isValid())
        throw PatchError(QStringLiteral("Cannot create a temporary folder"),
                         QDir::toNativeSeparators(QDir::tempPath()), m_folder.errorString());
    fileops::createFolder(m_game.listsFolder());
    fileops::createFolder(QFileInfo(m_game.schedulesFolder()).path());
    fileops::createFolder(m_game.schedulesFolder());
    // New files, each as writable as a file unpacked from a zip: the check of a read-only
    // season database would not be the players'.
    fileops::writeFileAtomically(m_game.seasonDatabase(), season);
    fileops::writeFileAtomically(m_game.newFixture(), fixture);
    // The check asks only that the game's own fixture be there.
    fileops::writeFileAtomically(m_game.gameFixture(), QByteArray());
    m_check = std::make_unique<InputCheck>(m_game, QLatin1String(gamepaths::kDefaultSlot),
                                           InputCheck::Scope::Everything);
}

ScratchGame::~ScratchGame() = default;

bool ScratchGame::check() {
    return m_check->run();
}

const Findings& ScratchGame::findings() const {
    return m_check->findings();
}

SeasonDatabase& ScratchGame::database() {
    return m_check->database();
}

const ConvertedSeason& ScratchGame::season() const {
    return m_check->season();
}

} // namespace season

} // namespace tolvane
