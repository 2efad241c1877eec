#include "app/cli/MediaCommands.h"

#include "app/cli/CliCommands.h"
#include "onvif/HttpExchange.h"
#include "onvif/StreamLookup.h"
#include "onvif/StreamUriRepair.h"
#include "vidra/StillPicture.h"
#include "vidra/StreamLocator.h"
#include "vidra/StreamUrl.h"

#include <CLI/CLI.hpp>

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>

namespace orvane::cli {
namespace {

struct MediaArguments {
    std::string camera;
    std::string file;
    std::string stream = "main";
    std::string user;
};

MediaArguments& Arguments()
{
    static MediaArguments arguments;
    return arguments;
}

// Without echo, from the terminal itself: the password is never an
// argument, so no other user sees it in the process list.
bool AskPassword(const std::string& user, std::string& password)
{
    FILE* terminal = std::fopen("/dev/tty", "r+");
    if (terminal == nullptr)
        return false;
    std::fprintf(terminal, "Password for %s: ", user.c_str());
    std::fflush(terminal);
    termios saved{};
    const bool quiet = tcgetattr(fileno(terminal), &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fileno(terminal), TCSAFLUSH, &silent);
    }
    char line[512] = {};
    const bool read = std::fgets(line, sizeof line, terminal) != nullptr;
    if (quiet)
        tcsetattr(fileno(terminal), TCSAFLUSH, &saved);
    std::fputc('\n', terminal);
    std::fclose(terminal);
    password = line;
    while (!password.empty() && (password.back() == '\n' || password.back() == '\r'))
        password.pop_back();
    return read;
}

// The login from --user and ORVANE_PASSWORD or the terminal; false when a
// password was needed and none could be had.
bool Login(const MediaArguments& a, onvif::Credentials& login)
{
    if (a.user.empty())
        return true;
    login.user = a.user;
    if (const char* password = std::getenv("ORVANE_PASSWORD")) {
        login.password = password;
        return true;
    }
    if (AskPassword(a.user, login.password))
        return true;
    std::fprintf(stderr, "orvane-cli: no password for %s: set ORVANE_PASSWORD or run on a terminal\n", a.user.c_str());
    return false;
}

int StreamNumber(const MediaArguments& a)
{
    return a.stream == "sub" ? 1 : 0;
}

int Refused(const MediaArguments& a)
{
    if (a.user.empty())
        std::fprintf(stderr, "orvane-cli: %s asks for a user and password (--user)\n", a.camera.c_str());
    else
        std::fprintf(stderr, "orvane-cli: %s: Wrong user or password\n", a.camera.c_str());
    return kExitFailed;
}

int RunStreamUri(const MediaArguments& a)
{
    onvif::Credentials login;
    if (!Login(a, login))
        return kExitFailed;
    const vidra::LocatedStream located = vidra::LocateStream(a.camera, StreamNumber(a), login);
    if (located.failure == onvif::Failure::NotAuthorized)
        return Refused(a);
    if (located.failure != onvif::Failure::None) {
        std::fprintf(stderr, "orvane-cli: %s: %s\n", a.camera.c_str(), located.detail.c_str());
        return kExitFailed;
    }
    std::printf("%s\n", vidra::UrlWithoutPassword(located.url).c_str());
    return kExitOk;
}

int NoSnapshot(const MediaArguments& a, const std::string& why)
{
    std::fprintf(stderr, "orvane-cli: %s: no snapshot: %s\n", a.camera.c_str(), why.c_str());
    return kExitFailed;
}

int Written(const std::string& file, size_t bytes)
{
    std::printf("%s %zu bytes\n", file.c_str(), bytes);
    return kExitOk;
}

int SaveStill(const MediaArguments& a, const vidra::StillPicture& picture)
{
    size_t bytes = 0;
    std::string error;
    if (!picture.save(a.file, bytes, error)) {
        std::fprintf(stderr, "orvane-cli: %s\n", error.c_str());
        return kExitFailed;
    }
    return Written(a.file, bytes);
}

// What the camera's snapshot URI gives: kept as it is in a JPEG file, made
// a PNG otherwise. Empty why and no exit code: there was none to be had.
std::optional<int> SnapshotFromCamera(const MediaArguments& a, const onvif::Credentials& login, std::string& why)
{
    const onvif::StreamLookupResult found = onvif::LookUpMedia(
        a.camera, login, onvif::KindOfStream(StreamNumber(a)), onvif::MediaKind::Snapshot);
    if (found.failure == onvif::Failure::NotAuthorized)
        return Refused(a);
    if (found.failure != onvif::Failure::None) {
        why = found.failure == onvif::Failure::NoService ? onvif::FailureText(found.failure) : found.detail;
        return std::nullopt;
    }
    onvif::HttpLimits limits;
    limits.max_bytes = 32 * 1024 * 1024;
    const onvif::HttpResult answer = onvif::HttpExchange::get(found.uri, login, limits);
    if (answer.failure == onvif::Failure::None && answer.status == 401)
        return Refused(a);
    const bool jpeg = answer.body.size() > 3 && static_cast<unsigned char>(answer.body[0]) == 0xFF &&
                      static_cast<unsigned char>(answer.body[1]) == 0xD8;
    if (answer.failure != onvif::Failure::None || answer.status != 200 || !jpeg) {
        why = answer.failure != onvif::Failure::None ? answer.detail
              : answer.status != 200               ? "HTTP " + std::to_string(answer.status)
                                                   : "the answer is no JPEG";
        return std::nullopt;
    }
    if (!vidra::StillPicture::IsJpegName(a.file)) {
        vidra::StillPicture picture;
        if (vidra::StillPicture::FromJpeg(answer.body, picture, why) != vidra::StillPicture::Failure::None)
            return std::nullopt;
        return SaveStill(a, picture);
    }
    std::ofstream out(a.file, std::ios::binary | std::ios::trunc);
    out.write(answer.body.data(), static_cast<std::streamsize>(answer.body.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "orvane-cli: cannot write %s\n", a.file.c_str());
        return kExitFailed;
    }
    return Written(a.file, answer.body.size());
}

// The stream's first key frame, from the URI the preview would play.
int SnapshotFromStream(const MediaArguments& a, const onvif::Credentials& login, const std::string& cameraWhy)
{
    const vidra::LocatedStream located = vidra::LocateStream(a.camera, StreamNumber(a), login);
    if (located.failure == onvif::Failure::NotAuthorized)
        return Refused(a);
    if (located.failure != onvif::Failure::None)
        return NoSnapshot(a, located.detail);
    const std::string url = login.empty() || onvif::UriHasCredentials(located.url)
                                ? located.url
                                : onvif::UriWithCredentials(located.url, login.user, login.password);
    vidra::StillPicture picture;
    std::string error;
    const vidra::StillPicture::Failure grabbed = vidra::StillPicture::FromStream(url, picture, error);
    if (grabbed == vidra::StillPicture::Failure::Refused)
        return Refused(a);
    if (grabbed != vidra::StillPicture::Failure::None)
        return NoSnapshot(a, cameraWhy.empty() ? error : cameraWhy + "; from the stream: " + error);
    return SaveStill(a, picture);
}

// The camera's own snapshot when it has one, else one decoded frame of the
// stream; PNG or JPEG by the file's name.
int RunSnapshot(const MediaArguments& a)
{
    onvif::Credentials login;
    if (!Login(a, login))
        return kExitFailed;
    std::string why;
    if (const std::optional<int> done = SnapshotFromCamera(a, login, why))
        return *done;
    return SnapshotFromStream(a, login, why);
}

void AddCommonOptions(CLI::App* c, MediaArguments& a)
{
    c->add_option("--stream", a.stream, "main (default) or sub")->check(CLI::IsMember({"main", "sub"}));
    c->add_option("--user", a.user,
                  "log in as NAME; the password comes from ORVANE_PASSWORD or is asked on the terminal");
}

}  // namespace

