#include "run/inputcheck.h"

#include "core/fileops.h"
#include "core/gamefolder.h"
#include "db/seasondatabase.h"
#include "run/authorwarnings.h"
#include "run/spacecheck.h"
#include "run/virtualstore.h"

#include <QDir>

#include <optional>

namespace tolvane {

InputCheck::InputCheck(GameFolder game, QString slotName, Scope scope)
    : m_game(std::move(game))
    , m_slotName(std::move(slotName))
    , m_folders(m_game, m_slotName)
    , m_database(m_game.seasonDatabase())
    , m_slot(m_game.slotFolder(m_slotName))
    , m_findings(scope) {}

bool InputCheck::run() {
    m_findings = Findings(m_findings.scope());
    m_conversion.discard();
    bool hasDatabase = true;
    if (m_findings.keepsEverything()) {
        for (const QString& missing : FolderCheck::missingInputFiles(m_game))
            m_findings.addProblem(missing);
        hasDatabase = fileops::isOrdinaryFile(m_game.seasonDatabase());
    }
    m_folders.run(m_findings);
    if (m_findings.keepsEverything())
        warnOfVirtualStoreCopies();
    if (!hasDatabase || !m_database.run(m_findings))
        return false;

    std::optional<AuthorWarnings> warnings;
    if (m_findings.keepsEverything())
        warnings.emplace(m_findings);
    m_conversion.run(m_database.database(), m_findings, warnings ? &*warnings : nullptr);
    m_slot.run(m_conversion.teamNames(), m_findings);
    if (m_findings.problemCount() == 0)
        SpaceCheck::run(m_game, m_slotName, m_conversion.season(),
                        isReadableAccess(m_database.database().format()), m_findings);
    // Only a season whose every player converted has every new rating to try.
    if (m_findings.problemCount() == 0) {
        m_database.checkWriteBack(m_conversion.season(), m_findings);
        if (m_findings.problemCount() > 0)
            m_conversion.discard();
    }
    return m_findings.problemCount() == 0;
}

void InputCheck::warnOfVirtualStoreCopies() {
    for (const QString& copy : virtualstore::copies(m_game, m_slotName))
        m_findings.addWarning(
            QString(), QString(), QString(),
            QStringLiteral("%1 is a copy Windows keeps for old programs in its VirtualStore: "
                           "the game reads it instead of what the update writes. The window "
                           "offers to set it aside.")
                .arg(QDir::toNativeSeparators(copy)));
}

} // namespace tolvane
