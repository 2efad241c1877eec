// Setting operations against a loopback camera: the exact frames it receives,
// the messages the operator sees and when the connection closes.

#include "control/CommandFrame.h"
#include "control/SettingCommands.h"
#include "tests/control/ArmedSendFault.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/Recorders.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace orvane {
namespace {

using namespace std::chrono_literals;
using test::FakeCamera;

constexpr char kCamera[] = "127.0.0.1";

// Checks the frame is the text, its zero, and zeros to byte 4095.
void ExpectFrame(const std::string& frame, const std::string& text)
{
    ASSERT_EQ(frame.size(), 4096u);
    EXPECT_EQ(frame.substr(0, text.size()), text);
    EXPECT_EQ(frame.find_first_not_of('\0', text.size()), std::string::npos) << "stray bytes after " << text;
}

// The connection carried exactly these frames, whole, and was closed.
void ExpectFramesThenClose(const test::CameraConnection& got, const std::vector<std::string>& frames)
{
    ASSERT_EQ(got.frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        ExpectFrame(got.frames[i], frames[i]);
    EXPECT_EQ(got.trailingBytes, 0u);
    EXPECT_TRUE(got.sawClose);
}

// Records each message and whether the camera had already seen the
// connection close when the message came up.
class ObservingPrompt : public OperatorPrompt {
public:
    explicit ObservingPrompt(FakeCamera& camera) : camera_(camera) { previous_ = InstallOperatorPrompt(this); }
    ~ObservingPrompt() override { InstallOperatorPrompt(previous_); }
    void showMessage(const char* text) override
    {
        messages.emplace_back(text);
        closedBeforeMessage.push_back(camera_.waitForConnections(1, 1500ms).size() == 1);
    }
    std::vector<std::string> messages;
    std::vector<bool> closedBeforeMessage;

private:
    FakeCamera& camera_;
    OperatorPrompt* previous_ = nullptr;
};

TEST(CommandFrame, HoldsTextFromByteZeroAndZerosUpToTheEnd)
{
    struct Case {
        std::string built;
        std::string expected;
    };
    CommandFrame frame;
    std::vector<Case> cases;
    frame.format("#3&3&%d&%d#", 120, 45);
    cases.push_back({std::string(frame.data(), frame.size()), "#3&3&120&45#"});
    frame.format("#3&4&%s#", "a&b#c");  // fields go out unescaped
    cases.push_back({std::string(frame.data(), frame.size()), "#3&4&a&b#c#"});
    frame.format("#3&1&%s#", "1");  // a shorter text leaves nothing of the longer one
    cases.push_back({std::string(frame.data(), frame.size()), "#3&1&1#"});
    for (const Case& c : cases)
        ExpectFrame(c.built, c.expected);
}

TEST(CommandFrame, TakesAtMost4095CharactersAndRefusesMoreWithoutWriting)
{
    CommandFrame frame;
    std::string fits(4095, 'u');
    ASSERT_TRUE(frame.format("%s", fits.c_str()));
    ExpectFrame(std::string(frame.data(), frame.size()), fits);

    std::string tooLong(4096, 'u');
    EXPECT_FALSE(frame.format("%s", tooLong.c_str()));
    ExpectFrame(std::string(frame.data(), frame.size()), "");
}

TEST(MacColonForm, JoinsSixPairsKeepingCase)
{
    char out[kMacColonText + 1];
    MacColonForm("0a1b2C3D4E5F", out);
    EXPECT_STREQ(out, "0a:1b:2C:3D:4E:5F");
}

struct SentCase {
    const char* name;
    std::function<bool()> operation;
    std::vector<std::string> frames;
};

void PrintTo(const SentCase& c, std::ostream* os) { *os << c.name; }

class SettingsSent : public ::testing::TestWithParam<SentCase> {};

TEST_P(SettingsSent, CameraReceivesExactFramesThenCloseThenRestartMessage)
{
    const SentCase& c = GetParam();
    FakeCamera camera(FakeCamera::Mode::Commands);
    ObservingPrompt prompt(camera);

    EXPECT_TRUE(c.operation());

    auto connections = camera.waitForConnections(1);
    ASSERT_EQ(connections.size(), 1u);
    ExpectFramesThenClose(connections[0], c.frames);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"IPC will restart"});
    EXPECT_EQ(prompt.closedBeforeMessage, std::vector<bool>{true});
}

const std::string kLongestUid(4095 - 6, 'U');  // "#3&4&" + uid + "#" fills 4095

