#pragma once
// A temporary address on a camera's link, inside the camera's /24, for a
// camera that answers only hosts of its own subnet (its replies to anyone
// else go to a gateway that is not there). Adding it needs CAP_NET_ADMIN.
// The address is one no host answers ARP for (probed as RFC 5227 has it:
// requests with a zero sender address), it is added as a /32 so that no route
// changes, with a kernel lifetime of kTemporaryAddressLifetime_s so that the
// kernel removes it even if this process is killed, kept alive while the
// operation runs, and removed when the TemporaryAddress goes. The changes
// are made by an AddressChanger: this process's own netlink socket, or the
// privileged helper.

#include "net/AddressChanger.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace orvane {

constexpr int kTemporaryAddressLifetime_s = 120;

// Whether this process may add addresses to links.
bool HasNetAdmin();

// The address to add for camera (host byte order): the highest host of the
// camera's /24 that is neither the camera, nor one of own, nor inUse (the ARP
// probe); nullopt when every host is taken.
std::optional<uint32_t> ChooseTemporaryAddress(uint32_t camera, const std::vector<uint32_t>& own,
                                               const std::function<bool(uint32_t)>& inUse);

// RFC 5227 probe on the link: true when any host claims address (answers, or
// probes for it itself). Needs CAP_NET_RAW; a probe that cannot be sent
// counts as in use.
bool AddressInUse(const std::string& interfaceName, uint32_t address);

class TemporaryAddress {
public:
    // Chooses, probes and adds an address for camera on the link; see ok().
    TemporaryAddress(std::string interfaceName, uint32_t camera);
    // The same through changer.
    TemporaryAddress(std::string interfaceName, uint32_t camera, std::shared_ptr<AddressChanger> changer);
    ~TemporaryAddress();
    TemporaryAddress(const TemporaryAddress&) = delete;
    TemporaryAddress& operator=(const TemporaryAddress&) = delete;

    bool ok() const { return added_; }
    uint32_t address() const { return address_; }
    const std::string& error() const { return error_; }

private:
    void keepAlive();

    std::string interfaceName_;
    std::shared_ptr<AddressChanger> changer_;
    uint32_t address_ = 0;
    bool added_ = false;
    std::string error_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread keeper_;
};

}  // namespace orvane
