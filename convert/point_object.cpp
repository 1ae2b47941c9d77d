#include "convert/point_object.h"

#include <algorithm>
#include <cstring>

#include "decode/geodesy.h"

namespace pelmora {

bool CPointObject::ParseTraceRecord(const std::uint8_t* record, std::size_t length, bool extended,
                                    TimeValue begin, TimeValue end) {
    isExtended = extended;
    const std::size_t n = std::min(length, raw.size());
    std::memcpy(raw.data(), record, n);
    if (n < 20) {
        return false;
    }
    const TraceFixDateTime f = DecodeTraceFixDateTime(record);
    if (f.year < 1970 || f.year > 3000 || f.month < 1 || f.month > 12 || f.day < 1 || f.day > 31 ||
        f.hour > 23) {
        return false;
    }
    const TimeValue t = MakeTimeValue(f.year, f.month, f.day, f.hour, f.minute, f.second);
    if (t < begin || t > end) {
        return false;
    }
    time = t;
    x = ReadLe32(record + 4);
    y = ReadLe32(record + 8);
    z = ReadLe32(record + 12);
    const FixGeometry g = FixGeometryOf(x, y, z);
    latitudeRad = g.latitudeRad;
    longitudeRad = g.longitudeRad;
    height = g.height;
    direction = g.direction;
    latitude = latitudeRad * kDegreesPerRadian;
    longitude = longitudeRad * kDegreesPerRadian;

    const std::uint16_t extension = ReadLe16(record + 16);
    const std::uint16_t flags = ReadLe16(record + 18);
    speedExtension = static_cast<std::uint16_t>(extension & 0xFFF);
    const int tenths = extension >> 12;
    flag13 = (flags >> 13) & 1;
    flag12 = (flags >> 12) & 1;
    speed = flags & 0x3FF;
    if (tenths >= 1) {
        speed /= 10.0;
    }
    if (!extended) {
        return true;
    }
    if (n < kTraceFixExtendedSize) {
        return false;
    }
    extendedByte1 = record[20];
    extendedByte2 = record[21];
    extendedWord = ReadLe16(record + 22);
    highNibble = record[24] >> 4;
    lowNibble = record[24] & 0x0F;
    for (int i = 0; i < kSatelliteSlots; ++i) {
        const std::uint8_t* slot = record + 25 + 4 * i;
        const std::uint16_t a = ReadLe16(slot);
        const std::uint16_t b = ReadLe16(slot + 2);
        SatelliteEntry& s = satellites[static_cast<std::size_t>(i)];
        s = SatelliteEntry{};
        if (a == 0 && b == 0) {
            continue;
        }
        s.number = static_cast<std::uint8_t>((a >> 11) + 1);
        s.value1 = static_cast<std::uint8_t>((a >> 5) & 0x3F);
        s.value2 = static_cast<std::uint8_t>(a & 0x1F);
        s.value3 = static_cast<std::uint8_t>(b & 0x7F);
        s.value4 = static_cast<std::uint16_t>(b >> 7);
    }
    return true;
}

}  // namespace pelmora
