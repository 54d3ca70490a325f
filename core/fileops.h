#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolvane {

// File system steps of an update run. Each either succeeds or throws a PatchError that
// names the operation, the path and the system's reason.
namespace fileops {

// True when path is an ordinary file; a hidden file counts as missing, as the game's
// tools have always treated it.
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
// Replaces (or creates) path with data; a failure leaves the old file as it was.
void writeFileAtomically(const QString& path, const QByteArray& data);
// Copies source onto target, replacing it; a failure leaves the old target as it was.
void copyFileReplacing(const QString& source, const QString& target);
// Renames a file; the target must not exist.
void renameFile(const QString& from, const QString& to);
// Renames from onto to, replacing to in one step: a reader finds the old file or the new
// one, never neither. The rename is on the disk when it returns.
void replaceByRename(const QString& from, const QString& to);
// Deletes a file.
void removeFile(const QString& path);
// Removes an empty folder.
void removeEmptyFolder(const QString& path);
// Appends lines to a text file (created when missing), each in Windows-1252 and ending
// in CR LF.
void appendLines(const QString& path, const QStringList& lines);

} // namespace fileops

} // namespace tolvane
