#include "app/cli/CliCommands.h"

#include "discovery/CameraDirectory.h"
#include "discovery/CameraRow.h"
#include "discovery/SearchExchange.h"

#include <cstdio>

namespace orvane::cli {

int RunSearch(int argc, char**)
{
    if (argc != 0) {
        std::fprintf(stderr, "usage: orvane-cli search\n");
        return kExitUsage;
    }
    if (!InitSearchSocket()) {
        std::fprintf(stderr, "orvane-cli: cannot set up the search socket on UDP port 10088 "
                             "(another search may be using it)\n");
        return kExitFailed;
    }
    SearchIpc();
    if (TheSearchExchange().lastSearchCutShort())
        std::fprintf(stderr, "orvane-cli: the search stopped at its %d s bound while answers still came; "
                             "cameras may be missing from the list\n", kSearchLongest_ms / 1000);
    int id = 1;
    for (const CameraRecord* r = TheCameraDirectory().head(); r; r = r->next.get()) {
        CameraRow row = MakeCameraRow(id++, *r);
        for (size_t i = 0; i < row.size(); ++i)
            std::fprintf(stdout, "%s%c", row[i].c_str(), i + 1 < row.size() ? '\t' : '\n');
    }
    return kExitOk;
}

}  // namespace orvane::cli
