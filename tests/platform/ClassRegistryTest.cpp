#include "platform/ClassRegistry.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace orvane {
namespace {

namespace fs = std::filesystem;

// Each case gets an XDG data folder of its own.
class ClassRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "orvane-registry-test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dataHome_ = pattern;
        ::setenv("XDG_DATA_HOME", dataHome_.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dataHome_); }

    std::string read(const char* key, const char* name = "")
    {
        char buffer[256];
        EXPECT_EQ(registry_.queryValue(key, name, buffer, sizeof buffer), RegistryStatus::Ok) << key << " " << name;
        return buffer;
    }

    fs::path dataHome_;
    ClassRegistry registry_;
};

TEST_F(ClassRegistryTest, DefaultAndNamedValuesAndSubkeysKeepApart)
{
    ASSERT_EQ(registry_.createKey("AppID\\Orvane.EXE"), RegistryStatus::Ok);
    EXPECT_EQ(registry_.setValue("AppID\\Orvane.EXE", "", "default text"), RegistryStatus::Ok);
    EXPECT_EQ(registry_.setValue("AppID\\Orvane.EXE", "AppID", "{1234}"), RegistryStatus::Ok);
    // A subkey named like the value, and a value named like the subkey.
    ASSERT_EQ(registry_.createKey("AppID\\Orvane.EXE\\AppID"), RegistryStatus::Ok);
    EXPECT_EQ(registry_.setValue("AppID", "Orvane.EXE", "beside the key"), RegistryStatus::Ok);

    EXPECT_EQ(read("AppID\\Orvane.EXE"), "default text");
    EXPECT_EQ(read("AppID\\Orvane.EXE", "AppID"), "{1234}");
    EXPECT_EQ(read("AppID", "Orvane.EXE"), "beside the key");
    EXPECT_TRUE(registry_.keyExists("AppID\\Orvane.EXE\\AppID"));

    EXPECT_EQ(registry_.setValue("AppID\\Orvane.EXE", "AppID", ""), RegistryStatus::Ok);
    EXPECT_EQ(read("AppID\\Orvane.EXE", "AppID"), "");
    EXPECT_EQ(registry_.deleteValue("AppID\\Orvane.EXE", "AppID"), RegistryStatus::Ok);
    char buffer[8];
    EXPECT_EQ(registry_.queryValue("AppID\\Orvane.EXE", "AppID", buffer, sizeof buffer), RegistryStatus::NotFound);
    EXPECT_EQ(registry_.deleteValue("AppID\\Orvane.EXE", "AppID"), RegistryStatus::NotFound);
    EXPECT_EQ(read("AppID\\Orvane.EXE"), "default text");

    EXPECT_EQ(registry_.setValue("NoSuchKey", "", "x"), RegistryStatus::NotFound);
    EXPECT_EQ(registry_.queryValue("NoSuchKey", "", buffer, sizeof buffer), RegistryStatus::NotFound);
    EXPECT_FALSE(registry_.keyExists("appid")) << "keys compare as stored";
    EXPECT_TRUE(fs::is_directory(dataHome_ / "orvane-registry" / "HKEY_CLASSES_ROOT"));
}

TEST_F(ClassRegistryTest, FollowsXdgDataHomeOnEveryCall)
{
    ASSERT_EQ(registry_.createKey("CLSID"), RegistryStatus::Ok);
    ::setenv("XDG_DATA_HOME", (dataHome_ / "elsewhere").c_str(), 1);
    EXPECT_FALSE(registry_.keyExists("CLSID"));
    ::setenv("XDG_DATA_HOME", dataHome_.c_str(), 1);
    EXPECT_TRUE(registry_.keyExists("CLSID"));
}

