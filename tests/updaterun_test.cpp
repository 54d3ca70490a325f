#include "run/updaterun.h"

#include "core/fileops.h"
#include "run/findings.h"

#include "conversion/playermapping.h"
#include "db/recordset.h"
#include "db/seasondatabase.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"
#include "support/foldertree.h"
#include "support/testgame.h"
#include "tools/demo/demofolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolvane;

namespace {

const QString kAsk = QStringLiteral("Roster Slot Import");

struct RunFixture : ::testing::Test {
    TestGame game;
    UpdateRun run{game.folder(), game.ui};

    void SetUp() override { run.selectSlot(QStringLiteral("default2009")); }
};

QStringList subfolders(const QString& path) {
    return QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

TEST_F(RunFixture, MissingInputsGiveOneMessageNamingTheProgramFolder) {
    run.run();
    ASSERT_EQ(game.ui.messages.size(), 1u);
    // Neither file: only the database is reported.
    QFile::remove(game.file(QStringLiteral("schedule2009.dat")));
    game.ui.messages.clear();
    run.run();
    ASSERT_EQ(game.ui.messages.size(), 1u);
    EXPECT_EQ(game.ui.messages[0].text,
              QStringLiteral("Could not find file seasonStats.mdb. Make sure it has been copied "
                             "to ") +
                  QDir::toNativeSeparators(game.path()));
    EXPECT_EQ(game.ui.messages[0].title, QStringLiteral("File Not Found"));
    EXPECT_EQ(game.ui.messages[0].style, MessageStyle{MessageIcon::Warning});

    writeSimpleDatabase(game.dbPath(), {{"Cats", "Sam Jones"}});
    const FolderTree before = snapshotTree(game.path());
    game.ui.messages.clear();
    run.run();
    ASSERT_EQ(game.ui.messages.size(), 1u);
    EXPECT_EQ(game.ui.messages[0].text,
              QStringLiteral("Could not find file schedule2009.dat. Make sure it has been copied "
                             "to ") +
                  QDir::toNativeSeparators(game.path()));
    EXPECT_EQ(snapshotTree(game.path()), before);
}

TEST_F(RunFixture, NewSlotGetsDatabaseCopyAndOneFolderPerTeam) {
    writeSimpleDatabase(game.dbPath(), {{"Cats", "Sam Jones"},
                                        {"North Side", "Ann Lee Smith"},
                                        {"Cats", "Jo Bell"},
                                        {"Rivertown", "Al Fox"}});
    const QByteArray original = readAll(game.dbPath());
    run.run();
    EXPECT_EQ(game.ui.titles(), QStringList{QString()});
    EXPECT_EQ(readAll(game.slot() + QStringLiteral("/seasonStats.mdb")), original);
    EXPECT_EQ(subfolders(game.slot()), (QStringList{"Cats", "North Side", "Rivertown"}));
    EXPECT_EQ(run.teamNames(), (QStringList{"Cats", "North Side", "Rivertown"}));
}

TEST_F(RunFixture, ExistingSlotAsksAndCancelChangesNothing) {
    writeSimpleDatabase(game.dbPath(), {{"Cats", "Sam Jones"}});
    QDir().mkpath(game.slot());
    const FolderTree before = snapshotTree(game.path());
    game.ui.answers = {RunUi::Cancel};
    run.run();
    ASSERT_EQ(game.ui.messages.size(), 1u);
    EXPECT_EQ(game.ui.messages[0].title, kAsk);
    EXPECT_EQ(game.ui.messages[0].style,
              (MessageStyle{MessageIcon::None, MessageButtons::OkCancel}));
    EXPECT_EQ(game.ui.messages[0].text,
              QStringLiteral("This will replace your existing player data files with new ones "
                             "based on the SeasonStats.mdb database. Do you wish to continue?"));
    EXPECT_EQ(snapshotTree(game.path()), before);
}

TEST_F(RunFixture, FileNamedLikeTheSlotIsAnExistingSlotThatCannotBeUsed) {
    writeSimpleDatabase(game.dbPath(), {{"Cats", "Sam Jones"}});
    writeAll(game.slot(), "not a folder");
    game.ui.answers = {RunUi::Cancel};
    {
        SeasonDatabase db(game.dbPath());
        EXPECT_FALSE(run.prepareSlot(db));
    }
    EXPECT_EQ(game.ui.titles(), QStringList{kAsk});

    // A whole run finds it before it asks anything.
    const FolderTree before = snapshotTree(game.path());
    game.ui.messages.clear();
    run.run();
    ASSERT_EQ(game.ui.titles(), QStringList{"Update Error"});
    EXPECT_TRUE(game.ui.messages[0].text.contains("is a file, not a roster slot folder"));
    EXPECT_EQ(snapshotTree(game.path()), before);
}

TEST_F(RunFixture, PreparingAnExistingSlotKeepsOnlyTheNewTeams) {
    writeSimpleDatabase(game.dbPath(), {{"A", "Sam Jones"}, {"B", "Jo Bell"}, {"C", "Al Fox"}});
    {
        SeasonDatabase db(game.dbPath());
        ASSERT_TRUE(run.prepareSlot(db));
    }
    EXPECT_EQ(run.teamNames().size(), 3);
    EXPECT_TRUE(game.ui.messages.empty());
    QDir().mkpath(game.slot());

    QFile::remove(game.dbPath());
    writeSimpleDatabase(game.dbPath(), {{"B", "Jo Bell"}});
    const FolderTree before = snapshotTree(game.path());
    SeasonDatabase db(game.dbPath());
    ASSERT_TRUE(run.prepareSlot(db));
    EXPECT_EQ(game.ui.titles(), QStringList{kAsk});
    EXPECT_EQ(run.teamNames(), (QStringList{"B"}));
    // Preparing an existing slot writes nothing.
    EXPECT_EQ(snapshotTree(game.path()), before);
}

TEST_F(RunFixture, EmptyRatingsSaysListEmptyAndChangesNothing) {
    { demo::SeasonBuilder builder(game.dbPath()); }
    const FolderTree before = snapshotTree(game.path());
    run.run();
    ASSERT_EQ(game.ui.messages.size(), 1u);
    EXPECT_EQ(game.ui.messages[0].text, QStringLiteral("List empty"));
    EXPECT_EQ(game.ui.messages[0].title, QStringLiteral("Error"));
    EXPECT_EQ(game.ui.messages[0].style, MessageStyle{MessageIcon::Information});
    EXPECT_EQ(game.ui.visibility, (std::vector<bool>{true, false}));
    EXPECT_EQ(snapshotTree(game.path()), before);
}

TEST_F(RunFixture, OneRowAdvancesTheBarTo90ThenCompletes) {
    writeSimpleDatabase(game.dbPath(), {{"Cats", "Sam Jones"}});
    run.run();
    ASSERT_EQ(game.ui.titles(), QStringList{QString()});
    EXPECT_EQ(game.ui.messages[0].text, QStringLiteral("Import Complete!"));
    EXPECT_EQ(game.ui.messages[0].style, MessageStyle{});
    // 0 at the start, 90 after the only row, 90 again from the sheet reset, 100, then 0.
    EXPECT_EQ(game.ui.progressValues, (std::vector<float>{0, 90, 90, 100, 0}));
    EXPECT_FALSE(game.ui.progressVisible());
    EXPECT_GT(game.ui.eventRounds, 0);
}

TEST_F(RunFixture, ProgressSumsStepsInSinglePrecision) {
    std::vector<std::pair<QString, QString>> players;
    for (int i = 0; i < 7; ++i)
        players.emplace_back(QStringLiteral("Cats"), QStringLiteral("P %1").arg(i));
    writeSimpleDatabase(game.dbPath(), players);
    run.run();
    float expected = 0;
    for (int i = 0; i < 7; ++i)
        expected = static_cast<float>(double(expected) + 90.0 / 7);
    ASSERT_GE(game.ui.progressValues.size(), 8u);
    EXPECT_EQ(game.ui.progressValues[7], expected);
}

TEST_F(RunFixture, PressingUpdateDuringThePauseStartsNoSecondRun) {
    writeSimpleDatabase(game.dbPath(), {{"Cats", "Sam Jones"}});
    game.ui.onEvents = [this] { run.run(); };
    run.run();
    EXPECT_GT(game.ui.eventRounds, 0);
    // One run: no question about an existing slot, one closing message.
    EXPECT_EQ(game.ui.titles(), QStringList{QString()});
    EXPECT_FALSE(run.isRunning());
}

TEST(PauseFor, ReturnsAtOnceWhenNotPositive) {
    FakeUi ui;
    pauseFor(0, ui);
    pauseFor(-1, ui);
    EXPECT_EQ(ui.eventRounds, 0);
    pauseFor(0.02, ui);
    EXPECT_GT(ui.eventRounds, 0);
}

TEST_F(RunFixture, FailureIsReportedAndTheRunStops) {
    writeSimpleDatabase(game.dbPath(), {{"Cats", "Sam Jones"}});
    QFile::remove(game.file(QStringLiteral("data/schedules/schedule2008.dat")));
    run.run();
    ASSERT_EQ(game.ui.messages.size(), 1u);
    EXPECT_EQ(game.ui.messages[0].title, QStringLiteral("Update Error"));
    EXPECT_EQ(game.ui.messages[0].style, MessageStyle{MessageIcon::Critical});
    EXPECT_TRUE(game.ui.messages[0].text.contains(QStringLiteral("schedule2008.dat")));
    EXPECT_FALSE(game.ui.progressVisible());
    EXPECT_FALSE(run.isRunning());
}

// Windows protecting the game's folder: the check's report ends in a question, and only Yes
// starts the program again as administrator. Where the program cannot restart so, or the
// folder failed for another reason, the report stays a plain error.
TEST(ProtectedFolder, AsksToStartAgainAsAdministrator) {
    Findings denied(Findings::Scope::Run);
    denied.addUnwritableFolder(QStringLiteral("C:/Program Files/Game/lists"),
                               {QStringLiteral("Access is denied."), true});
    Findings broken(Findings::Scope::Run);
    broken.addUnwritableFolder(QStringLiteral("/media/cd/lists"),
                               {QStringLiteral("Read-only file system"), false});
    struct Row {
        const Findings* findings;
        bool restartPossible;
        RunUi::Answer answer;
        bool asks;
        int restarts;
    };
    const Row rows[] = {
        {&denied, true, RunUi::Yes, true, 1},    {&denied, true, RunUi::No, true, 0},
        {&denied, true, RunUi::Cancel, true, 0}, {&denied, false, RunUi::Yes, false, 0},
        {&broken, true, RunUi::Yes, false, 0},
    };
    for (const Row& row : rows) {
        FakeUi ui;
        ui.restartPossible = row.restartPossible;
        ui.answers = {row.answer};
        reportCheckProblems(*row.findings, ui);
        ASSERT_EQ(ui.messages.size(), 1u);
        const FakeUi::Message& message = ui.messages[0];
        EXPECT_EQ(message.title, QStringLiteral("Update Error"));
        EXPECT_TRUE(message.text.startsWith(row.findings->report())) << message.text.toStdString();
        const MessageStyle expected =
            row.asks ? MessageStyle{MessageIcon::Warning, MessageButtons::YesNo}
                     : MessageStyle{MessageIcon::Critical};
        EXPECT_EQ(message.style, expected);
        EXPECT_EQ(message.text.contains(QStringLiteral("Start the patch again as administrator?")),
                  row.asks);
        EXPECT_EQ(ui.restarts, row.restarts);
    }
    EXPECT_TRUE(denied.report().contains(
        QStringLiteral("The patch cannot write in the folder %1: Access is denied.")
            .arg(QDir::toNativeSeparators(QStringLiteral("C:/Program Files/Game/lists")))));
}

// Windows' copies of what the run writes, kept for old programs such as the game, would
// hide the new files from it: the run offers to move them aside, deletes nothing, and
// goes on either way.
TEST_F(RunFixture, VirtualStoreCopiesAreOfferedToBeSetAside) {
    QTemporaryDir local;
    const QByteArray before = qgetenv("LOCALAPPDATA");
    qputenv("LOCALAPPDATA", QDir::toNativeSeparators(local.path()).toLocal8Bit());
    const auto restore = qScopeGuard([&] {
        if (before.isNull())
            qunsetenv("LOCALAPPDATA");
        else
            qputenv("LOCALAPPDATA", before);
    });
    QString withoutDrive = QDir::cleanPath(game.path());
    if (withoutDrive.size() > 1 && withoutDrive.at(1) == QLatin1Char(':'))
        withoutDrive.remove(0, 2);
    const QString store = local.path() + QStringLiteral("/VirtualStore") + withoutDrive;
    const QString slotCopy = store + QStringLiteral("/lists/default2009/Cats/Cats_List.tvp");
    const QString fixtureCopy = store + QStringLiteral("/data/schedules/schedule2008.dat");
    writeSimpleDatabase(game.dbPath(), {{"Cats", "Sam Jones"}});

    for (const RunUi::Answer answer : {RunUi::No, RunUi::Yes}) {
        SCOPED_TRACE(answer == RunUi::Yes ? "Yes" : "No");
        ASSERT_TRUE(QDir().mkpath(QFileInfo(slotCopy).path()));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(fixtureCopy).path()));
        writeAll(slotCopy, "the game's old list");
        writeAll(fixtureCopy, "the game's old fixture");
        game.ui.messages.clear();
        game.ui.answers = {answer};
        run.run();

        ASSERT_FALSE(game.ui.messages.empty());
        const FakeUi::Message& offer = game.ui.messages.front();
        EXPECT_EQ(offer.style, (MessageStyle{MessageIcon::Warning, MessageButtons::YesNo}));
        EXPECT_TRUE(offer.text.contains(QDir::toNativeSeparators(store + "/lists/default2009")))
            << offer.text.toStdString();
        EXPECT_TRUE(offer.text.contains(QDir::toNativeSeparators(fixtureCopy)));
        EXPECT_EQ(game.ui.messages.back().text, QStringLiteral("Import Complete!"));
        const QString aside = store + QStringLiteral("/Old copies set aside by the 2009 Patch");
        if (answer == RunUi::Yes) {
            EXPECT_FALSE(QFileInfo::exists(slotCopy));
            EXPECT_FALSE(QFileInfo::exists(fixtureCopy));
            EXPECT_EQ(readAll(aside + QStringLiteral("/lists/default2009/Cats/Cats_List.tvp")),
                      "the game's old list");
            EXPECT_EQ(readAll(aside + QStringLiteral("/data/schedules/schedule2008.dat")),
                      "the game's old fixture");
        } else {
            EXPECT_EQ(readAll(slotCopy), "the game's old list");
            EXPECT_FALSE(QFileInfo::exists(aside));
            // The next round finds the same copies again.
            QDir(store + QStringLiteral("/lists")).removeRecursively();
            QFile::remove(fixtureCopy);
        }
    }
}
