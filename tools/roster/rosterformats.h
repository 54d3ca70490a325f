#pragma once

#include <QByteArray>

namespace tolvane {

struct TeamListFile;

// The text forms of a team list for its authors: CSV to read, JSON to read, edit and build
// from. Both name every field as records/recordfields.h does and carry its exact text, so
// that building from a dump gives back the very bytes that were dumped.
namespace rosterformats {

// One row per record after a header row: the record's index, then every field in disk
// order; a nested list has as many element columns as its longest instance. RFC 4180:
// fields quoted where they hold a comma, a quote or a line break; lines end in CR LF;
// UTF-8. The header of the list and the bytes after its last record are not shown.
QByteArray toCsv(const TeamListFile& file);

// {"records": [{field: value, ...}, ...]} with every field in disk order. Numbers that a
// JSON number holds exactly are numbers, other values (texts, hex, dates, "-0", "nan")
// strings, true and false for booleans, null for a list never created. "records": null
// stands for a list never created, "emptyFile": true for a file of no bytes, and
// "trailingBytes" holds in hex any bytes after the last record.
QByteArray toJson(const TeamListFile& file);

// The inverse of toJson. A field a record leaves out keeps its zero value (a nested list:
// never created). Anything else throws a PatchError whose target says where: not JSON (with
// its byte), an unknown key, a value of the wrong type or range (with record and field).
TeamListFile fromJson(const QByteArray& json);

} // namespace rosterformats

} // namespace tolvane
