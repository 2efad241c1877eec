#pragma once
// One program run to its end, without a shell: posix_spawn of argv[0] (a
// path) with argv, the caller's environment, no standard input and its
// stdout discarded; what it wrote on stderr comes back with its exit code.

#include <string>
#include <vector>

namespace orvane {

struct ChildOutcome {
    int exitCode = -1;  // -1: could not be started, or ended by a signal
    std::string errorText;
};

ChildOutcome RunChild(const std::vector<std::string>& argv);

}  // namespace orvane
