#include "run/checkcommand.h"

#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "core/wording.h"
#include "run/inputcheck.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <exception>

namespace tolvane {

namespace checkcommand {
namespace {

void say(QIODevice& err, const QString& text) {
    commandline::say(err, kProgram, text);
}

// Why the folder cannot be checked at all, or an empty text.
QString unreadable(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("no such folder");
    if (!info.isDir())
        return QStringLiteral("not a folder");
    if (!info.isReadable() || !info.isExecutable())
        return QStringLiteral("permission denied");
    return QString();
}

QJsonArray toJson(const std::vector<InputFinding>& findings) {
    QJsonArray array;
    for (const InputFinding& f : findings)
        array.append(QJsonObject{{QStringLiteral("team"), f.team},
                                 {QStringLiteral("player"), f.player},
                                 {QStringLiteral("column"), f.column},
                                 {QStringLiteral("reason"), f.reason}});
    return array;
}

} // namespace

QString line(const InputFinding& finding) {
    QStringList where;
    for (const QString* part : {&finding.team, &finding.player, &finding.column}) {
        if (!part->isEmpty())
            where << *part;
    }
    const QString reason = commandline::oneLine(finding.reason);
    if (where.isEmpty())
        return reason;
    return commandline::oneLine(where.join(QStringLiteral(" / "))) + QStringLiteral(": ") + reason;
}

QString summary(const Findings& findings, bool imports) {
    return QStringLiteral("%1, %2: the season would %3.")
        .arg(counted(findings.problemCount(), "problem", "problems"),
             counted(std::ssize(findings.warnings()), "warning", "warnings"),
             imports ? QStringLiteral("import") : QStringLiteral("not import"));
}

int run(const GameFolder& game, bool json, QIODevice& out, QIODevice& err) {
    const QString& programFolder = game.path();
    if (const QString why = unreadable(programFolder); !why.isEmpty()) {
        say(err, QStringLiteral("%1: cannot read: %2")
                     .arg(QDir::toNativeSeparators(programFolder), why));
        return kUnreadable;
    }
    InputCheck check(game, QLatin1String(gamepaths::kDefaultSlot), InputCheck::Scope::Everything);
    bool imports = false;
    try {
        imports = check.run();
    } catch (const std::exception& e) {
        // The check reports what it finds; anything else is a fault of the folder's files
        // that it did not foresee.
        say(err, QStringLiteral("%1: the check stopped: %2")
                     .arg(QDir::toNativeSeparators(programFolder), exceptionText(e)));
        return kUnreadable;
    }
    const std::vector<InputFinding>& problems = check.findings().problems();
    const std::vector<InputFinding>& warnings = check.findings().warnings();
    const QString summary = checkcommand::summary(check.findings(), imports);

    if (json) {
        const QJsonObject report{
            {QStringLiteral("problems"), toJson(problems)},
            {QStringLiteral("warnings"), toJson(warnings)},
            {QStringLiteral("imports"), imports},
            {QStringLiteral("summary"), summary},
        };
        out.write(QJsonDocument(report).toJson(QJsonDocument::Indented));
    } else {
        for (const InputFinding& problem : problems)
            commandline::writeLine(out, line(problem));
        for (const InputFinding& warning : warnings)
            commandline::writeLine(out, QStringLiteral("warning: ") + line(warning));
        commandline::writeLine(out, summary);
    }
    return imports ? kImports : kRefused;
}

} // namespace checkcommand

} // namespace tolvane
