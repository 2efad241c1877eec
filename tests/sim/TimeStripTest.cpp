// The latency benchmark reads the time strip off a screen grab: after H.264,
// scaling to a few hundred pixels and a letterboxed window, the same
// milliseconds must come back, and a picture without a strip must read as none.

#include "tools/ipc-sim/TimeStrip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace orvane::sim {
namespace {

struct Luma {
    int width;
    int height;
    int stride;
    std::vector<uint8_t> plane;
};

// Something like the test source: a dark picture with a bright ball and a
// grey ramp, so that the strip is not the only bright thing in it.
Luma Scene(int width, int height)
{
    Luma luma{width, height, width + 32, {}};
    luma.plane.assign(static_cast<size_t>(luma.stride) * static_cast<size_t>(height), 16);
    const double cx = width * 0.3, cy = height * 0.22, r = height * 0.12;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t& p = luma.plane[static_cast<size_t>(y) * static_cast<size_t>(luma.stride) + static_cast<size_t>(x)];
            if (std::hypot(x - cx, y - cy) < r)
                p = 235;
            else if (y > height * 3 / 4)
                p = static_cast<uint8_t>(16 + 219 * x / width);
        }
    }
    return luma;
}

// Scales the picture bilinearly to outWidth x outHeight and places it at
// (left, top) in a dark region of regionWidth x regionHeight, with noise.
std::vector<uint32_t> Grab(const Luma& luma, int outWidth, int outHeight, int regionWidth, int regionHeight, int left,
                           int top, int noise)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> jitter(-noise, noise);
    std::vector<uint32_t> region(static_cast<size_t>(regionWidth) * static_cast<size_t>(regionHeight));
    const auto src = [&](int x, int y) {
        return luma.plane[static_cast<size_t>(y) * static_cast<size_t>(luma.stride) + static_cast<size_t>(x)];
    };
    for (int y = 0; y < regionHeight; ++y) {
        for (int x = 0; x < regionWidth; ++x) {
            double value = 12;
            const int px = x - left, py = y - top;
            if (px >= 0 && px < outWidth && py >= 0 && py < outHeight) {
                const double sx = std::clamp((px + 0.5) * luma.width / outWidth - 0.5, 0.0, luma.width - 1.0);
                const double sy = std::clamp((py + 0.5) * luma.height / outHeight - 0.5, 0.0, luma.height - 1.0);
                const int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
                const int x1 = std::min(x0 + 1, luma.width - 1), y1 = std::min(y0 + 1, luma.height - 1);
                const double fx = sx - x0, fy = sy - y0;
                const double limited = (src(x0, y0) * (1 - fx) + src(x1, y0) * fx) * (1 - fy) +
                                       (src(x0, y1) * (1 - fx) + src(x1, y1) * fx) * fy;
                value = (limited - 16) * 255 / 219;  // video range to full, as a player shows it
            }
            const uint32_t grey = static_cast<uint32_t>(std::clamp(static_cast<int>(value) + jitter(random), 0, 255));
            region[static_cast<size_t>(y) * static_cast<size_t>(regionWidth) + static_cast<size_t>(x)] =
                grey << 16 | grey << 8 | grey;
        }
    }
    return region;
}

