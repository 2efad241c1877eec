#pragma once
// Gives this host one more IPv4 address, on the link and with the prefix of
// an address it already holds: how a simulated camera that was told a new
// address takes it. Needs CAP_NET_ADMIN in the camera namespace.

#include <string>

namespace orvane::sim {

// Adds added/PREFIX to the interface that holds existing, with existing's
// prefix length. An address the interface holds already counts as added.
// On failure says why in error.
bool AddAddressBeside(const std::string& existing, const std::string& added, std::string& error);

// A single host address a camera can answer from: not 0.0.0.0/8, loopback,
// multicast, reserved or the limited broadcast.
bool IsUnicastAddress(const std::string& dotted);

}  // namespace orvane::sim
