#include "discovery/SearchAnswer.h"

#include "process/Text.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

namespace orvane {

void BuildSearchRequest(uint8_t (&request)[kSearchRequestSize])
{
    std::memset(request, 0, sizeof request);
    std::memcpy(request, "kestrelwave", 11);
    request[12] = 0x02;
}

void DecodeSearchAnswer(const uint8_t (&datagram)[kSearchAnswerSize], const sockaddr_in& sender,
                        SearchAnswer& answer)
{
    std::memset(&answer, 0, sizeof answer);
    char dotted[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &sender.sin_addr, dotted, sizeof dotted);
    CopyBounded(answer.ip, sizeof answer.ip, dotted, sizeof dotted);

    const uint8_t* mac = datagram + kAnswerMacOffset;
    std::snprintf(answer.mac, sizeof answer.mac, "%02x%02x%02x%02x%02x%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);

    const auto* text = reinterpret_cast<const char*>(datagram);
    CopyBounded(answer.version, sizeof answer.version, text + kAnswerVersionOffset, kAnswerVersionSlot);
    CopyBounded(answer.xy, sizeof answer.xy, text + kAnswerXYOffset, kAnswerXYSlot);
    CopyBounded(answer.uid, sizeof answer.uid, text + kAnswerUidOffset, kAnswerUidSlot);

    const uint8_t* key = datagram + kAnswerKeyIdOffset;
    uint32_t raw = uint32_t(key[0]) | uint32_t(key[1]) << 8 | uint32_t(key[2]) << 16 | uint32_t(key[3]) << 24;
    answer.keyId = static_cast<int32_t>(raw);
}

}  // namespace orvane
