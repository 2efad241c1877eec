#pragma once
// The command frame: every command to a camera travels as one block of
// exactly 4096 bytes, the text from byte 0, then zeros to the end. The camera
// delimits frames by size alone, so there is no length field and no other
// frame size.

#include "net/Socket.h"

#include <array>
#include <cstddef>

namespace orvane {

constexpr size_t kCommandFrameSize = 4096;
// The text and its terminating zero must both fit into the block.
constexpr size_t kCommandTextLimit = kCommandFrameSize - 1;

class CommandFrame {
public:
    CommandFrame() { clear(); }

    void clear();

    // Clears the block, then formats the text into it from byte 0. Returns
    // false, and leaves the block all zero, when the text would need more
    // than kCommandTextLimit characters: nothing is ever cut short.
    bool format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const char* text() const { return block_.data(); }
    const char* data() const { return block_.data(); }
    static constexpr size_t size() { return kCommandFrameSize; }

    // Passes all 4096 bytes to a single send; true only when the socket took
    // every one of them. A short count is not completed.
    bool sendOn(Socket& socket) const;

private:
    std::array<char, kCommandFrameSize> block_;
};

}  // namespace orvane
