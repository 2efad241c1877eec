#pragma once
// orvane-cli search --explain: what the search did on each interface, the
// interfaces it skipped and why, cameras heard from outside their link's
// subnets, and what on this machine may drop the cameras' answers (a program
// on port 10088, a firewall rule, a strict reverse-path filter).

#include "discovery/SearchExchange.h"
#include "diagnosis/AnswerTap.h"

#include <nlohmann/json.hpp>

#include <string>

namespace orvane::cli {

// tapped: what a packet socket below the firewall heard during the search,
// nullptr when it could not listen (no CAP_NET_RAW).
nlohmann::json ExplainSearch(const SearchRequest& request, const SearchResult& result,
                             const std::vector<TappedDatagram>* tapped);
// The report as lines for stderr.
std::string ExplainText(const nlohmann::json& explained);
// Why the search socket could not be had: the program holding the port, if /proc says.
std::string ExplainBusyPort();

}  // namespace orvane::cli
