#pragma once

#include "db/jet/pages.h"
#include "db/jet/storedrow.h"
#include "db/jet/tabledefinition.h"

#include <QByteArray>
#include <QVariant>

#include <span>

namespace tolvane {

// The values of Access columns: one decoder for each column type, and the table that maps a
// type to its decoder (decoders.cpp). A new type is a new decoder and a new entry there; the
// reader of rows does not change.
namespace jet {

// What a decoder reads one value from: the column's bytes in its row, and the file, for
// texts and for long values stored on pages of their own.
struct Field {
    std::span<const unsigned char> bytes;
    const Column& column;
    const PageFile& pages;
    QByteArray& buffer; // holds a long value that a chain of rows stores in pieces
};

// Reads one value, typed the way an SQLite copy holds it (see Table). Bytes that are no
// value of the type throw a PatchError whose cause names what is wrong.
using Decoder = QVariant (*)(const Field& field);

// How the reader reads a column's values.
struct ColumnDecoder {
    // Null for a Yes/No column, whose value is its bit in the row's null mask.
    Decoder decode = nullptr;
    // False for a type no documentation of the format describes: decode gives the bytes
    // the row stores, as a QByteArray.
    bool known = true;
};

// The decoder of a column: of its type, or for a calculated column (ACE) of its result
// type, read from behind the header Access stores before the value.
ColumnDecoder decoderFor(const Column& column);

// One cell of a stored row, read with the column's decoder.
inline QVariant cellValue(const StoredRow& row, const Column& column, const ColumnDecoder& decoder,
                          const PageFile& pages, QByteArray& buffer) {
    if (!decoder.decode) // Yes/No lives in the null mask: a set bit is Yes
        return qint64(row.isNull(column) ? 0 : 1);
    if (row.isNull(column))
        return QVariant();
    return decoder.decode({row.field(column), column, pages, buffer});
}

} // namespace jet

} // namespace tolvane
