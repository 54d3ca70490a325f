#include "core/commandline.h"
#include "tools/demo/demofolder.h"

#include <QDir>

#include <memory>
#include <optional>

using namespace tolvane;

namespace {

using commandline::kOk;

const QString kTeams = QStringLiteral("teams");
const QString kPlayers = QStringLiteral("players");
const QString kSeed = QStringLiteral("seed");
const QString kNoQzIndex = QStringLiteral("no-qz-index");

std::optional<long long> parseCount(const QString& text, long long low, long long high) {
    bool ok = false;
    const long long value = text.toLongLong(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

class MakeDemoFolder : public commandline::Command {
public:
    MakeDemoFolder()
        : Command({
              .name = QString(),
              .arguments = QStringLiteral("[OPTION]... FOLDER"),
              .summary = QString(),
              .description = QStringLiteral("Makes a demo game folder with a generated season "
                                            "database and fixtures in\nFOLDER, which is "
                                            "created when missing."),
              .options =
                  {
                      {{kTeams},
                       QStringLiteral("number of teams (18)"),
                       QStringLiteral("N"),
                       QStringLiteral("18")},
                      {{kPlayers},
                       QStringLiteral("players per team (44)"),
                       QStringLiteral("M"),
                       QStringLiteral("44")},
                      {{kSeed},
                       QStringLiteral("seed of the generator (2009)"),
                       QStringLiteral("S"),
                       QStringLiteral("2009")},
                      {{kNoQzIndex}, QStringLiteral("leave qz(name) without an index")},
                  },
              .exitStatus = QStringLiteral("0 written, 2 usage error or FOLDER cannot be "
                                           "written."),
              .files = 1,
              .filesInWords = QStringLiteral("one folder"),
          }) {}

    int execute(const commandline::Call& call) const override {
        const auto teams = parseCount(call.value(kTeams), 1, demo::maxPlayers);
        const auto players = parseCount(call.value(kPlayers), 1, demo::maxPlayers);
        const auto seed = parseCount(call.value(kSeed), 0, 0xffffffffLL);
        if (!teams || !players || !seed)
            return call.usage(QStringLiteral("--teams and --players take a whole number from 1, "
                                             "--seed one from 0 to 4294967295"));
        if (*teams * *players > demo::maxPlayers)
            return call.usage(QStringLiteral("at most %1 players in all").arg(demo::maxPlayers));

        demo::Options options;
        options.teams = int(*teams);
        options.playersPerTeam = int(*players);
        options.seed = std::uint32_t(*seed);
        options.qzIndex = !call.isSet(kNoQzIndex);
        const QString folder = QDir::toNativeSeparators(QDir(call.files().front()).absolutePath());
        demo::writeProgramFolder(folder, options);
        report(call, folder, options);
        return kOk;
    }

private:
    static void report(const commandline::Call& call, const QString& folder,
                       const demo::Options& options) {
        const QString index =
            options.qzIndex ? QStringLiteral("indexed") : QStringLiteral("not indexed");
        for (const QString& line : {
                 QStringLiteral("Demo game folder %1:").arg(folder),
                 QStringLiteral("  seasonStats.mdb                  %1 teams x %2 players, "
                                "seed %3, qz(name) %4")
                     .arg(options.teams)
                     .arg(options.playersPerTeam)
                     .arg(options.seed)
                     .arg(index),
                 QStringLiteral("  schedule2009.dat                 the new fixture"),
                 QStringLiteral("  data/schedules/schedule2008.dat  the game's own fixture"),
                 QStringLiteral("  lists/                           empty"),
             })
            commandline::writeLine(call.out(), line);
    }
};

} // namespace

int main(int argc, char** argv) {
    static const commandline::Tool tool("make-demo-folder", std::make_shared<MakeDemoFolder>());
    return commandline::main(argc, argv, tool);
}
