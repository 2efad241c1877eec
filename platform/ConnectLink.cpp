#include "platform/ConnectLink.h"

#include <utility>

namespace orvane {
namespace {
const std::string noLink;
thread_local const ScopedLink* currentLink = nullptr;
}  // namespace

ScopedLink::ScopedLink(std::string interfaceName, uint32_t source)
    : previous_(currentLink), name_(std::move(interfaceName)), source_(source)
{
    currentLink = this;
}

ScopedLink::~ScopedLink() { currentLink = previous_; }

const std::string& CurrentLink() { return currentLink != nullptr ? currentLink->name_ : noLink; }

uint32_t CurrentLinkSource() { return currentLink != nullptr ? currentLink->source_ : 0; }

}  // namespace orvane
