#include "core/foldername.h"

namespace tolvane {

namespace {

constexpr qsizetype kMaxFolderName = 100;

bool isDeviceName(const QString& name) {
    // Windows reserves these names with any extension and in any letter case.
    const QString stem = name.section(QLatin1Char('.'), 0, 0).toUpper();
    if (stem.size() == 3)
        return stem == QLatin1String("CON") || stem == QLatin1String("PRN") ||
               stem == QLatin1String("AUX") || stem == QLatin1String("NUL");
    return stem.size() == 4 &&
           (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT"))) &&
           stem[3] >= QLatin1Char('1') && stem[3] <= QLatin1Char('9');
}

} // namespace

QString folderNameProblem(const QString& name) {
    if (name.isEmpty())
        return QStringLiteral("The team name is empty.");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\"%1\" cannot be a folder name.").arg(name);
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("The team name holds a control character.");
        if (QStringView(u"/\\:*?\"<>|").contains(c))
            return QStringLiteral("The team name holds the character %1, which a folder name "
                                  "cannot hold.")
                .arg(c);
    }
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return QStringLiteral("The team name ends in a dot or a blank, which Windows drops "
                              "from folder names.");
    if (isDeviceName(name))
        return QStringLiteral("\"%1\" is a device name on Windows and cannot be a folder name.")
            .arg(name);
    if (name.size() > kMaxFolderName)
        return QStringLiteral("The team name is longer than %1 characters.").arg(kMaxFolderName);
    return {};
}

} // namespace tolvane
