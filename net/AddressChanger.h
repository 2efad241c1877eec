#pragma once
// The way a temporary /32 comes onto a camera's link and goes again: in
// this process when it may change addresses itself (NetlinkAddressChanger),
// or through the privileged helper orvane-link-address after the operator
// authenticates (HelperAddressChanger).

#include <cstdint>
#include <string>

namespace orvane {

struct AddressChange {
    enum class Outcome { Done, InUse, Failed };
    Outcome outcome = Outcome::Failed;
    std::string error;  // why, for Failed

    bool done() const { return outcome == Outcome::Done; }
};

class AddressChanger {
public:
    virtual ~AddressChanger() = default;
    // Probes address on the link (RFC 5227) and adds it as a /32 with a
    // kernel lifetime of lifetime_s; InUse when a host claims it or the link
    // has it already.
    virtual AddressChange add(const std::string& link, uint32_t address, int lifetime_s) = 0;
    // Gives a temporary /32 on the link a fresh lifetime.
    virtual AddressChange renew(const std::string& link, uint32_t address, int lifetime_s) = 0;
    // Removes a temporary /32 from the link.
    virtual AddressChange remove(const std::string& link, uint32_t address) = 0;
};

}  // namespace orvane
