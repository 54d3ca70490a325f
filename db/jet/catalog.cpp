#include "db/jet/catalog.h"

#include "db/jet/storedrow.h"
#include "db/jet/tabledefinition.h"
#include "db/jet/usagemap.h"
#include "db/jet/values/decoders.h"

namespace tolvane {

namespace jet {

namespace {

constexpr std::uint32_t kCatalogPage = 2;
constexpr std::int16_t kTableObject = 1;
// Flags that mark one of Access's own tables.
constexpr std::uint32_t kSystemTableFlags = 0x80000002;
constexpr std::uint32_t kObjectPageMask = 0x00ffffff;

// A column of the catalogue the list reads, with its decoder.
struct CatalogColumn {
    CatalogColumn(const TableDefinition& catalog, const QString& name)
        : column(catalog.column(name)) {
        if (!column)
            malformed(QStringLiteral("The system catalogue has no column \"%1\".").arg(name));
        decoder = decoderFor(*column);
        if (!decoder.known)
            malformed(QStringLiteral("The system catalogue's column \"%1\" is of the %2.")
                          .arg(name, columnTypeName(column->type)));
    }
    const Column* column;
    ColumnDecoder decoder;
};

} // namespace

std::vector<CatalogEntry> readCatalog(const PageFile& pages) {
    const TableDefinition catalog = parseTableDefinition(pages, kCatalogPage);
    const CatalogColumn id(catalog, QStringLiteral("Id"));
    const CatalogColumn name(catalog, QStringLiteral("Name"));
    const CatalogColumn type(catalog, QStringLiteral("Type"));
    const CatalogColumn flags(catalog, QStringLiteral("Flags"));
    std::vector<CatalogEntry> tables;
    QByteArray buffer;
    forEachRow(pages, catalog, [&](const RowBytes& bytes, RowLocation) {
        const StoredRow row(bytes, catalog, pages.format());
        const auto value = [&](const CatalogColumn& c) {
            return cellValue(row, *c.column, c.decoder, pages, buffer);
        };
        if (value(type).toLongLong() != kTableObject ||
            (static_cast<std::uint32_t>(value(flags).toLongLong()) & kSystemTableFlags) != 0)
            return;
        tables.push_back({value(name).toString(),
                          static_cast<std::uint32_t>(value(id).toLongLong()) & kObjectPageMask});
    });
    return tables;
}

} // namespace jet

} // namespace tolvane
