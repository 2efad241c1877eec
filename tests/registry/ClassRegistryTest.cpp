#include "registry/ClassRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
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

fs::path MakeTemporaryFolder()
{
    std::string pattern = (fs::temp_directory_path() / "orvane-registry-test.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

// Each case gets an XDG data folder and a machine-wide layer of its own.
class ClassRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dataHome_ = MakeTemporaryFolder();
        machineHome_ = MakeTemporaryFolder();
        ASSERT_FALSE(dataHome_.empty() || machineHome_.empty());
        machineLayer_ = machineHome_ / "orvane";
        ::setenv("XDG_DATA_HOME", dataHome_.c_str(), 1);
        ::setenv(ClassRegistry::kMachineFolderVariable, machineLayer_.c_str(), 1);
        ::unsetenv(ClassRegistry::kWriteLayerVariable);
    }
    void TearDown() override
    {
        fs::remove_all(dataHome_);
        fs::remove_all(machineHome_);
    }

    std::string read(const char* key, const char* name = "")
    {
        char buffer[256];
        EXPECT_EQ(registry_.queryValue(key, name, buffer, sizeof buffer), RegistryStatus::Ok) << key << " " << name;
        return buffer;
    }

    fs::path dataHome_;
    fs::path machineHome_;
    fs::path machineLayer_;
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

TEST_F(ClassRegistryTest, MergedViewReadsTheUserLayerFirstThenTheMachineLayer)
{
    const ClassRegistry machine(RegistryLayer::Machine);
    const ClassRegistry user(RegistryLayer::User);
    for (const char* key : {"Both", "MachineOnly"}) {
        ASSERT_EQ(machine.createKey(key), RegistryStatus::Ok);
        ASSERT_EQ(machine.setValue(key, "", "machine"), RegistryStatus::Ok);
        ASSERT_EQ(machine.setValue(key, "Named", "machine named"), RegistryStatus::Ok);
    }
    ASSERT_EQ(user.createKey("Both"), RegistryStatus::Ok);
    ASSERT_EQ(user.setValue("Both", "", "user"), RegistryStatus::Ok);
    ASSERT_EQ(user.createKey("UserOnly"), RegistryStatus::Ok);

    EXPECT_EQ(read("Both"), "user");
    EXPECT_EQ(read("MachineOnly"), "machine");
    EXPECT_EQ(read("MachineOnly", "Named"), "machine named");
    char buffer[32];
    EXPECT_EQ(registry_.queryValue("Both", "Named", buffer, sizeof buffer), RegistryStatus::NotFound)
        << "the user's key hides the machine's, values and all";
    for (const char* key : {"Both", "MachineOnly", "UserOnly"})
        EXPECT_TRUE(registry_.keyExists(key)) << key;
    EXPECT_FALSE(registry_.keyExists("Neither"));

    // Taking the user's key away shows the machine's again.
    ASSERT_EQ(registry_.deleteTree("Both"), RegistryStatus::Ok);
    EXPECT_EQ(read("Both"), "machine");
    EXPECT_TRUE(fs::is_directory(machineLayer_ / "HKEY_CLASSES_ROOT" / "k.Both"));
    EXPECT_FALSE(fs::exists(dataHome_ / "orvane-registry" / "HKEY_CLASSES_ROOT" / "k.MachineOnly"));
}

TEST_F(ClassRegistryTest, WritesAndDeletesGoToTheLayerTheEnvironmentNames)
{
    const fs::path userRoot = dataHome_ / "orvane-registry" / "HKEY_CLASSES_ROOT";
    const fs::path machineRoot = machineLayer_ / "HKEY_CLASSES_ROOT";
    ASSERT_EQ(registry_.createKey("Key"), RegistryStatus::Ok);
    ASSERT_EQ(registry_.setValue("Key", "", "user"), RegistryStatus::Ok);
    EXPECT_TRUE(fs::exists(userRoot / "k.Key" / "v."));
    EXPECT_FALSE(fs::exists(machineRoot)) << "the user's write made the machine layer";

    ::setenv(ClassRegistry::kWriteLayerVariable, "machine", 1);
    EXPECT_EQ(ClassRegistry::EnvironmentWriteLayer(), RegistryLayer::Machine);
    ASSERT_EQ(registry_.createKey("Key"), RegistryStatus::Ok);
    ASSERT_EQ(registry_.setValue("Key", "", "machine"), RegistryStatus::Ok);
    EXPECT_EQ(read("Key"), "user") << "the user's layer still comes first";
    // A delete in the machine layer leaves the user's key alone.
    EXPECT_EQ(registry_.deleteTree("Key"), RegistryStatus::Ok);
    EXPECT_FALSE(fs::exists(machineRoot / "k.Key"));
    EXPECT_TRUE(fs::exists(userRoot / "k.Key" / "v."));
    EXPECT_EQ(registry_.deleteTree("Key"), RegistryStatus::NotFound);

    for (const char* other : {"user", "Machine", ""}) {
        ::setenv(ClassRegistry::kWriteLayerVariable, other, 1);
        EXPECT_EQ(ClassRegistry::EnvironmentWriteLayer(), RegistryLayer::User) << other;
    }
    // A relative folder in the environment is not taken.
    ::setenv(ClassRegistry::kMachineFolderVariable, "relative/orvane", 1);
    EXPECT_EQ(ClassRegistry::MachineRoot().front(), '/');
}

TEST_F(ClassRegistryTest, ALayerOthersCanWriteIsRefusedWithALineOnStderr)
{
    const ClassRegistry machine(RegistryLayer::Machine);
    ASSERT_EQ(machine.createKey("CLSID\\{S}\\InprocServer32"), RegistryStatus::Ok);
    ASSERT_EQ(machine.setValue("CLSID\\{S}\\InprocServer32", "", "/usr/lib/orvane/libvidra.so"), RegistryStatus::Ok);
    const fs::path keyFolder = machineLayer_ / "HKEY_CLASSES_ROOT" / "k.CLSID" / "k.{S}";
    // The layer's own folder, its root key, a key folder on the way; world or group.
    const struct {
        fs::path folder;
        fs::perms write;
    } unsafe[] = {{machineLayer_, fs::perms::others_write},
                  {machineLayer_ / "HKEY_CLASSES_ROOT", fs::perms::others_write},
                  {keyFolder, fs::perms::group_write}};
    for (const auto& c : unsafe) {
        fs::permissions(c.folder, c.write, fs::perm_options::add);
        ::testing::internal::CaptureStderr();
        char buffer[64] = "untouched";
        EXPECT_EQ(registry_.queryValue("CLSID\\{S}\\InprocServer32", "", buffer, sizeof buffer),
                  RegistryStatus::NotFound)
            << c.folder;
        EXPECT_FALSE(registry_.keyExists("CLSID\\{S}")) << c.folder;
        EXPECT_EQ(machine.setValue("CLSID\\{S}", "", "x"), RegistryStatus::Unsafe) << c.folder;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(machineLayer_.string() + " refused"), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 3) << "one line for each refused call: " << said;
        fs::permissions(c.folder, c.write, fs::perm_options::remove);
        EXPECT_TRUE(registry_.keyExists("CLSID\\{S}")) << "trusted again once " << c.folder << " is not writable";
    }

    // A refused user layer does not hide the machine's keys.
    ASSERT_EQ(registry_.createKey("CLSID"), RegistryStatus::Ok);
    fs::permissions(dataHome_ / "orvane-registry", fs::perms::others_write, fs::perm_options::add);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(registry_.keyExists("CLSID\\{S}\\InprocServer32"));
    EXPECT_EQ(registry_.createKey("Mine"), RegistryStatus::Unsafe);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("orvane-registry refused"), std::string::npos);
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
