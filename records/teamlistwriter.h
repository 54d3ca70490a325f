#pragma once

#include <QByteArray>
#include <QString>

namespace tolvane {

// Gives each team of the player pass its folder and team list file in the roster slot.
class TeamListWriter {
public:
    explicit TeamListWriter(QString slotFolder);

    // Makes sure the team's folder exists and writes its list file whole: list holds the
    // file's bytes, the blank record and then the team's players. The file is replaced
    // through a temporary one, so that at every moment it is either the earlier list or
    // the new one, and a longer list of an earlier run is replaced entirely.
    void writeList(const QString& team, const QByteArray& list);

    QString teamFolder(const QString& team) const;
    QString listPath(const QString& team) const;

private:
    QString m_slotFolder;
};

namespace teamlist {

// The team list file holding only the blank record (631 bytes).
const QByteArray& blankListFile();

} // namespace teamlist

} // namespace tolvane