TEST_F(ClassRegistryTest, QueryNeverPassesTheBufferAndTellsWhatDoesNotFit)
{
    constexpr size_t kSize = 11;
    ASSERT_EQ(registry_.createKey("K"), RegistryStatus::Ok);
    for (size_t length : {size_t{0}, kSize - 2, kSize - 1, kSize, 3 * kSize}) {
        const std::string text(length, 'x');
        ASSERT_EQ(registry_.setValue("K", "", text), RegistryStatus::Ok);
        char buffer[kSize + 8];
        std::memset(buffer, '#', sizeof buffer);
        size_t needed = 0;
        RegistryStatus status = registry_.queryValue("K", "", buffer, kSize, &needed);
        EXPECT_EQ(needed, length + 1);
        if (length < kSize) {
            EXPECT_EQ(status, RegistryStatus::Ok) << length;
            EXPECT_EQ(std::string(buffer), text);
        } else {
            EXPECT_EQ(status, RegistryStatus::MoreData) << length;
            EXPECT_EQ(buffer[0], '\0') << length;
        }
        for (size_t i = kSize; i < sizeof buffer; ++i)
            EXPECT_EQ(buffer[i], '#') << "byte " << i << " written for length " << length;
    }
}

TEST_F(ClassRegistryTest, DeleteKeyOnlyWithoutSubkeysDeleteTreeWithThem)
{
    ASSERT_EQ(registry_.createKey("CLSID\\{A}\\InprocServer32"), RegistryStatus::Ok);
    ASSERT_EQ(registry_.setValue("CLSID\\{A}\\InprocServer32", "", "/lib/a.so"), RegistryStatus::Ok);
    ASSERT_EQ(registry_.setValue("CLSID\\{A}", "", "A"), RegistryStatus::Ok);
    ASSERT_EQ(registry_.createKey("CLSID\\{B}"), RegistryStatus::Ok);

    EXPECT_EQ(registry_.deleteKey("CLSID\\{A}"), RegistryStatus::HasSubkeys);
    EXPECT_EQ(read("CLSID\\{A}"), "A");
    EXPECT_EQ(registry_.deleteKey("CLSID\\{A}\\InprocServer32"), RegistryStatus::Ok) << "its value goes with it";
    EXPECT_FALSE(registry_.keyExists("CLSID\\{A}\\InprocServer32"));
    EXPECT_EQ(registry_.deleteKey("CLSID\\{A}\\InprocServer32"), RegistryStatus::NotFound);

    ASSERT_EQ(registry_.createKey("CLSID\\{A}\\InprocServer32\\Deeper"), RegistryStatus::Ok);
    EXPECT_EQ(registry_.deleteTree("CLSID\\{A}"), RegistryStatus::Ok);
    EXPECT_FALSE(registry_.keyExists("CLSID\\{A}"));
    EXPECT_TRUE(registry_.keyExists("CLSID\\{B}"));
    EXPECT_EQ(registry_.deleteTree("CLSID\\{A}"), RegistryStatus::NotFound);
    EXPECT_EQ(registry_.deleteTree(""), RegistryStatus::Invalid);
    EXPECT_EQ(registry_.deleteKey(""), RegistryStatus::Invalid);
    EXPECT_TRUE(registry_.keyExists(""));
}

