#pragma once

#include <QString>
#include <QtGlobal>

namespace tolvane {

// "1 player", "2 players": n and the word for its number.
QString counted(qint64 n, const char* one, const char* many);

} // namespace tolvane
