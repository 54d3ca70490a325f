#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QCommandLineParser;
class QIODevice;

namespace tolvane {

class PatchError;

// What the programs run from a prompt share (the tools for patch authors, and the patch's
// own --check): their exit statuses, how they talk to the terminal, and the one runner of
// their commands, which writes every tool's help, usage errors and dispatch.
namespace commandline {

constexpr int kOk = 0;
constexpr int kInvalid = 1; // the input is not valid (or, for a comparison, differs)
constexpr int kTrouble = 2; // a usage error, or a file that cannot be read or written

// Writes text and a line break to device in UTF-8, the same bytes on every system, so that
// a script or an editor reads them alike: every line of every tool, report or message.
void writeLine(QIODevice& device, const QString& text);
// A message: "program: text" on a line of its own.
void say(QIODevice& err, const char* program, const QString& text);

// text on one line for the terminal: a line break or another control character (a season's
// texts may hold them) becomes a blank.
QString oneLine(QString text);

// One line for the terminal: "target: what failed: cause".
QString describe(const PatchError& error);

// An option of a command, as its help shows it and its parser takes it.
struct Option {
    QStringList names;      // without dashes: {"csv"}, {"t", "teams"}
    QString help;           // for the command's help; lines after the first stand under the first
    QString valueName = {}; // what the option takes ("N"); empty for one that takes nothing
    QString defaultValue = {};
};

// What a command is, as data, in the order its help shows it; the runner makes the help,
// the parsing of the arguments and the usage errors from it.
struct CommandSpec {
    QString name;        // the word that picks it; empty in a tool that is this one command
    QString arguments;   // in its usage line after the name: "[--csv | --json] LIST.tvp"
    QString summary;     // its line in the tool's list of commands
    QString description; // its help from the usage line to the options
    std::vector<Option> options = {}; // besides -h, --help, which every command has
    QString details = {};             // its help after the options; may be empty
    QString exitStatus;               // its help's last paragraph, after "Exit status: "
    qsizetype files = 0;              // how many files (or folders) it takes
    QString filesInWords;             // the same for usage errors: "one team list file"
};

class Command;
class Tool;

// One run of a command: its arguments as parsed, and where it writes.
class Call {
public:
    const QStringList& files() const { return m_files; }
    bool isSet(const QString& option) const;
    QString value(const QString& option) const;

    // The report.
    QIODevice& out() const { return m_out; }
    // Messages, each through say() or usage().
    QIODevice& err() const { return m_err; }
    void say(const QString& text) const;
    // Says text and where to find help; returns kTrouble.
    int usage(const QString& text) const;

private:
    friend class Tool;
    Call(const Tool& tool, const Command& command, const QCommandLineParser& parser, QIODevice& out,
         QIODevice& err);

    const Tool& m_tool;
    const Command& m_command;
    const QCommandLineParser& m_parser;
    QStringList m_files;
    QIODevice& m_out;
    QIODevice& m_err;
};

// A command of a tool: a subclass gives its spec and does its work in execute(). Adding a
// command to a tool is one such class and one entry in the tool's list.
class Command {
public:
    explicit Command(CommandSpec spec);
    virtual ~Command();
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    const CommandSpec& spec() const { return m_spec; }

    // Does the work of call, its arguments already checked against the spec, and returns
    // the exit status. A PatchError (or another exception) that escapes is said, and the
    // tool exits with kTrouble: a file that cannot be read or written.
    virtual int execute(const Call& call) const = 0;

private:
    CommandSpec m_spec;
};

using Commands = std::vector<std::shared_ptr<const Command>>;

// A tool by its program name, e.g. "tolvane-roster", and its commands: the only list of
// them, from which its help and its dispatch are made.
class Tool {
public:
    // A tool of several commands, picked by the first argument. description is what its
    // help says of it, after the usage line.
    Tool(const char* program, QString description, Commands commands);
    // A tool that is one command, with an empty name.
    Tool(const char* program, std::shared_ptr<const Command> command);

    const char* program() const { return m_program; }

    // Runs the command that arguments (without the program's name) pick, its report to out
    // and its messages to err, and returns the exit status.
    int run(const QStringList& arguments, QIODevice& out, QIODevice& err) const;

    // The tool's help, and a command's.
    QString help() const;
    QString help(const Command& command) const;

    // "program: text"; and text with where to find help (on command), returning kTrouble.
    void say(QIODevice& err, const QString& text) const;
    int usage(QIODevice& err, const QString& text, const Command* command = nullptr) const;

private:
    int runCommand(const Command& command, const QStringList& arguments, QIODevice& out,
                   QIODevice& err) const;

    const char* m_program;
    QString m_description;
    Commands m_commands;
};

// Runs work with standard output and standard error as devices, the same bytes on every
// system (a Windows console shows them as UTF-8 while work runs), and returns its exit
// status; kTrouble, said on standard error, when the report could not be written whole (a
// full disk, a closed pipe). Needs an application object.
int runOnStandardStreams(const char* program,
                         const std::function<int(QIODevice& out, QIODevice& err)>& work);

// The main function of a tool: runs it on the command line, its report to standard output
// and its messages to standard error, and returns the exit status.
int main(int argc, char** argv, const Tool& tool);

} // namespace commandline

} // namespace tolvane