TEST_F(ClassRegistryTest, RefusesNamesThatCouldLeaveTheRoot)
{
    ASSERT_EQ(registry_.createKey("Inside"), RegistryStatus::Ok);
    const std::string badKeys[] = {"..", ".", "..\\x", "Inside\\..", "Inside\\.\\x", "a/b", "../x",
                                   "\\Inside", "Inside\\", "Inside\\\\x", std::string("a\0b", 3)};
    for (const std::string& key : badKeys) {
        EXPECT_EQ(registry_.createKey(key), RegistryStatus::Invalid) << key;
        EXPECT_EQ(registry_.setValue(key, "", "x"), RegistryStatus::Invalid) << key;
        EXPECT_EQ(registry_.deleteTree(key), RegistryStatus::Invalid) << key;
        EXPECT_FALSE(registry_.keyExists(key)) << key;
    }
    EXPECT_EQ(registry_.setValue("Inside", "../x", "x"), RegistryStatus::Invalid);
    EXPECT_EQ(registry_.setValue("Inside", std::string("a\0b", 3), "x"), RegistryStatus::Invalid);
    EXPECT_EQ(registry_.setValue("Inside", "", std::string("a\0b", 3)), RegistryStatus::Invalid);
    // Names that are only unusual stay inside: dots within a name, a value named "..".
    EXPECT_EQ(registry_.createKey(".txt\\..a"), RegistryStatus::Ok);
    EXPECT_EQ(registry_.setValue("Inside", "..", "dots"), RegistryStatus::Ok);
    EXPECT_EQ(read("Inside", ".."), "dots");

    std::vector<std::string> top;
    for (const auto& entry : fs::directory_iterator(dataHome_))
        top.push_back(entry.path().filename().string());
    EXPECT_EQ(top, std::vector<std::string>{"orvane-registry"});
    std::vector<std::string> underRoot;
    for (const auto& entry : fs::directory_iterator(dataHome_ / "orvane-registry"))
        underRoot.push_back(entry.path().filename().string());
    EXPECT_EQ(underRoot, std::vector<std::string>{"HKEY_CLASSES_ROOT"});
}

TEST_F(ClassRegistryTest, ReaderSeesOnlyWholeValuesWhileAWriterRewrites)
{
    // Two lengths, so that a cut text shows as well as a mixed one.
    const std::string first(48 * 1024, 'a');
    const std::string second(80 * 1024, 'b');
    ASSERT_EQ(registry_.createKey("Race"), RegistryStatus::Ok);
    ASSERT_EQ(registry_.setValue("Race", "Path", first), RegistryStatus::Ok);

    std::atomic<bool> writing{true};
    std::atomic<int> reads{0}, torn{0};
    std::thread reader([&] {
        ClassRegistry registry;
        std::vector<char> buffer(128 * 1024);
        while (writing.load()) {
            RegistryStatus status = registry.queryValue("Race", "Path", buffer.data(), buffer.size());
            const char* text = buffer.data();
            if (status != RegistryStatus::Ok || (text != first && text != second))
                ++torn;
            ++reads;
        }
    });
    while (reads.load() == 0)
        std::this_thread::yield();
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(registry_.setValue("Race", "Path", i % 2 ? first : second), RegistryStatus::Ok);
    writing = false;
    reader.join();

    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dataHome_ / "orvane-registry" / "HKEY_CLASSES_ROOT" / "k.Race"))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"v.Path"}) << "a temporary file was left behind";
}

// A value that is a FIFO, a device or a folder is no value: the read says
// NotFound at once instead of waiting for a writer or reading a device.
TEST_F(ClassRegistryTest, ValueThatIsNoPlainFileReadsAsMissingWithoutBlocking)
{
    ASSERT_EQ(registry_.createKey("CLSID"), RegistryStatus::Ok);
    const fs::path key = dataHome_ / "orvane-registry" / "HKEY_CLASSES_ROOT" / "k.CLSID";
    ASSERT_EQ(::mkfifo((key / "v.").c_str(), 0644), 0);
    fs::create_directory(key / "v.Folder");
    const bool haveDevice = ::mknod((key / "v.Device").c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0;

    for (const char* name : {"", "Folder", "Device"}) {
        if (std::string(name) == "Device" && !haveDevice)
            continue;
        auto query = std::async(std::launch::async, [name] {
            char buffer[64] = "untouched";
            return ClassRegistry().queryValue("CLSID", name, buffer, sizeof buffer);
        });
        if (query.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
            // Let the blocked open go before failing, so the case ends.
            int writer = ::open((key / "v.").c_str(), O_WRONLY | O_NONBLOCK);
            ADD_FAILURE() << "reading value '" << name << "' blocked";
            query.wait();
            ::close(writer);
            continue;
        }
        EXPECT_EQ(query.get(), RegistryStatus::NotFound) << name;
    }
}

}  // namespace
}  // namespace orvane
