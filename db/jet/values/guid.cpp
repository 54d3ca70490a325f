#include "db/jet/values/decoders_p.h"

#include "core/bytes.h"

namespace tolvane {

namespace jet {

// A Replication ID as Access shows it: its first three parts are little-endian numbers.
QVariant decodeReplicationId(const Field& field) {
    const unsigned char* b = need(field, 16);
    QString text = QStringLiteral("{%1-%2-%3-")
                       .arg(bytes::loadLittleEndian<std::uint32_t>(b), 8, 16, QLatin1Char('0'))
                       .arg(bytes::loadLittleEndian<std::uint16_t>(b + 4), 4, 16, QLatin1Char('0'))
                       .arg(bytes::loadLittleEndian<std::uint16_t>(b + 6), 4, 16, QLatin1Char('0'));
    for (int i = 8; i < 16; ++i) {
        if (i == 10)
            text += QLatin1Char('-');
        text += QStringLiteral("%1").arg(b[i], 2, 16, QLatin1Char('0'));
    }
    return text.toUpper() + QLatin1Char('}');
}

} // namespace jet

} // namespace tolvane
