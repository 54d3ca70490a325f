#include "core/patcherror.h"
#include "tools/roster/rosterdiff.h"
#include "tools/roster/rosterformats.h"
#include "tools/roster/teamlistfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace tolvane;

// Whatever reads as a team list must come back byte for byte through the JSON of dump
// and build, and equal itself in a diff. Whatever does not is tried as JSON for build:
// it must end in a PatchError or a list, never in a crash.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TeamListFile list;
    try {
        list = parseTeamListFile(input);
    } catch (const PatchError&) {
        try {
            serialiseTeamListFile(rosterformats::fromJson(input));
        } catch (const PatchError&) {
        }
        return 0;
    }
    if (serialiseTeamListFile(rosterformats::fromJson(rosterformats::toJson(list))) != input)
        std::abort();
    if (!rosterdiff::compareLists(list, list).isEmpty())
        std::abort();
    rosterformats::toCsv(list);
    return 0;
}
