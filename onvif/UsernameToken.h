#pragma once
// The WS-Security UsernameToken with a PasswordDigest, as cameras check it:
// Base64(SHA-1(nonce + created + password)) with the raw nonce bytes and the
// creation time as the camera's clock reads it.

#include <ctime>
#include <string>

namespace onvif {

struct UsernameToken {
    std::string user;
    std::string password_digest;  // Base64
    std::string nonce;            // Base64
    std::string created;          // 2010-09-16T07:50:45Z
};

std::string Base64Encode(const std::string& bytes);
// Empty when text is not Base64.
std::string Base64Decode(const std::string& text);

std::string PasswordDigest(const std::string& raw_nonce, const std::string& created, const std::string& password);

// The time in the form the token carries.
std::string FormatCreated(std::time_t utc);

// A token for now on a camera whose clock is clock_offset_s ahead of ours,
// with a fresh random nonce.
UsernameToken MakeUsernameToken(const std::string& user, const std::string& password, long long clock_offset_s);

}  // namespace onvif
