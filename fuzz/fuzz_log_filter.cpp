// Flash contents as a download receives them (garbage, cut records, erased tails, blocks filled to
// the last byte): the record filter against the simulated logger's reading of the same sectors.
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "decode/raw_record.h"
#include "fuzz_check.h"
#include "link/log_filter.h"
#include "sim/flash_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> expected;
    for (std::size_t at = 0; at < size; at += pelmora::sim::kSectorSize) {
        const std::size_t n = std::min(pelmora::sim::kSectorSize, size - at);
        const auto kept = pelmora::sim::ValidRecordsOfSector({data + at, n});
        expected.insert(expected.end(), kept.begin(), kept.end());
    }

    // Exactly the input's size, so that any access past it is caught.
    std::vector<std::uint8_t> buffer(data, data + size);
    const std::size_t kept = pelmora::FilterLogRecords(buffer.data(), buffer.size());
    FUZZ_CHECK(kept <= size);
    FUZZ_CHECK(kept == expected.size());
    FUZZ_CHECK(kept == 0 || std::memcmp(buffer.data(), expected.data(), kept) == 0);
    for (std::size_t i = 0; i < kept;) {
        const std::size_t n = pelmora::RawRecordLength(buffer[i]);
        FUZZ_CHECK(n != 0 && i + n <= kept);
        i += n;
    }
    return 0;
}
