#include "teamsheets/teamsheets.h"

#include "core/fileops.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "db/seasondatabase.h"
#include "support/foldertree.h"
#include "support/testgame.h"
#include "tools/demo/demofolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

using namespace tolvane;

namespace {

struct SlotFixture : ::testing::Test {
    QTemporaryDir dir;
    QString slot = dir.path();

    void mkdir(const QString& relative) { QDir(slot).mkpath(relative); }
    void file(const QString& relative, const QByteArray& data = "x") {
        writeAll(slot + "/" + relative, data);
    }
    QByteArray sheet(const QString& team, const char* suffix) {
        return readAll(gamepaths::teamFile(slot, team, QLatin1String(suffix)));
    }
    // What a run makes of the slot's folders and sheets, without the lineups: the slot is
    // built anew beside the old one from what it keeps, and takes its place.
    void reset(const QStringList& teams, const std::vector<teamsheets::LineupEntry>& lineup = {}) {
        const QString rebuilt = slot + ".new";
        fileops::createFolder(rebuilt);
        teamsheets::carryOver(slot, rebuilt, teams);
        for (const QString& team : teams) {
            if (!fileops::entryExists(gamepaths::teamFolder(rebuilt, team)))
                fileops::createFolder(gamepaths::teamFolder(rebuilt, team));
        }
        teamsheets::writeTeamSheets(rebuilt, teams, lineup);
        fileops::removeTree(slot);
        fileops::renameFile(rebuilt, slot);
    }
};

} // namespace

TEST_F(SlotFixture, SweepKeepsTeamAndCoachFoldersAndRemovesStrayOnes) {
    for (const char* folder : {"Cats", "North Side", "coach2", "Gone"})
        mkdir(folder);
    // The coach folders go by their exact names; a file system that ignores letter case
    // (Windows) holds only one of these at a time.
    const bool ignoresCase = QFileInfo::exists(slot + "/CATS");
    const QStringList coaches =
        ignoresCase ? QStringList{"Coach"} : QStringList{"coach", "Coach", "COACH"};
    for (const QString& coach : coaches) {
        mkdir(coach);
        file(coach + "/plan.txt");
    }
    file("Cats/Cats_List.tvp");
    file("Cats/notes.doc");
    file("Gone/Gone_List.tvp");
    file("Gone/Gone.txt");
    file("seasonStats.mdb");
    file("readme.txt");

    reset({"Cats", "North Side"});

    std::set<QString> paths;
    for (const auto& [path, data] : snapshotTree(slot))
        paths.insert(path);
    // The team list is the run's to write.
    std::set<QString> expected = {"Cats/",
                                  "Cats/notes.doc",
                                  "Cats/Catschanges.txt",
                                  "Cats/CatsDefault.txt",
                                  "Cats/Catscurrent22.txt",
                                  "North Side/",
                                  "North Side/North Sidechanges.txt",
                                  "North Side/North SideDefault.txt",
                                  "North Side/North Sidecurrent22.txt",
                                  "Coach/",
                                  "Coach/plan.txt",
                                  "seasonStats.mdb",
                                  "readme.txt"};
    if (!ignoresCase)
        expected.insert({"coach/", "coach/plan.txt"});
    EXPECT_EQ(paths, expected);
}

TEST_F(SlotFixture, SheetsStartAfreshWithTheirHeaderLines) {
    mkdir("North Side");
    file("North Side/North Side.txt", "old names\r\n");
    file("North Side/North Sidechanges.txt", "old\r\nIN\r\nOUT\r\nx\r\n");
    file("North Side/North SideDefault.txt", "old\r\n");
    file("North Side/North Sidecurrent22.txt", "old\r\n");
    // A slot without stray folders: the sweep has nothing to do.
    reset({"North Side"});
    EXPECT_FALSE(
        QFile::exists(gamepaths::teamFile(slot, "North Side", gamepaths::kNameListSuffix)));
    EXPECT_EQ(sheet("North Side", "changes.txt"),
              "North Side Changes to Team for current round\r\nIN\r\nOUT\r\n");
    EXPECT_EQ(sheet("North Side", "Default.txt"), "North Side Default Team\r\n");
    EXPECT_EQ(sheet("North Side", "current22.txt"), "North Side Current Team\r\n");

    const FolderTree once = snapshotTree(slot);
    reset({"North Side"});
    EXPECT_EQ(snapshotTree(slot), once);
}

