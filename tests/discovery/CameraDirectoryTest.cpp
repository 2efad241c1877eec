#include "discovery/CameraDirectory.h"
#include "discovery/CameraRow.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace orvane {
namespace {

std::vector<std::string> Addresses(const CameraDirectory& d)
{
    std::vector<std::string> out;
    for (const CameraRecord* r = d.head(); r; r = r->next.get())
        out.emplace_back(r->ip);
    return out;
}

std::vector<std::string> Macs(const CameraDirectory& d)
{
    std::vector<std::string> out;
    for (const CameraRecord* r = d.head(); r; r = r->next.get())
        out.emplace_back(r->mac);
    return out;
}

void Add(CameraDirectory& d, const char* ip, const char* mac, const char* version = "v", const char* xy = "1&1")
{
    d.addSearchAnswer(mac, ip, version, xy, "uid", 7);
}

TEST(CameraDirectory, OrdersAddressesNumericallyNotAsText)
{
    struct Case {
        std::vector<const char*> arrival;
        std::vector<std::string> expected;
    };
    const std::vector<std::string> three = {"192.168.1.200", "192.168.100.5", "192.168.100.20"};
    const Case cases[] = {
        {{"10.0.0.10", "10.0.0.2"}, {"10.0.0.2", "10.0.0.10"}},
        {{"192.168.100.5", "192.168.100.20", "192.168.1.200"}, three},
        {{"192.168.100.20", "192.168.1.200", "192.168.100.5"}, three},
        {{"192.168.1.200", "192.168.100.20", "192.168.100.5"}, three},
        {{"9.255.255.255", "10.0.0.0", "2.0.0.1"}, {"2.0.0.1", "9.255.255.255", "10.0.0.0"}},
    };
    for (const Case& c : cases) {
        CameraDirectory d;
        int n = 0;
        for (const char* ip : c.arrival)
            Add(d, ip, std::to_string(++n).c_str());
        EXPECT_EQ(Addresses(d), c.expected);
    }
}

TEST(CameraDirectory, LaterAnswerStandsFirstAmongEqualAddresses)
{
    CameraDirectory d;
    Add(d, "192.168.1.9", "aaaaaaaaaaaa");
    Add(d, "192.168.1.10", "cccccccccccc");
    Add(d, "192.168.1.9", "bbbbbbbbbbbb");
    Add(d, "192.168.1.1", "dddddddddddd");
    EXPECT_EQ(Macs(d), (std::vector<std::string>{"dddddddddddd", "bbbbbbbbbbbb", "aaaaaaaaaaaa", "cccccccccccc"}));
}

TEST(CameraDirectory, FirstAnswerPerMacWinsAndCaseCounts)
{
    CameraDirectory d;
    Add(d, "10.0.0.5", "001a2b3c4d5e", "first");
    Add(d, "10.0.0.1", "001a2b3c4d5e", "second");
    Add(d, "10.0.0.2", "001A2B3C4D5E", "upper");
    ASSERT_EQ(d.size(), 2u);
    EXPECT_FALSE(d.isNewMac("001a2b3c4d5e"));
    EXPECT_TRUE(d.isNewMac("001a2b3c4d5f"));
    const CameraRecord* lower = d.head()->next.get();
    EXPECT_STREQ(lower->ip, "10.0.0.5");
    EXPECT_STREQ(lower->version, "first");
}

TEST(CameraDirectory, SplitsXYAsAtoiReadsEachSide)
{
    struct Case {
        const char* xy;
        int x, y;
    };
    const Case cases[] = {{"3&4", 3, 4},   {"7", 7, 0},       {"&5", 0, 5},    {"5&", 5, 0},
                          {"", 0, 0},      {"1&2&3", 1, 2},   {"-2&x", -2, 0}, {" +12& -3", 12, -3},
                          {"99999999999&1", 2147483647, 1}};
    for (const Case& c : cases) {
        CameraDirectory d;
        d.addSearchAnswer("m", "1.2.3.4", "v", c.xy, "u", 1);
        ASSERT_NE(d.head(), nullptr);
        EXPECT_EQ(d.head()->x, c.x) << c.xy;
        EXPECT_EQ(d.head()->y, c.y) << c.xy;
    }
}

TEST(CameraDirectory, CutsLongTextsToTheirSlots)
{
    const std::string v25(25, 'v'), u80(80, 'u'), m30(30, 'm');
    CameraDirectory d;
    d.addSearchAnswer(m30.c_str(), "10.1.1.1", v25.c_str(), "1&2", u80.c_str(), -4);
    const CameraRecord* r = d.head();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::string(r->version), std::string(19, 'v'));
    EXPECT_EQ(std::string(r->uid), std::string(63, 'u'));
    EXPECT_EQ(std::string(r->mac), std::string(19, 'm'));
    EXPECT_EQ(r->keyId, -4);
    // The duplicate test compares the MAC as handed in, not as stored.
    EXPECT_FALSE(d.isNewMac(std::string(19, 'm').c_str()));
    d.addSearchAnswer(m30.c_str(), "10.1.1.2", "v", "", "", 0);
    EXPECT_EQ(d.size(), 2u);
}

