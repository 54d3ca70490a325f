#pragma once

#include "db/jet/pages.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace tolvane {

namespace jet {

// A user table the system catalogue lists: its name and the first page of its definition.
struct CatalogEntry {
    QString name;
    std::uint32_t page = 0;
};

// The user tables of the file, as its system catalogue (MSysObjects, whose definition starts
// on page 2) lists them, in stored order; Access's own tables are left out. A catalogue
// that lacks a column the list needs, or is damaged, throws.
std::vector<CatalogEntry> readCatalog(const PageFile& pages);

} // namespace jet

} // namespace tolvane
