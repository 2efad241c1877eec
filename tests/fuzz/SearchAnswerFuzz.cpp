// A search answer from the LAN is whatever any host there sends to port 10088.
// Input: the sender's IPv4 address (4 bytes, network order), then the
// datagram, of any length. It goes through the function the search itself
// calls for each datagram; the directory keeps what earlier inputs added and
// is emptied every kInputsPerSearch inputs, as a new search would.

#include "control/SettingFields.h"
#include "discovery/CameraDirectory.h"
#include "discovery/SearchAnswer.h"
#include "discovery/SearchExchange.h"

#include <arpa/inet.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

using namespace orvane;

constexpr int kInputsPerSearch = 64;

void Fail(const char* what, const CameraRecord* record)
{
    std::fprintf(stderr, "directory broken: %s (ip %s, mac %s)\n", what, record ? record->ip : "-",
                 record ? record->mac : "-");
    std::abort();
}

uint32_t AddressOf(const CameraRecord& record)
{
    in_addr address{};
    if (::inet_pton(AF_INET, record.ip, &address) != 1)
        Fail("ip is not a dotted address", &record);
    return ntohl(address.s_addr);
}

void CheckTexts(const CameraRecord& r)
{
    if (::strnlen(r.ip, sizeof r.ip) == sizeof r.ip || ::strnlen(r.mac, sizeof r.mac) == sizeof r.mac ||
        ::strnlen(r.version, sizeof r.version) > kAnswerVersionSlot || ::strnlen(r.uid, sizeof r.uid) > kAnswerUidSlot)
        Fail("a text runs past its slot", &r);
    if (!IsMacField(r.mac))
        Fail("mac is not twelve hexadecimal digits", &r);
    const uint32_t address = AddressOf(r);
    const int32_t octets[] = {r.octet1, r.octet2, r.octet3, r.octet4};
    for (int i = 0; i < 4; ++i) {
        if (octets[i] != static_cast<int32_t>(address >> (24 - 8 * i) & 0xff))
            Fail("octets differ from ip", &r);
    }
}

// Ascending addresses, one record per MAC; returns the number of records.
size_t CheckDirectory()
{
    std::set<std::string> macs;
    const CameraRecord* previous = nullptr;
    for (const CameraRecord* r = TheCameraDirectory().head(); r; r = r->next.get()) {
        CheckTexts(*r);
        if (!macs.insert(r->mac).second)
            Fail("two records with one MAC", r);
        if (previous && AddressOf(*previous) > AddressOf(*r))
            Fail("addresses out of order", r);
        previous = r;
    }
    return macs.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int inputs = 0;
    if (++inputs % kInputsPerSearch == 0)
        ClearCameras();
    if (size < 4)
        return 0;

    sockaddr_in sender{};
    sender.sin_family = AF_INET;
    sender.sin_port = htons(kSearchCameraPort);
    std::memcpy(&sender.sin_addr.s_addr, data, 4);
    const uint8_t* bytes = data + 4;
    const size_t length = size - 4;

    // What the directory should make of it, worked out from the raw bytes.
    const bool taken = length >= 1 && length <= kSearchAnswerSize;
    char mac[20] = {};
    if (taken) {
        uint8_t m[6] = {};
        for (size_t i = 0; i < 6 && kAnswerMacOffset + i < length; ++i)
            m[i] = bytes[kAnswerMacOffset + i];
        std::snprintf(mac, sizeof mac, "%02x%02x%02x%02x%02x%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    }
    const bool fresh = taken && IsNewMac(mac);
    const size_t before = TheCameraDirectory().size();

    TakeSearchDatagram(bytes, static_cast<ssize_t>(length), sender);

    const size_t after = CheckDirectory();
    if (after != before + (fresh ? 1 : 0))
        Fail(fresh ? "a new MAC was not added" : "a dropped or repeated answer changed the directory", nullptr);
    if (fresh) {
        // Among equal addresses the answer that came last stands first.
        char dotted[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &sender.sin_addr, dotted, sizeof dotted);
        const CameraRecord* r = TheCameraDirectory().head();
        while (r && std::strcmp(r->ip, dotted) != 0)
            r = r->next.get();
        if (!r || std::strcmp(r->mac, mac) != 0)
            Fail("the new answer does not stand first at its address", r);
        if (IsNewMac(mac))
            Fail("an added MAC still reads as new", r);
    }
    return 0;
}
