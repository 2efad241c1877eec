#pragma once
// One camera of an upgrade or an address assignment as the first search
// found it, and what it is to become.

#include <string>

namespace orvane::fleet {

struct FleetCamera {
    std::string ip;             // as the operator named it or the search found it
    std::string mac;
    std::string oldVersion;
    std::string interfaceName;  // where its answer came in
    std::string newIp;          // address assignment only
    bool found = true;          // false: the search did not find it, nothing is sent
};

}  // namespace orvane::fleet
