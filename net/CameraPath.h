#pragma once
// The way out to one camera: the link it was heard on and the address the
// connections come from. A camera on a factory address outside its link's
// subnets is reached over that link, from a temporary address inside its
// own subnet, instead of the default route. The lease keeps that temporary
// address on the link for as long as any copy of the path is in use.

#include <cstdint>
#include <memory>
#include <string>

namespace orvane {

class TemporaryAddress;

struct CameraPath {
    std::string interfaceName;  // empty: the routing table decides
    uint32_t source = 0;        // host byte order; 0: the kernel's choice
    std::shared_ptr<const TemporaryAddress> lease;
};

}  // namespace orvane
