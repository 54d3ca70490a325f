#pragma once

#include <QByteArrayView>
#include <QString>

namespace tolvane::fileops::native {

// The system's own file calls, which the file steps are made of: each returns false on a
// failure and leaves the system's reason in error. Paths are Qt's (forward slashes); on
// Windows they go to the wide-character calls whole. Private to core/.

// A file written from start to end, closed when it goes.
class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Creates the file, which must not exist yet.
    bool create(const QString& path, QString& error);
    bool write(QByteArrayView data, QString& error);
    // Puts what was written on the disk.
    bool flush(QString& error);
    bool close(QString& error);

private:
#ifdef Q_OS_WIN
    void* m_handle = reinterpret_cast<void*>(-1);
#else
    int m_fd = -1;
    long long m_written = 0;
#endif
};

// A second name for source's file; linksUnsupported tells a file system that has none.
bool hardLink(const QString& source, const QString& target, bool& linksUnsupported, QString& error);
// Creates one folder; its parent must exist.
bool makeFolder(const QString& path, QString& error);
// Removes an empty folder.
bool removeFolder(const QString& path, QString& error);
// Renames a file or folder; a taken new name fails, in the same step.
bool renameNoReplace(const QString& from, const QString& to, QString& error);
// Renames a file over another in one step; the rename is on the disk when it returns.
bool renameReplacing(const QString& from, const QString& to, QString& error);
// Puts a folder's entries (a rename in it) on the disk; nothing to do on Windows, whose
// renames are written through.
void syncFolder(const QString& folder);
// Puts every file written on the volume of path on the disk (Linux's syncfs); nothing to do
// on Windows, where each new file is flushed as it is closed.
void syncVolume(const QString& path);
// The reason of the last system call's failure.
QString lastError();

} // namespace tolvane::fileops::native
