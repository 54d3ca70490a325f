#include "db/jet/values/decoders_p.h"

#include "core/bytes.h"

namespace tolvane {

namespace jet {

QVariant decodeYesNoByte(const Field& field) {
    return qint64(*need(field, 1) != 0 ? 1 : 0);
}

QVariant decodeByte(const Field& field) {
    return qint64(*need(field, 1));
}

QVariant decodeInteger(const Field& field) {
    return qint64(bytes::loadLittleEndian<std::int16_t>(need(field, 2)));
}

QVariant decodeLongInteger(const Field& field) {
    return qint64(bytes::loadLittleEndian<std::int32_t>(need(field, 4)));
}

QVariant decodeLargeNumber(const Field& field) {
    return qint64(bytes::loadLittleEndian<std::int64_t>(need(field, 8)));
}

} // namespace jet

} // namespace tolvane
