#include "app/appicon.h"

#include <QIcon>

namespace tolvane {

QIcon appIcon() {
    // Every size the file holds; Qt picks the one that fits where the icon is shown.
    return QIcon(QStringLiteral(":/tolvane-patch.ico"));
}

} // namespace tolvane
