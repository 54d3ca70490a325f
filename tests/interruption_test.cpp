// An update and a restore stopped at every file operation they make under the game's folder:
// failed there (the operation returns an error, as a full disk or a failing drive makes it)
// or killed there (as a crash or a power cut stops the program, for what it had written).
// After each, what a player finds must be the folder before or after the change, file by
// file and the slot as a whole, with a sound season database; the next start of the patch
// must leave it wholly before or after, with a backup that a restore can use or none; and
// the patch must then go on as if nothing had happened. Linux only (faultfs).

#include "core/fileops.h"
#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "run/patchbackup.h"
#include "run/restorecommand.h"
#include "run/swap.h"
#include "run/updaterun.h"
#include "support/fakeui.h"
#include "support/faultfs/faultfs.h"
#include "support/foldertree.h"
#include "support/updatescenario.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <csignal>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

using namespace tolvane;

namespace {

const QString kJetColumnTypes = QStringLiteral(TOLVANE_JET_FIXTURES "/season-a.mdb");
const QString kDatabase = gamepaths::kSeasonDatabase;
const QString kSlot = gamepaths::slotPath(gamepaths::kDefaultSlot) + QLatin1Char('/');

std::string native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// What stands beside the season database while a write of it is under way: SQLite's
// rollback journal, which the next opening of the database applies, and the copy an
// Access write renames over the file, which the next start of the patch removes.
const QStringList& databaseCompanions() {
    static const QStringList names{kDatabase + QStringLiteral("-journal"),
                                   QLatin1Char('.') + kDatabase + QStringLiteral(".writing")};
    return names;
}

// A message with the paths of the game's folder made one word, so that the messages of
// every stop can be counted by kind.
QString kindOf(QString text, const QString& game) {
    text.replace(game, QStringLiteral("<game>"));
    static const QRegularExpression path(QStringLiteral("<game>[^\n:]*"));
    return text.replace(path, QStringLiteral("<path>")).trimmed();
}

// How often each kind of message was seen, shown at the end of a test for its report.
using Tally = std::map<QString, int>;

void show(const char* heading, const Tally& tally) {
    std::cout << "  " << heading << ":\n";
    for (const auto& [text, count] : tally)
        std::cout << "    " << count << " x " << QString(text).replace('\n', " / ").toStdString()
                  << '\n';
}

struct ChildRun {
    int status = -1;
    QString output;
};

// The test's child program on the game's folder with faultfs preloaded, configured by
// settings.
ChildRun runChild(const char* mode, const QString& game, std::vector<std::string> settings) {
    const std::string output = native(game) + ".out";
    settings.push_back("TOLVANE_FAULT_ROOT=" + native(game));
    settings.push_back("LD_PRELOAD=" TOLVANE_FAULTFS_LIBRARY);
    for (char** variable = environ; *variable; ++variable) {
        const std::string setting(*variable);
        if (!setting.starts_with("TOLVANE_FAULT") && !setting.starts_with("LD_PRELOAD="))
            settings.push_back(setting);
    }
    std::vector<std::string> arguments{TOLVANE_UPDATE_CHILD, mode, native(game)};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& variable : settings)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    ChildRun run;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0)
        waitpid(pid, &run.status, 0);
    posix_spawn_file_actions_destroy(&actions);
    const QString outputPath = QFile::decodeName(output.c_str());
    if (QFile::exists(outputPath))
        run.output = QString::fromUtf8(readAll(outputPath));
    QFile::remove(outputPath);
    return run;
}

bool killed(const ChildRun& run) {
    return WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGKILL;
}

// The operations a change makes under the game's folder, one log line each.
std::vector<std::string> linesOf(const QString& log) {
    std::vector<std::string> lines;
    for (const QByteArray& line : readAll(log).split('\n')) {
        if (!line.isEmpty())
            lines.push_back(line.toStdString());
    }
    return lines;
}

struct Restored {
    int status;
    QString text;
};

Restored restore(const QString& game) {
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const int status = restorecommand::run(GameFolder(game), out, err);
    return {status, QString::fromUtf8(out.data() + err.data())};
}

// The season database as the next program to open it finds it: a copy with its journal,
// which opening it applies, so that the game's folder is left to the next start.
struct DatabaseState {
    QString unsound;
    std::vector<qint64> overall;
};

