#include "control/FileDigest.h"

#include "control/OpenFile.h"

#include <openssl/evp.h>

#include <cstring>
#include <memory>

namespace orvane {
namespace {
struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;
}  // namespace

std::string BytesToHex(const unsigned char* bytes, size_t count)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex(2 * count, '0');
    for (size_t i = 0; i < count; ++i) {
        hex[2 * i] = kDigits[bytes[i] >> 4];
        hex[2 * i + 1] = kDigits[bytes[i] & 0x0f];
    }
    return hex;
}

int GetFileMd5(const char* path, char* digestText)
{
    OpenFile file = OpenForUpload(path);
    if (!file)
        return 0;
    DigestContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1)
        return 0;
    unsigned char block[kDigestReadBlock];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) {
        if (EVP_DigestUpdate(context.get(), block, got) != 1)
            return 0;
    }
    if (std::ferror(file.get()))
        return 0;
    file.reset();

    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &digestLength) != 1 || digestLength != 16)
        return 0;
    std::string hex = BytesToHex(digest, digestLength);
    std::memcpy(digestText, hex.data(), kDigestTextLength);
    return kDigestTextLength;
}

}  // namespace orvane
