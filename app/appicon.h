#pragma once

class QIcon;

namespace tolvane {

// The program's picture, a football on a sky-blue tile: the window's icon, and on Windows
// also the exe's file icon, both from app/tolvane-patch.ico.
QIcon appIcon();

} // namespace tolvane
