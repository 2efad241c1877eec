// The rules that decide when a simulated camera restarts and how it comes
// back: the options that ask for it, what counts as an accepted upgrade or
// an address change, and the order in which silences end.

#include "tools/ipc-sim/CommandPort.h"
#include "tools/ipc-sim/RestartQueue.h"
#include "tools/ipc-sim/SimConfig.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvane::sim {
namespace {

TEST(RestartConfig, CameraKeysAndTheirMistakes)
{
    SimCamera camera;
    std::string error;
    ASSERT_TRUE(ParseSimCamera("ip=10.77.0.11,restart-ms=1500,after-upgrade=V2,back=never", camera, error)) << error;
    EXPECT_EQ(camera.restart_ms, 1500);
    EXPECT_EQ(camera.afterUpgrade, "V2");
    EXPECT_TRUE(camera.backNever);

    SimCamera plain;
    ASSERT_TRUE(ParseSimCamera("ip=10.77.0.11", plain, error));
    EXPECT_EQ(plain.restart_ms, 0);  // no restart unless asked for
    EXPECT_FALSE(plain.backNever);

    const char* bad[] = {"ip=1.2.3.4,restart-ms=-1",      "ip=1.2.3.4,restart-ms=1s",
                         "ip=1.2.3.4,restart-ms=3600001", "ip=1.2.3.4,after-upgrade=",
                         "ip=1.2.3.4,back=maybe",         "ip=1.2.3.4,back=never"};
    for (const char* text : bad) {
        SimCamera c;
        EXPECT_FALSE(ParseSimCamera(text, c, error)) << text;
    }
}

TEST(RestartConfig, GlobalOptionsReachGeneratedCamerasOnly)
{
    // The options may follow --cameras; a --camera keeps its own keys.
    const char* argv[] = {"ipc-sim",          "--camera",      "ip=10.77.0.20", "--cameras", "2",
                          "--addresses",      "10.77.0.11,10.77.0.12",          "--restart-ms", "800",
                          "--after-upgrade", "V9"};
    SimConfig config;
    std::string error;
    ASSERT_TRUE(ParseSimArgs(static_cast<int>(std::size(argv)), const_cast<char**>(argv), config, error)) << error;
    ASSERT_EQ(config.cameras.size(), 3u);
    EXPECT_EQ(config.cameras[0].restart_ms, 0);
    EXPECT_TRUE(config.cameras[0].afterUpgrade.empty());
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(config.cameras[i].restart_ms, 800);
        EXPECT_EQ(config.cameras[i].afterUpgrade, "V9");
    }
    const char* negative[] = {"ipc-sim", "--restart-ms", "-5"};
    EXPECT_FALSE(ParseSimArgs(3, const_cast<char**>(negative), config, error));
}

TEST(RestartRules, AcceptedUpgrades)
{
    UploadHeader firmware{4, 100, "0123456789abcdef"};
    UploadHeader kernel{2, 100, "0123456789abcdef"};
    UploadHeader addressList{6, 100, "0123456789abcdef"};
    EXPECT_TRUE(UpgradeAccepted(firmware, true, "1"));
    EXPECT_TRUE(UpgradeAccepted(kernel, true, "2"));
    EXPECT_TRUE(UpgradeAccepted(firmware, true, " 2 done"));  // read as a number, like atoi
    EXPECT_FALSE(UpgradeAccepted(addressList, true, "1"));
    EXPECT_FALSE(UpgradeAccepted(firmware, false, "1"));  // data missing
    for (const char* refused : {"0", "3", "12", "-1", "", "x1", "  12x"})
        EXPECT_FALSE(UpgradeAccepted(firmware, true, refused)) << '"' << refused << '"';
}

