// Glass-to-glass latency: grabs rectangles of the X screen in turn and reads
// the simulator's time strip from each. The picture's age is the grab's
// wall-clock time minus the time the simulator made the frame; both run on
// this machine's clock. Prints, per rectangle, the number of readable grabs
// and the median, 90th percentile and least age.
//   glass_probe SECONDS LABEL=X,Y,WIDTH,HEIGHT [LABEL=X,Y,WIDTH,HEIGHT ...]

#include "tools/ipc-sim/TimeStrip.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

struct ScreenRegion {
    std::string label;
    int x = 0, y = 0, width = 0, height = 0;
    int grabs = 0;
    std::vector<double> ages_ms;
};

double NowMs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

bool ParseRegion(const char* text, ScreenRegion& region)
{
    const char* equals = std::strchr(text, '=');
    if (equals == nullptr)
        return false;
    region.label.assign(text, equals);
    return std::sscanf(equals + 1, "%d,%d,%d,%d", &region.x, &region.y, &region.width, &region.height) == 4 &&
           region.width > 0 && region.height > 0;
}

void Grab(Display* display, ScreenRegion& region)
{
    const double before = NowMs();
    XImage* image = XGetImage(display, DefaultRootWindow(display), region.x, region.y,
                              static_cast<unsigned>(region.width), static_cast<unsigned>(region.height), AllPlanes,
                              ZPixmap);
    const double after = NowMs();
    if (image == nullptr)
        return;
    ++region.grabs;
    if (image->bits_per_pixel == 32) {
        const auto* pixels = reinterpret_cast<const uint32_t*>(image->data);
        const auto madeAt = orvane::sim::ReadTimeStrip(pixels, image->width, image->height, image->bytes_per_line / 4);
        // The strip holds the low 48 bits of the clock in milliseconds.
        if (madeAt) {
            constexpr int64_t kMask = (int64_t(1) << 48) - 1;
            const double now = (before + after) / 2;
            int64_t age = (static_cast<int64_t>(now) & kMask) - *madeAt;
            if (age < -(kMask / 2))
                age += kMask + 1;
            region.ages_ms.push_back(static_cast<double>(age) + (now - static_cast<double>(static_cast<int64_t>(now))));
        }
    }
    XDestroyImage(image);
}

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: glass_probe SECONDS LABEL=X,Y,WIDTH,HEIGHT...\n");
        return 2;
    }
    std::vector<ScreenRegion> regions;
    for (int i = 2; i < argc; ++i) {
        ScreenRegion region;
        if (!ParseRegion(argv[i], region)) {
            std::fprintf(stderr, "glass_probe: bad region %s\n", argv[i]);
            return 2;
        }
        regions.push_back(region);
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "glass_probe: no X display\n");
        return 1;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[1]));
    while (std::chrono::steady_clock::now() < end) {
        for (ScreenRegion& region : regions)
            Grab(display, region);
        std::this_thread::sleep_for(std::chrono::milliseconds(7));
    }
    XCloseDisplay(display);

    std::printf("%-10s %-14s %-10s %-10s %s\n", "view", "readable/grabs", "median", "p90", "least");
    for (const ScreenRegion& r : regions) {
        if (r.ages_ms.empty()) {
            std::printf("%-10s %4d/%-9d no picture with a readable time strip\n", r.label.c_str(), 0, r.grabs);
            continue;
        }
        std::printf("%-10s %4zu/%-9d %7.1f ms %7.1f ms %7.1f ms\n", r.label.c_str(), r.ages_ms.size(), r.grabs,
                    Percentile(r.ages_ms, 0.5), Percentile(r.ages_ms, 0.9), Percentile(r.ages_ms, 0.0));
    }
    return 0;
}
