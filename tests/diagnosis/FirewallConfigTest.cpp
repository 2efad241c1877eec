// ufw's and firewalld's configuration, laid out in a temporary folder as
// they are under /: which rule, policy or zone decides whether UDP 10088 is
// dropped. No firewall command is asked for a folder other than /.

#include "diagnosis/FirewallConfig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>
#include <string>

namespace orvane {
namespace {

namespace fs = std::filesystem;

using Files = std::map<std::string, std::string>;

class FirewallFolder {
public:
    explicit FirewallFolder(const Files& files)
        : root_(fs::temp_directory_path() / ("orvane-firewall-" + std::to_string(::getpid()) + "-" + std::to_string(next_++)))
    {
        for (const auto& [path, text] : files) {
            fs::create_directories((root_ / path).parent_path());
            std::ofstream(root_ / path) << text;
        }
    }
    ~FirewallFolder() { fs::remove_all(root_); }
    std::string root() const { return root_.string(); }

private:
    static inline int next_ = 0;
    fs::path root_;
};

const std::string kUfwOn = "ENABLED=yes\n";
const std::string kDenyIn = "DEFAULT_INPUT_POLICY=\"DROP\"\n";

TEST(FirewallConfig, UfwRulesAndPolicyDecide)
{
    struct Case {
        const char* what;
        Files files;
        bool installed;
        bool drops;
        const char* says;
    } cases[] = {
        {"not installed", {}, false, false, ""},
        {"not enabled", {{"etc/ufw/ufw.conf", "ENABLED=no\n"}, {"etc/default/ufw", kDenyIn}}, true, false, "not enabled"},
        {"deny by policy", {{"etc/ufw/ufw.conf", kUfwOn}, {"etc/default/ufw", kDenyIn}, {"etc/ufw/user.rules", "*filter\nCOMMIT\n"}},
         true, true, "incoming policy is DROP"},
        {"the Orvane profile allowed",
         {{"etc/ufw/ufw.conf", kUfwOn}, {"etc/default/ufw", kDenyIn},
          {"etc/ufw/user.rules", "-A ufw-user-input -p udp --dport 10088 -j ACCEPT -m comment --comment 'dapp_Orvane'\n"}},
         true, false, "allows UDP 10088"},
        {"a deny before the allow",
         {{"etc/ufw/ufw.conf", kUfwOn}, {"etc/default/ufw", kDenyIn},
          {"etc/ufw/user.rules", "-A ufw-user-input -p udp --dport 10088 -j DROP\n-A ufw-user-input -p udp --dport 10088 -j ACCEPT\n"}},
         true, true, "-j DROP"},
        {"only TCP allowed",
         {{"etc/ufw/ufw.conf", kUfwOn}, {"etc/default/ufw", kDenyIn},
          {"etc/ufw/user.rules", "-A ufw-user-input -p tcp --dport 10088 -j ACCEPT\n"}},
         true, true, "incoming policy"},
        {"a range that holds the port",
         {{"etc/ufw/ufw.conf", kUfwOn}, {"etc/default/ufw", kDenyIn},
          {"etc/ufw/user.rules", "-A ufw-user-input -p udp -m multiport --dports 10000:10100 -j ACCEPT\n"}},
         true, false, "allows"},
        {"a neighbouring port only",
         {{"etc/ufw/ufw.conf", kUfwOn}, {"etc/default/ufw", kDenyIn},
          {"etc/ufw/user.rules", "-A ufw-user-input -p udp --dport 100880 -j ACCEPT\n"}},
         true, true, "incoming policy"},
        {"allowed from one source only",
         {{"etc/ufw/ufw.conf", kUfwOn}, {"etc/default/ufw", kDenyIn},
          {"etc/ufw/user.rules", "-A ufw-user-input -p udp --dport 10088 -s 10.1.0.0/16 -j ACCEPT\n"}},
         true, true, "incoming policy"},
        {"an accepting policy",
         {{"etc/ufw/ufw.conf", kUfwOn}, {"etc/default/ufw", "DEFAULT_INPUT_POLICY=\"ACCEPT\"\n"}, {"etc/ufw/user.rules", ""}},
         true, false, "accepts"},
    };
    for (const Case& c : cases) {
        const FirewallFolder folder(c.files);
        const std::optional<FirewallFinding> found = UfwFinding(folder.root(), 10088);
        ASSERT_EQ(found.has_value(), c.installed) << c.what;
        if (!found)
            continue;
        EXPECT_EQ(found->drops, c.drops) << c.what << ": " << found->why;
        EXPECT_NE(found->why.find(c.says), std::string::npos) << c.what << ": " << found->why;
    }
}

const std::string kPublic = "DefaultZone=public\n";
const std::string kSshOnly = "<?xml version=\"1.0\"?><zone><short>Public</short><service name=\"ssh\"/></zone>";
const std::string kOrvaneService =
    "<?xml version=\"1.0\"?><service><short>Orvane</short><port protocol=\"udp\" port=\"10088\"/></service>";

TEST(FirewallConfig, FirewalldsDefaultZoneDecides)
{
    struct Case {
        const char* what;
        Files files;
        bool installed;
        bool drops;
        const char* says;
    } cases[] = {
        {"not installed", {}, false, false, ""},
        {"the shipped zone opens nothing for it",
         {{"etc/firewalld/firewalld.conf", kPublic}, {"usr/lib/firewalld/zones/public.xml", kSshOnly}}, true, true,
         "zone public drops UDP 10088"},
        {"the administrator's zone names the Orvane service",
         {{"etc/firewalld/firewalld.conf", kPublic}, {"usr/lib/firewalld/zones/public.xml", kSshOnly},
          {"etc/firewalld/zones/public.xml", "<zone><service name=\"ssh\"/><service name=\"orvane\"/></zone>"},
          {"usr/lib/firewalld/services/orvane.xml", kOrvaneService}},
         true, false, "(service orvane)"},
        {"the port itself, as UDP",
         {{"etc/firewalld/firewalld.conf", kPublic}, {"etc/firewalld/zones/public.xml", "<zone><port protocol=\"udp\" port=\"10088\"/></zone>"}},
         true, false, "opens UDP 10088"},
        {"the port as TCP only",
         {{"etc/firewalld/firewalld.conf", kPublic}, {"etc/firewalld/zones/public.xml", "<zone><port protocol=\"tcp\" port=\"10088\"/></zone>"}},
         true, true, "drops"},
        {"a zone that accepts everything",
         {{"etc/firewalld/firewalld.conf", kPublic}, {"etc/firewalld/zones/public.xml", "<zone target=\"ACCEPT\"/>"}},
         true, false, "accepts everything"},
        {"another default zone with a range",
         {{"etc/firewalld/firewalld.conf", "DefaultZone=home\n"}, {"usr/lib/firewalld/zones/public.xml", kSshOnly},
          {"usr/lib/firewalld/zones/home.xml", "<zone><port protocol=\"udp\" port=\"10000-10100\"/></zone>"}},
         true, false, "zone home opens"},
        {"a zone that cannot be read",
         {{"etc/firewalld/firewalld.conf", kPublic}, {"etc/firewalld/zones/public.xml", "<zone"}}, true, false,
         "could not be read"},
    };
    for (const Case& c : cases) {
        const FirewallFolder folder(c.files);
        const std::optional<FirewallFinding> found = FirewalldFinding(folder.root(), 10088);
        ASSERT_EQ(found.has_value(), c.installed) << c.what;
        if (!found)
            continue;
        EXPECT_EQ(found->drops, c.drops) << c.what << ": " << found->why;
        EXPECT_NE(found->why.find(c.says), std::string::npos) << c.what << ": " << found->why;
    }
}

}  // namespace
}  // namespace orvane
