// An update on a real file system that runs out of room, or turns read-only, while the
// update runs: a tmpfs of its own for each test, which needs root (CI runs the tests as
// root). Each run must end in a message, with the game's folder as it was or as after the
// update, and the next start of the patch and the next update must go on from there. Linux
// only.

#include "core/gamefolder.h"
#include "core/patcherror.h"
#include "run/patchbackup.h"
#include "run/updaterun.h"
#include "support/fakeui.h"
#include "support/foldertree.h"
#include "support/updatescenario.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>

using namespace tolvane;

namespace {

const QString kJetColumnTypes = QStringLiteral(TOLVANE_JET_FIXTURES "/season-a.mdb");
const QString kDatabase = gamepaths::kSeasonDatabase;

std::string native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// A tmpfs of a given size, mounted for one test and unmounted when it goes, whatever the
// test found.
class Tmpfs {
public:
    explicit Tmpfs(qint64 bytes)
        : m_options("size=" + std::to_string(bytes) + ",mode=0755") {
        char point[] = "/tmp/tolvane-tmpfs-XXXXXX";
        if (!mkdtemp(point)) {
            m_error = std::string("cannot make a mount point: ") + std::strerror(errno);
            return;
        }
        m_point = point;
        if (::mount("tmpfs", point, "tmpfs", 0, m_options.c_str()) != 0) {
            m_refused = errno == EPERM;
            m_error = "cannot mount a tmpfs (" + m_options + ") at " + m_point + ": " +
                      std::strerror(errno) +
                      ". These tests mount file systems of their own and so must run as root, "
                      "as CI runs them.";
            return;
        }
        m_mounted = true;
    }
    ~Tmpfs() {
        if (m_mounted)
            ::umount2(m_point.c_str(), MNT_DETACH);
        if (!m_point.empty())
            ::rmdir(m_point.c_str());
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;

    // Why the file system is not there; empty when it is.
    const std::string& error() const { return m_error; }
    // Whether the system refused the mount to this process (a container without the right
    // to mount), rather than failed it.
    bool refused() const { return m_refused; }
    QString path() const { return QFile::decodeName(m_point.c_str()); }

    // Makes the file system read-only or writable again; false, with the reason, when the
    // system refuses.
    bool remount(bool readOnly, std::string& why) {
        const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
        if (::mount("tmpfs", m_point.c_str(), "tmpfs", flags, m_options.c_str()) == 0)
            return true;
        why = std::strerror(errno);
        return false;
    }

    qint64 freeBytes() const {
        struct statvfs status {};
        if (::statvfs(m_point.c_str(), &status) != 0)
            return -1;
        return static_cast<qint64>(status.f_bavail) * static_cast<qint64>(status.f_frsize);
    }

private:
    std::string m_options;
    std::string m_point;
    std::string m_error;
    bool m_mounted = false;
    bool m_refused = false;
};

#define REQUIRE_MOUNTED(tmpfs)                                                                     \
    do {                                                                                           \
        if ((tmpfs).refused())                                                                     \
            GTEST_SKIP() << (tmpfs).error();                                                       \
        ASSERT_TRUE((tmpfs).error().empty()) << (tmpfs).error();                                   \
    } while (false)

// Takes all but `left` bytes of the file system's room, with a file beside the game.
bool fillUpTo(const Tmpfs& tmpfs, qint64 left) {
    const qint64 taken = tmpfs.freeBytes() - left;
    if (taken <= 0)
        return true;
    const std::string filler = native(tmpfs.path() + QStringLiteral("/filler"));
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return false;
    const bool filled = ::posix_fallocate(fd, 0, taken) == 0;
    ::close(fd);
    return filled;
}

// A FakeUi that also calls back as the progress bar moves.
struct WatchedUi : FakeUi {
    void setProgress(float value) override {
        FakeUi::setProgress(value);
        if (onProgress)
            onProgress(progressValues.size());
    }
    std::function<void(std::size_t)> onProgress;
};

QString updateWith(const QString& game, FakeUi& ui) {
    ui.sleepThroughPauses = true;
    UpdateRun run{GameFolder(game), ui};
    run.selectSlot(QLatin1String(gamepaths::kDefaultSlot));
    run.run();
    return ui.messages.empty() ? QString() : ui.messages.back().text;
}

// The game's folder before and after an update without trouble, made on the ordinary disk.
struct Scenario {
    explicit Scenario(SeasonKind kind) {
        before = dir.filePath(QStringLiteral("before"));
        writeGameBeforeSecondUpdate(before, kind, kJetColumnTypes);
        const QString after = dir.filePath(QStringLiteral("after"));
        copyFolder(before, after);
        FakeUi ui;
        EXPECT_EQ(updateWith(after, ui), QStringLiteral("Import Complete!"));
        beforeTree = snapshotGame(before);
        afterTree = snapshotGame(after);
        beforeWhole = snapshotTree(before);
        oldRatings = overallRatings(GameFolder(before).seasonDatabase());
        newRatings = overallRatings(GameFolder(after).seasonDatabase());
    }

