#include "tools/ipc-sim/SimConfig.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace orvane::sim {
namespace {

bool ParseCodec(const std::string& text, StreamCodec& codec)
{
    const struct {
        const char* name;
        StreamCodec codec;
    } names[] = {{"h264", StreamCodec::H264}, {"h265", StreamCodec::H265}, {"mjpeg", StreamCodec::Mjpeg}};
    for (const auto& name : names) {
        if (text == name.name) {
            codec = name.codec;
            return true;
        }
    }
    return false;
}

// The first line of a file: a password kept off the simulator's command line.
bool ReadFirstLine(const std::string& path, std::string& line)
{
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr)
        return false;
    char text[256] = {};
    const bool read = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return read;
}

bool ParseInt(const std::string& text, int& value)
{
    char* end = nullptr;
    long parsed = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0')
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// At most an hour: a longer silence is a typo, and the sum with the clock stays small.
bool ParseRestart(const std::string& text, int& value)
{
    return ParseInt(text, value) && value >= 0 && value <= 3600000;
}

std::vector<std::string> SplitList(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%20%2012x" gives "  12x": a reply may hold blanks and commas that the
// command line would otherwise split.
bool PercentDecode(const std::string& text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        int high = HexDigit(text[i + 1]);
        int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

// A generated camera: distinct MACs 02:00:00:hh:hh:hh, spread over the addresses.
// The slot-th camera of this simulator takes the slot-th address in turn.
SimCamera GeneratedCamera(int index, int slot, const std::vector<std::string>& addresses)
{
    SimCamera camera;
    camera.ip = addresses[static_cast<size_t>(slot) % addresses.size()];
    camera.mac[0] = 0x02;
    camera.mac[3] = static_cast<uint8_t>(index >> 16);
    camera.mac[4] = static_cast<uint8_t>(index >> 8);
    camera.mac[5] = static_cast<uint8_t>(index);
    camera.version = "V3.1." + std::to_string(index % 10);
    camera.xy = std::to_string(index % 499 + 1) + "&" + std::to_string(index % 99 + 1);
    char uid[32];
    std::snprintf(uid, sizeof uid, "SIMUID%016d", index);
    camera.uid = uid;
    camera.keyId = index + 1;
    return camera;
}

}  // namespace

bool ParseMac(const std::string& text, uint8_t (&mac)[6])
{
    std::string digits;
    for (char c : text) {
        if (c != ':')
            digits += c;
    }
    if (digits.size() != 12)
        return false;
    // Digit by digit: strtoul would also take a sign, blanks or an empty pair.
    for (int i = 0; i < 6; ++i) {
        const int high = HexDigit(digits[2 * i]);
        const int low = HexDigit(digits[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        mac[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return true;
}

bool ParseSimCamera(const std::string& text, SimCamera& camera, std::string& error)
{
    for (const std::string& item : SplitList(text, ',')) {
        size_t eq = item.find('=');
        std::string key = eq == std::string::npos ? item : item.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
        bool ok = true;
        if (key == "ip")
            camera.ip = value;
        else if (key == "mac")
            ok = ParseMac(value, camera.mac);
        else if (key == "version")
            camera.version = value;
        else if (key == "xy")
            camera.xy = value;
        else if (key == "uid")
            camera.uid = value;
        else if (key == "keyid")
            ok = ParseInt(value, camera.keyId);
        else if (key == "delay-ms")
            ok = ParseInt(value, camera.delay_ms);
        else if (key == "every-ms")
            ok = ParseInt(value, camera.every_ms);
        else if (key == "for-ms")
            ok = ParseInt(value, camera.for_ms);
        else if (key == "len")
            ok = ParseInt(value, camera.length) && camera.length >= 1 && camera.length <= 65000;
        else if (key == "reply")
            ok = PercentDecode(value, camera.reply);
        else if (key == "upload" && value == "reply")
            camera.upload = UploadEnding::Reply;
        else if (key == "upload" && value == "close")
            camera.upload = UploadEnding::Close;
        else if (key == "upload" && value == "silent")
            camera.upload = UploadEnding::Silent;
        else if (key == "upload" && value == "cut")
            camera.upload = UploadEnding::Cut;
        else if (key == "port" && (value == "refuse" || value == "open" || value == "deaf")) {
            camera.refuseCommands = value == "refuse";
            camera.deafCommands = value == "deaf";
        } else if (key == "push-ms")
            ok = ParseInt(value, camera.push_ms) && camera.push_ms > 0;
        else if (key == "push-to")
            camera.pushTo = value;
        else if (key == "stream" && value == "live")
            camera.stream = StreamMode::Live;
        else if (key == "stream" && value == "none")
            camera.stream = StreamMode::None;
        else if (key == "stream" && value == "stall")
            camera.stream = StreamMode::Stall;
        else if (key == "fill" && (value == "full" || value == "normal"))
            camera.fill = value == "full" ? AnswerFill::FullSlots : AnswerFill::Normal;
        else if (key == "restart-ms")
            ok = ParseRestart(value, camera.restart_ms);
        else if (key == "after-upgrade" && !value.empty())
            camera.afterUpgrade = value;
        else if (key == "answer" && (value == "requester" || value == "broadcast"))
            camera.answerTo = value == "broadcast" ? AnswerTo::Broadcast : AnswerTo::Requester;
        else if (key == "unicast" && (value == "any" || value == "own"))
            camera.unicast = value == "own" ? UnicastAnswer::Own : UnicastAnswer::Any;
        else if (key == "back" && (value == "yes" || value == "never"))
            camera.backNever = value == "never";
        else if (key == "onvif" && (value == "yes" || value == "no"))
            camera.onvif = value == "yes";
        else if (key == "clock-offset-s") {
            int offset = 0;
            ok = ParseInt(value, offset);
            camera.clockOffset_s = offset;
        } else if (key == "user")
            camera.user = value;
        else if (key == "password")
            ok = PercentDecode(value, camera.password);
        else if (key == "password-file")
            ok = ReadFirstLine(value, camera.password);
        else if (key == "rtsp-auth" && value == "basic")
            camera.rtspAuth = RtspAuth::Basic;
        else if (key == "rtsp-auth" && value == "digest")
            camera.rtspAuth = RtspAuth::Digest;
        else if (key == "rtsp-auth" && value == "none")
            camera.rtspAuth = RtspAuth::None;
        else if (key == "main")
            ok = ParseCodec(value, camera.mainCodec);
        else if (key == "sub")
            ok = ParseCodec(value, camera.subCodec);
        else if (key == "snapshot" && (value == "yes" || value == "no"))
            camera.snapshotUri = value == "yes";
        else if (key == "key-every-ms")
            ok = ParseInt(value, camera.keyEvery_ms) && camera.keyEvery_ms >= 40 && camera.keyEvery_ms <= 60000;
        else if (key == "settings" && (value == "restart" || value == "at-once"))
            camera.settingsRestart = value == "restart";
        else
            ok = false;
        if (!ok) {
            error = "bad camera field '" + item + "'";
            return false;
        }
    }
    if (camera.ip.empty()) {
        error = "camera without ip=";
        return false;
    }
    if (camera.backNever && camera.restart_ms == 0) {
        // Without a restart there is nothing to stay away from.
        error = "back=never needs restart-ms=N";
        return false;
    }
    return true;
}

bool ParseStreamShape(const std::string& text, StreamShape& shape)
{
    const size_t by = text.find('x');
    const size_t at = text.find('@');
    if (by == std::string::npos || (at != std::string::npos && at < by))
        return false;
    StreamShape parsed{0, 0, 25};
    const std::string height = text.substr(by + 1, at == std::string::npos ? std::string::npos : at - by - 1);
    if (!ParseInt(text.substr(0, by), parsed.width) || !ParseInt(height, parsed.height) ||
        (at != std::string::npos && !ParseInt(text.substr(at + 1), parsed.fps)))
        return false;
    const bool sizeOk = parsed.width >= 16 && parsed.width <= 1920 && parsed.height >= 16 && parsed.height <= 1080 &&
                        parsed.width % 2 == 0 && parsed.height % 2 == 0;
    if (!sizeOk || parsed.fps < 1 || parsed.fps > 60)
        return false;
    shape = parsed;
    return true;
}

bool ParseSimArgs(int argc, char** argv, SimConfig& config, std::string& error)
{
    std::vector<std::string> addresses;
    int generated = 0;
    int firstIndex = 0;
    int restart_ms = 0;
    std::string afterUpgrade;
    bool settingsRestart = false;
    UnicastAnswer unicast = UnicastAnswer::Any;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--camera" && value(text)) {
            SimCamera camera;
            if (!ParseSimCamera(text, camera, error))
                return false;
            config.cameras.push_back(camera);
        } else if (arg == "--cameras" && value(text) && ParseInt(text, generated) && generated >= 0) {
        } else if (arg == "--first-index" && value(text) && ParseInt(text, firstIndex) && firstIndex >= 0 &&
                   firstIndex <= 0xFFFFFF) {
        } else if (arg == "--restart-ms" && value(text) && ParseRestart(text, restart_ms)) {
        } else if (arg == "--after-upgrade" && value(afterUpgrade) && !afterUpgrade.empty()) {
        } else if (arg == "--settings-restart") {
            settingsRestart = true;
        } else if (arg == "--unicast-own") {
            unicast = UnicastAnswer::Own;
        } else if (arg == "--addresses" && value(text)) {
            addresses = SplitList(text, ',');
        } else if (arg == "--ready-file" && value(text)) {
            config.readyFile = text;
        } else if (arg == "--log" && value(text)) {
            config.logFile = text;
        } else if (arg == "--run-ms" && value(text) && ParseInt(text, config.runFor_ms)) {
        } else if (arg == "--sub-stream" && value(text) && ParseStreamShape(text, config.sub)) {
        } else if (arg == "--shared-encoder") {
            config.encoders = EncoderUse::Shared;
        } else if (arg == "--rtsp-port" && value(text) && ParseInt(text, config.rtspPort) && config.rtspPort >= 1 &&
                   config.rtspPort <= 65535) {
        } else {
            error = "bad argument '" + arg + "'";
            return false;
        }
    }
    if (generated > 0 && addresses.empty()) {
        error = "--cameras needs --addresses";
        return false;
    }
    for (int i = 0; i < generated; ++i) {
        config.cameras.push_back(GeneratedCamera(firstIndex + i, i, addresses));
        config.cameras.back().restart_ms = restart_ms;
        config.cameras.back().afterUpgrade = afterUpgrade;
        config.cameras.back().settingsRestart = settingsRestart;
        config.cameras.back().unicast = unicast;
    }
    return true;
}

}  // namespace orvane::sim
