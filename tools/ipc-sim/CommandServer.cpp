#include "tools/ipc-sim/CommandServer.h"

#include "control/FileDigest.h"
#include "tools/ipc-sim/LinkAddress.h"

#include <openssl/evp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>

namespace orvane::sim {
namespace {

constexpr int kPoll_ms = 100;

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

CommandServer::CommandServer(const SimConfig& config, CameraStates& states, EventLog& log)
    : config_(config), states_(states), log_(log)
{
}

CommandServer::~CommandServer() { stop(); }

int CommandServer::listen(size_t camera, const std::string& ip)
{
    Socket socket = Socket::tcp();
    int one = 1;
    ::setsockopt(socket.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (config_.cameras[camera].deafCommands) {
        // A small window, inherited by every accepted connection, so that
        // an operator's sends stall soon against a camera that never reads.
        const int small = 4096;
        ::setsockopt(socket.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    }
    if (!socket.bindTo(MakeAddress(ip.c_str(), kCommandPort)) || ::listen(socket.fd(), 16) != 0)
        return errno;
    listeners_[camera] = {ip, std::move(socket)};
    return 0;
}

bool CommandServer::start(std::string& error)
{
    if (!restarts_.valid()) {
        error = std::string("cannot make an eventfd: ") + std::strerror(errno);
        return false;
    }
    // The first camera of an address decides how that address behaves.
    std::set<std::string> seen;
    for (size_t i = 0; i < config_.cameras.size(); ++i) {
        const SimCamera& camera = config_.cameras[i];
        if (!seen.insert(camera.ip).second || camera.refuseCommands)
            continue;
        const int failure = listen(i, camera.ip);
        if (failure == EADDRNOTAVAIL) {
            // An address this host does not own: such a camera cannot be
            // reached at all, as its search answers cannot leave either.
            log_.write("no-command-port camera=" + camera.ip + " reason=address-not-local");
        } else if (failure != 0) {
            error = "cannot listen on " + camera.ip + ":16101: " + std::strerror(failure);
            listeners_.clear();
            return false;
        }
    }
    acceptor_ = std::thread([this] { run(); });
    return true;
}

void CommandServer::stop()
{
    stopping_ = true;
    if (restarts_.valid())
        restarts_.wake();
    if (acceptor_.joinable())
        acceptor_.join();
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

// Sleeps in poll() until a connection comes, a restart begins or ends, or
// the port stops.
void CommandServer::run()
{
    while (!stopping_) {
        std::vector<pollfd> ready{{restarts_.wakeFd(), POLLIN, 0}};
        std::vector<size_t> owners{0};
        for (const auto& [camera, listener] : listeners_) {
            ready.push_back({listener.socket.fd(), POLLIN, 0});
            owners.push_back(camera);
        }
        const int timeout_ms = restarts_.msUntilNext(std::chrono::steady_clock::now());
        if (::poll(ready.data(), ready.size(), timeout_ms) < 0 && errno != EINTR)
            break;
        acceptReady(ready, owners);
        restarts_.clearWake();
        // A restarting camera refuses connections: its listener goes.
        for (size_t camera : restarts_.takeStarted())
            listeners_.erase(camera);
        restarts_.confirmStarted();
        for (const Restart& restart : restarts_.takeDue(std::chrono::steady_clock::now()))
            comeBack(restart);
    }
    restarts_.abandon();
}

void CommandServer::acceptReady(const std::vector<pollfd>& ready, const std::vector<size_t>& owners)
{
    for (size_t i = 1; i < ready.size() && !stopping_; ++i) {
        if ((ready[i].revents & POLLIN) == 0)
            continue;
        int fd = ::accept4(ready[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int id = nextConnection_++;
        const size_t camera = owners[i];
        const std::string ip = listeners_.at(camera).ip;
        std::lock_guard<std::mutex> lock(connectionsMutex_);
        connections_.emplace_back([this, camera, ip, fd, id] { serve(camera, ip, Socket(fd), id); });
    }
}

bool CommandServer::beginRestart(size_t camera, RestartReason reason, const std::string& newIp,
                                 const SettingChange& settings)
{
    const SimCamera& configured = config_.cameras[camera];
    if (configured.restart_ms <= 0 || stopping_ || !states_[camera].silence())
        return false;
    // Logged before the accepting thread can bring it back, so "restart"
    // always comes before its "back".
    log_.write("restart camera=" + configured.ip + " reason=" + ReasonName(reason) +
               " silent-ms=" + std::to_string(configured.restart_ms));
    restarts_.add({camera, reason, newIp,
                   std::chrono::steady_clock::now() + std::chrono::milliseconds(configured.restart_ms), settings});
    return true;
}

void CommandServer::comeBack(const Restart& restart)
{
    const SimCamera& configured = config_.cameras[restart.camera];
    if (configured.backNever) {
        log_.write("never-back camera=" + configured.ip);
        return;
    }
    const CameraShown was = states_[restart.camera].shown();
    std::string ip = was.ip;
    if (restart.reason == RestartReason::Address)
        ip = takeAddress(configured, was.ip, restart.newIp);
    const bool upgraded = restart.reason == RestartReason::Upgrade && !configured.afterUpgrade.empty();
    const std::string version = upgraded ? configured.afterUpgrade : was.version;
    if (!configured.refuseCommands) {
        if (const int failure = listen(restart.camera, ip); failure != 0)
            log_.write("no-command-port camera=" + configured.ip + " ip=" + ip + " reason=" + std::strerror(failure));
    }
    states_[restart.camera].take(restart.settings);
    states_[restart.camera].comeBack(ip, version);
    log_.write("back camera=" + configured.ip + " ip=" + ip + " version=" + version);
}

// The address the camera comes back with: the new one once this host holds
// it, else the one it had.
std::string CommandServer::takeAddress(const SimCamera& camera, const std::string& from, const std::string& to)
{
    std::string why = "not-unicast";
    if (IsUnicastAddress(to) && AddAddressBeside(from, to, why))
        return to;
    log_.write("address-not-taken camera=" + camera.ip + " ip=" + EscapeForLog(to) + " reason=" + why);
    return from;
}

size_t CommandServer::readFully(Socket& connection, uint8_t* buffer, size_t length)
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
void CommandServer::ignore(Socket& connection, const std::string& tag)
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

void CommandServer::serve(size_t camera, const std::string& ip, Socket connection, int id)
{
    // The address the connection came in on: after an address change the new one.
    const std::string tag = "camera=" + ip + " conn=" + std::to_string(id);
    if (config_.cameras[camera].deafCommands) {
        ignore(connection, tag);
        return;
    }
    auto frame = std::make_unique<uint8_t[]>(kCommandFrameBytes);
    std::string newIp;
    SettingChange settings;
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
        else if (std::string address = AddressChangeIn(text); !address.empty())
            newIp = address;
        else
            SettingIn(text, settings);
    }
    // Logged before this end closes: a test that sees no connection left
    // open on the camera's side knows the log holds its close.
    log_.write("close " + tag);
    connection.close();
    // A camera applies its new address once the operator is done with it.
    if (stopping_)
        return;
    if (!newIp.empty() && beginRestart(camera, RestartReason::Address, newIp, settings))
        return;
    if (settings.any() && !(config_.cameras[camera].settingsRestart &&
                            beginRestart(camera, RestartReason::Settings, "", settings)))
        states_[camera].take(settings);
}

void CommandServer::receiveUpload(size_t camera, Socket& connection, const std::string& tag,
                                const UploadHeader& header, bool& keepOpen)
{
    const SimCamera& configured = config_.cameras[camera];
    const int64_t wanted = configured.upload == UploadEnding::Cut ? header.size / 2 : header.size;
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
    switch (configured.upload) {
    case UploadEnding::Reply:
        // A camera flashes and reboots as soon as it has said yes, whether
        // or not the operator has closed: the connection goes with it. The
        // restart begins as the reply leaves, so that no search answer or
        // connection slips in once the operator has the reply.
        if (UpgradeAccepted(header, whole, configured.reply) && beginRestart(camera, RestartReason::Upgrade, ""))
            keepOpen = false;
        if (!configured.reply.empty() && connection.send(configured.reply.data(), configured.reply.size()) < 0)
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
