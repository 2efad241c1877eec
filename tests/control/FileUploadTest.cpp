// Uploads against a loopback camera: header, data, pacing, progress reports,
// reply handling and the order of the final report and the close.

#include "control/FileDigest.h"
#include "control/FileUpload.h"
#include "control/FirmwareKind.h"
#include "process/CancelToken.h"
#include "process/JobReports.h"
#include "process/OperatorPrompt.h"
#include "process/ProtocolTiming.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/Recorders.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace orvane {
namespace {

using namespace std::chrono_literals;
using test::Clock;
using test::FakeCamera;
using test::Report;
using test::UploadAnswer;

constexpr char kCamera[] = "127.0.0.1";

std::string Md5Hex(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 15];
    }
    return hex;
}

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + 3) % 256);
    return bytes;
}

// A loopback camera needs no time to write a chunk or to answer: the pause
// and the address-list time-out shortened, every case says the same as with
// the cameras' own.
ProtocolTiming ShortTiming()
{
    ProtocolTiming timing;
    timing.chunkPause_ms = 20;
    timing.onvifSendTimeout_ms = 1000;
    return timing;
}
constexpr auto kPause = 20ms;
constexpr auto kOnvifTimeout = 1000ms;

class TempFiles : public ::testing::Test {
protected:
    ScopedProtocolTiming timing{ShortTiming()};

    void SetUp() override
    {
        char pattern[] = "/tmp/orvane-upload-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        for (const std::string& path : files_)
            std::remove(path.c_str());
        ::rmdir(dir_.c_str());
    }
    std::string write(const std::string& name, const std::string& bytes)
    {
        std::string path = dir_ + "/" + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        files_.push_back(path);
        return path;
    }
    std::string missing() const { return dir_ + "/missing.bin"; }
    // A path in the folder, removed at the end, for the case to fill.
    std::string place(const std::string& name)
    {
        files_.push_back(dir_ + "/" + name);
        return files_.back();
    }

private:
    std::string dir_;
    std::vector<std::string> files_;
};

std::vector<Report> Progress(JobKind job, const std::vector<long>& permille, long result)
{
    std::vector<Report> reports;
    for (long p : permille)
        reports.push_back(JobReport::Progress(job, static_cast<int>(p)));
    reports.push_back(JobReport::Finished(job, result));
    return reports;
}

TEST(BytesToHex, LowerCaseTwoCharactersPerByteHighHalfFirst)
{
    const unsigned char bytes[] = {0x00, 0x0f, 0xa0, 0xff, 0x5c};
    EXPECT_EQ(BytesToHex(bytes, 5), "000fa0ff5c");
    EXPECT_EQ(BytesToHex(bytes, 0), "");
}

using GetFileMd5Test = TempFiles;

TEST_F(GetFileMd5Test, WritesSixteenDigestCharactersOfTheWholeFile)
{
    struct Case {
        std::string contents;
        const char* digest;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204"},
        {"abc", "900150983cd24fb0"},
        {"The quick brown fox jumps over the lazy dog", "9e107d9d372bb682"},
        {Pattern(5000), "33d9712cc5eb0bf1"},  // several 2048-byte blocks, the last one short
    };
    for (const Case& c : cases) {
        std::string path = write("digest.bin", c.contents);
        char out[20];
        std::fill(std::begin(out), std::end(out), 'Z');
        EXPECT_EQ(GetFileMd5(path.c_str(), out), 16);
        EXPECT_EQ(std::string(out, 16), c.digest);
        EXPECT_EQ(out[16], 'Z') << "the caller ends the text";
    }
}

TEST_F(GetFileMd5Test, MissingFileGivesZeroAndLeavesTheTextAlone)
{
    char out[17] = "untouched-text!!";
    EXPECT_EQ(GetFileMd5(missing().c_str(), out), 0);
    EXPECT_STREQ(out, "untouched-text!!");
}

TEST(UploadPermille, RatioIsRoundedToSinglePrecisionBeforeScaling)
{
    struct Case {
        int64_t sent, size;
        int permille;
    };
    const Case cases[] = {{10240, 16000, 639}, {10240, 25000, 409}, {20480, 25000, 819},
                          {10240, 20480, 500}, {0, 10240, 0},       {2147473407, 2147483647, 999}};
    for (const Case& c : cases)
        EXPECT_EQ(UploadPermille(c.sent, c.size), c.permille) << c.sent << "/" << c.size;
}

