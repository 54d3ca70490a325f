#include "core/bytes.h"
#include "core/patcherror.h"
#include "db/jet/reader.h"
#include "support/jettable.h"
#include "support/jetwriter.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace tolvane;

// Feeds damaged Access files to the reader. Whole files at random mostly die at the header,
// so an input is read as edits of one of the fixtures instead: its first byte picks the
// fixture, then each edit names one of the pages the reader visits (catalogue, table
// definitions, usage maps, data pages), an offset in it and the bytes to write there; an
// edit of no bytes cuts the file at that point. The input is also tried as a file of its own.
// The reader may refuse a file only with a PatchError; anything else is a bug. The fixtures
// are the Jet 4 seasons of tests/data/jet, then a season written by the test writer in
// Jet 3 and one in ACE, both with moved rows, the ACE one with Decimal columns and its
// memos on long-value pages.
namespace {

struct Fixture {
    QByteArray bytes;
    std::vector<std::uint32_t> pages; // the pages worth damaging
};

void readEverything(const QByteArray& file) {
    try {
        const jet::Reader reader(QStringLiteral("fuzz.mdb"), file);
        for (const QString& name : reader.tableNames())
            jettable::read(reader, name);
    } catch (const PatchError&) {
    }
}

std::vector<Fixture> loadFixtures() {
    std::vector<QByteArray> files;
    const QDir dir(QStringLiteral(TOLVANE_JET_FIXTURES));
    for (const QString& name : dir.entryList({QStringLiteral("*.mdb")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            files.push_back(file.readAll());
    }
    const jetwriter::SeasonLayout written[] = {
        {"Jet3", {&jet::kJet3Format, 0}, true},
        {"Ace", {&jet::kAceFormat, 3, 0}, true, true},
    };
    for (const jetwriter::SeasonLayout& layout : written)
        files.push_back(jetwriter::seasonFile(dir.path(), QStringLiteral("season-b"), layout));

    std::vector<Fixture> fixtures;
    for (QByteArray& bytes : files) {
        Fixture f;
        f.bytes = std::move(bytes);
        const jet::Reader reader(QStringLiteral("fixture.mdb"), f.bytes);
        const jet::PageFile pages(f.bytes, reader.format());
        f.pages.push_back(0);
        f.pages.push_back(2);
        for (const QString& table : reader.tableNames()) {
            const jettable::WholeTable t = *jettable::read(reader, table);
            const jet::TableDefinition def = jet::parseTableDefinition(pages, t.definitionPage);
            f.pages.push_back(t.definitionPage);
            f.pages.push_back(jet::rowAt(def.usageMap).page);
            for (const jet::RowLocation& at : t.locations) {
                if (f.pages.back() != at.page)
                    f.pages.push_back(at.page);
            }
        }
        fixtures.push_back(std::move(f));
    }
    if (fixtures.empty()) {
        std::fprintf(stderr, "No Jet fixtures in %s\n", TOLVANE_JET_FIXTURES);
        std::abort();
    }
    return fixtures;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<Fixture> fixtures = loadFixtures();
    readEverything(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (size == 0)
        return 0;

    const Fixture& fixture = fixtures[data[0] % fixtures.size()];
    QByteArray file = fixture.bytes;
    const qsizetype pageSize = jet::readHeader(file)->format->pageSize;
    std::size_t pos = 1;
    while (pos + 4 <= size) {
        const std::uint32_t page = fixture.pages[data[pos] % fixture.pages.size()];
        const qsizetype offset =
            page * pageSize + bytes::loadLittleEndian<std::uint16_t>(data + pos + 1) % pageSize;
        const std::size_t length = data[pos + 3];
        pos += 4;
        if (length == 0) {
            file.truncate(std::min(offset, file.size()));
            continue;
        }
        for (std::size_t i = 0; i < length && pos < size; ++i, ++pos) {
            if (offset + static_cast<qsizetype>(i) < file.size())
                file[offset + static_cast<qsizetype>(i)] = static_cast<char>(data[pos]);
        }
    }
    readEverything(file);
    return 0;
}
