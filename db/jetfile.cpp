#include "db/jetfile.h"

#include "core/patcherror.h"
#include "players/valueconversion.h"

#include <QDate>
#include <QFile>

#include <bit>
#include <cmath>
#include <cstring>
#include <functional>

// libmdb's header wraps <glib.h> in extern "C", which g++ rejects unless glib comes first.
#include <glib.h>
#include <mdbtools.h>

namespace {

constexpr char kJetSignature[] = "Standard Jet DB";
constexpr char kAceSignature[] = "Standard ACE DB";
constexpr int kVersionOffset = 0x14;

// Row slots keep their offset in the low 13 bits; the bits above are flags.
constexpr std::uint16_t kSlotOffsetMask = 0x1fff;

// Callers check the bounds first; GCC cannot see that through an empty QByteArray's
// one-byte shared buffer and warns about reads it never makes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
#pragma GCC diagnostic pop
std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
template <class T> T loadLittleEndian(const unsigned char* p) {
    static_assert(std::endian::native == std::endian::little);
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Jet 4 texts are UTF-16LE, or, after the marker FF FE, "compressed": segments split by
// single zero bytes, alternately one byte and two bytes per character.
QString decodeText(const unsigned char* bytes, qsizetype size) {
    QString text(0, QChar()); // a zero-length text must not read back as NULL
    if (size < 2 || bytes[0] != 0xff || bytes[1] != 0xfe) {
        text.reserve(size / 2);
        for (qsizetype i = 0; i + 1 < size; i += 2)
            text.append(QChar(le16(bytes + i)));
        return text;
    }
    text.reserve(size);
    bool oneByte = true;
    qsizetype segment = 2;
    for (qsizetype i = 2; i <= size; ++i) {
        if (i < size && bytes[i] != 0)
            continue;
        if (oneByte) {
            for (qsizetype k = segment; k < i; ++k)
                text.append(QChar(bytes[k]));
        } else {
            for (qsizetype k = segment; k + 1 < i; k += 2)
                text.append(QChar(le16(bytes + k)));
        }
        oneByte = !oneByte;
        segment = i + 1;
    }
    return text;
}

// A date as the text an SQLite season database holds, when that text gives back exactly
// this instant; otherwise the day number itself, which readers take as it is.
QVariant dateValue(double day) {
    if (!std::isfinite(day) || day < -657434.0 || day >= 2958466.0)
        return day;
    const double whole = std::trunc(day);
    const auto seconds = std::llround(std::fabs(day - whole) * 86400.0);
    if (seconds >= 86400)
        return day;
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(whole));
    if (!date.isValid() || date.year() < 100 || date.year() > 9999)
        return day;
    QString text = QString::asprintf("%04d-%02d-%02d", date.year(), date.month(), date.day());
    if (seconds != 0)
        text +=
            QString::asprintf(" %02d:%02d:%02d", static_cast<int>(seconds / 3600),
                              static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    try {
        if (values::toOleDate(text) == day)
            return text;
    } catch (const values::ValueError&) {
    }
    return day;
}

// Bounds-checked reads over a table definition's bytes.
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
    void skip(qsizetype count) {
        need(m_pos, count);
        m_pos += count;
    }
    std::uint8_t u8() {
        need(m_pos, 1);
        return data()[m_pos++];
    }
    std::uint16_t u16() {
        need(m_pos, 2);
        const auto v = le16(data() + m_pos);
        m_pos += 2;
        return v;
    }
    std::uint32_t u32() {
        need(m_pos, 4);
        const auto v = le32(data() + m_pos);
        m_pos += 4;
        return v;
    }
    QString name() {
        const std::uint16_t size = u16();
        need(m_pos, size);
        const QString text = decodeText(data() + m_pos, size);
        m_pos += size;
        return text;
    }
    [[noreturn]] void malformed(const QString& what) const {
        throw PatchError(QStringLiteral("Cannot read a table definition of the Jet database"),
                         QStringLiteral("Definition page %1").arg(m_page), what);
    }

private:
    const unsigned char* data() const {
        return reinterpret_cast<const unsigned char*>(m_bytes.constData());
    }
    void need(qsizetype pos, qsizetype count) const {
        if (pos < 0 || count < 0 || pos + count > m_bytes.size())
            malformed(QStringLiteral("The definition ends before its column and index lists."));
    }

    const QByteArray& m_bytes;
    std::uint32_t m_page;
    qsizetype m_pos = 0;
};

QByteArray definitionBytes(const QByteArray& file, std::uint32_t page) {
    QByteArray bytes;
    std::uint32_t current = page;
    for (int pages = 0; current != 0; ++pages) {
        const qsizetype start = static_cast<qsizetype>(current) * jet::kPageSize;
        if (pages > 4096 || start + jet::kPageSize > file.size())
            throw PatchError(QStringLiteral("Cannot read a table definition of the Jet database"),
                             QStringLiteral("Definition page %1").arg(page),
                             QStringLiteral("Its page chain leads outside the file."));
        const auto* p = reinterpret_cast<const unsigned char*>(file.constData() + start);
        if (p[0] != 0x02)
            throw PatchError(
                QStringLiteral("Cannot read a table definition of the Jet database"),
                QStringLiteral("Definition page %1").arg(page),
                QStringLiteral("Page %1 is not a table definition page.").arg(current));
        // Continuation pages repeat an 8-byte page header before their part of the definition.
        const qsizetype skip = pages == 0 ? 0 : 8;
        bytes.append(reinterpret_cast<const char*>(p) + skip, jet::kPageSize - skip);
        current = le32(p + 4);
    }
    return bytes;
}

} // namespace

