#include "db/jet/tabledefinition.h"

#include "core/bytes.h"
#include "core/patcherror.h"

#include <algorithm>
#include <unordered_set>

namespace tolvane {

namespace jet {

namespace {

constexpr std::uint16_t kMaxColumns = 256;
constexpr std::uint32_t kMaxIndexes = 1000;
constexpr int kIndexColumns = 10;
// Continuation pages repeat the page header before their part of the definition.
constexpr qsizetype kContinuationHeader = 8;
constexpr qsizetype kNextPageOffset = 4;
constexpr std::uint8_t kFixedColumnFlag = 0x01;
constexpr std::uint8_t kCalculatedColumnFlags = 0xc0; // in the extended flags
// A relationship's own index entry shares its physical index with the user's.
constexpr std::uint8_t kRelationshipIndex = 2;

[[noreturn]] void damaged(std::uint32_t page, const QString& what) {
    malformed(QStringLiteral("The table definition on page %1 %2").arg(page).arg(what));
}

// Bounds-checked reads over a definition's bytes.
class DefinitionCursor {
public:
    DefinitionCursor(const QByteArray& bytes, const PageFile& file, std::uint32_t page)
        : m_bytes(bytes)
        , m_file(file)
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
    // The field of an entry that starts at entry, at the layout's offset.
    template <class T> T readAt(qsizetype entry, qsizetype offset) {
        seek(entry + offset);
        return read<T>();
    }
#pragma GCC diagnostic pop
    QString name(int lengthSize) {
        const qsizetype size = lengthSize == 1 ? read<std::uint8_t>() : read<std::uint16_t>();
        need(m_pos, size);
        const QString text =
            m_file.text(reinterpret_cast<const unsigned char*>(m_bytes.constData()) + m_pos, size);
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
    const PageFile& m_file;
    std::uint32_t m_page;
    qsizetype m_pos = 0;
};

QByteArray definitionBytes(const PageFile& file, std::uint32_t first) {
    QByteArray bytes;
    // A damaged file may chain every page it has; a set keeps the loop check linear.
    std::unordered_set<std::uint32_t> seen;
    for (std::uint32_t page = first; page != 0;) {
        if (seen.contains(page))
            damaged(first, QStringLiteral("continues on page %1 a second time: its page chain "
                                          "loops.")
                               .arg(page));
        seen.insert(page);
        const unsigned char* p = file.page(page);
        if (p[0] != DefinitionPage)
            damaged(first, QStringLiteral("continues on page %1, which is not a table "
                                          "definition page.")
                               .arg(page));
        const qsizetype skip = seen.size() == 1 ? 0 : kContinuationHeader;
        bytes.append(reinterpret_cast<const char*>(p) + skip, file.pageSize() - skip);
        page = bytes::loadLittleEndian<std::uint32_t>(p + kNextPageOffset);
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
    case Complex:
        return QStringLiteral("Attachment or multivalued list");
    case BigInt:
        return QStringLiteral("Large Number");
    case ExtendedDateTime:
        return QStringLiteral("Date/Time Extended");
    default:
        return QStringLiteral("unknown type 0x%1").arg(type, 2, 16, QLatin1Char('0'));
    }
}

const Column* TableDefinition::column(const QString& name) const {
    for (const Column& c : columns) {
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

TableDefinition parseTableDefinition(const PageFile& file, std::uint32_t page) {
    const DefinitionLayout& layout = file.format().definition;
    const QByteArray bytes = definitionBytes(file, page);
    DefinitionCursor in(bytes, file, page);
    TableDefinition def;
    def.page = page;

    def.rowCount = in.readAt<std::uint32_t>(0, layout.rowCount);
    def.variableColumnCount = in.readAt<std::uint16_t>(0, layout.variableColumnCount);
    const auto columnCount = in.readAt<std::uint16_t>(0, layout.columnCount);
    const auto logicalCount = in.readAt<std::uint32_t>(0, layout.logicalIndexCount);
    const auto physicalCount = in.readAt<std::uint32_t>(0, layout.physicalIndexCount);
    def.usageMap = in.readAt<std::uint32_t>(0, layout.usageMap);
    if (columnCount > kMaxColumns || logicalCount > kMaxIndexes || physicalCount > logicalCount)
        in.malformed(QStringLiteral("has column or index counts out of range (%1 columns, %2 "
                                    "and %3 indexes).")
                         .arg(columnCount)
                         .arg(logicalCount)
                         .arg(physicalCount));

    def.columns.resize(columnCount);
    qsizetype entry =
        layout.firstEntry + static_cast<qsizetype>(physicalCount) * layout.physicalIndexEntry;
    for (Column& c : def.columns) {
        c.type = in.readAt<std::uint8_t>(entry, layout.columnType);
        c.number = in.readAt<std::uint16_t>(entry, layout.columnNumber);
        c.variableIndex = in.readAt<std::uint16_t>(entry, layout.columnVariableIndex);
        c.otherNumber = in.readAt<std::uint16_t>(entry, layout.columnOtherNumber);
        c.precision = in.readAt<std::uint8_t>(entry, layout.columnPrecision);
        c.scale = in.readAt<std::uint8_t>(entry, layout.columnScale);
        c.fixed = (in.readAt<std::uint8_t>(entry, layout.columnFlags) & kFixedColumnFlag) != 0;
        if (layout.columnExtendedFlags >= 0)
            c.calculated = (in.readAt<std::uint8_t>(entry, layout.columnExtendedFlags) &
                            kCalculatedColumnFlags) != 0;
        c.fixedOffset = in.readAt<std::uint16_t>(entry, layout.columnFixedOffset);
        c.length = in.readAt<std::uint16_t>(entry, layout.columnLength);
        entry += layout.columnEntry;
    }
    in.seek(entry);
    for (Column& c : def.columns)
        c.name = in.name(layout.nameLengthSize);

    def.indexes.resize(physicalCount);
    for (Index& index : def.indexes) {
        in.skip(layout.indexColumnsBefore);
        for (int k = 0; k < kIndexColumns; ++k) {
            const auto number = in.read<std::uint16_t>();
            in.skip(1); // sort order
            if (number != 0xffff)
                index.columnNumbers.push_back(number);
        }
        in.skip(layout.indexColumnsAfter);
    }

    struct Logical {
        std::uint32_t physical;
        std::uint8_t kind;
    };
    std::vector<Logical> logical(logicalCount);
    for (Logical& l : logical) {
        entry = in.pos();
        l.physical = in.readAt<std::uint32_t>(entry, layout.logicalIndexPhysical);
        l.kind = in.readAt<std::uint8_t>(entry, layout.logicalIndexKind);
        in.seek(entry + layout.logicalIndexEntry);
    }
    for (const Logical& l : logical) {
        const QString name = in.name(layout.nameLengthSize);
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
