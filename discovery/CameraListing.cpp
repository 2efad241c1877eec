#include "discovery/CameraListing.h"

#include "process/Text.h"

#include <nlohmann/json.hpp>

namespace orvane {
namespace {

constexpr const char* kCsvHeader = "id,ip,mac,version,x,y,uid,keyid,interface";

std::string CsvField(const std::string& field)
{
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// Length of the valid UTF-8 sequence that starts text, or 0 when none does.
size_t Utf8SequenceLength(std::string_view text)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

}  // namespace

std::vector<ListedCamera> ListCameras(const CameraDirectory& directory)
{
    std::vector<ListedCamera> cameras;
    int id = 1;
    for (const CameraRecord* r = directory.head(); r; r = r->next.get())
        cameras.push_back({MakeCameraRow(id++, *r), r->interfaceName});
    return cameras;
}

std::string FormatCamerasTsv(const std::vector<ListedCamera>& cameras)
{
    std::string text;
    for (const ListedCamera& camera : cameras) {
        for (size_t i = 0; i < camera.cells.size(); ++i)
            text += camera.cells[i] + (i + 1 < camera.cells.size() ? '\t' : '\n');
    }
    return text;
}

std::string FormatCamerasCsv(const std::vector<ListedCamera>& cameras)
{
    std::string text = std::string(kCsvHeader) + "\r\n";
    for (const ListedCamera& camera : cameras) {
        for (const std::string& cell : camera.cells)
            text += CsvField(cell) + ',';
        text += CsvField(camera.interfaceName) + "\r\n";
    }
    return text;
}

std::string FormatCamerasJson(const std::vector<ListedCamera>& cameras)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ListedCamera& camera : cameras) {
        const CameraRow& c = camera.cells;
        list.push_back({{"id", ReadDecimal(c[0].c_str())},
                        {"ip", Utf8OrLatin1(c[1])},
                        {"mac", Utf8OrLatin1(c[2])},
                        {"version", Utf8OrLatin1(c[3])},
                        {"x", ReadDecimal(c[4].c_str())},
                        {"y", ReadDecimal(c[5].c_str())},
                        {"uid", Utf8OrLatin1(c[6])},
                        {"keyid", ReadDecimal(c[7].c_str())},
                        {"interface", Utf8OrLatin1(camera.interfaceName)}});
    }
    return list.dump(2) + '\n';
}

std::string Utf8OrLatin1(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        const size_t length = Utf8SequenceLength(bytes);
        if (length > 0) {
            text.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
            continue;
        }
        const auto stray = static_cast<unsigned char>(bytes.front());
        text += static_cast<char>(0xC0 | stray >> 6);
        text += static_cast<char>(0x80 | (stray & 0x3F));
        bytes.remove_prefix(1);
    }
    return text;
}

}  // namespace orvane
