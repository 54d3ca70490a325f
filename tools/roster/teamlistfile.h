#pragma once

#include "records/playerrecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace tolvane {

// A team list file as it stands on disk, for tools that must give back every byte: how
// the list begins, its records, and whatever follows the last record the header counts
// (the game and the update run never read those bytes).
struct TeamListFile {
    enum class Start {
        Header,       // a list header counting the records
        NeverCreated, // the two bytes of a list never created; no records
        EmptyFile,    // no bytes at all; no records, nothing after them
    };

    Start start = Start::Header;
    std::vector<PlayerRecord> records;
    QByteArray trailing;

    bool operator==(const TeamListFile&) const = default;
};

// Reads a team list file; data that is no team list throws the codec's PatchError, which
// says at which byte, in which record and field it stops making sense.
TeamListFile parseTeamListFile(QByteArrayView data);

// The bytes of file. A record that cannot be stored (a text too long) throws a PatchError
// whose target names the record by its index; so does a file that would not read back as
// it stands (records or trailing bytes in an empty file, records in a list never created).
QByteArray serialiseTeamListFile(const TeamListFile& file);

} // namespace tolvane
