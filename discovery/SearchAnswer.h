#pragma once
// The discovery datagrams: the 43-byte request and the decoding of an answer
// of at most 208 bytes. Nothing in an answer is verified; a short datagram
// reads as if its missing bytes were zero.

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

namespace orvane {

constexpr size_t kSearchRequestSize = 43;
constexpr size_t kSearchAnswerSize = 208;
constexpr unsigned short kSearchLocalPort = 10088;
constexpr unsigned short kSearchCameraPort = 6789;

constexpr size_t kAnswerMacOffset = 23;
constexpr size_t kAnswerKeyIdOffset = 156;
constexpr size_t kAnswerVersionOffset = 164;
constexpr size_t kAnswerXYOffset = 174;
constexpr size_t kAnswerUidOffset = 184;
constexpr size_t kAnswerVersionSlot = 10;
constexpr size_t kAnswerXYSlot = 10;
constexpr size_t kAnswerUidSlot = 24;

struct SearchAnswer {
    char mac[20];
    char ip[20];
    char version[20];
    char xy[20];
    char uid[64];
    int32_t keyId;
};

void BuildSearchRequest(uint8_t (&request)[kSearchRequestSize]);

// Decodes a zero-filled 208-byte buffer holding one received datagram. Each
// text ends at its first zero byte and never runs past its slot.
void DecodeSearchAnswer(const uint8_t (&datagram)[kSearchAnswerSize], const sockaddr_in& sender,
                        SearchAnswer& answer);

}  // namespace orvane
