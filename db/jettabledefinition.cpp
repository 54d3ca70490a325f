#include "db/jettabledefinition.h"

#include "core/bytes.h"
#include "core/patcherror.h"

#include <algorithm>

namespace tolvane {

namespace jet {

namespace {

// Jet 4 definition layout: counts at fixed offsets, then the physical index entries, the
// column entries, the column names, the physical index column lists, the logical index
// entries and their names.
constexpr qsizetype kRowCount = 16;
constexpr qsizetype kVariableColumnCount = 43; // then the column count and both index counts
constexpr qsizetype kUsageMap = 55;
constexpr qsizetype kFirstEntry = 63;
constexpr qsizetype kPhysicalIndexEntry = 12;
constexpr qsizetype kColumnEntry = 25;
constexpr qsizetype kLogicalIndexEntry = 28;
constexpr int kIndexColumns = 10;
constexpr std::uint16_t kMaxColumns = 256;
constexpr std::uint32_t kMaxIndexes = 1000;
// Continuation pages repeat the page header before their part of the definition.
constexpr qsizetype kContinuationHeader = 8;
constexpr std::uint8_t kFixedColumnFlag = 0x01;
// A relationship's own index entry shares its physical index with the user's.
constexpr std::uint8_t kRelationshipIndex = 2;

[[noreturn]] void damaged(std::uint32_t page, const QString& what) {
    malformed(QStringLiteral("The table definition on page %1 %2").arg(page).arg(what));
}

// Bounds-checked reads over a definition's bytes.
class DefinitionCursor {
public:
    DefinitionCursor(const QByteArray& bytes, std::uint32_t page)
        : m_bytes(bytes)
        , m_page(page) {}

    void seek(qsizetype pos) {
        need(pos, 0);
        m_pos = pos;
    }
    qsizetype pos() const { return m_pos; }
    void skip(qsizetype count) { seek(m_pos + count); }
    // need() has checked the bounds; GCC, seeing an empty QByteArray's one-byte buffer in a
    // static Qt (the Windows build), warns about reads that never happen.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    template <class T> T read() {
        need(m_pos, sizeof(T));
        const auto v = bytes::loadLittleEndian<T>(m_bytes.constData() + m_pos);
        m_pos += sizeof(T);
        return v;
    }
#pragma GCC diagnostic pop
    QString name() {
        const auto size = read<std::uint16_t>();
        need(m_pos, size);
        const QString text =
            decodeText(reinterpret_cast<const unsigned char*>(m_bytes.constData()) + m_pos, size);
        m_pos += size;
        return text;
    }
    [[noreturn]] void malformed(const QString& what) const {
        damaged(m_page, what);
    }

private:
    void need(qsizetype pos, qsizetype count) const {
        if (pos < 0 || count < 0 || pos + count > m_bytes.size())
            malformed(QStringLiteral("ends before its column and index lists."));
    }

