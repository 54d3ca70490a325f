#include "run/updaterun.h"

#include "records/playerrecord.h"
#include "records/recordcodec.h"
#include "support/foldertree.h"
#include "support/testgame.h"
#include "tools/demo/demofolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <set>

using namespace tolvane;

namespace {

void runUpdate(TestGame& game, std::deque<RunUi::Answer> answers = {}) {
    game.ui.messages.clear();
    game.ui.answers = std::move(answers);
    UpdateRun run(game.folder(), game.ui);
    run.selectSlot("default2009");
    run.run();
    ASSERT_FALSE(game.ui.messages.empty());
    ASSERT_EQ(game.ui.messages.back().text, "Import Complete!");
}

// Every column of one player, so that the test can spell out his record.
QVariantMap samsRow() {
    return {{"Height", 183.5},
            {"Weight", 80},
            {"DOB", "1990-03-15"},
            {"preferred pos", "C"},
            {"secondary pos", "HBF"},
            {"third pos", ""},
            {"key pos", 1},
            {"crumbs", 44},
            {"Long Kick", 60},
            {"Short Kick", 70},
            {"kickMax", 55.5},
            {"mark contest", 30},
            {"mark uncontest", 31},
            {"HBall", 99},
            {"tack", 100},
            {"Strength", 50},
            {"Speed", 75},
            {"Agility", 88},
            {"Health", 93},
            {"ho", 0},
            {"goal acc grnd", 62},
            {"goal acc mark", 38},
            {"freeKickTend", 45},
            {"discipline", 81},
            {"Inj Tend", 3},
            {"Rep Tend", 4.25},
            {"Def Grnd", 59},
            {"Def Air", 60},
            {"Def One", 99},
            {"short kick per", 30},
            {"long kick per", 20},
            {"hball per", 25},
            {"run per", 25},
            {"healthLimit", 0.85},
            {"clearance", 65},
            {"goalSense", 12},
            {"leadership", 70},
            {"overall", 1},
            {"playerType", 4},
            {"Potential", 77.5},
            {"lineupType", "Mid"},
            {"contract", 3},
            {"Salary", 125000.25},
            {"PendingContract", 2},
            {"pendingSalary", 130000},
            {"Debut", 2008},
            {"State", "Vic"},
            {"Town", "Geelong"},
            {"pno", 23},
            {"impr_r", 0},
            {"impr_bf", 1},
            {"impr_b", 5},
            {"impr_c", 10},
            {"impr_f", 11},
            {"impr_ff", -1},
            {"impr_k", 7},
            {"impr_nk", 3}};
}

// Sam's record as the game must see it, worked out by hand from samsRow().
PlayerRecord samsRecord() {
    PlayerRecord r;
    r.firstName = "Sam";
    r.lastName = "Jones";
    r.team = "Cats";
    r.height = 184;
    r.weight = 80;
    r.dateOfBirth = 32947.0;
    r.preferredPos = "C";
    r.secondaryPos = "HBF";
    r.keyPos = -1;
    r.crumbs = 3.29f;
    r.longKick = 3.50f;
    r.shortKick = 3.64f;
    r.kickMax = 55.5f;
    r.markContested = 3.00f;
    r.markUncontested = 3.05f;
    r.handball = 4.01f;
    r.tackling = 4.01f;
    r.strength = 3.38f;
    r.speed = 3.72f;
    r.agility = 3.90f;
    r.health = 0.0144f;
    r.hitOuts = 3.00f;
    r.goalAccuracyGround = 3.52f;
    r.goalAccuracyMark = 48.0f;
    r.freeKickTendency = 3.30f;
    r.discipline = 3.81f;
    r.injuryTendency = 3;
    r.reputationTendency = 4.25f;
    r.defenceGround = 1.00f;
    r.defenceAir = 0.99f;
    r.defenceOne = 0.75f;
    r.shortKickPercent = 30;
    r.longKickPercent = 20;
    r.handballPercent = 25;
    r.runPercent = 25;
    r.healthLimit = 0.85;
    // 1331 overall points give the rating 67.
    r.overall = 6.7f;
    r.preset209 = 50.0;
    r.preset311 = 50;
    r.fullName = "Sam Jones";
    r.shortKickFactor = 0.67f;
    r.longKickFactor = 0.55f;
    r.leadership = 70;
    r.playerType = 4;
    r.potential = 77.5;
    r.lineupType = "Mid";
    r.contract = 3;
    r.salary = 125000.25;
    r.pendingContract = 2;
    r.pendingSalary = 130000;
    r.recentGames = {"DNP", "DNP", "DNP"};
    r.clearance = 3.56f;
    r.goalSense = 12;
    r.debut = 2008;
    r.state = "Vic";
    r.town = "Geelong";
    r.playerNumber = 23;
    r.subListA = std::vector<SubEntryA>(1);
    r.subListB = std::vector<SubEntryB>(1);
    r.preset489 = -1;
    r.preset645 = 3;
    r.improveR = -0.5;
    r.improveBf = -0.4;
    r.improveB = 0;
    r.improveC = 0.5;
    r.improveF = 0;
    r.improveFf = 0;
    r.improveK = 0.2;
    r.improveNk = -0.2;
    r.typeProfileA = {30, 40, 50, 70, 55, 15, 40, 60, 80, 75,
                      10, 30, 70, 85, 80, 5,  20, 50, 90, 85};
    r.typeProfileB = r.typeProfileA;
    r.positionValuesA = {80, 81, 82, 83, 84, 85, 86, 87.5};
    r.positionValuesB = r.positionValuesA;
    return r;
}

FolderTree withoutSeasonDatabase(FolderTree tree) {
    tree.erase("seasonStats.mdb");
    return tree;
}

} // namespace