    // The bytes the folder takes on a disk of 4 KB blocks.
    qint64 diskUsage() const {
        qint64 bytes = 0;
        for (const auto& [path, content] : beforeWhole)
            bytes += path.endsWith(QLatin1Char('/')) ? 4096 : (content.size() + 4095) / 4096 * 4096;
        return bytes;
    }

    // The folder after a run: before or after the update, whole, with matching ratings and
    // the message to say which. Returns whether it is after.
    bool expectBeforeOrAfter(const QString& game, const QString& message) const {
        const FolderTree now = without(snapshotGame(game), kDatabase);
        const bool complete = message == QStringLiteral("Import Complete!");
        EXPECT_EQ(now, without(complete ? afterTree : beforeTree, kDatabase))
            << message.toStdString();
        EXPECT_EQ(unsoundness(GameFolder(game).seasonDatabase()), QString());
        EXPECT_EQ(overallRatings(GameFolder(game).seasonDatabase()),
                  complete ? newRatings : oldRatings);
        return complete;
    }

    // The next start of the patch, then an update without trouble.
    void expectGoesOn(const QString& game, std::map<QString, int>& settled) const {
        {
            const GameLock lock{GameFolder(game)};
            try {
                settled[PatchBackup(GameFolder(game)).settle()]++;
            } catch (const PatchError& e) {
                ADD_FAILURE() << "the next start failed: " << e.message().toStdString();
            }
        }
        const QStringList left =
            QDir(GameFolder(game).backupFolder())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        EXPECT_EQ(left, QStringList{QStringLiteral("Before the last update")});
        FakeUi ui;
        EXPECT_EQ(updateWith(game, ui), QStringLiteral("Import Complete!"));
        EXPECT_EQ(without(snapshotGame(game), kDatabase), without(afterTree, kDatabase));
    }

