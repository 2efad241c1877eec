// The simulator must send what a real camera sends, or the end-to-end tests
// prove nothing: its answers decode back to the camera it was told to play.

#include "discovery/SearchAnswer.h"
#include "net/Socket.h"
#include "tools/ipc-sim/SimAnswer.h"
#include "tools/ipc-sim/SimConfig.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>

namespace orvane::sim {
namespace {

SearchAnswer Decode(const std::vector<uint8_t>& datagram)
{
    uint8_t buffer[kSearchAnswerSize] = {};
    std::memcpy(buffer, datagram.data(), std::min(datagram.size(), sizeof buffer));
    SearchAnswer answer;
    DecodeSearchAnswer(buffer, orvane::MakeAddress("10.77.0.11", 0), answer);
    return answer;
}

// The text at offset, up to its first zero byte, which must come before end.
std::string TextAt(const std::vector<uint8_t>& datagram, size_t offset, size_t end)
{
    std::string text;
    size_t i = offset;
    for (; i < end && datagram[i] != 0; ++i)
        text += static_cast<char>(datagram[i]);
    EXPECT_LT(i, end) << "no zero byte ends the text at " << offset;
    return text;
}

// Offsets as the cameras put them, written out here rather than taken from
// the decoder's constants, so that a shift in both still shows.
TEST(SimAnswer, FieldsSitAtTheCamerasOffsets)
{
    SimCamera camera;
    std::string error;
    ASSERT_TRUE(ParseSimCamera("ip=10.77.0.11,mac=00:1A:2b:3c:4d:5e,version=V2.4.3,xy=120&45,"
                                "uid=ABCDEFGHIJKLMNOPQRSTUVW,keyid=-7",
                                camera, error));
    const std::vector<uint8_t> datagram = BuildAnswer(camera);
    ASSERT_EQ(datagram.size(), 208u);
    EXPECT_EQ(std::vector<uint8_t>(datagram.begin() + 23, datagram.begin() + 29),
              (std::vector<uint8_t>{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}));
    EXPECT_EQ(std::vector<uint8_t>(datagram.begin() + 156, datagram.begin() + 160),
              (std::vector<uint8_t>{0xf9, 0xff, 0xff, 0xff}));  // -7, least significant byte first
    EXPECT_EQ(TextAt(datagram, 164, 174), "V2.4.3");
    EXPECT_EQ(TextAt(datagram, 174, 184), "120&45");
    EXPECT_EQ(TextAt(datagram, 184, 208), "ABCDEFGHIJKLMNOPQRSTUVW");
}

TEST(SimAnswer, DecodesBackToTheCamera)
{
    SimCamera camera;
    std::string error;
    ASSERT_TRUE(ParseSimCamera("ip=10.77.0.11,mac=00:1A:2b:3c:4d:5e,version=V2.4.3,xy=120&45,"
                                "uid=ABCDEFGHIJKLMNOPQRSTUVW,keyid=-7",
                                camera, error));
    std::vector<uint8_t> datagram = BuildAnswer(camera);
    ASSERT_EQ(datagram.size(), kSearchAnswerSize);
    SearchAnswer a = Decode(datagram);
    EXPECT_STREQ(a.mac, "001a2b3c4d5e");
    EXPECT_STREQ(a.version, "V2.4.3");
    EXPECT_STREQ(a.xy, "120&45");
    EXPECT_STREQ(a.uid, "ABCDEFGHIJKLMNOPQRSTUVW");  // 23 characters: the most a normal slot holds
    EXPECT_EQ(a.keyId, -7);
}

TEST(SimAnswer, LengthAndFillShapeTheDatagram)
{
    SimCamera camera;
    camera.ip = "10.77.0.11";
    camera.length = 1;
    EXPECT_EQ(BuildAnswer(camera).size(), 1u);
    camera.length = 300;
    EXPECT_EQ(BuildAnswer(camera).size(), 300u);
    camera.length = 208;
    camera.fill = AnswerFill::FullSlots;
    camera.version = "V1";
    std::vector<uint8_t> full = BuildAnswer(camera);
    for (size_t i = 164; i < 208; ++i)
        EXPECT_NE(full[i], 0) << "offset " << i;
}

TEST(SimConfig, RefusesMalformedCameras)
{
    const char* bad[] = {"mac=001a2b3c4d5e", "ip=1.2.3.4,mac=001a2b3c4d", "ip=1.2.3.4,mac=zz1a2b3c4d5e",
                         "ip=1.2.3.4,keyid=abc", "ip=1.2.3.4,len=0", "ip=1.2.3.4,colour=red",
                         "ip=1.2.3.4,stream=paused", "ip=1.2.3.4,mac=-1-1-1-1-1-1", "ip=1.2.3.4,mac= 1 1 1 1 1 1",
                         "ip=1.2.3.4,mac=+1+1+1+1+1+1"};
    for (const char* text : bad) {
        SimCamera camera;
        std::string error;
        EXPECT_FALSE(ParseSimCamera(text, camera, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    uint8_t mac[6] = {};
    EXPECT_FALSE(ParseMac(std::string("66\0\0\0\0\0\0\0\0" "66", 12), mac));  // empty pairs are no bytes
}

TEST(SimConfig, StreamShapeTakesEvenSizesAndAnOptionalRate)
{
    struct Case {
        const char* text;
        bool ok;
        int width, height, fps;
    };
    const Case cases[] = {
        {"640x360", true, 640, 360, 25},   {"640x360@15", true, 640, 360, 15}, {"1920x1080@60", true, 1920, 1080, 60},
        {"16x16@1", true, 16, 16, 1},      {"14x16", false, 0, 0, 0},          {"1922x1080", false, 0, 0, 0},
        {"641x360", false, 0, 0, 0},       {"640x361", false, 0, 0, 0},        {"640x360@0", false, 0, 0, 0},
        {"640x360@61", false, 0, 0, 0},    {"640x", false, 0, 0, 0},           {"640@25x360", false, 0, 0, 0},
        {"640x360@", false, 0, 0, 0},      {"640*360", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        StreamShape shape{1, 1, 1};
        EXPECT_EQ(ParseStreamShape(c.text, shape), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(shape.width, c.width) << c.text;
            EXPECT_EQ(shape.height, c.height) << c.text;
            EXPECT_EQ(shape.fps, c.fps) << c.text;
        } else {
            EXPECT_EQ(shape.width, 1) << c.text << ": a refused shape is not half taken";
        }
    }
}

}  // namespace
}  // namespace orvane::sim
