#pragma once
// A packet socket on every link, below the firewall: it sees the UDP
// datagrams to a port that reached this machine, whether or not a firewall
// rule or the reverse-path filter drops them before a program gets them.
// Open it before a search and read it after: the kernel queues what it saw
// meanwhile. Needs CAP_NET_RAW; without it, listening() is false.

#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

struct TappedDatagram {
    uint32_t source = 0;  // host byte order
    std::string link;
};

class AnswerTap {
public:
    explicit AnswerTap(unsigned short port);
    ~AnswerTap();
    AnswerTap(const AnswerTap&) = delete;
    AnswerTap& operator=(const AnswerTap&) = delete;

    bool listening() const { return fd_ >= 0; }
    // Each sender and link heard since the tap opened, once, in arrival order.
    std::vector<TappedDatagram> drain();

private:
    unsigned short port_;
    int fd_ = -1;
};

}  // namespace orvane
