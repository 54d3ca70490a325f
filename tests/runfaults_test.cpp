#include "run/inputcheck.h"
#include "run/updaterun.h"

#include "core/fileops.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "db/seasondatabase.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"
#include "records/teamlistwriter.h"
#include "support/filesizelimit.h"
#include "support/foldertree.h"
#include "support/ordinaryuser.h"
#include "support/sqlrows.h"
#include "support/testgame.h"
#include "tools/demo/demofolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

using namespace tolvane;
using namespace Qt::StringLiterals;

namespace {

// Failures no check can foresee, met while the run writes: every one must be reported with
// the operation, the path and the system's reason, stop the run, and leave every file the
// run wrote complete.
struct FaultFixture : ::testing::Test {
    TestGame game;
    UpdateRun run{game.folder(), game.ui};
    QByteArray gameFixture;

    void SetUp() override {
        run.selectSlot(QStringLiteral("default2009"));
        gameFixture = readAll(game.file(QStringLiteral("data/schedules/schedule2008.dat")));
    }

    // Bears and Cats with two players each.
    void writeTwoTeams() {
        writeSimpleDatabase(game.dbPath(), {{"Bears", "Al Fox"},
                                            {"Cats", "Sam Jones"},
                                            {"Bears", "Jo Bell"},
                                            {"Cats", "Ann Lee"}});
    }

    QString teamFile(const QString& team, const QString& suffix) const {
        return game.slot() + QLatin1Char('/') + team + QLatin1Char('/') + team + suffix;
    }

    // The run's last message, which must be its only "Update Error" (a slot that exists
    // already is confirmed first).
    QString errorMessage() const {
        EXPECT_EQ(game.ui.titles().filter(QStringLiteral("Update Error")).size(), 1);
        if (game.ui.messages.empty())
            return {};
        const FakeUi::Message& message = game.ui.messages.back();
        EXPECT_EQ(message.title, QStringLiteral("Update Error"));
        EXPECT_EQ(message.style, MessageStyle{MessageIcon::Critical});
        return message.text;
    }