TEST(CameraDirectory, SplitAddressReadsEachPart)
{
    CameraRecord r;
    std::snprintf(r.ip, sizeof r.ip, "%s", "192.168.100.5");
    SplitAddress(r);
    EXPECT_EQ((std::vector<int>{r.octet1, r.octet2, r.octet3, r.octet4}), (std::vector<int>{192, 168, 100, 5}));
}

TEST(CameraDirectory, ClearEmptiesAndSurvivesLongChains)
{
    CameraDirectory d;
    d.clear();
    EXPECT_EQ(d.head(), nullptr);
    CameraRecord r;
    std::snprintf(r.ip, sizeof r.ip, "%s", "10.0.0.1");
    SplitAddress(r);
    for (int i = 0; i < 200000; ++i)
        d.insert(r);  // equal addresses go in front: a long chain cheaply
    EXPECT_EQ(d.size(), 200000u);
    d.clear();
    EXPECT_EQ(d.size(), 0u);
    EXPECT_TRUE(d.isNewMac(""));
}

TEST(CameraRow, WritesTheEightCellsOfARow)
{
    CameraDirectory d;
    d.addSearchAnswer("001a2b3c4d5e", "10.1.2.3", "V2.4.3", "120&45", "UIDUIDUIDUIDUIDUIDUI", -1);
    EXPECT_EQ(MakeCameraRow(3, *d.head()),
              (CameraRow{"3", "10.1.2.3", "001a2b3c4d5e", "V2.4.3", "120", "45", "UIDUIDUIDUIDUIDUIDUI", "-1"}));
    EXPECT_EQ(MakeCameraRow(3, "10.1.2.3", "?", "?", 0, 0, "?", "1"),
              (CameraRow{"3", "10.1.2.3", "?", "?", "0", "0", "?", "1"}));
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

// Runs fill on a thread of its own and waits for it.
void OnAnotherThread(const std::function<void()>& fill) { std::thread(fill).join(); }

TEST(CameraDirectoryThreadRule, TheProcessWideDirectoryIsFilledOnTheUserInterfaceThreadOnly)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CameraRecord record;
    std::snprintf(record.ip, sizeof record.ip, "%s", "10.0.0.9");
    SplitAddress(record);
    struct Case {
        const char* fill;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"ClearCameras", [] { ClearCameras(); }},
        {"AddSearchAnswer", [] { AddSearchAnswer("000000000009", "10.0.0.9", "v", "1&1", "uid", 1); }},
        {"InsertCamera", [&record] { InsertCamera(record); }},
        {"insert through the reference", [&record] { TheCameraDirectory().insert(record); }},
        {"a move into it", [] { TheCameraDirectory() = CameraDirectory(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fill);
        EXPECT_DEATH(OnAnotherThread(c.run), "orvane: the process-wide camera directory filled off the "
                                             "user-interface thread");
    }
    // Its own thread fills it, and a search's own directory fills anywhere.
    AddSearchAnswer("000000000009", "10.0.0.9", "v", "1&1", "uid", 1);
    EXPECT_EQ(TheCameraDirectory().size(), 1u);
    ClearCameras();
    CameraDirectory found;
    OnAnotherThread([&found, &record] { found.insert(record); });
    EXPECT_EQ(found.size(), 1u);
}

}  // namespace
}  // namespace orvane
