#pragma once
// Temporary addresses changed by this process over rtnetlink: needs
// CAP_NET_ADMIN (and CAP_NET_RAW for the ARP probe). renew and remove touch
// only a /32 whose kernel lifetime is finite and at most
// kTemporaryAddressLifetime_s, so that no address an administrator gave a
// link can be removed through them. orvane-link-address is this class
// behind a check of its arguments.

#include "net/AddressChanger.h"

#include <optional>

namespace orvane {

class NetlinkAddressChanger : public AddressChanger {
public:
    AddressChange add(const std::string& link, uint32_t address, int lifetime_s) override;
    AddressChange renew(const std::string& link, uint32_t address, int lifetime_s) override;
    AddressChange remove(const std::string& link, uint32_t address) override;
};

// The remaining valid lifetime in seconds of address/32 on the link with
// that index (0xFFFFFFFF for a permanent one); nullopt when the link has no
// such /32.
std::optional<uint32_t> HostAddressLifetime(unsigned linkIndex, uint32_t address);

}  // namespace orvane
