#pragma once
// The link a camera was heard on, for the connections made to it: while a
// ScopedLink lives, every connection the calling thread opens to a camera
// leaves through that interface, whatever the routing table says. A camera
// still on a factory address outside the link's subnets is then reached
// over its own link instead of the default route. Outside any scope, or with
// an empty name, connections follow the routing table.

#include <string>

namespace orvane {

class ScopedLink {
public:
    explicit ScopedLink(std::string interfaceName);
    ~ScopedLink();
    ScopedLink(const ScopedLink&) = delete;
    ScopedLink& operator=(const ScopedLink&) = delete;

private:
    const std::string* previous_;
    std::string name_;
};

// The calling thread's link, empty outside any scope.
const std::string& CurrentLink();

}  // namespace orvane
