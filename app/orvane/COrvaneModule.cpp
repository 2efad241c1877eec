#include "app/orvane/COrvaneModule.h"

#include "registry/ClassRegistry.h"

#include <string>

namespace orvane {
namespace {

constexpr int32_t kOk = 0;
constexpr int32_t kFailed = static_cast<int32_t>(0x80004005u);  // E_FAIL

const std::string kAppIdKey = std::string("AppID\\") + COrvaneModule::kAppId;
const std::string kServerFileKey = std::string("AppID\\") + COrvaneModule::kServerFile;

}  // namespace

int32_t COrvaneModule::UpdateAppIdEntries(bool registering) const
{
    const ClassRegistry registry;
    if (!registering) {
        const RegistryStatus first = registry.deleteTree(kAppIdKey);
        const RegistryStatus second = registry.deleteTree(kServerFileKey);
        const auto gone = [](RegistryStatus s) { return s == RegistryStatus::Ok || s == RegistryStatus::NotFound; };
        return gone(first) && gone(second) ? kOk : kFailed;
    }
    const bool written = registry.createKey(kAppIdKey) == RegistryStatus::Ok &&
                         registry.setValue(kAppIdKey, "", "Orvane") == RegistryStatus::Ok &&
                         registry.createKey(kServerFileKey) == RegistryStatus::Ok &&
                         registry.setValue(kServerFileKey, "AppID", kAppId) == RegistryStatus::Ok;
    return written ? kOk : kFailed;
}

// No class objects: there is nothing for another process to create here.
int32_t COrvaneModule::RegisterClassFactories() const
{
    return kOk;
}

void COrvaneModule::RevokeClassFactories() const {}

}  // namespace orvane
