#pragma once

#include <QString>

namespace tolvane {

namespace season {

// A new file, written under a hidden temporary name beside the name it is meant for and
// given that name only once it is whole: the name never holds half a file, and a file that
// has the name already is never replaced. Neither copyable nor movable.
class PendingFile {
public:
    // Refuses a target that exists and creates the empty temporary file; failures throw a
    // PatchError that names the target.
    explicit PendingFile(QString target);
    // Removes the temporary file unless commit() gave it its name.
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Where to write: the temporary file.
    const QString& path() const { return m_path; }
    const QString& target() const { return m_target; }

    // Makes what was written reach the disk and gives the file its name. A name taken in
    // the meantime throws, and the file stays temporary.
    void commit();
    // Takes a committed file away again, when a file written with it has failed.
    void withdraw();

private:
    QString m_target;
    QString m_path;
    bool m_committed = false;
};

} // namespace season

} // namespace tolvane
