#pragma once
// The searches that watch a batch's cameras come back with their changes:
// each search tells every field a camera answers with, by MAC. The
// process's one search socket, with the search's window reports dropped.

#include "discovery/SearchExchange.h"
#include "batch/CameraReading.h"

#include <map>
#include <string>

namespace orvane::batch {

class ReadingWatch {
public:
    // Every watch search is the request given here: the interfaces and
    // targets of the batch's first search.
    explicit ReadingWatch(SearchExchange& exchange, SearchRequest request = {})
        : exchange_(&exchange), request_(std::move(request)) {}
    virtual ~ReadingWatch() = default;
    virtual std::map<std::string, CameraReading> search();

protected:
    ReadingWatch() = default;

private:
    SearchExchange* exchange_ = nullptr;
    SearchRequest request_;
};

}  // namespace orvane::batch
