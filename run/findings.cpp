#include "run/findings.h"

#include "core/fileops.h"
#include "core/patcherror.h"

#include <QDir>

#include <QStringList>

#include <algorithm>

namespace tolvane {

void Findings::addProblem(InputFinding problem) {
    if (keepsEverything() || std::ssize(m_problems) < kListedProblems)
        m_problems.push_back(std::move(problem));
    ++m_count;
}

void Findings::addProblem(const QString& text) {
    addProblem({QString(), QString(), QString(), text, text});
}

void Findings::addProblem(const PatchError& error) {
    // What failed, where, and why, on one line for the authors' report.
    QStringList parts{error.operation()};
    if (!error.target().isEmpty())
        parts << error.target();
    if (!error.cause().isEmpty())
        parts << error.cause();
    addProblem({QString(), QString(), QString(),
                parts.join(QStringLiteral(": ")).replace(QLatin1Char('\n'), QLatin1Char(' ')),
                error.message()});
}

void Findings::addPlayerProblem(const QString& team, const QString& name, const QString& column,
                                const QString& reason) {
    const QString where = QStringLiteral("Player \"%1\" of team \"%2\"").arg(name, team);
    addProblem({team, name, column, reason,
                column.isEmpty()
                    ? QStringLiteral("%1: %2").arg(where, reason)
                    : QStringLiteral("%1, column \"%2\": %3").arg(where, column, reason)});
}

void Findings::addWarning(QString team, QString player, QString column, QString reason) {
    m_warnings.push_back(
        {std::move(team), std::move(player), std::move(column), std::move(reason), QString()});
}

void Findings::addUnwritableFolder(const QString& folder, const fileops::WriteRefusal& refusal,
                                   const QString& what) {
    addProblem(QStringLiteral("The patch cannot write in the folder %1%2: %3")
                   .arg(QDir::toNativeSeparators(folder),
                        what.isEmpty() ? QString() : QStringLiteral(", ") + what, refusal.reason));
    m_accessDenied = m_accessDenied || refusal.accessDenied;
}

QString Findings::report() const {
    QString text = QStringLiteral("The update cannot start. Nothing has been changed.\n\n");
    const qsizetype listed = std::min<qsizetype>(std::ssize(m_problems), kListedProblems);
    for (qsizetype i = 0; i < listed; ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += m_problems[static_cast<std::size_t>(i)].text;
    }
    if (m_count > listed)
        text += QStringLiteral("\nand %1 more").arg(m_count - listed);
    return text;
}

} // namespace tolvane
