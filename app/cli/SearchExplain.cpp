#include "app/cli/SearchExplain.h"

#include "discovery/SearchAnswer.h"
#include "diagnosis/FirewallConfig.h"
#include "net/IPv4.h"
#include "net/NetworkInterfaces.h"
#include "diagnosis/SearchDiagnosis.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace orvane::cli {
namespace {

using nlohmann::json;

json InterfaceUsed(const InterfaceReport& i)
{
    const IPv4Subnet subnet{ntohl(i.address.s_addr), ntohl(i.netmask.s_addr)};
    json used{{"name", i.name}, {"answers", i.answers}};
    if (i.broadcast) {
        used["address"] = FormatIPv4(subnet.address) + "/" + std::to_string(subnet.prefix());
        used["request"] = i.error == 0 ? "sent" : std::strerror(i.error);
    } else {
        used["request"] = "not sent here";
    }
    const int rp = ReversePathFilter(i.name);
    if (rp >= 0)
        used["rp_filter"] = rp;
    return used;
}

// Cameras whose address lies in none of the subnets of the link they answered on.
json ForeignCameras(const SearchResult& result)
{
    const std::vector<OwnSubnet> subnets = ListOwnSubnets();
    json foreign = json::array();
    for (const CameraRecord* r = result.cameras.head(); r; r = r->next.get()) {
        uint32_t a = 0;
        if (!ParseIPv4(r->ip, a))
            continue;
        if (!OnLinkSubnet(subnets, r->interfaceName, a))
            foreign.push_back({{"ip", r->ip}, {"mac", r->mac}, {"interface", r->interfaceName}});
    }
    return foreign;
}

// ufw and firewalld as configured. ORVANE_FIREWALL_ROOT, for tests only,
// names a folder laid out like / whose configuration is read instead.
json OtherFirewalls()
{
    const char* forTests = std::getenv("ORVANE_FIREWALL_ROOT");
    const std::string root = forTests != nullptr && *forTests != '\0' ? forTests : "/";
    json found = json::array();
    for (const std::optional<FirewallFinding>& f : {UfwFinding(root, kSearchLocalPort), FirewalldFinding(root, kSearchLocalPort)}) {
        if (f)
            found.push_back({{"firewall", f->firewall}, {"drops", f->drops}, {"why", f->why}});
    }
    return found;
}

// Why an answer that reached the machine did not reach the search, when this machine says.
std::string WhyMissed(const TappedDatagram& d, const json& firewall, const std::vector<OwnSubnet>& subnets)
{
    if (!firewall["drops"].empty())
        return "an nftables rule drops it: " + firewall["drops"][0].get<std::string>();
    if (ReversePathFilter(d.link) == 1 && !OnLinkSubnet(subnets, d.link, d.source))
        return "rp_filter=1 (strict) on " + d.link + " drops answers from other subnets";
    for (const json& other : firewall["others"]) {
        if (other["drops"].get<bool>())
            return other["why"].get<std::string>();
    }
    return {};
}

// Answers heard below the firewall from senders the search did not list.
json MissedAnswers(const SearchResult& result, const std::vector<TappedDatagram>& tapped, const json& firewall)
{
    const std::vector<OwnSubnet> subnets = ListOwnSubnets();
    json missed = json::array();
    for (const TappedDatagram& d : tapped) {
        const std::string ip = FormatIPv4(d.source);
        bool listed = false;
        for (const CameraRecord* r = result.cameras.head(); r; r = r->next.get())
            listed = listed || ip == r->ip;
        if (!listed)
            missed.push_back({{"ip", ip}, {"interface", d.link}, {"why", WhyMissed(d, firewall, subnets)}});
    }
    return missed;
}

}  // namespace

