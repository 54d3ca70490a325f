#include "conversion/playermapping.h"

#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"
#include "run/updaterun.h"
#include "support/foldertree.h"
#include "support/testgame.h"
#include "tools/demo/demofolder.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tolvane;

namespace {

struct MappingFixture : ::testing::Test {
    TestGame game;
    std::unique_ptr<demo::SeasonBuilder> builder =
        std::make_unique<demo::SeasonBuilder>(game.dbPath());

    // Runs the update and returns the players of team's list (the blank record dropped).
    std::vector<PlayerRecord> runAndRead(const QString& team) {
        builder.reset();
        UpdateRun run(game.folder(), game.ui);
        run.selectSlot(QStringLiteral("default2009"));
        run.run();
        EXPECT_EQ(game.ui.messages.back().text, QStringLiteral("Import Complete!"));
        const QByteArray bytes = readAll(game.slot() + "/" + team + "/" + team + "_List.tvp");
        std::vector<PlayerRecord> records = recordcodec::parseTeamList(bytes);
        EXPECT_FALSE(records.empty());
        if (!records.empty())
            records.erase(records.begin());
        return records;
    }
};

} // namespace

TEST_F(MappingFixture, ConvertsIdentityBodyAndSkills) {
    builder->addPlayer("Cats", "Ann Lee Smith",
                       {{"Height", 180.5},
                        {"Weight", 181.5},
                        {"Inj Tend", 2.5},
                        {"DOB", "1980-01-01"},
                        {"key pos", 2},
                        {"crumbs", 30},
                        {"goal acc mark", 2},
                        {"Def Grnd", 60},
                        {"Health", 70},
                        {"Short Kick", 35},
                        {"Long Kick", 35},
                        {"Salary", 1234.5},
                        {"State", "Vic"},
                        {"Town", QVariant()},
                        {"impr_c", 7},
                        {"playerType", 3}});
    const auto players = runAndRead("Cats");
    ASSERT_EQ(players.size(), 1u);
    const PlayerRecord& r = players[0];
    EXPECT_EQ(r.firstName, "Ann");
    EXPECT_EQ(r.lastName, "Lee Smith");
    EXPECT_EQ(r.fullName, "Ann Lee Smith");
    EXPECT_EQ(r.team, "Cats");
    EXPECT_EQ(r.height, 180);
    EXPECT_EQ(r.weight, 182);
    EXPECT_EQ(r.injuryTendency, 2);
    EXPECT_EQ(r.dateOfBirth, 29221.0);
    EXPECT_EQ(r.keyPos, -1);
    EXPECT_EQ(r.crumbs, 3.00f);
    EXPECT_EQ(r.goalAccuracyMark, 12.0f);
    EXPECT_EQ(r.defenceGround, 0.99f);
    EXPECT_EQ(r.health, 0.0125f);
    // 35 gives the stored kick 3.19, which lies above the threshold 3.19.
    EXPECT_EQ(r.shortKick, 3.19f);
    EXPECT_EQ(r.shortKickFactor, 0.55f);
    EXPECT_EQ(r.longKickFactor, 0.51f);
    EXPECT_EQ(r.salary, 1234.5);
    EXPECT_EQ(r.state, "Vic");
    EXPECT_EQ(r.town, "");
    EXPECT_EQ(r.improveC, 0.2);
    EXPECT_EQ(r.recentGames, (std::array<QString, 3>{"DNP", "DNP", "DNP"}));
    EXPECT_EQ(r.preset209, 50.0);
    EXPECT_EQ(r.preset311, 50);
    EXPECT_EQ(r.preset489, -1);
    EXPECT_EQ(r.preset645, 3);
    EXPECT_EQ(r.subListA, std::vector<SubEntryA>(1));
    EXPECT_EQ(r.subListB, std::vector<SubEntryB>(1));
    EXPECT_EQ(r.typeProfileA[0], 95);
    EXPECT_EQ(r.typeProfileB, r.typeProfileA);
}

TEST_F(MappingFixture, OverallPointsAreSummedAndWrittenBack) {
    builder->addPlayer("Cats", "A Fifty", allRatings(50)); // 1100 points
    QVariantMap half = allRatings(50);
    half["leadership"] = 50.5; // 1100.5 -> 1100
    builder->addPlayer("Cats", "B Half", half);
    QVariantMap upper = allRatings(50);
    upper["leadership"] = 51.5; // 1101.5 -> 1102
    builder->addPlayer("Cats", "C Upper", upper);
    QVariantMap nulls = allRatings(50);
    nulls["crumbs"] = QVariant(); // 1050 -> 20
    builder->addPlayer("Cats", "D Null", nulls);
    const auto players = runAndRead("Cats");
    ASSERT_EQ(players.size(), 4u);
    // 1100 points give rating 24, stored as tenths; 1102 likewise lies in (1095, 1110].
    EXPECT_EQ(players[0].overall, 2.4f);
    EXPECT_EQ(players[1].overall, 2.4f);
    EXPECT_EQ(players[2].overall, 2.4f);
    EXPECT_EQ(players[3].overall, 2.0f);
    EXPECT_EQ(players[3].crumbs, 0.0f);

    SeasonDatabase db(game.dbPath());
    Recordset rows(db, "SELECT overall FROM Ratings ORDER BY rowid");
    std::vector<qlonglong> overall;
    for (; !rows.eof(); rows.moveNext())
        overall.push_back(rows.value(0).toLongLong());
    EXPECT_EQ(overall, (std::vector<qlonglong>{24, 24, 24, 20}));
}

