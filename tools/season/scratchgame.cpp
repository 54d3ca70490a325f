#include "tools/season/scratchgame.h"

#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "run/checkcommand.h"
#include "run/inputcheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tolvane {

namespace season {

namespace {

QString scratchTemplate() {
    return QDir::tempPath() + QStringLiteral("/tolvane-season-XXXXXX");
}

[[noreturn]] void cannotPrepare(const QString& target, const QString& cause) {
    throw PatchError(QStringLiteral("Cannot prepare a game folder to check the season in"), target,
                     cause);
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(data) != data.size())
        cannotPrepare(path, file.errorString());
}

void makeFolder(const QString& path) {
    if (!QDir().mkpath(path))
        cannotPrepare(path, QStringLiteral("The folder cannot be created."));
}

} // namespace

ScratchGame::ScratchGame(const QString& path)
    : m_seasonName(QDir::toNativeSeparators(path))
    , m_dir(scratchTemplate())
    , m_game(m_dir.path()) {
    if (!m_dir.isValid())
        cannotPrepare(m_dir.path(), m_dir.errorString());
    const QFileInfo info(path);
    if (!info.isFile())
        throw PatchError(QStringLiteral("Cannot read the season database"), m_seasonName,
                         info.exists() ? QStringLiteral("It is a folder, not a file.")
                                       : QStringLiteral("No such file."));
    QFile source(path);
    const QString copy = m_game.seasonDatabase();
    if (!source.copy(copy))
        throw PatchError(QStringLiteral("Cannot read the season database"), m_seasonName,
                         source.errorString());
    // The copy takes the season's permissions; the check would call a read-only one
    // unwritable, which says nothing of the game folder the season goes to.
    QFile::setPermissions(copy, QFile::permissions(copy) | QFile::WriteOwner | QFile::ReadOwner);
    // The fixture is only looked for, never read: any bytes do.
    prepare("scratch fixture");
}

ScratchGame::ScratchGame(const QByteArray& season, const QByteArray& fixture, QString seasonName)
    : m_seasonName(std::move(seasonName))
    , m_dir(scratchTemplate())
    , m_game(m_dir.path()) {
    if (!m_dir.isValid())
        cannotPrepare(m_dir.path(), m_dir.errorString());
    writeFile(m_game.seasonDatabase(), season);
    prepare(fixture);
}

void ScratchGame::prepare(const QByteArray& fixture) {
    writeFile(m_game.newFixture(), fixture);
    makeFolder(m_game.schedulesFolder());
    writeFile(m_game.gameFixture(), "scratch fixture");
    makeFolder(m_game.listsFolder());
}

ScratchGame::~ScratchGame() = default;

bool ScratchGame::check(const PlayerObserver& observer) {
    m_check = std::make_unique<InputCheck>(m_game, QLatin1String(gamepaths::kDefaultSlot),
                                           InputCheck::Scope::Everything);
    if (observer)
        m_check->observePlayers(observer);
    m_imports = m_check->run();
    return m_imports;
}

bool ScratchGame::databaseOpened() const {
    return m_check && m_check->databaseOpened();
}

std::vector<InputFinding> ScratchGame::problems() const {
    std::vector<InputFinding> problems;
    if (m_check) {
        for (const InputFinding& finding : m_check->findings().problems())
            problems.push_back(shown(finding));
    }
    return problems;
}

std::vector<InputFinding> ScratchGame::warnings() const {
    std::vector<InputFinding> warnings;
    if (m_check) {
        for (const InputFinding& finding : m_check->findings().warnings())
            warnings.push_back(shown(finding));
    }
    return warnings;
}

QString ScratchGame::summary() const {
    return m_check ? checkcommand::summaryLine(m_check->findings(), m_imports) : QString();
}

InputFinding ScratchGame::shown(InputFinding finding) const {
    const QString& seasonShown = m_seasonName;
    for (QString* text : {&finding.reason, &finding.text}) {
        for (const QString& copy :
             {m_game.seasonDatabase(), QDir::toNativeSeparators(m_game.seasonDatabase())})
            text->replace(copy, seasonShown);
    }
    return finding;
}

} // namespace season

} // namespace tolvane
