#pragma once
// Builds the datagram a simulated camera answers a search with.

#include "tools/ipc-sim/SimConfig.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvane::sim {

std::vector<uint8_t> BuildAnswer(const SimCamera& camera);
// The same with another version, as a camera answers after an upgrade.
std::vector<uint8_t> BuildAnswer(const SimCamera& camera, const std::string& version);

}  // namespace orvane::sim
