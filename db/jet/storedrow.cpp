#include "db/jet/storedrow.h"

#include "core/bytes.h"

namespace tolvane {

namespace jet {

StoredRow::StoredRow(const RowBytes& row, const TableDefinition& definition, const Format& format)
    : m_row(row)
    , m_format(format) {
    const int size = format.rowFieldSize;
    if (row.size < size)
        malformed(
            QStringLiteral("The row is %1 bytes, too short for its column count.").arg(row.size));
    m_columnCount = number(0);
    m_nullMask = row.size - (m_columnCount + 7) / 8;
    if (m_nullMask < size)
        malformed(QStringLiteral("The row claims %1 columns, whose null mask does not fit its %2 "
                                 "bytes.")
                      .arg(m_columnCount)
                      .arg(row.size));
    m_fixedEnd = m_nullMask;
    if (definition.variableColumnCount == 0)
        return;
    if (m_nullMask < 2 * size)
        malformed(QStringLiteral("The row is %1 bytes, too short for its variable columns.")
                      .arg(row.size));
    m_variableCount = number(m_nullMask - size);
    if (format.jumpTable) {
        // One-byte offsets reach 255; the jump table holds, for each further 256 bytes of the
        // row, the first entry whose offset lies past them. Its size follows from the row's,
        // and its last entry goes unused where the table itself lies before that boundary.
        m_jumpCount = static_cast<int>((row.size - 1) / 256);
        m_firstJump = m_nullMask - size - 1;
    }
    m_entries = m_nullMask - size - m_jumpCount - size;
    m_variableEnd = m_entries - size * qsizetype(m_variableCount);
    if (m_variableEnd < size)
        malformed(QStringLiteral("The row claims %1 variable columns, more than fit its %2 "
                                 "bytes.")
                      .arg(m_variableCount)
                      .arg(row.size));
    if (m_jumpCount > 0 && m_variableEnd / 256 < m_jumpCount)
        --m_jumpCount;
    m_fixedEnd = variableOffset(0);
    if (m_fixedEnd < size || m_fixedEnd > m_variableEnd)
        malformed(QStringLiteral("The row's variable columns start at byte %1, outside its %2 "
                                 "bytes.")
                      .arg(m_fixedEnd)
                      .arg(row.size));
}

std::uint16_t StoredRow::number(qsizetype at) const {
    return m_format.rowFieldSize == 1 ? m_row.data[at]
                                      : bytes::loadLittleEndian<std::uint16_t>(m_row.data + at);
}

qsizetype StoredRow::variableOffset(std::uint16_t index) const {
    // The table is stored backwards from the variable column count; its last entry is
    // where the variable data ends.
    qsizetype offset = number(m_entries - m_format.rowFieldSize * qsizetype(index));
    for (int j = 0; j < m_jumpCount; ++j) {
        if (m_row.data[m_firstJump - j] <= index)
            offset += 256;
    }
    return offset;
}

bool StoredRow::holds(const Column& column) const {
    if (column.number >= m_columnCount)
        return false;
    return column.fixed || column.variableIndex < m_variableCount;
}

bool StoredRow::isNull(const Column& column) const {
    if (!holds(column))
        return true;
    return (m_row.data[m_nullMask + column.number / 8] & nullBit(column)) == 0;
}

std::span<const unsigned char> StoredRow::field(const Column& column) const {
    if (!holds(column))
        return {};
    qsizetype start = 0;
    qsizetype end = 0;
    if (column.fixed) {
        start = m_format.rowFieldSize + qsizetype(column.fixedOffset);
        end = start + column.length;
        if (end > m_fixedEnd)
            malformed(QStringLiteral("Its %1 bytes at byte %2 lie past the row's fixed columns, "
                                     "which end at byte %3.")
                          .arg(column.length)
                          .arg(start)
                          .arg(m_fixedEnd));
    } else {
        start = variableOffset(column.variableIndex);
        end = variableOffset(column.variableIndex + 1);
        if (start < m_format.rowFieldSize || end < start || end > m_variableEnd)
            malformed(QStringLiteral("Its value runs from byte %1 to byte %2, outside the row's "
                                     "%3 bytes of data.")
                          .arg(start)
                          .arg(end)
                          .arg(m_variableEnd));
    }
    return {m_row.data + start, static_cast<std::size_t>(end - start)};
}

qsizetype StoredRow::nullByteOffset(const Column& column) const {
    return m_row.fileOffset + m_nullMask + column.number / 8;
}

} // namespace jet

} // namespace tolvane
