#pragma once

#include "db/seasonschema.h"

#include <QLatin1String>
#include <QStringList>

#include <span>

class QIODevice;

namespace tolvane {

class SeasonDatabase;

namespace season {

// Writes every row of a season database's table to out as CSV, in table order: UTF-8 with
// a byte-order mark (without one, Excel takes the file for the system's code page), a
// header row of the column names as the database spells them, RFC 4180 quoting, lines
// ending in CR LF. A value becomes the text that an import gives back as that value:
// numbers in the fewest digits that read back exactly, a day number in the DOB column as
// its date, no value as an empty field and a zero-length text as "". A table the database
// lacks is written as the header of the reference schema alone.
//
// Returns what the author should be told: a missing table, or binary data (which no CSV
// cell holds) written as hexadecimal text. Failures of the database throw a PatchError;
// a device that cannot be written throws one naming target.
QStringList exportTable(SeasonDatabase& db, QLatin1String table,
                        std::span<const seasonschema::Column> reference, QIODevice& out,
                        const QString& target);

} // namespace season

} // namespace tolvane
