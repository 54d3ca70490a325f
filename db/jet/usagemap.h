#pragma once

#include "db/jet/pages.h"
#include "db/jet/tabledefinition.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tolvane {

namespace jet {

// The pages a table's usage map (the row usageMap points to) lists, in ascending order, each
// once: a first page and a bitmap of the pages after it in the row itself, or pointers to
// whole pages of bitmap. A page past the end of the file, or a map of an unknown kind,
// throws.
std::vector<std::uint32_t> usedPages(const PageFile& pages, std::uint32_t usageMap);

// Calls visit(RowBytes, RowLocation) for every row the table's data pages list, in order,
// moved rows read where their pointers lead and given with the location of their pointer.
template <class Visit>
void forEachRow(const PageFile& pages, const TableDefinition& definition, Visit visit) {
    for (const std::uint32_t page : usedPages(pages, definition.usageMap)) {
        // Pages a table gave up stay in its map; only its own data pages hold its rows.
        if (!pages.isDataPageOf(page, definition.page))
            continue;
        const std::uint16_t rowCount = pages.slotCount(page);
        for (std::uint16_t slot = 0; slot < rowCount; ++slot) {
            const RowLocation listed{page, slot};
            // A deleted row's bounds mean nothing; it is passed over unread, and so is a
            // moved row's data, which its pointer leads to.
            const std::optional<RowLocation> data = pages.dataOf(listed, definition.page);
            if (data)
                visit(pages.row(*data), listed);
        }
    }
}

} // namespace jet

} // namespace tolvane
