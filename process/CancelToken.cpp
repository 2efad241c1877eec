#include "process/CancelToken.h"

#include <sys/socket.h>

#include <algorithm>

namespace orvane {

void CancelToken::cancel()
{
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    for (int fd : open_)
        ::shutdown(fd, SHUT_RDWR);
}

void CancelToken::track(int fd)
{
    std::lock_guard<std::mutex> lock(mutex_);
    open_.push_back(fd);
    if (cancelled_)
        ::shutdown(fd, SHUT_RDWR);
}

void CancelToken::forget(int fd)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase(open_, fd);
}

}  // namespace orvane
