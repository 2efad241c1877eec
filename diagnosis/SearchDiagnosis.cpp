#include "diagnosis/SearchDiagnosis.h"

#include "net/NetworkInterfaces.h"

#include <dirent.h>
#include <net/if.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace orvane {
namespace {

int ReadNumber(const std::string& path)
{
    std::ifstream file(path);
    int value = -1;
    return file >> value ? value : -1;
}

// The socket inodes bound to port in /proc/net/udp (local address column "ADDR:PORT" in hex).
std::vector<std::string> InodesOnPort(unsigned short port)
{
    std::ifstream table("/proc/net/udp");
    std::vector<std::string> inodes;
    std::string line;
    std::getline(table, line);  // header
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
        if (local.size() >= 5 && local.compare(local.size() - 5, 5, wanted) == 0)
            inodes.push_back(inode);
    }
    return inodes;
}

std::string CommandOf(const std::string& pid)
{
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// The first process with a descriptor on one of the sockets, "name (pid N)".
std::string ProcessHolding(const std::vector<std::string>& inodes)
{
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (!proc)
        return {};
    while (const dirent* entry = ::readdir(proc.get())) {
        const std::string pid = entry->d_name;
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const std::string fds = "/proc/" + pid + "/fd";
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(fds.c_str()), ::closedir);
        if (!dir)
            continue;
        while (const dirent* fd = ::readdir(dir.get())) {
            char target[64] = {};
            const std::string link = fds + "/" + fd->d_name;
            if (::readlink(link.c_str(), target, sizeof target - 1) <= 0)
                continue;
            for (const std::string& inode : inodes) {
                if (std::string(target) == "socket:[" + inode + "]")
                    return CommandOf(pid) + " (pid " + pid + ")";
            }
        }
    }
    return {};
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool NamesPort(const std::string& rule, unsigned short port)
{
    const std::string p = std::to_string(port);
    for (size_t at = rule.find(p); at != std::string::npos; at = rule.find(p, at + 1)) {
        const bool startsClean = at == 0 || !std::isdigit(static_cast<unsigned char>(rule[at - 1]));
        const size_t end = at + p.size();
        const bool endsClean = end == rule.size() || !std::isdigit(static_cast<unsigned char>(rule[end]));
        if (startsClean && endsClean)
            return true;
    }
    return false;
}

}  // namespace

std::vector<SkippedInterface> ListSkippedInterfaces()
{
    std::vector<SkippedInterface> skipped;
    std::unique_ptr<struct if_nameindex, void (*)(struct if_nameindex*)> names(::if_nameindex(), ::if_freenameindex);
    if (!names)
        return skipped;
    for (const struct if_nameindex* n = names.get(); n->if_index != 0; ++n) {
        std::string why = WhyNotSearchInterface(n->if_name);
        if (why.find("broadcast") != std::string::npos)
            why += " (a point-to-point tunnel such as tun or WireGuard)";
        if (!why.empty())
            skipped.push_back({n->if_name, why});
    }
    return skipped;
}

int ReversePathFilter(const std::string& interfaceName)
{
    const int all = ReadNumber("/proc/sys/net/ipv4/conf/all/rp_filter");
    const int own = ReadNumber("/proc/sys/net/ipv4/conf/" + interfaceName + "/rp_filter");
    if (all < 0 && own < 0)
        return -1;
    return std::max(all, own);
}

std::string UdpPortHolder(unsigned short port)
{
    const std::vector<std::string> inodes = InodesOnPort(port);
    if (inodes.empty())
        return {};
    const std::string holder = ProcessHolding(inodes);
    return holder.empty() ? "another program" : holder;
}

std::vector<std::string> DropsInRuleset(const std::string& ruleset, unsigned short port)
{
    std::vector<std::string> drops;
    std::istringstream lines(ruleset);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string rule = Lower(line);
        const bool udp = rule.find("udp") != std::string::npos;
        const bool dropping = rule.find("drop") != std::string::npos || rule.find("reject") != std::string::npos;
        if (udp && dropping && NamesPort(rule, port)) {
            const size_t first = line.find_first_not_of(" \t");
            drops.push_back(first == std::string::npos ? line : line.substr(first));
        }
    }
    return drops;
}

std::vector<std::string> FirewallDrops(unsigned short port, bool& readable)
{
    readable = false;
    // Only the listing: nft changes nothing without a command that says so.
    std::unique_ptr<FILE, int (*)(FILE*)> listing(::popen("nft list ruleset 2>/dev/null", "r"), ::pclose);
    if (!listing)
        return {};
    std::string ruleset;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, listing.get())) > 0;)
        ruleset.append(buffer, got);
    readable = ::pclose(listing.release()) == 0;
    return readable ? DropsInRuleset(ruleset, port) : std::vector<std::string>{};
}

}  // namespace orvane
