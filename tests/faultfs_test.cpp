#include "core/fileops.h"
#include "core/patcherror.h"
#include "support/faultfs/faultfs.h"
#include "support/foldertree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

extern char** environ;

using namespace tolvane;

namespace {

std::string native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The function a log line names.
std::string functionOf(const std::string& line) {
    const std::size_t start = line.find('\t') + 1;
    return line.substr(start, line.find('\t', start) - start);
}

// The first path a log line names.
std::string pathOf(const std::string& line) {
    const std::size_t start = line.find('\t', line.find('\t') + 1) + 1;
    return line.substr(start, line.find('\t', start) - start);
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The lines of the log of a run of faultfs with nothing failed: what a fault can be put on.
template <typename Run> std::vector<std::string> operationsOf(const QString& root, Run run) {
    const faultfs::Scope scope(native(root));
    run();
    return faultfs::log();
}

TEST(FaultFs, CountsWhatChangesUnderTheRootByItsAbsolutePath) {
    QTemporaryDir outside;
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("root"));
    ASSERT_TRUE(QDir().mkdir(root));
    const std::string r = native(root);
    writeAll(root + QStringLiteral("/read.dat"), "x");
    {
        // Given with a detour and a trailing slash, and reached through a link to it.
        const faultfs::Scope scope(native(dir.path()) + "/./x/../root/");
        const QString alias = outside.filePath(QStringLiteral("alias"));
        ASSERT_TRUE(QFile::link(root, alias));
        writeAll(outside.filePath(QStringLiteral("elsewhere")), "not counted");
        fileops::readWholeFile(dir.filePath(QStringLiteral("root/../root/read.dat")));
        EXPECT_EQ(faultfs::count(), 0);

        // A file is known by the folder it lies in, however it is reached.
        const int fd = ::open((native(alias) + "/a").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::write(fd, "x", 1), 1);
        EXPECT_EQ(::fsync(fd), 0);
        ::close(fd);
        const std::vector<std::string> log = faultfs::log();
        ASSERT_EQ(log.size(), 3u);
        EXPECT_EQ(log[0], "1\topen\t" + r + "/a");
        EXPECT_EQ(log[1], "2\twrite\t" + r + "/a");
        EXPECT_EQ(log[2], "3\tfsync\t" + r + "/a");
    }
    {
        // Relative paths, against the working folder and a folder descriptor.
        const faultfs::Scope scope(r);
        const QString before = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        EXPECT_EQ(::rename("root/a", "root/b"), 0);
        ASSERT_TRUE(QDir::setCurrent(before));
        const int folder = ::open(r.c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(folder, 0);
        EXPECT_EQ(::mkdirat(folder, "sub", 0755), 0);
        EXPECT_EQ(::unlinkat(folder, "./sub/../b", 0), 0);
        EXPECT_EQ(::fsync(folder), 0); // the root itself is counted
        ::close(folder);
        EXPECT_EQ(faultfs::log(), (std::vector<std::string>{
                                      "1\trename\t" + r + "/a\t" + r + "/b",
                                      "2\tmkdirat\t" + r + "/sub",
                                      "3\tunlinkat\t" + r + "/b",
                                      "4\tfsync\t" + r,
                                  }));
    }
    // Without a root nothing is counted.
    writeAll(root + QStringLiteral("/c"), "x");
    EXPECT_EQ(faultfs::count(), 0);
}

TEST(FaultFs, AtomicWriteFailedAtAnyStepLeavesTheOldFile) {
    QTemporaryDir rehearsal;
    const QString sample = rehearsal.filePath(QStringLiteral("teams.txt"));
    writeAll(sample, "old");
    const std::vector<std::string> steps = operationsOf(
        rehearsal.path(), [&] { fileops::writeFileAtomically(sample, "new contents"); });
    // Replacing a file takes a new file beside it, its bytes and flush, and a rename.
    std::vector<std::string> functions;
    for (const std::string& line : steps)
        functions.push_back(functionOf(line));
    for (const char* expected : {"open", "write", "fsync", "rename"})
        EXPECT_NE(std::find(functions.begin(), functions.end(), expected), functions.end())
            << expected;

    for (std::size_t step = 1; step <= steps.size(); ++step) {
        SCOPED_TRACE(steps[step - 1]);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("teams.txt"));
        writeAll(path, "old");
        bool failed = false;
        {
            const faultfs::Scope scope(native(dir.path()));
            faultfs::failAt(static_cast<std::int64_t>(step), ENOSPC);
            try {
                fileops::writeFileAtomically(path, "new contents");
            } catch (const PatchError& e) {
                failed = true;
                EXPECT_EQ(e.target(), path);
            }
            EXPECT_GE(faultfs::count(), static_cast<std::int64_t>(step));
        }
        EXPECT_EQ(readAll(path), failed ? QByteArray("old") : QByteArray("new contents"));
        EXPECT_EQ(entries(dir.path()), QStringList{"teams.txt"});
        // QSaveFile goes on when the old permissions or the flush fail, and links the file
        // under another passing name when one does not work: these steps must stop it.
        const std::string function = functionOf(steps[step - 1]);
        if (function == "open64" || function == "write" || function == "rename" ||
            steps[step - 1].ends_with('\t' + native(path))) {
            EXPECT_TRUE(failed);
        }
    }
}

TEST(FaultFs, FailedFolderAndNameChangesAreRefused) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("fixture.dat"));
    writeAll(file, "x");
    const faultfs::Scope scope(native(dir.path()));
    faultfs::failAt(1, EACCES);
    EXPECT_FALSE(QDir().mkdir(dir.filePath(QStringLiteral("slot"))));
    faultfs::reset();
    faultfs::failAt(1, EIO);
    EXPECT_THROW(fileops::createFolder(dir.filePath(QStringLiteral("slot"))), PatchError);
    faultfs::reset();
    faultfs::failAt(1, EIO);
    EXPECT_THROW(fileops::replaceByRename(file, dir.filePath(QStringLiteral("renamed.dat"))),
                 PatchError);
    faultfs::reset();
    faultfs::failAt(1, EIO);
    EXPECT_FALSE(QFile::remove(file));
    EXPECT_EQ(entries(dir.path()), QStringList{"fixture.dat"});
}

