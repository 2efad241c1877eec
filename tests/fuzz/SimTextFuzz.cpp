// The simulator's text parsers: a command frame's text as the command port
// hands it to the upload header parser, a camera description from the
// command line, and a MAC. Input: the text (up to its first zero byte for the
// frame, as the port cuts it there; whole for the others).

#include "control/SettingFields.h"
#include "tools/ipc-sim/CommandPort.h"
#include "tools/ipc-sim/SimConfig.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace orvane::sim;

void Fail(const char* what, const std::string& text)
{
    std::fprintf(stderr, "%s: \"%s\"\n", what, EscapeForLog(text).c_str());
    std::abort();
}

void CheckHeader(const std::string& text)
{
    UploadHeader header;
    if (!ParseUploadHeader(text, header))
        return;
    if (header.kind != 2 && header.kind != 4 && header.kind != 6)
        Fail("header kind not 2, 4 or 6", text);
    if (header.size < 0 || header.size > 2147483647)
        Fail("header size outside a signed 32-bit value", text);
    // The header the tool would send for these values reads back as them.
    char rebuilt[64];
    std::snprintf(rebuilt, sizeof rebuilt, "#%d&%lld&%s#", header.kind, static_cast<long long>(header.size),
                  header.digest.c_str());
    UploadHeader again;
    if (!ParseUploadHeader(rebuilt, again) || again.kind != header.kind || again.size != header.size ||
        again.digest != header.digest)
        Fail("the header its values make does not read back", text);
}

// Whatever ParseMac accepts is twelve hexadecimal digits once its colons are
// gone, and those are the bytes it gives; the settings window's MAC check
// must agree.
void CheckMac(const std::string& text)
{
    uint8_t mac[6] = {};
    std::string digits;
    for (char c : text) {
        if (c != ':')
            digits += c;
    }
    const bool field = digits.find('\0') == std::string::npos && orvane::IsMacField(digits.c_str());
    const bool parsed = ParseMac(text, mac);
    if (parsed != field)
        Fail(parsed ? "ParseMac took what is not a MAC" : "ParseMac refused a MAC", text);
    if (!parsed)
        return;
    char hex[13];
    std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x%02x%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    for (size_t i = 0; i < 12; ++i) {
        if (hex[i] != (digits[i] >= 'A' && digits[i] <= 'F' ? digits[i] - 'A' + 'a' : digits[i]))
            Fail("ParseMac gave other bytes than its digits", text);
    }
}

void CheckCamera(const std::string& text)
{
    SimCamera camera;
    std::string error;
    if (ParseSimCamera(text, camera, error)) {
        if (camera.ip.empty())
            Fail("camera accepted without an address", text);
        if (camera.length < 1 || camera.length > 65000)
            Fail("camera datagram length out of range", text);
    } else if (error.empty()) {
        Fail("camera refused without a message", text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string whole(reinterpret_cast<const char*>(data), size);
    CheckHeader(std::string(whole.c_str(), ::strnlen(whole.c_str(), size)));
    CheckMac(whole);
    CheckCamera(whole);
    return 0;
}
