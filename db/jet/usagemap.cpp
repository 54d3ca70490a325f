#include "db/jet/usagemap.h"

#include "core/bytes.h"

namespace tolvane {

namespace jet {

namespace {

// A page of usage bitmap starts with this header; its bits cover the pages after it.
constexpr qsizetype kBitmapPageHeader = 4;

enum MapKind : unsigned char {
    InlineMap = 0,  // a first page and a bitmap of the pages after it, in the row itself
    PagesOfMap = 1, // pointers to whole pages of bitmap, each covering the pages that follow
};

} // namespace

std::vector<std::uint32_t> usedPages(const PageFile& pages, std::uint32_t usageMap) {
    const RowBytes map = pages.row(rowAt(usageMap));
    std::vector<std::uint32_t> used;
    const auto add = [&](std::uint64_t page) {
        if (page >= pages.pageCount())
            malformed(QStringLiteral("The table's page usage map lists page %1, past the end of "
                                     "the file (%2 pages).")
                          .arg(page)
                          .arg(pages.pageCount()));
        used.push_back(static_cast<std::uint32_t>(page));
    };
    const auto scan = [&](const unsigned char* bits, qsizetype size, std::uint64_t first) {
        for (qsizetype i = 0; i < size; ++i) {
            for (int bit = 0; bits[i] != 0 && bit < 8; ++bit) {
                if (bits[i] & (1u << bit))
                    add(first + static_cast<std::uint64_t>(i) * 8 + bit);
            }
        }
    };
    if (map.size < 1)
        malformed(QStringLiteral("The table's page usage map is empty."));
    switch (map.data[0]) {
    case InlineMap:
        if (map.size < 5)
            malformed(QStringLiteral("The table's page usage map is shorter than its header."));
        scan(map.data + 5, map.size - 5, bytes::loadLittleEndian<std::uint32_t>(map.data + 1));
        break;
    case PagesOfMap: {
        const qsizetype bitmapBytes = pages.pageSize() - kBitmapPageHeader;
        for (qsizetype k = 0; 1 + 4 * (k + 1) <= map.size; ++k) {
            const auto bitmapPage = bytes::loadLittleEndian<std::uint32_t>(map.data + 1 + 4 * k);
            if (bitmapPage != 0)
                scan(pages.page(bitmapPage) + kBitmapPageHeader, bitmapBytes,
                     static_cast<std::uint64_t>(k) * bitmapBytes * 8);
        }
        break;
    }
    default:
        malformed(QStringLiteral("The table's page usage map is of an unknown kind (%1).")
                      .arg(map.data[0]));
    }
    return used;
}

} // namespace jet

} // namespace tolvane
