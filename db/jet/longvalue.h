#pragma once

#include "db/jet/pages.h"

#include <QByteArray>

#include <span>

namespace tolvane {

namespace jet {

// The bytes of a long value (Memo, OLE Object) whose field in its row is field: 4 bytes of
// length and kind, a pointer to its first long-value row, 4 unused bytes, then the data
// itself when it is stored inline. The data lies in the row itself, in one long-value row,
// or in a chain of long-value rows that each start with a pointer to the next; buffer holds
// a chain's bytes, the other kinds point into the file. A value that does not fit where it
// is said to lie, or a chain that ends early or loops, throws.
std::span<const unsigned char> longValue(const PageFile& pages,
                                         std::span<const unsigned char> field, QByteArray& buffer);

} // namespace jet

} // namespace tolvane
