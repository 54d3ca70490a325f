#pragma once

#include <cstdint>
#include <memory>

class Recordset;
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

    // The overall points of the current row: 22 raw ratings summed in their own types.
    std::int16_t overallPoints(const Recordset& row) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
