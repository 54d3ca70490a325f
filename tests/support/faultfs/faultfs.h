#pragma once

// faultfs: fails or kills a process at the N-th change it makes to the files under one
// folder, to prove that what it writes is all or nothing. Linux only.
//
// The shared library tolvane_faultfs interposes the libc functions through which files and
// folders change. It works in a test executable that links it (through the functions
// below), and in any dynamically linked program started with LD_PRELOAD naming it (through
// the environment).
//
// Counted, when a path they name or the file of the descriptor they act on lies in the
// root folder or below it (paths are made absolute first, against the working folder or
// the *at() call's folder descriptor; the file of a descriptor is what /proc/self/fd shows):
//   - opens that create, truncate or may write: open, open64, openat, openat64, the
//     fortified __open_2, __open64_2, __openat_2, __openat64_2, creat, creat64, fopen and
//     fopen64 with a mode that writes, mkstemp, mkstemp64, mkostemp, mkostemp64, mkdtemp;
//   - writes: write, pwrite, pwrite64, writev, pwritev, pwritev64, pwritev2, pwritev64v2,
//     sendfile, sendfile64, copy_file_range (by the descriptor written to), ioctl
//     FICLONE/FICLONERANGE;
//   - sizes and syncs: ftruncate, ftruncate64, truncate, truncate64, fallocate, fallocate64,
//     posix_fallocate, posix_fallocate64, fsync, fdatasync, sync_file_range;
//   - names: rename, renameat, renameat2, link, linkat, symlink, symlinkat, unlink,
//     unlinkat, remove, mkdir, mkdirat, rmdir;
//   - attributes: chmod, fchmod, fchmodat, chown, fchown, lchown, fchownat, utime, utimes,
//     utimensat, futimens.
// Every call counts once, whether it then succeeds or not. Not seen: what a process
// writes through stdio buffers or a shared mapping, and what libc does inside itself
// (tmpfile, for one).
//
// What Qt 6.4 and SQLite 3.40 call on Debian 12 (tests/faultfs_test.cpp holds them to it):
//   QSaveFile::open and commit: open64 (O_TMPFILE, on the folder), fchmod when the file
//     exists, write, fdatasync, linkat to the name, and when the name is taken linkat to a
//     passing name and rename; it goes on when fchmod or fdatasync fail.
//   QFile::copy: the same, filled by ioctl FICLONE or else sendfile, then chmod.
//   QFile::rename: renameat2; when that fails it copies and removes instead.
//   QDir::mkdir and rmdir: mkdir, rmdir. QFile::remove: unlink.
//   SQLite, a transaction of a rollback journal: open64 of the database and the journal,
//     fchown and pwrite64 of the journal, fdatasync of the journal and of its folder,
//     pwrite64 and fdatasync of the database, unlink of the journal; ftruncate64 when the
//     database shrinks.
//
// Counts are per process, from 1; a forked child goes on from its parent's count.
//
// Environment, read at the first call:
//   TOLVANE_FAULT_ROOT=folder  the absolute folder; without it nothing is counted
//   TOLVANE_FAULT_AT=N         the N-th counted operation fails without doing anything,
//                              with the errno TOLVANE_FAULT_ERRNO (a number or a name
//                              such as ENOSPC; EIO when unset)
//   TOLVANE_FAULT_KILL_AT=N    the process kills itself with SIGKILL just before the N-th
//   TOLVANE_FAULT_LOG=file     appends one line per counted operation (the file itself
//                              is never counted)
// A value that cannot be understood stops the process with a message: a fault that was
// asked for and not made would let a broken write pass.
//
// A line of the log: the number, the function and the absolute path(s), separated by
// tabs; the path of a descriptor's file deleted or never named ends in " (deleted)". The
// failed operation's line ends in "\tfailed (errno N)", the one killed at in "\tkilled".

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

namespace tolvane {

namespace faultfs {

// Counts the operations under folder (absolute) from now on; an empty folder counts
// nothing. Keeps the count, the log and the faults.
void setRoot(const std::string& folder);
// The n-th counted operation (from 1) fails with error as its errno; 0 fails none.
void failAt(std::int64_t n, int error = EIO);
// The process kills itself with SIGKILL just before the n-th counted operation; 0 never.
void killAt(std::int64_t n);
// Back to no operations counted, an empty log and no fault.
void reset();
// The operations counted so far.
std::int64_t count();
// The counted operations, one line each as in the log file.
std::vector<std::string> log();

// Counts from 0 under folder, with no fault, for as long as it lives; nothing afterwards.
class Scope {
public:
    explicit Scope(const std::string& folder) {
        reset();
        setRoot(folder);
    }
    ~Scope() {
        setRoot(std::string());
        reset();
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

} // namespace faultfs

} // namespace tolvane
