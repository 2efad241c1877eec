#include "tools/ipc-sim/OnvifService.h"

#include "onvif/UsernameToken.h"

#include <pugixml.hpp>

#include <cstdlib>
#include <cstring>

namespace orvane::sim {

namespace {

constexpr long kTokenWindow_s = 300;

const char kEnvelopeStart[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\""
    " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\" xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\""
    " xmlns:tt=\"http://www.onvif.org/ver10/schema\" xmlns:ter=\"http://www.onvif.org/ver10/error\">"
    "<env:Body>";
const char kEnvelopeEnd[] = "</env:Body></env:Envelope>";

std::string Envelope(const std::string& body)
{
    return kEnvelopeStart + body + kEnvelopeEnd;
}

OnvifReply Fault(int status, const char* code, const char* subcode, const char* reason)
{
    return {status, Envelope(std::string("<env:Fault><env:Code><env:Value>") + code +
                             "</env:Value><env:Subcode><env:Value>" + subcode +
                             "</env:Value></env:Subcode></env:Code><env:Reason><env:Text xml:lang=\"en\">" + reason +
                             "</env:Text></env:Reason></env:Fault>")};
}

const char* LocalName(const char* name)
{
    const char* colon = std::strrchr(name, ':');
    return colon == nullptr ? name : colon + 1;
}

pugi::xml_node Child(pugi::xml_node parent, const char* local)
{
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element && std::strcmp(LocalName(child.name()), local) == 0)
            return child;
    }
    return {};
}

pugi::xml_node FirstElement(pugi::xml_node parent)
{
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element)
            return child;
    }
    return {};
}

// "2010-09-16T07:50:45Z", with or without fractions of a second.
bool ParseCreated(const char* text, std::time_t& when)
{
    std::tm parts{};
    const char* end = strptime(text, "%Y-%m-%dT%H:%M:%S", &parts);
    if (end == nullptr)
        return false;
    when = timegm(&parts);
    return true;
}

std::string Xml(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '&': escaped += "&amp;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

const char* CodecName(StreamCodec codec)
{
    switch (codec) {
    case StreamCodec::H264: return "H264";
    case StreamCodec::H265: return "H265";
    case StreamCodec::Mjpeg: return "JPEG";
    }
    return "H264";
}

struct Profile {
    const char* token;
    int width;
    int height;
};
constexpr Profile kProfiles[2] = {{"profile_main", 1920, 1080}, {"profile_sub", 1280, 720}};

std::string ProfileXml(int index, StreamCodec codec)
{
    const Profile& p = kProfiles[index];
    const std::string size = "<tt:Width>" + std::to_string(p.width) + "</tt:Width><tt:Height>" +
                             std::to_string(p.height) + "</tt:Height>";
    return std::string("<trt:Profiles token=\"") + p.token + "\" fixed=\"true\"><tt:Name>" + p.token +
           "</tt:Name><tt:VideoSourceConfiguration token=\"vsc0\"><tt:Name>vsc0</tt:Name><tt:UseCount>2"
           "</tt:UseCount><tt:SourceToken>video0</tt:SourceToken><tt:Bounds x=\"0\" y=\"0\" width=\"1920\""
           " height=\"1080\"/></tt:VideoSourceConfiguration><tt:VideoEncoderConfiguration token=\"vec" +
           std::to_string(index) + "\"><tt:Name>vec" + std::to_string(index) +
           "</tt:Name><tt:UseCount>1</tt:UseCount><tt:Encoding>" + CodecName(codec) + "</tt:Encoding><tt:Resolution>" +
           size +
           "</tt:Resolution><tt:Quality>5</tt:Quality><tt:RateControl><tt:FrameRateLimit>25</tt:FrameRateLimit>"
           "<tt:EncodingInterval>1</tt:EncodingInterval><tt:BitrateLimit>4000</tt:BitrateLimit></tt:RateControl>"
           "<tt:SessionTimeout>PT60S</tt:SessionTimeout></tt:VideoEncoderConfiguration></trt:Profiles>";
}

}  // namespace

