#include "db/jet/values/decoders_p.h"

namespace tolvane {

namespace jet {

// In the file's encoding (PageFile::text); a zero-length text is an empty, non-null string.
QVariant decodeText(const Field& field) {
    return field.pages.text(field.bytes.data(), static_cast<qsizetype>(field.bytes.size()));
}

} // namespace jet

} // namespace tolvane
