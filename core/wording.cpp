#include "core/wording.h"

namespace tolvane {

QString counted(qint64 n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace tolvane
