#pragma once
// Gives cameras new addresses in one step: FIRST, FIRST+1, ... in the order
// the cameras are given, never an address another camera answers from, one
// of this machine's own, or the network or broadcast address of the subnet
// the camera was heard on. A plan that would leave the subnet of FIRST's
// interface is refused before anything is sent.

#include "fleet/FleetCamera.h"
#include "net/IPv4.h"
#include "net/NetworkInterfaces.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvane::fleet {

struct AddressPlanInput {
    std::string first;                           // dotted decimal
    std::vector<FleetCamera> cameras;            // to be given addresses, in order
    std::vector<FleetCamera> answered;           // every camera the search found
    std::vector<uint32_t> ownAddresses;          // host byte order
    std::vector<NetworkInterface> interfaces;    // with their netmasks
};

struct AddressPlan {
    bool ok = false;
    std::string error;                 // why the plan was refused
    std::vector<FleetCamera> cameras;  // the input cameras with newIp set
};

AddressPlan PlanAddresses(const AddressPlanInput& input);

// The plan for cameras chosen from a search (found), with this machine's own
// addresses and interfaces: the chosen cameras in their order, each found one
// with its newIp once the plan is made; one not found gets none and is sent
// nothing.
AddressPlan PlanChosenCameras(const std::string& first, const std::vector<FleetCamera>& chosen,
                              const std::vector<FleetCamera>& found);

// Why camera may not be given address: one of this machine's own, one that
// another camera answers from, the network or broadcast address of the link
// the camera was heard on, or outside that link's subnet. Empty when it may.
std::string WhyNotAddress(uint32_t address, const FleetCamera& camera, const AddressPlanInput& input);

}  // namespace orvane::fleet
