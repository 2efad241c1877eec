#pragma once
// What the operator is told after a row's command could not connect to a
// camera that answers only its own subnet: the operation's own box first,
// then one line on what to do. It passes every message on to the prompt
// it wraps and keeps the advice once a connection failed. Worker threads
// tell it while the window reads it, so it is guarded.

#include "process/OperatorPrompt.h"

#include <mutex>
#include <string>

namespace orvane {

class LinkFailureAdvice : public OperatorPrompt {
public:
    explicit LinkFailureAdvice(OperatorPrompt& next) : next_(next) {}

    // The line for a failed connection, from the camera's route; empty for
    // a camera on its link's subnet.
    void adviseWith(std::string line);
    void showMessage(const char* text) override;
    // The line, once a connection has failed; empty otherwise.
    std::string advice() const;

private:
    OperatorPrompt& next_;
    mutable std::mutex mutex_;
    std::string line_;
    bool linkFailed_ = false;
};

}  // namespace orvane
