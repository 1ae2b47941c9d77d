#pragma once
// A zone list chosen by the test.
#include <utility>

#include "core/time_zone_catalogue.h"

namespace pelmora {

inline CRegTimeZoneInfo MakeZone(const std::string& id, int bias, const std::string& stdName,
                                 const std::string& display = {}) {
    CRegTimeZoneInfo z;
    z.Id = id;
    z.MapID = id;
    z.Std = stdName;
    z.Display = display.empty() ? id : display;
    z.TZI.Bias = bias;
    return z;
}

class FakeTimeZoneSource : public TimeZoneSource {
  public:
    FakeTimeZoneSource(std::vector<CRegTimeZoneInfo> zones, ComputerZoneInfo computer)
        : zones_(std::move(zones)), computer_(std::move(computer)) {}
    std::vector<CRegTimeZoneInfo> Zones() const override { return zones_; }
    ComputerZoneInfo ComputerZone() const override { return computer_; }

    std::vector<CRegTimeZoneInfo> zones_;
    ComputerZoneInfo computer_;
};

}  // namespace pelmora