TEST_F(MappingFixture, PositionValuesComeFromTheFirstQzRowOfTheName) {
    builder->addPlayer("Cats", "Pat O'Brien");
    builder->addPlayer("Cats", "No Row");
    builder->addPlayer("Cats", "Two Rows");
    builder->addQz("Pat O'Brien", {1, 2, 3, 4, 5, 6, 7, 8});
    builder->addQz("Two Rows", {9, 9, 9, 9, 9, 9, 9, 9.5});
    builder->addQz("Two Rows", {1, 1, 1, 1, 1, 1, 1, 1});
    builder->addQz("No Row ", {1, 1, 1, 1, 1, 1, 1, 1});
    const auto players = runAndRead("Cats");
    ASSERT_EQ(players.size(), 3u);
    EXPECT_EQ(players[0].positionValuesA, (std::array<float, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(players[0].positionValuesB, players[0].positionValuesA);
    std::array<float, 8> hundred;
    hundred.fill(100.0f);
    EXPECT_EQ(players[1].positionValuesA, hundred);
    EXPECT_EQ(players[1].positionValuesB, hundred);
    EXPECT_EQ(players[2].positionValuesA[7], 9.5f);
}

TEST_F(MappingFixture, ProfilesCarryOverForOtherPlayerTypes) {
    builder->addPlayer("A", "First Zero", {{"playerType", 0}});
    builder->addPlayer("B", "Type Three", {{"playerType", 3}});
    builder->addPlayer("B", "After Three", {{"playerType", 0}});
    builder->addPlayer("B", "Type Nine", {{"playerType", 9}});
    const auto first = runAndRead("A");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].typeProfileA, (std::array<std::int16_t, 20>{}));
    EXPECT_EQ(first[0].typeProfileB, (std::array<std::int16_t, 20>{}));
    const auto b = recordcodec::parseTeamList(readAll(game.slot() + "/B/B_List.tvp"));
    ASSERT_EQ(b.size(), 4u);
    EXPECT_EQ(b[2].typeProfileA, b[1].typeProfileA);
    EXPECT_EQ(b[3].typeProfileB, b[1].typeProfileB);
    EXPECT_EQ(b[1].typeProfileA[4], 4);
}

TEST_F(MappingFixture, UnconvertibleValueStopsTheRunNamingPlayerAndColumn) {
    builder->addPlayer("Cats", "Sam Jones");
    builder->addPlayer("Cats", "Bad Height", {{"Height", "tall"}});
    builder.reset();
    UpdateRun run(game.folder(), game.ui);
    run.selectSlot("default2009");
    run.run();
    ASSERT_EQ(game.ui.messages.size(), 1u);
    const QString text = game.ui.messages[0].text;
    EXPECT_EQ(game.ui.messages[0].title, "Update Error");
    EXPECT_TRUE(text.contains("Bad Height")) << text.toStdString();
    EXPECT_TRUE(text.contains("Cats"));
    EXPECT_TRUE(text.contains("Height"));
    // Found before anything was written.
    EXPECT_FALSE(QFile::exists(game.slot()));
}

// Over a generated season every stored record is the mapping of its row, in row order,
// and the database carries the new overall ratings while the slot keeps the old ones.
TEST(WholeRun, EveryStoredRecordIsTheMappingOfItsRow) {
    TestGame game;
    game.writeDemo(4, 12);
    const QByteArray original = readAll(game.dbPath());
    UpdateRun run(game.folder(), game.ui);
    run.selectSlot("default2009");
    run.run();
    ASSERT_EQ(game.ui.messages.back().text, "Import Complete!");
    EXPECT_EQ(readAll(game.slot() + "/seasonStats.mdb"), original);

    // Recompute from a copy of the original database, in the player pass's order.
    const QString copy = game.file("original.mdb");
    ASSERT_TRUE(QFile::copy(game.slot() + "/seasonStats.mdb", copy));
    SeasonDatabase db(copy);
    Recordset rows(db, "SELECT rowid, * From Ratings order by team, rowid");
    PlayerMapper mapper(db, rows);
    PlayerRecord working;
    std::map<QString, std::vector<PlayerRecord>> expected;
    for (; !rows.eof(); rows.moveNext()) {
        mapper.map(rows, working);
        expected[working.team].push_back(working);
    }
    ASSERT_EQ(expected.size(), 4u);
    for (const auto& [team, players] : expected) {
        auto stored = recordcodec::parseTeamList(
            readAll(game.slot() + "/" + team + "/" + team + "_List.tvp"));
        ASSERT_EQ(stored.size(), players.size() + 1) << team.toStdString();
        EXPECT_EQ(stored[0], recordcodec::blankRecord());
        for (std::size_t i = 0; i < players.size(); ++i)
            EXPECT_EQ(stored[i + 1], players[i]) << team.toStdString() << " player " << i;
    }

    SeasonDatabase updated(game.dbPath());
    Recordset overall(updated, "SELECT overall FROM Ratings");
    int count = 0;
    for (; !overall.eof(); overall.moveNext(), ++count) {
        const qlonglong value = overall.value(0).toLongLong();
        EXPECT_GE(value, 10);
        EXPECT_LE(value, 99);
    }
    EXPECT_EQ(count, 48);
}
