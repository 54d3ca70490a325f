#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace tolvane {

// The page layer of Microsoft Jet 4 files: 4096-byte pages, the row slots of data pages and
// the pointers between rows. Every read is checked against the page and the file; what does
// not fit throws a PatchError whose cause names it, and callers add the file and table.
namespace jet {

inline constexpr qsizetype kPageSize = 4096;

enum PageType : std::uint8_t {
    DataPage = 0x01,
    DefinitionPage = 0x02,
};

// Data pages: the row count, then one 2-byte slot per row holding the row's offset in the
// low 13 bits and its flags above. Rows fill the page from its end, so a row ends where
// the row of the slot before it starts.
inline constexpr qsizetype kRowCountOffset = 12;
inline constexpr std::uint16_t kSlotOffsetMask = 0x1fff;
inline constexpr std::uint16_t kRowDeleted = 0x8000;
// The row holds only a pointer to the row's data on another page.
inline constexpr std::uint16_t kRowOverflow = 0x4000;

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

// The operation every failure to read a Jet file is reported under.
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

// A whole Jet file held in memory.
class PageFile {
public:
    // The file's bytes; they must outlive this object. A size that is not a whole number
    // of pages throws.
    explicit PageFile(const QByteArray& file);

    std::uint32_t pageCount() const { return m_pageCount; }
    // The first byte of a page; a page past the end of the file throws.
    const unsigned char* page(std::uint32_t number) const;
    // The number of row slots of a data page, checked to fit the page.
    std::uint16_t slotCount(std::uint32_t page) const;
    // The row in a slot of a data page (any page type with a row table: data and
    // long-value pages). A slot or row bounds outside the page throw.
    RowBytes row(RowLocation at) const;

private:
    const QByteArray& m_file;
    std::uint32_t m_pageCount = 0;
};

// Jet 4 texts are UTF-16LE, or, after the marker FF FE, "compressed": a zero byte switches
// between one byte per character (the first 256 code points) and two. A zero-length text
// is an empty, non-null string. Damaged bytes (an odd byte left over) throw.
QString decodeText(const unsigned char* bytes, qsizetype size);

} // namespace jet

} // namespace tolvane
