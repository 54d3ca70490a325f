#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class Recordset;

// A value of a player's row that cannot be converted.
struct MappingProblem {
    QString team;
    QString name;
    QString column; // empty when the problem is the record as a whole
    QString reason;
};

class SeasonDatabase;
struct PlayerRecord;

// Turns the current row of the player pass's Ratings statement into the game's player
// record: identity, body and skills, then the overall rating (which it writes back into
// the row), career, contract and development. The statement's first column must be the
// row's rowid, which identifies the row for the write-back.
class PlayerMapper {
public:
    // Finds every column the mapping reads (a missing one throws) and prepares the qz
    // look-up and the write-back.
    PlayerMapper(SeasonDatabase& db, const Recordset& ratings);
    ~PlayerMapper();
    PlayerMapper(const PlayerMapper&) = delete;
    PlayerMapper& operator=(const PlayerMapper&) = delete;

    // Overwrites the mapped fields of record from the current row. Fields the row does
    // not set keep what the previous player left, as the game's own import always did.
    void map(const Recordset& row, PlayerRecord& record);

    // Maps the current row into scratch without writing anything back, and returns every
    // value that would stop a run, rather than stopping at the first.
    std::vector<MappingProblem> check(const Recordset& row, PlayerRecord& scratch);

    // The statement of the player pass: every Ratings row by team, its rowid first. Ties
    // keep the table's order, so a team's players come in the order the database holds them.
    static QString ratingsStatement();

    // The overall points of the current row: 22 raw ratings summed in their own types.
    std::int16_t overallPoints(const Recordset& row) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
