#pragma once
// The searches that watch cameras come back: the process's one search
// socket, used from the batch's watch thread, with the search's window
// reports dropped.

#include "discovery/SearchExchange.h"

#include <map>
#include <utility>
#include <string>

namespace orvane::fleet {

struct Sighting {
    std::string ip;
    std::string version;
};

class ReturnWatch {
public:
    // Every watch search is the request given here, nothing else: the
    // interfaces and targets of the batch's first search.
    explicit ReturnWatch(SearchExchange& exchange, SearchRequest request = {})
        : exchange_(exchange), request_(std::move(request))
    {
    }
    virtual ~ReturnWatch() = default;
    // One search: what each MAC answered with, by MAC.
    virtual std::map<std::string, Sighting> search();

private:
    SearchExchange& exchange_;
    SearchRequest request_;
};

}  // namespace orvane::fleet
