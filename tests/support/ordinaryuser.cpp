#include "support/ordinaryuser.h"

#include "support/platform.h"

#include <QByteArray>
#include <QDataStream>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#endif

namespace tolvane {

#ifndef Q_OS_UNIX

void runAsOrdinaryUser(const QString&, const std::function<void()>& body) {
    // Wine run by root leaves the check of a read-only flag to Linux, which lets root by.
    if (permissionsBypassed())
        GTEST_SKIP() << "file permissions do not bind this process (Wine run by root)";
    body();
}

#else

namespace {

// Gives folder and everything below it to the user; links themselves, not what they name.
QString handOver(const QString& folder, uid_t uid, gid_t gid) {
    QStringList paths{folder};
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    for (const QString& path : paths) {
        if (lchown(QFile::encodeName(path).constData(), uid, gid) != 0)
            return QStringLiteral("cannot give %1 to the user nobody: %2")
                .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    return QString();
}

// The results a body reported, as bytes that cross from the child to the parent.
QByteArray serialize(const testing::TestPartResultArray& results) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint32(results.size());
    for (int i = 0; i < results.size(); ++i) {
        const testing::TestPartResult& result = results.GetTestPartResult(i);
        out << qint32(result.type()) << QByteArray(result.file_name() ? result.file_name() : "")
            << qint32(result.line_number()) << QByteArray(result.message());
    }
    return bytes;
}

void report(const QByteArray& bytes) {
    QDataStream in(bytes);
    qint32 count = 0;
    in >> count;
    for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        qint32 type = 0;
        QByteArray file;
        qint32 line = 0;
        QByteArray message;
        in >> type >> file >> line >> message;
        if (type == testing::TestPartResult::kSkip)
            GTEST_SKIP() << message.constData();
        if (type != testing::TestPartResult::kSuccess)
            ADD_FAILURE_AT(file.isEmpty() ? "unknown file" : file.constData(), line)
                << "[as the user nobody] " << message.constData();
    }
    if (in.status() != QDataStream::Ok)
        ADD_FAILURE() << "The results of the test body, run as the user nobody, arrived cut.";
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// In the child: becomes the user, runs body and sends its results; never returns.
[[noreturn]] void runChild(int fd, const QString& folder, uid_t uid, gid_t gid,
                           const std::function<void()>& body) {
    testing::TestPartResultArray results;
    {
        testing::ScopedFakeTestPartResultReporter intercept(
            testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &results);
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
            ADD_FAILURE() << "Cannot become the user nobody: " << std::strerror(errno);
        } else if (access(QFile::encodeName(folder).constData(), R_OK | W_OK | X_OK) != 0) {
            ADD_FAILURE() << "The user nobody cannot reach " << folder.toStdString()
                          << "; let TMPDIR name a folder that every user may enter.";
        } else {
            try {
                body();
            } catch (const std::exception& e) {
                ADD_FAILURE() << "Exception: " << e.what();
            } catch (...) {
                ADD_FAILURE() << "An exception of an unknown type";
            }
        }
    }
    const bool sent = writeAll(fd, serialize(results));
    std::fflush(nullptr);
    _exit(sent ? 0 : 3);
}

} // namespace

void runAsOrdinaryUser(const QString& folder, const std::function<void()>& body) {
    if (geteuid() != 0) {
        body();
        return;
    }
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr) << "There is no user nobody to run the test as.";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const QString handOverProblem = handOver(folder, uid, gid);
    ASSERT_TRUE(handOverProblem.isEmpty()) << handOverProblem.toStdString();

    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0) << std::strerror(errno);
    // Whatever waits in the buffers would otherwise be written twice.
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        runChild(pipeEnds[1], folder, uid, gid, body);
    }
    const int forkError = errno;
    close(pipeEnds[1]);
    if (child < 0) {
        close(pipeEnds[0]);
        FAIL() << "fork: " << std::strerror(forkError);
    }

    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.append(buffer, n);
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status))
        ADD_FAILURE() << "The test body, run as the user nobody, ended by signal "
                      << WTERMSIG(status) << ".";
    else if (WEXITSTATUS(status) != 0)
        ADD_FAILURE() << "The test body, run as the user nobody, ended with status "
                      << WEXITSTATUS(status) << ".";
    report(bytes);
}

#endif

} // namespace tolvane