DatabaseState readDatabase(const QString& game) {
    QTemporaryDir scratch;
    const QString copy = scratch.filePath(kDatabase);
    const QString database = GameFolder(game).seasonDatabase();
    QFile::copy(database, copy);
    if (QFile::exists(database + QStringLiteral("-journal")))
        QFile::copy(database + QStringLiteral("-journal"), copy + QStringLiteral("-journal"));
    DatabaseState state{unsoundness(copy), {}};
    if (state.unsound.isEmpty())
        state.overall = overallRatings(copy);
    return state;
}

// Whether the stop came between the two renames that put a slot in place (the game's to
// the work folder, the work folder's to the game's): the game's folder then has no slot
// for that moment, and the work folder holds both, whole, for the next start to settle.
// No system renames a folder over a full one in one step.
bool betweenSlotRenames(const std::string& operation, const QString& game, const FolderTree& one,
                        const FolderTree& other) {
    // The operation as the rehearsal logged it, in a folder of its own.
    const std::string slot = native(kSlot.chopped(1));
    if (operation.find("\trename") == std::string::npos ||
        operation.find("/In progress/new/" + slot + "\t") == std::string::npos ||
        !operation.ends_with("/" + slot))
        return false;
    const QString work = PatchBackup(GameFolder(game)).workFolder();
    const FolderTree staged = subtree(snapshotTree(work + QStringLiteral("/new")), kSlot);
    const FolderTree replaced = subtree(snapshotTree(work + QStringLiteral("/old")), kSlot);
    return (staged == one && replaced == other) || (staged == other && replaced == one);
}

// Where the test's game folders go: in memory where the system has a file system there. On
// a disk the syncs that the patch makes before each step would take most of the test's time,
// and what is proved here does not depend on the disk (realdisk_test.cpp runs on one).
QString baseFolder() {
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    return memory.isDir() && memory.isWritable() ? memory.filePath() : QDir::tempPath();
}

// The two ends of a change, and what the test checks a folder against.
struct Ends {
    FolderTree start; // the game's folder before the change
    FolderTree end;   // after it
    // Whether the season database is judged by its overall ratings, not its bytes: an
    // update's write leaves SQLite's file in a state of its own.
    bool byRatings = false;
    std::vector<qint64> startRatings;
    std::vector<qint64> endRatings;
};

// What the test found wrong with a folder, none when it is sound.
struct Findings {
    QStringList faults;
    std::optional<bool> slotAtEnd; // which slot is in place; none when neither
    std::optional<bool> ratingsAtEnd;
    bool companions = false; // the database's companions stand beside it

    void add(const QString& fault) { faults << fault; }
};

// Every entry holds what it holds at one end or the other, and no entry is missing that
// both ends have; the slot is one end's, whole; and the database is sound, holds one end's
// overall ratings, and the new ones only with the new slot in place.
Findings inspect(const QString& game, const Ends& ends, bool allowCompanions) {
    Findings found;
    FolderTree now = snapshotGame(game);
    for (const QString& companion : databaseCompanions()) {
        if (now.erase(companion) > 0) {
            found.companions = true;
            if (!allowCompanions)
                found.add(QStringLiteral("left beside the database: ") + companion);
        }
    }
    if (ends.byRatings)
        now.erase(kDatabase);
    const FolderTree start = ends.byRatings ? without(ends.start, kDatabase) : ends.start;
    const FolderTree end = ends.byRatings ? without(ends.end, kDatabase) : ends.end;
    for (const auto& [path, bytes] : now) {
        const auto before = start.find(path);
        const auto after = end.find(path);
        if (before == start.end() && after == end.end())
            found.add(QStringLiteral("stray: ") + path);
        else if ((before == start.end() || before->second != bytes) &&
                 (after == end.end() || after->second != bytes))
            found.add(QStringLiteral("neither its bytes before nor after: ") + path);
    }
    for (const auto& [path, bytes] : start) {
        if (end.contains(path) && !now.contains(path))
            found.add(QStringLiteral("missing: ") + path);
    }
    const FolderTree slot = subtree(now, kSlot);
    if (slot == subtree(end, kSlot))
        found.slotAtEnd = true;
    else if (slot == subtree(start, kSlot))
        found.slotAtEnd = false;

    if (ends.byRatings) {
        const DatabaseState database = readDatabase(game);
        if (!database.unsound.isEmpty())
            found.add(QStringLiteral("the season database is not sound: ") + database.unsound);
        else if (database.overall == ends.endRatings)
            found.ratingsAtEnd = true;
        else if (database.overall == ends.startRatings)
            found.ratingsAtEnd = false;
        else
            found.add(QStringLiteral("the overall ratings are neither the old nor the new ones"));
        if (found.ratingsAtEnd == true && found.slotAtEnd != true)
            found.add(QStringLiteral("new overall ratings without the new slot"));
    }
    return found;
}

