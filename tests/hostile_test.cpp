#include "run/updaterun.h"

#include "core/cp1252.h"
#include "db/seasondatabase.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"
#include "support/foldertree.h"
#include "support/testgame.h"
#include "tools/demo/demofolder.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <array>

using namespace tolvane;

namespace {

std::array<double, 8> positionValues(int player) {
    std::array<double, 8> values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = 10.0 * player + static_cast<double>(i) + 0.5;
    return values;
}

std::vector<PlayerRecord> playersOf(const TestGame& game, const QString& team) {
    std::vector<PlayerRecord> records =
        recordcodec::parseTeamList(readAll(game.slot() + "/" + team + "/" + team + "_List.tvp"));
    EXPECT_FALSE(records.empty());
    if (!records.empty())
        records.erase(records.begin());
    return records;
}

QByteArray lines(const QStringList& texts) {
    QByteArray bytes;
    for (const QString& text : texts)
        bytes += toCp1252(text) + "\r\n";
    return bytes;
}

} // namespace

// Quotes, statement separators, comment marks and wildcards are only letters of a name: each
// player finds his own qz row, never a look-alike, and the table survives the run.
TEST(HostileNames, FindTheirOwnQzRowAndLines) {
    const QStringList names = {
        QStringLiteral("Sean O'Brien"),
        QStringLiteral("Tom \"Tiny\" Hart"),
        QStringLiteral("Al ;DROP TABLE qz;--"),
        QStringLiteral("Max 100%"),
        QStringLiteral("Jo _x_"),
        QStringLiteral("Ed ' OR '1'='1"),
        QStringLiteral("Zoë Ångström"),
        QStringLiteral("Łukasz Żółć"),
    };
    // Rows a careless look-up would find first: what a wildcard, a cut-off quote or a
    // letter-case-blind comparison would match.
    const QStringList decoys = {
        QStringLiteral("Sean O"),
        QStringLiteral("Max 1000"),
        QStringLiteral("Jo axb"),
        QStringLiteral("ZOË ÅNGSTRÖM"),
        QStringLiteral("Tom \\\"Tiny\\\" Hart"),
        QStringLiteral("Ed "),
    };
    TestGame game;
    {
        demo::SeasonBuilder builder(game.dbPath());
        for (const QString& decoy : decoys)
            builder.addQz(decoy, {1, 1, 1, 1, 1, 1, 1, 1});
        for (qsizetype i = 0; i < names.size(); ++i) {
            builder.addPlayer(QStringLiteral("Cats"), names[i]);
            builder.addQz(names[i], positionValues(int(i)));
        }
    }
    UpdateRun run(game.folder(), game.ui);
    run.selectSlot(QStringLiteral("default2009"));
    run.run();
    ASSERT_EQ(game.ui.messages.size(), 1u);
    ASSERT_EQ(game.ui.messages[0].text, QStringLiteral("Import Complete!"));

    const std::vector<PlayerRecord> players = playersOf(game, QStringLiteral("Cats"));
    ASSERT_EQ(players.size(), std::size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i].toStdString());
        const PlayerRecord& p = players[std::size_t(i)];
        // The game's files hold Windows-1252; letters it lacks become '?'.
        EXPECT_EQ(p.fullName, fromCp1252(toCp1252(names[i])));
        for (std::size_t c = 0; c < 8; ++c) {
            EXPECT_EQ(p.positionValuesA[c], static_cast<float>(positionValues(int(i))[c]));
            EXPECT_EQ(p.positionValuesB[c], p.positionValuesA[c]);
        }
    }
    EXPECT_EQ(players[7].fullName, QStringLiteral("?ukasz ?ó??"));

    const QString folder = game.slot() + QStringLiteral("/Cats/Cats");
    EXPECT_EQ(readAll(folder + QStringLiteral(".txt")), lines(names));
    EXPECT_EQ(readAll(folder + QStringLiteral("current22.txt")),
              lines(QStringList{"Cats Current Team"} + names));
    EXPECT_EQ(readAll(folder + QStringLiteral("Default.txt")),
              lines(QStringList{"Cats Default Team"} + names));

    SeasonDatabase db(game.dbPath());
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT COUNT(*) FROM qz")), names.size() + decoys.size());
}

// A team name with quotes, separators and wildcards that is still one safe folder name is
// used as it stands.
TEST(HostileNames, OddButSafeTeamNameIsItsOwnFolder) {
    const QString team = QStringLiteral("O'Brien's; --DROP 100%_ Ünited");
    TestGame game;
    writeSimpleDatabase(game.dbPath(), {{team, "Sam Jones"}, {"Bears", "Al Fox"}});
    UpdateRun run(game.folder(), game.ui);
    run.selectSlot(QStringLiteral("default2009"));
    run.run();
    ASSERT_EQ(game.ui.messages.size(), 1u);
    ASSERT_EQ(game.ui.messages[0].text, QStringLiteral("Import Complete!"));
    const std::vector<PlayerRecord> players = playersOf(game, team);
    ASSERT_EQ(players.size(), 1u);
    EXPECT_EQ(players[0].team, team);
    EXPECT_EQ(QDir(game.slot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{"Bears", team}));
}

// A team name that would lead out of the roster slot is refused before anything is written,
// whether it would land inside the program folder or beside it.
TEST(HostileNames, TeamNamesThatClimbOutAreRefused) {
    const QStringList teams = {
        QStringLiteral("../x"),
        QStringLiteral("a/b"),
        QStringLiteral("../../escaped"),
        QStringLiteral("../../../escaped"),
        QStringLiteral("..\\escaped"),
        QStringLiteral("/tmp"),
        QStringLiteral(".."),
    };
    for (const QString& team : teams) {
        SCOPED_TRACE(team.toStdString());
        TestGame game;
        writeSimpleDatabase(game.dbPath(), {{"Bears", "Al Fox"}, {team, "Sam Jones"}});
        const FolderTree before = snapshotTree(game.path());

        UpdateRun run(game.folder(), game.ui);
        run.selectSlot(QStringLiteral("default2009"));
        run.run();

        ASSERT_EQ(game.ui.messages.size(), 1u);
        EXPECT_EQ(game.ui.messages[0].title, QStringLiteral("Update Error"));
        EXPECT_TRUE(game.ui.messages[0].text.contains(QStringLiteral("Team \"%1\": ").arg(team)))
            << game.ui.messages[0].text.toStdString();
        EXPECT_EQ(snapshotTree(game.path()), before);
        EXPECT_FALSE(QFileInfo::exists(game.path() + QStringLiteral("/../escaped")));
    }
}
