#include "discovery/CameraDirectory.h"

#include "process/MainThread.h"
#include "process/Text.h"

#include <cstring>

namespace orvane {
namespace {

// Negative: a stands before b. Zero: equal addresses.
int CompareOctets(const CameraRecord& a, const CameraRecord& b)
{
    const int32_t left[] = {a.octet1, a.octet2, a.octet3, a.octet4};
    const int32_t right[] = {b.octet1, b.octet2, b.octet3, b.octet4};
    for (int i = 0; i < 4; ++i) {
        if (left[i] != right[i])
            return left[i] < right[i] ? -1 : 1;
    }
    return 0;
}

}  // namespace

void CameraDirectory::clear()
{
    requireFiller();
    unlinkAll();
}

void CameraDirectory::unlinkAll()
{
    // Unlinked one by one: a long chain must not recurse through destructors.
    while (head_)
        head_ = std::move(head_->next);
}

void CameraDirectory::requireFiller() const
{
    if (filler_ == Filler::userInterfaceThread)
        RequireMainThread("the process-wide camera directory filled");
}

bool CameraDirectory::isNewMac(const char* mac) const
{
    for (const CameraRecord* r = head_.get(); r; r = r->next.get()) {
        if (std::strcmp(r->mac, mac) == 0)
            return false;
    }
    return true;
}

void CameraDirectory::addSearchAnswer(const char* mac, const char* ip, const char* version,
                                      const char* xy, const char* uid, int32_t keyId,
                                      const char* interfaceName)
{
    requireFiller();
    if (!isNewMac(mac))
        return;
    CameraRecord record;
    SplitXY(xy, record.x, record.y);
    CopyBounded(record.ip, sizeof record.ip, ip, sizeof record.ip - 1);
    CopyBounded(record.mac, sizeof record.mac, mac, sizeof record.mac - 1);
    CopyBounded(record.version, sizeof record.version, version, sizeof record.version - 1);
    CopyBounded(record.uid, sizeof record.uid, uid, sizeof record.uid - 1);
    record.keyId = keyId;
    CopyBounded(record.interfaceName, sizeof record.interfaceName, interfaceName, sizeof record.interfaceName - 1);
    SplitAddress(record);
    insert(record);
}

void CameraDirectory::insert(const CameraRecord& record)
{
    requireFiller();
    auto fresh = std::make_unique<CameraRecord>();
    std::memcpy(fresh->ip, record.ip, sizeof fresh->ip);
    std::memcpy(fresh->mac, record.mac, sizeof fresh->mac);
    std::memcpy(fresh->version, record.version, sizeof fresh->version);
    std::memcpy(fresh->uid, record.uid, sizeof fresh->uid);
    fresh->octet1 = record.octet1;
    fresh->octet2 = record.octet2;
    fresh->octet3 = record.octet3;
    fresh->octet4 = record.octet4;
    fresh->x = record.x;
    fresh->y = record.y;
    fresh->keyId = record.keyId;
    std::memcpy(fresh->interfaceName, record.interfaceName, sizeof fresh->interfaceName);

    // Walk to the first record that does not stand before the new one; an
    // equal address goes in front, so the later answer stands first.
    std::unique_ptr<CameraRecord>* link = &head_;
    while (*link && CompareOctets(*fresh, **link) > 0)
        link = &(*link)->next;
    fresh->next = std::move(*link);
    *link = std::move(fresh);
}

size_t CameraDirectory::size() const
{
    size_t count = 0;
    for (const CameraRecord* r = head_.get(); r; r = r->next.get())
        ++count;
    return count;
}

void SplitAddress(CameraRecord& record)
{
    int32_t* octets[] = {&record.octet1, &record.octet2, &record.octet3, &record.octet4};
    const char* part = record.ip;
    for (int i = 0; i < 4 && part; ++i) {
        *octets[i] = ReadDecimal(part);
        part = std::strchr(part, '.');
        if (part)
            ++part;
    }
}

void SplitXY(const char* xy, int32_t& x, int32_t& y)
{
    x = ReadDecimal(xy);
    const char* amp = std::strchr(xy, '&');
    y = amp ? ReadDecimal(amp + 1) : 0;
}

CameraDirectory& TheCameraDirectory()
{
    static CameraDirectory directory(CameraDirectory::Filler::userInterfaceThread);
    return directory;
}

void ClearCameras() { TheCameraDirectory().clear(); }

bool IsNewMac(const char* mac) { return TheCameraDirectory().isNewMac(mac); }

void AddSearchAnswer(const char* mac, const char* ip, const char* version, const char* xy,
                     const char* uid, int32_t keyId, const char* interfaceName)
{
    TheCameraDirectory().addSearchAnswer(mac, ip, version, xy, uid, keyId, interfaceName);
}

void InsertCamera(const CameraRecord& record) { TheCameraDirectory().insert(record); }

}  // namespace orvane
