#pragma once
// The system's zones as QTimeZone knows them.
#include "core/time_zone_catalogue.h"

namespace pelmora {

class QtTimeZoneSource : public TimeZoneSource {
  public:
    std::vector<CRegTimeZoneInfo> Zones() const override;
    ComputerZoneInfo ComputerZone() const override;
};

}  // namespace pelmora