TEST(RestartRules, AddressChangeFrames)
{
    EXPECT_EQ(AddressChangeIn("#3&1&10.77.0.60#"), "10.77.0.60");
    EXPECT_EQ(AddressChangeIn("#3&1&255.255.255.255#"), "255.255.255.255");
    for (const char* other : {"#3&0&10.77.0.60#", "#3&2&00:11:22:33:44:55#", "#3&1&#", "#3&1&10.77.0.60",
                              "3&1&10.77.0.60#", "#3&11&10.77.0.60#x"})
        EXPECT_EQ(AddressChangeIn(other), "") << other;
}

// Plays the accepting thread: closes (here: records) the listeners of
// restarting cameras whenever the queue wakes it.
class AcceptingThread {
public:
    explicit AcceptingThread(RestartQueue& queue) : queue_(queue), thread_([this] { run(); }) {}
    ~AcceptingThread()
    {
        stop_ = true;
        queue_.wake();
        thread_.join();
    }
    std::vector<size_t> closed()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return closed_;
    }

private:
    void run()
    {
        while (!stop_) {
            pollfd wake{queue_.wakeFd(), POLLIN, 0};
            ::poll(&wake, 1, -1);
            queue_.clearWake();
            std::vector<size_t> started = queue_.takeStarted();
            {
                std::lock_guard<std::mutex> lock(mutex_);
                closed_.insert(closed_.end(), started.begin(), started.end());
            }
            queue_.confirmStarted();
        }
        queue_.abandon();
    }

    RestartQueue& queue_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<size_t> closed_;
    std::thread thread_;
};

TEST(RestartQueue, AddReturnsOnceTheListenerIsClosed)
{
    using namespace std::chrono;
    RestartQueue queue;
    ASSERT_TRUE(queue.valid());
    AcceptingThread acceptor(queue);
    const auto now = steady_clock::now();
    queue.add({3, RestartReason::Upgrade, "", now + milliseconds(1500), {}});
    EXPECT_EQ(acceptor.closed(), (std::vector<size_t>{3}));
    queue.add({1, RestartReason::Address, "10.77.0.60", now + milliseconds(500), {}});
    EXPECT_EQ(acceptor.closed(), (std::vector<size_t>{3, 1}));
}

TEST(RestartQueue, AddDoesNotWaitForAnAcceptingThreadThatEnded)
{
    RestartQueue queue;
    queue.abandon();
    queue.add({0, RestartReason::Upgrade, "", std::chrono::steady_clock::now(), {}});
    EXPECT_EQ(queue.takeStarted(), (std::vector<size_t>{0}));
}

TEST(RestartQueue, SilencesEndInTheOrderTheyAreDue)
{
    using namespace std::chrono;
    RestartQueue queue;
    queue.abandon();  // no accepting thread here: add() returns at once
    const auto now = steady_clock::now();
    EXPECT_EQ(queue.msUntilNext(now), -1);
    queue.add({3, RestartReason::Upgrade, "", now + milliseconds(1500), {}});
    queue.add({1, RestartReason::Address, "10.77.0.60", now + milliseconds(500), {}});
    queue.add({2, RestartReason::Upgrade, "", now + microseconds(1200500), {}});
    EXPECT_EQ(queue.msUntilNext(now), 500);
    EXPECT_EQ(queue.msUntilNext(now - microseconds(300)), 501);  // rounded up: never woken too early
    EXPECT_TRUE(queue.takeDue(now + milliseconds(499)).empty());
    const std::vector<Restart> due = queue.takeDue(now + milliseconds(1300));
    ASSERT_EQ(due.size(), 2u);
    EXPECT_EQ(due[0].camera, 1u);
    EXPECT_EQ(due[0].newIp, "10.77.0.60");
    EXPECT_EQ(due[1].camera, 2u);
    EXPECT_EQ(queue.msUntilNext(now + milliseconds(1600)), 0);
    EXPECT_EQ(queue.takeDue(now + milliseconds(1600)).size(), 1u);
    EXPECT_EQ(queue.msUntilNext(now), -1);
}

}  // namespace
}  // namespace orvane::sim
