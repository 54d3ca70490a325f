#include "run/patchbackup.h"

#include "core/patcherror.h"
#include "run/restorecommand.h"

#include "support/foldertree.h"
#include "support/ordinaryuser.h"
#include "support/testgame.h"
#include "tools/demo/demofolder.h"
#include <SQLiteCpp/Database.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace tolvane;

namespace {

struct Restored {
    int status;
    QString out;
    QString err;
};

Restored restore(const TestGame& game) {
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const int status = restorecommand::run(game.folder(), out, err);
    return {status, QString::fromUtf8(out.data()), QString::fromUtf8(err.data())};
}

void update(TestGame& game) {
    game.ui.answers = {RunUi::Ok};
    ASSERT_EQ(game.runUpdate(), QStringLiteral("Import Complete!"));
}

} // namespace

// The way back gives the game's folder exactly as it was before the last update, for a
// first update (no slot, no kept fixture) and for one over an earlier update; an update
// after it gives the same slot again; only the newest backup is kept.
TEST(Restore, GivesBackTheFolderAsItWasBeforeTheLastUpdate) {
    TestGame game;
    game.writeDemo(3, 4);
    const FolderTree pristine = snapshotTree(game.path());
    update(game);
    ASSERT_TRUE(QFileInfo(PatchBackup(game.folder()).keptFolder()).isDir());
    const FolderTree first = snapshotGame(game.path());

    // A second update over a changed season and fixture; its backup replaces the first's.
    {
        SQLite::Database db(game.dbPath().toStdString(), SQLite::OPEN_READWRITE);
        db.exec("INSERT INTO Ratings SELECT * FROM Ratings LIMIT 1");
        db.exec("UPDATE Ratings SET team = 'Newtown', Name = 'Jo Bell' WHERE rowid = "
                "(SELECT max(rowid) FROM Ratings)");
    }
    writeAll(game.folder().newFixture(), "the fixture of a later patch");
    const FolderTree beforeSecond = snapshotGame(game.path());
    update(game);
    EXPECT_NE(snapshotGame(game.path()), beforeSecond);

    Restored back = restore(game);
    EXPECT_EQ(back.status, restorecommand::kRestored) << back.err.toStdString();
    EXPECT_TRUE(back.out.contains(QDir::toNativeSeparators(QStringLiteral("lists/default2009"))))
        << back.out.toStdString();
    EXPECT_EQ(snapshotTree(game.path()), beforeSecond);

    // The first update's backup went with the second: nothing is left to restore.
    back = restore(game);
    EXPECT_EQ(back.status, restorecommand::kNothing);
    EXPECT_EQ(snapshotTree(game.path()), beforeSecond);

    // Back to the start: an update and its restore give the pristine folder.
    QFile::remove(game.dbPath());
    QDir(game.folder().listsFolder()).removeRecursively();
    QFile::remove(game.folder().keptFixture());
    for (const auto& [path, bytes] : pristine) {
        if (!path.endsWith(QLatin1Char('/')))
            writeAll(game.file(path), bytes);
        else
            QDir().mkpath(game.file(path));
    }
    ASSERT_EQ(snapshotTree(game.path()), pristine);
    update(game);
    EXPECT_EQ(snapshotGame(game.path()), first);
    EXPECT_EQ(restore(game).status, restorecommand::kRestored);
    EXPECT_EQ(snapshotTree(game.path()), pristine);
    update(game);
    EXPECT_EQ(snapshotGame(game.path()), first);
}

// What a run leaves in the backup folder when it is refused, or when --check and a restore
// with nothing to restore look at the folder: nothing.
TEST(Restore, NothingToRestoreLeavesNoTrace) {
    TestGame game;
    game.writeDemo(2, 3);
    const FolderTree before = snapshotTree(game.path());
    const Restored nothing = restore(game);
    EXPECT_EQ(nothing.status, restorecommand::kNothing);
    EXPECT_TRUE(nothing.out.isEmpty());
    EXPECT_EQ(snapshotTree(game.path()), before);

    game.ui.answers = {RunUi::Cancel};
    QDir().mkpath(game.slot());
    const FolderTree withSlot = snapshotTree(game.path());
    game.runUpdate();
    EXPECT_EQ(snapshotTree(game.path()), withSlot);
}

// A game's folder that refuses writes for want of rights (on Windows, a game under Program
// Files and a restore not started as administrator): the restore names it and says what to
// do before it changes anything; allowed, it restores.
TEST(Restore, ProtectedGameFolderIsNamedBeforeAnythingChanges) {
    TestGame game;
    game.writeDemo(2, 3);
    update(game);
    const FolderTree afterUpdate = snapshotTree(game.path());
    runAsOrdinaryUser(game.path(), [&] {
        ASSERT_TRUE(QFile::setPermissions(game.path(), QFile::ReadOwner | QFile::ExeOwner));
        const Restored refused = restore(game);
        QFile::setPermissions(game.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(refused.status, restorecommand::kFailed);
        EXPECT_TRUE(refused.err.contains(QDir::toNativeSeparators(game.path()) +
                                         QStringLiteral(": cannot restore: ")))
            << refused.err.toStdString();
        EXPECT_TRUE(refused.err.contains(QStringLiteral("\nNothing was changed. ")))
            << refused.err.toStdString();
        EXPECT_EQ(snapshotTree(game.path()), afterUpdate);
    });
    EXPECT_EQ(restore(game).status, restorecommand::kRestored);
}

// A work folder left by an update cut short is settled by the next start: here one that
// was being built, and one whose slot was put in place but not its fixture.
TEST(Settle, FinishesOrUndoesWhatWasCutShort) {
    TestGame game;
    game.writeDemo(2, 3);
    const FolderTree before = snapshotTree(game.path());
    const PatchBackup backup(game.folder());

    Swap building(game.folder(), backup.workFolder());
    building.begin(Swap::Operation::Update);
    QDir().mkpath(building.staged().at("lists/default2009/Cats"));
    writeAll(building.staged().at("lists/default2009/Cats/Cats_List.tvp"), "half");
    EXPECT_TRUE(PatchBackup(game.folder()).settle().contains("removed"));
    EXPECT_EQ(snapshotTree(game.path()), before);

    Swap swapping(game.folder(), backup.workFolder());
    swapping.begin(Swap::Operation::Update);
    QDir().mkpath(swapping.staged().slotFolder("default2009") + "/Cats");
    QDir().mkpath(swapping.staged().schedulesFolder());
    writeAll(swapping.staged().gameFixture(), "new fixture");
    QDir().mkpath(swapping.replaced().schedulesFolder());
    QFile::copy(game.folder().gameFixture(), swapping.replaced().gameFixture());
    // The fixture's rename fails: the first entry is in place, the second is not.
    QDir().mkpath(game.folder().gameFixture() + ".blocked");
    QFile::remove(swapping.staged().gameFixture());
    EXPECT_THROW(swapping.install({{Swap::Kind::Folder, "lists/default2009", true},
                                   {Swap::Kind::File, "data/schedules/schedule2008.dat", true}}),
                 PatchError);
    QDir().rmdir(game.folder().gameFixture() + ".blocked");
    // install() took its own part back; settling what it leaves changes nothing more.
    PatchBackup(game.folder()).settle();
    EXPECT_EQ(snapshotTree(game.path()), before);
}
