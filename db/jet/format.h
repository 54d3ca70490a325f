#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <optional>

namespace tolvane {

// The versions of the Access file format the reader knows, each described once as data: the
// page, definition and row layers take every offset and width from the description of the
// file they read, chosen when its first page is read.
namespace jet {

// The generations of the file format, each made by its own versions of Access.
enum class Engine : std::uint8_t {
    Jet3, // Access 97
    Jet4, // Access 2000 to 2003
    Ace,  // Access 2007 and later
};

// How a file stores its texts.
enum class TextEncoding {
    CodePage, // one byte a character, in the code page the file declares (Jet 3)
    Ucs2,     // UTF-16LE, or Access's compressed form of it (Jet 4 and ACE)
};

// Where the parts of a table definition lie, counted from the start of its first page (its
// continuation pages are read as if they followed on, without their page headers).
struct DefinitionLayout {
    qsizetype rowCount;
    qsizetype variableColumnCount;
    qsizetype columnCount;
    qsizetype logicalIndexCount;
    qsizetype physicalIndexCount;
    qsizetype usageMap;
    qsizetype firstEntry; // the physical index entries, then the column entries
    qsizetype physicalIndexEntry;

    // A column entry and its fields.
    qsizetype columnEntry;
    qsizetype columnType;
    qsizetype columnNumber;
    qsizetype columnVariableIndex;
    qsizetype columnOtherNumber;
    qsizetype columnPrecision; // Decimal columns
    qsizetype columnScale;
    qsizetype columnFlags;
    qsizetype columnExtendedFlags; // -1 where the format has none
    qsizetype columnFixedOffset;
    qsizetype columnLength;

    // Column and index names: a length of this many bytes, then the name's bytes.
    int nameLengthSize;

    // A physical index's list of columns: skipped bytes, ten (column number, order) pairs,
    // then the bytes to its next list.
    qsizetype indexColumnsBefore;
    qsizetype indexColumnsAfter;

    // A logical index entry: which physical index it uses and what kind it is.
    qsizetype logicalIndexEntry;
    qsizetype logicalIndexPhysical;
    qsizetype logicalIndexKind;
};

struct Format {
    Engine engine;
    qsizetype pageSize;
    // Bytes of page 0 from 0x18 on that are masked with a fixed key stream.
    qsizetype maskedHeaderSize;
    // Data pages: the row count, then the slot table.
    qsizetype rowCountOffset;
    DefinitionLayout definition;
    // Rows: the width of the column count, the variable column count and each offset of the
    // variable column table. One-byte offsets need a jump table to reach past byte 255.
    int rowFieldSize;
    bool jumpTable;
    TextEncoding text;

    qsizetype slotTableOffset() const { return rowCountOffset + 2; }
};

// clang-format off
inline constexpr Format kJet3Format{
    .engine = Engine::Jet3,
    .pageSize = 2048,
    .maskedHeaderSize = 126,
    .rowCountOffset = 8,
    .definition = {
        .rowCount = 12, .variableColumnCount = 23, .columnCount = 25,
        .logicalIndexCount = 27, .physicalIndexCount = 31, .usageMap = 35,
        .firstEntry = 43, .physicalIndexEntry = 8,
        .columnEntry = 18, .columnType = 0, .columnNumber = 1, .columnVariableIndex = 3,
        .columnOtherNumber = 5, .columnPrecision = 11, .columnScale = 12, .columnFlags = 13,
        .columnExtendedFlags = -1, .columnFixedOffset = 14, .columnLength = 16,
        .nameLengthSize = 1,
        .indexColumnsBefore = 0, .indexColumnsAfter = 9,
        .logicalIndexEntry = 20, .logicalIndexPhysical = 4, .logicalIndexKind = 19,
    },
    .rowFieldSize = 1,
    .jumpTable = true,
    .text = TextEncoding::CodePage,
};

inline constexpr Format kJet4Format{
    .engine = Engine::Jet4,
    .pageSize = 4096,
    .maskedHeaderSize = 128,
    .rowCountOffset = 12,
    .definition = {
        .rowCount = 16, .variableColumnCount = 43, .columnCount = 45,
        .logicalIndexCount = 47, .physicalIndexCount = 51, .usageMap = 55,
        .firstEntry = 63, .physicalIndexEntry = 12,
        .columnEntry = 25, .columnType = 0, .columnNumber = 5, .columnVariableIndex = 7,
        .columnOtherNumber = 9, .columnPrecision = 11, .columnScale = 12, .columnFlags = 15,
        .columnExtendedFlags = 16, .columnFixedOffset = 21, .columnLength = 23,
        .nameLengthSize = 2,
        .indexColumnsBefore = 4, .indexColumnsAfter = 18,
        .logicalIndexEntry = 28, .logicalIndexPhysical = 8, .logicalIndexKind = 23,
    },
    .rowFieldSize = 2,
    .jumpTable = false,
    .text = TextEncoding::Ucs2,
};

// ACE (Access 2007 and later) keeps Jet 4's layout; what it adds are column types.
inline constexpr Format kAceFormat = [] {
    Format ace = kJet4Format;
    ace.engine = Engine::Ace;
    return ace;
}();
// clang-format on

// How many of a file's first bytes tell whether it is an Access file, of which format, and
// whether it is encrypted: page 0 up to the end of its longest masked part.
inline constexpr qsizetype kHeadSize = 0x18 + 128;

// What page 0 of an Access file says about it, its masked part unmasked.
struct FileHeader {
    const Format* format = nullptr;
    std::uint8_t version = 0; // 0 Jet 3, 1 Jet 4, 2 and up ACE 12, 14, 15, 16, 17
    std::uint16_t codePage = 0;
    // Non-zero when the pages are encoded (Jet) or encrypted (ACE).
    std::uint32_t databaseKey = 0;

    bool encrypted() const { return databaseKey != 0; }
};

// The header of an Access file from its first bytes; nothing when they are not one of an
// Access file of a known version. A head too short for a field leaves it 0.
std::optional<FileHeader> readHeader(QByteArrayView head);

// Masks page 0's head in place, or unmasks it: the bytes from 0x18 on that the format masks
// with a fixed key stream, as far as head reaches. The mask is its own inverse.
void maskHeader(QByteArray& head, const Format& format);

// The format as users know it, e.g. "a Microsoft Jet 3 database (Access 97)", or for an
// encrypted file "an encoded (encrypted) Microsoft Jet 3 database (Access 97)".
QString formatName(Engine engine, bool encrypted);
// Why an encrypted file cannot be read, and how to decrypt it in Access.
QString encryptedReason(Engine engine);

// The operation a file that is no readable Access file is refused under, unless the reader
// is given another.
QString openOperation();

// The code page whose texts the reader decodes: Windows-1252, which Access 97 writes in
// Western Europe and the Americas.
inline constexpr std::uint16_t kWesternCodePage = 1252;

} // namespace jet

} // namespace tolvane
