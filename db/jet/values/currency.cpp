#include "db/jet/values/decoders_p.h"

#include "core/bytes.h"

namespace tolvane {

namespace jet {

// Currency is a count of ten-thousandths; one division rounds it to the double nearest to
// the decimal value.
QVariant decodeCurrency(const Field& field) {
    return static_cast<double>(bytes::loadLittleEndian<std::int64_t>(need(field, 8))) / 10000.0;
}

} // namespace jet

} // namespace tolvane
