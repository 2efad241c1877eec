#include "preview/PluginRegistration.h"

#include "registry/ClassRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orvane {
namespace {

namespace fs = std::filesystem;

constexpr char kProbeKey[] = "CLSID\\" VIDRA_SERVER_CLSID "\\InprocServer32";

enum class Probe { Missing, NamesMissingFile, NamesExistingFile };

// A temporary XDG data folder and a call log for the stand-in libraries.
class PluginRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "orvane-preview-test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        ::setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
        ::setenv(ClassRegistry::kMachineFolderVariable, (folder_ / "machine").c_str(), 1);
        ::unsetenv(ClassRegistry::kWriteLayerVariable);
        ::setenv("ORVANE_REGISTRATION_LOG", (folder_ / "calls").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(folder_); }

    void registerServerPath(const std::string& path)
    {
        ASSERT_EQ(registry_.createKey(kProbeKey), RegistryStatus::Ok);
        ASSERT_EQ(registry_.setValue(kProbeKey, "", path), RegistryStatus::Ok);
    }

    std::string makeFile(const std::string& name)
    {
        fs::path path = folder_ / name;
        std::ofstream(path) << "not a library";
        return path.string();
    }

    // A file whose absolute path is exactly length bytes long.
    std::string makeFileWithPathLength(size_t length)
    {
        std::string path = folder_.string();
        while (length - path.size() > 120) {
            path += "/" + std::string(100, 'd');
            fs::create_directory(path);
        }
        path += "/" + std::string(length - path.size() - 1, 'f');
        std::ofstream(path) << "x";
        EXPECT_EQ(path.size(), length);
        return path;
    }

    void setUpProbe(Probe probe)
    {
        if (probe == Probe::NamesMissingFile)
            registerServerPath((folder_ / "absent.so").string());
        else if (probe == Probe::NamesExistingFile)
            registerServerPath(makeFile("registered.so"));
    }

    std::vector<std::string> calls() const
    {
        std::vector<std::string> lines;
        std::ifstream log(folder_ / "calls");
        for (std::string line; std::getline(log, line);)
            lines.push_back(line);
        return lines;
    }

    fs::path folder_;
    ClassRegistry registry_;
};

TEST_F(PluginRegistrationTest, ServerIsPresentOnlyWhenTheRegisteredFileExists)
{
    EXPECT_FALSE(IsPluginServerPresent()) << "no key";

    ASSERT_EQ(registry_.createKey(kProbeKey), RegistryStatus::Ok);
    EXPECT_FALSE(IsPluginServerPresent()) << "key without a value: the empty path";

    registerServerPath((folder_ / "absent.so").string());
    EXPECT_FALSE(IsPluginServerPresent()) << "file missing";

    registerServerPath(folder_.string());
    EXPECT_FALSE(IsPluginServerPresent()) << "a folder is not a server file";

    const std::string existing = makeFile("registered.so");
    registerServerPath(existing);
    EXPECT_TRUE(IsPluginServerPresent());

    // 259 bytes and the terminating zero fill the 260-byte buffer exactly;
    // one more does not fit and must not be cut to a shorter path.
    registerServerPath(makeFileWithPathLength(259));
    EXPECT_TRUE(IsPluginServerPresent());
    registerServerPath(makeFileWithPathLength(260));
    EXPECT_FALSE(IsPluginServerPresent());
}

TEST_F(PluginRegistrationTest, RegisteredMeansTheProgIdHasItsClsidKey)
{
    ASSERT_EQ(registry_.createKey(VIDRA_PROGID), RegistryStatus::Ok);
    EXPECT_FALSE(IsPluginRegistered());
    ASSERT_EQ(registry_.createKey(VIDRA_PROGID "\\Clsid"), RegistryStatus::Ok);
    EXPECT_TRUE(IsPluginRegistered());
}

TEST_F(PluginRegistrationTest, AMachineWideRegistrationCountsUnlessTheUsersOwnKeyHidesIt)
{
    const ClassRegistry machine(RegistryLayer::Machine);
    ASSERT_EQ(machine.createKey(VIDRA_PROGID "\\Clsid"), RegistryStatus::Ok);
    ASSERT_EQ(machine.createKey(kProbeKey), RegistryStatus::Ok);
    ASSERT_EQ(machine.setValue(kProbeKey, "", makeFile("machine.so")), RegistryStatus::Ok);
    EXPECT_TRUE(IsPluginRegistered());
    EXPECT_TRUE(IsPluginServerPresent());

    registerServerPath((folder_ / "absent.so").string());
    EXPECT_FALSE(IsPluginServerPresent()) << "the user's key names a missing file and hides the machine's";
    ASSERT_EQ(registry_.deleteTree("CLSID"), RegistryStatus::Ok);
    EXPECT_TRUE(IsPluginServerPresent());
}

TEST_F(PluginRegistrationTest, RegActivexUnregistersOnlyAPresentServerAndAlwaysRegisters)
{
    struct Case {
        const char* what;
        Probe probe;
        const char* library;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"key missing", Probe::Missing, DOUBLE_BOTH, {"both register"}},
        {"file missing", Probe::NamesMissingFile, DOUBLE_BOTH, {"both register"}},
        // The unregister step fails in the stand-in; registering follows all the same.
        {"server present", Probe::NamesExistingFile, DOUBLE_BOTH, {"both unregister", "both register"}},
        {"library missing", Probe::NamesExistingFile, "liborvane-no-such-plugin.so", {}},
        {"only register exported", Probe::NamesExistingFile, DOUBLE_REGISTER_ONLY, {"register-only register"}},
        {"only register, key missing", Probe::Missing, DOUBLE_REGISTER_ONLY, {"register-only register"}},
        {"another interface version", Probe::NamesExistingFile, DOUBLE_OTHER_VERSION, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        registry_.deleteTree("CLSID");
        fs::remove(folder_ / "calls");
        setUpProbe(c.probe);
        OnRegActivex(c.library);
        EXPECT_EQ(calls(), c.expected);
    }
}

TEST_F(PluginRegistrationTest, APluginOfAnotherInterfaceVersionIsRefusedWithOneLine)
{
    setUpProbe(Probe::NamesExistingFile);
    testing::internal::CaptureStderr();
    OnRegActivex(DOUBLE_OTHER_VERSION);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(calls().empty());
    const std::string expected = std::string("orvane: ") + DOUBLE_OTHER_VERSION +
                                 " is not used: it is built for another interface version (this Orvane needs video "
                                 "plug-in interface version " + std::to_string(VIDRA_INTERFACE_VERSION) + ", found " +
                                 std::to_string(VIDRA_INTERFACE_VERSION + 1) + ")\n";
    EXPECT_EQ(said, expected);

    // The host's own version passes without a word.
    testing::internal::CaptureStderr();
    OnRegActivex(DOUBLE_BOTH);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(calls(), (std::vector<std::string>{"both unregister", "both register"}));
}

}  // namespace
}  // namespace orvane