// A database of 300 rows, spread over many pages, each holding value.
void makeDatabase(const QString& path, int value) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(native(path).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                              nullptr),
              SQLITE_OK);
    const std::string sql = "CREATE TABLE player(id INTEGER PRIMARY KEY, rating INTEGER, pad BLOB);"
                            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                            "WHERE i < 300) INSERT INTO player SELECT i, " +
                            std::to_string(value) + ", zeroblob(400) FROM n;";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// What a new connection finds: the ratings, all alike or "mixed", and the integrity check.
std::string ratingsIn(const QString& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(native(path).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return "cannot open";
    std::string found;
    const auto read = [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) += std::string(values[0] ? values[0] : "NULL") + " ";
        return 0;
    };
    sqlite3_exec(db,
                 "SELECT CASE WHEN min(rating) = max(rating) THEN min(rating) ELSE 'mixed' END "
                 "FROM player; PRAGMA integrity_check;",
                 read, &found, nullptr);
    sqlite3_close(db);
    return found;
}

struct Commit {
    bool committed = false;
    std::vector<std::string> operations; // the commit's, under the database's folder
};

// Sets every rating to 2 in a transaction of a rollback journal, and commits it with the
// commit's n-th file operation failed (none for 0).
Commit commitRatings(const QString& path, std::int64_t n) {
    Commit commit;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(native(path).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr),
              SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "PRAGMA journal_mode = DELETE; BEGIN; UPDATE player SET rating = 2",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    {
        const faultfs::Scope scope(native(QFileInfo(path).absolutePath()));
        faultfs::failAt(n, EIO);
        commit.committed = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        EXPECT_GE(faultfs::count(), n);
        commit.operations = faultfs::log();
    }
    sqlite3_close(db);
    return commit;
}

TEST(FaultFs, SqliteCommitFailedAtAnyStepLeavesTheDatabaseAsBefore) {
    QTemporaryDir original;
    makeDatabase(original.filePath(QStringLiteral("season.db")), 1);
    const QByteArray before = readAll(original.filePath(QStringLiteral("season.db")));

    QTemporaryDir rehearsal;
    writeAll(rehearsal.filePath(QStringLiteral("season.db")), before);
    const Commit plain = commitRatings(rehearsal.filePath(QStringLiteral("season.db")), 0);
    ASSERT_TRUE(plain.committed);
    const std::vector<std::string>& steps = plain.operations;
    // The journal is flushed, the pages written and flushed, the journal deleted.
    ASSERT_GE(steps.size(), 5u);
    EXPECT_EQ(functionOf(steps.back()), "unlink");

    for (std::size_t step = 1; step <= steps.size(); ++step) {
        SCOPED_TRACE(steps[step - 1]);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("season.db"));
        writeAll(path, before);
        const bool committed = commitRatings(path, static_cast<std::int64_t>(step)).committed;
        EXPECT_EQ(ratingsIn(path), committed ? "2 ok " : "1 ok ");
        EXPECT_EQ(entries(dir.path()), QStringList{"season.db"});
        // SQLite flushes its folder as a courtesy and goes on when that fails; nothing else.
        if (pathOf(steps[step - 1]) != native(rehearsal.path())) {
            EXPECT_FALSE(committed);
        }
    }
}

