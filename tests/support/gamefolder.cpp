#include "support/gamefolder.h"

#include "db/seasonschema.h"
#include "support/foldertree.h"
#include "tools/demofolder.h"

#include <QDir>

#include <gtest/gtest.h>

GameFolder::GameFolder() {
    EXPECT_TRUE(dir.isValid());
    QDir().mkpath(gamepaths::listsFolder(path()));
    QDir().mkpath(gamepaths::schedulesFolder(path()));
    writeAll(gamepaths::gameFixture(path()), "old fixture\0\x01\x02");
    writeAll(gamepaths::newFixture(path()), "new fixture\r\n\xff");
}

void GameFolder::writeDemo(int teams, int players) {
    QFile::remove(dbPath());
    demo::Options options;
    options.teams = teams;
    options.playersPerTeam = players;
    demo::writeSeasonDatabase(dbPath(), options);
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
