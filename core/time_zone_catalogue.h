#pragma once
// The time-zone catalogue the Application Setting dialog offers, sorted from the zones west of
// UTC to those east of it. The zones come from a TimeZoneSource so tests can feed their own.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pelmora {

// The offsets of one zone. Bias follows the convention UTC = local + Bias, so east is negative.
struct RegTziFormat {
    std::int32_t Bias = 0;
    std::int32_t StandardBias = 0;
    std::int32_t DaylightBias = 0;
};

// One zone of the catalogue.
struct CRegTimeZoneInfo {
    std::string Display;  // "(UTC+08:00) Asia/Taipei"
    std::string Dlt;      // daylight-time name, kept, not used
    std::string Std;      // standard-time name: sort tie-break, identifies the computer's zone
    std::string MapID;    // kept, not used
    std::int32_t Index = 0;
    RegTziFormat TZI;
    std::string Id;  // the zone's identifier ("Asia/Taipei"); finds the computer's zone exactly
};

// The computer's zone as the time-zone catalogue compares it.
struct ComputerZoneInfo {
    std::int32_t Bias = 0;  // minus the standard (never daylight) offset, in minutes
    std::int32_t StandardBias = 0;
    std::string Std;
    std::string Id;
};

class TimeZoneSource {
  public:
    virtual ~TimeZoneSource() = default;
    // Every zone the system knows, in its own order; empty when it knows none.
    virtual std::vector<CRegTimeZoneInfo> Zones() const = 0;
    virtual ComputerZoneInfo ComputerZone() const = 0;
};

class CTimeZoneInfoManager {
  public:
    // Loads the catalogue at once; it is not refreshed afterwards.
    explicit CTimeZoneInfoManager(const TimeZoneSource& source);
    virtual ~CTimeZoneInfoManager() = default;

    void LoadCatalogue(const TimeZoneSource& source);
    // The catalogue position of the computer's zone: by its identifier, else the first entry with
    // its offsets and standard name, else the first with its offsets, else 0.
    int FindComputerZone(const ComputerZoneInfo& computer) const;

    int Count() const { return static_cast<int>(catalogue_.size()); }
    // Valid for 0 <= index < Count().
    const CRegTimeZoneInfo& At(int index) const {
        return catalogue_.at(static_cast<std::size_t>(index));
    }
    bool IsValidIndex(int index) const { return index >= 0 && index < Count(); }

  private:
    std::vector<CRegTimeZoneInfo> catalogue_;
};

// Largest Bias first (west to east); equal Bias by Std in byte order; the sort is stable.
void SortTimeZoneCatalogue(std::vector<CRegTimeZoneInfo>& catalogue);

}  // namespace pelmora
