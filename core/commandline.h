#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QCommandLineParser;
class QIODevice;

namespace tolvane {

class PatchError;

// What the programs run from a prompt share (the tools for patch authors, and the patch's
// own --check): their exit statuses, how they talk to the terminal, and the parsing of a
// command's arguments.
namespace commandline {

constexpr int kOk = 0;
constexpr int kInvalid = 1; // the input is not valid (or, for a comparison, differs)
constexpr int kTrouble = 2; // a usage error, or a file that cannot be read or written

// A command: its name, its help, and the number of files it takes, in words for errors.
struct Command {
    const char* name;
    const char* help;
    qsizetype files;
    const char* filesInWords;
};

// A tool by its program name, e.g. "tolvane-roster".
class Tool {
public:
    explicit Tool(const char* program)
        : m_program(program) {}

    // "program: text" on a line of its own.
    void say(QIODevice& err, const QString& text) const;
    // Says text and where to find help; returns kTrouble.
    int usage(QIODevice& err, const QString& text, const QString& command = QString()) const;

    // Parses a command's arguments into parser and returns its files; nothing after --help
    // or a usage error, with the status to exit with.
    std::optional<QStringList> parseCommand(const Command& command, QCommandLineParser& parser,
                                            const QStringList& arguments, QIODevice& out,
                                            QIODevice& err, int& status) const;

private:
    const char* m_program;
};

// text on one line for the terminal: a line break or another control character (a season's
// texts may hold them) becomes a blank.
QString oneLine(QString text);

// One line for the terminal: "target: what failed: cause".
QString describe(const PatchError& error);

// Runs work with standard output and standard error as devices, the same bytes on every
// system, and returns its exit status; kTrouble, said on standard error, when the report
// could not be written whole (a full disk, a closed pipe). Needs an application object.
int runOnStandardStreams(const char* program,
                         const std::function<int(QIODevice& out, QIODevice& err)>& work);

// The main function of a tool: runs it on the command line, its report to standard output
// and its messages to standard error, and returns the exit status.
int main(int argc, char** argv, const char* program,
         int (*run)(const QStringList& arguments, QIODevice& out, QIODevice& err));

} // namespace commandline

} // namespace tolvane
