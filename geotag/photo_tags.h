#pragma once
// The photo's tags through exiv2: its time tags and whether it has a position, read; the GPS tags
// written in place or into an XMP sidecar. Every file is written through a temporary copy in its
// folder and renamed into place, keeping its mode and modification time.
//
// Failures are reasons without the path: the caller names the file.
//
// Thread contract: call InitPhotoTags once before any other function; then one thread at a time.
#include <cstdint>
#include <string>

namespace pelmora {

struct PhotoTags {
    bool readable = false;
    std::string error;  // why not, when not readable
    std::string dateTimeOriginal;
    std::string subSecTimeOriginal;
    std::string offsetTimeOriginal;
    bool hasPosition = false;      // GPS tags in the photo or in its sidecar
    bool writableInPlace = false;  // exiv2 can write EXIF into this format
};

struct GpsFix {
    double latitude = 0;   // degrees
    double longitude = 0;  // degrees
    double altitude = 0;   // metres
    std::int64_t utcMillis = 0;
};

struct TagWrite {
    bool ok = false;
    std::string error;  // the file and the cause, when not ok
};

// Quiets exiv2's own messages (failures come back as results) and readies its XMP toolkit.
void InitPhotoTags();

PhotoTags ReadPhotoTags(const std::string& path);

// "dir/IMG_0001.xmp" for "dir/IMG_0001.CR2".
std::string SidecarPath(const std::string& photo);

// replace: an existing position (every GPS tag) is dropped first.
[[nodiscard]] TagWrite WriteGpsInPlace(const std::string& path, const GpsFix& fix, bool replace);
[[nodiscard]] TagWrite WriteGpsSidecar(const std::string& photo, const GpsFix& fix, bool replace);

}  // namespace pelmora
