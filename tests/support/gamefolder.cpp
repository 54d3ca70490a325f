#include "support/gamefolder.h"

#include "db/seasonschema.h"
#include "support/foldertree.h"
#include "tools/demofolder.h"

#include <QDir>

#include <gtest/gtest.h>

GameFolder::GameFolder() {
    EXPECT_TRUE(dir.isValid());
    QDir root(dir.path());
    root.mkpath(QStringLiteral("lists"));
    root.mkpath(QStringLiteral("data/schedules"));
    writeAll(file(QStringLiteral("data/schedules/schedule2008.dat")), "old fixture\0\x01\x02");
    writeAll(file(QStringLiteral("schedule2009.dat")), "new fixture\r\n\xff");
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
