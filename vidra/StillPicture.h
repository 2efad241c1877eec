#pragma once
// One picture at its full size, as a snapshot keeps it: the first key frame
// of a stream, or the JPEG a camera's snapshot URI gives, written as PNG or
// JPEG by the file's name. Qt-free (FFmpeg only), for orvane-cli; blocking,
// bounded in time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vidra {

class StillPicture {
public:
    // How long opening the stream and waiting for its first key frame may take.
    static constexpr int kStreamWait_ms = 8000;

    enum class Failure { None, Refused, Failed };

    // The stream's first key frame, decoded, at the stream's own size.
    static Failure FromStream(const std::string& url, StillPicture& picture, std::string& error);
    static Failure FromJpeg(const std::string& bytes, StillPicture& picture, std::string& error);

    // .jpg and .jpeg (in any case) name JPEG files; every other name, PNG.
    static bool IsJpegName(const std::string& path);

    // Encodes the picture as its name asks and writes it; bytes is the file's size.
    bool save(const std::string& path, size_t& bytes, std::string& error) const;

    int width() const { return width_; }
    int height() const { return height_; }
    // Rows of width * 3 bytes, red, green, blue.
    const std::vector<uint8_t>& rgb() const { return rgb_; }

    // Takes rows of RGB24; false when the size does not match.
    bool assign(int width, int height, std::vector<uint8_t> rgb);

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> rgb_;
};

}  // namespace vidra
