#pragma once

#include <QString>

namespace tolvane {

namespace commandline {
class Call;
}

// What the commands of tolvane-season share about the files they read and write.
namespace seasontool {

// The program's name.
inline constexpr const char* kProgram = "tolvane-season";

// The CSV files of a season's two tables in folder.
QString ratingsCsvIn(const QString& folder);
QString qzCsvIn(const QString& folder);

// Says that path exists, and returns kTrouble: no command replaces a file.
int refuseExisting(const commandline::Call& call, const QString& path);

} // namespace seasontool

} // namespace tolvane