// The check stops a run over a folder that belongs to no team and holds more than files:
// the run would leave it behind with the slot it replaces.
TEST_F(SlotFixture, StrayFolderWithSubfoldersIsNamedAndLeftBehindWhole) {
    mkdir("Gone/deeper");
    file("Gone/Gone_List.tvp");
    const QStringList stray = teamsheets::strayFolders(slot, {"Cats"});
    ASSERT_EQ(stray.size(), 1);
    EXPECT_TRUE(stray.front().endsWith("/Gone"));
    EXPECT_FALSE(teamsheets::strayFolderProblem(stray.front()).isEmpty());

    const FolderTree before = snapshotTree(slot);
    const QTemporaryDir other;
    const QString rebuilt = other.filePath("rebuilt");
    fileops::createFolder(rebuilt);
    teamsheets::carryOver(slot, rebuilt, {"Cats"});
    EXPECT_TRUE(snapshotTree(rebuilt).empty());
    EXPECT_EQ(snapshotTree(slot), before);
}

// On a file system that ignores letter case (Windows), the folder "cats" is the folder of
// team "Cats"; on Linux a link stands in for that resolution.
// The new slot's folder then takes the team's own spelling; a link never carries the run's
// writes out of the slot.
TEST_F(SlotFixture, FolderThatIsTheTeamFolderOnDiskIsKept) {
    mkdir("cats");
    file("cats/notes.txt", "notes");
#ifdef Q_OS_WIN
    ASSERT_TRUE(QFileInfo(slot + "/Cats").isDir());
#else
    ASSERT_TRUE(QFile::link(slot + "/cats", slot + "/Cats"));
#endif
    reset({"Cats"});
    EXPECT_FALSE(QFileInfo(slot + "/Cats").isSymLink());
    EXPECT_EQ(readAll(slot + "/Cats/notes.txt"), "notes");
    EXPECT_EQ(readAll(slot + "/Cats/CatsDefault.txt"), "Cats Default Team\r\n");
    EXPECT_TRUE(QDir(slot).entryList(QDir::AllDirs | QDir::NoDotAndDotDot).contains("Cats"));
}

// What stands where a sheet or list goes is never carried into the new slot, whatever it is.
TEST_F(SlotFixture, WhatStandsWhereTheRunWritesStaysBehind) {
    mkdir("Cats/Catschanges.txt");
    file("Cats/Cats_List.tvp", "old list");
    file("Cats/photo.png", "kept");
    reset({"Cats"});
    EXPECT_EQ(sheet("Cats", "changes.txt"),
              "Cats Changes to Team for current round\r\nIN\r\nOUT\r\n");
    EXPECT_FALSE(QFile::exists(slot + "/Cats/Cats_List.tvp"));
    EXPECT_EQ(readAll(slot + "/Cats/photo.png"), "kept");
}

TEST(LineupLists, NamesLandInTheirTeamsFilesInTableOrder) {
    TestGame game;
    {
        demo::SeasonBuilder builder(game.dbPath());
        builder.addPlayer("Cats", "Sam Jones");
        builder.addPlayer("Dogs", "Al Fox");
        builder.addPlayer("Cats", "");
        builder.addPlayer("Cats", "Zoë Renée");
        builder.addPlayer("Dogs", QString(), {{"Name", QVariant()}});
    }
    QDir().mkpath(game.slot() + "/Cats");
    QDir().mkpath(game.slot() + "/Dogs");
    SeasonDatabase db(game.dbPath());
    teamsheets::writeTeamSheets(game.slot(), {"Cats", "Dogs"}, teamsheets::readLineup(db));

    const QString cats = game.slot() + "/Cats/Cats";
    EXPECT_EQ(readAll(cats + ".txt"), "Sam Jones\r\n\r\nZo\xEB Ren\xE9"
                                      "e\r\n");
    EXPECT_EQ(readAll(cats + "current22.txt"),
              "Cats Current Team\r\nSam Jones\r\n\r\nZo\xEB Ren\xE9"
              "e\r\n");
    EXPECT_EQ(readAll(cats + "Default.txt"), "Cats Default Team\r\nSam Jones\r\n\r\nZo\xEB Ren\xE9"
                                             "e\r\n");
    // The name on disk, letter case included, whether or not the file system heeds it.
    EXPECT_TRUE(QDir(game.slot() + "/Cats").entryList(QDir::Files).contains("CatsDefault.txt"));
    EXPECT_EQ(readAll(game.slot() + "/Dogs/Dogs.txt"), "Al Fox\r\nNull\r\n");
}
