#include "support/testgame.h"

#include "db/seasonschema.h"
#include "run/updaterun.h"
#include "support/foldertree.h"
#include "tools/demo/demofolder.h"

#include <QDir>

#include <gtest/gtest.h>

namespace tolvane {

// Letters outside ASCII and outside Windows-1252 in the folder's path, as a player's user
// name or game folder may have them: every file step must take the path whole (on Windows,
// through the wide-character file functions).
TestGame::TestGame()
    : dir(QDir::tempPath() + QStringLiteral("/game Ærø Ωμέγα-XXXXXX")) {
    EXPECT_TRUE(dir.isValid());
    QDir().mkpath(folder().listsFolder());
    QDir().mkpath(folder().schedulesFolder());
    writeAll(folder().gameFixture(), "old fixture\0\x01\x02");
    writeAll(folder().newFixture(), "new fixture\r\n\xff");
}

void TestGame::writeDemo(int teams, int players) {
    QFile::remove(dbPath());
    demo::Options options;
    options.teams = teams;
    options.playersPerTeam = players;
    demo::writeSeasonDatabase(dbPath(), options);
}

QString TestGame::runUpdate() {
    ui.messages.clear();
    UpdateRun run(folder(), ui);
    run.selectSlot(QStringLiteral("default2009"));
    run.run();
    return ui.messages.empty() ? QString() : ui.messages.back().text;
}

void writeSimpleDatabase(const QString& path,
                         const std::vector<std::pair<QString, QString>>& players) {
    demo::SeasonBuilder builder(path);
    for (const auto& [team, name] : players)
        builder.addPlayer(team, name);
}

QVariantMap allRatings(const QVariant& value) {
    QVariantMap map;
    for (const seasonschema::RatingsColumn column : seasonschema::kOverallPointColumns)
        map.insert(seasonschema::kRatingsColumns[column].name, value);
    return map;
}

} // namespace tolvane
