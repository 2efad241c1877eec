#pragma once
// Plays one stream on a thread of its own: opens the URL with FFmpeg,
// decodes the first video stream with as little delay as the codec allows,
// scales each picture to fit the size the control asks for and delivers it
// to the session. It ends on a stop request, a failure or the stream's end,
// and tells the session which; it never blocks the control.

#include "vidra/DecodeSession.h"

#include <memory>

namespace vidra {

class StreamDecoder {
public:
    // How long opening, or a read, may wait before the camera counts as
    // not answering.
    static constexpr int kOpenTimeout_ms = 5000;
    static constexpr int kReadTimeout_ms = 5000;

    // Starts a detached thread that holds the session until it ends. Returns
    // false when no thread could be started; the session then says why.
    static bool Start(std::shared_ptr<DecodeSession> session);
};

}  // namespace vidra