// A folder wholly at one end: returns which, adding a fault when it is at neither.
std::optional<bool> atWhichEnd(const QString& game, const Ends& ends, Findings& found) {
    FolderTree now = snapshotGame(game);
    // inspect() judges the database's companions.
    for (const QString& companion : databaseCompanions())
        now.erase(companion);
    if (ends.byRatings)
        now.erase(kDatabase);
    if (now == (ends.byRatings ? without(ends.end, kDatabase) : ends.end))
        return true;
    if (now == (ends.byRatings ? without(ends.start, kDatabase) : ends.start))
        return false;
    found.add(QStringLiteral("the folder as a whole is neither as before nor as after"));
    return std::nullopt;
}

// The failures the current test has had so far.
int failuresSoFar() {
    return testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

void expectSound(const Findings& found, const std::string& where) {
    EXPECT_TRUE(found.faults.isEmpty())
        << where << ":\n  " << found.faults.join(QStringLiteral("\n  ")).toStdString();
}

// A game's folder before the second update of a patch, and the same folder after an update
// without a fault: what every interrupted change is checked against.
class Interruption : public testing::TestWithParam<SeasonKind> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_beforeUpdate = m_dir.filePath(QStringLiteral("before update"));
        writeGameBeforeSecondUpdate(m_beforeUpdate, GetParam(), kJetColumnTypes);
        m_afterUpdate = m_dir.filePath(QStringLiteral("after update"));
        copyFolder(m_beforeUpdate, m_afterUpdate);
        ASSERT_EQ(update(m_afterUpdate).back().text, QStringLiteral("Import Complete!"));

        m_update.start = snapshotGame(m_beforeUpdate);
        m_update.end = snapshotGame(m_afterUpdate);
        m_update.byRatings = true;
        m_update.startRatings = overallRatings(GameFolder(m_beforeUpdate).seasonDatabase());
        m_update.endRatings = overallRatings(GameFolder(m_afterUpdate).seasonDatabase());
        ASSERT_NE(m_update.startRatings, m_update.endRatings);
        ASSERT_NE(subtree(m_update.start, kSlot), subtree(m_update.end, kSlot));
        ASSERT_NE(m_update.start.at(gamepaths::kGameFixture),
                  m_update.end.at(gamepaths::kGameFixture));
        m_restore.start = m_update.end;
        m_restore.end = m_update.start;
        m_backupBefore = backupOf(m_beforeUpdate);
        m_backupAfter = backupOf(m_afterUpdate);

        // The update gives the same files every time, or no run could be compared with it.
        const QString again = fresh(m_beforeUpdate, QStringLiteral("again"));
        update(again);
        EXPECT_EQ(without(snapshotGame(again), kDatabase), without(m_update.end, kDatabase));
        EXPECT_EQ(backupOf(again), m_backupAfter);
        QDir(again).removeRecursively();
        m_clock.start();
    }

    void TearDown() override {
        std::cout << "  took " << m_clock.elapsed() / 1000.0 << " s after setting up\n";
    }

    static FolderTree backupOf(const QString& game) {
        return snapshotTree(GameFolder(game).backupFolder());
    }

    static std::vector<FakeUi::Message> update(const QString& game) {
        FakeUi ui;
        ui.sleepThroughPauses = true;
        UpdateRun run{GameFolder(game), ui};
        run.selectSlot(QLatin1String(gamepaths::kDefaultSlot));
        run.run();
        if (ui.messages.empty())
            ui.messages.push_back({});
        return ui.messages;
    }

    // A copy of a folder for one run.
    QString fresh(const QString& from, const QString& name) const {
        const QString folder = m_dir.filePath(name);
        copyFolder(from, folder);
        return folder;
    }

    // The next start of the patch settles what the stop left: the folder is then wholly
    // before or after, with no work folder, and the backup of the folder before the
    // change, or of the one before that, or none where a restore used it. Returns which
    // end it is at.
    std::optional<bool> expectSettled(const QString& game, const Ends& ends, const bool restoring,
                                      Tally& settled) {
        {
            const GameLock lock{GameFolder(game)};
            EXPECT_TRUE(lock.held());
            try {
                settled[PatchBackup(GameFolder(game)).settle()]++;
            } catch (const PatchError& e) {
                ADD_FAILURE() << "the next start failed: " << e.message().toStdString();
                return std::nullopt;
            }
        }
        Findings found = inspect(game, ends, false);
        const std::optional<bool> end = atWhichEnd(game, ends, found);
        const FolderTree backup = backupOf(game);
        if (restoring && end == true && !backup.empty())
            found.add(QStringLiteral("a restore is done, and its backup is still there"));
        if (end.has_value() && !(restoring && end == true)) {
            // An update in place has the backup of the folder before it, as has an update a
            // restore did not take back; an update not in place, the backup of the one before.
            if (backup != (restoring || *end ? m_backupAfter : m_backupBefore))
                found.add(QStringLiteral("the backup is not the one of the state before"));
        }
        expectSound(found, "after the next start");
        return end;
    }

    // The folder as the stop left it, then the next start, then a change without a fault:
    // an update must give the slot of one that was never stopped, and its restore the
    // folder as the next start left it; a restore must give the folder before the update.
    void expectGoesOn(const QString& game, const Ends& ends, bool restoring, Tally& settled) {
        const std::optional<bool> end = expectSettled(game, ends, restoring, settled);
        if (!end.has_value())
            return;
        const FolderTree settledTree = snapshotGame(game);
        if (restoring) {
            const Restored again = restore(game);
            EXPECT_EQ(again.status, *end ? restorecommand::kNothing : restorecommand::kRestored)
                << again.text.toStdString();
            EXPECT_EQ(snapshotGame(game), m_update.start);
            return;
        }
        const std::vector<FakeUi::Message> shown = update(game);
        EXPECT_EQ(shown.back().text, QStringLiteral("Import Complete!"));
        EXPECT_EQ(without(snapshotGame(game), kDatabase), without(m_update.end, kDatabase));
        EXPECT_EQ(overallRatings(GameFolder(game).seasonDatabase()), m_update.endRatings);
        const Restored back = restore(game);
        EXPECT_EQ(back.status, restorecommand::kRestored) << back.text.toStdString();
        EXPECT_EQ(snapshotGame(game), settledTree);
    }

    // The operations a change makes, counted by faultfs in this process.
    std::vector<std::string> rehearseHere(const QString& from, bool restoring) {
        const QString game = fresh(from, QStringLiteral("rehearsal"));
        std::vector<std::string> steps;
        {
            const faultfs::Scope scope(native(game));
            if (restoring)
                EXPECT_EQ(restore(game).status, restorecommand::kRestored);
            else
                EXPECT_EQ(update(game).back().text, QStringLiteral("Import Complete!"));
            steps = faultfs::log();
        }
        QDir(game).removeRecursively();
        return steps;
    }

    // The same, in the child program.
    std::vector<std::string> rehearseInChild(const QString& from, bool restoring) {
        const QString game = fresh(from, QStringLiteral("rehearsal"));
        const QString log = m_dir.filePath(QStringLiteral("rehearsal.log"));
        const ChildRun run =
            runChild(restoring ? "restore" : "update", game, {"TOLVANE_FAULT_LOG=" + native(log)});
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.status;
        EXPECT_TRUE(run.output.contains(restoring ? QStringLiteral("Restored the game's files")
                                                  : QStringLiteral("Import Complete!")))
            << run.output.toStdString();
        QDir(game).removeRecursively();
        std::vector<std::string> steps = linesOf(log);
        QFile::remove(log);
        return steps;
    }

    // For each step n of steps: a fresh copy of from, named by label and n, handed to at(n,
    // game) and removed afterwards; failures are traced by label and the step. Returns how
    // many steps passed with no new failure.
    int atEveryStep(const std::vector<std::string>& steps, const QString& from,
                    const QString& label,
                    const std::function<void(std::size_t, const QString&)>& at) const;
    void failEverywhere(bool restoring);
    void killEverywhere(bool restoring);
    void killNextStartEverywhere(const QString& interrupted, Tally& settled, int& points,
                                 int& survived);

    QTemporaryDir m_dir{baseFolder() + QStringLiteral("/interrupted Ærø Ωμέγα-XXXXXX")};
    QString m_beforeUpdate;
    QString m_afterUpdate;
    Ends m_update;
    Ends m_restore;
    FolderTree m_backupBefore;
    FolderTree m_backupAfter;
    QElapsedTimer m_clock;
};

