#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace tolvane {

// Writing integers into a Jet 4 file in place, without an Access engine. Only the bytes of
// one fixed-width integer column change, in rows whose layout is checked first; anything
// else (an index over the column, a lock file, an unusual row) is refused before the file
// is touched. Whole rows are never rewritten: that would leave indexes stale.
namespace jet {

struct Table;

struct CellChange {
    std::size_t row = 0; // index into Table::rows
    qint64 value = 0;
};

// Points in a write where tests inject faults.
enum class WriteStep { CopyWritten, CopyVerified };
using WriteFault = std::function<void(WriteStep)>;

// The operation every refusal and failure of the write is reported under.
QString writeOperation();

// The sentence users get with every refusal: the way around it.
QString sqliteAdvice();

// Why the column of table (as read from the file at path) cannot be written in place;
// empty when it can. Looks at all that does not depend on the new values: the format, a
// lock file, the column's type and indexes, and the slot of every row.
QString inPlaceWriteProblem(const QString& path, const Table& table, const QString& column);

// Stores the changes in the file, all or nothing: the new bytes go into a copy beside the
// file, which is flushed and read back in full (every written value and every other cell)
// before it is renamed over the original. Refusals and failures throw a PatchError; the
// original file is then as it was.
void writeInPlace(const QString& path, const Table& table, const QString& column,
                  const std::vector<CellChange>& changes, const WriteFault& fault = {});

} // namespace jet

} // namespace tolvane
