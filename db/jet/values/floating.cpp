#include "db/jet/values/decoders_p.h"

#include "core/bytes.h"

namespace tolvane {

namespace jet {

QVariant decodeSingle(const Field& field) {
    return static_cast<double>(bytes::loadLittleEndian<float>(need(field, 4)));
}

QVariant decodeDouble(const Field& field) {
    return bytes::loadLittleEndian<double>(need(field, 8));
}

} // namespace jet

} // namespace tolvane
