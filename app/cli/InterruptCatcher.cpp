#include "app/cli/InterruptCatcher.h"

#include <csignal>

namespace orvane::cli {
namespace {

volatile std::sig_atomic_t interruptRequested = 0;

extern "C" void OnInterrupt(int) { interruptRequested = 1; }

}  // namespace

InterruptCatcher::InterruptCatcher()
{
    interruptRequested = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previous_);
}

InterruptCatcher::~InterruptCatcher() { ::sigaction(SIGINT, &previous_, nullptr); }

bool InterruptCatcher::requested() const { return interruptRequested != 0; }

}  // namespace orvane::cli
