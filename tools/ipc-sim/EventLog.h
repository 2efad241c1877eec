#pragma once
// The simulator's record of what it received, one line per event, flushed at
// once so a test can read it while the simulator runs.

#include <cstdio>
#include <mutex>
#include <string>

namespace orvane::sim {

class EventLog {
public:
    explicit EventLog(const std::string& path);
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    void write(const std::string& line);

private:
    std::mutex mutex_;
    FILE* file_ = nullptr;
};

}  // namespace orvane::sim
