// The address plan: FIRST, FIRST+1, ... with the skips and ends a real
// network has.

#include "fleet/AddressPlanner.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

namespace orvane::fleet {
namespace {

NetworkInterface Link(const char* name, const char* address, const char* mask)
{
    NetworkInterface i;
    i.name = name;
    inet_pton(AF_INET, address, &i.address);
    inet_pton(AF_INET, mask, &i.netmask);
    return i;
}

FleetCamera Cam(const char* ip, const char* mac, const char* interfaceName = "eth0")
{
    return {ip, mac, "V1", interfaceName, {}, true};
}

uint32_t Ip(const char* text)
{
    uint32_t a = 0;
    EXPECT_TRUE(ParseIPv4(text, a)) << text;
    return a;
}

std::vector<std::string> NewIps(const AddressPlan& plan)
{
    std::vector<std::string> ips;
    for (const FleetCamera& c : plan.cameras)
        ips.push_back(c.newIp);
    return ips;
}

class AddressPlannerTest : public ::testing::Test {
protected:
    AddressPlanInput input{"192.168.1.20", {}, {}, {Ip("192.168.1.2"), Ip("127.0.0.1")},
                           {Link("eth0", "192.168.1.2", "255.255.255.0"), Link("wlan0", "10.0.0.5", "255.255.0.0")}};
};

TEST_F(AddressPlannerTest, GivesAddressesInTheOrderGivenSkippingThoseInUse)
{
    input.cameras = {Cam("192.168.1.64", "b"), Cam("192.168.1.63", "a"), Cam("192.168.1.21", "c")};
    // 192.168.1.21 answers from the camera itself: it may keep it. .22 is another camera's.
    input.answered = {input.cameras[0], input.cameras[1], input.cameras[2], Cam("192.168.1.22", "other")};
    const AddressPlan plan = PlanAddresses(input);
    ASSERT_TRUE(plan.ok) << plan.error;
    EXPECT_EQ(NewIps(plan), (std::vector<std::string>{"192.168.1.20", "192.168.1.23", "192.168.1.24"}));
    EXPECT_EQ(plan.cameras[1].mac, "a");  // order kept
}

TEST_F(AddressPlannerTest, SkipsTheMachinesOwnAndTheSubnetEnds)
{
    input.first = "192.168.1.0";
    input.cameras = {Cam("192.168.1.64", "a"), Cam("192.168.1.65", "b"), Cam("192.168.1.66", "c")};
    const AddressPlan plan = PlanAddresses(input);
    ASSERT_TRUE(plan.ok) << plan.error;
    // .0 is the network address, .2 this machine's.
    EXPECT_EQ(NewIps(plan), (std::vector<std::string>{"192.168.1.1", "192.168.1.3", "192.168.1.4"}));
}

TEST_F(AddressPlannerTest, RefusesAPlanThatRunsOutOfTheSubnet)
{
    input.first = "192.168.1.253";
    input.cameras = {Cam("192.168.1.64", "a"), Cam("192.168.1.65", "b")};
    const AddressPlan fits = PlanAddresses(input);
    ASSERT_TRUE(fits.ok) << fits.error;
    EXPECT_EQ(NewIps(fits), (std::vector<std::string>{"192.168.1.253", "192.168.1.254"}));
    // .255 is the broadcast address, and .0 of the next subnet is not this one's.
    input.cameras.push_back(Cam("192.168.1.66", "c"));
    const AddressPlan refused = PlanAddresses(input);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.cameras.empty());
    EXPECT_NE(refused.error.find("192.168.1.0-192.168.1.255"), std::string::npos) << refused.error;
}

TEST_F(AddressPlannerTest, RefusesAnAddressOnNoNetworkOfThisMachineOrNotAnAddress)
{
    input.cameras = {Cam("192.168.1.64", "a")};
    for (const char* first : {"172.16.0.10", "192.168.1", "192.168.1.300", "a.b.c.d", "192.168.1.20x", ""}) {
        input.first = first;
        EXPECT_FALSE(PlanAddresses(input).ok) << first;
    }
}

TEST_F(AddressPlannerTest, NeverWrapsPast255255255255)
{
    input.interfaces = {Link("any", "10.0.0.1", "0.0.0.0")};
    input.first = "255.255.255.254";
    input.cameras = {Cam("1.2.3.4", "a", "any")};
    input.ownAddresses.clear();
    const AddressPlan one = PlanAddresses(input);
    ASSERT_TRUE(one.ok) << one.error;
    EXPECT_EQ(NewIps(one), std::vector<std::string>{"255.255.255.254"});
    input.cameras = {Cam("1.2.3.4", "a", "other"), Cam("1.2.3.5", "b", "other")};
    input.first = "255.255.255.254";
    const AddressPlan two = PlanAddresses(input);
    ASSERT_TRUE(two.ok) << two.error;
    EXPECT_EQ(NewIps(two), (std::vector<std::string>{"255.255.255.254", "255.255.255.255"}));
    input.cameras.push_back(Cam("1.2.3.6", "c", "other"));
    const AddressPlan three = PlanAddresses(input);
    EXPECT_FALSE(three.ok);
    EXPECT_NE(three.error.find("255.255.255.255"), std::string::npos) << three.error;
}

}  // namespace
}  // namespace orvane::fleet
