#include "db/jet/longvalue.h"
#include "db/jet/values/decoders_p.h"

namespace tolvane {

namespace jet {

namespace {

QString textOf(const Field& field, std::span<const unsigned char> bytes) {
    return field.pages.text(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

QVariant decodeMemo(const Field& field) {
    return textOf(field, longValue(field.pages, field.bytes, field.buffer));
}

QVariant decodeOle(const Field& field) {
    const auto value = longValue(field.pages, field.bytes, field.buffer);
    return QByteArray(reinterpret_cast<const char*>(value.data()),
                      static_cast<qsizetype>(value.size()));
}

// A calculated long value holds the whole calculated value, header and all.
QVariant decodeCalculatedMemo(const Field& field) {
    return textOf(field, calculatedValue(longValue(field.pages, field.bytes, field.buffer)));
}

QVariant decodeCalculatedOle(const Field& field) {
    const auto value = calculatedValue(longValue(field.pages, field.bytes, field.buffer));
    return QByteArray(reinterpret_cast<const char*>(value.data()),
                      static_cast<qsizetype>(value.size()));
}

} // namespace jet

} // namespace tolvane
