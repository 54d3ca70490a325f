#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

namespace tolvane {

// Zip files as the patch ships them, written and read through libzip: the players' zip of
// a season, and the program's own zips.
namespace zipfile {

// A file in a zip.
struct Entry {
    QString name;       // its path in the zip, with '/' between folders
    QByteArray data;    // its contents
    QDateTime modified; // as the zip keeps it: the local time of day, to two seconds
};

// The zip of entries, in their order, every one compressed alike and given the time it
// names: the same entries give the same bytes. Throws a PatchError that names target, the
// file the zip is meant for, when libzip refuses.
QByteArray write(const std::vector<Entry>& entries, const QString& target);

// The files of a zip, in the zip's order (its folders left out). Throws a PatchError that
// names source, the file it came from, when it is not a zip that can be read whole, or
// holds a name that would land outside the folder it is unpacked into.
std::vector<Entry> read(const QByteArray& zip, const QString& source);

// read() of the file at path.
std::vector<Entry> readFile(const QString& path);

} // namespace zipfile

} // namespace tolvane
