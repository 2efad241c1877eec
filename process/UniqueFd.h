#pragma once
// Owns a file descriptor that is not a camera connection (netlink and packet
// sockets, a path handle): closed when it goes, on every path.

#include <unistd.h>

namespace orvane {

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace orvane
