#include "app/form57.h"
#include "core/patcherror.h"
#include "run/checkcommand.h"
#include "run/patchbackup.h"
#include "run/restorecommand.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace tolvane;

namespace {

// The options of both modes: the window, and the check that prints its report.
struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption folder{
        QStringLiteral("program-folder"),
        QStringLiteral("Use <folder> as the game's folder instead of the program's own (with "
                       "--check: instead of the current folder)."),
        QStringLiteral("folder")};
    QCommandLineOption check{
        QStringLiteral("check"),
        QStringLiteral("Open no window: run every check of an update on the game folder, "
                       "write nothing, print every problem and warning, and exit.")};
    QCommandLineOption restore{
        QStringLiteral("restore"),
        QStringLiteral("Open no window: put the game's roster slot, fixture and season "
                       "database back as they were before the last update, and exit.")};
    QCommandLineOption json{QStringLiteral("json"),
                            QStringLiteral("With --check: print the report as one JSON "
                                           "document (UTF-8) of problems, warnings and summary.")};

    CommandLine() {
        parser.setApplicationDescription(QStringLiteral(
            "Brings the player lists and the fixture of an installed game up to the 2009\n"
            "season. Run it from the game's folder.\n"
            "\n"
            "With --check it opens no window and needs no display. It prints each problem\n"
            "that would keep the update from starting as \"team / player / column: reason\"\n"
            "(parts that do not apply are left out), then warnings (\"warning: ...\") of\n"
            "what the update accepts without a word: players without a qz row, or with one\n"
            "only in another letter case; qz names on more than one row (rows are counted\n"
            "by rowid; in an Access file, by their place in the table from 1); names twice\n"
            "in one team; values that the rating scales clamp. A summary line ends the\n"
            "report. A missing seasonStats.mdb or schedule2009.dat is a problem.\n"
            "\n"
            "Exit status of --check: 0 the season would import, 1 it would not, 2 the\n"
            "folder cannot be read or the command line is wrong (a message on standard\n"
            "error, nothing on standard output).\n"
            "\n"
            "Each update keeps what it replaces in the folder \"2009 Patch backup\" of the\n"
            "game's folder. --restore puts it back, all or nothing, and says what it put\n"
            "back. Exit status of --restore: 0 restored, 1 there is nothing to restore, 2\n"
            "the restore failed and changed nothing, or the command line is wrong."));
        parser.addOption(folder);
        parser.addOption(check);
        parser.addOption(restore);
        parser.addOption(json);
    }
};

bool hasArgument(int argc, char** argv, std::initializer_list<const char*> wanted) {
    for (int i = 1; i < argc; ++i) {
        for (const char* w : wanted) {
            if (std::strcmp(argv[i], w) == 0)
                return true;
        }
    }
    return false;
}

#ifdef Q_OS_WIN
// A program built for a window has no console of its own: the check's report and the
// help go to the console of the prompt that started it, unless they are redirected.
void useParentConsole() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    const auto missing = [](HANDLE h) { return h == nullptr || h == INVALID_HANDLE_VALUE; };
    if ((!missing(out) && !missing(err)) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (missing(out))
        std::freopen("CONOUT$", "w", stdout);
    if (missing(err))
        std::freopen("CONOUT$", "w", stderr);
}
#endif

// The check of the command line parsed (or not) into line: its report to out, messages to
// err.
int check(const CommandLine& line, bool parsed, QIODevice& out, QIODevice& err) {
    const QStringList positional = line.parser.positionalArguments();
    if (!parsed || !positional.isEmpty()) {
        commandline::say(err, checkcommand::kProgram,
                         parsed
                             ? QStringLiteral("unexpected argument \"%1\"").arg(positional.front())
                             : line.parser.errorText());
        commandline::say(
            err, checkcommand::kProgram,
            QStringLiteral("see '%1 --help'").arg(QLatin1String(checkcommand::kProgram)));
        return checkcommand::kUnreadable;
    }
    if (line.parser.isSet(line.folder) && line.parser.value(line.folder).isEmpty()) {
        commandline::say(err, checkcommand::kProgram,
                         QStringLiteral("the option --program-folder needs a folder"));
        return checkcommand::kUnreadable;
    }
    const bool restore = line.parser.isSet(line.restore);
    // A check is run on the folder one is in; a restore, like the window, on the program's.
    const QString folder = line.parser.isSet(line.folder)
                               ? QDir(line.parser.value(line.folder)).absolutePath()
                           : restore ? QCoreApplication::applicationDirPath()
                                     : QDir::currentPath();
    if (restore)
        return restorecommand::run(GameFolder(folder), out, err);
    return checkcommand::run(GameFolder(folder), line.parser.isSet(line.json), out, err);
}

int runCheck(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    CommandLine line;
    // Unlike the window, the check is run by hand or by scripts: a mistyped option must not
    // pass unnoticed.
    const bool parsed = line.parser.parse(QCoreApplication::arguments());
    if (line.parser.isSet(line.help))
        line.parser.showHelp();
    return commandline::runOnStandardStreams(
        checkcommand::kProgram,
        [&](QIODevice& out, QIODevice& err) { return check(line, parsed, out, err); });
}

} // namespace

int main(int argc, char** argv) {
    // The check and the help need no window, and so no display.
    if (hasArgument(argc, argv, {"--check", "--restore", "--help", "-h", "-?", "--help-all"})) {
#ifdef Q_OS_WIN
        useParentConsole();
#endif
        return runCheck(argc, argv);
    }

    QApplication app(argc, argv);
    // Only the name: a display name would be appended to every message box's title.
    QApplication::setApplicationName(Form57::appTitle());
    // The window's colours are palette colours, which every platform honours under Fusion.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    CommandLine line;
    // A launcher, or a file dropped on the program, may pass arguments the program does not
    // know: they are noted and ignored rather than keeping the window from opening.
    line.parser.parse(QCoreApplication::arguments());
    if (line.parser.isSet(line.folder) && line.parser.value(line.folder).isEmpty()) {
        std::fprintf(stderr, "The option --program-folder needs a folder.\n");
        return 2;
    }
    if (line.parser.isSet(line.json))
        std::fprintf(stderr, "Ignoring the option \"json\", which only --check uses.\n");
    for (const QString& option : line.parser.unknownOptionNames())
        std::fprintf(stderr, "Ignoring the unknown option \"%s\".\n", qUtf8Printable(option));
    for (const QString& argument : line.parser.positionalArguments())
        std::fprintf(stderr, "Ignoring the argument \"%s\".\n", qUtf8Printable(argument));

    const QString programFolder = line.parser.isSet(line.folder)
                                      ? QDir(line.parser.value(line.folder)).absolutePath()
                                      : QCoreApplication::applicationDirPath();

    // An update or restore cut short is finished or undone before the window shows.
    const GameFolder game(programFolder);
    QString settled;
    MessageStyle settledStyle{MessageIcon::Information};
    try {
        const GameLock lock(game);
        if (lock.held())
            settled = PatchBackup(game).settle();
    } catch (const PatchError& e) {
        settled = e.message();
        settledStyle = MessageStyle{MessageIcon::Warning};
    }
    Form57 window{game};
    window.show();
    if (!settled.isEmpty())
        QTimer::singleShot(0, &window, [&] { window.message(settled, settledStyle, QString()); });
    return QApplication::exec();
}
