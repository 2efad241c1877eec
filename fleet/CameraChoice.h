#pragma once
// Which cameras a batch works on: the ones a search found, picked by address
// or MAC as an operator names them. A camera named but not found stays in
// the batch, marked not found, so that it gets its row and nothing is sent.

#include "fleet/FleetCamera.h"

#include <string>
#include <vector>

namespace orvane {
class SearchExchange;
}

namespace orvane::fleet {

// The cameras of the latest search, in its (address) order.
std::vector<FleetCamera> FoundCameras();

// A batch's own search: no window hears it start or end. The cameras it found.
std::vector<FleetCamera> SearchQuietly(SearchExchange& exchange);

// The named cameras in the order named, each once; a name is an address or a
// MAC. With all, every found camera.
std::vector<FleetCamera> ChooseCameras(const std::vector<std::string>& names, bool all,
                                       const std::vector<FleetCamera>& found);

}  // namespace orvane::fleet
