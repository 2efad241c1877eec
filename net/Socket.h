#pragma once
// An owned POSIX socket: closed exactly once, on every path.

#include "process/ProtocolTiming.h"

#include <netinet/in.h>
#include <sys/types.h>

#include <cstddef>
#include <utility>

namespace orvane {

class CancelToken;

class Socket {
public:
    Socket() = default;
    explicit Socket(int fd);
    ~Socket() { close(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)), fd_(std::exchange(other.fd_, -1)) {}
    Socket& operator=(Socket&& other) noexcept;

    static Socket udp();
    static Socket tcp();

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int release();
    void close();

    bool setBroadcast(bool on);
    bool setReceiveBuffer(int bytes);
    int receiveBuffer() const;
    bool setTimeouts_ms(int send_ms, int receive_ms);
    bool bindTo(const sockaddr_in& local);
    // Asks the kernel to tell, with every datagram, the interface it came in on.
    bool setReceivePacketInfo(bool on);

    // Makes the socket's packets leave through the named interface, whatever
    // the routing table says, and a destination with no route there counts
    // as on the link: SO_BINDTODEVICE (no privilege needed since Linux 5.7),
    // else IP_UNICAST_IF. 0, or the errno of the last try.
    int leaveThrough(const char* interfaceName);

    // A bounded connect: the camera tool waits about as long as the original
    // platform does (about 20 s), not Linux's two minutes.
    bool connectTo(const sockaddr_in& remote, int timeout_ms = CurrentProtocolTiming().connectBound_ms);
    // Shuts the socket down when token is cancelled. nullptr changes nothing.
    void cancelWith(CancelToken* token);

    // Every send uses MSG_NOSIGNAL: a peer that closes mid-transfer is a failed
    // send, never a SIGPIPE that kills the process.
    ssize_t send(const void* data, size_t length);
    // Sends every byte, as many calls as it takes. It gives up when a call
    // takes nothing for the socket's send time-out (or fails): a peer that is
    // slow but keeps taking bytes is waited for, one that has stalled is not.
    bool sendAll(const void* data, size_t length);
    ssize_t sendTo(const void* data, size_t length, const sockaddr_in& remote);
    // Sends out of the interface with index interfaceIndex, from source,
    // whatever the routing table says: how a limited broadcast reaches a
    // link that holds no route. Gives -1 with errno set on failure.
    ssize_t sendToVia(const void* data, size_t length, const sockaddr_in& remote, unsigned interfaceIndex,
                      in_addr source);
    ssize_t receive(void* buffer, size_t capacity);

    // Receives one datagram into buffer. A datagram longer than capacity is
    // consumed and reported as -1, so a cut datagram never passes as whole.
    ssize_t receiveDatagram(void* buffer, size_t capacity, sockaddr_in& sender);
    // The same, also giving the index of the interface the datagram came in
    // on (0 when the kernel did not say: setReceivePacketInfo first).
    ssize_t receiveDatagram(void* buffer, size_t capacity, sockaddr_in& sender, unsigned& interfaceIndex);
    // The same, also giving the address the datagram was sent to (a
    // broadcast address, or one of this host's).
    ssize_t receiveDatagram(void* buffer, size_t capacity, sockaddr_in& sender, unsigned& interfaceIndex,
                            in_addr& destination);

    // 1 when readable, 0 on time-out, -1 on error.
    int waitReadable(int timeout_ms) const;

private:
    CancelToken* cancel_ = nullptr;
    int fd_ = -1;
};

// IPv4 socket address from dotted-decimal text as inet_addr reads it; a text
// that is not an address gives INADDR_NONE, which no connect reaches.
sockaddr_in MakeAddress(const char* dotted, unsigned short port);
sockaddr_in MakeAnyAddress(unsigned short port);

}  // namespace orvane
