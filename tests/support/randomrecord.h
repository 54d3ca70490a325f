#pragma once

#include "players/playerrecord.h"

#include <random>

// A record with a random value in every field, odd ones on purpose: NaNs with payloads,
// negative zero, infinities, texts of any bytes (C1 controls included), lists never
// created, empty or long.
PlayerRecord randomRecord(std::mt19937& rng);