TEST(FirmwareKindForPath, OnlyAPathBeginningWithZImageIsKind2)
{
    struct Case {
        const char* path;
        int kind;
    };
    const Case cases[] = {{"/fw/cam.br", 4}, {"/fw/zImage", 4}, {"zimage", 4},     {"/zImage/cam.br", 4},
                          {"D:\\fw\\zImage", 4}, {"zImage.br", 2}, {"zImage", 2}, {"", 4}};
    for (const Case& c : cases)
        EXPECT_EQ(FirmwareKindForPath(c.path), c.kind) << c.path;
}

struct SeriesCase {
    size_t size;
    std::vector<long> progress;
};

void PrintTo(const SeriesCase& c, std::ostream* os) { *os << c.size << " bytes"; }

class UploadSeries : public TempFiles, public ::testing::WithParamInterface<SeriesCase> {};

TEST_P(UploadSeries, HeaderDataPacingAndProgressAsTheCameraSeesThem)
{
    const SeriesCase& c = GetParam();
    const std::string contents = Pattern(c.size);
    const std::string path = write("fw.bin", contents);
    FakeCamera camera(FakeCamera::Mode::Upload);
    test::RecordingPrompt prompt;
    test::RecordingReports reports;
    Clock::time_point finalAt{};
    reports.onReport = [&](const Report& r) {
        if (r.kind == JobReport::Kind::Finished)
            finalAt = Clock::now();
    };

    auto start = Clock::now();
    EXPECT_TRUE(UpdateIpcKind4(path.c_str(), kCamera));

    EXPECT_EQ(reports.reports(), Progress(JobKind::Firmware, c.progress, 1));
    EXPECT_TRUE(prompt.messages().empty());
    auto connections = camera.waitForConnections(1);
    ASSERT_EQ(connections.size(), 1u);
    const test::CameraConnection& got = connections[0];
    const std::string text = "#4&" + std::to_string(c.size) + "&" + Md5Hex(got.data).substr(0, 16) + "#";
    ASSERT_EQ(got.header.size(), 4096u);
    EXPECT_EQ(got.header.substr(0, text.size()), text);
    EXPECT_EQ(got.header.find_first_not_of('\0', text.size()), std::string::npos);
    EXPECT_TRUE(got.data == contents);

    // One pause after every chunk, the last one included.
    const size_t chunks = (c.size + 10239) / 10240;
    auto took = finalAt - start;
    EXPECT_GE(took, chunks * kPause);
    EXPECT_LT(took, chunks * kPause + 250ms);
}

INSTANTIATE_TEST_SUITE_P(Sizes, UploadSeries,
                         ::testing::Values(SeriesCase{0, {}}, SeriesCase{10240, {}}, SeriesCase{16000, {639}},
                                           SeriesCase{20480, {500}}, SeriesCase{25000, {409, 819}}),
                         [](const auto& caseInfo) { return std::to_string(caseInfo.param.size); });

struct ReplyCase {
    const char* name;
    std::function<bool(const char*, const char*)> upload;
    char kind;
    UploadAnswer answer;
    long result;
};

void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

class UploadReply : public TempFiles, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(UploadReply, BecomesTheFinalReportsResult)
{
    const ReplyCase& c = GetParam();
    const std::string path = write("upload.bin", Pattern(300));
    FakeCamera camera(FakeCamera::Mode::Upload, c.answer);
    test::RecordingPrompt prompt;
    test::RecordingReports reports;

    EXPECT_TRUE(c.upload(path.c_str(), kCamera));

    EXPECT_EQ(reports.reports(), Progress(c.kind == '6' ? JobKind::AddressList : JobKind::Firmware, {}, c.result));
    EXPECT_TRUE(prompt.messages().empty());
    auto connections = camera.waitForConnections(1);
    ASSERT_EQ(connections.size(), 1u);
    EXPECT_EQ(connections[0].header.substr(0, 3), std::string("#") + c.kind + "&");
    EXPECT_TRUE(connections[0].sawClose);
}

