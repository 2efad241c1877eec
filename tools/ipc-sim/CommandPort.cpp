#include "tools/ipc-sim/CommandPort.h"

#include "control/FileDigest.h"

#include <openssl/evp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

namespace orvane::sim {
namespace {

constexpr int kPoll_ms = 100;

bool AllDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool LowerHex(const std::string& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

struct DigestContext {
    DigestContext() : context(EVP_MD_CTX_new()) { ok = context && EVP_DigestInit_ex(context, EVP_md5(), nullptr) == 1; }
    ~DigestContext() { EVP_MD_CTX_free(context); }
    DigestContext(const DigestContext&) = delete;
    DigestContext& operator=(const DigestContext&) = delete;

    void update(const uint8_t* data, size_t length)
    {
        if (ok && length > 0)
            ok = EVP_DigestUpdate(context, data, length) == 1;
    }
    std::string hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (!ok || EVP_DigestFinal_ex(context, digest, &length) != 1)
            return "";
        return BytesToHex(digest, length);
    }

    EVP_MD_CTX* context;
    bool ok = false;
};

}  // namespace

bool ParseUploadHeader(const std::string& text, UploadHeader& header)
{
    // "#K&" + at least one digit + "&" + 16 + "#"
    if (text.size() < 22 || text.front() != '#' || text.back() != '#')
        return false;
    if ((text[1] != '2' && text[1] != '4' && text[1] != '6') || text[2] != '&')
        return false;
    size_t secondAmp = text.find('&', 3);
    if (secondAmp == std::string::npos)
        return false;
    std::string size = text.substr(3, secondAmp - 3);
    std::string digest = text.substr(secondAmp + 1, text.size() - secondAmp - 2);
    if (!AllDigits(size) || size.size() > 10 || digest.size() != 16 || !LowerHex(digest))
        return false;
    long long value = std::stoll(size);
    if (value > 2147483647LL)
        return false;
    header.kind = text[1] - '0';
    header.size = value;
    header.digest = digest;
    return true;
}

std::string EscapeForLog(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

CommandPort::CommandPort(const SimConfig& config, EventLog& log) : config_(config), log_(log) {}

CommandPort::~CommandPort() { stop(); }

bool CommandPort::start(std::string& error)
{
    // The first camera of an address decides how that address behaves.
    std::set<std::string> seen;
    for (const SimCamera& camera : config_.cameras) {
        if (!seen.insert(camera.ip).second || camera.refuseCommands)
            continue;
        Socket socket = Socket::tcp();
        int one = 1;
        ::setsockopt(socket.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (camera.deafCommands) {
            // A small window, inherited by every accepted connection, so that
            // an operator's sends stall soon against a camera that never reads.
            const int small = 4096;
            ::setsockopt(socket.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        }
        const bool bound = socket.bindTo(MakeAddress(camera.ip.c_str(), kCommandPort));
        const int bindError = errno;
        if (!bound && bindError == EADDRNOTAVAIL) {
            // An address this host does not own: such a camera cannot be
            // reached at all, as its search answers cannot leave either.
            log_.write("no-command-port camera=" + camera.ip + " reason=address-not-local");
            continue;
        }
        if (!bound || ::listen(socket.fd(), 16) != 0) {
            error = "cannot listen on " + camera.ip + ":16101: " + std::strerror(bound ? errno : bindError);
            listeners_.clear();
            return false;
        }
        listeners_.push_back({&camera, std::move(socket)});
    }
    for (Listener& listener : listeners_)
        acceptors_.emplace_back([this, &listener] { accept(listener); });
    return true;
}

void CommandPort::stop()
{
    stopping_ = true;
    for (std::thread& t : acceptors_) {
        if (t.joinable())
            t.join();
    }
    acceptors_.clear();
    std::vector<std::thread> connections;
    {
        std::lock_guard<std::mutex> lock(connectionsMutex_);
        connections.swap(connections_);
    }
    for (std::thread& t : connections) {
        if (t.joinable())
            t.join();
    }
    listeners_.clear();
}

void CommandPort::accept(Listener& listener)
{
    while (!stopping_) {
        if (listener.socket.waitReadable(kPoll_ms) <= 0)
            continue;
        int fd = ::accept(listener.socket.fd(), nullptr, nullptr);
        if (fd < 0)
            continue;
        int id = nextConnection_++;
        const SimCamera& camera = *listener.camera;
        std::lock_guard<std::mutex> lock(connectionsMutex_);
        connections_.emplace_back([this, &camera, fd, id] { serve(camera, Socket(fd), id); });
    }
}

size_t CommandPort::readFully(Socket& connection, uint8_t* buffer, size_t length)
{
    size_t have = 0;
    while (have < length && !stopping_) {
        int ready = connection.waitReadable(kPoll_ms);
        if (ready < 0)
            break;
        if (ready == 0)
            continue;
        ssize_t got = connection.receive(buffer + have, length - have);
        if (got <= 0)
            break;
        have += static_cast<size_t>(got);
    }
    return have;
}

// Holds the connection without reading from it until the operator closes
// it or the simulator stops; then says how much lay unread.
void CommandPort::ignore(Socket& connection, const std::string& tag)
{
    while (!stopping_) {
        pollfd waiting{connection.fd(), POLLRDHUP, 0};
        if (::poll(&waiting, 1, kPoll_ms) > 0 && (waiting.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0)
            break;
    }
    int unread = 0;
    ::ioctl(connection.fd(), FIONREAD, &unread);
    log_.write("deaf-close " + tag + " unread=" + std::to_string(unread));
}

void CommandPort::serve(const SimCamera& camera, Socket connection, int id)
{
    const std::string tag = "camera=" + camera.ip + " conn=" + std::to_string(id);
    if (camera.deafCommands) {
        ignore(connection, tag);
        return;
    }
    auto frame = std::make_unique<uint8_t[]>(kCommandFrameBytes);
    bool keepOpen = true;
    while (keepOpen && !stopping_) {
        size_t got = readFully(connection, frame.get(), kCommandFrameBytes);
        if (got < kCommandFrameBytes) {
            if (got > 0)
                log_.write("partial-frame " + tag + " bytes=" + std::to_string(got));
            break;
        }
        const char* begin = reinterpret_cast<const char*>(frame.get());
        const size_t textLength = strnlen(begin, kCommandFrameBytes);
        const std::string text(begin, textLength);
        log_.write("frame " + tag + " text=" + EscapeForLog(text));
        const size_t stray = static_cast<size_t>(
            std::count_if(frame.get() + textLength, frame.get() + kCommandFrameBytes, [](uint8_t b) { return b != 0; }));
        if (stray > 0)
            log_.write("frame-tail " + tag + " nonzero=" + std::to_string(stray));
        UploadHeader header;
        if (ParseUploadHeader(text, header))
            receiveUpload(camera, connection, tag, header, keepOpen);
    }
    log_.write("close " + tag);
}

void CommandPort::receiveUpload(const SimCamera& camera, Socket& connection, const std::string& tag,
                                const UploadHeader& header, bool& keepOpen)
{
    const int64_t wanted = camera.upload == UploadEnding::Cut ? header.size / 2 : header.size;
    DigestContext digest;
    std::vector<uint8_t> buffer(65536);
    int64_t received = 0;
    while (received < wanted) {
        size_t step = static_cast<size_t>(std::min<int64_t>(wanted - received, static_cast<int64_t>(buffer.size())));
        int ready = connection.waitReadable(kPoll_ms);
        if (ready < 0 || stopping_)
            break;
        if (ready == 0)
            continue;
        ssize_t got = connection.receive(buffer.data(), step);
        if (got <= 0)
            break;
        digest.update(buffer.data(), static_cast<size_t>(got));
        received += got;
    }
    const bool whole = received == header.size;
    const std::string hex = digest.hex();
    const bool md5ok = whole && hex.size() >= 16 && hex.compare(0, 16, header.digest) == 0;
    log_.write("upload " + tag + " kind=" + std::to_string(header.kind) + " size=" + std::to_string(header.size) +
               " digest=" + header.digest + " received=" + std::to_string(received) + " md5ok=" + (md5ok ? "1" : "0"));
    if (received < wanted) {  // the peer went away or the simulator stops
        keepOpen = false;
        return;
    }
    switch (camera.upload) {
    case UploadEnding::Reply:
        if (!camera.reply.empty() && connection.send(camera.reply.data(), camera.reply.size()) < 0)
            keepOpen = false;
        break;
    case UploadEnding::Close:
    case UploadEnding::Cut:
        keepOpen = false;
        break;
    case UploadEnding::Silent: {
        // Whatever else arrives is swallowed until the peer closes.
        while (!stopping_) {
            int ready = connection.waitReadable(kPoll_ms);
            if (ready < 0)
                break;
            if (ready > 0 && connection.receive(buffer.data(), buffer.size()) <= 0)
                break;
        }
        keepOpen = false;
        break;
    }
    }
}

}  // namespace orvane::sim
