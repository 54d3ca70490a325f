#pragma once

#include <QString>

#include <functional>

namespace tolvane {

// Runs body where file permissions bind, for tests of what they refuse: root may read and
// write any file whatever its permissions. Run by root, body runs in a child process as the
// user nobody, who is first given folder and everything in it; the child's failures are
// reported as this test's own. Run by anyone else, body simply runs; on Windows, unless
// permissions do not bind the process at all, and then the test is skipped.
void runAsOrdinaryUser(const QString& folder, const std::function<void()>& body);

} // namespace tolvane
