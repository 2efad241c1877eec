// Picking a batch's cameras from a search by the names an operator gives.

#include "control/SettingFields.h"
#include "fleet/CameraChoice.h"

#include <gtest/gtest.h>

namespace orvane::fleet {
namespace {

const std::vector<FleetCamera> kFound = {
    {"10.0.0.2", "001a2b3c4d01", "V1", "eth0", {}, true},
    {"10.0.0.3", "001a2b3c4d02", "V2", "eth1", {}, true},
};

TEST(CameraChoice, ByAddressOrMacInTheOrderNamedEachOnce)
{
    const auto chosen = ChooseCameras({"001A2B3C4D02", "10.0.0.2", "10.0.0.3", "001a2b3c4d01"}, false, kFound);
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[0].ip, "10.0.0.3");
    EXPECT_EQ(chosen[0].oldVersion, "V2");
    EXPECT_EQ(chosen[0].interfaceName, "eth1");
    EXPECT_EQ(chosen[1].mac, "001a2b3c4d01");
    EXPECT_TRUE(chosen[0].found && chosen[1].found);
}

TEST(CameraChoice, UnfoundNamesStayMarkedAndAllMeansEveryFoundCamera)
{
    const auto chosen = ChooseCameras({"10.0.0.9", "AABBCCDDEEFF"}, false, kFound);
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_FALSE(chosen[0].found);
    EXPECT_EQ(chosen[0].ip, "10.0.0.9");
    EXPECT_EQ(chosen[0].mac, "");
    EXPECT_FALSE(chosen[1].found);
    EXPECT_EQ(chosen[1].mac, "aabbccddeeff");
    EXPECT_EQ(ChooseCameras({}, true, kFound).size(), 2u);
    EXPECT_TRUE(IsMacField("0123456789aB"));
    EXPECT_FALSE(IsMacField("0123456789a"));
    EXPECT_FALSE(IsMacField("0123456789ag"));
}

}  // namespace
}  // namespace orvane::fleet
