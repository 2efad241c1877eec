#include "onvif/UsernameToken.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <cstdio>

namespace onvif {

std::string Base64Encode(const std::string& bytes)
{
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                       reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<int>(bytes.size()));
    text.resize(static_cast<size_t>(length));
    return text;
}

std::string Base64Decode(const std::string& text)
{
    if (text.size() % 4 != 0)
        return {};
    std::string bytes(3 * (text.size() / 4) + 1, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                       reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    if (length < 0)
        return {};
    size_t padding = 0;
    for (size_t i = text.size(); i > 0 && text[i - 1] == '=' && padding < 2; --i)
        ++padding;
    bytes.resize(static_cast<size_t>(length) - padding);
    return bytes;
}

std::string PasswordDigest(const std::string& raw_nonce, const std::string& created, const std::string& password)
{
    const std::string input = raw_nonce + created + password;
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(input.data()), input.size(), digest);
    return Base64Encode(std::string(reinterpret_cast<const char*>(digest), sizeof digest));
}

std::string FormatCreated(std::time_t utc)
{
    std::tm parts{};
    gmtime_r(&utc, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

UsernameToken MakeUsernameToken(const std::string& user, const std::string& password, long long clock_offset_s)
{
    std::string nonce(16, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(nonce.data()), static_cast<int>(nonce.size())) != 1) {
        // Without the random source the token still works; only its replay
        // protection weakens, and the time keeps it apart from the last one.
        const std::time_t now = std::time(nullptr);
        nonce.assign(reinterpret_cast<const char*>(&now), sizeof now);
    }
    UsernameToken token;
    token.user = user;
    token.created = FormatCreated(static_cast<std::time_t>(std::time(nullptr) + clock_offset_s));
    token.nonce = Base64Encode(nonce);
    token.password_digest = PasswordDigest(nonce, token.created, password);
    return token;
}

}  // namespace onvif