// Runs child in a process of its own, which faultfs kills before its n-th operation under
// root; returns its wait status.
int statusOfChildKilledAt(const QString& root, std::int64_t n, void (*child)()) {
    const pid_t pid = fork();
    if (pid == 0) {
        faultfs::reset();
        faultfs::setRoot(native(root));
        faultfs::killAt(n);
        try {
            child();
        } catch (...) {
            _exit(2); // never on into the parent's tests
        }
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

QString g_killed; // the file the forked children write

TEST(FaultFs, KilledBeforeAnyStepOfAnAtomicWriteTheOldFileIsThere) {
    const auto write = [] { fileops::writeFileAtomically(g_killed, "new"); };
    const auto prepare = [](const QTemporaryDir& dir) {
        g_killed = dir.filePath(QStringLiteral("fixture.dat"));
        writeAll(g_killed, "old");
    };
    QTemporaryDir rehearsal;
    prepare(rehearsal);
    const std::size_t steps = operationsOf(rehearsal.path(), write).size();
    for (std::size_t step = 1; step <= steps + 1; ++step) {
        SCOPED_TRACE(step);
        QTemporaryDir dir;
        prepare(dir);
        const int status =
            statusOfChildKilledAt(dir.path(), static_cast<std::int64_t>(step), write);
        if (step > steps) {
            // Past the last step nothing stops it.
            EXPECT_TRUE(WIFEXITED(status)) << status;
            EXPECT_EQ(readAll(g_killed), "new");
            break;
        }
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), SIGKILL);
        // Before the rename the old file, after it (while its folder is flushed) the new.
        const QByteArray found = readAll(g_killed);
        EXPECT_TRUE(found == "old" || found == "new") << found.toStdString();
        // Killed before the rename, what was written lies under a passing name of its own.
        for (const QString& name : entries(dir.path())) {
            if (name != QLatin1String("fixture.dat")) {
                EXPECT_TRUE(name.startsWith(QLatin1String(".fixture.dat.tolvane-")))
                    << name.toStdString();
            }
        }
    }
}

struct ProgramRun {
    int status;
    std::string log;
};

// Runs a program with faultfs preloaded and configured by settings, in folder.
ProgramRun runPreloaded(const QString& folder, std::vector<std::string> arguments,
                        const std::vector<std::string>& settings) {
    const std::string log = native(folder) + "/../faultfs.log";
    std::vector<std::string> environment = settings;
    environment.push_back("LD_PRELOAD=" TOLVANE_FAULTFS_LIBRARY);
    environment.push_back("TOLVANE_FAULT_ROOT=" + native(folder));
    environment.push_back("TOLVANE_FAULT_LOG=" + log);
    for (char** variable = environ; *variable; ++variable) {
        if (std::string(*variable).rfind("TOLVANE_FAULT", 0) != 0)
            environment.emplace_back(*variable);
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    ::unlink(log.c_str());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, native(folder).c_str());
    pid_t pid = 0;
    ProgramRun run{-1, {}};
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0)
        waitpid(pid, &run.status, 0);
    posix_spawn_file_actions_destroy(&actions);
    if (QFile::exists(QString::fromStdString(log)))
        run.log = readAll(QString::fromStdString(log)).toStdString();
    return run;
}

TEST(FaultFs, PreloadedIntoAnotherProgramItCountsFailsAndKills) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("game"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const std::string f = native(folder);
    writeAll(folder + QStringLiteral("/teams.txt"), "teams");

    // cp opens the copy by a relative name and fills it with copy_file_range.
    ProgramRun run = runPreloaded(folder, {"cp", "teams.txt", "copy.txt"}, {});
    ASSERT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.status;
    EXPECT_EQ(run.log.rfind("1\topenat\t" + f + "/copy.txt\n", 0), 0u) << run.log;
    EXPECT_NE(run.log.find("\tcopy_file_range\t" + f + "/copy.txt\n"), std::string::npos)
        << run.log;

    run = runPreloaded(folder, {"mv", "copy.txt", "moved.txt"},
                       {"TOLVANE_FAULT_AT=1", "TOLVANE_FAULT_ERRNO=ENOSPC"});
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_NE(WEXITSTATUS(run.status), 0);
    EXPECT_EQ(run.log, "1\trenameat2\t" + f + "/copy.txt\t" + f + "/moved.txt\tfailed (errno " +
                           std::to_string(ENOSPC) + ")\n");
    EXPECT_EQ(entries(folder), (QStringList{"copy.txt", "teams.txt"}));

    run = runPreloaded(folder, {"mv", "copy.txt", "moved.txt"}, {"TOLVANE_FAULT_KILL_AT=1"});
    ASSERT_TRUE(WIFSIGNALED(run.status));
    EXPECT_EQ(WTERMSIG(run.status), SIGKILL);
    EXPECT_EQ(run.log, "1\trenameat2\t" + f + "/copy.txt\t" + f + "/moved.txt\tkilled\n");
    EXPECT_EQ(entries(folder), (QStringList{"copy.txt", "teams.txt"}));

    // A fault asked for and not understood must not pass for a fault that did no harm.
    run = runPreloaded(folder, {"mv", "copy.txt", "moved.txt"}, {"TOLVANE_FAULT_AT=first"});
    ASSERT_TRUE(WIFSIGNALED(run.status));
    EXPECT_EQ(WTERMSIG(run.status), SIGABRT);
    EXPECT_EQ(entries(folder), (QStringList{"copy.txt", "teams.txt"}));
}

} // namespace
