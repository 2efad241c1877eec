#pragma once
// What this machine does to a search besides the search itself: the links it
// will not send on and why, the reverse-path filter of a link, who holds a
// UDP port, and firewall rules that drop datagrams to a port. Read from
// /proc, /sys and the firewall's own listing; nothing here sends a packet.

#include <string>
#include <vector>

namespace orvane {

struct SkippedInterface {
    std::string name;
    std::string why;  // "is down", "is loopback", "cannot broadcast (a tunnel such as tun or WireGuard)", ...
};

// Every interface of this machine that a search does not send on, with why.
std::vector<SkippedInterface> ListSkippedInterfaces();

// The reverse-path filter in force on a link: the stricter of the link's own
// and "all" (0 off, 1 strict, 2 loose); -1 when it cannot be read.
int ReversePathFilter(const std::string& interfaceName);

// The program holding UDP port on any IPv4 address: "ipc-sim (pid 4242)",
// "another program" when /proc does not say which, empty when it is free.
std::string UdpPortHolder(unsigned short port);

// Rules of the firewall's listing (nft list ruleset) that drop or reject UDP
// datagrams to port, one per line as listed; empty when there is none or the
// listing cannot be read. readable is false when it cannot.
std::vector<std::string> FirewallDrops(unsigned short port, bool& readable);

// The same over a listing already read: for tests and for the listing of a
// firewall other than nftables.
std::vector<std::string> DropsInRuleset(const std::string& ruleset, unsigned short port);

}  // namespace orvane
