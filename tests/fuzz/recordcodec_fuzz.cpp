#include "core/patcherror.h"
#include "records/playerrecord.h"
#include "records/recordcodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace tolvane;

// Any bytes must either parse or end in a PatchError; what parses must write back to the
// same bytes it was read from, up to the trailing bytes the reader ignores.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        qsizetype end = 0;
        const std::vector<PlayerRecord> records = recordcodec::parseTeamList(input, end);
        if (end > input.size())
            std::abort();
        // An empty input and a list never created both read as no records.
        if (!records.empty() && recordcodec::serialiseTeamList(records) != input.first(end))
            std::abort();
    } catch (const PatchError&) {
    }
    return 0;
}
