#pragma once
// Temporary addresses changed by the privileged helper orvane-link-address,
// for a process without CAP_NET_ADMIN (the window of an operator's own
// account): run through pkexec, which asks the operator to authenticate as
// the polkit action org.orvane.Orvane.link-address says.
//
// ORVANE_LINK_ADDRESS_HELPER, when set, names a helper that is run directly
// instead of through pkexec. It exists only for tests, which give a copy of
// the helper the capabilities it needs rather than a polkit agent.

#include "net/AddressChanger.h"

#include <memory>
#include <string>
#include <vector>

namespace orvane {

// The helper's exit codes, beyond 0 for done.
constexpr int kHelperFailed = 1;
constexpr int kHelperRefused = 2;  // an argument it does not accept
constexpr int kHelperInUse = 3;    // a host claims the address, or the link has it already

class HelperAddressChanger : public AddressChanger {
public:
    // The helper of this machine: the test's, or pkexec with the installed
    // policy and helper; nullptr when there is none.
    static std::shared_ptr<HelperAddressChanger> Find();

    // launcher: the program and first arguments that run the helper.
    HelperAddressChanger(std::vector<std::string> launcher, bool throughPolkit);

    AddressChange add(const std::string& link, uint32_t address, int lifetime_s) override;
    AddressChange renew(const std::string& link, uint32_t address, int lifetime_s) override;
    AddressChange remove(const std::string& link, uint32_t address) override;

private:
    AddressChange run(std::vector<std::string> arguments) const;

    std::vector<std::string> launcher_;
    bool throughPolkit_;
};

}  // namespace orvane
