#include "fleet/AddressPlanner.h"

#include <arpa/inet.h>

#include <algorithm>
#include <iterator>

namespace orvane::fleet {
namespace {

struct Subnet {
    uint32_t network = 0;
    uint32_t broadcast = 0;
    bool known = false;

    bool holds(uint32_t a) const { return known && a >= network && a <= broadcast; }
};

Subnet SubnetOf(const NetworkInterface& i)
{
    const IPv4Subnet subnet{ntohl(i.address.s_addr), ntohl(i.netmask.s_addr)};
    return {subnet.network(), subnet.broadcast(), true};
}

Subnet SubnetHolding(uint32_t address, const std::vector<NetworkInterface>& interfaces)
{
    for (const NetworkInterface& i : interfaces) {
        const Subnet s = SubnetOf(i);
        if (s.holds(address))
            return s;
    }
    return {};
}

Subnet SubnetNamed(const std::string& name, const std::vector<NetworkInterface>& interfaces)
{
    for (const NetworkInterface& i : interfaces) {
        if (i.name == name)
            return SubnetOf(i);
    }
    return {};
}

class Candidates {
public:
    Candidates(const AddressPlanInput& input) : input_(input) {}

    // Whether camera may be given address.
    bool allowed(uint32_t address, const FleetCamera& camera) const
    {
        if (std::find(input_.ownAddresses.begin(), input_.ownAddresses.end(), address) != input_.ownAddresses.end())
            return false;
        const Subnet heardOn = SubnetNamed(camera.interfaceName, input_.interfaces);
        if (heardOn.known && (address == heardOn.network || address == heardOn.broadcast))
            return false;
        const std::string dotted = FormatIPv4(address);
        return std::none_of(input_.answered.begin(), input_.answered.end(), [&](const FleetCamera& other) {
            return other.ip == dotted && other.mac != camera.mac;
        });
    }

private:
    const AddressPlanInput& input_;
};

AddressPlan Refuse(std::string why)
{
    AddressPlan plan;
    plan.error = std::move(why);
    return plan;
}

}  // namespace

AddressPlan PlanAddresses(const AddressPlanInput& input)
{
    uint32_t next = 0;
    if (!ParseIPv4(input.first, next, LeadingZeros::Decimal))
        return Refuse("'" + input.first + "' is not an IPv4 address");
    const Subnet range = SubnetHolding(next, input.interfaces);
    if (!range.known)
        return Refuse(input.first + " is on no network of this machine's interfaces");
    const Candidates candidates(input);
    AddressPlan plan;
    bool wrapped = false;
    for (FleetCamera camera : input.cameras) {
        while (!wrapped && range.holds(next) && !candidates.allowed(next, camera)) {
            wrapped = next == UINT32_MAX;
            ++next;
        }
        if (wrapped)
            return Refuse("the plan runs past 255.255.255.255");
        if (!range.holds(next))
            return Refuse("the plan runs past the end of " + FormatIPv4(range.network) + "-" +
                          FormatIPv4(range.broadcast) + ", the subnet of " + input.first);
        camera.newIp = FormatIPv4(next);
        plan.cameras.push_back(camera);
        wrapped = next == UINT32_MAX;
        ++next;
    }
    plan.ok = true;
    return plan;
}

std::string WhyNotAddress(uint32_t address, const FleetCamera& camera, const AddressPlanInput& input)
{
    const std::string dotted = FormatIPv4(address);
    if (std::find(input.ownAddresses.begin(), input.ownAddresses.end(), address) != input.ownAddresses.end())
        return dotted + " is an address of this machine";
    const auto other = std::find_if(input.answered.begin(), input.answered.end(), [&](const FleetCamera& c) {
        return c.ip == dotted && c.mac != camera.mac;
    });
    if (other != input.answered.end())
        return dotted + " is the address camera " + other->mac + " answers from";
    const Subnet link = SubnetNamed(camera.interfaceName, input.interfaces);
    if (!link.known)
        return {};
    const std::string range = FormatIPv4(link.network) + "-" + FormatIPv4(link.broadcast);
    if (!link.holds(address))
        return dotted + " is outside " + range + ", the subnet of the camera's link " + camera.interfaceName;
    if (address == link.network || address == link.broadcast)
        return dotted + " is the network or broadcast address of " + range;
    return {};
}

AddressPlan PlanChosenCameras(const std::string& first, const std::vector<FleetCamera>& chosen,
                              const std::vector<FleetCamera>& found)
{
    AddressPlanInput input{first, {}, found, ListOwnAddresses(), ListSearchInterfaces()};
    std::copy_if(chosen.begin(), chosen.end(), std::back_inserter(input.cameras),
                 [](const FleetCamera& c) { return c.found; });
    AddressPlan plan = PlanAddresses(input);
    std::vector<FleetCamera> planned = chosen;
    if (plan.ok) {
        auto next = plan.cameras.begin();
        for (FleetCamera& camera : planned) {
            if (camera.found)
                camera.newIp = (next++)->newIp;
        }
    }
    plan.cameras = std::move(planned);
    return plan;
}

}  // namespace orvane::fleet
