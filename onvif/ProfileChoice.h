#pragma once
// Which of a camera's profiles a stream number plays: 0 and 4 (and every
// number but 1 and 5) the largest picture, 1 and 5 the next largest. A
// camera with one profile plays it for both.

#include "onvif/OnvifTypes.h"

#include <vector>

namespace onvif {

enum class StreamKind { Main, Sub };

StreamKind KindOfStream(int stream);

// The index into profiles, or -1 when there is none. Profiles of the same
// size keep the camera's order.
int ChooseProfile(const std::vector<VideoProfile>& profiles, StreamKind kind);

}  // namespace onvif
