#pragma once

#include <QFile>
#include <QTemporaryDir>

namespace tolvane {

// True when a read-only file does not hold this process back: root's on Linux, and a
// Windows program's under Wine run by root, as Wine leaves the check to Linux.
inline bool permissionsBypassed() {
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("probe"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.close();
    QFile::setPermissions(path, QFile::ReadOwner);
    const bool bypassed = file.open(QIODevice::WriteOnly | QIODevice::Append);
    file.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return bypassed;
}

} // namespace tolvane
