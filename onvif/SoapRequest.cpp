#include "onvif/SoapRequest.h"

#include "onvif/OnvifNamespaces.h"

#include <pugixml.hpp>

#include <sstream>

namespace onvif {

namespace {

struct OperationName {
    const char* name;
    bool media;  // else the device service
};

OperationName NameOf(Operation operation)
{
    switch (operation) {
    case Operation::GetSystemDateAndTime: return {"GetSystemDateAndTime", false};
    case Operation::GetCapabilities: return {"GetCapabilities", false};
    case Operation::GetServices: return {"GetServices", false};
    case Operation::GetDeviceInformation: return {"GetDeviceInformation", false};
    case Operation::GetProfiles: return {"GetProfiles", true};
    case Operation::GetStreamUri: return {"GetStreamUri", true};
    case Operation::GetSnapshotUri: return {"GetSnapshotUri", true};
    }
    return {"GetSystemDateAndTime", false};
}

void AddText(pugi::xml_node parent, const char* name, const std::string& value)
{
    parent.append_child(name).text().set(value.c_str());
}

void AddSecurity(pugi::xml_node header, const UsernameToken& token)
{
    pugi::xml_node security = header.append_child("wsse:Security");
    security.append_attribute("xmlns:wsse") = ns::kWsse;
    security.append_attribute("xmlns:wsu") = ns::kWsu;
    security.append_attribute("s:mustUnderstand") = "1";
    pugi::xml_node user = security.append_child("wsse:UsernameToken");
    AddText(user, "wsse:Username", token.user);
    pugi::xml_node password = user.append_child("wsse:Password");
    password.append_attribute("Type") = ns::kPasswordDigest;
    password.text().set(token.password_digest.c_str());
    pugi::xml_node nonce = user.append_child("wsse:Nonce");
    nonce.append_attribute("EncodingType") = ns::kBase64Binary;
    nonce.text().set(token.nonce.c_str());
    AddText(user, "wsu:Created", token.created);
}

void AddArguments(pugi::xml_node call, Operation operation, const std::string& profile_token)
{
    switch (operation) {
    case Operation::GetCapabilities:
        AddText(call, "tds:Category", "Media");
        break;
    case Operation::GetServices:
        AddText(call, "tds:IncludeCapability", "false");
        break;
    case Operation::GetStreamUri: {
        pugi::xml_node setup = call.append_child("trt:StreamSetup");
        AddText(setup, "tt:Stream", "RTP-Unicast");
        AddText(setup.append_child("tt:Transport"), "tt:Protocol", "RTSP");
        AddText(call, "trt:ProfileToken", profile_token);
        break;
    }
    case Operation::GetSnapshotUri:
        AddText(call, "trt:ProfileToken", profile_token);
        break;
    default:
        break;
    }
}

}  // namespace

std::string SoapAction(Operation operation)
{
    const OperationName name = NameOf(operation);
    return std::string(name.media ? ns::kMedia : ns::kDevice) + "/" + name.name;
}

std::string SoapRequest(Operation operation, const std::string& profile_token, const UsernameToken* token)
{
    const OperationName name = NameOf(operation);
    pugi::xml_document document;
    pugi::xml_node envelope = document.append_child("s:Envelope");
    envelope.append_attribute("xmlns:s") = ns::kSoap12;
    envelope.append_attribute("xmlns:tds") = ns::kDevice;
    envelope.append_attribute("xmlns:trt") = ns::kMedia;
    envelope.append_attribute("xmlns:tt") = ns::kSchema;
    if (token != nullptr)
        AddSecurity(envelope.append_child("s:Header"), *token);
    pugi::xml_node call = envelope.append_child("s:Body").append_child(
        (std::string(name.media ? "trt:" : "tds:") + name.name).c_str());
    AddArguments(call, operation, profile_token);
    std::ostringstream text;
    document.save(text, "", pugi::format_raw);
    return text.str();
}

}  // namespace onvif
