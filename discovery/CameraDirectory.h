#pragma once
// The cameras of the latest search: one record per MAC, in ascending numeric
// order of address; among equal addresses the record added last stands first.
//
// A directory of one's own (a search's result) may be filled on any thread.
// The process-wide one, which the windows read, is filled on the
// user-interface thread only; a fill from any other thread stops the process
// with a line that says so.

#include "discovery/CameraRecord.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

namespace orvane {

class CameraDirectory {
public:
    CameraDirectory() = default;
    // Left on whatever thread ends the process: no thread rule here.
    ~CameraDirectory() { unlinkAll(); }
    CameraDirectory(const CameraDirectory&) = delete;
    CameraDirectory& operator=(const CameraDirectory&) = delete;
    CameraDirectory(CameraDirectory&& other) noexcept : head_(std::move(other.head_)) {}
    CameraDirectory& operator=(CameraDirectory&& other) noexcept
    {
        clear();
        head_ = std::move(other.head_);
        return *this;
    }

    void clear();
    bool isNewMac(const char* mac) const;
    void addSearchAnswer(const char* mac, const char* ip, const char* version, const char* xy,
                         const char* uid, int32_t keyId, const char* interfaceName = "");
    // Adds a copy of record's values at its place in the order.
    void insert(const CameraRecord& record);

    const CameraRecord* head() const { return head_.get(); }
    size_t size() const;

private:
    friend CameraDirectory& TheCameraDirectory();
    enum class Filler { anyThread, userInterfaceThread };
    explicit CameraDirectory(Filler filler) : filler_(filler) {}
    void requireFiller() const;
    void unlinkAll();

    std::unique_ptr<CameraRecord> head_;
    Filler filler_ = Filler::anyThread;
};

// Sets the record's four octets from its ip text, each part read as atoi does.
void SplitAddress(CameraRecord& record);

// Splits "X&Y" at its first '&'; a missing part reads as 0.
void SplitXY(const char* xy, int32_t& x, int32_t& y);

// The process-wide directory and the operations on it; every one that fills
// it belongs on the user-interface thread.
CameraDirectory& TheCameraDirectory();
void ClearCameras();
bool IsNewMac(const char* mac);
void AddSearchAnswer(const char* mac, const char* ip, const char* version, const char* xy,
                     const char* uid, int32_t keyId, const char* interfaceName = "");
void InsertCamera(const CameraRecord& record);

}  // namespace orvane
