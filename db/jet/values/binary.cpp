#include "db/jet/values/decoders_p.h"

namespace tolvane {

namespace jet {

// The bytes as stored: Binary columns, and columns of a type no documentation describes.
QVariant decodeBinary(const Field& field) {
    return QByteArray(reinterpret_cast<const char*>(field.bytes.data()),
                      static_cast<qsizetype>(field.bytes.size()));
}

} // namespace jet

} // namespace tolvane
