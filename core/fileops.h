#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolvane {

// File system steps of an update run. Each either succeeds or throws a PatchError that
// names the operation, the path and the system's reason.
namespace fileops {

// True when path is an ordinary file; a hidden file counts as missing, as the game counts
// it.
bool isOrdinaryFile(const QString& path);
// True when anything (file, folder, link) exists under path.
bool entryExists(const QString& path);

// The whole content of a file; a failure throws a PatchError under operation, by default
// "Cannot read the file".
QByteArray readWholeFile(const QString& path, const QString& operation = QString());

// Why a file cannot be created in a folder.
struct WriteRefusal {
    QString reason;            // the system's words
    bool accessDenied = false; // refused for want of rights, not for a fault of the disk
};
// Tries what writing in folder takes: creates a file of its own there and removes it.
// Returns why that failed, or nothing when it worked.
std::optional<WriteRefusal> probeWritable(const QString& folder);

// Tries whether the file at path could be replaced or deleted now. On Windows another
// program that holds it open (the game, Access, a virus scanner) keeps it from being; a
// missing file has nothing to keep. Returns why not, or nothing when it could.
std::optional<WriteRefusal> probeReplaceable(const QString& path);

// Creates one folder level; the parent must exist.
void createFolder(const QString& path);
// Creates a folder and every missing folder above it.
void createFolders(const QString& path);

// When a new file's bytes must be on the disk.
enum class Durability {
    ByNextSync, // by the next syncVolume(), or at once where the system has none (Windows)
    Now,        // when the call returns
};
// Writes a new file, none of that name being there, whole: a failure removes what was
// written.
void writeNewFile(const QString& path, QByteArrayView data,
                  Durability durability = Durability::ByNextSync);
// Copies source into a new file target, as writeNewFile writes one.
void copyFile(const QString& source, const QString& target,
              Durability durability = Durability::ByNextSync);
// Gives the file source a second name target (a hard link), or where the file system has no
// links, copies it there; target must not exist. A file linked so is one file under two
// names: a change to it in place shows under both. A link is as durable as its source; a
// copy as durability says.
void linkOrCopy(const QString& source, const QString& target,
                Durability durability = Durability::ByNextSync);

// Replaces (or creates) path with data: the bytes go into a file beside it, which is put on
// the disk and renamed over it. A failure leaves the old file as it was.
void writeFileAtomically(const QString& path, QByteArrayView data);
// Copies source onto target in the same way.
void copyFileReplacing(const QString& source, const QString& target);

// Renames a file or folder in one step; a taken new name fails, and nothing changes.
void renameFile(const QString& from, const QString& to);
// Renames from onto to, replacing to in one step: a reader finds the old file or the new
// one, never neither. The rename is on the disk when it returns.
void replaceByRename(const QString& from, const QString& to);

// Deletes a file.
void removeFile(const QString& path);
// Removes an empty folder.
void removeEmptyFolder(const QString& path);
// Removes a file, or a folder with all it holds; links are removed, not followed. Nothing
// there is nothing to do.
void removeTree(const QString& path);

// Puts a folder's entries, such as a rename in it, on the disk.
void syncFolder(const QString& folder);
// Puts every file written on the volume of path on the disk.
void syncVolume(const QString& path);
// The bytes free to this user on the volume of path.
qint64 freeSpace(const QString& path);

} // namespace fileops

} // namespace tolvane
