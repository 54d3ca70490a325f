#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tolvane {

namespace commandline {
class Call;
}

// What the commands of tolvane-roster share about the files they read.
namespace rostertool {

// The program's name.
inline constexpr const char* kProgram = "tolvane-roster";

// The whole of the file at path, or nothing after saying why it cannot be read.
std::optional<QByteArray> readInput(const commandline::Call& call, const QString& path);

} // namespace rostertool

} // namespace tolvane
