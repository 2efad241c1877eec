// The numbers the tool reads from text it does not control: the camera's reply
// to an upload (up to 1024 bytes, read as atoi reads them) and the operator's
// setting fields. ReadDecimal is held against strtoll, which reads the same
// syntax and saturates the same way once clamped to int.

#include "control/FileUpload.h"
#include "control/SettingFields.h"
#include "process/Text.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace orvane;

void Fail(const char* what, const char* text)
{
    std::fprintf(stderr, "%s: \"%s\"\n", what, text);
    std::abort();
}

int ClampedStrtoll(const char* text)
{
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

void CheckReply(const uint8_t* data, size_t size)
{
    // A stream receive takes at most the buffer's 1024 bytes; the rest stays unread.
    char reply[kUploadReplySize + 1] = {};
    const size_t received = size < static_cast<size_t>(kUploadReplySize) ? size : kUploadReplySize;
    std::memcpy(reply, data, received);
    const int number = UploadResult(ReplyMeaning::Number, reply, static_cast<ssize_t>(received));
    const int accepted = UploadResult(ReplyMeaning::AlwaysAccepted, reply, static_cast<ssize_t>(received));
    if (received == 0) {
        if (number != kUploadNoReply || accepted != kUploadNoReply)
            Fail("no reply gave a result", reply);
        return;
    }
    if (accepted != kOnvifAccepted)
        Fail("an address-list reply was not accepted", reply);
    if (number != ClampedStrtoll(reply))
        Fail("reply read differently from strtoll", reply);
}

void CheckFields(const std::string& text)
{
    const char* field = text.c_str();
    IsMacField(field);
    IsUidField(field);
    int value = 0;
    if (!ParseWholeInt(field, value))
        return;
    // A whole number reads the same to both readers, and its own text parses back.
    if (ReadDecimal(field) != value)
        Fail("ParseWholeInt and ReadDecimal disagree", field);
    int again = 0;
    if (!ParseWholeInt(std::to_string(value).c_str(), again) || again != value)
        Fail("a parsed number does not parse back", field);
    IsXField(value);
    IsYField(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckReply(data, size);
    // A field is text up to its first zero byte, as the window hands it over.
    CheckFields(std::string(reinterpret_cast<const char*>(data), ::strnlen(reinterpret_cast<const char*>(data), size)));
    return 0;
}
