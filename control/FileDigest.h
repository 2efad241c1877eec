#pragma once
// The digest an upload header carries: the first 16 characters of the file's
// lower-case hexadecimal MD5, that is its first 8 digest bytes.

#include <cstddef>
#include <string>

namespace orvane {

constexpr int kDigestTextLength = 16;
constexpr size_t kDigestReadBlock = 2048;

// The 2 * count characters of bytes in lower-case hexadecimal, high half first.
std::string BytesToHex(const unsigned char* bytes, size_t count);

// Writes the 16 digest characters of the file at path into digestText (not
// terminated; the caller ends the text) and returns 16. Returns 0 and writes
// nothing when the file cannot be opened or read.
int GetFileMd5(const char* path, char* digestText);

}  // namespace orvane
