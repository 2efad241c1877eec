#pragma once

#include <cstdint>
#include <memory>

namespace orvane {

// One camera that answered the latest search. Texts are zero-terminated and
// always fit their slots; the octets are the sort key, split from ip.
struct CameraRecord {
    char ip[20] = {};
    char mac[20] = {};
    char version[20] = {};
    int32_t octet1 = -1;
    int32_t octet2 = -1;
    int32_t octet3 = -1;
    int32_t octet4 = -1;
    int32_t x = 0;
    int32_t y = 0;
    char uid[64] = {};
    int32_t keyId = 1;
    // Where the answer came in (e.g. "eth0"); not one of the list's cells.
    char interfaceName[16] = {};
    std::unique_ptr<CameraRecord> next;
};

}  // namespace orvane