OnvifService::OnvifService(const SimCamera& camera, int rtsp_port) : camera_(camera), rtspPort_(rtsp_port) {}

const char* OnvifService::StreamPath(int profile)
{
    return profile == 0 ? "/live/ch00_0" : "/live/ch00_1";
}

OnvifReply OnvifService::answer(const std::string& request, std::time_t now_utc) const
{
    const std::time_t camera_now = static_cast<std::time_t>(now_utc + camera_.clockOffset_s);
    pugi::xml_document document;
    if (!document.load_buffer(request.data(), request.size())) {
        lastEvent_ = "onvif-bad-request";
        return Fault(400, "env:Sender", "ter:WellFormed", "not XML");
    }
    const pugi::xml_node envelope = document.document_element();
    const pugi::xml_node call = FirstElement(Child(envelope, "Body"));
    if (!call) {
        lastEvent_ = "onvif-bad-request";
        return Fault(400, "env:Sender", "ter:WellFormed", "no SOAP body");
    }
    const std::string operation = LocalName(call.name());
    const std::string profile_token = Child(call, "ProfileToken").text().get();
    if (operation == "GetSystemDateAndTime" || camera_.user.empty()) {
        lastEvent_ = "onvif-call op=" + operation;
        return answerOperation(operation, profile_token, camera_now);
    }
    const pugi::xml_node token = Child(Child(Child(envelope, "Header"), "Security"), "UsernameToken");
    const std::string user = Child(token, "Username").text().get();
    const std::string digest = Child(token, "Password").text().get();
    const std::string nonce = onvif::Base64Decode(Child(token, "Nonce").text().get());
    const std::string created = Child(token, "Created").text().get();
    std::time_t created_at = 0;
    const bool in_time = ParseCreated(created.c_str(), created_at) &&
                         std::labs(static_cast<long>(created_at - camera_now)) <= kTokenWindow_s;
    if (!token || user != camera_.user || !in_time ||
        digest != onvif::PasswordDigest(nonce, created, camera_.password)) {
        lastEvent_ = "onvif-refused op=" + operation + (token ? (in_time ? " reason=login" : " reason=time") : " reason=no-token");
        return Fault(400, "env:Sender", "ter:NotAuthorized", "Sender not Authorized");
    }
    lastEvent_ = "onvif-call op=" + operation + " user=" + Xml(user);
    return answerOperation(operation, profile_token, camera_now);
}