DatabaseFormat detectDatabaseFormat(const QByteArray& head) {
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return DatabaseFormat::Sqlite;
    if (head.size() < kVersionOffset + 4 || !head.startsWith(QByteArrayLiteral("\0\1\0\0")))
        return DatabaseFormat::Unknown;
    const QByteArray signature = head.mid(4, 16);
    const auto version =
        le32(reinterpret_cast<const unsigned char*>(head.constData() + kVersionOffset));
    if (signature == QByteArray(kJetSignature, sizeof kJetSignature)) {
        if (version == MDB_VER_JET3)
            return DatabaseFormat::Jet3;
        if (version == MDB_VER_JET4)
            return DatabaseFormat::Jet4;
        return DatabaseFormat::Unknown;
    }
    if (signature == QByteArray(kAceSignature, sizeof kAceSignature))
        return DatabaseFormat::Ace;
    return DatabaseFormat::Unknown;
}

DatabaseFormat detectDatabaseFormat(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PatchError(QStringLiteral("Cannot open the season database"), path,
                         file.errorString());
    return detectDatabaseFormat(file.read(64));
}

QString databaseFormatName(DatabaseFormat format) {
    switch (format) {
    case DatabaseFormat::Sqlite:
        return QStringLiteral("an SQLite 3 database");
    case DatabaseFormat::Jet3:
        return QStringLiteral("a Microsoft Jet 3 database (Access 97)");
    case DatabaseFormat::Jet4:
        return QStringLiteral("a Microsoft Jet 4 database (Access 2000 to 2003)");
    case DatabaseFormat::Ace:
        return QStringLiteral("a Microsoft ACE database (Access 2007 or later, .accdb)");
    case DatabaseFormat::Unknown:
        break;
    }
    return QStringLiteral("neither an SQLite database nor a Microsoft Access database");
}

