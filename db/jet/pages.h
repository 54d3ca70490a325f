#pragma once

#include "db/jet/format.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace tolvane {

// The page layer of Access files: fixed-size pages, the row slots of data pages and the
// pointers between rows, laid out as the file's format says. Every read is checked against
// the page and the file; what does not fit throws a PatchError whose cause names it, and
// callers add the file and table.
namespace jet {

enum PageType : std::uint8_t {
    DataPage = 0x01,
    DefinitionPage = 0x02,
};

// Data pages keep the definition page of their table, or "LVAL" for long values, here.
inline constexpr qsizetype kPageOwnerOffset = 4;

// Data pages: the row count, then one 2-byte slot per row holding the row's offset in the
// low 13 bits and its flags above. Rows fill the page from its end, so a row ends where
// the row of the slot before it starts.
inline constexpr std::uint16_t kSlotOffsetMask = 0x1fff;
// Flags of a slot: a deleted row carries both; a row that grew too big for its page keeps
// only a pointer (kRowOverflow) to its data, which lies in a slot of its own marked
// kRowDeleted alone, so that it is read only through the pointer.
inline constexpr std::uint16_t kRowDeleted = 0x8000;
inline constexpr std::uint16_t kRowOverflow = 0x4000;
inline constexpr std::uint16_t kSlotFlags = kRowDeleted | kRowOverflow;

// Where a row lives: its data page and its slot in the page's row table.
struct RowLocation {
    std::uint32_t page = 0;
    std::uint16_t slot = 0;
    bool operator==(const RowLocation&) const = default;
};

// A pointer to a row as Jet stores it: the slot in the low byte, the page above.
inline RowLocation rowAt(std::uint32_t pointer) {
    return {pointer >> 8, static_cast<std::uint16_t>(pointer & 0xff)};
}

// The operation every failure to read an Access file is reported under.
QString readOperation();
// Throws a PatchError for a file that does not hold what its structures promise.
[[noreturn]] void malformed(const QString& cause);

// The bytes of a stored row.
struct RowBytes {
    const unsigned char* data = nullptr;
    qsizetype size = 0;
    qsizetype fileOffset = 0;
    std::uint16_t flags = 0; // its slot's flags
};

// A whole Access file held in memory, read by its format's layout.
class PageFile {
public:
    // The file's bytes; they must outlive this object. A size that is not a whole number
    // of pages throws.
    PageFile(const QByteArray& file, const Format& format);

    const Format& format() const { return m_format; }
    qsizetype pageSize() const { return m_format.pageSize; }
    std::uint32_t pageCount() const { return m_pageCount; }
    // The first byte of a page; a page past the end of the file throws.
    const unsigned char* page(std::uint32_t number) const;
    // Whether a page is a data page of the table whose definition starts on page table.
    bool isDataPageOf(std::uint32_t page, std::uint32_t table) const;
    // The number of row slots of a data page, checked to fit the page.
    std::uint16_t slotCount(std::uint32_t page) const;
    // A slot's raw value: the row's offset and its flags.
    std::uint16_t slot(RowLocation at) const;
    // The row in a slot of a data page (any page type with a row table: data and
    // long-value pages). A slot or row bounds outside the page throw.
    RowBytes row(RowLocation at) const;
    // Where the row listed at a slot keeps its data: the slot itself, or for a row moved to
    // another page, the slot its pointer leads to. Null for a deleted row. A moved row's
    // pointers that loop, lead off the table's data pages or to anything but a moved row's
    // data throw.
    std::optional<RowLocation> dataOf(RowLocation listed, std::uint32_t table) const;

    // A text of the file: Jet 3 texts in Windows-1252 (the only code page the reader
    // accepts), Jet 4 and ACE texts in UTF-16LE or, after the marker FF FE, "compressed": a
    // zero byte switches between one byte per character (the first 256 code points) and
    // two. A zero-length text is an empty, non-null string. Damaged bytes (an odd byte left
    // over) throw.
    QString text(const unsigned char* bytes, qsizetype size) const;

private:
    const QByteArray& m_file;
    const Format& m_format;
    std::uint32_t m_pageCount = 0;
};

} // namespace jet

} // namespace tolvane
