#pragma once
// One fix in memory during a conversion.
#include <array>
#include <cstdint>

#include "core/time_value.h"
#include "decode/geodesy.h"
#include "decode/trace_fix.h"

namespace pelmora {

struct SatelliteEntry {
    std::uint8_t number = 0;  // 1-32, 0 for an empty slot
    std::uint8_t value1 = 0;
    std::uint8_t value2 = 0;
    std::uint8_t value3 = 0;
    std::uint16_t value4 = 0;
};

class CPointObject {
  public:
    CPointObject() = default;
    virtual ~CPointObject() = default;
    CPointObject(const CPointObject&) = default;
    CPointObject& operator=(const CPointObject&) = default;

    // Fills the point from a 22- or 73-byte record. False when the date fields are invalid or
    // the fix lies outside [begin, end]; both ends belong to the period. length must not
    // exceed the bytes available at record.
    bool ParseTraceRecord(const std::uint8_t* record, std::size_t length, bool extended,
                          TimeValue begin, TimeValue end);

    std::array<std::uint8_t, kTraceFixExtendedSize> raw{};
    TimeValue time = 0;
    std::int32_t flag13 = 0;
    std::int32_t flag12 = 0;
    double speed = 0;  // km/h
    std::int32_t x = 0, y = 0, z = 0;
    double latitudeRad = 0, longitudeRad = 0, height = 0;
    double latitude = 0, longitude = 0;  // degrees
    TimeValue localTime = 0;
    std::int32_t speedInUnit = 0;
    double distance = 0;  // metres from the previous kept point
    bool maxSpeed = false;
    bool overSpeed = false;
    std::int32_t extendedByte1 = 0, extendedByte2 = 0, extendedWord = 0;
    std::int32_t highNibble = 0, lowNibble = 0;
    std::array<SatelliteEntry, kSatelliteSlots> satellites{};
    bool isExtended = false;
    std::uint16_t speedExtension = 0;
    std::int32_t bearing = 0;  // degrees 0-359 towards the next point
    Direction direction;       // the fix on the unit sphere, for distances
};

}  // namespace pelmora
