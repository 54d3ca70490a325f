#include "run/inputcheck.h"

#include "core/fileops.h"
#include "core/gamepaths.h"
#include "run/authorwarnings.h"

#include <optional>

namespace tolvane {

InputCheck::InputCheck(QString programFolder, QString slotName, Scope scope)
    : m_programFolder(std::move(programFolder))
    , m_folders(m_programFolder, std::move(slotName))
    , m_database(gamepaths::seasonDatabase(m_programFolder))
    , m_findings(scope) {}

bool InputCheck::run() {
    m_findings = Findings(m_findings.scope());
    m_conversion.discard();
    bool hasDatabase = true;
    if (m_findings.keepsEverything()) {
        for (const QString& missing : FolderCheck::missingInputFiles(m_programFolder))
            m_findings.addProblem(missing);
        hasDatabase = fileops::isOrdinaryFile(gamepaths::seasonDatabase(m_programFolder));
    }
    m_folders.run(m_findings);
    if (!hasDatabase || !m_database.run(m_findings))
        return false;

    std::optional<AuthorWarnings> warnings;
    if (m_findings.keepsEverything())
        warnings.emplace(m_findings);
    m_conversion.run(m_database.database(), m_findings, warnings ? &*warnings : nullptr);
    // Only a season whose every player converted has every new rating to try.
    if (m_findings.problemCount() == 0) {
        m_database.checkWriteBack(m_conversion.season(), m_findings);
        if (m_findings.problemCount() > 0)
            m_conversion.discard();
    }
    return m_findings.problemCount() == 0;
}

} // namespace tolvane
