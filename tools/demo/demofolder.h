#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <array>
#include <cstdint>
#include <memory>

namespace tolvane {

// Demo game folders and season databases in the reference schema, for the demo command,
// the tests and the benchmarks. Everything is deterministic for a seed.
namespace demo {

struct Options {
    int teams = 18;
    int playersPerTeam = 44;
    std::uint32_t seed = 2009;
    // Whether qz(name) gets an index.
    bool qzIndex = true;
};

// The most players a generated database holds; every player gets a name of its own, and
// the name lists run short beyond this.
inline constexpr int maxPlayers = 200'000;

// The name of the team with this index (from 0) in a generated database; names are safe as
// folder names and no two differ only in letter case.
QString teamName(int index);

// Writes a season database at path (which must not exist); on failure nothing is left at
// path. More than maxPlayers players in all, or a negative count, throws std::invalid_argument.
void writeSeasonDatabase(const QString& path, const Options& options);
// Fills folder (created when missing) as a game folder: seasonStats.mdb, schedule2009.dat,
// data/schedules/schedule2008.dat and an empty lists/ folder. Refuses, before writing
// anything, a folder that already holds one of those files.
void writeProgramFolder(const QString& folder, const Options& options);

// A season database built row by row, for tests.
class SeasonBuilder {
public:
    // Creates the reference schema at path; without qz when withQz is false.
    explicit SeasonBuilder(const QString& path, bool withQz = true);
    ~SeasonBuilder();
    SeasonBuilder(const SeasonBuilder&) = delete;
    SeasonBuilder& operator=(const SeasonBuilder&) = delete;

    // Adds a Ratings row with plausible values in every column; overrides replace them by
    // column name, in any letter case (a null QVariant stores NULL). An unknown name throws
    // std::invalid_argument. SQLite applies the column's type affinity, so a text that
    // looks like a number lands as a number unless the column is changed first.
    void addPlayer(const QString& team, const QString& name, const QVariantMap& overrides = {});
    // Adds a qz row with the values of b, bf, c, f, ff, r, k, nk.
    void addQz(const QString& name, const std::array<double, 8>& values);
    // Runs one statement, e.g. to change the schema.
    void exec(const QString& sql);
    // Closes the database; the destructor does it too.
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace demo

} // namespace tolvane
