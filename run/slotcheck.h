#pragma once

#include <QString>
#include <QStringList>

namespace tolvane {

class Findings;

// The roster slot as the run will write it, once the teams are known: each team's folder,
// list and sheets, and the folders the sweep removes. Finds every folder the run could not
// write in and everything standing where it puts a file, so that a run that starts never
// stops half-way for a reason that could have been known. A new slot has nothing in it yet.
class SlotCheck {
public:
    explicit SlotCheck(QString slotFolder);

    void run(const QStringList& teams, Findings& findings) const;

private:
    void checkTeam(const QString& team, Findings& findings) const;

    QString m_slotFolder;
};

} // namespace tolvane