OnvifReply OnvifService::answerOperation(const std::string& operation, const std::string& profile_token,
                                         std::time_t camera_now) const
{
    const std::string base = "http://" + camera_.ip;
    if (operation == "GetSystemDateAndTime") {
        std::tm t{};
        gmtime_r(&camera_now, &t);
        return {200, Envelope("<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:DateTimeType>Manual"
                              "</tt:DateTimeType><tt:DaylightSavings>false</tt:DaylightSavings><tt:TimeZone><tt:TZ>"
                              "UTC0</tt:TZ></tt:TimeZone><tt:UTCDateTime><tt:Time><tt:Hour>" +
                              std::to_string(t.tm_hour) + "</tt:Hour><tt:Minute>" + std::to_string(t.tm_min) +
                              "</tt:Minute><tt:Second>" + std::to_string(t.tm_sec) +
                              "</tt:Second></tt:Time><tt:Date><tt:Year>" + std::to_string(t.tm_year + 1900) +
                              "</tt:Year><tt:Month>" + std::to_string(t.tm_mon + 1) + "</tt:Month><tt:Day>" +
                              std::to_string(t.tm_mday) +
                              "</tt:Day></tt:Date></tt:UTCDateTime></tds:SystemDateAndTime>"
                              "</tds:GetSystemDateAndTimeResponse>")};
    }
    if (operation == "GetCapabilities") {
        return {200, Envelope("<tds:GetCapabilitiesResponse><tds:Capabilities><tt:Device><tt:XAddr>" + base +
                              "/onvif/device_service</tt:XAddr></tt:Device><tt:Media><tt:XAddr>" + base +
                              "/onvif/media_service</tt:XAddr><tt:StreamingCapabilities><tt:RTPMulticast>false"
                              "</tt:RTPMulticast><tt:RTP_TCP>true</tt:RTP_TCP><tt:RTP_RTSP_TCP>true</tt:RTP_RTSP_TCP>"
                              "</tt:StreamingCapabilities></tt:Media></tds:Capabilities></tds:GetCapabilitiesResponse>")};
    }
    if (operation == "GetServices") {
        return {200, Envelope("<tds:GetServicesResponse><tds:Service><tds:Namespace>"
                              "http://www.onvif.org/ver10/device/wsdl</tds:Namespace><tds:XAddr>" + base +
                              "/onvif/device_service</tds:XAddr><tds:Version><tt:Major>2</tt:Major><tt:Minor>0"
                              "</tt:Minor></tds:Version></tds:Service><tds:Service><tds:Namespace>"
                              "http://www.onvif.org/ver10/media/wsdl</tds:Namespace><tds:XAddr>" + base +
                              "/onvif/media_service</tds:XAddr><tds:Version><tt:Major>2</tt:Major><tt:Minor>0"
                              "</tt:Minor></tds:Version></tds:Service></tds:GetServicesResponse>")};
    }
    if (operation == "GetDeviceInformation") {
        return {200, Envelope("<tds:GetDeviceInformationResponse><tds:Manufacturer>ipc-sim</tds:Manufacturer>"
                              "<tds:Model>sim</tds:Model><tds:FirmwareVersion>" + Xml(camera_.version) +
                              "</tds:FirmwareVersion><tds:SerialNumber>" + Xml(camera_.uid) +
                              "</tds:SerialNumber><tds:HardwareId>1</tds:HardwareId>"
                              "</tds:GetDeviceInformationResponse>")};
    }
    if (operation == "GetVideoSources") {
        return {200, Envelope("<trt:GetVideoSourcesResponse><trt:VideoSources token=\"video0\"><tt:Framerate>25"
                              "</tt:Framerate><tt:Resolution><tt:Width>1920</tt:Width><tt:Height>1080</tt:Height>"
                              "</tt:Resolution></trt:VideoSources></trt:GetVideoSourcesResponse>")};
    }
    if (operation == "GetProfiles") {
        return {200, Envelope("<trt:GetProfilesResponse>" + ProfileXml(0, camera_.mainCodec) +
                              ProfileXml(1, camera_.subCodec) + "</trt:GetProfilesResponse>")};
    }
    if (operation == "GetSnapshotUri" && !camera_.snapshotUri)
        return Fault(400, "env:Receiver", "ter:ActionNotSupported", "no snapshot");
    if (operation == "GetStreamUri" || operation == "GetSnapshotUri") {
        int index = -1;
        for (int i = 0; i < 2; ++i) {
            if (profile_token == kProfiles[i].token)
                index = i;
        }
        if (index < 0)
            return Fault(400, "env:Sender", "ter:InvalidArgVal", "no such profile");
        const bool stream = operation == "GetStreamUri";
        const std::string uri = stream ? "rtsp://" + camera_.ip + ":" + std::to_string(rtspPort_) + StreamPath(index)
                                       : base + "/onvif/snapshot/" + kProfiles[index].token + ".jpg";
        return {200, Envelope(std::string(stream ? "<trt:GetStreamUriResponse>" : "<trt:GetSnapshotUriResponse>") +
                              "<trt:MediaUri><tt:Uri>" + Xml(uri) +
                              "</tt:Uri><tt:InvalidAfterConnect>false</tt:InvalidAfterConnect>"
                              "<tt:InvalidAfterReboot>false</tt:InvalidAfterReboot><tt:Timeout>PT0S</tt:Timeout>"
                              "</trt:MediaUri>" +
                              (stream ? "</trt:GetStreamUriResponse>" : "</trt:GetSnapshotUriResponse>"))};
    }
    return Fault(400, "env:Receiver", "ter:ActionNotSupported", "not supported");
}

}  // namespace orvane::sim