TEST(TimeStrip, SurvivesScalingLetterboxAndNoise)
{
    const int64_t times[] = {1733650123456, 0, (int64_t{1} << 48) - 1, 0x555555555555, 0xaaaaaaaaaaaa};
    struct View {
        int picWidth, picHeight, outWidth, outHeight, regionWidth, regionHeight, left, top;
    };
    const View views[] = {
        {1920, 1080, 1920, 1080, 1920, 1080, 0, 0},  // the picture itself, unscaled
        {1920, 1080, 413, 232, 413, 232, 0, 0},      // scaled by 4.65, region = picture
        {1920, 1080, 413, 232, 500, 330, 43, 49},    // letterboxed in a larger window
        {1280, 720, 401, 300, 401, 360, 0, 30},      // aspect changed, bars above and below
        {1280, 720, 173, 97, 190, 120, 9, 11},       // near the smallest the reader promises
    };
    for (const View& v : views) {
        const Luma scene = Scene(v.picWidth, v.picHeight);
        for (int64_t time : times) {
            Luma luma = scene;
            PaintTimeStrip(luma.plane.data(), luma.width, luma.height, luma.stride, time);
            std::vector<uint32_t> grab =
                Grab(luma, v.outWidth, v.outHeight, v.regionWidth, v.regionHeight, v.left, v.top, 12);
            std::optional<int64_t> read = ReadTimeStrip(grab.data(), v.regionWidth, v.regionHeight, v.regionWidth);
            ASSERT_TRUE(read.has_value()) << v.picWidth << " as " << v.outWidth << "x" << v.outHeight << " at "
                                          << v.left << "," << v.top << " time " << time;
            EXPECT_EQ(*read, time) << v.outWidth << "x" << v.outHeight;
        }
    }
}

TEST(TimeStrip, ReadsNoneWithoutAnIntactStrip)
{
    // The scene alone, with its bright ball and ramp.
    Luma plain = Scene(1280, 720);
    std::vector<uint32_t> grab = Grab(plain, 640, 360, 640, 360, 0, 0, 12);
    EXPECT_FALSE(ReadTimeStrip(grab.data(), 640, 360, 640).has_value());

    // Pure noise over the whole range.
    std::mt19937 random(3);
    std::vector<uint32_t> noise(400 * 300);
    for (uint32_t& p : noise)
        p = random() & 0xffffff;
    EXPECT_FALSE(ReadTimeStrip(noise.data(), 400, 300, 400).has_value());

    // One flipped block anywhere, time bit or parity, is caught.
    for (int block = 2; block < 54; ++block) {
        Luma luma = plain;
        PaintTimeStrip(luma.plane.data(), luma.width, luma.height, luma.stride, 1733650123456);
        const int rows = TimeStripRows(luma.width, luma.height);
        for (int y = 0; y < rows; ++y) {
            for (int x = block * luma.width / kTimeStripBlocks; x < (block + 1) * luma.width / kTimeStripBlocks; ++x) {
                uint8_t& p = luma.plane[static_cast<size_t>(y) * static_cast<size_t>(luma.stride) + static_cast<size_t>(x)];
                p = static_cast<uint8_t>(251 - p);  // 16 <-> 235
            }
        }
        std::vector<uint32_t> flipped = Grab(luma, 640, 360, 640, 360, 0, 0, 0);
        EXPECT_FALSE(ReadTimeStrip(flipped.data(), 640, 360, 640).has_value()) << "block " << block;
    }
}

TEST(TimeStrip, LeavesTooSmallPicturesAlone)
{
    Luma luma = Scene(kTimeStripMinWidth - 1, 120);
    const std::vector<uint8_t> before = luma.plane;
    PaintTimeStrip(luma.plane.data(), luma.width, luma.height, luma.stride, 123);
    EXPECT_EQ(TimeStripRows(luma.width, luma.height), 0);
    EXPECT_EQ(luma.plane, before);
    // Only the strip's rows change, not one past them.
    Luma big = Scene(640, 360);
    const std::vector<uint8_t> original = big.plane;
    PaintTimeStrip(big.plane.data(), big.width, big.height, big.stride, 123);
    const size_t stripBytes = static_cast<size_t>(TimeStripRows(640, 360)) * static_cast<size_t>(big.stride);
    EXPECT_TRUE(std::equal(big.plane.begin() + static_cast<ptrdiff_t>(stripBytes), big.plane.end(),
                           original.begin() + static_cast<ptrdiff_t>(stripBytes)));
    for (size_t row = 0; row < stripBytes; row += static_cast<size_t>(big.stride))  // and never its padding
        EXPECT_EQ(big.plane[row + 640], original[row + 640]);
}

}  // namespace
}  // namespace orvane::sim