// A small season whose every output file is written out in full below.
TEST(EndToEnd, RunLeavesExactlyTheExpectedTree) {
    TestGame game;
    {
        demo::SeasonBuilder b(game.dbPath());
        b.addPlayer("North Side", "Zoë O'Neil");
        b.addPlayer("Cats", "Sam Jones", samsRow());
        b.addPlayer("North Side", "Al Fox");
        b.addQz("Sam Jones", {80, 81, 82, 83, 84, 85, 86, 87.5});
    }
    const QByteArray seasonBefore = readAll(game.dbPath());
    const QByteArray fixture2008 = readAll(game.file("data/schedules/schedule2008.dat"));
    runUpdate(game);

    const FolderTree tree = snapshotGame(game.path());
    std::set<QString> paths;
    for (const auto& [path, data] : tree)
        paths.insert(path);
    const std::set<QString> expected = {
        "data/",
        "data/schedules/",
        "data/schedules/schedule2008.dat",
        "data/schedules/schedule2008_actual.dat",
        "lists/",
        "lists/default2009/",
        "lists/default2009/seasonStats.mdb",
        "lists/default2009/Cats/",
        "lists/default2009/Cats/Cats_List.tvp",
        "lists/default2009/Cats/Cats.txt",
        "lists/default2009/Cats/Catschanges.txt",
        "lists/default2009/Cats/CatsDefault.txt",
        "lists/default2009/Cats/Catscurrent22.txt",
        "lists/default2009/North Side/",
        "lists/default2009/North Side/North Side_List.tvp",
        "lists/default2009/North Side/North Side.txt",
        "lists/default2009/North Side/North Sidechanges.txt",
        "lists/default2009/North Side/North SideDefault.txt",
        "lists/default2009/North Side/North Sidecurrent22.txt",
        "schedule2009.dat",
        "seasonStats.mdb",
    };
    EXPECT_EQ(paths, expected);

    const QString slot = "lists/default2009/";
    EXPECT_EQ(tree.at(slot + "seasonStats.mdb"), seasonBefore);
    EXPECT_EQ(tree.at("data/schedules/schedule2008_actual.dat"), fixture2008);
    EXPECT_EQ(tree.at("data/schedules/schedule2008.dat"), tree.at("schedule2009.dat"));
    EXPECT_EQ(tree.at(slot + "Cats/Cats.txt"), "Sam Jones\r\n");
    EXPECT_EQ(tree.at(slot + "Cats/Catschanges.txt"),
              "Cats Changes to Team for current round\r\nIN\r\nOUT\r\n");
    EXPECT_EQ(tree.at(slot + "Cats/CatsDefault.txt"), "Cats Default Team\r\nSam Jones\r\n");
    EXPECT_EQ(tree.at(slot + "Cats/Catscurrent22.txt"), "Cats Current Team\r\nSam Jones\r\n");
    EXPECT_EQ(tree.at(slot + "North Side/North Side.txt"), "Zo\xEB O'Neil\r\nAl Fox\r\n");
    EXPECT_EQ(tree.at(slot + "North Side/North SideDefault.txt"),
              "North Side Default Team\r\nZo\xEB O'Neil\r\nAl Fox\r\n");
    EXPECT_EQ(tree.at(slot + "North Side/North Sidecurrent22.txt"),
              "North Side Current Team\r\nZo\xEB O'Neil\r\nAl Fox\r\n");

    const auto cats = recordcodec::parseTeamList(tree.at(slot + "Cats/Cats_List.tvp"));
    ASSERT_EQ(cats.size(), 2u);
    EXPECT_EQ(cats[1], samsRecord());
    // The whole file: header, the blank record and Sam, byte for byte.
    QByteArray expectedFile = recordcodec::teamListHeader(2);
    recordcodec::serialiseRecord(expectedFile, recordcodec::blankRecord());
    recordcodec::serialiseRecord(expectedFile, samsRecord());
    EXPECT_EQ(tree.at(slot + "Cats/Cats_List.tvp"), expectedFile);
    EXPECT_EQ(expectedFile.size(), 10 + 621 + 681 + 47);
}

TEST(EndToEnd, SecondRunIntoTheSameSlotGivesTheSameFiles) {
    TestGame game;
    game.writeDemo(5, 9);
    runUpdate(game);
    const FolderTree first = withoutSeasonDatabase(snapshotGame(game.path()));
    runUpdate(game, {RunUi::Ok});
    EXPECT_EQ(game.ui.messages.front().title, "Roster Slot Import");
    EXPECT_EQ(withoutSeasonDatabase(snapshotGame(game.path())), first);
}