const char* nameOf(SeasonKind kind) {
    return kind == SeasonKind::Sqlite ? "SQLite" : "Access";
}

int Interruption::atEveryStep(const std::vector<std::string>& steps, const QString& from,
                              const QString& label,
                              const std::function<void(std::size_t, const QString&)>& at) const {
    int passed = 0;
    for (std::size_t n = 1; n <= steps.size(); ++n) {
        SCOPED_TRACE(label.toStdString() + ": " + steps[n - 1]);
        const int failuresBefore = failuresSoFar();
        const QString game = fresh(from, QStringLiteral("%1 %2").arg(label).arg(n));
        at(n, game);
        QDir(game).removeRecursively();
        if (failuresSoFar() == failuresBefore)
            ++passed;
    }
    return passed;
}

void Interruption::failEverywhere(bool restoring) {
    const QString from = restoring ? m_afterUpdate : m_beforeUpdate;
    const Ends& ends = restoring ? m_restore : m_update;
    const std::vector<std::string> steps = rehearseHere(from, restoring);
    ASSERT_GT(steps.size(), 10U);
    Tally shown;
    Tally settled;
    const int survived = atEveryStep(
        steps, from, QStringLiteral("failed at"), [&](std::size_t n, const QString& game) {
            QString message;
            bool completed = false;
            {
                const faultfs::Scope scope(native(game));
                faultfs::failAt(static_cast<std::int64_t>(n), EIO);
                if (restoring) {
                    const Restored result = restore(game);
                    completed = result.status == restorecommand::kRestored;
                    message = result.text;
                } else {
                    const std::vector<FakeUi::Message> messages = update(game);
                    message = messages.back().text;
                    completed = message == QStringLiteral("Import Complete!");
                }
            }
            shown[kindOf(message, game)]++;
            // The program has taken back what it did, or finished it: the folder is wholly
            // one end, and the one its message says.
            Findings found = inspect(game, ends, true);
            const std::optional<bool> end = atWhichEnd(game, ends, found);
            if (end.has_value() && *end != completed)
                found.add(QStringLiteral("the folder is %1, and the message says: %2")
                              .arg(*end ? QStringLiteral("changed") : QStringLiteral("unchanged"),
                                   message));
            if (ends.byRatings && found.ratingsAtEnd.has_value() &&
                *found.ratingsAtEnd != completed)
                found.add(QStringLiteral("the overall ratings do not match the message"));
            expectSound(found, "after the failure, with the message: " + message.toStdString());
            expectGoesOn(game, ends, restoring, settled);
        });
    std::cout << (restoring ? "restore" : "update") << ", " << nameOf(GetParam())
              << " season: failed at each of " << steps.size() << " file operations, " << survived
              << " survived\n";
    show("shown", shown);
    show("the next start said", settled);
}

