#pragma once
// Builds the datagram a simulated camera answers a search with.

#include "tools/ipc-sim/SimConfig.h"

#include <cstdint>
#include <vector>

namespace orvane::sim {

std::vector<uint8_t> BuildAnswer(const SimCamera& camera);

}  // namespace orvane::sim
