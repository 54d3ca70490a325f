#include "tools/season/seasonfiles.h"

#include "core/commandline.h"

#include <QDir>

namespace tolvane {

namespace seasontool {

QString ratingsCsvIn(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("Ratings.csv"));
}

QString qzCsvIn(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("qz.csv"));
}

int refuseExisting(const commandline::Call& call, const QString& path) {
    call.say(QStringLiteral("%1: exists already; %2 never replaces a file")
                 .arg(QDir::toNativeSeparators(path), QLatin1String(kProgram)));
    return commandline::kTrouble;
}

} // namespace seasontool

} // namespace tolvane
