#include "onvif/SoapAnswer.h"
#include "onvif/SoapRequest.h"
#include "onvif/UsernameToken.h"

#include <gtest/gtest.h>

namespace onvif {
namespace {

// The worked example cameras' makers publish for the PasswordDigest.
TEST(UsernameToken, DigestOfThePublishedExample)
{
    const std::string nonce = Base64Decode("LKqI6G/AikKCQrN0zqZFlg==");
    ASSERT_EQ(nonce.size(), 16u);
    EXPECT_EQ(PasswordDigest(nonce, "2010-09-16T07:50:45Z", "userpassword"), "tuOSpGlFlIXsozq4HFNeeGeFLEI=");
}

TEST(UsernameToken, Base64RoundTripsEveryPaddingAndRefusesNonsense)
{
    for (const std::string& bytes : {std::string(""), std::string("a"), std::string("ab"), std::string("abc"),
                                    std::string("\0\xff\x10\x80", 4)})
        EXPECT_EQ(Base64Decode(Base64Encode(bytes)), bytes);
    EXPECT_EQ(Base64Decode("abc"), "");
    EXPECT_EQ(Base64Decode("a*c="), "");
}

TEST(UsernameToken, CreatedFollowsTheCameraClock)
{
    EXPECT_EQ(FormatCreated(1284623445), "2010-09-16T07:50:45Z");
    const UsernameToken token = MakeUsernameToken("admin", "secret", 3600);
    const std::string expected_created = FormatCreated(std::time(nullptr) + 3600);
    EXPECT_EQ(token.created, expected_created);  // within the same second under any load but a stall
    EXPECT_EQ(token.password_digest, PasswordDigest(Base64Decode(token.nonce), token.created, "secret"));
    EXPECT_NE(MakeUsernameToken("admin", "secret", 0).nonce, token.nonce);
}

// The request is real XML whatever the user name holds, and carries the
// digest, never the password.
TEST(SoapRequest, UserNameIsTextAndPasswordStaysOut)
{
    const UsernameToken token = MakeUsernameToken("a<b&\"c", "pass<word>", 0);
    const std::string text = SoapRequest(Operation::GetStreamUri, "tok&1", &token);
    EXPECT_EQ(text.find("pass<word>"), std::string::npos);
    EXPECT_EQ(text.find("pass&lt;word"), std::string::npos);
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(text.c_str()));
    const pugi::xml_node envelope = document.document_element();
    EXPECT_EQ(Path(envelope, {"Header", "Security", "UsernameToken", "Username"}).text().as_string(),
              std::string("a<b&\"c"));
    EXPECT_EQ(Path(envelope, {"Body", "GetStreamUri", "ProfileToken"}).text().as_string(), std::string("tok&1"));
    EXPECT_EQ(Path(envelope, {"Body", "GetStreamUri", "StreamSetup", "Transport", "Protocol"}).text().as_string(),
              std::string("RTSP"));
    EXPECT_EQ(SoapRequest(Operation::GetSystemDateAndTime, {}, nullptr).find("Security"), std::string::npos);
}

}  // namespace
}  // namespace onvif
