#include "tools/roster/rosterfiles.h"

#include "core/commandline.h"
#include "core/fileops.h"
#include "core/patcherror.h"

#include <QFileInfo>

namespace tolvane {

namespace rostertool {

std::optional<QByteArray> readInput(const commandline::Call& call, const QString& path) {
    if (QFileInfo(path).isDir()) {
        call.say(QStringLiteral("%1: is a folder, not a file").arg(path));
        return std::nullopt;
    }
    try {
        return fileops::readWholeFile(path);
    } catch (const PatchError& error) {
        call.say(QStringLiteral("%1: cannot read: %2").arg(path, error.cause()));
        return std::nullopt;
    }
}

} // namespace rostertool

} // namespace tolvane
