#include "vidra/LoginStore.h"

#include <cstdlib>
#include <map>
#include <mutex>

namespace vidra {
namespace {

struct Logins {
    std::mutex mutex;
    std::map<std::string, onvif::Credentials> byAddress;
    onvif::Credentials shared;
    bool environmentRead = false;
};

Logins& TheLogins()
{
    static Logins logins;
    return logins;
}

void ReadEnvironmentLocked(Logins& logins)
{
    if (logins.environmentRead)
        return;
    logins.environmentRead = true;
    const char* user = std::getenv("VIDRA_USER");
    const char* password = std::getenv("VIDRA_PASSWORD");
    if (user != nullptr && *user != '\0')
        logins.shared = {user, password != nullptr ? password : ""};
}

}  // namespace

onvif::Credentials LoginStore::loginFor(const std::string& address)
{
    Logins& logins = TheLogins();
    std::lock_guard<std::mutex> lock(logins.mutex);
    ReadEnvironmentLocked(logins);
    const auto own = logins.byAddress.find(address);
    return own != logins.byAddress.end() ? own->second : logins.shared;
}

void LoginStore::remember(const std::string& address, const onvif::Credentials& login)
{
    Logins& logins = TheLogins();
    std::lock_guard<std::mutex> lock(logins.mutex);
    ReadEnvironmentLocked(logins);
    logins.byAddress[address] = login;
    logins.shared = login;
}

void LoginStore::forgetAll()
{
    Logins& logins = TheLogins();
    std::lock_guard<std::mutex> lock(logins.mutex);
    logins.byAddress.clear();
    logins.shared = {};
    logins.environmentRead = true;
}

}  // namespace vidra
