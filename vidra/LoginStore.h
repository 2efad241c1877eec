#pragma once
// The logins the operator gave in this run, in memory only: never written,
// logged or shown. A login that worked, or was typed last, is tried first
// on every other camera (a site usually shares one). VIDRA_USER and
// VIDRA_PASSWORD give one for scripted runs.

#include "onvif/OnvifTypes.h"

#include <string>

namespace vidra {

class LoginStore {
public:
    // The login to try on address: its own, else the shared one, else none.
    static onvif::Credentials loginFor(const std::string& address);
    // Typed for address: kept for it and shared with the others.
    static void remember(const std::string& address, const onvif::Credentials& login);
    static void forgetAll();
};

}  // namespace vidra
