#pragma once

#include <QString>
#include <QStringList>

class QIODevice;

namespace tolvane {

// What a command-line tool's run gave: its exit status, and what it wrote to standard
// output and standard error, both UTF-8.
struct ToolResult {
    int status;
    QString out;
    QString err;
};

using ToolRun = int (*)(const QStringList& arguments, QIODevice& out, QIODevice& err);

// Runs a tool's command line in this process, its output caught.
ToolResult runTool(ToolRun run, const QStringList& arguments);

// Expects --help of the tool and of each command to succeed, each command's to start with
// its usage line and to name the exit statuses; returns every line of the helps.
QStringList expectHelp(ToolRun run, const QString& program, const QStringList& commands);

} // namespace tolvane
