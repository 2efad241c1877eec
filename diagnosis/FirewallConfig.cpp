#include "diagnosis/FirewallConfig.h"

#include <pugixml.hpp>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

namespace orvane {
namespace {

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

std::string Unquoted(std::string value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

// VALUE of a KEY=VALUE line in a shell-style settings file, empty when absent.
std::string Setting(const std::string& path, const std::string& key)
{
    std::ifstream file(path);
    std::string line;
    std::string value;
    while (std::getline(file, line)) {
        if (line.rfind(key + "=", 0) == 0)
            value = Unquoted(line.substr(key.size() + 1));
    }
    return value;
}

// The first line a command prints, empty when it does not run or fails.
std::string FirstLineOf(const char* command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> output(::popen(command, "r"), ::pclose);
    if (!output)
        return {};
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, output.get()) != nullptr;
    const bool ok = ::pclose(output.release()) == 0;
    std::string text = got && ok ? line : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// Whether "10088", "10000:10100" (ufw) or "10000-10100" (firewalld), or a
// comma-separated list of them, takes port.
bool PortsTake(const std::string& ports, unsigned short port)
{
    std::istringstream items(ports);
    std::string item;
    while (std::getline(items, item, ',')) {
        unsigned low = 0;
        unsigned high = 0;
        char separator = 0;
        const int read = std::sscanf(item.c_str(), "%u%c%u", &low, &separator, &high);
        if (read == 1 && low == port)
            return true;
        if (read == 3 && (separator == ':' || separator == '-') && low <= port && port <= high)
            return true;
    }
    return false;
}

std::string WordAfter(const std::vector<std::string>& words, const std::string& option)
{
    for (size_t i = 0; i + 1 < words.size(); ++i) {
        if (words[i] == option)
            return words[i + 1];
    }
    return {};
}

// The verdict of one ufw-user-input rule on UDP datagrams to port: "ACCEPT",
// "DROP", "REJECT", or empty when the rule does not take them.
std::string UfwRuleVerdict(const std::string& line, unsigned short port)
{
    std::istringstream split(line);
    std::vector<std::string> words;
    for (std::string w; split >> w;)
        words.push_back(w);
    if (words.size() < 2 || words[0] != "-A" || words[1] != "ufw-user-input")
        return {};
    const std::string protocol = WordAfter(words, "-p");
    if (!protocol.empty() && protocol != "udp" && protocol != "all")
        return {};
    // A rule limited to sources or interfaces may not be the cameras': only
    // rules on the port alone are weighed.
    if (!WordAfter(words, "-s").empty() || !WordAfter(words, "-i").empty())
        return {};
    const std::string port1 = WordAfter(words, "--dport");
    const std::string ports = port1.empty() ? WordAfter(words, "--dports") : port1;
    if (ports.empty() || !PortsTake(ports, port))
        return {};
    const std::string target = WordAfter(words, "-j");
    return target == "ACCEPT" || target == "DROP" || target == "REJECT" ? target : std::string();
}

bool UfwActive(const std::string& root)
{
    if (root == "/") {
        const std::string status = FirstLineOf("ufw status 2>/dev/null");
        if (status == "Status: active")
            return true;
        if (status == "Status: inactive")
            return false;
    }
    return Setting(root + "/etc/ufw/ufw.conf", "ENABLED") == "yes";
}

// The services a firewalld zone names and whether one of them opens port.
std::string ServiceOpening(const std::string& root, const pugi::xml_node& zone, unsigned short port)
{
    for (const pugi::xml_node& service : zone.children("service")) {
        const std::string name = service.attribute("name").value();
        if (name.empty() || name.find('/') != std::string::npos)
            continue;
        pugi::xml_document definition;
        if (!definition.load_file((root + "/etc/firewalld/services/" + name + ".xml").c_str()) &&
            !definition.load_file((root + "/usr/lib/firewalld/services/" + name + ".xml").c_str()))
            continue;
        for (const pugi::xml_node& p : definition.child("service").children("port")) {
            if (std::string(p.attribute("protocol").value()) == "udp" && PortsTake(p.attribute("port").value(), port))
                return name;
        }
    }
    return {};
}

bool ZonePortOpens(const pugi::xml_node& zone, unsigned short port)
{
    for (const pugi::xml_node& p : zone.children("port")) {
        if (std::string(p.attribute("protocol").value()) == "udp" && PortsTake(p.attribute("port").value(), port))
            return true;
    }
    return false;
}

}  // namespace

std::optional<FirewallFinding> UfwFinding(const std::string& root, unsigned short port)
{
    if (!Exists(root + "/etc/ufw/ufw.conf"))
        return std::nullopt;
    FirewallFinding finding{"ufw", false, {}};
    if (!UfwActive(root)) {
        finding.why = "ufw is not enabled";
        return finding;
    }
    std::ifstream rules(root + "/etc/ufw/user.rules");
    if (!rules) {
        finding.why = "ufw's rules could not be read (run as root to check them)";
        return finding;
    }
    const std::string udpPort = "UDP " + std::to_string(port);
    // The first rule that takes the datagrams decides, as in the kernel's chain.
    for (std::string line; std::getline(rules, line);) {
        const std::string verdict = UfwRuleVerdict(line, port);
        if (verdict.empty())
            continue;
        finding.drops = verdict != "ACCEPT";
        finding.why = (finding.drops ? "this ufw rule drops " : "this ufw rule allows ") + udpPort + ": " + line;
        return finding;
    }
    const std::string policy = Setting(root + "/etc/default/ufw", "DEFAULT_INPUT_POLICY");
    finding.drops = policy != "ACCEPT";
    finding.why = finding.drops ? "ufw drops " + udpPort + ": no rule allows it and the incoming policy is " + policy +
                                      " (sudo ufw allow Orvane opens it)"
                                : "ufw's incoming policy accepts " + udpPort;
    return finding;
}

std::optional<FirewallFinding> FirewalldFinding(const std::string& root, unsigned short port)
{
    const std::string conf = root + "/etc/firewalld/firewalld.conf";
    if (!Exists(conf))
        return std::nullopt;
    FirewallFinding finding{"firewalld", false, {}};
    if (root == "/" && FirstLineOf("firewall-cmd --state 2>/dev/null") != "running") {
        finding.why = "firewalld is not running";
        return finding;
    }
    std::string zoneName = Setting(conf, "DefaultZone");
    if (zoneName.empty() || zoneName.find('/') != std::string::npos)
        zoneName = "public";
    pugi::xml_document document;
    if (!document.load_file((root + "/etc/firewalld/zones/" + zoneName + ".xml").c_str()) &&
        !document.load_file((root + "/usr/lib/firewalld/zones/" + zoneName + ".xml").c_str())) {
        finding.why = "firewalld's zone " + zoneName + " could not be read";
        return finding;
    }
    const pugi::xml_node zone = document.child("zone");
    const std::string udpPort = "UDP " + std::to_string(port);
    const std::string target = zone.attribute("target").value();
    const std::string service = ServiceOpening(root, zone, port);
    if (target == "ACCEPT")
        finding.why = "firewalld's zone " + zoneName + " accepts everything";
    else if (!service.empty())
        finding.why = "firewalld's zone " + zoneName + " opens " + udpPort + " (service " + service + ")";
    else if (ZonePortOpens(zone, port))
        finding.why = "firewalld's zone " + zoneName + " opens " + udpPort;
    else {
        finding.drops = true;
        finding.why = "firewalld's zone " + zoneName + " drops " + udpPort +
                      " (sudo firewall-cmd --permanent --add-service=orvane && sudo firewall-cmd --reload opens it)";
    }
    return finding;
}

}  // namespace orvane
