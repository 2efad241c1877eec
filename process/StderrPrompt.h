#pragma once
// The command line's operator prompt: one line per message on stderr.

#include "process/OperatorPrompt.h"

namespace orvane {

class StderrPrompt : public OperatorPrompt {
public:
    void showMessage(const char* text) override;
};

}  // namespace orvane
