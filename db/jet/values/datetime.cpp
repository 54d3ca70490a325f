#include "db/jet/values/decoders_p.h"

#include "core/bytes.h"
#include "core/oledate.h"

namespace tolvane {

namespace jet {

// A day number counted from 1899-12-30, its fraction the time of day: given as its text,
// or as the number where the text would not give back the same instant.
QVariant decodeDateTime(const Field& field) {
    const double day = bytes::loadLittleEndian<double>(need(field, 8));
    const QString text = oledate::toText(day);
    if (text.isEmpty())
        return day;
    return text;
}

} // namespace jet

} // namespace tolvane