json ExplainSearch(const SearchRequest& request, const SearchResult& result, const std::vector<TappedDatagram>* tapped)
{
    json report;
    report["interfaces"] = json::array();
    for (const InterfaceReport& i : result.report.interfaces)
        report["interfaces"].push_back(InterfaceUsed(i));
    report["skipped"] = json::array();
    for (const SkippedInterface& s : ListSkippedInterfaces())
        report["skipped"].push_back({{"name", s.name}, {"why", s.why}});
    if (!request.targets.empty()) {
        report["targets"] = {{"requests", result.report.targetRequests},
                             {"failed", result.report.targetFailures},
                             {"sweep_ms", result.report.targetSweep_ms}};
    }
    report["foreign_subnet_cameras"] = ForeignCameras(result);
    const std::string holder = UdpPortHolder(kSearchLocalPort);
    // This search holds the port itself; only another holder would be news.
    report["port_10088"] = result.report.socketReady ? "this search" : (holder.empty() ? "free" : holder);
    bool readable = false;
    const std::vector<std::string> drops = FirewallDrops(kSearchLocalPort, readable);
    report["firewall"] = {{"readable", readable}, {"drops", drops}, {"others", OtherFirewalls()}};
    report["below_firewall"] = {{"listening", tapped != nullptr}, {"missed", json::array()}};
    if (tapped != nullptr)
        report["below_firewall"]["missed"] = MissedAnswers(result, *tapped, report["firewall"]);
    return report;
}

std::string ExplainText(const json& explained)
{
    std::string text = "search report:\n";
    for (const json& i : explained["interfaces"]) {
        text += "  interface " + i["name"].get<std::string>();
        if (i.contains("address"))
            text += " " + i["address"].get<std::string>();
        text += ": request " + i["request"].get<std::string>() + ", " + std::to_string(i["answers"].get<int>()) +
                " answers heard\n";
        if (i.value("rp_filter", 0) == 1)
            text += "  interface " + i["name"].get<std::string>() +
                    ": rp_filter=1 (strict) drops answers from cameras on other subnets; "
                    "sysctl net.ipv4.conf." + i["name"].get<std::string>() + ".rp_filter=2 allows them\n";
    }
    for (const json& s : explained["skipped"])
        text += "  skipped " + s["name"].get<std::string>() + ": " + s["why"].get<std::string>() + "\n";
    if (explained.contains("targets")) {
        const json& t = explained["targets"];
        text += "  unicast requests: " + std::to_string(t["requests"].get<int>()) + " sent, " +
                std::to_string(t["failed"].get<int>()) + " failed, in " + std::to_string(t["sweep_ms"].get<int>()) +
                " ms\n";
    }
    for (const json& c : explained["foreign_subnet_cameras"])
        text += "  camera " + c["ip"].get<std::string>() + " (" + c["mac"].get<std::string>() + ") answered on " +
                c["interface"].get<std::string>() +
                " from outside its subnets; commands reach it through that interface\n";
    text += "  UDP port 10088: " + explained["port_10088"].get<std::string>() + "\n";
    const json& firewall = explained["firewall"];
    if (!firewall["readable"].get<bool>())
        text += "  firewall: the nftables rules could not be read (run as root to check them)\n";
    else if (firewall["drops"].empty())
        text += "  firewall: no nftables rule drops UDP 10088\n";
    for (const json& rule : firewall["drops"])
        text += "  firewall: this nftables rule drops the answers to UDP 10088: " + rule.get<std::string>() + "\n";
    for (const json& other : firewall["others"])
        text += "  firewall: " + other["why"].get<std::string>() + "\n";
    const json& below = explained["below_firewall"];
    if (!below["listening"].get<bool>())
        text += "  below the firewall: not listened (that needs CAP_NET_RAW: run as root)\n";
    else if (below["missed"].empty())
        text += "  below the firewall: every answer that reached this machine reached the search\n";
    for (const json& m : below["missed"]) {
        const std::string why = m["why"].get<std::string>();
        text += "  below the firewall: an answer from " + m["ip"].get<std::string>() + " reached " +
                m["interface"].get<std::string>() + " but not the search" + (why.empty() ? "" : ": " + why) + "\n";
    }
    return text;
}

std::string ExplainBusyPort()
{
    const std::string holder = UdpPortHolder(kSearchLocalPort);
    return holder.empty() ? std::string() : "orvane-cli: UDP port 10088 is held by " + holder + "\n";
}

}  // namespace orvane::cli
