// The time strip reader takes any screen grab. Input, by the low bit of its
// first byte:
//   0  a grab: width 1 + (bytes 1-2 % 512), rows padded by byte 3 % 16 pixels,
//      then XRGB pixels (4 bytes each, little-endian) for as many whole rows
//      as there are
//   1  a round trip: width 170 + (bytes 1-2 % 471), height 40 + byte 3 % 81,
//      48 bits of time in bytes 4-9; the strip is painted into a picture
//      whose other rows are the remaining bytes as grey, and must read back
// Both are bounded (a grab by the input's length, a painted picture by
// 640 x 120), so that an input costs about a millisecond.

#include "tools/ipc-sim/TimeStrip.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace orvane::sim;

int Word(const uint8_t* p) { return p[0] | p[1] << 8; }

void ReadGrab(const uint8_t* data, size_t size)
{
    if (size < 4)
        return;
    const int width = 1 + Word(data + 1) % 512;
    const int stride = width + data[3] % 16;
    const size_t pixels = (size - 4) / 4;
    const int height = static_cast<int>(pixels / static_cast<size_t>(stride));
    if (height == 0)
        return;
    // The last row ends at its width: a reader that runs into the padding
    // after it runs past the buffer.
    std::vector<uint32_t> xrgb(static_cast<size_t>(height - 1) * static_cast<size_t>(stride) +
                               static_cast<size_t>(width));
    std::memcpy(xrgb.data(), data + 4, xrgb.size() * sizeof(uint32_t));
    ReadTimeStrip(xrgb.data(), width, height, stride);
}

void RoundTrip(const uint8_t* data, size_t size)
{
    if (size < 10)
        return;
    const int width = 170 + Word(data + 1) % 471;
    const int height = 40 + data[3] % 81;
    uint64_t time = 0;
    for (int i = 0; i < 6; ++i)
        time |= uint64_t{data[4 + i]} << (8 * i);
    const uint8_t* rest = data + 10;
    const size_t restSize = size - 10;

    std::vector<uint8_t> luma(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < luma.size(); ++i)
        luma[i] = restSize ? rest[i % restSize] : 16;
    PaintTimeStrip(luma.data(), width, height, width, static_cast<int64_t>(time));
    // Shown the way a player shows video-range luma: 16 black, 235 white.
    std::vector<uint32_t> xrgb(luma.size());
    for (size_t i = 0; i < luma.size(); ++i) {
        const int full = (luma[i] - 16) * 255 / 219;
        const uint32_t grey = static_cast<uint32_t>(full < 0 ? 0 : full > 255 ? 255 : full);
        xrgb[i] = grey << 16 | grey << 8 | grey;
    }
    const std::optional<int64_t> read = ReadTimeStrip(xrgb.data(), width, height, width);
    if (!read || static_cast<uint64_t>(*read) != time) {
        std::fprintf(stderr, "time strip %dx%d: painted %llu, read %lld%s\n", width, height,
                     static_cast<unsigned long long>(time), read ? static_cast<long long>(*read) : -1LL,
                     read ? "" : " (none)");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] & 1)
        RoundTrip(data, size);
    else
        ReadGrab(data, size);
    return 0;
}
