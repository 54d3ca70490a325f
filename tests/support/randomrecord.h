#pragma once

#include "records/playerrecord.h"

#include <random>

namespace tolvane {

// A record as the player pass builds it for a player of team: names set, both lists with
// one blank element, the rest plain.
PlayerRecord namedPlayer(const QString& first, const QString& last, const QString& team);

// A record with a random value in every field, odd ones on purpose: NaNs with payloads,
// negative zero, infinities, texts of any bytes (C1 controls included), lists never
// created, empty or long.
PlayerRecord randomRecord(std::mt19937& rng);

} // namespace tolvane
