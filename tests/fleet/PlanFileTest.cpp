// Site plans as files: what is read, and every problem told with its line.

#include "fleet/PlanFile.h"
#include "fleet/SitePlan.h"

#include <arpa/inet.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

namespace orvane::fleet {
namespace {

std::vector<std::string> Problems(const PlanFile& plan)
{
    std::vector<std::string> texts;
    for (const PlanProblem& p : plan.problems)
        texts.push_back(DescribeProblem(p));
    return texts;
}

struct ProblemCase {
    const char* name;
    std::string text;
    std::vector<std::string> problems;
};

class PlanProblems : public ::testing::TestWithParam<ProblemCase> {};

std::vector<std::string> Problems(const CheckedPlan& plan);

// Checked against a site where no camera answers: every value is a change.
TEST_P(PlanProblems, AreToldWithTheirLines)
{
    EXPECT_EQ(Problems(CheckPlan(ParsePlan(GetParam().text, "/nonexistent"), {})), GetParam().problems);
}

INSTANTIATE_TEST_SUITE_P(
    Plans, PlanProblems,
    ::testing::Values(
        ProblemCase{"ExportedList",
                    "id,ip,mac,version,x,y,uid,keyid,interface\r\n"
                    "1,10.0.0.11,0000000000AA,V1,9,1,\"UID, with comma\"\"000000\",1,eth0\r\n",
                    {}},
        ProblemCase{"Empty", "", {"the plan has no header row"}},
        ProblemCase{"UnknownAndTwiceAndNoMac", "ip,colour,ip\n10.0.0.1,red,\n",
                    {"line 1: unknown column 'colour'", "line 1: column 'ip' appears twice",
                     "line 1: no mac column: every row names its camera by MAC"}},
        ProblemCase{"Macs", "mac\n00000000001\n00000000001g\n0000000000aB\n0000000000AB\n",
                    {"line 2: MAC '00000000001' is not twelve hexadecimal digits",
                     "line 3: MAC '00000000001g' is not twelve hexadecimal digits",
                     "line 5: MAC 0000000000ab is planned on line 4 already"}},
        ProblemCase{"NumbersAtTheirEnds", "mac,x,y,keyid\n000000000001,0,99,-3\n000000000002,499,100,x\n"
                                          "000000000003,1.5,1,2147483648\n000000000004, 7 ,1, 2147483647\n",
                    {"line 2: x '0' is not a whole number from 1 to 499",
                     "line 3: keyid 'x' is not a whole number from -2147483648 to 2147483647",
                     "line 3: y '100' is not a whole number from 1 to 99",
                     "line 4: x '1.5' is not a whole number from 1 to 499",
                     "line 4: keyid '2147483648' is not a whole number from -2147483648 to 2147483647"}},
        ProblemCase{"UidLengths", "mac,uid\n000000000001,ABCDEFGHIJKLMNOPQRS\n000000000002,ABCDEFGHIJKLMNOPQRST\n"
                                  "000000000003,ABCDEFGHIJKLMNOPQRSTUVW\n000000000004,ABCDEFGHIJKLMNOPQRSTUVWX\n",
                    {"line 2: uid 'ABCDEFGHIJKLMNOPQRS' is not 20 to 23 characters",
                     "line 5: uid 'ABCDEFGHIJKLMNOPQRSTUVWX' is not 20 to 23 characters"}},
        ProblemCase{"Addresses", "mac,ip\n000000000001,10.0.0.256\n000000000002,10.0.0.9\n000000000003,10.0.0.9\n",
                    {"line 2: ip '10.0.0.256' is not an IPv4 address",
                     "line 4: ip 10.0.0.9 is given to the camera of line 3 already"}},
        ProblemCase{"Firmware", "mac,version,firmware\n000000000001,,fw.br\n000000000002,V2,/nonexistent/fw.br\n",
                    {"line 2: firmware without a version: the camera's answer could not show that it took",
                     "line 2: firmware '/nonexistent/fw.br' is not a readable regular file",
                     "line 3: firmware '/nonexistent/fw.br' is not a readable regular file"}},
        // A quoted cell spans two lines: the row after it is line 4.
        ProblemCase{"QuotingAndCellCounts", "mac,uid\n000000000001,\"two\nlines\"\n000000000002\n"
                                            "000000000003,ab\"c\n000000000004,\"open\n",
                    {"line 2: uid 'two\nlines' is not 20 to 23 characters", "line 4: 1 cells where the header names 2",
                     "line 5: the quoting of this line cannot be read",
                     "line 6: the quoting of this line cannot be read"}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(PlanFile, ReadsEveryColumnAndLeavesEmptyCells)
{
    const PlanFile plan = ParsePlan("\xEF\xBB\xBFMAC,Ip,uid,x,y,keyid,version,interface,id\r\n"
                                    "0000000000AA,10.0.0.5, spaced uid 0000001 ,3,,-7,,eth9,44\r\n"
                                    "0000000000bb,,,,,,,,\r\n\r\n",
                                    "/plans");
    ASSERT_EQ(Problems(plan), std::vector<std::string>{});
    ASSERT_EQ(plan.rows.size(), 2u);
    const PlanRow& a = plan.rows[0];
    EXPECT_EQ(a.line, 2);
    EXPECT_EQ(a.mac, "0000000000aa");
    EXPECT_EQ(a.ip, "10.0.0.5");
    EXPECT_EQ(a.uid, " spaced uid 0000001 ");  // spaces are the cell's own
    EXPECT_EQ(a.x, 3);
    EXPECT_EQ(a.y, std::nullopt);
    EXPECT_EQ(a.keyId, -7);
    EXPECT_EQ(a.version, std::nullopt);
    const PlanRow& b = plan.rows[1];
    EXPECT_FALSE(b.ip || b.uid || b.x || b.y || b.keyId || b.version || b.firmware);
}

TEST(PlanFile, FirmwareIsFoundBesideThePlan)
{
    char folder[] = "/tmp/plan-test.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string dir = folder;
    std::ofstream(dir + "/fw.br") << "firmware";
    std::ofstream(dir + "/plan.csv") << "mac,version,firmware\n000000000001,V2,fw.br\n";
    const PlanFile plan = ReadPlanFile(dir + "/plan.csv");
    EXPECT_EQ(Problems(plan), std::vector<std::string>{});
    ASSERT_EQ(plan.rows.size(), 1u);
    EXPECT_EQ(plan.rows[0].firmware, dir + "/fw.br");
    EXPECT_EQ(Problems(ReadPlanFile(dir)), std::vector<std::string>{"cannot read the plan '" + dir + "'"});
    unlink((dir + "/fw.br").c_str());
    unlink((dir + "/plan.csv").c_str());
    rmdir(folder);
}

// The problems only a search can show, and each camera's changes.
NetworkInterface Link(const char* name, const char* address, const char* mask)
{
    NetworkInterface i;
    i.name = name;
    inet_pton(AF_INET, address, &i.address);
    inet_pton(AF_INET, mask, &i.netmask);
    return i;
}

SiteView Site()
{
    SiteView site;
    site.found = {{"10.0.0.12", "000000000002", "V1", "UID00000000000000002", 5, 6, 1, "eth0"},
                  {"10.0.0.11", "000000000001", "V1", "UID00000000000000001", 1, 1, 1, "eth0"}};
    site.ownAddresses = {0x0A000001};
    site.interfaces = {Link("eth0", "10.0.0.1", "255.255.255.0")};
    return site;
}

std::vector<std::string> Problems(const CheckedPlan& plan)
{
    std::vector<std::string> texts;
    for (const PlanProblem& p : plan.problems)
        texts.push_back(DescribeProblem(p));
    return texts;
}

TEST(SitePlan, ValuesACameraKeepsAreNeverProblems)
{
    // As the camera answers: an X of 0 and a short UID, outside what may be sent.
    SiteView site = Site();
    site.found[1].x = 0;
    site.found[1].uid = "short";
    const PlanFile file = ParsePlan("mac,x,y,uid\n000000000001,0,1,short\n000000000002,0,6,UID00000000000000002\n", "/");
    EXPECT_EQ(Problems(CheckPlan(file, site)),
              std::vector<std::string>{"line 3: x '0' is not a whole number from 1 to 499"});
}

TEST(SitePlan, RefusesAddressesTheSiteRules)
{
    const PlanFile file = ParsePlan("mac,ip,version\n000000000001,10.0.0.12,\n000000000002,10.0.1.5,\n"
                                    "000000000003,10.0.0.1,\n000000000001x,10.0.0.255,\n000000000002,,V2\n",
                                    "/");
    EXPECT_EQ(Problems(CheckPlan(file, Site())),
              (std::vector<std::string>{
                  "line 2: 10.0.0.12 is the address camera 000000000002 answers from",
                  "line 3: 10.0.1.5 is outside 10.0.0.0-10.0.0.255, the subnet of the camera's link eth0",
                  "line 4: 10.0.0.1 is an address of this machine",
                  "line 5: MAC '000000000001x' is not twelve hexadecimal digits",
                  "line 6: MAC 000000000002 is planned on line 3 already",
                  "line 6: version V2 wanted where the camera runs V1, and no firmware file to bring it there"}));
}

TEST(SitePlan, ChangesInFieldOrderCamerasInAddressOrder)
{
    const PlanFile file = ParsePlan("mac,ip,keyid,y,uid,version\n000000000002,10.0.0.12,4,,,V1\n"
                                    "000000000009,10.0.0.40,,,,\n000000000001,10.0.0.30,,9,UID00000000000000001,\n",
                                    "/");
    const CheckedPlan plan = CheckPlan(file, Site());
    ASSERT_TRUE(plan.accepted()) << Problems(plan)[0];
    ASSERT_EQ(plan.cameras.size(), 3u);
    EXPECT_FALSE(plan.cameras[0].found);  // not found: first, with the plan's address
    EXPECT_EQ(plan.cameras[0].plannedIp, "10.0.0.40");
    const CameraWork& one = plan.cameras[1];
    EXPECT_EQ(one.now.ip, "10.0.0.11");
    ASSERT_EQ(one.fields.size(), 3u);
    EXPECT_EQ(one.fields[0].field, PlanField::Uid);
    EXPECT_FALSE(one.fields[0].needed());
    EXPECT_EQ(one.fields[1].field, PlanField::Y);
    EXPECT_EQ(one.fields[1].from, "1");
    EXPECT_EQ(one.fields[1].to, "9");
    EXPECT_EQ(one.fields[2].field, PlanField::Ip);
    // X/Y goes out whole: the camera's own X with the planned Y.
    EXPECT_EQ(one.x, 1);
    EXPECT_EQ(one.y, 9);
    const CameraWork& two = plan.cameras[2];
    ASSERT_EQ(two.fields.size(), 3u);
    EXPECT_EQ(two.fields[0].field, PlanField::Version);
    EXPECT_EQ(two.fields[1].field, PlanField::KeyId);
    EXPECT_EQ(two.fields[2].field, PlanField::Ip);
    EXPECT_FALSE(two.fields[2].needed());  // its own address: no check, no change
}

}  // namespace
}  // namespace orvane::fleet
