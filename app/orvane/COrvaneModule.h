#pragma once
// The program's server module: it serves no classes, and registering it
// writes only its two AppID entries in the class registry:
//
//   AppID                      kept, created when missing
//   AppID\{the AppID}          default value "Orvane"
//   AppID\Orvane.EXE           value "AppID" = the AppID
//
// Unregistering removes the last two and keeps AppID itself.

#include <cstdint>

namespace orvane {

class COrvaneModule {
public:
    static constexpr char kAppId[] = "{6E0C2B7A-91D4-4F3E-B5A8-3C72D41F0E96}";
    static constexpr char kServerFile[] = "Orvane.EXE";

    // Writes (true) or removes (false) the AppID entries; 0 on success, a
    // negative result code otherwise.
    int32_t UpdateAppIdEntries(bool registering) const;

    // The class table is empty: there is nothing to register or revoke.
    int32_t RegisterClassFactories() const;
    void RevokeClassFactories() const;
};

}  // namespace orvane
