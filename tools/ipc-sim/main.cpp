// ipc-sim: plays many cameras at once on a test LAN. Each camera answers the
// search from an address of its own, takes commands and uploads on TCP 16101
// there and serves live test video over RTSP on 554; see --help.

#include "tools/ipc-sim/CameraState.h"
#include "tools/ipc-sim/CommandServer.h"
#include "tools/ipc-sim/DiscoveryResponder.h"
#include "tools/ipc-sim/EventLog.h"
#include "tools/ipc-sim/OnvifServer.h"
#include "tools/ipc-sim/SimConfig.h"
#include "tools/ipc-sim/StreamServer.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include <chrono>
#include <thread>

// GLib grows its table of interned strings by copying it and keeps the old
// block for lock-free readers: a deliberate leak, born in the library's
// constructor, that LeakSanitizer would otherwise report at every exit. With
// the default fast unwinder a stack stops inside GLib (built without frame
// pointers), so that leak cannot be told from any other block GLib allocated;
// the simulator's own allocations are still checked.
extern "C" const char* __lsan_default_suppressions() { return "leak:call_init\nleak:libglib-2.0.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
// GStreamer's threads hand memory and locks over through GLib's futex based
// locks, in code ThreadSanitizer does not instrument: it sees only the
// allocator and lock calls made there, without the order between them, and
// some locks GStreamer unlocks on another thread by design. Only frames in
// those libraries match; the simulator's own code, callbacks included, keeps
// its own stack and is still checked.
extern "C" const char* __tsan_default_suppressions()
{
    return "mutex:libgst\n"
           "deadlock:libgst\n"
           "race:libgst\n"
           "race:libglib-2.0.so\n"
           "race:libgobject-2.0.so\n"
           "race:libgio-2.0.so\n";
}

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

const char kUsage[] =
    "usage: ipc-sim [OPTIONS]\n"
    "  --camera DESC       one camera; DESC is key=value[,key=value...]:\n"
    "                        ip=A (required), mac=001a2b3c4d5e, version=V, xy=X&Y, uid=U, keyid=N,\n"
    "                        delay-ms=N (answer late), every-ms=N,for-ms=N (answer repeatedly),\n"
    "                        len=N (datagram length: 1 cuts, 300 pads), fill=full (text slots\n"
    "                        without zero bytes),\n"
    "                        reply=TEXT (upload reply, %HH escapes, default 1),\n"
    "                        upload=reply|close|silent|cut (close: no reply; silent: never reply;\n"
    "                        cut: close after half the data), port=refuse (no TCP 16101),\n"
    "                        port=deaf (accepts on 16101, never reads),\n"
    "                        push-ms=N,push-to=A (send the answer unasked every N ms to\n"
    "                        A:10088, default 10.77.0.1),\n"
    "                        stream=live|none|stall (RTSP video, default live: rtsp://A:554/main\n"
    "                        1920x1080 and /sub 1280x720, 25 fps H.264, the frame's wall-clock time\n"
    "                        in a strip of blocks at the top; none: no RTSP listener; stall: answers\n"
    "                        RTSP, but each stream stops sending 2 s after it starts),\n"
    "                        snapshot=yes|no (with onvif=yes: no answers GetSnapshotUri with a fault),\n"
    "                        key-every-ms=N (40 to 60000: H.264 and H.265 streams start between\n"
    "                        key frames, as when joined mid-way, and have one every N ms),\n"
    "                        answer=requester|broadcast (broadcast: answer to 255.255.255.255:10088,\n"
    "                        as a camera whose gateway is absent does),\n"
    "                        unicast=any|own (own: answer a unicast request only when it is sent\n"
    "                        to the camera's own address),\n"
    "                        restart-ms=N (default 0: never restarts): after an accepted firmware\n"
    "                        upload (kind 2 or 4, all data in, reply reading 1 or 2) the camera\n"
    "                        restarts as it sends the reply (silent before the reply leaves) and\n"
    "                        closes that connection; after an address change (#3&1&ADDR#) it\n"
    "                        restarts once that connection closes.\n"
    "                        For N ms it answers no search and refuses command connections,\n"
    "                        then it is back: after an address change from ADDR (added to the\n"
    "                        link of its old address with that prefix) and listening there,\n"
    "                        after-upgrade=V (the version it is back with after an upgrade;\n"
    "                        default: the old one), back=yes|never (never: stays silent; needs\n"
    "                        restart-ms), settings=at-once|restart (a UID, X/Y or keyboard id\n"
    "                        change is answered with once its connection closes, by default,\n"
    "                        or restarts the camera, with restart-ms, that comes back with it)\n"
    "  --cameras N         N generated cameras with distinct MACs, spread over --addresses\n"
    "  --addresses A,B,... addresses for generated cameras\n"
    "  --restart-ms N      restart-ms=N for every generated camera\n"
    "  --after-upgrade V   after-upgrade=V for every generated camera\n"
    "  --settings-restart  settings=restart for every generated camera\n"
    "  --unicast-own       unicast=own for every generated camera\n"
    "  --first-index N     the generated cameras are numbers N, N+1, ... (MACs, UIDs), so that\n"
    "                      two simulators can generate cameras that differ\n"
    "  --log FILE          append one line per received request, frame, upload or RTSP client,\n"
    "                      and per restart: restart camera=IP reason=upgrade|address|settings silent-ms=N,\n"
    "                      back camera=IP ip=NOW version=V, never-back camera=IP (when it would\n"
    "                      have been back; IP: the address it was configured with)\n"
    "  --ready-file FILE   written once every port listens\n"
    "  --run-ms N          stop after N ms (default: at SIGTERM or SIGINT)\n"
    "  --rtsp-port N       the cameras' RTSP port (default 554)\n"
    "  --sub-stream WxH[@FPS]  the shape of every camera's /sub stream (default 1280x720@25;\n"
    "                      real cameras' second stream is often 640x360@25)\n"
    "  --shared-encoder    one encoder per stream shape for every client of every camera,\n"
    "                      instead of one per client: sixteen cameras cost one encoder; each\n"
    "                      client starts at a key frame the encoder makes for it\n"
    "The first camera of an address decides its command port and stream. Addresses\n"
    "this host does not own get neither (logged as address-not-local).\n";

void WriteReadyFile(const std::string& path)
{
    if (path.empty())
        return;
    std::string temporary = path + ".tmp";
    if (FILE* f = std::fopen(temporary.c_str(), "w")) {
        std::fprintf(f, "%d\n", static_cast<int>(::getpid()));
        std::fclose(f);
        std::rename(temporary.c_str(), path.c_str());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    orvane::sim::SimConfig config;
    std::string error;
    if (!orvane::sim::ParseSimArgs(argc, argv, config, error)) {
        std::fprintf(stderr, "ipc-sim: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGINT, RequestStop);

    orvane::sim::EventLog log(config.logFile);
    orvane::sim::CameraStates states;
    orvane::sim::MakeStates(config, states);
    orvane::sim::DiscoveryResponder discovery(config, states, log);
    if (!discovery.start(error)) {
        std::fprintf(stderr, "ipc-sim: %s\n", error.c_str());
        return 1;
    }
    orvane::sim::CommandServer commands(config, states, log);
    if (!commands.start(error)) {
        std::fprintf(stderr, "ipc-sim: %s\n", error.c_str());
        discovery.stop();
        return 1;
    }
    orvane::sim::StreamServer streams(config, log);
    if (!streams.start(error)) {
        std::fprintf(stderr, "ipc-sim: %s\n", error.c_str());
        commands.stop();
        discovery.stop();
        return 1;
    }
    orvane::sim::OnvifServer onvif(config, log);
    if (!onvif.start(error)) {
        std::fprintf(stderr, "ipc-sim: %s\n", error.c_str());
        streams.stop();
        commands.stop();
        discovery.stop();
        return 1;
    }
    WriteReadyFile(config.readyFile);

    const auto start = std::chrono::steady_clock::now();
    while (!stopRequested) {
        if (config.runFor_ms > 0 &&
            std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(config.runFor_ms))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    onvif.stop();
    streams.stop();
    commands.stop();
    discovery.stop();
    return 0;
}