    // Record counts (the blank record included) of every team list in the slot; each must
    // parse in full.
    std::map<QString, std::size_t> parsedLists() const {
        std::map<QString, std::size_t> counts;
        QDirIterator it(game.slot(), {QStringLiteral("*_List.tvp")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            try {
                counts[it.fileInfo().fileName()] = recordcodec::parseTeamList(readAll(path)).size();
            } catch (const PatchError& e) {
                ADD_FAILURE() << path.toStdString() << ": " << e.message().toStdString();
            }
        }
        return counts;
    }

    // What the game keeps must survive any stopped run: its fixture and a sound database
    // with every player.
    void expectGameIntact(qint64 players) {
        EXPECT_EQ(readAll(game.file(QStringLiteral("data/schedules/schedule2008.dat"))),
                  gameFixture);
        SeasonDatabase db(game.dbPath());
        EXPECT_EQ(db.scalar(QStringLiteral("SELECT COUNT(*) FROM Ratings")), players);
        EXPECT_EQ(queryValue(db.sqlite(), QStringLiteral("PRAGMA integrity_check")).toString(),
                  QStringLiteral("ok"));
    }

    void expectStopped() {
        EXPECT_FALSE(game.ui.progressVisible());
        EXPECT_FALSE(run.isRunning());
        // The next run's bar starts from nothing.
        ASSERT_FALSE(game.ui.progressValues.empty());
        EXPECT_EQ(game.ui.progressValues.back(), 0.0f);
    }
};

} // namespace

namespace {

// What stands in the way of a path the run writes is found by the check before anything is
// written: the message names it, and the game folder stays as it was. Each case starts
// from a slot that an earlier run filled.
struct Obstacle {
    const char* label;
    // Puts the obstacle in place, and returns a fragment the message must hold.
    std::function<QString(TestGame&)> make;
};

const std::vector<Obstacle>& obstacles() {
    static const std::vector<Obstacle> cases = {
        {"TeamListPathThatIsAFolder",
         [](TestGame& game) {
             const QString list = gamepaths::teamFile(game.slot(), "Cats", "_List.tvp"_L1);
             QFile::remove(list);
             QDir().mkpath(list);
             return QStringLiteral("A folder stands at %1, where a file of team \"Cats\" goes.")
                 .arg(QDir::toNativeSeparators(list));
         }},
        {"TeamSheetThatIsAFolder",
         [](TestGame& game) {
             const QString sheet = gamepaths::teamFile(game.slot(), "Cats", ".txt"_L1);
             QFile::remove(sheet);
             QDir().mkpath(sheet);
             writeAll(sheet + QStringLiteral("/keep.txt"), "mine");
             return QStringLiteral("A folder stands at %1").arg(QDir::toNativeSeparators(sheet));
         }},
        {"TeamFolderThatIsAFile",
         [](TestGame& game) {
             const QString folder = gamepaths::teamFolder(game.slot(), "Cats");
             QDir(folder).removeRecursively();
             writeAll(folder, "not a folder");
             return QStringLiteral("A file stands at %1, where the folder of team \"Cats\" goes.")
                 .arg(QDir::toNativeSeparators(folder));
         }},
        {"StrayFolderHoldingAFolder",
         [](TestGame& game) {
             const QString stray = gamepaths::teamFolder(game.slot(), "Gone");
             QDir().mkpath(stray + QStringLiteral("/saved games"));
             writeAll(stray + QStringLiteral("/Gone_List.tvp"), teamlist::blankListFile());
             return QStringLiteral("The folder %1 belongs to no team, and the update cannot "
                                   "remove it: It holds sub-folders")
                 .arg(QDir::toNativeSeparators(stray));
         }},
        {"KeptFixtureNameTakenByAFolder",
         [](TestGame& game) {
             const QString kept = game.folder().keptFixture();
             // As before the first run: the game's own fixture, not yet kept.
             QFile::remove(game.folder().gameFixture());
             QFile::rename(kept, game.folder().gameFixture());
             QDir().mkpath(kept);
             return QStringLiteral("A folder stands at %1, where the game's own fixture is kept.")
                 .arg(QDir::toNativeSeparators(kept));
         }},
        {"InstalledFixtureThatIsAFolder",
         [](TestGame& game) {
             const QString installed = game.folder().gameFixture();
             QFile::remove(installed);
             QDir().mkpath(installed);
             return QStringLiteral("A folder stands at %1, where the new fixture goes.")
                 .arg(QDir::toNativeSeparators(installed));
         }},
    };
    return cases;
}

// Bears and Cats with two players each, and the slot an earlier run made of them.
void twoTeamsAndTheirSlot(TestGame& game) {
    writeSimpleDatabase(
        game.dbPath(),
        {{"Bears", "Al Fox"}, {"Cats", "Sam Jones"}, {"Bears", "Jo Bell"}, {"Cats", "Ann Lee"}});
    UpdateRun earlier(game.folder(), game.ui);
    earlier.selectSlot(QLatin1String(gamepaths::kDefaultSlot));
    earlier.run();
    ASSERT_EQ(game.ui.messages.back().text, QStringLiteral("Import Complete!"));
    game.ui.messages.clear();
}

// The check's message after a run on a game folder that must come out as it went in.
QString refusedRun(TestGame& game) {
    const FolderTree before = snapshotTree(game.path());
    UpdateRun run(game.folder(), game.ui);
    run.selectSlot(QLatin1String(gamepaths::kDefaultSlot));
    run.run();
    EXPECT_EQ(snapshotTree(game.path()), before);
    EXPECT_EQ(game.ui.messages.size(), 1U);
    if (game.ui.messages.empty())
        return {};
    const QString text = game.ui.messages.back().text;
    EXPECT_TRUE(
        text.startsWith(QStringLiteral("The update cannot start. Nothing has been changed.")))
        << text.toStdString();
    return text;
}

} // namespace

TEST(Obstacles, AreFoundBeforeAnythingIsWritten) {
    for (const Obstacle& obstacle : obstacles()) {
        SCOPED_TRACE(obstacle.label);
        TestGame game;
        twoTeamsAndTheirSlot(game);
        const QString expected = obstacle.make(game);
        const QString text = refusedRun(game);
        EXPECT_TRUE(text.contains(expected)) << text.toStdString();
    }
}

// Folders the run cannot write in, each named with the system's reason. Root may write
// anywhere, so this runs as an ordinary user.
TEST(Obstacles, FoldersThatCannotBeWrittenAreNamed) {
    struct Folder {
        const char* label;
        QString (*path)(TestGame&);
        const char* where;
    };
    const Folder folders[] = {
        {"program folder", [](TestGame& g) { return g.path(); }, ", where the season database is"},
        {"lists", [](TestGame& g) { return g.folder().listsFolder(); }, ""},
        {"slot", [](TestGame& g) { return g.slot(); }, ""},
        {"team folder", [](TestGame& g) { return gamepaths::teamFolder(g.slot(), "Cats"); }, ""},
        {"schedules", [](TestGame& g) { return g.folder().schedulesFolder(); }, ""},
    };
    for (const Folder& folder : folders) {
        SCOPED_TRACE(folder.label);
        TestGame game;
        twoTeamsAndTheirSlot(game);
        runAsOrdinaryUser(game.path(), [&] {
            const QString path = folder.path(game);
            ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner));
            // Refused for want of rights: where the program could start again as
            // administrator, the report asks whether it should.
            game.ui.restartPossible = true;
            game.ui.answers = {RunUi::No};
            const QString text = refusedRun(game);
            EXPECT_EQ(game.ui.messages.at(0).style,
                      (MessageStyle{MessageIcon::Warning, MessageButtons::YesNo}));
            EXPECT_EQ(game.ui.restarts, 0);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            EXPECT_TRUE(text.contains(
                QStringLiteral("The patch cannot write in the folder %1%2: ")
                    .arg(QDir::toNativeSeparators(path), QLatin1String(folder.where))))
                << text.toStdString();
        });
    }
}

