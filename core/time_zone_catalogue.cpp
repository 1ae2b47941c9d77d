#include "core/time_zone_catalogue.h"

#include <algorithm>

namespace pelmora {

void SortTimeZoneCatalogue(std::vector<CRegTimeZoneInfo>& catalogue) {
    // Stable, so zones that share a Bias and a standard name keep the source's order.
    std::stable_sort(catalogue.begin(), catalogue.end(),
                     [](const CRegTimeZoneInfo& a, const CRegTimeZoneInfo& b) {
                         if (a.TZI.Bias != b.TZI.Bias) {
                             return a.TZI.Bias > b.TZI.Bias;
                         }
                         // std::string compares as unsigned bytes: upper case before lower.
                         return a.Std < b.Std;
                     });
}

CTimeZoneInfoManager::CTimeZoneInfoManager(const TimeZoneSource& source) {
    LoadCatalogue(source);
}

void CTimeZoneInfoManager::LoadCatalogue(const TimeZoneSource& source) {
    catalogue_ = source.Zones();
    SortTimeZoneCatalogue(catalogue_);
}

int CTimeZoneInfoManager::FindComputerZone(const ComputerZoneInfo& computer) const {
    // Many zones share an offset and a standard name here (every "CET" zone), so the zone's own
    // identifier decides first; the offsets and the name only when the identifier is unknown.
    if (!computer.Id.empty()) {
        for (std::size_t i = 0; i < catalogue_.size(); ++i) {
            if (catalogue_[i].Id == computer.Id) {
                return static_cast<int>(i);
            }
        }
    }
    for (std::size_t i = 0; i < catalogue_.size(); ++i) {
        const CRegTimeZoneInfo& e = catalogue_[i];
        if (e.TZI.Bias == computer.Bias && e.TZI.StandardBias == computer.StandardBias &&
            e.Std == computer.Std) {
            return static_cast<int>(i);
        }
    }
    // A zone the list leaves out (Etc/UTC, a custom TZ rule): a zone with the same offsets is a
    // better proposal than the first entry, fourteen hours west.
    for (std::size_t i = 0; i < catalogue_.size(); ++i) {
        const CRegTimeZoneInfo& e = catalogue_[i];
        if (e.TZI.Bias == computer.Bias && e.TZI.StandardBias == computer.StandardBias) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

}  // namespace pelmora
