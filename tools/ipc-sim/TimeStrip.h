#pragma once
// A picture's own clock: the simulator paints, into every frame it makes, the
// wall-clock time the frame was made, so that a latency benchmark can grab the
// operator's screen and read back how old the shown picture is. Plain C++,
// without GStreamer, so that a benchmark can link it alone.
//
// Layout, in the picture's top rows: two bands of 56 blocks each, every block
// 1/56 of the picture's width wide and (height / 20, rounded down to even) rows
// tall. The upper band carries the bits (white = 1), the band below it the same
// bits inverted, so that each block is read by comparing the two bands rather
// than against a fixed threshold: compression, scaling and colour conversion
// may move brightness and contrast but not which of the two is brighter.
//   block 0       1: start, white in the upper band at the picture's left edge
//   block 1       0
//   blocks 2..49  the time, 48 bits, most significant first
//   blocks 50..53 parity: block 50+k is the XOR of the time bits j with j % 4 == k
//                 (bit 0 the least significant), so any run of up to four
//                 misread neighbouring blocks is caught
//   block 54      0
//   block 55      1: stop, white in the upper band at the picture's right edge

#include <cstdint>
#include <optional>

namespace orvane::sim {

constexpr int kTimeStripBlocks = 56;
constexpr int kTimeStripBits = 48;
// Narrower or lower pictures are left unpainted: a block would be under 2 pixels.
constexpr int kTimeStripMinWidth = 2 * kTimeStripBlocks;
constexpr int kTimeStripMinHeight = 40;

// How many of the picture's top rows the strip covers (even, so that the rows
// of a 4:2:0 picture's chroma planes under it are whole); 0 if it paints none.
int TimeStripRows(int width, int height);

// Paints the low 48 bits of time_ms into an 8-bit luma plane (video range:
// 16 black, 235 white). The caller keeps the chroma under the strip neutral.
void PaintTimeStrip(uint8_t* luma, int width, int height, int stride, int64_t time_ms);

// Reads the time back from an XRGB image (0x00RRGGBB, one uint32_t a pixel,
// rows stride_px pixels apart), such as a screen grab.
//
// The region handed in must contain the whole picture, scaled to any size at
// which a block stays about 3 pixels wide or more (a picture 170 pixels wide
// or more), its aspect ratio changed or not. Around the picture the region may
// hold letterbox bars or other surroundings as long as they are dark (luma
// below half); the picture's rectangle itself is the simplest region to give.
// Returns nullopt when no strip with intact markers and parity is found.
std::optional<int64_t> ReadTimeStrip(const uint32_t* xrgb, int width, int height, int stride_px);

}  // namespace orvane::sim
