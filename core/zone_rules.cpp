#include "core/zone_rules.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

#include <cctz/civil_time.h>

namespace pelmora {
namespace {

using Instant = cctz::time_point<cctz::seconds>;

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
// About 35 000 years either side of 1970: beyond it the offset in force at the limit holds, which
// keeps the library's calendar arithmetic far from overflow for any value a file can hold.
constexpr std::int64_t kLimit = std::int64_t{1} << 40;

std::int64_t Clamp(std::int64_t t) {
    return std::clamp(t, -kLimit, kLimit);
}

std::int64_t SecondsOf(Instant tp) {
    return tp.time_since_epoch().count();
}

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? kMax : kMin;
    }
    return sum;
}

// Only names of the zoneinfo tree: no absolute paths and no way out of it.
bool IsZoneName(const std::string& id) {
    if (id.empty() || id.size() > 64 || id.front() == '/' || id.find("..") != std::string::npos) {
        return false;
    }
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '/' || c == '_' || c == '-' || c == '+';
    });
}

}  // namespace

ZoneRules ZoneRules::Fixed(std::int64_t offsetSeconds) {
    ZoneRules z;
    z.from_ = kMin;
    z.until_ = kMax;
    z.offset_ = offsetSeconds;
    return z;
}

std::optional<ZoneRules> ZoneRules::Named(const std::string& id) {
    ZoneRules z;
    if (id == kLocalZoneId) {
        z.zone_ = cctz::local_time_zone();
        // The zoneinfo library reads a TZ that names a file; a rule string it would take for
        // UTC, so libc, which reads both, gives the offsets then.
        const char* tz = std::getenv("TZ");
        cctz::time_zone named;
        if (tz != nullptr && *tz != '\0' &&
            !cctz::load_time_zone(tz[0] == ':' ? tz + 1 : tz, &named)) {
            ::tzset();
            z.libc_ = true;
        }
    } else if (!IsZoneName(id) || !cctz::load_time_zone(id, &z.zone_)) {
        return std::nullopt;
    }
    z.named_ = true;
    z.id_ = id;
    z.from_ = 0;  // empty span: the first lookup fills it
    z.until_ = 0;
    return z;
}

std::int64_t ZoneRules::LibcOffsetAt(std::int64_t utc) const {
    // Rule strings change at whole minutes of local time: one look-up a minute of fixes.
    const std::int64_t t = Clamp(utc);
    const std::time_t when = static_cast<std::time_t>(t);
    std::tm fields{};
    if (::localtime_r(&when, &fields) != nullptr) {
        offset_ = fields.tm_gmtoff;
    }
    from_ = t - ((t % 60) + 60) % 60;
    until_ = from_ + 60;
    if (utc != t) {
        from_ = utc > 0 ? kLimit : kMin;
        until_ = utc > 0 ? kMax : -kLimit;
    }
    return offset_;
}

std::int64_t ZoneRules::LibcToUtc(std::int64_t local) const {
    // The offsets half a day either side hold every change near local.
    const std::int64_t before = OffsetAt(local - 43200);
    const std::int64_t after = OffsetAt(local + 43200);
    std::int64_t best = kMax;
    for (const std::int64_t offset : {before, after}) {
        const std::int64_t utc = local - offset;
        if (OffsetAt(utc) == offset) {
            best = std::min(best, utc);  // a repeated time: its first occurrence
        }
    }
    if (best != kMax) {
        return best;
    }
    // Skipped by a forward change: the change's instant, the first second of the new offset.
    std::int64_t lo = local - after;
    std::int64_t hi = local - before;
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (OffsetAt(mid) == after) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

std::int64_t ZoneRules::OffsetAt(std::int64_t utc) const {
    if (utc >= from_ && utc < until_) {
        return offset_;
    }
    if (libc_) {
        return LibcOffsetAt(utc);
    }
    // A trace runs forward through long spans between transitions, so one lookup of the zone's
    // rules serves thousands of fixes.
    const std::int64_t t = Clamp(utc);
    const Instant tp{cctz::seconds{t}};
    offset_ = zone_.lookup(tp).offset;
    from_ = kMin;
    until_ = kMax;
    cctz::time_zone::civil_transition change;
    if (zone_.next_transition(tp, &change)) {
        until_ = SecondsOf(zone_.lookup(change.to).trans);
    }
    // A change at exactly t starts the span that holds t.
    if (zone_.prev_transition(tp + cctz::seconds{1}, &change)) {
        from_ = SecondsOf(zone_.lookup(change.to).trans);
    }
    if (utc != t) {
        from_ = utc > 0 ? kLimit : kMin;
        until_ = utc > 0 ? kMax : -kLimit;
    }
    return offset_;
}

std::int64_t ZoneRules::ToLocal(std::int64_t utc) const {
    return SaturatingAdd(utc, OffsetAt(utc));
}

std::int64_t ZoneRules::ToUtc(std::int64_t local) const {
    if (!named_) {
        return SaturatingAdd(local, -offset_);
    }
    if (libc_) {
        return local == Clamp(local) ? LibcToUtc(local) : SaturatingAdd(local, -OffsetAt(local));
    }
    const cctz::civil_second fields = cctz::civil_second(1970, 1, 1, 0, 0, 0) + Clamp(local);
    const cctz::time_zone::civil_lookup found = zone_.lookup(fields);
    const std::int64_t utc =
        SecondsOf(found.kind == cctz::time_zone::civil_lookup::SKIPPED ? found.trans : found.pre);
    // Beyond the clamp the offset at the limit holds, as for ToLocal.
    return local == Clamp(local) ? utc : SaturatingAdd(local, -OffsetAt(local));
}

std::string ZoneRules::LabelAt(std::int64_t utc) const {
    return OffsetLabel(OffsetAt(utc));
}

std::string OffsetLabel(std::int64_t offsetSeconds) {
    // Whole minutes toward zero, as the stored bias has always been shown.
    const long long minutes = offsetSeconds / 60;
    if (minutes == 0) {
        return "(UTC)";
    }
    const long long magnitude = minutes < 0 ? -minutes : minutes;
    char buf[48];
    std::snprintf(buf, sizeof buf, minutes > 0 ? "(GMT+%lld:%02lld)" : "(GMT-%lld:%02lld)",
                  magnitude / 60, magnitude % 60);
    return buf;
}

}  // namespace pelmora
