#include "net/HelperAddressChanger.h"

#include "net/IPv4.h"
#include "process/ChildProcess.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace orvane {
namespace {

constexpr const char* kPkexec = "/usr/bin/pkexec";
// pkexec's own exit codes: the operator dismissed the prompt or is not
// allowed (126), or no authentication could happen (127).
constexpr int kPkexecNotAuthorized = 126;
constexpr int kPkexecNoAuthentication = 127;

// The helper's one line, without its name and the line's end.
std::string OneLine(const std::string& text)
{
    std::string line = text.substr(0, text.find('\n'));
    const std::string::size_type colon = line.find(": ");
    if (line.rfind("orvane-link-address", 0) == 0 && colon != std::string::npos)
        line.erase(0, colon + 2);
    return line;
}

}  // namespace

std::shared_ptr<HelperAddressChanger> HelperAddressChanger::Find()
{
    const char* forTests = std::getenv("ORVANE_LINK_ADDRESS_HELPER");
    if (forTests != nullptr && *forTests != '\0')
        return std::make_shared<HelperAddressChanger>(std::vector<std::string>{forTests}, false);
    if (::access(kPkexec, X_OK) != 0 || ::access(ORVANE_LINK_ADDRESS_POLICY, R_OK) != 0 ||
        ::access(ORVANE_LINK_ADDRESS_HELPER_PATH, X_OK) != 0)
        return nullptr;
    return std::make_shared<HelperAddressChanger>(
        std::vector<std::string>{kPkexec, ORVANE_LINK_ADDRESS_HELPER_PATH}, true);
}

HelperAddressChanger::HelperAddressChanger(std::vector<std::string> launcher, bool throughPolkit)
    : launcher_(std::move(launcher)), throughPolkit_(throughPolkit)
{
}

AddressChange HelperAddressChanger::add(const std::string& link, uint32_t address, int lifetime_s)
{
    return run({"add", link, FormatIPv4(address), std::to_string(lifetime_s)});
}

AddressChange HelperAddressChanger::renew(const std::string& link, uint32_t address, int lifetime_s)
{
    return run({"renew", link, FormatIPv4(address), std::to_string(lifetime_s)});
}

AddressChange HelperAddressChanger::remove(const std::string& link, uint32_t address)
{
    return run({"remove", link, FormatIPv4(address)});
}

AddressChange HelperAddressChanger::run(std::vector<std::string> arguments) const
{
    std::vector<std::string> argv = launcher_;
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const ChildOutcome outcome = RunChild(argv);
    if (outcome.exitCode == 0)
        return {AddressChange::Outcome::Done, {}};
    if (outcome.exitCode == kHelperInUse)
        return {AddressChange::Outcome::InUse, {}};
    if (throughPolkit_ && (outcome.exitCode == kPkexecNotAuthorized || outcome.exitCode == kPkexecNoAuthentication))
        return {AddressChange::Outcome::Failed, "the operator did not authenticate"};
    if (outcome.exitCode < 0)
        return {AddressChange::Outcome::Failed, "the address helper " + argv[0] + " did not run"};
    const std::string line = OneLine(outcome.errorText);
    return {AddressChange::Outcome::Failed,
            line.empty() ? "the address helper failed (exit " + std::to_string(outcome.exitCode) + ")" : line};
}

}  // namespace orvane
