#include "process/ProtocolTiming.h"

#include <mutex>

namespace orvane {
namespace {

std::mutex g_timingLock;
ProtocolTiming g_timing;

ProtocolTiming Exchange(const ProtocolTiming& timing)
{
    std::lock_guard<std::mutex> lock(g_timingLock);
    ProtocolTiming previous = g_timing;
    g_timing = timing;
    return previous;
}

}  // namespace

ProtocolTiming CurrentProtocolTiming()
{
    std::lock_guard<std::mutex> lock(g_timingLock);
    return g_timing;
}

ScopedProtocolTiming::ScopedProtocolTiming(const ProtocolTiming& timing) : previous_(Exchange(timing)) {}

ScopedProtocolTiming::~ScopedProtocolTiming() { Exchange(previous_); }

}  // namespace orvane
