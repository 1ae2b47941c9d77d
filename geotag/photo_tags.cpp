#include "geotag/photo_tags.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "core/atomic_file.h"
#include "core/time_value.h"

// exiv2 0.27 hands out std::auto_ptr, deprecated since C++11.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace pelmora {
namespace {

using ImagePtr = Exiv2::Image::AutoPtr;

// The whole file, when it is a regular file: nothing here replaces a link or a device.
bool ReadRegular(const std::string& path, std::vector<Exiv2::byte>& bytes, struct stat& st,
                 std::string& error) {
    if (lstat(path.c_str(), &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = std::string("not a regular file");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = std::string("read failed");
        return false;
    }
    return true;
}

// Written through a temporary in the same folder, renamed into place; the replaced file's mode
// (AtomicFile) and its access and modification times stay.
TagWrite Replace(const std::string& path, const void* data, std::size_t size,
                 const struct stat* old) {
    AtomicFile file;
    if (!file.Open(path) || !file.Write(data, size) || !file.Commit()) {
        return {false, std::strerror(errno)};
    }
    if (old != nullptr) {
        const struct timespec times[2] = {old->st_atim, old->st_mtim};
        if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
            return {false, std::string("written, but its time not kept: ") + std::strerror(errno)};
        }
    }
    return {true, {}};
}

std::string Value(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? std::string() : it->toString();
}

bool XmpHasPosition(const Exiv2::XmpData& xmp) {
    return xmp.findKey(Exiv2::XmpKey("Xmp.exif.GPSLatitude")) != xmp.end();
}

// The sidecar's XMP, empty when there is none; false when it is there but unreadable.
bool ReadSidecar(const std::string& path, Exiv2::XmpData& xmp, struct stat* st, bool& exists,
                 std::string& error) {
    std::vector<Exiv2::byte> bytes;
    struct stat local {};
    exists = lstat(path.c_str(), &local) == 0;
    if (st != nullptr) {
        *st = local;
    }
    if (!exists) {
        return true;
    }
    if (!ReadRegular(path, bytes, local, error)) {
        return false;
    }
    const std::string packet(bytes.begin(), bytes.end());
    if (Exiv2::XmpParser::decode(xmp, packet) != 0) {
        error = std::string("not readable XMP");
        return false;
    }
    return true;
}

// "d/1 m/1 s/10000": a ten-thousandth of an arc second is 3 mm.
std::string ExifCoordinate(double degrees) {
    const auto total = static_cast<long long>(std::llround(std::fabs(degrees) * 36000000.0));
    char text[64];
    std::snprintf(text, sizeof text, "%lld/1 %lld/1 %lld/10000", total / 36000000,
                  total / 600000 % 60, total % 600000);
    return text;
}

// The XMP form "DDD,MM.mmmmmmmK".
std::string XmpCoordinate(double degrees, char positive, char negative) {
    const auto total = static_cast<long long>(std::llround(std::fabs(degrees) * 600000000.0));
    char text[64];
    std::snprintf(text, sizeof text, "%lld,%02lld.%07lld%c", total / 600000000,
                  total / 10000000 % 60, total % 10000000, degrees < 0 ? negative : positive);
    return text;
}

struct UtcParts {
    std::string exifDate;  // "2026:12:08"
    std::string exifTime;  // "14/1 3/1 22500/1000"
    std::string xmpTime;   // "2026-12-08T14:03:22.500Z"
};

UtcParts SplitUtc(std::int64_t millis) {
    std::int64_t seconds = millis / 1000;
    std::int64_t rest = millis % 1000;
    if (rest < 0) {
        rest += 1000;
        seconds -= 1;
    }
    const CalendarFields f = BreakTimeValue(seconds);
    UtcParts parts;
    char text[64];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d", f.year, f.month, f.day);
    parts.exifDate = text;
    std::snprintf(text, sizeof text, "%d/1 %d/1 %lld/1000", f.hour, f.minute,
                  static_cast<long long>(f.second * 1000 + rest));
    parts.exifTime = text;
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03lldZ", f.year, f.month,
                  f.day, f.hour, f.minute, f.second, static_cast<long long>(rest));
    parts.xmpTime = text;
    return parts;
}

void SetExif(Exiv2::ExifData& exif, const char* key, Exiv2::TypeId type, const std::string& text) {
    Exiv2::Value::AutoPtr value = Exiv2::Value::create(type);
    value->read(text);
    exif[key].setValue(value.get());
}

void SetGps(Exiv2::ExifData& exif, const GpsFix& fix) {
    const UtcParts utc = SplitUtc(fix.utcMillis);
    SetExif(exif, "Exif.GPSInfo.GPSVersionID", Exiv2::unsignedByte, "2 3 0 0");
    SetExif(exif, "Exif.GPSInfo.GPSLatitudeRef", Exiv2::asciiString, fix.latitude < 0 ? "S" : "N");
    SetExif(exif, "Exif.GPSInfo.GPSLatitude", Exiv2::unsignedRational,
            ExifCoordinate(fix.latitude));
    SetExif(exif, "Exif.GPSInfo.GPSLongitudeRef", Exiv2::asciiString,
            fix.longitude < 0 ? "W" : "E");
    SetExif(exif, "Exif.GPSInfo.GPSLongitude", Exiv2::unsignedRational,
            ExifCoordinate(fix.longitude));
    SetExif(exif, "Exif.GPSInfo.GPSAltitudeRef", Exiv2::unsignedByte, fix.altitude < 0 ? "1" : "0");
    SetExif(exif, "Exif.GPSInfo.GPSAltitude", Exiv2::unsignedRational,
            std::to_string(std::llround(std::fabs(fix.altitude) * 100)) + "/100");
    SetExif(exif, "Exif.GPSInfo.GPSTimeStamp", Exiv2::unsignedRational, utc.exifTime);
    SetExif(exif, "Exif.GPSInfo.GPSDateStamp", Exiv2::asciiString, utc.exifDate);
    SetExif(exif, "Exif.GPSInfo.GPSMapDatum", Exiv2::asciiString, "WGS-84");
}

