#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <vector>

namespace tolvane {

// Writing integers into an Access file (Jet 3, Jet 4 or ACE) in place, without an Access
// engine. Only the bytes of one fixed-width integer column change, in rows whose layout is
// checked first, where a moved row's data lies; anything else (an index over the column, a
// lock file, an unusual row) is refused before the file is touched. Whole rows are never
// rewritten: that would leave indexes stale.
namespace jet {

struct Table;

struct CellChange {
    std::size_t row = 0; // index into the table's rows, in stored order
    qint64 value = 0;
};

// What every row of the table must read back as once written, row by row in stored order.
class ExpectedRows {
public:
    virtual ~ExpectedRows() = default;
    // Moves on to the next row; false when there is none left.
    virtual bool next() = 0;
    // Whether a column of the current row holds the value read back. Floating values are
    // compared as numbers: an SQLite copy, which keeps -0 as 0 and a NaN as NULL, stands
    // for the values as read.
    virtual bool holds(std::size_t column, const QVariant& written) = 0;
};

// The copy of the file at path that a write makes beside it, before it replaces the file.
QString copyPathFor(const QString& path);

// The operation every refusal and failure of the write is reported under.
QString writeOperation();

// The sentence users get with every refusal: the way around it.
QString sqliteAdvice();

// Why the column of table (as read from the file at path) cannot be written in place;
// empty when it can. Looks at all that does not depend on the new values: the format, a
// lock file, whether the file is still the one that was read, the column's type and
// indexes, and the slot of every row.
QString inPlaceWriteProblem(const QString& path, const Table& table, const QString& column);

// Stores the changes in the file, all or nothing: the new bytes go into a copy beside the
// file, which is flushed to the disk and read back in full, every row checked against
// expected, before it is renamed over the original. Returns the fingerprint of the file as
// it now is, for a later write. Refusals and failures throw a PatchError; the original file
// is then as it was.
QByteArray writeInPlace(const QString& path, const Table& table, const QString& column,
                        const std::vector<CellChange>& changes, ExpectedRows& expected);

} // namespace jet

} // namespace tolvane
