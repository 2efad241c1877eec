#include "onvif/OnvifAnswers.h"
#include "onvif/SoapAnswer.h"

#include <gtest/gtest.h>

namespace onvif {
namespace {

std::string Envelope(const std::string& body, const char* soap = "http://www.w3.org/2003/05/soap-envelope")
{
    return std::string("<?xml version=\"1.0\"?><env:Envelope xmlns:env=\"") + soap +
           "\" xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\" xmlns:tt=\"http://www.onvif.org/ver10/schema\""
           " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\"><env:Body>" +
           body + "</env:Body></env:Envelope>";
}

std::string Profile(const char* token, int width, int height, const char* encoding = "H264")
{
    return std::string("<trt:Profiles token=\"") + token + "\"><tt:Name>" + token +
           "</tt:Name><tt:VideoEncoderConfiguration><tt:Encoding>" + encoding +
           "</tt:Encoding><tt:Resolution><tt:Width>" + std::to_string(width) + "</tt:Width><tt:Height>" +
           std::to_string(height) +
           "</tt:Height></tt:Resolution><tt:RateControl><tt:FrameRateLimit>25</tt:FrameRateLimit>"
           "</tt:RateControl></tt:VideoEncoderConfiguration></trt:Profiles>";
}

const std::string kTwoProfiles = Envelope("<trt:GetProfilesResponse>" + Profile("main", 1920, 1080, "H265") +
                                          Profile("sub", 640, 360) + "</trt:GetProfilesResponse>");

TEST(OnvifAnswer, ProfilesAreReadWithTheirEncoders)
{
    std::vector<VideoProfile> profiles;
    ASSERT_EQ(ReadProfilesText(kTwoProfiles, profiles), Failure::None);
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[0].token, "main");
    EXPECT_EQ(profiles[0].encoding, "H265");
    EXPECT_EQ(profiles[0].width, 1920);
    EXPECT_EQ(profiles[0].height, 1080);
    EXPECT_EQ(profiles[0].frame_rate, 25);
    EXPECT_EQ(profiles[1].token, "sub");
}

// Other prefixes, a default namespace and SOAP 1.1 are all the same answer.
TEST(OnvifAnswer, PrefixesAreTheCamerasOwn)
{
    const std::string other_prefixes =
        "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>"
        "<GetProfilesResponse xmlns=\"http://www.onvif.org/ver10/media/wsdl\">"
        "<Profiles token=\"p\"><VideoEncoderConfiguration xmlns=\"http://www.onvif.org/ver10/schema\">"
        "<Encoding>JPEG</Encoding><Resolution><Width>800</Width><Height>600</Height></Resolution>"
        "</VideoEncoderConfiguration></Profiles></GetProfilesResponse></s:Body></s:Envelope>";
    const std::string soap11 = Envelope("<trt:GetProfilesResponse>" + Profile("p", 800, 600, "JPEG") +
                                        "</trt:GetProfilesResponse>",
                                        "http://schemas.xmlsoap.org/soap/envelope/");
    for (const std::string& text : {other_prefixes, soap11}) {
        std::vector<VideoProfile> profiles;
        ASSERT_EQ(ReadProfilesText(text, profiles), Failure::None) << text;
        ASSERT_EQ(profiles.size(), 1u);
        EXPECT_EQ(profiles[0].encoding, "JPEG");
        EXPECT_EQ(profiles[0].width, 800);
    }
}

TEST(OnvifAnswer, BrokenAnswersAreClearFailures)
{
    const std::string wrong_service =
        "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:trt=\"http://example.com/media\">"
        "<e:Body><trt:GetProfilesResponse>" + Profile("p", 1, 1) + "</trt:GetProfilesResponse></e:Body></e:Envelope>";
    const std::string undeclared =
        "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\">"
        "<e:Body><trt:GetProfilesResponse>" + Profile("p", 1, 1) + "</trt:GetProfilesResponse></e:Body></e:Envelope>";
    const std::string no_video = Envelope("<trt:GetProfilesResponse><trt:Profiles token=\"a\"/></trt:GetProfilesResponse>");
    const std::string bad_size = Envelope("<trt:GetProfilesResponse>" + Profile("p", 0, 1080) + "</trt:GetProfilesResponse>");
    std::string huge = Envelope("<trt:GetProfilesResponse>" + Profile("p", 1, 1) + "</trt:GetProfilesResponse>");
    huge.insert(huge.find("<env:Body>"), SoapAnswer::kMaxAnswerBytes, ' ');
    struct Case {
        const char* what;
        std::string text;
        Failure failure;
    };
    const Case cases[] = {
        {"empty", "", Failure::BadAnswer},
        {"truncated", kTwoProfiles.substr(0, kTwoProfiles.size() / 2), Failure::BadAnswer},
        {"not XML", "HTTP/1.1 200 OK", Failure::BadAnswer},
        {"HTML", "<html><body>Login</body></html>", Failure::BadAnswer},
        {"envelope of no SOAP", Envelope("<trt:GetProfilesResponse/>", "http://example.com/soap"), Failure::BadAnswer},
        {"answer of another service", wrong_service, Failure::BadAnswer},
        {"undeclared prefix", undeclared, Failure::BadAnswer},
        {"another answer", Envelope("<trt:GetStreamUriResponse/>"), Failure::BadAnswer},
        {"profile without video", no_video, Failure::BadAnswer},
        {"zero width", bad_size, Failure::BadAnswer},
        {"huge", huge, Failure::TooLarge},
        {"entity declared in a DTD", "<!DOCTYPE e [<!ENTITY a \"aaaa\">]>" + Envelope("<trt:GetProfilesResponse>&a;</trt:GetProfilesResponse>"),
         Failure::BadAnswer},
    };
    for (const Case& c : cases) {
        std::vector<VideoProfile> profiles(1);
        EXPECT_EQ(ReadProfilesText(c.text, profiles), c.failure) << c.what;
        EXPECT_EQ(profiles.size(), 1u) << c.what << ": a failed read leaves the profiles alone";
    }
}

TEST(OnvifAnswer, FaultsTellARefusedLoginFromOthers)
{
    const std::string refused = Envelope(
        "<env:Fault><env:Code><env:Value>env:Sender</env:Value><env:Subcode><env:Value>ter:NotAuthorized"
        "</env:Value></env:Subcode></env:Code><env:Reason><env:Text xml:lang=\"en\">Sender not authorized"
        "</env:Text></env:Reason></env:Fault>");
    const std::string refused11 = Envelope(
        "<env:Fault><faultcode>ter:NotAuthorized</faultcode><faultstring>no</faultstring></env:Fault>",
        "http://schemas.xmlsoap.org/soap/envelope/");
    const std::string other = Envelope(
        "<env:Fault><env:Code><env:Value>env:Receiver</env:Value><env:Subcode><env:Value>ter:ActionNotSupported"
        "</env:Value></env:Subcode></env:Code><env:Reason><env:Text>not here</env:Text></env:Reason></env:Fault>");
    const struct {
        std::string text;
        Failure failure;
        const char* detail;
    } cases[] = {
        {refused, Failure::NotAuthorized, "Sender not authorized"},
        {refused11, Failure::NotAuthorized, "ter:NotAuthorized"},
        {other, Failure::Fault, "ActionNotSupported"},
    };
    for (const auto& c : cases) {
        const SoapAnswer answer(c.text);
        EXPECT_EQ(answer.failure(), c.failure) << c.text;
        EXPECT_NE(answer.detail().find(c.detail), std::string::npos) << answer.detail();
        std::string uri;
        EXPECT_EQ(ReadStreamUri(answer, uri), c.failure);
    }
}

TEST(OnvifAnswer, DeviceServiceAnswers)
{
    const SoapAnswer clock(Envelope(
        "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:DateTimeType>NTP</tt:DateTimeType>"
        "<tt:UTCDateTime><tt:Time><tt:Hour>7</tt:Hour><tt:Minute>50</tt:Minute><tt:Second>45</tt:Second></tt:Time>"
        "<tt:Date><tt:Year>2010</tt:Year><tt:Month>9</tt:Month><tt:Day>16</tt:Day></tt:Date></tt:UTCDateTime>"
        "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>"));
    UtcTime utc;
    ASSERT_EQ(ReadSystemDateAndTime(clock, utc), Failure::None);
    EXPECT_EQ(utc.year, 2010);
    EXPECT_EQ(utc.month, 9);
    EXPECT_EQ(utc.second, 45);
    const SoapAnswer bad_clock(Envelope(
        "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:UTCDateTime><tt:Time><tt:Hour>25</tt:Hour>"
        "</tt:Time></tt:UTCDateTime></tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>"));
    EXPECT_EQ(ReadSystemDateAndTime(bad_clock, utc), Failure::BadAnswer);

    std::string media;
    const SoapAnswer capabilities(Envelope(
        "<tds:GetCapabilitiesResponse><tds:Capabilities><tt:Media><tt:XAddr>http://10.0.0.5/onvif/media</tt:XAddr>"
        "</tt:Media></tds:Capabilities></tds:GetCapabilitiesResponse>"));
    ASSERT_EQ(ReadCapabilitiesMediaAddress(capabilities, media), Failure::None);
    EXPECT_EQ(media, "http://10.0.0.5/onvif/media");
    const SoapAnswer services(Envelope(
        "<tds:GetServicesResponse><tds:Service><tds:Namespace>http://www.onvif.org/ver10/device/wsdl</tds:Namespace>"
        "<tds:XAddr>http://a/device</tds:XAddr></tds:Service><tds:Service>"
        "<tds:Namespace>http://www.onvif.org/ver10/media/wsdl</tds:Namespace><tds:XAddr>http://a/media</tds:XAddr>"
        "</tds:Service></tds:GetServicesResponse>"));
    ASSERT_EQ(ReadServicesMediaAddress(services, media), Failure::None);
    EXPECT_EQ(media, "http://a/media");
    EXPECT_EQ(ReadCapabilitiesMediaAddress(services, media), Failure::BadAnswer);

    const SoapAnswer stream(Envelope(
        "<trt:GetStreamUriResponse><trt:MediaUri><tt:Uri>rtsp://a/x?y=1&amp;z=2</tt:Uri></trt:MediaUri>"
        "</trt:GetStreamUriResponse>"));
    std::string uri;
    ASSERT_EQ(ReadStreamUri(stream, uri), Failure::None);
    EXPECT_EQ(uri, "rtsp://a/x?y=1&z=2");
    EXPECT_EQ(ReadSnapshotUri(stream, uri), Failure::BadAnswer);
}

}  // namespace
}  // namespace onvif
