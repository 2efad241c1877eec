#include "net/CameraRoute.h"

#include "net/HelperAddressChanger.h"
#include "net/NetlinkAddressChanger.h"
#include "net/NetworkInterfaces.h"

#include <arpa/inet.h>

#include <cstdio>

namespace orvane {
namespace {

std::string SubnetOf24(uint32_t address)
{
    char text[24];
    std::snprintf(text, sizeof text, "%u.%u.%u.0/24", address >> 24, (address >> 16) & 255u, (address >> 8) & 255u);
    return text;
}

// Who adds the temporary address: this process when it may, else the
// helper when the caller may ask the operator and the machine has it.
std::shared_ptr<AddressChanger> ChooseChanger(AddressPrivilege privilege)
{
    if (HasNetAdmin())
        return std::make_shared<NetlinkAddressChanger>();
    if (privilege == AddressPrivilege::AskTheOperator)
        return HelperAddressChanger::Find();
    return nullptr;
}

}  // namespace

CameraRoute::CameraRoute(const std::string& interfaceName, const std::string& cameraIp, AddressPrivilege privilege)
    : interfaceName_(interfaceName), cameraIp_(cameraIp)
{
    in_addr camera{};
    if (!interfaceName.empty() && ::inet_pton(AF_INET, cameraIp.c_str(), &camera) == 1) {
        bool onLink = false;
        for (const OwnSubnet& s : ListOwnSubnets())
            onLink = onLink || (s.interfaceName == interfaceName && s.holds(ntohl(camera.s_addr)));
        // A camera behind a router on that link is reached the way the
        // routing table knows; only one the table sends elsewhere (or
        // nowhere) sits on the link under an address of another subnet.
        offSubnet_ = !onLink && RoutedInterface(ntohl(camera.s_addr)) != interfaceName;
    }
    if (offSubnet_) {
        if (std::shared_ptr<AddressChanger> changer = ChooseChanger(privilege))
            temporary_ = std::make_unique<TemporaryAddress>(interfaceName, ntohl(camera.s_addr), std::move(changer));
    }
    link_ = std::make_unique<ScopedLink>(interfaceName, temporaryAddress());
}

std::string CameraRoute::advice() const
{
    if (!offSubnet_ || temporaryAddress() != 0)
        return {};
    in_addr camera{};
    ::inet_pton(AF_INET, cameraIp_.c_str(), &camera);
    const std::string subnet = SubnetOf24(ntohl(camera.s_addr));
    if (temporary_)
        return "camera " + cameraIp_ + " on " + interfaceName_ + " is outside that link's subnets and no temporary address in " +
               subnet + " could be added (" + temporary_->error() + "); give " + interfaceName_ + " an address in " + subnet;
    return "camera " + cameraIp_ + " was heard on " + interfaceName_ +
           " from outside that link's subnets and may answer only its own subnet " + subnet +
           ": run as root (sudo) so that Orvane can add a temporary address there, or give " + interfaceName_ +
           " an address in " + subnet;
}

}  // namespace orvane
