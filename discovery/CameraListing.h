#pragma once
// The camera list written out for scripts and files: tab-separated lines (the
// list's eight cells), CSV with a header row, or a JSON array. Each row also
// names the interface its camera was heard on, empty for a hand-added row.

#include "discovery/CameraDirectory.h"
#include "discovery/CameraRow.h"

#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct ListedCamera {
    CameraRow cells;
    std::string interfaceName;
};

// The directory's cameras numbered from 1, in its order.
std::vector<ListedCamera> ListCameras(const CameraDirectory& directory);

// One line per camera, the eight cells separated by tabs.
std::string FormatCamerasTsv(const std::vector<ListedCamera>& cameras);
// Header "id,ip,mac,version,x,y,uid,keyid,interface", then a line per camera,
// lines ending in CR LF; a field holding a comma, a quote, CR or LF is quoted
// and its quotes doubled. Bytes go out as they are.
std::string FormatCamerasCsv(const std::vector<ListedCamera>& cameras);
// An array of objects with the keys id, ip, mac, version, x, y, uid, keyid
// and interface; id, x, y and keyid as numbers.
std::string FormatCamerasJson(const std::vector<ListedCamera>& cameras);

// Valid UTF-8 passes unchanged; each byte that is not part of a valid
// sequence becomes the character of the same number (U+0080 to U+00FF), so
// that every byte a camera sent shows and the result is valid UTF-8.
std::string Utf8OrLatin1(std::string_view bytes);

}  // namespace orvane
