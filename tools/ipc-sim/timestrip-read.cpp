// timestrip-read: prints the time strip's milliseconds of one grabbed picture,
// so that shell tests can check a frame's age; exit 1 if it holds no strip.
//   timestrip-read FILE.pgm|FILE.ppm       binary PGM (P5) or PPM (P6), 8 bits
//   timestrip-read --gray WxH FILE         raw 8-bit grey, as ffmpeg's -pix_fmt gray writes

#include "tools/ipc-sim/TimeStrip.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char kUsage[] = "usage: timestrip-read FILE.pgm|FILE.ppm\n"
                      "       timestrip-read --gray WxH FILE\n";

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> xrgb;
};

bool ReadFile(const char* path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// channels 1: grey, 3: RGB.
bool ToXrgb(const std::string& bytes, size_t offset, int channels, Picture& picture)
{
    const size_t pixels = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    if (picture.width <= 0 || picture.height <= 0 || bytes.size() < offset + pixels * static_cast<size_t>(channels))
        return false;
    picture.xrgb.resize(pixels);
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + offset;
    for (size_t i = 0; i < pixels; ++i, p += channels) {
        const uint32_t r = p[0];
        const uint32_t g = channels == 3 ? p[1] : p[0];
        const uint32_t b = channels == 3 ? p[2] : p[0];
        picture.xrgb[i] = r << 16 | g << 8 | b;
    }
    return true;
}

// "P5 W H 255\n" then the pixels; comments are not written by ffmpeg and not read here.
bool ParseNetpbm(const std::string& bytes, Picture& picture)
{
    char magic[3] = {};
    int maximum = 0;
    int consumed = 0;
    if (std::sscanf(bytes.c_str(), "%2s %d %d %d%n", magic, &picture.width, &picture.height, &maximum, &consumed) != 4 ||
        maximum != 255 || static_cast<size_t>(consumed) >= bytes.size())
        return false;
    const int channels = std::strcmp(magic, "P5") == 0 ? 1 : std::strcmp(magic, "P6") == 0 ? 3 : 0;
    return channels != 0 && ToXrgb(bytes, static_cast<size_t>(consumed) + 1, channels, picture);
}

}  // namespace

int main(int argc, char** argv)
{
    Picture picture;
    std::string bytes;
    bool ok = false;
    if (argc == 4 && std::strcmp(argv[1], "--gray") == 0) {
        ok = std::sscanf(argv[2], "%dx%d", &picture.width, &picture.height) == 2 && ReadFile(argv[3], bytes) &&
             ToXrgb(bytes, 0, 1, picture);
    } else if (argc == 2) {
        ok = ReadFile(argv[1], bytes) && ParseNetpbm(bytes, picture);
    } else {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!ok) {
        std::fprintf(stderr, "timestrip-read: cannot read the picture\n");
        return 2;
    }
    const std::optional<int64_t> time_ms =
        orvane::sim::ReadTimeStrip(picture.xrgb.data(), picture.width, picture.height, picture.width);
    if (!time_ms) {
        std::fprintf(stderr, "timestrip-read: no time strip\n");
        return 1;
    }
    std::printf("%lld\n", static_cast<long long>(*time_ms));
    return 0;
}
