#include "tools/ipc-sim/EventLog.h"

namespace orvane::sim {

EventLog::EventLog(const std::string& path)
{
    if (!path.empty())
        file_ = std::fopen(path.c_str(), "a");
}

EventLog::~EventLog()
{
    if (file_)
        std::fclose(file_);
}

void EventLog::write(const std::string& line)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_)
        return;
    std::fputs(line.c_str(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

}  // namespace orvane::sim
