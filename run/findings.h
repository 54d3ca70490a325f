#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

namespace tolvane {

class PatchError;

namespace fileops {
struct WriteRefusal;
}

// Why a folder refuses a write for want of rights on Windows: the game is under Program Files.
inline constexpr char kGameFolderProtected[] =
    "Windows protects the game's folder: only a program started as administrator may change "
    "files in it.";

// Something a check found. Each part is empty where it does not apply: a folder has no
// team, a team no player, and a player's problem may concern no one column.
struct InputFinding {
    QString team;
    QString player;
    QString column;
    QString reason;
    // A problem as the window's report lists it; empty for warnings.
    QString text;
};

// What the checks before a run found: the problems that keep it from starting, and the
// warnings of what it accepts without a word. A run's report lists only the first problems
// and counts the rest; the authors of a season want every problem, and the warnings too.
class Findings {
public:
    // How many problems a run's report lists before it only counts the rest.
    static constexpr qsizetype kListedProblems = 20;

    enum class Scope { Run, Everything };

    explicit Findings(Scope scope)
        : m_scope(scope) {}

    Scope scope() const { return m_scope; }
    bool keepsEverything() const { return m_scope == Scope::Everything; }

    void addProblem(InputFinding problem);
    // A problem of no team or player: its text is its reason.
    void addProblem(const QString& text);
    // A failure that ended a check, as one line.
    void addProblem(const PatchError& error);
    // A player's problem, listed as Player "NAME" of team "TEAM"[, column "COLUMN"]: REASON.
    void addPlayerProblem(const QString& team, const QString& name, const QString& column,
                          const QString& reason);
    void addWarning(QString team, QString player, QString column, QString reason);
    // A folder the run cannot write in: a problem that names it and the system's reason.
    void addUnwritableFolder(const QString& folder, const fileops::WriteRefusal& refusal,
                             const QString& what = QString());

    // The problems in the order found; for a run, at most kListedProblems of them.
    const std::vector<InputFinding>& problems() const { return m_problems; }
    qsizetype problemCount() const { return m_count; }
    const std::vector<InputFinding>& warnings() const { return m_warnings; }
    // Whether a folder refused a write for want of rights, which an administrator has.
    bool accessDenied() const { return m_accessDenied; }
    // The message for the user: the problems listed, then "and N more".
    QString report() const;

private:
    Scope m_scope;
    std::vector<InputFinding> m_problems;
    qsizetype m_count = 0;
    std::vector<InputFinding> m_warnings;
    bool m_accessDenied = false;
};

} // namespace tolvane
