#include "app/form57.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QStyleFactory>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Only the name: a display name would be appended to every message box's title.
    QApplication::setApplicationName(Form57::appTitle());
    // The window's colours are palette colours, which every platform honours under Fusion.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Brings the player lists and the fixture of an installed game up to the "
                       "2009 season. Run it from the game's folder."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption folderOption(
        QStringLiteral("program-folder"),
        QStringLiteral("Use <folder> as the game's folder instead of the program's own."),
        QStringLiteral("folder"));
    parser.addOption(folderOption);
    // A launcher, or a file dropped on the program, may pass arguments the program does not
    // know: they are noted and ignored rather than keeping the window from opening.
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(helpOption))
        parser.showHelp();
    if (parser.isSet(folderOption) && parser.value(folderOption).isEmpty()) {
        std::fprintf(stderr, "The option --program-folder needs a folder.\n");
        return 2;
    }
    for (const QString& option : parser.unknownOptionNames())
        std::fprintf(stderr, "Ignoring the unknown option \"%s\".\n", qUtf8Printable(option));
    for (const QString& argument : parser.positionalArguments())
        std::fprintf(stderr, "Ignoring the argument \"%s\".\n", qUtf8Printable(argument));

    const QString programFolder = parser.isSet(folderOption)
                                      ? QDir(parser.value(folderOption)).absolutePath()
                                      : QCoreApplication::applicationDirPath();

    Form57 window(programFolder);
    window.show();
    return QApplication::exec();
}
