#pragma once
// Whether ufw or firewalld, as configured on this machine, drops UDP
// datagrams to a port: read from the files a user can read (ufw's
// ufw.conf, /etc/default/ufw and user.rules; firewalld's default zone and
// its zone and service XML), and, on the machine itself, from `ufw status`
// and `firewall-cmd --state` when they answer. Nothing here changes a rule.

#include <optional>
#include <string>

namespace orvane {

struct FirewallFinding {
    std::string firewall;  // "ufw" or "firewalld"
    bool drops = false;    // the datagrams to the port are dropped or rejected
    std::string why;       // one line: the rule, zone or policy that decides
};

// root: "/" for this machine; tests give a folder laid out like it, and the
// firewalls' own commands are asked only for "/". nullopt when the firewall
// is not installed.
std::optional<FirewallFinding> UfwFinding(const std::string& root, unsigned short port);
std::optional<FirewallFinding> FirewalldFinding(const std::string& root, unsigned short port);

}  // namespace orvane
