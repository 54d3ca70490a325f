#include "db/jet/reader.h"

#include "core/fileops.h"
#include "core/patcherror.h"
#include "db/jet/storedrow.h"
#include "db/jet/usagemap.h"
#include "db/jet/values/decoders.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>

namespace tolvane {

namespace jet {

namespace {

// A first allocation for a table's rows: the count its definition keeps is only a hint.
constexpr std::size_t kMostRowsReserved = 65536;

QString rowTarget(const QString& path, const QString& table, std::size_t row, RowLocation at) {
    return QStringLiteral("%1\nTable %2, row %3 (page %4, slot %5)")
        .arg(path, table)
        .arg(row + 1)
        .arg(at.page)
        .arg(at.slot);
}

[[noreturn]] void rethrowAt(const PatchError& e, const QString& target, const QString& column) {
    throw PatchError(e.operation(), target,
                     column.isEmpty() ? e.cause()
                                      : QStringLiteral("Column \"%1\": %2").arg(column, e.cause()));
}

// Why the reader leaves a column out of its table; empty when it reads it.
QString leftOutReason(const Column& column) {
    if (column.type == Complex)
        return QStringLiteral("an attachment or multivalued list, whose values Access keeps "
                              "in hidden tables");
    return QString();
}

// The table's columns in the order SELECT * lists them, each with its decoder; those left
// out and those of an unknown type are named in the table.
std::vector<ColumnDecoder> tableColumns(const TableDefinition& def, Table& table) {
    std::vector<Column> columns = def.columns;
    std::stable_sort(columns.begin(), columns.end(),
                     [](const Column& a, const Column& b) { return a.number < b.number; });
    std::vector<ColumnDecoder> decoders;
    for (Column& column : columns) {
        const QString reason = leftOutReason(column);
        if (!reason.isEmpty()) {
            table.leftOut.push_back({column.name, reason});
            continue;
        }
        decoders.push_back(decoderFor(column));
        if (!decoders.back().known)
            table.rawBytes.push_back(
                {column.name, column.type,
                 QStringLiteral("its type (%1) is one no documentation of the Access format "
                                "describes, so its values are the bytes the file stores")
                     .arg(columnTypeName(column.type))});
        table.columns.push_back(std::move(column));
    }
    return decoders;
}

// Names of the code pages Windows uses for the texts of Access 97 files.
QString codePageName(std::uint16_t codePage) {
    switch (codePage) {
    case 874:
        return QStringLiteral(" (Thai)");
    case 932:
        return QStringLiteral(" (Japanese)");
    case 936:
        return QStringLiteral(" (Simplified Chinese)");
    case 949:
        return QStringLiteral(" (Korean)");
    case 950:
        return QStringLiteral(" (Traditional Chinese)");
    case 1250:
        return QStringLiteral(" (Central European)");
    case 1251:
        return QStringLiteral(" (Cyrillic)");
    case 1253:
        return QStringLiteral(" (Greek)");
    case 1254:
        return QStringLiteral(" (Turkish)");
    case 1255:
        return QStringLiteral(" (Hebrew)");
    case 1256:
        return QStringLiteral(" (Arabic)");
    case 1257:
        return QStringLiteral(" (Baltic)");
    case 1258:
        return QStringLiteral(" (Vietnamese)");
    default:
        return QString();
    }
}

} // namespace

int Table::columnIndex(const QString& name) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

const RawColumn* Table::rawColumn(const QString& name) const {
    for (const RawColumn& column : rawBytes) {
        if (column.name.compare(name, Qt::CaseInsensitive) == 0)
            return &column;
    }
    return nullptr;
}

QByteArray fileDigest(QByteArrayView bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_256);
}

QByteArray fileDigest(const QString& path, const QString& operation) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Blake2b_256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        throw PatchError(operation, path, file.errorString());
    return hash.result();
}

Reader::Reader(const QString& path, const QString& operation)
    : Reader(path, fileops::readWholeFile(path, operation), operation) {}

Reader::Reader(const QString& path, QByteArray contents, const QString& operation)
    : m_path(path)
    , m_file(std::move(contents)) {
    const std::optional<FileHeader> header = readHeader(m_file);
    if (!header)
        throw PatchError(operation, path,
                         QStringLiteral("The file is not a Microsoft Access database."));
    if (header->encrypted())
        throw PatchError(operation, path, encryptedReason(header->format->engine));
    const Format* format = header->format;
    try {
        m_pages.emplace(m_file, *format);
    } catch (const PatchError& e) {
        rethrowAt(e, path, QString());
    }
    const std::uint16_t codePage = header->codePage;
    if (format->text == TextEncoding::CodePage && codePage != kWesternCodePage)
        throw PatchError(operation, path,
                         QStringLiteral("The file is %1 whose texts are in code page %2%3, and "
                                        "the program reads such files only in code page 1252 "
                                        "(Western European). Save it in Access as an Access "
                                        "2000 or later database, whose texts are Unicode.")
                             .arg(formatName(format->engine, false))
                             .arg(codePage)
                             .arg(codePageName(codePage)));
    try {
        m_tables = readCatalog(*m_pages);
    } catch (const PatchError& e) {
        rethrowAt(e, QStringLiteral("%1\nSystem catalogue").arg(path), QString());
    }
}

Reader::~Reader() = default;

QByteArray Reader::digest() const {
    if (m_digest.isEmpty())
        m_digest = fileDigest(m_file);
    return m_digest;
}

QStringList Reader::tableNames() const {
    QStringList names;
    for (const CatalogEntry& entry : m_tables)
        names << entry.name;
    return names;
}

std::optional<Table> Reader::streamTable(const QString& name, const TableStart& start,
                                         const RowVisitor& visit) const {
    const auto entry = std::find_if(m_tables.begin(), m_tables.end(), [&](const CatalogEntry& e) {
        return e.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (entry == m_tables.end())
        return std::nullopt;
    Table table;
    table.name = entry->name;
    table.definitionPage = entry->page;
    table.fileDigest = digest();
    const QString tableTarget = QStringLiteral("%1\nTable %2").arg(m_path, table.name);

    TableDefinition def;
    try {
        def = parseTableDefinition(*m_pages, entry->page);
    } catch (const PatchError& e) {
        rethrowAt(e, tableTarget, QString());
    }
    const std::vector<ColumnDecoder> decoders = tableColumns(def, table);
    table.locations.reserve(std::min<std::size_t>(def.rowCount, kMostRowsReserved));
    if (start)
        start(table);

    // Where a failure happened, for its message: the row being read, and its column.
    std::optional<RowLocation> inRow;
    const Column* current = nullptr;
    QByteArray buffer;
    std::vector<QVariant> values(table.columns.size());
    try {
        forEachRow(*m_pages, def, [&](const RowBytes& bytes, RowLocation location) {
            inRow = location;
            const StoredRow row(bytes, def, format());
            for (std::size_t c = 0; c < table.columns.size(); ++c) {
                current = &table.columns[c];
                values[c] = cellValue(row, *current, decoders[c], *m_pages, buffer);
            }
            current = nullptr;
            visit(values);
            inRow.reset();
            table.locations.push_back(location);
        });
    } catch (const PatchError& e) {
        if (!inRow)
            rethrowAt(e, tableTarget, QString());
        rethrowAt(e, rowTarget(m_path, table.name, table.locations.size(), *inRow),
                  current ? current->name : QString());
    }
    return table;
}

} // namespace jet

} // namespace tolvane
