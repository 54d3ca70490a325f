#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>

#include <utility>
#include <vector>

namespace tolvane {

// Points the temporary folder of this process (and of the programs it starts) at a folder of
// the test's own while it lives, so that what a run leaves there is its own and not that of
// a test running beside it.
class OwnTemporaryFolder {
public:
    explicit OwnTemporaryFolder(const QString& folder) {
        QDir().mkpath(folder);
        for (const char* variable : {"TMPDIR", "TMP", "TEMP"}) {
            m_before.emplace_back(variable, qgetenv(variable));
            qputenv(variable, QDir::toNativeSeparators(folder).toLocal8Bit());
        }
    }
    ~OwnTemporaryFolder() {
        for (const auto& [variable, value] : m_before)
            qputenv(variable, value);
    }
    OwnTemporaryFolder(const OwnTemporaryFolder&) = delete;
    OwnTemporaryFolder& operator=(const OwnTemporaryFolder&) = delete;

private:
    std::vector<std::pair<const char*, QByteArray>> m_before;
};

} // namespace tolvane
