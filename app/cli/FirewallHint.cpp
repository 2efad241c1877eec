#include "app/cli/FirewallHint.h"

namespace orvane::cli {

bool PrintFirewallHintIfSilent(size_t camerasFound, std::FILE* out)
{
    if (camerasFound != 0)
        return false;
    // The profile and the service named here are the ones the package ships.
    std::fprintf(out, "orvane-cli: no camera answered; if a firewall is on, it may drop the answers to UDP port "
                      "10088 (ufw allow Orvane, or firewall-cmd --permanent --add-service=orvane and --reload)\n");
    return true;
}

}  // namespace orvane::cli