INSTANTIATE_TEST_SUITE_P(
    Frames, SettingsSent,
    ::testing::Values(
        SentCase{"Uid", [] { return SetIpcUid(kCamera, "ABCD-123456-EFGHIJKL"); },
                 {"#3&4&ABCD-123456-EFGHIJKL#", "#3&0&127.0.0.1#"}},
        SentCase{"UidOfLongestFittingText", [] { return SetIpcUid(kCamera, kLongestUid.c_str()); },
                 {"#3&4&" + kLongestUid + "#", "#3&0&127.0.0.1#"}},
        SentCase{"XY", [] { return SetIpcXY(kCamera, 120, 45); }, {"#3&3&120&45#", "#3&0&127.0.0.1#"}},
        SentCase{"NegativeXY", [] { return SetIpcXY(kCamera, -3, -40); }, {"#3&3&-3&-40#", "#3&0&127.0.0.1#"}},
        SentCase{"AddressOnly", [] { return SetIpcNet(kCamera, "192.168.1.20", nullptr); },
                 {"#3&1&192.168.1.20#", "#3&0&(null)#"}},
        SentCase{"LongestAddress", [] { return SetIpcNet(kCamera, "255.255.255.255", nullptr); },
                 {"#3&1&255.255.255.255#", "#3&0&(null)#"}},
        SentCase{"MacOnlyMixedCase", [] { return SetIpcNet(kCamera, nullptr, "0a1b2C3D4E5F"); },
                 {"#3&2&0a:1b:2C:3D:4E:5F#", "#3&0&0a1b2C3D4E5F#"}},
        SentCase{"AddressAndMac", [] { return SetIpcNet(kCamera, "10.0.0.7", "aabbccddeeff"); },
                 {"#3&1&10.0.0.7#", "#3&2&aa:bb:cc:dd:ee:ff#", "#3&0&aabbccddeeff#"}}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

struct RefusedCase {
    const char* name;
    std::function<bool()> operation;
    const char* message;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class SettingsRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(SettingsRefused, BeforeAnyConnection)
{
    const RefusedCase& c = GetParam();
    FakeCamera camera(FakeCamera::Mode::Commands);
    test::RecordingPrompt prompt;

    EXPECT_FALSE(c.operation());

    EXPECT_EQ(prompt.messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(camera.acceptedAfter(150ms), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, SettingsRefused,
    ::testing::Values(
        RefusedCase{"AddressOf16", [] { return SetIpcNet(kCamera, "255.255.255.2555", nullptr); }, "IP error"},
        RefusedCase{"MacOf13", [] { return SetIpcNet(kCamera, nullptr, "0a1b2c3d4e5f6"); }, "MAC error"},
        RefusedCase{"BothTooLongGivesAddressOnly",
                    [] { return SetIpcNet(kCamera, "255.255.255.2555", "0a1b2c3d4e5f6"); }, "IP error"},
        RefusedCase{"MacOf11", [] { return SetIpcNet(kCamera, "10.0.0.7", "0a1b2c3d4e5"); }, "MAC error"},
        RefusedCase{"UidBeyondOneFrame",
                    [] { return SetIpcUid(kCamera, std::string(4095 - 5, 'U').c_str()); }, "Command too long"}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(SettingsWithoutCamera, RefusedOrUnreadableAddressGivesLinkError)
{
    const std::vector<std::function<bool(const char*)>> operations = {
        [](const char* a) { return SetIpcUid(a, "ABCD-123456-EFGHIJKL"); },
        [](const char* a) { return SetIpcKeyId(a, 5); },
        [](const char* a) { return SetIpcXY(a, 1, 2); },
        [](const char* a) { return SetIpcNet(a, "10.0.0.7", "aabbccddeeff"); },
    };
    for (const char* address : {kCamera, "camera.local"}) {
        for (const auto& operation : operations) {
            test::RecordingPrompt prompt;
            EXPECT_FALSE(operation(address)) << address;
            EXPECT_EQ(prompt.messages(), std::vector<std::string>{"Link IPC error"}) << address;
        }
    }
}

// The fleet's way: the outcome comes back as a value, told to nobody else.
TEST(SetNetwork, GivesItsOutcomeAsAValueAndTellsOnlyItsContextsPrompt)
{
    test::RecordingPrompt process;
    {
        FakeCamera camera(FakeCamera::Mode::Commands);
        const SettingOutcome moved = SetNetwork({}, kCamera, "10.0.0.7", nullptr);
        EXPECT_TRUE(moved.sent);
        EXPECT_EQ(moved.message, "IPC will restart");
        auto connections = camera.waitForConnections(1);
        ASSERT_EQ(connections.size(), 1u);
        ExpectFramesThenClose(connections[0], {"#3&1&10.0.0.7#", "#3&0&(null)#"});
    }
    const SettingOutcome unreachable = SetNetwork({}, kCamera, "10.0.0.7", nullptr);
    EXPECT_FALSE(unreachable.sent);
    EXPECT_EQ(unreachable.message, "Link IPC error");
    const SettingOutcome refused = SetNetwork({}, kCamera, "255.255.255.2555", nullptr);
    EXPECT_EQ(refused.message, "IP error");
    EXPECT_TRUE(process.messages().empty());

    test::RecordingPrompt own;  // installed, but given as the context's own
    InstallOperatorPrompt(nullptr);
    EXPECT_FALSE(SetNetwork({nullptr, &own}, kCamera, nullptr, "0a1b2c3d4e5").sent);
    EXPECT_EQ(own.messages(), std::vector<std::string>{"MAC error"});
}

TEST(SetIpcKeyId, SendsOneFrameAndHoldsTheConnectionASecond)
{
    FakeCamera camera(FakeCamera::Mode::Commands);
    ObservingPrompt prompt(camera);

    EXPECT_TRUE(SetIpcKeyId(kCamera, -7));

    auto connections = camera.waitForConnections(1);
    ASSERT_EQ(connections.size(), 1u);
    ASSERT_EQ(connections[0].frames.size(), 1u);
    ExpectFrame(connections[0].frames[0], "#3&5&-7#");
    auto held = connections[0].closedAt - connections[0].frameTimes[0];
    EXPECT_GE(held, 950ms);
    EXPECT_LT(held, 1500ms);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"IPC will restart"});
    EXPECT_EQ(prompt.closedBeforeMessage, std::vector<bool>{true});
}

// A frame whose send fails: the camera has the frames before it and no
// other, the connection is closed before the operator reads the failure, and
// the failure names which frame it was.
struct FailedFrameCase {
    const char* name;
    std::function<bool()> operation;
    long failingSend;
    std::vector<std::string> framesBefore;
    const char* message;
};

void PrintTo(const FailedFrameCase& c, std::ostream* os) { *os << c.name; }

class SettingsFailedFrame : public ::testing::TestWithParam<FailedFrameCase> {};

TEST_P(SettingsFailedFrame, CameraHasOnlyTheFramesBeforeAndTheCloseComesFirst)
{
    const FailedFrameCase& c = GetParam();
    FakeCamera camera(FakeCamera::Mode::Commands);
    ObservingPrompt prompt(camera);
    bool result = true;
    {
        test::ArmedSendFault fault(c.failingSend);
        result = c.operation();
    }
    EXPECT_FALSE(result);

    auto connections = camera.waitForConnections(1);
    ASSERT_EQ(connections.size(), 1u);
    ExpectFramesThenClose(connections[0], c.framesBefore);
    EXPECT_EQ(prompt.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(prompt.closedBeforeMessage, std::vector<bool>{true});
}

INSTANTIATE_TEST_SUITE_P(
    Frames, SettingsFailedFrame,
    ::testing::Values(
        FailedFrameCase{"UidFirst", [] { return SetIpcUid(kCamera, "ABCD-123456-EFGHIJKL"); }, 1, {},
                        "Send Data error"},
        FailedFrameCase{"UidClosing", [] { return SetIpcUid(kCamera, "ABCD-123456-EFGHIJKL"); }, 2,
                        {"#3&4&ABCD-123456-EFGHIJKL#"}, "\xe5\x8f\x91\xe9\x80\x81\xe6\x95\xb0\xe6\x8d\xae\xe5\xa4\xb1\xe8\xb4\xa5"},
        FailedFrameCase{"XYFirst", [] { return SetIpcXY(kCamera, 120, 45); }, 1, {}, "Send Data error"},
        FailedFrameCase{"XYClosing", [] { return SetIpcXY(kCamera, 120, 45); }, 2, {"#3&3&120&45#"},
                        "\xe5\x8f\x91\xe9\x80\x81\xe6\x95\xb0\xe6\x8d\xae\xe5\xa4\xb1\xe8\xb4\xa5"},
        FailedFrameCase{"KeyIdOnly", [] { return SetIpcKeyId(kCamera, 7); }, 1, {}, "Send Data error"}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
}  // namespace orvane