namespace jet {

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

int Table::columnIndex(const QString& name) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

TableDefinition parseTableDefinition(const QByteArray& file, std::uint32_t page) {
    const QByteArray bytes = definitionBytes(file, page);
    DefinitionCursor in(bytes, page);
    TableDefinition def;
    def.page = page;

    // Jet 4 layout: counts at fixed offsets, then the physical index entries (12 bytes
    // each), the column entries (25 bytes each), the column names, the physical index
    // column lists (52 bytes each), the logical index entries (28 bytes each) and their names.
    in.seek(16);
    def.rowCount = in.u32();
    in.seek(43);
    def.variableColumnCount = in.u16();
    const std::uint16_t columnCount = in.u16();
    const std::uint32_t logicalCount = in.u32();
    const std::uint32_t physicalCount = in.u32();
    if (columnCount > MDB_MAX_COLS || logicalCount > 1000 || physicalCount > logicalCount)
        in.malformed(QStringLiteral("Its column or index counts are out of range."));

    in.seek(63 + static_cast<qsizetype>(physicalCount) * 12);
    def.columns.resize(columnCount);
    for (Column& c : def.columns) {
        const qsizetype entry = in.pos();
        c.type = in.u8();
        in.seek(entry + 5);
        c.number = in.u16();
        in.seek(entry + 9);
        c.otherNumber = in.u16();
        in.seek(entry + 15);
        c.fixed = (in.u8() & 0x01) != 0;
        in.seek(entry + 21);
        c.fixedOffset = in.u16();
        c.length = in.u16();
    }
    for (Column& c : def.columns)
        c.name = in.name();

    def.indexes.resize(physicalCount);
    for (Index& index : def.indexes) {
        in.skip(4);
        for (int k = 0; k < MDB_MAX_IDX_COLS; ++k) {
            const std::uint16_t number = in.u16();
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
        l.physical = in.u32();
        in.seek(entry + 23);
        l.kind = in.u8();
        in.seek(entry + 28);
    }
    for (std::uint32_t i = 0; i < logicalCount; ++i) {
        const QString name = in.name();
        const Logical& l = logical[i];
        if (l.physical >= physicalCount)
            continue;
        QString& target = def.indexes[l.physical].name;
        // A relationship's own index entry (kind 2) shares the physical index; the
        // user's name for it is the better one to show.
        if (target.isEmpty() || l.kind != 2)
            target = name;
    }
    return def;
}

namespace {

struct HandleCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
struct TableFreer {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

[[noreturn]] void rowError(const QString& path, const QString& table, std::size_t row,
                           const QString& cause) {
    throw PatchError(QStringLiteral("Cannot read the Jet database"),
                     QStringLiteral("%1\nTable %2, row %3").arg(path, table).arg(row + 1), cause);
}

// A Memo or OLE value: 12 header bytes, then the data inline, or a pointer to one row of
// a long-value page, or to a chain of such rows each starting with the next pointer.
QByteArray readLongValue(MdbHandle* mdb, const unsigned char* field, int size,
                         const std::function<void(const QString&)>& fail) {
    if (size < MDB_MEMO_OVERHEAD)
        fail(QStringLiteral("A memo value is shorter than its header."));
    const std::uint32_t header = le32(field);
    const std::uint32_t length = header & 0x3fffffff;
    if (header & 0x80000000u) {
        if (static_cast<qint64>(length) + MDB_MEMO_OVERHEAD > size)
            fail(QStringLiteral("An inline memo value runs past its row."));
        return QByteArray(reinterpret_cast<const char*>(field + MDB_MEMO_OVERHEAD), length);
    }
    std::uint32_t pageRow = le32(field + 4);
    const bool singleRow = (header & 0x40000000u) != 0;
    QByteArray value;
    value.reserve(length);
    for (int hops = 0; value.size() < static_cast<qsizetype>(length); ++hops) {
        if (pageRow == 0 || hops > 1'000'000)
            fail(QStringLiteral("A memo value's page chain ends early."));
        void* buffer = nullptr;
        int start = 0;
        size_t rowSize = 0;
        if (mdb_find_pg_row(mdb, static_cast<int>(pageRow), &buffer, &start, &rowSize) != 0)
            fail(QStringLiteral("A memo value points to a page that cannot be read."));
        start &= kSlotOffsetMask;
        if (start + rowSize > static_cast<size_t>(jet::kPageSize) || (!singleRow && rowSize < 4))
            fail(QStringLiteral("A memo value points to a malformed row."));
        const auto* row = static_cast<const unsigned char*>(buffer) + start;
        if (singleRow) {
            if (rowSize < length)
                fail(QStringLiteral("A memo value is longer than its row."));
            value.append(reinterpret_cast<const char*>(row), length);
            break;
        }
        pageRow = le32(row);
        value.append(reinterpret_cast<const char*>(row) + 4, static_cast<qsizetype>(rowSize) - 4);
    }
    value.truncate(length);
    return value;
}

} // namespace

struct Reader::Impl {
    QString path;
    std::unique_ptr<MdbHandle, HandleCloser> mdb;

    MdbCatalogEntry* findTable(const QString& name) const {
        GPtrArray* catalog = mdb->catalog;
        for (guint i = 0; catalog && i < catalog->len; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
            if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry) &&
                QString::fromUtf8(entry->object_name).compare(name, Qt::CaseInsensitive) == 0)
                return entry;
        }
        return nullptr;
    }

    QVariant value(const Table& table, std::size_t row, const Column& column, const MdbField& f);
};

Reader::Reader(const QString& path)
    : d(std::make_unique<Impl>()) {
    d->path = path;
    const DatabaseFormat format = detectDatabaseFormat(path);
    if (format != DatabaseFormat::Jet4)
        throw PatchError(QStringLiteral("Cannot open the season database"), path,
                         QStringLiteral("The file is %1; only Microsoft Jet 4 files (Access 2000 "
                                        "to 2003) and SQLite files can be read.")
                             .arg(databaseFormatName(format)));
    d->mdb.reset(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
    if (!d->mdb || !mdb_read_catalog(d->mdb.get(), MDB_TABLE))
        throw PatchError(QStringLiteral("Cannot open the season database"), path,
                         QStringLiteral("The Jet database's catalog cannot be read."));
}

Reader::~Reader() = default;

bool Reader::encrypted() const {
    return d->mdb->f->db_key != 0;
}

QStringList Reader::tableNames() const {
    QStringList names;
    GPtrArray* catalog = d->mdb->catalog;
    for (guint i = 0; catalog && i < catalog->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            names << QString::fromUtf8(entry->object_name);
    }
    return names;
}

QVariant Reader::Impl::value(const Table& table, std::size_t row, const Column& column,
                             const MdbField& f) {
    if (column.type == Bool) // Yes/No lives in the null mask: a set bit is Yes
        return qint64(f.is_null ? 0 : 1);
    if (f.is_null)
        return QVariant();
    const auto* bytes = static_cast<const unsigned char*>(f.value);
    const auto fail = [&](const QString& cause) { rowError(path, table.name, row, cause); };
    const auto need = [&](int size) {
        if (f.siz < size || !bytes)
            fail(QStringLiteral("The column \"%1\" holds %2 bytes; its type %3 needs %4.")
                     .arg(column.name)
                     .arg(f.siz)
                     .arg(columnTypeName(column.type))
                     .arg(size));
    };
    switch (column.type) {
    case Byte:
        need(1);
        return qint64(bytes[0]);
    case Int:
        need(2);
        return qint64(loadLittleEndian<std::int16_t>(bytes));
    case Long:
        need(4);
        return qint64(loadLittleEndian<std::int32_t>(bytes));
    case Money:
        // Currency is a count of ten-thousandths; one division rounds it to the double
        // nearest to the decimal value.
        need(8);
        return static_cast<double>(loadLittleEndian<std::int64_t>(bytes)) / 10000.0;
    case Float:
        need(4);
        return static_cast<double>(loadLittleEndian<float>(bytes));
    case Double:
        need(8);
        return loadLittleEndian<double>(bytes);
    case DateTime:
        need(8);
        return dateValue(loadLittleEndian<double>(bytes));
    case Text:
        return decodeText(bytes, f.siz);
    case Memo: {
        const QByteArray raw = readLongValue(mdb.get(), bytes, f.siz, fail);
        // An empty memo is an empty text; its buffer is not worth handing on.
        if (raw.isEmpty())
            return QString(0, QChar());
        return decodeText(reinterpret_cast<const unsigned char*>(raw.constData()), raw.size());
    }
    case Ole:
        return readLongValue(mdb.get(), bytes, f.siz, fail);
    case Binary:
        return QByteArray(reinterpret_cast<const char*>(bytes), f.siz);
    default: {
        char* text = mdb_col_to_string(mdb.get(), mdb->pg_buf, f.start, column.type, f.siz);
        const QString result = QString::fromUtf8(text);
        g_free(text);
        return result;
    }
    }
}

std::optional<Table> Reader::readTable(const QString& name) {
    MdbCatalogEntry* entry = d->findTable(name);
    if (!entry)
        return std::nullopt;
    MdbHandle* mdb = d->mdb.get();
    Table table;
    table.name = QString::fromUtf8(entry->object_name);
    table.definitionPage = static_cast<std::uint32_t>(entry->table_pg);
    table.encrypted = encrypted();

    std::unique_ptr<MdbTableDef, TableFreer> def(mdb_read_table(entry));
    if (!def || !mdb_read_columns(def.get()))
        throw PatchError(QStringLiteral("Cannot read the Jet database"),
                         QStringLiteral("%1\nTable %2").arg(d->path, table.name),
                         QStringLiteral("The table's definition cannot be read."));
    for (guint i = 0; i < def->columns->len; ++i) {
        const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(def->columns, i));
        Column c;
        c.name = QString::fromUtf8(col->name);
        c.type = static_cast<std::uint8_t>(col->col_type);
        c.number = static_cast<std::uint16_t>(col->col_num);
        c.otherNumber = static_cast<std::uint16_t>(col->row_col_num);
        c.fixed = col->is_fixed != 0;
        c.fixedOffset = static_cast<std::uint16_t>(col->fixed_offset);
        c.length = static_cast<std::uint16_t>(col->col_size);
        table.columns.push_back(std::move(c));
    }

    std::vector<MdbField> fields(MDB_MAX_COLS);
    mdb_rewind_table(def.get());
    while (mdb_fetch_row(def.get())) {
        const std::size_t row = table.rows.size();
        const RowLocation at{def->cur_phys_pg, static_cast<std::uint16_t>(def->cur_row - 1)};
        if (mdb->cur_pg != at.page && mdb_read_pg(mdb, at.page) != static_cast<ssize_t>(kPageSize))
            rowError(d->path, table.name, row, QStringLiteral("Its page cannot be read."));
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, at.slot, &start, &size) != 0 ||
            mdb_crack_row(def.get(), start & kSlotOffsetMask, size, fields.data()) !=
                static_cast<int>(table.columns.size()))
            rowError(d->path, table.name, row, QStringLiteral("The row cannot be decoded."));
        std::vector<QVariant> values;
        values.reserve(table.columns.size());
        for (std::size_t c = 0; c < table.columns.size(); ++c)
            values.push_back(d->value(table, row, table.columns[c], fields[c]));
        table.rows.push_back(std::move(values));
        table.locations.push_back(at);
    }
    // libmdb passes over rows whose slot carries a flag (overflow rows among them); a
    // count that differs from the definition's means rows would be lost or invented.
    if (table.rows.size() != def->num_rows)
        throw PatchError(QStringLiteral("Cannot read the Jet database"),
                         QStringLiteral("%1\nTable %2").arg(d->path, table.name),
                         QStringLiteral("The table holds %1 rows, but %2 could be read; some rows "
                                        "are stored in a way this program cannot read. Compact "
                                        "and repair the database in Access, then try again.")
                             .arg(def->num_rows)
                             .arg(table.rows.size()));
    return table;
}

} // namespace jet
