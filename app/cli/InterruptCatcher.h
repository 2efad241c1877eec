#pragma once
// Ctrl-C asks a running batch to stop instead of ending the process at once:
// while a catcher lives, SIGINT only raises a flag the batch's loop reads.

#include <signal.h>

namespace orvane::cli {

class InterruptCatcher {
public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    bool requested() const;

private:
    struct sigaction previous_ {};
};

}  // namespace orvane::cli