void Interruption::killEverywhere(bool restoring) {
    const QString from = restoring ? m_afterUpdate : m_beforeUpdate;
    const Ends& ends = restoring ? m_restore : m_update;
    const std::vector<std::string> steps = rehearseInChild(from, restoring);
    ASSERT_GT(steps.size(), 10U);
    Tally settled;
    int withoutSlot = 0;
    int withCompanions = 0;
    const int survived = atEveryStep(
        steps, from, QStringLiteral("killed at"), [&](std::size_t n, const QString& game) {
            const ChildRun run = runChild(restoring ? "restore" : "update", game,
                                          {"TOLVANE_FAULT_KILL_AT=" + std::to_string(n)});
            EXPECT_TRUE(killed(run)) << run.status << "\n" << run.output.toStdString();
            // What a player finds who starts the game before the patch again.
            Findings found = inspect(game, ends, true);
            if (!found.slotAtEnd.has_value()) {
                if (betweenSlotRenames(steps[n - 1], game, subtree(ends.start, kSlot),
                                       subtree(ends.end, kSlot))) {
                    ++withoutSlot;
                    const QString missing = QStringLiteral("missing: ") + kSlot;
                    found.faults.removeIf([&](const QString& f) { return f.startsWith(missing); });
                } else {
                    found.add(QStringLiteral("the slot is neither as before nor as after"));
                }
            }
            withCompanions += found.companions ? 1 : 0;
            expectSound(found, "after the kill");
            expectGoesOn(game, ends, restoring, settled);
        });
    std::cout << (restoring ? "restore" : "update") << ", " << nameOf(GetParam())
              << " season: killed at each of " << steps.size() << " file operations, " << survived
              << " survived; " << withoutSlot
              << " left the slot in the work folder between its two renames, " << withCompanions
              << " left the database's journal or copy beside it\n";
    show("the next start said", settled);
}

