#pragma once
// Which cameras a batch works on: the ones a search found, picked by address
// or MAC as an operator names them. A camera named but not found stays in
// the batch, marked not found, so that it gets its row and nothing is sent.

#include "discovery/SearchExchange.h"
#include "fleet/FleetCamera.h"

#include <string>
#include <vector>

namespace orvane::fleet {

// The cameras of a search's result, in its (address) order.
std::vector<FleetCamera> FoundCameras(const CameraDirectory& cameras);

// A batch's own search: no window hears it start or end, and the main
// window's directory is left alone. The cameras it found.
std::vector<FleetCamera> SearchQuietly(SearchExchange& exchange, const SearchRequest& request = {});

// The named cameras in the order named, each once; a name is an address or a
// MAC. With all, every found camera.
std::vector<FleetCamera> ChooseCameras(const std::vector<std::string>& names, bool all,
                                       const std::vector<FleetCamera>& found);

}  // namespace orvane::fleet
