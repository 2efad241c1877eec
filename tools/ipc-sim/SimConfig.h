#pragma once
// What the simulator plays: a set of cameras, each with the values of its
// search answer and the quirks a test asks of it.

#include <cstdint>
#include <string>
#include <vector>

namespace orvane::sim {

// How a camera's command port ends an upload once the data is in.
enum class UploadEnding {
    Reply,   // send the reply text, then go on reading frames
    Close,   // close without a reply
    Silent,  // never reply; keep the connection until the peer closes it
    Cut,     // close after half of the data has arrived
};

enum class AnswerFill {
    Normal,     // texts end at a zero byte inside their slots
    FullSlots,  // every text slot filled to the brim, no zero byte
};

// What a camera's RTSP port on 554 does.
enum class StreamMode {
    Live,   // serves /main and /sub
    None,   // no listener: connections are refused
    Stall,  // answers RTSP, but each stream stops sending after about 2 s
};

// The encoder of one of a camera's two streams.
enum class StreamCodec { H264, H265, Mjpeg };

// How a camera's RTSP port asks for its login (when it has one).
enum class RtspAuth { None, Basic, Digest };
// Where a camera sends its search answer.
enum class AnswerTo {
    Requester,  // back to the request's sender
    Broadcast,  // to 255.255.255.255:10088, as a camera whose gateway is absent does
};

// Which unicast search requests a camera answers (broadcasts it always does).
enum class UnicastAnswer {
    Any,  // every request the host receives
    Own,  // only those sent to its own address
};

struct SimCamera {
    std::string ip;
    uint8_t mac[6] = {};
    std::string version = "V1.0.0";
    std::string xy = "1&1";
    std::string uid = "SIMUID0000000000000001";
    int32_t keyId = 1;
    int delay_ms = 0;     // answer this late after the request
    int every_ms = 0;     // then again every every_ms ...
    int for_ms = 0;       // ... while less than for_ms have passed since the request
    int length = 208;     // datagram length: shorter cuts the answer, longer pads it
    AnswerFill fill = AnswerFill::Normal;
    std::string reply = "1";  // an upload's reply text (%HH decoded on parsing)
    UploadEnding upload = UploadEnding::Reply;
    bool refuseCommands = false;  // no listener on the command port
    bool deafCommands = false;    // accepts command connections, never reads from them
    int push_ms = 0;              // send the answer unasked every push_ms ...
    std::string pushTo = "10.77.0.1";  // ... to this operator's port 10088
    StreamMode stream = StreamMode::Live;
    // After an accepted firmware upload or an address change the camera
    // restarts: silent for restart_ms (0: it never restarts), then back with
    // afterUpgrade as its version after an upgrade (empty: the old one), or
    // never back at all.
    int restart_ms = 0;
    std::string afterUpgrade;
    bool backNever = false;
    // An ONVIF device and media service on port 80, whose profiles lead to
    // streams at paths of its own (/live/ch00_0 and /live/ch00_1).
    bool onvif = false;
    long long clockOffset_s = 0;  // the ONVIF clock runs this far ahead of ours
    bool snapshotUri = true;      // false: GetSnapshotUri is not supported
    // A login for ONVIF (UsernameToken) and RTSP; no user: none asked.
    std::string user;
    std::string password;
    RtspAuth rtspAuth = RtspAuth::Digest;
    StreamCodec mainCodec = StreamCodec::H264;
    StreamCodec subCodec = StreamCodec::H264;
    // 0: a key frame a second, and each client's stream starts with one.
    // Else the H.264 and H.265 streams start between key frames, as a camera
    // joined in the middle of its group of pictures does, and make a key
    // frame every keyEvery_ms.
    int keyEvery_ms = 0;
    // Whether a UID, X/Y or keyboard id change restarts the camera (with
    // restart-ms) or is answered with at once.
    bool settingsRestart = false;
    AnswerTo answerTo = AnswerTo::Requester;
    UnicastAnswer unicast = UnicastAnswer::Any;
};

// The size and rate of a stream the cameras serve.
struct StreamShape {
    int width;
    int height;
    int fps;
};

// Whether each client's stream has an encoder of its own or every client of
// every camera shares one encoder per stream shape.
enum class EncoderUse { PerClient, Shared };

struct SimConfig {
    std::vector<SimCamera> cameras;
    std::string readyFile;  // written once every port listens
    std::string logFile;    // one line per event, for tests to read
    int runFor_ms = 0;      // 0: until SIGTERM or SIGINT
    int rtspPort = 554;
    StreamShape sub{1280, 720, 25};  // /sub; /main is always 1920x1080 at 25 fps
    EncoderUse encoders = EncoderUse::PerClient;
};

// Parses "WIDTHxHEIGHT" or "WIDTHxHEIGHT@FPS" (even sizes 16x16 to
// 1920x1080, 1 to 60 fps; 25 when not given).
bool ParseStreamShape(const std::string& text, StreamShape& shape);

// Parses the command line; on an error writes a message to error and returns false.
bool ParseSimArgs(int argc, char** argv, SimConfig& config, std::string& error);

// Parses one "key=value,key=value" camera description into camera.
bool ParseSimCamera(const std::string& text, SimCamera& camera, std::string& error);

// Parses "001a2b3c4d5e" or "00:1a:2b:3c:4d:5e".
bool ParseMac(const std::string& text, uint8_t (&mac)[6]);

}  // namespace orvane::sim
