#pragma once
// The way to one camera for the operations on it: connections leave through the link the camera was heard on and, for
// a camera heard from outside that link's subnets while this process may add
// addresses (CAP_NET_ADMIN), come from a temporary address inside the
// camera's /24, so that a camera that answers only its own subnet (its
// gateway is absent) is reached too. A process without that privilege may
// instead ask the operator to authenticate for the privileged helper, when
// the machine has it (the window does; scripts say what to do). An empty
// link means the routing table.

#include "net/CameraPath.h"
#include "net/TemporaryAddress.h"

#include <memory>
#include <string>

namespace orvane {

enum class AddressPrivilege {
    OwnOnly,         // only this process's own CAP_NET_ADMIN
    AskTheOperator,  // or the helper, after the operator authenticates
};

class CameraRoute {
public:
    CameraRoute(const std::string& interfaceName, const std::string& cameraIp,
                AddressPrivilege privilege = AddressPrivilege::OwnOnly);

    // The camera was heard on a link none of whose subnets holds its address,
    // and the routing table does not lead to it through that link.
    bool offSubnet() const { return offSubnet_; }
    // 0 unless a temporary address was added; host byte order.
    uint32_t temporaryAddress() const { return temporary_ && temporary_->ok() ? temporary_->address() : 0; }
    // What the connections to the camera take: its link, and the temporary
    // address with its lease when one was added.
    CameraPath path() const;
    // One line for the operator when a connection to an off-subnet camera
    // failed: what happened and what to do. Empty for a camera on its link's subnet.
    std::string advice() const;

private:
    std::string interfaceName_;
    std::string cameraIp_;
    bool offSubnet_ = false;
    std::shared_ptr<const TemporaryAddress> temporary_;
};

}  // namespace orvane
