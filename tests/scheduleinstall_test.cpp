#include "schedule/scheduleinstall.h"

#include "core/patcherror.h"
#include "support/foldertree.h"
#include "support/testgame.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tolvane;

namespace {

struct ScheduleFixture : ::testing::Test {
    TestGame game;
    QString installed = game.file("data/schedules/schedule2008.dat");
    QString kept = game.file("data/schedules/schedule2008_actual.dat");
    QString fresh = game.file("schedule2009.dat");
};

} // namespace

TEST_F(ScheduleFixture, FirstRunKeepsTheGamesFixtureAndLaterRunsLeaveItAlone) {
    const QByteArray game2008 = readAll(installed);
    installSchedule(game.folder());
    EXPECT_EQ(readAll(kept), game2008);
    EXPECT_EQ(readAll(installed), readAll(fresh));

    writeAll(fresh, QByteArray(5000, '\x7f'));
    installSchedule(game.folder());
    EXPECT_EQ(readAll(kept), game2008);
    EXPECT_EQ(readAll(installed), QByteArray(5000, '\x7f'));
}

TEST_F(ScheduleFixture, KeptFixtureWithoutAnInstalledOneIsCompletedByTheCopy) {
    ASSERT_TRUE(QFile::rename(installed, kept));
    installSchedule(game.folder());
    EXPECT_EQ(readAll(installed), readAll(fresh));
}

TEST_F(ScheduleFixture, NeitherFixtureStopsNamingTheFileAndChangesNothing) {
    QFile::remove(installed);
    const FolderTree before = snapshotTree(game.path());
    try {
        installSchedule(game.folder());
        FAIL() << "expected a PatchError";
    } catch (const PatchError& e) {
        EXPECT_EQ(e.target(), installed);
    }
    EXPECT_EQ(snapshotTree(game.path()), before);
}

TEST_F(ScheduleFixture, FailedCopyKeepsTheGamesFixture) {
    const QByteArray game2008 = readAll(installed);
    QFile::remove(fresh);
    EXPECT_THROW(installSchedule(game.folder()), PatchError);
    // The game's fixture survives under one of its two names.
    EXPECT_EQ(readAll(kept), game2008);
}
