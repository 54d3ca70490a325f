#pragma once

#include <QStringList>

namespace tolvane::elevation {

// Whether this program may start itself again with an administrator's rights that it lacks
// now: on Windows, a program not started "as administrator". Elsewhere, never.
bool canRestartElevated();

// Starts this program again "as administrator", with arguments, through the system (which
// asks the user first). Returns false when it did not start: the user said no, or the
// system refused.
bool restartElevated(const QStringList& arguments);

} // namespace tolvane::elevation
