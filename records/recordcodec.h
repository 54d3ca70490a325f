#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace tolvane {

struct PlayerRecord;

// The disk form of player records and team list files: little-endian numbers, texts as
// a 2-byte byte count and Windows-1252 bytes, lists with a 10-byte header (or 00 00 for
// a list never created). A team list file is a list header with the record count and
// lower bound 0, then the records back to back.
namespace recordcodec {

// Size of the team list header.
inline constexpr qsizetype kTeamListHeaderSize = 10;

// The record every team list starts with: all zero, lists never created (621 bytes).
PlayerRecord blankRecord();

// Appends the disk form of record to out. A text longer than 65,535 bytes throws a
// PatchError naming the player and the field.
void serialiseRecord(QByteArray& out, const PlayerRecord& record);
QByteArray serialiseRecord(const PlayerRecord& record);

// Reads one record from data starting at offset, which is moved past it. Truncated or
// inconsistent data throws a PatchError.
PlayerRecord parseRecord(QByteArrayView data, qsizetype& offset);

// A whole team list file. An empty file parses to an empty list, and an empty list writes
// a header counting no records. Bytes after the last record are ignored.
QByteArray serialiseTeamList(const std::vector<PlayerRecord>& records);
std::vector<PlayerRecord> parseTeamList(QByteArrayView data);
// The same, also giving the offset just after the last record.
std::vector<PlayerRecord> parseTeamList(QByteArrayView data, qsizetype& end);

// The team list header for count records.
QByteArray teamListHeader(quint32 count);
// Sets the count in the header that starts list, a team list file held in memory.
void setTeamListCount(QByteArray& list, quint32 count);

// The file the game writes for a team list it never created: a list header of no
// dimensions and nothing else. parseTeamList reads it as an empty list.
QByteArray teamListNeverCreated();

} // namespace recordcodec

} // namespace tolvane