UploadAnswer Replying(const char* text) { return {UploadAnswer::Reply, text, 0}; }
const UploadAnswer kCloses{UploadAnswer::CloseWithoutReply, "", 0};

INSTANTIATE_TEST_SUITE_P(
    Replies, UploadReply,
    ::testing::Values(ReplyCase{"Kind4One", UpdateIpcKind4, '4', Replying("1"), 1},
                      ReplyCase{"Kind4SpacesThenDigits", UpdateIpcKind4, '4', Replying("  12x"), 12},
                      ReplyCase{"Kind4Negative", UpdateIpcKind4, '4', Replying("-5"), -5},
                      ReplyCase{"Kind4NoDigits", UpdateIpcKind4, '4', Replying("ok"), 0},
                      ReplyCase{"Kind4ClosedWithoutReply", UpdateIpcKind4, '4', kCloses, 0},
                      ReplyCase{"Kind2Number", UpdateIpcKind2, '2', Replying("7"), 7},
                      ReplyCase{"Kind2ClosedWithoutReply", UpdateIpcKind2, '2', kCloses, 0},
                      ReplyCase{"FirmwareByPathIsKind4", UpdateIpcFirmware, '4', Replying("1"), 1},
                      ReplyCase{"OnvifZero", UpdateIpcOnvifIps, '6', Replying("0"), 2},
                      ReplyCase{"OnvifNoDigits", UpdateIpcOnvifIps, '6', Replying("x"), 2},
                      ReplyCase{"OnvifClosedWithoutReply", UpdateIpcOnvifIps, '6', kCloses, 0}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

using UploadOrder = TempFiles;

TEST_F(UploadOrder, CameraSeesTheCloseOnlyAfterTheFinalReportReturned)
{
    const std::string path = write("fw.bin", Pattern(100));
    FakeCamera camera(FakeCamera::Mode::Upload);
    test::RecordingReports reports;
    std::atomic<bool> finalReturned{false};
    reports.onReport = [&](const Report& r) {
        if (r.kind == JobReport::Kind::Finished) {
            std::this_thread::sleep_for(300ms);  // the operator reads the result box
            finalReturned = true;
        }
    };
    camera.setProbe([&] { return finalReturned.load(); });

    EXPECT_TRUE(UpdateIpcKind4(path.c_str(), kCamera));

    auto connections = camera.waitForConnections(1);
    ASSERT_EQ(connections.size(), 1u);
    EXPECT_TRUE(connections[0].sawClose);
    EXPECT_TRUE(connections[0].probeAtClose);
}

TEST_F(UploadOrder, OnvifWaitsItsTimeOutForASilentCameraThenReportsNoReply)
{
    const std::string path = write("ips.txt", "192.168.1.10\n");
    FakeCamera camera(FakeCamera::Mode::Upload, {UploadAnswer::NeverReply, "", 0});
    test::RecordingReports reports;

    auto start = Clock::now();
    EXPECT_TRUE(UpdateIpcOnvifIps(path.c_str(), kCamera));
    auto took = Clock::now() - start;

    EXPECT_GE(took, kOnvifTimeout);
    EXPECT_LT(took, kOnvifTimeout + 1500ms);
    EXPECT_EQ(reports.reports(), Progress(JobKind::AddressList, {}, 0));
}

struct FailureCase {
    const char* name;
    std::function<bool(const char*, const char*)> upload;
    const char* message;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class UploadWithoutCamera : public TempFiles, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(UploadWithoutCamera, EachRoutineTellsTheLinkFailureInItsOwnWords)
{
    const FailureCase& c = GetParam();
    const std::string path = write("fw.bin", "firmware");
    for (const char* address : {kCamera, "camera.local"}) {
        test::RecordingPrompt prompt;
        test::RecordingReports reports;
        EXPECT_FALSE(c.upload(path.c_str(), address));
        EXPECT_EQ(prompt.messages(), std::vector<std::string>{c.message});
        EXPECT_TRUE(reports.reports().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Routines, UploadWithoutCamera,
                         ::testing::Values(FailureCase{"Kind2", UpdateIpcKind2, "Link IPC Error"},
                                           FailureCase{"Kind4", UpdateIpcKind4, "Link IPC error"},
                                           FailureCase{"Onvif", UpdateIpcOnvifIps, "Link IPC Error"}),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(IsAcceptedReply, OnlyOneAndTwoMeanTheCameraTookTheFile)
{
    struct Case {
        long result;
        bool accepted;
    };
    const Case cases[] = {{1, true}, {2, true}, {0, false}, {3, false}, {-1, false}, {12, false}, {-2, false}};
    for (const Case& c : cases)
        EXPECT_EQ(IsAcceptedReply(c.result), c.accepted) << c.result;
}

// A sink of the upload's own, installed nowhere.
class KeptReports : public JobReportSink {
public:
    bool deliver(const JobReport& report) override
    {
        got.push_back(report);
        return true;
    }
    std::vector<JobReport> got;
};

using UploadContextTest = TempFiles;

TEST_F(UploadContextTest, TwoUploadsOnOneThreadReportEachToItsOwnSink)
{
    const std::string firmware = write("fw.bin", Pattern(16000));
    const std::string list = write("ips.txt", "192.168.1.10\n");
    test::RecordingReports process;  // the process's sink hears nothing of either
    test::RecordingPrompt processPrompt;
    KeptReports first, second;
    {
        FakeCamera camera(FakeCamera::Mode::Upload);
        const UploadOutcome a = UploadFile({&first, nullptr, nullptr}, UploadRoutine::Kind4, firmware.c_str(), kCamera);
        EXPECT_TRUE(a.finished);
        EXPECT_EQ(a.result, 1);
        EXPECT_EQ(a.failure, "");
    }
    {
        FakeCamera camera(FakeCamera::Mode::Upload, {UploadAnswer::Reply, "0", 0});
        const UploadOutcome b = UploadFile({&second, nullptr, nullptr}, UploadRoutine::OnvifIps, list.c_str(), kCamera);
        EXPECT_TRUE(b.finished);
        EXPECT_EQ(b.result, 2);
    }
    EXPECT_EQ(first.got, Progress(JobKind::Firmware, {639}, 1));
    EXPECT_EQ(second.got, Progress(JobKind::AddressList, {}, 2));
    EXPECT_TRUE(process.reports().empty());
    EXPECT_TRUE(processPrompt.messages().empty());
}

TEST_F(UploadContextTest, AFailureComesBackAsTheMessageAndGoesToTheContextsPromptOnly)
{
    const std::string path = write("fw.bin", "firmware");
    test::RecordingPrompt processPrompt;
    struct KeptPrompt : OperatorPrompt {
        void showMessage(const char* text) override { told.emplace_back(text); }
        std::vector<std::string> told;
    } own;
    // No camera listens: the connection fails.
    const UploadOutcome told = UploadFile({nullptr, &own, nullptr}, UploadRoutine::Kind4, path.c_str(), kCamera);
    EXPECT_FALSE(told.finished);
    EXPECT_EQ(told.failure, "Link IPC error");
    EXPECT_EQ(own.told, std::vector<std::string>{"Link IPC error"});
    const UploadOutcome quiet = UploadFile({}, UploadRoutine::Kind2, missing().c_str(), kCamera);
    EXPECT_EQ(quiet.failure, "Link IPC Error");
    EXPECT_TRUE(processPrompt.messages().empty());
}

TEST_F(UploadContextTest, ItsCancelTokenStopsTheUpload)
{
    const std::string path = write("fw.bin", Pattern(200000));  // 20 chunks
    FakeCamera camera(FakeCamera::Mode::Upload);
    CancelToken cancel;
    KeptReports reports;
    std::thread canceller([&cancel] {
        std::this_thread::sleep_for(60ms);
        cancel.cancel();
    });
    const UploadOutcome outcome = UploadFile({&reports, nullptr, &cancel}, UploadRoutine::Kind4, path.c_str(), kCamera);
    canceller.join();
    EXPECT_FALSE(outcome.finished);
    EXPECT_EQ(outcome.failure, "Send Data error");
}

using UploadFailure = TempFiles;

TEST_F(UploadFailure, FileMissingAfterConnectClosesTheConnectionWithoutAHeader)
{
    FakeCamera camera(FakeCamera::Mode::Upload);
    test::RecordingPrompt prompt;
    test::RecordingReports reports;

    EXPECT_FALSE(UpdateIpcKind4(missing().c_str(), kCamera));

    EXPECT_EQ(prompt.messages(), std::vector<std::string>{"Read the File error"});
    EXPECT_TRUE(reports.reports().empty());
    auto connections = camera.waitForConnections(1);
    ASSERT_EQ(connections.size(), 1u);
    EXPECT_TRUE(connections[0].header.empty());
    EXPECT_TRUE(connections[0].sawClose);
}

TEST_F(UploadFailure, CameraDroppingTheConnectionMidDataIsASendError)
{
    const std::string path = write("fw.bin", Pattern(60000));
    FakeCamera camera(FakeCamera::Mode::Upload, {UploadAnswer::ResetAfterBytes, "", 10240});
    test::RecordingPrompt prompt;
    test::RecordingReports reports;

    EXPECT_FALSE(UpdateIpcKind4(path.c_str(), kCamera));

    EXPECT_EQ(prompt.messages(), std::vector<std::string>{"Send Data error"});
    for (const Report& r : reports.reports())
        EXPECT_NE(r.kind, JobReport::Kind::Finished) << "no final report after a failed send";
}

TEST_F(UploadFailure, FileOfTwoGibibytesIsRefusedBeforeConnecting)
{
    const std::string path = write("huge.bin", "");
    ASSERT_EQ(::truncate(path.c_str(), 2147483648LL), 0);
    FakeCamera camera(FakeCamera::Mode::Upload);
    test::RecordingPrompt prompt;
    test::RecordingReports reports;

    EXPECT_FALSE(UpdateIpcKind4(path.c_str(), kCamera));

    ASSERT_EQ(prompt.messages().size(), 1u);
    EXPECT_NE(prompt.messages()[0].find("too large"), std::string::npos);
    EXPECT_TRUE(reports.reports().empty());
    EXPECT_EQ(camera.acceptedAfter(150ms), 0u);
}

// A device, a pipe, a folder and a socket are no upload file: each is refused
// as a file that cannot be read, at once, the connection closed without a
// header. Reading /dev/zero never ends, and a pipe waits for a writer.
struct OddFileCase {
    const char* name;
    std::function<bool(const char*, const char*)> upload;
};

void PrintTo(const OddFileCase& c, std::ostream* os) { *os << c.name; }

class UploadOfOddFile : public TempFiles, public ::testing::WithParamInterface<OddFileCase> {};

TEST_P(UploadOfOddFile, IsAReadErrorAndNeverBlocks)
{
    const std::string fifo = place("pipe.br");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string folder = place("folder.br");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const std::string socketPath = place("socket.br");
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    for (const std::string& path : {std::string("/dev/zero"), fifo, folder, socketPath}) {
        FakeCamera camera(FakeCamera::Mode::Upload);
        test::RecordingPrompt prompt;
        test::RecordingReports reports;
        // On a thread of its own, so that an upload that blocks fails the
        // case instead of hanging the run.
        auto done = std::make_shared<std::promise<bool>>();
        std::future<bool> result = done->get_future();
        std::thread([done, path, upload = GetParam().upload] {
            done->set_value(upload(path.c_str(), kCamera));
        }).detach();
        if (result.wait_for(5s) != std::future_status::ready) {
            ADD_FAILURE() << path << " blocked the upload";
            continue;
        }
        EXPECT_FALSE(result.get()) << path;
        EXPECT_EQ(prompt.messages(), std::vector<std::string>{"Read the File error"}) << path;
        EXPECT_TRUE(reports.reports().empty()) << path;
        auto connections = camera.waitForConnections(1);
        ASSERT_EQ(connections.size(), 1u) << path;
        EXPECT_TRUE(connections[0].header.empty()) << path;
        EXPECT_TRUE(connections[0].sawClose) << path;
    }
    ::close(listener);
}

INSTANTIATE_TEST_SUITE_P(Routines, UploadOfOddFile,
                         ::testing::Values(OddFileCase{"Firmware", UpdateIpcKind4},
                                           OddFileCase{"Onvif", UpdateIpcOnvifIps}),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
}  // namespace orvane
