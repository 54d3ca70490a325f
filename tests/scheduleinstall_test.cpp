#include "schedule/scheduleinstall.h"

#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "run/swap.h"
#include "support/foldertree.h"
#include "support/testgame.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tolvane;

namespace {

// Installs the new fixture as an update does: staged, then put in place.
void installFixture(const GameFolder& game) {
    Swap swap(game, game.at("work"));
    swap.begin(Swap::Operation::Update);
    try {
        const FixtureInstall install = stageFixtureInstall(game, swap.staged(), swap.replaced());
        std::vector<Swap::Entry> entries{{Swap::Kind::File, gamepaths::kGameFixture, true}};
        if (install.keepsGameFixture)
            entries.push_back({Swap::Kind::File, gamepaths::kKeptFixturePath, true});
        swap.install(entries);
    } catch (...) {
        swap.discard();
        throw;
    }
    swap.discard();
}

struct ScheduleFixture : ::testing::Test {
    TestGame game;
    QString installed = game.file("data/schedules/schedule2008.dat");
    QString kept = game.file("data/schedules/schedule2008_actual.dat");
    QString fresh = game.file("schedule2009.dat");
};

} // namespace

TEST_F(ScheduleFixture, FirstRunKeepsTheGamesFixtureAndLaterRunsLeaveItAlone) {
    const QByteArray game2008 = readAll(installed);
    installFixture(game.folder());
    EXPECT_EQ(readAll(kept), game2008);
    EXPECT_EQ(readAll(installed), readAll(fresh));

    writeAll(fresh, QByteArray(5000, '\x7f'));
    installFixture(game.folder());
    EXPECT_EQ(readAll(kept), game2008);
    EXPECT_EQ(readAll(installed), QByteArray(5000, '\x7f'));
}

TEST_F(ScheduleFixture, KeptFixtureWithoutAnInstalledOneIsCompletedByTheCopy) {
    ASSERT_TRUE(QFile::rename(installed, kept));
    installFixture(game.folder());
    EXPECT_EQ(readAll(installed), readAll(fresh));
}

TEST_F(ScheduleFixture, NeitherFixtureStopsNamingTheFileAndChangesNothing) {
    QFile::remove(installed);
    const FolderTree before = snapshotTree(game.path());
    try {
        installFixture(game.folder());
        FAIL() << "expected a PatchError";
    } catch (const PatchError& e) {
        EXPECT_EQ(e.target(), installed);
    }
    EXPECT_EQ(snapshotTree(game.path()), before);
}

TEST_F(ScheduleFixture, FailedCopyKeepsTheGamesFixture) {
    const QByteArray game2008 = readAll(installed);
    QFile::remove(fresh);
    const FolderTree before = snapshotTree(game.path());
    EXPECT_THROW(installFixture(game.folder()), PatchError);
    EXPECT_EQ(snapshotTree(game.path()), before);
    EXPECT_EQ(readAll(installed), game2008);
}
