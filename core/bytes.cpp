#include "core/bytes.h"

#include <QIODevice>

namespace tolvane {

namespace bytes {

bool writeWhole(QIODevice& device, QByteArrayView data) {
    while (!data.isEmpty()) {
        const qint64 written = device.write(data.data(), data.size());
        if (written <= 0)
            return false;
        data = data.sliced(written);
    }
    return true;
}

} // namespace bytes

} // namespace tolvane
