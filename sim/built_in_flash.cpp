#include <algorithm>
#include <cstdint>
#include <vector>

#include "sim/flash_image.h"
#include "sim/track/builtin_track.h"

namespace pelmora::sim {

FlashImage BuiltInFlash() {
    return FlashImage::FromRecords(BuiltinTrackRecords());
}

std::vector<std::uint8_t> InBandMarkerRecord() {
    return {0x80, 0x2A, 0x00, 0x45, 0x4E, 0x44, 0x00, 0x03};
}

FlashImage BuiltInFlashWithInBandMarkers(std::size_t every) {
    const std::size_t step = std::max<std::size_t>(every, 1);
    const auto drive = BuiltinTrackRecords();
    std::vector<std::vector<std::uint8_t>> records;
    records.reserve(drive.size() + drive.size() / step + 1);
    for (std::size_t i = 0; i < drive.size(); ++i) {
        records.push_back(drive[i]);
        if (i % step == step / 2) {
            records.push_back(InBandMarkerRecord());
        }
    }
    return FlashImage::FromRecords(records);
}

}  // namespace pelmora::sim
