#include "platform/ConnectLink.h"

#include <utility>

namespace orvane {
namespace {
const std::string noLink;
thread_local const std::string* currentLink = &noLink;
}  // namespace

ScopedLink::ScopedLink(std::string interfaceName) : previous_(currentLink), name_(std::move(interfaceName))
{
    currentLink = &name_;
}

ScopedLink::~ScopedLink() { currentLink = previous_; }

const std::string& CurrentLink() { return *currentLink; }

}  // namespace orvane