void AddMediaCommands(CLI::App& app, std::function<int()>& run)
{
    MediaArguments& a = Arguments();
    CLI::App* uri = app.add_subcommand("stream-uri",
        "Print the RTSP URI the preview would play for the camera at CAMERA, without any password:\n"
        "VIDRA_URL when set, else what the camera's ONVIF service names for the stream, else\n"
        "rtsp://CAMERA:554/main or /sub.");
    uri->fallthrough(false);
    uri->add_option("CAMERA", a.camera, "the camera's address")->required();
    AddCommonOptions(uri, a);
    uri->callback([&run, &a] { run = [&a] { return RunStreamUri(a); }; });

    CLI::App* snapshot = app.add_subcommand("snapshot",
        "Save the camera's current picture to FILE at the stream's full size, as JPEG when FILE ends\n"
        "in .jpg or .jpeg, else as PNG: the picture the camera's ONVIF snapshot URI gives, or, for a\n"
        "camera without one, the first key frame of the stream the preview would play.");
    snapshot->fallthrough(false);
    snapshot->add_option("CAMERA", a.camera, "the camera's address")->required();
    snapshot->add_option("FILE", a.file, "the file to write")->required();
    AddCommonOptions(snapshot, a);
    snapshot->callback([&run, &a] { run = [&a] { return RunSnapshot(a); }; });
}

}  // namespace orvane::cli
