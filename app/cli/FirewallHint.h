#pragma once
// The hint orvane-cli search gives when nothing answered at all. Desktop
// firewalls (ufw, firewalld) drop the cameras' answers: they come back as
// unicast datagrams to UDP port 10088 that connection tracking does not relate
// to the broadcast request, so a silent search on a network with cameras
// usually means a closed port rather than no cameras.

#include <cstddef>
#include <cstdio>

namespace orvane::cli {

// Writes one line about a firewall and port 10088 to out when camerasFound is
// 0; returns whether it wrote.
bool PrintFirewallHintIfSilent(size_t camerasFound, std::FILE* out = stderr);

}  // namespace orvane::cli
