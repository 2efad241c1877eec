#include "app/cli/FirewallHint.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace orvane::cli {
namespace {

// What the hint writes for a search that found camerasFound cameras.
std::string HintFor(size_t camerasFound, bool& printed)
{
    char* text = nullptr;
    size_t length = 0;
    std::FILE* out = ::open_memstream(&text, &length);
    if (out == nullptr)
        return "open_memstream failed";
    printed = PrintFirewallHintIfSilent(camerasFound, out);
    std::fclose(out);
    std::string result(text, length);
    std::free(text);
    return result;
}

TEST(FirewallHintTest, OneLineOnlyWhenNoCameraAnswered)
{
    bool printed = false;
    const std::string hint = HintFor(0, printed);
    EXPECT_TRUE(printed);
    ASSERT_FALSE(hint.empty());
    EXPECT_EQ(hint.find('\n'), hint.size() - 1) << "one line: " << hint;
    EXPECT_NE(hint.find("firewall"), std::string::npos) << hint;
    EXPECT_NE(hint.find("UDP port 10088"), std::string::npos) << hint;
    // The names the package's ufw profile and firewalld service carry.
    EXPECT_NE(hint.find("ufw allow Orvane"), std::string::npos) << hint;
    EXPECT_NE(hint.find("--add-service=orvane"), std::string::npos) << hint;

    for (size_t found : {size_t{1}, size_t{1000}}) {
        EXPECT_EQ(HintFor(found, printed), "") << found;
        EXPECT_FALSE(printed) << found;
    }
}

}  // namespace
}  // namespace orvane::cli
