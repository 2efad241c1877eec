#pragma once
// The SOAP 1.2 requests the client sends, built with an XML writer so that a
// user name or token with '<' or '&' in it stays text.

#include "onvif/UsernameToken.h"

#include <string>

namespace onvif {

enum class Operation {
    GetSystemDateAndTime,
    GetCapabilities,
    GetServices,
    GetDeviceInformation,
    GetProfiles,
    GetStreamUri,
    GetSnapshotUri,
};

// The request's SOAP action, for the Content-Type header.
std::string SoapAction(Operation operation);

// profile_token is used by GetStreamUri and GetSnapshotUri only; token may be null.
std::string SoapRequest(Operation operation, const std::string& profile_token, const UsernameToken* token);

}  // namespace onvif