// The next start, given an update cut short, killed at each of its steps; the start after
// it must still settle the folder.
void Interruption::killNextStartEverywhere(const QString& interrupted, Tally& settled, int& points,
                                           int& survived) {
    const QString rehearsal = fresh(interrupted, QStringLiteral("settle rehearsal"));
    const QString log = m_dir.filePath(QStringLiteral("settle.log"));
    const ChildRun rehearsed = runChild("settle", rehearsal, {"TOLVANE_FAULT_LOG=" + native(log)});
    EXPECT_TRUE(WIFEXITED(rehearsed.status) && WEXITSTATUS(rehearsed.status) == 0)
        << rehearsed.output.toStdString();
    QDir(rehearsal).removeRecursively();
    const std::vector<std::string> steps = linesOf(log);
    QFile::remove(log);
    EXPECT_FALSE(steps.empty());
    survived += atEveryStep(steps, interrupted, QStringLiteral("next start killed at"),
                            [&](std::size_t n, const QString& game) {
                                const ChildRun run = runChild(
                                    "settle", game, {"TOLVANE_FAULT_KILL_AT=" + std::to_string(n)});
                                EXPECT_TRUE(killed(run)) << run.status << "\n"
                                                         << run.output.toStdString();
                                expectGoesOn(game, m_update, false, settled);
                            });
    points += static_cast<int>(steps.size());
}

} // namespace

TEST_P(Interruption, UpdateFailedAtEveryFileOperation) {
    failEverywhere(false);
}

TEST_P(Interruption, UpdateKilledAtEveryFileOperation) {
    killEverywhere(false);
}

// An update killed while it builds its work folder, with its slot in place but not its
// fixture, and while it writes the overall ratings; then the next start killed at each of its
// steps.
TEST_P(Interruption, NextStartKilledAtEveryFileOperation) {
    const std::vector<std::string> steps = rehearseInChild(m_beforeUpdate, false);
    const std::string slot = native(kSlot);
    const auto first = [&](const std::function<bool(const std::string&)>& matches) {
        for (std::size_t n = 0; n < steps.size(); ++n) {
            if (matches(steps[n]))
                return n + 1;
        }
        ADD_FAILURE() << "no such step";
        return std::size_t(0);
    };
    const std::size_t building = first([&](const std::string& line) {
        return line.find("/In progress/new/" + slot) != std::string::npos &&
               line.find("_List.tvp") != std::string::npos;
    });
    const std::size_t slotInPlace =
        first([&](const std::string& line) {
            return line.find("/In progress/new/" + slot.substr(0, slot.size() - 1) + "\t") !=
                   std::string::npos;
        }) +
        1;
    const std::size_t ratings = first([&](const std::string& line) {
        return line.find(native(kDatabase) + "-journal") != std::string::npos ||
               line.find(native(QLatin1Char('.') + kDatabase)) != std::string::npos;
    });
    Tally settled;
    int points = 0;
    int survived = 0;
    for (const std::size_t at : {building, slotInPlace, ratings}) {
        SCOPED_TRACE("the update killed at " + steps.at(at - 1));
        const QString interrupted = fresh(m_beforeUpdate, QStringLiteral("interrupted %1").arg(at));
        const ChildRun run =
            runChild("update", interrupted, {"TOLVANE_FAULT_KILL_AT=" + std::to_string(at)});
        ASSERT_TRUE(killed(run)) << run.output.toStdString();
        ASSERT_TRUE(QFileInfo::exists(PatchBackup(GameFolder(interrupted)).workFolder()));
        killNextStartEverywhere(interrupted, settled, points, survived);
        QDir(interrupted).removeRecursively();
    }
    std::cout << "next start after an update killed at 3 points, " << nameOf(GetParam())
              << " season: killed at each of " << points << " file operations, " << survived
              << " survived\n";
    show("the start after it said", settled);
}

TEST_P(Interruption, RestoreFailedAtEveryFileOperation) {
    failEverywhere(true);
}

TEST_P(Interruption, RestoreKilledAtEveryFileOperation) {
    killEverywhere(true);
}

INSTANTIATE_TEST_SUITE_P(Seasons, Interruption,
                         testing::Values(SeasonKind::Sqlite, SeasonKind::Access),
                         [](const testing::TestParamInfo<SeasonKind>& info) {
                             return std::string(nameOf(info.param));
                         });
