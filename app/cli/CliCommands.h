#pragma once
// The sub-commands of orvane-cli. Each returns the process's exit code:
// 0 success, 1 failure, 2 usage error.

#include "discovery/SearchExchange.h"
#include "job/JobContext.h"

#include <functional>
#include <string>
#include <vector>

namespace orvane::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

enum class ListFormat { Tsv, Csv, Json };

struct SearchOptions {
    std::vector<std::string> interfaces;  // empty: every interface
    std::vector<std::string> targets;     // ADDRESS[/PREFIX] also asked by unicast
    ListFormat format = ListFormat::Tsv;
    bool explain = false;                 // a report of the search on stderr after the list
};

// The request of the named interfaces (empty: all) and targets; an unusable
// interface or a target that does not read is told on stderr and gives
// kExitUsage.
int MakeSearchRequest(const std::vector<std::string>& interfaces, const std::vector<std::string>& targets,
                      SearchRequest& request);

// The search the other commands start with, with failures told on stderr.
// Gives kExitOk when the request went out.
int SearchOnce(const SearchRequest& request, SearchResult& result);

// Runs body in the process's context on the path to camera: through
// interfaceName; without one, a camera outside every subnet of this machine
// is first searched for quietly and reached through the interface it
// answered on. An interface that does not exist gives kExitUsage.
int RunOverCameraLink(const std::string& camera, const std::string& interfaceName,
                      const std::function<int(const JobContext&)>& body);

int RunSearch(const SearchOptions& options);

struct FleetOptions {
    std::vector<std::string> cameras;  // addresses or MACs, in the order given
    bool all = false;
    int jobs = 16;
    int wait_s = 300;
    bool json = false;
    std::vector<std::string> interfaces;
    std::vector<std::string> targets;
};

struct ApplyOptions {
    std::string plan;                     // the CSV file
    bool dryRun = false;
    int jobs = 16;
    int wait_s = 300;
    bool json = false;
    std::vector<std::string> targets;     // unicast search targets
    std::vector<std::string> interfaces;
};

int RunApply(const ApplyOptions& options);
int RunUpgrade(const std::string& file, const FleetOptions& options);
int RunAssignIps(const std::string& first, const FleetOptions& options, bool dryRun);
int RunSetIp(const JobContext& job, const std::string& camera, const std::string& address);
int RunSetMac(const JobContext& job, const std::string& camera, const std::string& mac);
int RunSetNet(const JobContext& job, const std::string& camera, const std::string& address, const std::string& mac);
int RunSetUid(const JobContext& job, const std::string& camera, const std::string& uid);
int RunSetKeyId(const JobContext& job, const std::string& camera, const std::string& keyId);
int RunSetXY(const JobContext& job, const std::string& camera, const std::string& x, const std::string& y);
int RunUploadFirmware(const JobContext& job, const std::string& camera, const std::string& file);
int RunUploadOnvif(const JobContext& job, const std::string& camera, const std::string& file);

}  // namespace orvane::cli
