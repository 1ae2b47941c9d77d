// The logger's log-status and device-ID replies as received (A0 A1 00 n payload ...), and
// everything the window and the download derive from a status.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "link/log_download.h"
#include "link/log_status.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto status = pelmora::ParseLogStatusReply(data, size)) {
        FUZZ_CHECK(size > 5 && data[4] == 0x94);
        pelmora::LogStatusLines(*status);
        pelmora::LogUsagePercentText(*status);
        const int progress = pelmora::LogUsageProgress(*status);
        FUZZ_CHECK(progress >= 0);
        if (const auto sectors = pelmora::SectorsToRead(*status)) {
            FUZZ_CHECK(*sectors <= 0x10000u);
        }
        pelmora::DownloadProgress p{status->UsedLogBytes(), status->UsedLogBytes() / 2};
        FUZZ_CHECK(p.Percent() <= 100);
    }
    if (const auto id = pelmora::ParseDeviceIdReply(data, size)) {
        FUZZ_CHECK(size > 5 && data[4] == 0xD0);
        FUZZ_CHECK(id->size() <= 80);
    }
    return 0;
}
