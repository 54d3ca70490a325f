#pragma once

#include <QString>

namespace tolvane {

// Why name cannot serve as a single folder name on every file system the game runs on,
// or an empty text when it can. Team names become folder and file names, so a name such
// as "..", "a/b" or "CON" could reach outside the roster slot or fail on Windows.
QString folderNameProblem(const QString& name);

} // namespace tolvane
