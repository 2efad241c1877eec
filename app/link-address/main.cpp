// orvane-link-address: the privileged helper that puts a temporary /32 on a
// camera's link for the window of an operator without CAP_NET_ADMIN, and
// takes it away again. pkexec runs it as root after the operator
// authenticates (the polkit action org.orvane.Orvane.link-address), so it
// trusts nothing it is given and does nothing else:
//
//   orvane-link-address add INTERFACE ADDRESS SECONDS    probe, then add ADDRESS/32
//   orvane-link-address renew INTERFACE ADDRESS SECONDS  a fresh lifetime for it
//   orvane-link-address remove INTERFACE ADDRESS         remove it
//
// INTERFACE must exist, ADDRESS must be a private IPv4 address (10/8,
// 172.16/12, 192.168/16), SECONDS from 1 to 120: the kernel removes the
// address by itself when that lifetime runs out. renew and remove touch only
// a /32 whose lifetime is that short, never an address given to the link
// for good. Exit codes: 0 done, 1 failed, 2 an argument refused, 3 the
// address is in use (a host answers for it, or the link has it already);
// anything but 0 comes with one line on stderr.

#include "net/HelperAddressChanger.h"
#include "net/IPv4.h"
#include "net/NetlinkAddressChanger.h"
#include "net/TemporaryAddress.h"

#include <net/if.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

using orvane::AddressChange;

struct Request {
    std::string verb;
    std::string link;
    uint32_t address = 0;  // host byte order
    int lifetime_s = 0;
};

int Refuse(const std::string& why)
{
    std::fprintf(stderr, "orvane-link-address: %s\n", why.c_str());
    return orvane::kHelperRefused;
}

bool IsPrivate(uint32_t a)
{
    return (a >> 24) == 10 || (a >> 20) == ((172u << 4) | 1u) || (a >> 16) == ((192u << 8) | 168u);
}

std::optional<int> ReadLifetime(const char* text)
{
    const size_t length = std::strlen(text);
    if (length == 0 || length > 3 || std::strspn(text, "0123456789") != length)
        return std::nullopt;
    const int seconds = std::atoi(text);
    if (seconds < 1 || seconds > orvane::kTemporaryAddressLifetime_s)
        return std::nullopt;
    return seconds;
}

// The request, or the exit code and line of a refusal.
std::optional<Request> ReadRequest(int argc, char** argv, int& refused)
{
    const std::string verb = argc > 1 ? argv[1] : "";
    const bool withLifetime = verb == "add" || verb == "renew";
    if (!withLifetime && verb != "remove") {
        refused = Refuse("usage: orvane-link-address add|renew INTERFACE ADDRESS SECONDS, or remove INTERFACE ADDRESS");
        return std::nullopt;
    }
    if (argc != (withLifetime ? 5 : 4)) {
        refused = Refuse(verb + " takes " + (withLifetime ? "INTERFACE ADDRESS SECONDS" : "INTERFACE ADDRESS") +
                         ", nothing more or less");
        return std::nullopt;
    }
    Request request;
    request.verb = verb;
    request.link = argv[2];
    if (request.link.empty() || request.link.size() >= IFNAMSIZ || ::if_nametoindex(argv[2]) == 0) {
        refused = Refuse("no interface named '" + request.link + "'");
        return std::nullopt;
    }
    uint32_t parsed = 0;
    if (!orvane::ParseIPv4(argv[3], parsed) || !IsPrivate(parsed)) {
        refused = Refuse(std::string("'") + argv[3] + "' is not a private IPv4 address");
        return std::nullopt;
    }
    request.address = parsed;
    if (withLifetime) {
        const std::optional<int> lifetime = ReadLifetime(argv[4]);
        if (!lifetime) {
            refused = Refuse(std::string("the lifetime '") + argv[4] + "' is not from 1 to 120 seconds");
            return std::nullopt;
        }
        request.lifetime_s = *lifetime;
    }
    return request;
}

AddressChange Carry(const Request& request)
{
    orvane::NetlinkAddressChanger changer;
    if (request.verb == "add")
        return changer.add(request.link, request.address, request.lifetime_s);
    if (request.verb == "renew")
        return changer.renew(request.link, request.address, request.lifetime_s);
    return changer.remove(request.link, request.address);
}

}  // namespace

int main(int argc, char** argv)
{
    int refused = 0;
    const std::optional<Request> request = ReadRequest(argc, argv, refused);
    if (!request)
        return refused;
    const AddressChange change = Carry(*request);
    if (change.done())
        return 0;
    if (change.outcome == AddressChange::Outcome::InUse) {
        std::fprintf(stderr, "orvane-link-address: %s is in use on %s\n", argv[3], argv[2]);
        return orvane::kHelperInUse;
    }
    std::fprintf(stderr, "orvane-link-address: %s\n", change.error.c_str());
    return orvane::kHelperFailed;
}
