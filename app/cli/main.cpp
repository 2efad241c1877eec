// orvane-cli: the camera operations of Orvane without windows, for scripts
// and for checking the core.

#include "app/cli/CliCommands.h"
#include "app/cli/MediaCommands.h"
#include "process/OperatorPrompt.h"
#include "process/StderrPrompt.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>
#include <limits>
#include <map>

namespace {

using namespace orvane::cli;

struct Arguments {
    SearchOptions search;
    FleetOptions fleet;
    ApplyOptions apply;
    bool dryRun = false;
    std::string format = "tsv";
    std::string camera, first, second;
    std::string link;  // --interface of a single-camera command
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
    c->add_option("--target", a.search.targets,
                  "Also send the request by unicast to every host of ADDRESS[/PREFIX] (repeatable or\n"
                  "comma-separated, /16 at the widest): cameras behind a router; the network and broadcast\n"
                  "addresses are skipped. A target that does not read is a usage error");
    c->add_flag("--explain", a.search.explain,
                "After the list, report on stderr what the search did on each interface and why it may\n"
                "have heard nothing: skipped links, a held port, nftables, ufw and firewalld rules, strict\n"
                "rp_filter, and as root the answers that reached this machine but not the search (with\n"
                "--format json, also under the key \"explain\")");
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
                   std::function<int(const orvane::JobContext&)> body)
{
    CLI::App* c = AddCommand(app, name, description);
    c->add_option("CAMERA", a.camera, "the camera's address")->required();
    for (auto& [argName, target] : args)
        c->add_option(argName, *target)->required();
    c->add_option("--interface", a.link,
                  "connect through this interface whatever the routing table says; without it, a camera\n"
                  "outside every subnet of this machine is searched for and reached through the interface\n"
                  "it answers on");
    c->callback([&run, &a, body] { run = [&a, body] { return RunOverCameraLink(a.camera, a.link, body); }; });
}

void AddSettings(CLI::App& app, Arguments& a, std::function<int()>& run)
{
    AddPositional(app, a, run, "set-ip", "Give the camera at CAMERA (TCP 16101) a new address; it restarts.",
                  {{"NEW_ADDRESS", &a.first}}, [&a](const orvane::JobContext& job) { return RunSetIp(job, a.camera, a.first); });
    AddPositional(app, a, run, "set-mac", "Give the camera a new MAC, 12 hexadecimal digits (else \"The MAC IS ERROR\").",
                  {{"MAC", &a.first}}, [&a](const orvane::JobContext& job) { return RunSetMac(job, a.camera, a.first); });
    AddPositional(app, a, run, "set-net",
                  "New address and MAC over one connection: address, MAC and closing frames.",
                  {{"NEW_ADDRESS", &a.first}, {"MAC", &a.second}},
                  [&a](const orvane::JobContext& job) { return RunSetNet(job, a.camera, a.first, a.second); });
    AddPositional(app, a, run, "set-uid", "Set the camera's UID, at least 20 characters (else \"The UID IS ERROR\").",
                  {{"UID", &a.first}}, [&a](const orvane::JobContext& job) { return RunSetUid(job, a.camera, a.first); });
    AddPositional(app, a, run, "set-keyid", "Set the camera's keyboard identifier, a whole number.",
                  {{"KEYID", &a.first}}, [&a](const orvane::JobContext& job) { return RunSetKeyId(job, a.camera, a.first); });
    AddPositional(app, a, run, "set-xy", "Set the camera's X (1 to 499) and Y (1 to 99).",
                  {{"X", &a.first}, {"Y", &a.second}}, [&a](const orvane::JobContext& job) { return RunSetXY(job, a.camera, a.first, a.second); });
}

void AddUploads(CLI::App& app, Arguments& a, std::function<int()>& run)
{
    AddPositional(app, a, run, "upload-firmware",
                  "Upload FILE as firmware (kind 2 when the path begins with \"zImage\", else 4); progress bar\n"
                  "on stderr, the camera's result code as the last line of stdout; exit 0 when the code is 1 or 2.",
                  {{"FILE", &a.first}}, [&a](const orvane::JobContext& job) { return RunUploadFirmware(job, a.camera, a.first); });
    AddPositional(app, a, run, "upload-onvif",
                  "Upload FILE as the camera's ONVIF address list; output and exit code as for upload-firmware.",
                  {{"FILE", &a.first}}, [&a](const orvane::JobContext& job) { return RunUploadOnvif(job, a.camera, a.first); });
}

void AddFleetOptions(CLI::App* c, Arguments& a)
{
    c->add_option("CAMERA", a.fleet.cameras, "cameras by address or MAC (12 hexadecimal digits), as the search found them");
    c->add_flag("--all", a.fleet.all, "every camera the search found");
    c->add_option("--jobs", a.fleet.jobs, "at most this many cameras at once (default 16)")->check(CLI::Range(1, std::numeric_limits<int>::max()));
    c->add_option("--wait", a.fleet.wait_s, "seconds to watch for each camera to come back after its operation (default 300)")
        ->check(CLI::Range(0, std::numeric_limits<int>::max()));
    c->add_option("--format", a.format, "tsv (default) or json")->check(CLI::IsMember({"tsv", "json"}));
    c->add_option("--interface", a.fleet.interfaces, "search only on this interface (repeatable)");
    c->add_option("--target", a.fleet.targets,
                  "also search ADDRESS[/PREFIX] by unicast (repeatable), for cameras behind a router");
}

void AddFleet(CLI::App& app, Arguments& a, std::function<int()>& run)
{
    CLI::App* upgrade = AddCommand(app, "upgrade",
        "Search, then upload FILE to each named camera (or --all) exactly as upload-firmware does, at most\n"
        "--jobs at once, and watch each accepted camera restart with repeated searches for up to --wait\n"
        "seconds. One row per camera in address order: ip, mac, old version, result, new version, outcome\n"
        "(upgraded, unchanged, not-back, refused, failed, not-found, interrupted). json keys: ip, mac,\n"
        "old_version, result, new_version, outcome. Exit 0 when every camera is upgraded, 1 otherwise,\n"
        "130 after Ctrl-C (running uploads are closed, the summary is still printed).");
    upgrade->add_option("FILE", a.first, "the firmware file")->required();
    AddFleetOptions(upgrade, a);
    upgrade->callback([&] {
        a.fleet.json = a.format == "json";
        run = [&] { return RunUpgrade(a.first, a.fleet); };
    });

    CLI::App* assign = AddCommand(app, "assign-ips",
        "Search, then give the named cameras (in the order given; with --all in address order) FIRST,\n"
        "FIRST+1, ..., skipping addresses other cameras answer from, this machine's own, and the network and\n"
        "broadcast addresses of the camera's subnet; a plan that leaves FIRST's subnet is refused before\n"
        "anything is sent. Sends each what set-ip sends and watches each answer from its new address.\n"
        "Rows: old ip, mac, new ip, outcome (moved, not-back, failed, not-found, interrupted); json keys\n"
        "old_ip, mac, new_ip, outcome. Exit 0 when every camera moved.");
    assign->add_option("FIRST", a.first, "the first address to give")->required();
    AddFleetOptions(assign, a);
    assign->add_flag("--dry-run", a.dryRun, "print the plan (old ip, mac, new ip) and send nothing");
    assign->callback([&] {
        a.fleet.json = a.format == "json";
        run = [&] { return RunAssignIps(a.first, a.fleet, a.dryRun); };
    });
}

void AddApply(CLI::App& app, Arguments& a, std::function<int()>& run)
{
    CLI::App* apply = AddCommand(app, "apply",
        "Search, then bring every camera of PLAN.csv to its row: the list's own CSV (header from\n"
        "id,ip,mac,version,x,y,uid,keyid,interface plus firmware, a file that brings a camera to its version;\n"
        "mac required, an empty cell leaves the field as it is, id and interface are ignored). A plan with\n"
        "any problem is refused whole, every problem told with its line, and nothing is sent (exit 2).\n"
        "Each camera by itself, at most --jobs at once, changes in the order firmware, uid, x/y, keyid, ip,\n"
        "each followed by the camera's restart and a search that must read the field as planned before the\n"
        "next. Rows in address order: ip, mac, field, from, to, outcome (applied, unchanged, failed,\n"
        "not-back, skipped, not-found, interrupted); json keys ip, mac, field, from, to, outcome and message\n"
        "for a failure. Exit 0 when every field reads as planned, 1 otherwise, 130 after Ctrl-C.");
    apply->add_option("PLAN", a.apply.plan, "the plan, a CSV file")->required();
    apply->add_flag("--dry-run", a.apply.dryRun, "print the changes (ip, mac, field, from, to) and send nothing");
    apply->add_option("--jobs", a.apply.jobs, "at most this many cameras at once (default 16)")
        ->check(CLI::Range(1, std::numeric_limits<int>::max()));
    apply->add_option("--wait", a.apply.wait_s, "seconds to wait for a camera to come back after each change (default 300)")
        ->check(CLI::Range(0, std::numeric_limits<int>::max()));
    apply->add_option("--format", a.format, "tsv (default) or json")->check(CLI::IsMember({"tsv", "json"}));
    apply->add_option("--target", a.apply.targets, "also search ADDRESS[/PREFIX] by unicast, as search --target does (repeatable)");
    apply->add_option("--interface", a.apply.interfaces, "search only on this interface (repeatable)");
    apply->callback([&] {
        a.apply.json = a.format == "json";
        run = [&] { return RunApply(a.apply); };
    });
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
    AddFleet(app, arguments, run);
    orvane::cli::AddMediaCommands(app, run);
    AddApply(app, arguments, run);
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
