// The list written for scripts and files: quoting, empty fields and bytes
// that are not UTF-8, read back with a real CSV split and a real JSON parser.

#include "discovery/CameraListing.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace orvane {
namespace {

ListedCamera Camera(int id, const char* ip, const char* version, const char* uid, const char* keyId,
                    const char* interfaceName)
{
    return {MakeCameraRow(id, ip, "001a2b3c4d5e", version, -3, 45, uid, keyId), interfaceName};
}

// RFC 4180 records split the way a reader does: quoted fields may hold
// commas, CR LF and doubled quotes.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(field);
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.back().push_back(field);
            field.clear();
            rows.emplace_back();
            ++i;
        } else {
            field += c;
        }
    }
    rows.pop_back();  // after the last CR LF
    return rows;
}

TEST(CameraListing, CsvQuotesWhatNeedsItAndKeepsBytesAsTheyAre)
{
    const std::vector<ListedCamera> cameras = {
        Camera(1, "10.0.0.2", "V1,2", "say \"hi\"", "5", "eth0"),
        Camera(2, "10.0.0.3", "", "line\r\nbreak", "-1", ""),
        Camera(3, "10.0.0.4", "\xff\xfe", "\xe4\xb8\xad", "0", "wlan0"),
    };
    const std::string text = FormatCamerasCsv(cameras);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "id,ip,mac,version,x,y,uid,keyid,interface");
    EXPECT_NE(text.find("\"V1,2\""), std::string::npos);
    EXPECT_NE(text.find("\"say \"\"hi\"\"\""), std::string::npos);
    const auto rows = ReadCsv(text);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1], (std::vector<std::string>{"1", "10.0.0.2", "001a2b3c4d5e", "V1,2", "-3", "45", "say \"hi\"", "5", "eth0"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"2", "10.0.0.3", "001a2b3c4d5e", "", "-3", "45", "line\r\nbreak", "-1", ""}));
    EXPECT_EQ(rows[3][3], "\xff\xfe");
    EXPECT_EQ(rows[3][6], "\xe4\xb8\xad");
}

TEST(CameraListing, JsonParsesWithNumbersAsNumbersAndEveryByteShown)
{
    const std::vector<ListedCamera> cameras = {
        Camera(1, "10.0.0.2", "V\xff", "\xe4\xb8\xad\"\\\n", "-1", "eth0"),
        Camera(2, "10.0.0.3", "", "", "2147483647", ""),
    };
    const nlohmann::ordered_json list = nlohmann::ordered_json::parse(FormatCamerasJson(cameras));
    ASSERT_TRUE(list.is_array());
    ASSERT_EQ(list.size(), 2u);
    const nlohmann::ordered_json& first = list[0];
    EXPECT_EQ(first["id"], 1);
    EXPECT_EQ(first["x"], -3);
    EXPECT_EQ(first["y"], 45);
    EXPECT_EQ(first["keyid"], -1);
    EXPECT_TRUE(first["keyid"].is_number_integer());
    EXPECT_EQ(first["ip"], "10.0.0.2");
    EXPECT_EQ(first["version"], "V\xc3\xbf");  // the stray 0xff as U+00FF
    EXPECT_EQ(first["uid"], "\xe4\xb8\xad\"\\\n");
    EXPECT_EQ(first["interface"], "eth0");
    EXPECT_EQ(list[1]["keyid"], 2147483647);
    EXPECT_EQ(list[1]["uid"], "");
    EXPECT_EQ(list[1]["interface"], "");
    std::vector<std::string> keys;
    for (const auto& item : first.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"id", "ip", "mac", "version", "x", "y", "uid", "keyid", "interface"}));
}

TEST(CameraListing, EmptyListsAreStillWellFormed)
{
    EXPECT_EQ(FormatCamerasTsv({}), "");
    EXPECT_EQ(FormatCamerasCsv({}), "id,ip,mac,version,x,y,uid,keyid,interface\r\n");
    EXPECT_EQ(nlohmann::json::parse(FormatCamerasJson({})), nlohmann::json::array());
}

TEST(CameraListing, TsvIsTheListsEightCells)
{
    EXPECT_EQ(FormatCamerasTsv({Camera(4, "10.0.0.2", "V2", "U", "7", "eth0")}),
              "4\t10.0.0.2\t001a2b3c4d5e\tV2\t-3\t45\tU\t7\n");
}

TEST(CameraListing, Utf8PassesAndStrayBytesBecomeTheirOwnCharacters)
{
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"\xe4\xb8\xad\xe6\x96\x87", "\xe4\xb8\xad\xe6\x96\x87"},  // 中文
        {"\xf0\x9f\x93\xb7", "\xf0\x9f\x93\xb7"},                  // a four-byte character
        {"\x80", "\xc2\x80"},
        {"\xc3", "\xc3\x83"},                                      // cut short at the end
        {"\xe4\xb8", "\xc3\xa4\xc2\xb8"},
        {"\xc0\xaf", "\xc3\x80\xc2\xaf"},                          // overlong '/'
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},              // a surrogate
        {"\xf4\x90\x80\x80", "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80"},  // past U+10FFFF
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8OrLatin1(c.in), c.out) << testing::PrintToString(c.in);
}

}  // namespace
}  // namespace orvane