    QTemporaryDir dir;
    QString before;
    FolderTree beforeTree;
    FolderTree afterTree;
    FolderTree beforeWhole;
    std::vector<qint64> oldRatings;
    std::vector<qint64> newRatings;
};

void show(const char* heading, const std::map<QString, int>& tally) {
    std::cout << "  " << heading << ":\n";
    for (const auto& [text, count] : tally)
        std::cout << "    " << count << " x " << QString(text).replace('\n', " / ").toStdString()
                  << '\n';
}

QString kindOf(QString text, const QString& game) {
    text.replace(QDir::toNativeSeparators(game), QStringLiteral("<game>"));
    return text;
}

class RealDisk : public testing::TestWithParam<SeasonKind> {};

const char* nameOf(SeasonKind kind) {
    return kind == SeasonKind::Sqlite ? "SQLite" : "Access";
}

} // namespace

// A disk with room for the game's folder but not for what the update writes beside it: the
// check says so, and nothing is written.
TEST_P(RealDisk, TooSmallForTheUpdateIsFoundByTheCheck) {
    const Scenario scenario(GetParam());
    Tmpfs tmpfs(scenario.diskUsage() + 256 * 1024);
    REQUIRE_MOUNTED(tmpfs);
    const QString game = tmpfs.path() + QStringLiteral("/game Ærø");
    copyFolder(scenario.before, game);
    const FolderTree before = snapshotTree(game);

    FakeUi ui;
    const QString text = updateWith(game, ui);
    EXPECT_TRUE(
        text.startsWith(QStringLiteral("The update cannot start. Nothing has been changed.")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("MB free on the drive of the game's folder")))
        << text.toStdString();
    EXPECT_EQ(snapshotTree(game), before);
    std::cout << "  shown: " << kindOf(text, game).replace('\n', " / ").toStdString() << '\n';
}

// The check finds room, and then another program takes it while the update writes: from none
// left to enough, each run ends in a message with the folder before or after the update.
TEST_P(RealDisk, FillingUpDuringTheUpdate) {
    const Scenario scenario(GetParam());
    Tmpfs tmpfs(16 * 1024 * 1024);
    REQUIRE_MOUNTED(tmpfs);
    std::map<QString, int> shown;
    std::map<QString, int> settled;
    bool completed = false;
    for (const qint64 left : {0, 4, 8, 12, 16, 24, 32, 48, 64, 96, 128, 192, 256, 512, 1024}) {
        SCOPED_TRACE(std::to_string(left) + " KB left");
        const QString game = tmpfs.path() + QStringLiteral("/game Ærø");
        copyFolder(scenario.before, game);
        FakeUi ui;
        bool filled = false;
        // The pause before the players are converted comes after the check.
        ui.onEvents = [&] {
            if (!filled)
                filled = fillUpTo(tmpfs, left * 1024);
        };
        const QString text = updateWith(game, ui);
        ASSERT_TRUE(filled);
        shown[QStringLiteral("%1 KB left: ").arg(left) + kindOf(text, game)]++;
        if (text != QStringLiteral("Import Complete!")) {
            EXPECT_EQ(ui.messages.back().title, QStringLiteral("Update Error"));
        }
        completed = scenario.expectBeforeOrAfter(game, text);
        QFile::remove(tmpfs.path() + QStringLiteral("/filler"));
        scenario.expectGoesOn(game, settled);
        QDir(game).removeRecursively();
    }
    EXPECT_TRUE(completed) << "the most room left was not enough for the update";
    std::cout << nameOf(GetParam()) << " season:\n";
    show("shown", shown);
    show("the next start said", settled);
}

// The file system turns read-only while the update runs, as a drive does when it finds a
// fault: after the question, before the players are converted, while their team lists are
// written and before the team sheets. With an Access season, which the update reads whole
// and closes: the system refuses to make read-only a file system with a file open for
// writing, as SQLite keeps its database.
TEST(ReadOnlyDisk, TurningReadOnlyDuringTheUpdate) {
    const Scenario scenario(SeasonKind::Access);
    Tmpfs tmpfs(16 * 1024 * 1024);
    REQUIRE_MOUNTED(tmpfs);
    std::map<QString, int> shown;
    std::map<QString, int> settled;
    const char* const moments[] = {"question", "pause", "first team", "team sheets"};
    for (const char* moment : moments) {
        SCOPED_TRACE(moment);
        const QString game = tmpfs.path() + QStringLiteral("/game Ærø");
        copyFolder(scenario.before, game);
        WatchedUi ui;
        bool readOnly = false;
        std::string why;
        const auto turn = [&](const char* now) {
            if (!readOnly && std::strcmp(now, moment) == 0)
                readOnly = tmpfs.remount(true, why);
        };
        ui.onMessage = [&](const FakeUi::Message& message) {
            if (message.title == QStringLiteral("Roster Slot Import"))
                turn("question");
        };
        ui.onEvents = [&] { turn("pause"); };
        ui.onProgress = [&](std::size_t calls) {
            // The bar starts at 0, moves once a player and stands at 90 before the sheets.
            if (calls == 2)
                turn("first team");
            if (!ui.progressValues.empty() && ui.progressValues.back() == 90.0f)
                turn("team sheets");
        };
        const QString text = updateWith(game, ui);
        EXPECT_TRUE(readOnly) << "the file system could not be made read-only: " << why;
        ASSERT_TRUE(tmpfs.remount(false, why)) << why;
        shown[QString::fromLatin1(moment) + QStringLiteral(": ") + kindOf(text, game)]++;
        EXPECT_EQ(ui.messages.back().title, QStringLiteral("Update Error")) << text.toStdString();
        scenario.expectBeforeOrAfter(game, text);
        scenario.expectGoesOn(game, settled);
        QDir(game).removeRecursively();
    }
    show("shown", shown);
    show("the next start said", settled);
}

INSTANTIATE_TEST_SUITE_P(Seasons, RealDisk, testing::Values(SeasonKind::Sqlite, SeasonKind::Access),
                         [](const testing::TestParamInfo<SeasonKind>& info) {
                             return std::string(nameOf(info.param));
                         });
