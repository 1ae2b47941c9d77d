#pragma once
// Local time of a zone: a fixed offset (UTC, a free bias) or an IANA zone whose rules, daylight
// saving included, come from the system's zoneinfo. Time values are those of trace/time_value.h:
// seconds on the zone-free calendar, UTC for fixes.
//
// Thread contract: an object is used by one thread at a time (it caches the offset of the last
// span between transitions); copies are independent, so a worker takes its own copy.
#include <cstdint>
#include <optional>
#include <string>

#include <cctz/time_zone.h>

namespace pelmora {

// The value of "TimeZoneId" that names the computer's own zone.
inline constexpr const char* kLocalZoneId = "local";

class ZoneRules {
  public:
    // UTC.
    ZoneRules() = default;
    static ZoneRules Fixed(std::int64_t offsetSeconds);
    // An IANA name ("Europe/Berlin") or "local" for the computer's zone; nullopt when the
    // system's zoneinfo does not know the name. "local" with TZ set to a POSIX rule string that
    // names no zoneinfo file ("EST+5EDT,M3.2.0/2,M11.1.0/2") follows the rule as libc does.
    static std::optional<ZoneRules> Named(const std::string& id);

    bool IsFixed() const { return !named_; }
    // "local", the IANA name, or empty for a fixed offset.
    const std::string& Id() const { return id_; }

    // Seconds east of UTC in force at the instant utc.
    std::int64_t OffsetAt(std::int64_t utc) const;
    std::int64_t ToLocal(std::int64_t utc) const;
    // A local time skipped by a forward change maps to the instant of the change; a repeated
    // one to its first occurrence. Both keep the mapping non-decreasing, so a period whose
    // begin is not after its end stays so in UTC.
    std::int64_t ToUtc(std::int64_t local) const;
    // "(GMT+2:00)" or "(UTC)" for the offset in force at utc.
    std::string LabelAt(std::int64_t utc) const;

  private:
    std::int64_t LibcOffsetAt(std::int64_t utc) const;
    std::int64_t LibcToUtc(std::int64_t local) const;

    bool named_ = false;
    bool libc_ = false;  // offsets from localtime_r under the process's TZ rule
    std::string id_;
    cctz::time_zone zone_;
    // The offset holds on [from_, until_): between two transitions of the zone.
    mutable std::int64_t from_ = 0;
    mutable std::int64_t until_ = 0;
    mutable std::int64_t offset_ = 0;
};

// "(UTC)", "(GMT+5:30)", "(GMT-0:30)" for an offset in seconds east of UTC.
std::string OffsetLabel(std::int64_t offsetSeconds);

}  // namespace pelmora
