#include "tools/ipc-sim/TimeStrip.h"

#include <array>
#include <cmath>
#include <cstring>

namespace orvane::sim {
namespace {

constexpr int kFirstBitBlock = 2;
constexpr int kFirstParityBlock = kFirstBitBlock + kTimeStripBits;
constexpr int kParityBlocks = 4;
constexpr uint8_t kBlack = 16;
constexpr uint8_t kWhite = 235;
// Luma, 0..255 after the grab's colour conversion, that counts as bright.
constexpr int kBright = 128;
// Two bands less far apart than this are noise, not a bit.
constexpr int kLeastContrast = 40;

using Blocks = std::array<bool, kTimeStripBlocks>;

int BandRows(int height) { return (height / 20) & ~1; }

Blocks Encode(int64_t time_ms)
{
    const uint64_t value = static_cast<uint64_t>(time_ms);
    Blocks blocks{};
    blocks[0] = true;
    blocks[kTimeStripBlocks - 1] = true;
    for (int j = 0; j < kTimeStripBits; ++j) {
        const bool bit = (value >> j) & 1;
        blocks[kFirstBitBlock + kTimeStripBits - 1 - j] = bit;
        if (bit)
            blocks[kFirstParityBlock + j % kParityBlocks] = !blocks[kFirstParityBlock + j % kParityBlocks];
    }
    return blocks;
}

std::optional<int64_t> Decode(const Blocks& blocks)
{
    if (!blocks[0] || blocks[1] || blocks[kTimeStripBlocks - 2] || !blocks[kTimeStripBlocks - 1])
        return std::nullopt;
    uint64_t value = 0;
    std::array<bool, kParityBlocks> parity{};
    for (int j = 0; j < kTimeStripBits; ++j) {
        if (blocks[kFirstBitBlock + kTimeStripBits - 1 - j]) {
            value |= uint64_t{1} << j;
            parity[j % kParityBlocks] = !parity[j % kParityBlocks];
        }
    }
    for (int k = 0; k < kParityBlocks; ++k) {
        if (parity[k] != blocks[kFirstParityBlock + k])
            return std::nullopt;
    }
    return static_cast<int64_t>(value);
}

class Grab {
public:
    Grab(const uint32_t* xrgb, int width, int height, int stride)
        : xrgb_(xrgb), width_(width), height_(height), stride_(stride)
    {
    }

    int width() const { return width_; }
    int height() const { return height_; }

    int luma(int x, int y) const
    {
        const uint32_t p = xrgb_[static_cast<size_t>(y) * static_cast<size_t>(stride_) + static_cast<size_t>(x)];
        return static_cast<int>(((p >> 16 & 0xff) * 77 + (p >> 8 & 0xff) * 150 + (p & 0xff) * 29) >> 8);
    }

    // Mean luma over the pixels whose centres lie in the middle half of
    // [x0, x1) x [y0, y1), so that edges blurred by scaling do not count.
    int meanOfMiddle(double x0, double x1, double y0, double y1) const
    {
        const auto range = [](double from, double to, int& first, int& last) {
            const double quarter = (to - from) / 4;
            first = static_cast<int>(std::ceil(from + quarter - 0.5));
            last = static_cast<int>(std::floor(to - quarter - 0.5));
            if (last < first)
                first = last = static_cast<int>(std::floor((from + to) / 2));
        };
        int xa = 0, xb = 0, ya = 0, yb = 0;
        range(x0, x1, xa, xb);
        range(y0, y1, ya, yb);
        long sum = 0;
        for (int y = ya; y <= yb; ++y) {
            for (int x = xa; x <= xb; ++x)
                sum += luma(x, y);
        }
        return static_cast<int>(sum / (static_cast<long>(xb - xa + 1) * (yb - ya + 1)));
    }

private:
    const uint32_t* xrgb_;
    int width_;
    int height_;
    int stride_;
};

// Tries a strip whose upper band starts at row top and whose bright start and
// stop blocks end at columns left and right.
std::optional<int64_t> TryStrip(const Grab& grab, int top, int left, int right)
{
    const double span = right - left + 1;
    const double block = span / kTimeStripBlocks;
    if (block < 2)
        return std::nullopt;
    // The start block is white above and black below: where it turns dark the
    // lower band begins, and the bands are equally tall.
    const int startColumn = static_cast<int>(left + block / 2);
    int lowerTop = top;
    while (lowerTop < grab.height() && grab.luma(startColumn, lowerTop) >= kBright)
        ++lowerTop;
    const int bandRows = lowerTop - top;
    if (bandRows < 2 || lowerTop + bandRows > grab.height())
        return std::nullopt;

    Blocks blocks{};
    for (int i = 0; i < kTimeStripBlocks; ++i) {
        const double x0 = left + i * block;
        const int upper = grab.meanOfMiddle(x0, x0 + block, top, top + bandRows);
        const int lower = grab.meanOfMiddle(x0, x0 + block, lowerTop, lowerTop + bandRows);
        if (std::abs(upper - lower) < kLeastContrast)
            return std::nullopt;
        blocks[static_cast<size_t>(i)] = upper > lower;
    }
    return Decode(blocks);
}

}  // namespace

int TimeStripRows(int width, int height)
{
    if (width < kTimeStripMinWidth || height < kTimeStripMinHeight)
        return 0;
    return 2 * BandRows(height);
}

void PaintTimeStrip(uint8_t* luma, int width, int height, int stride, int64_t time_ms)
{
    const int rows = TimeStripRows(width, height);
    if (rows == 0)
        return;
    const Blocks blocks = Encode(time_ms);
    const auto row = [&](int y) { return luma + static_cast<ptrdiff_t>(y) * stride; };
    const int bandRows = rows / 2;
    for (int i = 0; i < kTimeStripBlocks; ++i) {
        const int x0 = i * width / kTimeStripBlocks;
        const int x1 = (i + 1) * width / kTimeStripBlocks;
        const bool bit = blocks[static_cast<size_t>(i)];
        std::memset(row(0) + x0, bit ? kWhite : kBlack, static_cast<size_t>(x1 - x0));
        std::memset(row(bandRows) + x0, bit ? kBlack : kWhite, static_cast<size_t>(x1 - x0));
    }
    for (int y = 1; y < rows; ++y) {
        if (y != bandRows)
            std::memcpy(row(y), row(y < bandRows ? 0 : bandRows), static_cast<size_t>(width));
    }
}

std::optional<int64_t> ReadTimeStrip(const uint32_t* xrgb, int width, int height, int stride_px)
{
    if (!xrgb || width <= 0 || height <= 0 || stride_px < width)
        return std::nullopt;
    const Grab grab(xrgb, width, height, stride_px);
    // The first rows from the top that hold bright pixels across a wide
    // enough span are the upper band's; a row blurred by scaling at its top
    // edge may fail, so the rows below it are tried too.
    for (int y = 0; y < height; ++y) {
        int left = -1;
        int right = -1;
        for (int x = 0; x < width; ++x) {
            if (grab.luma(x, y) >= kBright) {
                if (left < 0)
                    left = x;
                right = x;
            }
        }
        if (left < 0 || right - left + 1 < kTimeStripMinWidth)
            continue;
        if (std::optional<int64_t> time = TryStrip(grab, y, left, right))
            return time;
    }
    return std::nullopt;
}

}  // namespace orvane::sim
