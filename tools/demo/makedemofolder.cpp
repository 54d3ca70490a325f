#include "tools/demo/demofolder.h"

#include "core/patcherror.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <optional>

using namespace tolvane;

namespace {

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

std::optional<long long> parseCount(const QString& text, long long low, long long high) {
    bool ok = false;
    const long long value = text.toLongLong(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("make-demo-folder"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes a demo game folder with a generated season database and fixtures."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FOLDER"),
                                 QStringLiteral("The folder to fill; created when missing."));
    const QCommandLineOption teamsOption(QStringLiteral("teams"),
                                         QStringLiteral("Number of teams."), QStringLiteral("N"),
                                         QStringLiteral("18"));
    const QCommandLineOption playersOption(QStringLiteral("players"),
                                           QStringLiteral("Players per team."), QStringLiteral("M"),
                                           QStringLiteral("44"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the generator."),
                                        QStringLiteral("S"), QStringLiteral("2009"));
    const QCommandLineOption noIndexOption(QStringLiteral("no-qz-index"),
                                           QStringLiteral("Leave qz(name) without an index."));
    parser.addOptions({teamsOption, playersOption, seedOption, noIndexOption});
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        print(stderr, QStringLiteral("make-demo-folder: give exactly one FOLDER (see --help)."));
        return 1;
    }
    const auto teams = parseCount(parser.value(teamsOption), 1, demo::maxPlayers);
    const auto players = parseCount(parser.value(playersOption), 1, demo::maxPlayers);
    const auto seed = parseCount(parser.value(seedOption), 0, 0xffffffffLL);
    if (!teams || !players || !seed) {
        print(stderr, QStringLiteral("make-demo-folder: --teams and --players take a whole number "
                                     "from 1, --seed one from 0 to 4294967295."));
        return 1;
    }
    if (*teams * *players > demo::maxPlayers) {
        print(stderr,
              QStringLiteral("make-demo-folder: at most %1 players in all.").arg(demo::maxPlayers));
        return 1;
    }

    demo::Options options;
    options.teams = int(*teams);
    options.playersPerTeam = int(*players);
    options.seed = std::uint32_t(*seed);
    options.qzIndex = !parser.isSet(noIndexOption);

    const QString folder = QDir::toNativeSeparators(QDir(positional.front()).absolutePath());
    try {
        demo::writeProgramFolder(folder, options);
    } catch (const PatchError& error) {
        print(stderr, QStringLiteral("make-demo-folder: ") + error.message());
        return 1;
    }

    print(stdout, QStringLiteral("Demo game folder %1:").arg(folder));
    print(stdout,
          QStringLiteral("  seasonStats.mdb                  %1 teams x %2 players, seed %3, "
                         "qz(name) %4")
              .arg(options.teams)
              .arg(options.playersPerTeam)
              .arg(options.seed)
              .arg(options.qzIndex ? QStringLiteral("indexed") : QStringLiteral("not indexed")));
    print(stdout, QStringLiteral("  schedule2009.dat                 the new fixture"));
    print(stdout, QStringLiteral("  data/schedules/schedule2008.dat  the game's own fixture"));
    print(stdout, QStringLiteral("  lists/                           empty"));
    return 0;
}