void EraseGps(Exiv2::ExifData& exif) {
    for (auto it = exif.begin(); it != exif.end();) {
        it = it->groupName() == "GPSInfo" ? exif.erase(it) : std::next(it);
    }
}

void EraseXmpGps(Exiv2::XmpData& xmp) {
    for (auto it = xmp.begin(); it != xmp.end();) {
        const bool gps = it->groupName() == "exif" && it->tagName().rfind("GPS", 0) == 0;
        it = gps ? xmp.erase(it) : std::next(it);
    }
}

void SetXmpGps(Exiv2::XmpData& xmp, const GpsFix& fix) {
    xmp["Xmp.exif.GPSVersionID"] = std::string("2.3.0.0");
    xmp["Xmp.exif.GPSLatitude"] = XmpCoordinate(fix.latitude, 'N', 'S');
    xmp["Xmp.exif.GPSLongitude"] = XmpCoordinate(fix.longitude, 'E', 'W');
    xmp["Xmp.exif.GPSAltitudeRef"] = std::string(fix.altitude < 0 ? "1" : "0");
    xmp["Xmp.exif.GPSAltitude"] =
        std::to_string(std::llround(std::fabs(fix.altitude) * 100)) + "/100";
    xmp["Xmp.exif.GPSTimeStamp"] = SplitUtc(fix.utcMillis).xmpTime;
    xmp["Xmp.exif.GPSMapDatum"] = std::string("WGS-84");
}

}  // namespace

void InitPhotoTags() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

std::string SidecarPath(const std::string& photo) {
    const std::size_t slash = photo.rfind('/');
    const std::size_t dot = photo.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && dot > (slash == std::string::npos ? 0 : slash + 1);
    return (hasExtension ? photo.substr(0, dot) : photo) + ".xmp";
}

PhotoTags ReadPhotoTags(const std::string& path) {
    PhotoTags tags;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        tags.error = std::strerror(errno);
        return tags;
    }
    if (!S_ISREG(st.st_mode)) {
        tags.error = std::string("not a regular file");
        return tags;
    }
    try {
        ImagePtr image = Exiv2::ImageFactory::open(path);
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        tags.dateTimeOriginal = Value(exif, "Exif.Photo.DateTimeOriginal");
        tags.subSecTimeOriginal = Value(exif, "Exif.Photo.SubSecTimeOriginal");
        tags.offsetTimeOriginal = Value(exif, "Exif.Photo.OffsetTimeOriginal");
        tags.hasPosition = exif.findKey(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude")) != exif.end() ||
                           XmpHasPosition(image->xmpData());
        const Exiv2::AccessMode mode =
            Exiv2::ImageFactory::checkMode(image->imageType(), Exiv2::mdExif);
        tags.writableInPlace = mode == Exiv2::amWrite || mode == Exiv2::amReadWrite;
    } catch (const Exiv2::AnyError& e) {
        tags.error = e.what();
        return tags;
    }
    Exiv2::XmpData sidecar;
    bool exists = false;
    std::string error;
    if (ReadSidecar(SidecarPath(path), sidecar, nullptr, exists, error) && exists) {
        tags.hasPosition = tags.hasPosition || XmpHasPosition(sidecar);
    }
    tags.readable = true;
    return tags;
}

TagWrite WriteGpsInPlace(const std::string& path, const GpsFix& fix, bool replace) {
    std::vector<Exiv2::byte> bytes;
    struct stat st {};
    std::string error;
    if (!ReadRegular(path, bytes, st, error)) {
        return {false, error};
    }
    Exiv2::DataBuf out;
    try {
        ImagePtr image = Exiv2::ImageFactory::open(bytes.data(), static_cast<long>(bytes.size()));
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        if (replace) {
            EraseGps(exif);
        }
        SetGps(exif, fix);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0) {
            return {false, std::string("exiv2 lost its copy")};
        }
        out = io.read(static_cast<long>(io.size()));
        io.close();
    } catch (const Exiv2::AnyError& e) {
        return {false, e.what()};
    }
    if (out.size_ <= 0) {
        return {false, std::string("exiv2 gave an empty file")};
    }
    return Replace(path, out.pData_, static_cast<std::size_t>(out.size_), &st);
}

TagWrite WriteGpsSidecar(const std::string& photo, const GpsFix& fix, bool replace) {
    const std::string path = SidecarPath(photo);
    Exiv2::XmpData xmp;
    struct stat st {};
    bool exists = false;
    std::string error;
    if (!ReadSidecar(path, xmp, &st, exists, error)) {
        return {false, path + ": " + error};
    }
    std::string packet;
    try {
        if (replace) {
            EraseXmpGps(xmp);
        }
        SetXmpGps(xmp, fix);
        if (Exiv2::XmpParser::encode(packet, xmp, Exiv2::XmpParser::useCompactFormat, 0) != 0) {
            return {false, std::string("exiv2 could not write the XMP")};
        }
    } catch (const Exiv2::AnyError& e) {
        return {false, e.what()};
    }
    TagWrite write = Replace(path, packet.data(), packet.size(), exists ? &st : nullptr);
    if (!write.ok) {
        write.error = path + ": " + write.error;
    }
    return write;
}

}  // namespace pelmora

#pragma GCC diagnostic pop
