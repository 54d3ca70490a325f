#pragma once

#include <fcntl.h>

// What the interposed functions ask of faultfs: whether an operation is counted, and if
// so whether it goes ahead. Each returns 0 to go ahead, or the errno the call fails with.
// They keep errno as it was, and answer 0 at once when nothing is counted or when called
// from inside faultfs.
namespace tolvane::faultfs::tally {

// An operation on one path, or two (rename, link), each taken against its folder
// descriptor (AT_FDCWD: the working folder). path2 may be null.
int onPaths(const char* function, int dirfd, const char* path, int dirfd2 = AT_FDCWD,
            const char* path2 = nullptr);
// An operation on the file of a descriptor.
int onDescriptor(const char* function, int fd);
// A descriptor was closed: its file is looked up again next time.
void forget(int fd);

// Whether open flags may change a file: they create, truncate or open for writing.
inline bool changes(int flags) {
    return (flags & O_ACCMODE) != O_RDONLY || (flags & (O_CREAT | O_TRUNC)) != 0 ||
           (flags & O_TMPFILE) == O_TMPFILE;
}

} // namespace tolvane::faultfs::tally
