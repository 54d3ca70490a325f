#pragma once

#include <QString>

#include <memory>

namespace tolvane {

class ConvertedSeason;
class Findings;
class SeasonDatabase;

// The season database as the run will use it: that it opens, that the overall ratings can
// be written back into it, and that it has every table and column the run reads. Season
// databases come with patches from the internet, so none of it is trusted. The database
// stays open for what follows.
class DatabaseCheck {
public:
    explicit DatabaseCheck(QString path);
    ~DatabaseCheck();
    DatabaseCheck(const DatabaseCheck&) = delete;
    DatabaseCheck& operator=(const DatabaseCheck&) = delete;

    // Opens the database and checks it, adding what it finds to findings. Returns true when
    // the database is open with every table and column, so that its players can be read.
    bool run(Findings& findings);

    // After run() returned true: the open database.
    SeasonDatabase& database() { return *m_db; }
    // After run(): whether the database opened, whatever else was wrong with it.
    bool opened() const { return m_db != nullptr; }

    // Tries, once every player is converted, whether the database would take each new
    // overall rating; names every player whose rating it would refuse. Does nothing where
    // the database cannot be written anyway, which run() has reported.
    void checkWriteBack(const ConvertedSeason& season, Findings& findings);

private:
    void checkWritable(Findings& findings);
    bool checkTables(Findings& findings);

    QString m_path;
    std::unique_ptr<SeasonDatabase> m_db;
    bool m_writable = false;
};

} // namespace tolvane