TEST(Obstacles, ReadOnlyTeamListIsNamed) {
    TestGame game;
    twoTeamsAndTheirSlot(game);
    runAsOrdinaryUser(game.path(), [&] {
        const QString list = gamepaths::teamFile(game.slot(), "Bears", "_List.tvp"_L1);
        ASSERT_TRUE(QFile::setPermissions(list, QFile::ReadOwner));
        const QString text = refusedRun(game);
        EXPECT_TRUE(text.contains(
            QStringLiteral("The file %1 is read-only").arg(QDir::toNativeSeparators(list))))
            << text.toStdString();
    });
}

// A team sheet that links elsewhere (here to a device that is always full) is a link in the
// slot like any file: it is deleted and the sheet written afresh in its place, never
// written through.
TEST_F(FaultFixture, TeamSheetLinkedToAFullDevice) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "Linux only: Windows has no device that is always full";
#else
    if (!QFileInfo(QStringLiteral("/dev/full")).exists())
        GTEST_SKIP() << "no /dev/full";
    writeTwoTeams();
    const QString sheet = teamFile("Cats", "Default.txt");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(sheet).path()));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), sheet));
    run.run();

    ASSERT_FALSE(game.ui.messages.empty());
    EXPECT_EQ(game.ui.messages.back().text, QStringLiteral("Import Complete!"));
    EXPECT_FALSE(QFileInfo(sheet).isSymLink());
    EXPECT_EQ(readAll(sheet), "Cats Default Team\r\nSam Jones\r\nAnn Lee\r\n");
    struct stat device {};
    ASSERT_EQ(stat("/dev/full", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
#endif
}

// One team whose list outgrows a limit long before the database or its journal does.
constexpr int kBigTeam = 400;

[[maybe_unused]] void writeBigTeam(TestGame& game) {
    demo::SeasonBuilder builder(game.dbPath());
    builder.exec(QStringLiteral("BEGIN"));
    for (int i = 0; i < kBigTeam; ++i)
        builder.addPlayer(QStringLiteral("Cats"), QStringLiteral("Player %1").arg(i));
    builder.exec(QStringLiteral("COMMIT"));
}

// The converted players wait in a temporary file as large as the list: a disk too full
// for it is found by the check, before anything is written.
TEST_F(FaultFixture, DiskFullWhileConvertingIsFoundBeforeAnythingIsWritten) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << kNoFileSizeLimit;
#else
    writeBigTeam(game);
    const FolderTree before = snapshotTree(game.path());
    {
        FileSizeLimit full(static_cast<rlim_t>(QFileInfo(game.dbPath()).size() + 4096));
        ASSERT_TRUE(full.ok());
        run.run();
    }
    const QString text = errorMessage();
    EXPECT_TRUE(text.contains(QStringLiteral("Cannot keep the converted players")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("File too large"))) << text.toStdString();
    EXPECT_EQ(snapshotTree(game.path()), before);
#endif
}

