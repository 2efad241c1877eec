#pragma once
// The searches that watch planned cameras take their changes: each search
// tells every field a camera answers with, by MAC. The process's one search
// socket, with the search's window reports dropped.

#include "fleet/SitePlan.h"

#include <map>
#include <string>

namespace orvane {
class SearchExchange;
}

namespace orvane::fleet {

class ReadingWatch {
public:
    explicit ReadingWatch(SearchExchange& exchange) : exchange_(&exchange) {}
    virtual ~ReadingWatch() = default;
    virtual std::map<std::string, CameraReading> search();

protected:
    ReadingWatch() = default;

private:
    SearchExchange* exchange_ = nullptr;
};

}  // namespace orvane::fleet