    const QByteArray& m_bytes;
    std::uint32_t m_page;
    qsizetype m_pos = 0;
};

QByteArray definitionBytes(const PageFile& file, std::uint32_t first) {
    QByteArray bytes;
    std::vector<std::uint32_t> seen;
    for (std::uint32_t page = first; page != 0;) {
        if (std::find(seen.begin(), seen.end(), page) != seen.end())
            damaged(first, QStringLiteral("continues on page %1 a second time: its page chain "
                                          "loops.")
                               .arg(page));
        seen.push_back(page);
        const unsigned char* p = file.page(page);
        if (p[0] != DefinitionPage)
            damaged(first, QStringLiteral("continues on page %1, which is not a table "
                                          "definition page.")
                               .arg(page));
        const qsizetype skip = seen.size() == 1 ? 0 : kContinuationHeader;
        bytes.append(reinterpret_cast<const char*>(p) + skip, kPageSize - skip);
        page = bytes::loadLittleEndian<std::uint32_t>(p + 4);
    }
    return bytes;
}

} // namespace

QString columnTypeName(std::uint8_t type) {
    switch (type) {
    case Bool:
        return QStringLiteral("Yes/No");
    case Byte:
        return QStringLiteral("Byte");
    case Int:
        return QStringLiteral("Integer");
    case Long:
        return QStringLiteral("Long Integer");
    case Money:
        return QStringLiteral("Currency");
    case Float:
        return QStringLiteral("Single");
    case Double:
        return QStringLiteral("Double");
    case DateTime:
        return QStringLiteral("Date/Time");
    case Binary:
        return QStringLiteral("Binary");
    case Text:
        return QStringLiteral("Text");
    case Ole:
        return QStringLiteral("OLE Object");
    case Memo:
        return QStringLiteral("Memo");
    case Guid:
        return QStringLiteral("Replication ID");
    case Numeric:
        return QStringLiteral("Decimal");
    default:
        return QStringLiteral("type %1").arg(type);
    }
}

const Column* TableDefinition::column(const QString& name) const {
    for (const Column& c : columns) {
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

TableDefinition parseTableDefinition(const QByteArray& file, std::uint32_t page) {
    return parseTableDefinition(PageFile(file), page);
}

TableDefinition parseTableDefinition(const PageFile& file, std::uint32_t page) {
    const QByteArray bytes = definitionBytes(file, page);
    DefinitionCursor in(bytes, page);
    TableDefinition def;
    def.page = page;

    in.seek(kRowCount);
    def.rowCount = in.read<std::uint32_t>();
    in.seek(kVariableColumnCount);
    def.variableColumnCount = in.read<std::uint16_t>();
    const auto columnCount = in.read<std::uint16_t>();
    const auto logicalCount = in.read<std::uint32_t>();
    const auto physicalCount = in.read<std::uint32_t>();
    def.usageMap = in.read<std::uint32_t>();
    if (columnCount > kMaxColumns || logicalCount > kMaxIndexes || physicalCount > logicalCount)
        in.malformed(QStringLiteral("has column or index counts out of range (%1 columns, %2 "
                                    "and %3 indexes).")
                         .arg(columnCount)
                         .arg(logicalCount)
                         .arg(physicalCount));

    in.seek(kFirstEntry + static_cast<qsizetype>(physicalCount) * kPhysicalIndexEntry);
    def.columns.resize(columnCount);
    for (Column& c : def.columns) {
        const qsizetype entry = in.pos();
        c.type = in.read<std::uint8_t>();
        in.seek(entry + 5);
        c.number = in.read<std::uint16_t>();
        c.variableIndex = in.read<std::uint16_t>();
        c.otherNumber = in.read<std::uint16_t>();
        in.seek(entry + 15);
        c.fixed = (in.read<std::uint8_t>() & kFixedColumnFlag) != 0;
        in.seek(entry + 21);
        c.fixedOffset = in.read<std::uint16_t>();
        c.length = in.read<std::uint16_t>();
    }
    for (Column& c : def.columns)
        c.name = in.name();

    def.indexes.resize(physicalCount);
    for (Index& index : def.indexes) {
        in.skip(4);
        for (int k = 0; k < kIndexColumns; ++k) {
            const auto number = in.read<std::uint16_t>();
            in.skip(1); // sort order
            if (number != 0xffff)
                index.columnNumbers.push_back(number);
        }
        in.skip(4 + 4 + 1 + 9);
    }

    struct Logical {
        std::uint32_t physical;
        std::uint8_t kind;
    };
    std::vector<Logical> logical(logicalCount);
    for (Logical& l : logical) {
        const qsizetype entry = in.pos();
        in.seek(entry + 8);
        l.physical = in.read<std::uint32_t>();
        in.seek(entry + 23);
        l.kind = in.read<std::uint8_t>();
        in.seek(entry + kLogicalIndexEntry);
    }
    for (const Logical& l : logical) {
        const QString name = in.name();
        if (l.physical >= physicalCount)
            continue;
        QString& target = def.indexes[l.physical].name;
        // The user's name for an index is the better one to show.
        if (target.isEmpty() || l.kind != kRelationshipIndex)
            target = name;
    }
    return def;
}

} // namespace jet

} // namespace tolvane
