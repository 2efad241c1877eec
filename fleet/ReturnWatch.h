#pragma once
// The searches that watch cameras come back: the process's one search
// socket, used from the batch's watch thread, with the search's window
// reports dropped.

#include <map>
#include <string>

namespace orvane {
class SearchExchange;
}

namespace orvane::fleet {

struct Sighting {
    std::string ip;
    std::string version;
};

class ReturnWatch {
public:
    explicit ReturnWatch(SearchExchange& exchange) : exchange_(exchange) {}
    virtual ~ReturnWatch() = default;
    // One search: what each MAC answered with, by MAC.
    virtual std::map<std::string, Sighting> search();

private:
    SearchExchange& exchange_;
};

}  // namespace orvane::fleet
