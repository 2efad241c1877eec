#include "net/CameraRoute.h"

#include "net/HelperAddressChanger.h"
#include "net/IPv4.h"
#include "net/NetlinkAddressChanger.h"
#include "net/NetworkInterfaces.h"

namespace orvane {
namespace {

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
    uint32_t camera = 0;
    if (!interfaceName.empty() && ParseIPv4(cameraIp.c_str(), camera)) {
        const bool onLink = OnLinkSubnet(ListOwnSubnets(), interfaceName, camera);
        // A camera behind a router on that link is reached the way the
        // routing table knows; only one the table sends elsewhere (or
        // nowhere) sits on the link under an address of another subnet.
        offSubnet_ = !onLink && RoutedInterface(camera) != interfaceName;
    }
    if (offSubnet_) {
        if (std::shared_ptr<AddressChanger> changer = ChooseChanger(privilege))
            temporary_ = std::make_shared<TemporaryAddress>(interfaceName, camera, std::move(changer));
    }
}

CameraPath CameraRoute::path() const
{
    const uint32_t source = temporaryAddress();
    return {interfaceName_, source, source != 0 ? temporary_ : nullptr};
}

std::string CameraRoute::advice() const
{
    if (!offSubnet_ || temporaryAddress() != 0)
        return {};
    uint32_t camera = 0;
    ParseIPv4(cameraIp_.c_str(), camera);
    const std::string subnet = IPv4Subnet::WithPrefix(camera, 24).text();
    if (temporary_)
        return "camera " + cameraIp_ + " on " + interfaceName_ + " is outside that link's subnets and no temporary address in " +
               subnet + " could be added (" + temporary_->error() + "); give " + interfaceName_ + " an address in " + subnet;
    return "camera " + cameraIp_ + " was heard on " + interfaceName_ +
           " from outside that link's subnets and may answer only its own subnet " + subnet +
           ": run as root (sudo) so that Orvane can add a temporary address there, or give " + interfaceName_ +
           " an address in " + subnet;
}

}  // namespace orvane
