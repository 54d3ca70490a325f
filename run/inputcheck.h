#pragma once

#include <QString>
#include <QStringList>

// Looks at everything an update run will read and the places it will write, before it
// writes anything: the season database (readable, writable, its tables, columns and every
// value of every player), the team names as folder names, and the game folder's layout.
// Season databases come with patches from the internet, so none of it is trusted.
class InputCheck {
public:
    // How many problems a report lists before it only counts the rest.
    static constexpr qsizetype kListedProblems = 20;

    InputCheck(QString programFolder, QString slotName);

    // Runs every check; returns true when nothing stands in a run's way.
    bool run();

    // One line per problem, in the order found, at most kListedProblems of them.
    const QStringList& listedProblems() const { return m_listed; }
    qsizetype problemCount() const { return m_count; }
    // The message for the user: the problems listed, then "and N more".
    QString report() const;

private:
    void add(const QString& problem);
    void checkFolders();
    void checkDatabase();

    QString m_programFolder;
    QString m_slotName;
    QStringList m_listed;
    qsizetype m_count = 0;
};
