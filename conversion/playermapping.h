#pragma once

#include "db/seasonschema.h"

#include <QLatin1String>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace tolvane {

class Recordset;

// A value of a player's row that cannot be converted.
struct MappingProblem {
    QString team;
    QString name;
    QString column; // empty when the problem is the record as a whole
    QString reason;
};

// Values of one Ratings column that its rating scale clamped: below the scale's lowest
// rung or above its highest, a value converts as that rung does.
struct ClampedValues {
    qint64 below = 0;
    qint64 above = 0;
    double lowestRung = 0;
    double highestRung = 0;
    double lowestValue = 0;  // the lowest of those below
    double highestValue = 0; // the highest of those above
};

// A value of one player's row that its rating scale clamped, for a report that marks it
// where the record holds it.
struct ClampedValue {
    seasonschema::RatingsColumn column;
    QLatin1String field; // the record's field, as records/recordfields.h names it
    double value;        // as the database holds it
    double rung;         // the lowest or highest rung, as which it converts
};

// How the qz look-up of a player went.
enum class QzMatch {
    NotLookedUp,   // the name is no text
    Exact,         // a row spelled as the player
    OtherSpelling, // only a row whose name differs in letter case (a Jet file)
    NoRow,         // none: the position values are 100
};

class SeasonDatabase;
struct PlayerRecord;

// Turns the current row of the player pass's Ratings statement into the game's player
// record: identity, body and skills, then the overall rating, career, contract and
// development. The statement's first column must be the row's rowid, which names the row
// where its values cannot.
class PlayerMapper {
public:
    // Finds every column the mapping reads (a missing one throws) and prepares the qz
    // look-up.
    PlayerMapper(SeasonDatabase& db, const Recordset& ratings);
    ~PlayerMapper();
    PlayerMapper(const PlayerMapper&) = delete;
    PlayerMapper& operator=(const PlayerMapper&) = delete;

    // Overwrites the mapped fields of record from the current row and returns the player's
    // new overall rating, for the caller to write back. Fields the row does not set keep
    // what the previous player left, as the game's own import always did. A value that
    // cannot be converted throws a PatchError naming player, team and column; with
    // problems given, it is noted there instead and the mapping goes on.
    std::int16_t map(const Recordset& row, PlayerRecord& record,
                     std::vector<MappingProblem>* problems = nullptr);

    // The team and name of the row last mapped, for messages. Where the row holds no text
    // there, they describe the value instead.
    const QString& team() const;
    const QString& name() const;

    // How the qz look-up of the row last mapped went, and for QzMatch::OtherSpelling the
    // name of the row it found.
    QzMatch qzMatch() const;
    const QString& qzSpelling() const;

    // From now on, counts per column the values that rating scales clamp, for a check's
    // warnings; the run does without.
    void countClampedValues();
    // Indexed by seasonschema::RatingsColumn; empty unless counting.
    const std::vector<ClampedValues>& clampedValues() const;
    // The values of the row last mapped that were clamped, in the mapping's order; empty
    // unless counting.
    const std::vector<ClampedValue>& clampedInRow() const;

    // The statement of the player pass: every Ratings row by team, its rowid first. Ties
    // keep the table's order, so a team's players come in the order the database holds them.
    static QString ratingsStatement();

    // The overall points of the current row: 22 raw ratings summed in their own types.
    std::int16_t overallPoints(const Recordset& row) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tolvane