TEST_F(FaultFixture, DiskFullWhileWritingATeamList) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << kNoFileSizeLimit;
#else
    writeBigTeam(game);
    // Room for the converted records but not for the list, which adds the header and the
    // blank record to them.
    qint64 records = 0;
    {
        InputCheck check(game.folder(), QStringLiteral("default2009"));
        ASSERT_TRUE(check.run()) << check.findings().report().toStdString();
        records = check.season().teams().at(0).size;
    }
    const qint64 limit = records + teamlist::blankListFile().size() / 2;
    ASSERT_GT(limit, QFileInfo(game.dbPath()).size() * 2) << "the database would not fit";

    // An earlier run's list stays as it was; no part of the new one takes its place.
    const QString list = teamFile("Cats", "_List.tvp");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(list).path()));
    const QByteArray earlier = teamlist::blankListFile();
    writeAll(list, earlier);
    {
        FileSizeLimit full(static_cast<rlim_t>(limit));
        ASSERT_TRUE(full.ok());
        run.run();
    }

    const QString text = errorMessage();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Cannot write the file:\n") +
                                QDir::toNativeSeparators(list) + "\n\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("File too large"))) << text.toStdString();
    expectStopped();
    EXPECT_EQ(readAll(list), earlier);
    EXPECT_EQ(QDir(QFileInfo(list).path()).entryList(QDir::Files), QStringList{"Cats_List.tvp"});
    expectGameIntact(kBigTeam);
#endif
}

// The file steps on a full disk: each names the path and the system's reason, and the file
// it was to replace or extend keeps its old bytes, never a cut-off version of the new ones.
TEST(FileSteps, FullDiskLeavesTheOldFile) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << kNoFileSizeLimit;
#else
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("target.dat"));
    const QString source = dir.filePath(QStringLiteral("source.dat"));
    const QByteArray old = "old bytes\r\n";
    writeAll(source, QByteArray(64 * 1024, 'n'));

    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"write", [&] { fileops::writeFileAtomically(target, QByteArray(16 * 1024, 'x')); }},
        {"copy", [&] { fileops::copyFileReplacing(source, target); }},
    };
    for (const auto& [name, step] : steps) {
        SCOPED_TRACE(name);
        writeAll(target, old);
        try {
            FileSizeLimit full(4096);
            ASSERT_TRUE(full.ok());
            step();
            ADD_FAILURE() << "the step did not fail";
        } catch (const PatchError& e) {
            EXPECT_EQ(e.target(), target);
            EXPECT_EQ(e.cause(), QStringLiteral("File too large"));
        }
        EXPECT_EQ(readAll(target), old);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
                  (QStringList{"source.dat", "target.dat"}));
    }
#endif
}

namespace {

// Another program's handle on a file, such as the game's or a database tool's: it lets
// others read and write the file, but not delete or replace it (on Windows, where that
// can be refused).
class HeldOpen {
public:
    explicit HeldOpen(const QString& path) {
#ifdef Q_OS_WIN
        m_handle = CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        m_ok = m_handle != INVALID_HANDLE_VALUE;
#else
        m_file.setFileName(path);
        m_ok = m_file.open(QIODevice::ReadOnly);
#endif
    }
    ~HeldOpen() {
#ifdef Q_OS_WIN
        if (m_ok)
            CloseHandle(m_handle);
#endif
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    bool ok() const {
        return m_ok;
    }

private:
#ifdef Q_OS_WIN
    HANDLE m_handle = INVALID_HANDLE_VALUE;
#else
    QFile m_file;
#endif
    bool m_ok = false;
};

} // namespace

// Windows will not replace or delete a file that another program holds open; the message
// must then say which file and why. Linux replaces it, and the other program goes on
// reading the old one.
TEST(FileSteps, FileHeldOpenByAnotherProgram) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("seasonStats.mdb"));
    const QString source = dir.filePath(QStringLiteral("source.dat"));
    const QByteArray old = "old bytes";

    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"write", [&] { fileops::writeFileAtomically(target, "new bytes"); }},
        {"copy", [&] { fileops::copyFileReplacing(source, target); }},
        {"rename", [&] { fileops::replaceByRename(source, target); }},
        {"delete", [&] { fileops::removeFile(target); }},
    };
    for (const auto& [name, step] : steps) {
        SCOPED_TRACE(name);
        writeAll(target, old);
        writeAll(source, "new bytes");
        HeldOpen held(target);
        ASSERT_TRUE(held.ok());
#ifdef Q_OS_WIN
        try {
            step();
            ADD_FAILURE() << "the step did not fail";
        } catch (const PatchError& e) {
            EXPECT_EQ(e.target(), target);
            EXPECT_TRUE(e.cause().startsWith(QStringLiteral("Another program has the file open")))
                << e.cause().toStdString();
        }
        EXPECT_EQ(readAll(target), old);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
                  (QStringList{"seasonStats.mdb", "source.dat"}));
#else
        step();
        EXPECT_NE(QFileInfo(target).exists() ? readAll(target) : QByteArray(), old);
#endif
    }
}
