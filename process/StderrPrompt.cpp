#include "process/StderrPrompt.h"

#include <cstdio>

namespace orvane {

void StderrPrompt::showMessage(const char* text)
{
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}

}  // namespace orvane
