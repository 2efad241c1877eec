#include "discovery/SearchAnswer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace orvane {
namespace {

sockaddr_in From(const char* ip)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = inet_addr(ip);
    return a;
}

SearchAnswer Decode(const uint8_t (&datagram)[kSearchAnswerSize], const char* ip = "192.168.1.20")
{
    SearchAnswer answer;
    std::memset(&answer, 0x5a, sizeof answer);  // stale bytes must not survive
    DecodeSearchAnswer(datagram, From(ip), answer);
    return answer;
}

TEST(SearchRequest, IsTheFortyThreeByteKestrelwaveRequest)
{
    uint8_t request[kSearchRequestSize];
    std::memset(request, 0xff, sizeof request);
    BuildSearchRequest(request);
    uint8_t expected[43] = {'k', 'e', 's', 't', 'r', 'e', 'l', 'w', 'a', 'v', 'e', 0x00, 0x02};
    EXPECT_EQ(0, std::memcmp(request, expected, sizeof expected));
}

TEST(SearchAnswer, DecodesEveryFieldFromItsOffset)
{
    uint8_t d[kSearchAnswerSize] = {};
    const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    std::memcpy(d + 23, mac, 6);
    const uint8_t key[4] = {0x05, 0, 0, 0};
    std::memcpy(d + 156, key, 4);
    std::memcpy(d + 164, "V2.4.3", 6);
    std::memcpy(d + 174, "120&45", 6);
    std::memcpy(d + 184, "ABCDEFGHIJKLMNOPQRST", 20);
    SearchAnswer a = Decode(d);
    EXPECT_STREQ(a.ip, "192.168.1.20");
    EXPECT_STREQ(a.mac, "001a2b3c4d5e");
    EXPECT_STREQ(a.version, "V2.4.3");
    EXPECT_STREQ(a.xy, "120&45");
    EXPECT_STREQ(a.uid, "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(a.keyId, 5);
}

TEST(SearchAnswer, ReadsKeyIdAsLittleEndianSigned)
{
    struct Case {
        uint8_t bytes[4];
        int32_t keyId;
    };
    const Case cases[] = {{{0x05, 0, 0, 0}, 5},
                          {{0xff, 0xff, 0xff, 0xff}, -1},
                          {{0x00, 0x01, 0, 0}, 256},
                          {{0x00, 0x00, 0x00, 0x80}, INT32_MIN},
                          {{0xff, 0xff, 0xff, 0x7f}, INT32_MAX}};
    for (const Case& c : cases) {
        uint8_t d[kSearchAnswerSize] = {};
        std::memcpy(d + 156, c.bytes, 4);
        EXPECT_EQ(Decode(d).keyId, c.keyId);
    }
}

TEST(SearchAnswer, AllZeroDatagramGivesEmptyTextsAndZeroMac)
{
    uint8_t d[kSearchAnswerSize] = {};
    d[0] = 'k';  // a 1-byte datagram in its zero-filled buffer
    SearchAnswer a = Decode(d, "10.77.0.11");
    EXPECT_STREQ(a.mac, "000000000000");
    EXPECT_STREQ(a.version, "");
    EXPECT_STREQ(a.xy, "");
    EXPECT_STREQ(a.uid, "");
    EXPECT_EQ(a.keyId, 0);
    EXPECT_STREQ(a.ip, "10.77.0.11");
}

TEST(SearchAnswer, TextsWithoutZeroByteStopAtTheEndOfTheirSlots)
{
    uint8_t d[kSearchAnswerSize];
    std::memset(d, 'Q', sizeof d);
    SearchAnswer a = Decode(d);
    EXPECT_EQ(std::string(a.version), std::string(10, 'Q'));
    EXPECT_EQ(std::string(a.xy), std::string(10, 'Q'));
    EXPECT_EQ(std::string(a.uid), std::string(24, 'Q'));
    EXPECT_STREQ(a.mac, "515151515151");

    // One byte short of the slot: the zero byte bounds the text.
    std::memset(d + 164, 0, 10);
    std::memset(d + 164, 'V', 9);
    EXPECT_EQ(std::string(Decode(d).version), std::string(9, 'V'));
}

}  // namespace
}  // namespace orvane
