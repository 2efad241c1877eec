#pragma once
// The link a camera was heard on, for the connections made to it: while a
// ScopedLink lives, every connection the calling thread opens to a camera
// leaves through that interface, whatever the routing table says. A camera
// still on a factory address outside the link's subnets is then reached
// over its own link instead of the default route. Outside any scope, or with
// an empty name, connections follow the routing table.

#include <cstdint>
#include <string>

namespace orvane {

class ScopedLink {
public:
    // source (host byte order, 0 for the kernel's choice): the address the
    // connections come from, such as a temporary one in the camera's subnet.
    explicit ScopedLink(std::string interfaceName, uint32_t source = 0);
    ~ScopedLink();
    ScopedLink(const ScopedLink&) = delete;
    ScopedLink& operator=(const ScopedLink&) = delete;

private:
    const ScopedLink* previous_;
    std::string name_;
    uint32_t source_;
    friend const std::string& CurrentLink();
    friend uint32_t CurrentLinkSource();
};

// The calling thread's link, empty outside any scope.
const std::string& CurrentLink();
// The source address of the calling thread's connections, 0 for the kernel's choice.
uint32_t CurrentLinkSource();

}  // namespace orvane
