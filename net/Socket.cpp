#include "net/Socket.h"

#include "process/CancelToken.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace orvane {

Socket::Socket(int fd) : fd_(fd) {}

Socket& Socket::operator=(Socket&& other) noexcept
{
    if (this != &other) {
        close();
        cancel_ = std::exchange(other.cancel_, nullptr);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

void Socket::cancelWith(CancelToken* token)
{
    if (token == nullptr || token == cancel_ || fd_ < 0)
        return;
    if (cancel_ != nullptr)
        cancel_->forget(fd_);
    cancel_ = token;
    cancel_->track(fd_);
}

Socket Socket::udp() { return Socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)); }

Socket Socket::tcp() { return Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)); }

int Socket::release()
{
    if (cancel_ != nullptr && fd_ >= 0)
        cancel_->forget(fd_);
    cancel_ = nullptr;
    return std::exchange(fd_, -1);
}

void Socket::close()
{
    if (fd_ >= 0)
        ::close(release());
}

bool Socket::setBroadcast(bool on)
{
    int value = on ? 1 : 0;
    return ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) == 0;
}

bool Socket::setReceiveBuffer(int bytes)
{
    // SO_RCVBUFFORCE passes net.core.rmem_max when the process may; the plain
    // option is the fallback for unprivileged runs.
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0)
        return true;
    return ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

int Socket::receiveBuffer() const
{
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &value, &length) != 0)
        return -1;
    return value;
}

bool Socket::setTimeouts_ms(int send_ms, int receive_ms)
{
    timeval sendTimeout{send_ms / 1000, (send_ms % 1000) * 1000};
    timeval receiveTimeout{receive_ms / 1000, (receive_ms % 1000) * 1000};
    bool ok = ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout) == 0;
    ok = ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &receiveTimeout, sizeof receiveTimeout) == 0 && ok;
    return ok;
}

bool Socket::bindTo(const sockaddr_in& local)
{
    return ::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

bool Socket::setReceivePacketInfo(bool on)
{
    int value = on ? 1 : 0;
    return ::setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &value, sizeof value) == 0;
}

int Socket::leaveThrough(const char* interfaceName)
{
    if (::setsockopt(fd_, SOL_SOCKET, SO_BINDTODEVICE, interfaceName, static_cast<socklen_t>(std::strlen(interfaceName))) == 0)
        return 0;
    // Kernels before 5.7 ask CAP_NET_RAW for the device binding, not for this.
    const unsigned index = ::if_nametoindex(interfaceName);
    if (index == 0)
        return errno;
    const uint32_t wire = htonl(index);  // IPv4 takes the index in network byte order
    return ::setsockopt(fd_, IPPROTO_IP, IP_UNICAST_IF, &wire, sizeof wire) == 0 ? 0 : errno;
}

bool Socket::connectTo(const sockaddr_in& remote, int timeout_ms)
{
    if (fd_ < 0 || remote.sin_addr.s_addr == INADDR_NONE)
        return false;
    int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) != 0)
        return false;
    int rc = ::connect(fd_, reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
    if (rc != 0 && errno == EINPROGRESS) {
        pollfd pending{fd_, POLLOUT, 0};
        do {
            rc = ::poll(&pending, 1, timeout_ms);
        } while (rc < 0 && errno == EINTR);
        int error = 0;
        socklen_t length = sizeof error;
        if (rc == 1 && ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
            rc = 0;
        else
            rc = -1;
    }
    if (::fcntl(fd_, F_SETFL, flags) != 0)
        return false;
    return rc == 0;
}

ssize_t Socket::send(const void* data, size_t length)
{
    ssize_t sent;
    do {
        sent = ::send(fd_, data, length, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent;
}

bool Socket::sendAll(const void* data, size_t length)
{
    const char* bytes = static_cast<const char*>(data);
    size_t sent = 0;
    while (sent < length) {
        // A blocking send returns what it took when its time-out passes,
        // and fails only when it took nothing in all that time.
        ssize_t n = send(bytes + sent, length - sent);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

ssize_t Socket::sendTo(const void* data, size_t length, const sockaddr_in& remote)
{
    return ::sendto(fd_, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&remote),
                    sizeof remote);
}

ssize_t Socket::sendToVia(const void* data, size_t length, const sockaddr_in& remote, unsigned interfaceIndex,
                          in_addr source)
{
    iovec payload{const_cast<void*>(data), length};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = const_cast<sockaddr_in*>(&remote);
    message.msg_namelen = sizeof remote;
    message.msg_iov = &payload;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = static_cast<int>(interfaceIndex);
    info.ipi_spec_dst = source;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    ssize_t sent;
    do {
        sent = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent;
}

ssize_t Socket::receive(void* buffer, size_t capacity)
{
    ssize_t got;
    do {
        got = ::recv(fd_, buffer, capacity, 0);
    } while (got < 0 && errno == EINTR);
    return got;
}

ssize_t Socket::receiveDatagram(void* buffer, size_t capacity, sockaddr_in& sender)
{
    unsigned interfaceIndex = 0;
    return receiveDatagram(buffer, capacity, sender, interfaceIndex);
}

ssize_t Socket::receiveDatagram(void* buffer, size_t capacity, sockaddr_in& sender, unsigned& interfaceIndex)
{
    in_addr destination{};
    return receiveDatagram(buffer, capacity, sender, interfaceIndex, destination);
}

ssize_t Socket::receiveDatagram(void* buffer, size_t capacity, sockaddr_in& sender, unsigned& interfaceIndex,
                                in_addr& destination)
{
    iovec payload{buffer, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &payload;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    interfaceIndex = 0;
    destination = in_addr{};
    ssize_t got;
    do {
        got = ::recvmsg(fd_, &message, MSG_TRUNC);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return got;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(header), sizeof info);
            interfaceIndex = static_cast<unsigned>(info.ipi_ifindex);
            destination = info.ipi_addr;
        }
    }
    // MSG_TRUNC on receive gives the datagram's real length.
    if (got > static_cast<ssize_t>(capacity))
        return -1;
    return got;
}

int Socket::waitReadable(int timeout_ms) const
{
    // poll rather than select: a descriptor above FD_SETSIZE must not overrun a set.
    if (fd_ < 0)
        return -1;
    pollfd readable{fd_, POLLIN, 0};
    int rc = ::poll(&readable, 1, timeout_ms);
    if (rc < 0 || readable.revents & POLLNVAL)
        return -1;
    return rc == 0 ? 0 : 1;
}

sockaddr_in MakeAddress(const char* dotted, unsigned short port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = ::inet_addr(dotted);
    return address;
}

sockaddr_in MakeAnyAddress(unsigned short port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    return address;
}

}  // namespace orvane
