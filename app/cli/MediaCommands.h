#pragma once
// orvane-cli's commands for a camera's pictures: stream-uri and snapshot.

namespace CLI {
class App;
}

#include <functional>

namespace orvane::cli {

// Registers the commands on app; the one chosen sets run.
void AddMediaCommands(CLI::App& app, std::function<int()>& run);

}  // namespace orvane::cli
