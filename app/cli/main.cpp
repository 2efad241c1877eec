// orvane-cli: the camera operations of Orvane without windows, for scripts
// and for checking the core.

#include "app/cli/CliCommands.h"
#include "platform/OperatorPrompt.h"
#include "platform/StderrPrompt.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>
#include <map>

namespace {

using namespace orvane::cli;

struct Arguments {
    SearchOptions search;
    std::string format = "tsv";
    std::string camera, first, second, third;
};

CLI::App* AddCommand(CLI::App& app, const char* name, const char* description)
{
    CLI::App* command = app.add_subcommand(name, description);
    command->fallthrough(false);
    return command;
}

void AddSearch(CLI::App& app, Arguments& a, std::function<int()>& run)
{
    CLI::App* c = AddCommand(app, "search",
        "Broadcast the search request (UDP 255.255.255.255:6789 from port 10088) out of every network\n"
        "interface that is up, not loopback, broadcast-capable and has an IPv4 address; collect answers\n"
        "until 2 s pass without one; print the cameras in address order. Exit 1 when no interface could\n"
        "send the request.");
    c->add_option("--interface", a.search.interfaces,
                  "Send only on this interface (repeatable); an unknown or unusable name is a usage error");
    c->add_option("--format", a.format,
                  "tsv: ID, IP, MAC, Version, X, Y, UID, KEYID, tab-separated (default); "
                  "csv: header id,ip,mac,version,x,y,uid,keyid,interface, RFC 4180 quoting; "
                  "json: an array of objects with those keys, numbers as numbers")
        ->check(CLI::IsMember({"tsv", "csv", "json"}));
    c->callback([&] {
        const std::map<std::string, ListFormat> formats{
            {"tsv", ListFormat::Tsv}, {"csv", ListFormat::Csv}, {"json", ListFormat::Json}};
        a.search.format = formats.at(a.format);
        run = [&] { return RunSearch(a.search); };
    });
}

// A command of camera and fixed positional arguments.
void AddPositional(CLI::App& app, Arguments& a, std::function<int()>& run, const char* name,
                   const char* description, std::vector<std::pair<const char*, std::string*>> args,
                   std::function<int()> body)
{
    CLI::App* c = AddCommand(app, name, description);
    c->add_option("CAMERA", a.camera, "the camera's address")->required();
    for (auto& [argName, target] : args)
        c->add_option(argName, *target)->required();
    c->callback([&run, body] { run = body; });
}

void AddSettings(CLI::App& app, Arguments& a, std::function<int()>& run)
{
    AddPositional(app, a, run, "set-ip", "Give the camera at CAMERA (TCP 16101) a new address; it restarts.",
                  {{"NEW_ADDRESS", &a.first}}, [&a] { return RunSetIp(a.camera, a.first); });
    AddPositional(app, a, run, "set-mac", "Give the camera a new MAC, 12 hexadecimal digits (else \"The MAC IS ERROR\").",
                  {{"MAC", &a.first}}, [&a] { return RunSetMac(a.camera, a.first); });
    AddPositional(app, a, run, "set-net",
                  "New address and MAC over one connection: address, MAC and closing frames.",
                  {{"NEW_ADDRESS", &a.first}, {"MAC", &a.second}},
                  [&a] { return RunSetNet(a.camera, a.first, a.second); });
    AddPositional(app, a, run, "set-uid", "Set the camera's UID, at least 20 characters (else \"The UID IS ERROR\").",
                  {{"UID", &a.first}}, [&a] { return RunSetUid(a.camera, a.first); });
    AddPositional(app, a, run, "set-keyid", "Set the camera's keyboard identifier, a whole number.",
                  {{"KEYID", &a.first}}, [&a] { return RunSetKeyId(a.camera, a.first); });
    AddPositional(app, a, run, "set-xy", "Set the camera's X (1 to 499) and Y (1 to 99).",
                  {{"X", &a.first}, {"Y", &a.second}}, [&a] { return RunSetXY(a.camera, a.first, a.second); });
}

void AddUploads(CLI::App& app, Arguments& a, std::function<int()>& run)
{
    AddPositional(app, a, run, "upload-firmware",
                  "Upload FILE as firmware (kind 2 when the path begins with \"zImage\", else 4); progress bar\n"
                  "on stderr, the camera's result code as the last line of stdout; exit 0 when the code is 1 or 2.",
                  {{"FILE", &a.first}}, [&a] { return RunUploadFirmware(a.camera, a.first); });
    AddPositional(app, a, run, "upload-onvif",
                  "Upload FILE as the camera's ONVIF address list; output and exit code as for upload-firmware.",
                  {{"FILE", &a.first}}, [&a] { return RunUploadOnvif(a.camera, a.first); });
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"orvane-cli: the camera operations of Orvane without windows.\n"
                 "Exit codes: 0 success, 1 failure, 2 usage error; operation messages and field errors go to stderr.",
                 "orvane-cli"};
    app.require_subcommand(1);
    Arguments arguments;
    std::function<int()> run;
    AddSearch(app, arguments, run);
    AddSettings(app, arguments, run);
    AddUploads(app, arguments, run);
    if (argc < 2) {
        std::fputs(app.help().c_str(), stderr);
        return kExitUsage;
    }
    const std::string first = argv[1];
    const auto commands = app.get_subcommands([&](const CLI::App* c) { return c->check_name(first); });
    const bool known = first.starts_with("-") || !commands.empty();
    if (!known) {
        std::fprintf(stderr, "orvane-cli: unknown command '%s'\n", argv[1]);
        std::fputs(app.help().c_str(), stderr);
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);  // the help on stdout, exit 0
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "orvane-cli: %s\n", error.what());
        std::fprintf(stderr, "Run 'orvane-cli --help' or 'orvane-cli COMMAND --help' for usage.\n");
        return kExitUsage;
    }
    orvane::StderrPrompt prompt;
    orvane::InstallOperatorPrompt(&prompt);
    return run ? run() : kExitUsage;
}
