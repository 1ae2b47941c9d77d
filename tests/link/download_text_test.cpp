// What a Read tells of its progress and of the logger's fullness.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/log_download.h"

namespace pelmora {
namespace {

TEST(DownloadTexts, ProgressInKilobytesBelowATenthOfAMegabyte) {
    EXPECT_EQ(ProgressText({.done = 12'300, .total = 40'900, .bytesPerSecond = 1'500}),
              "12.3 of 40.9 kB, 1.5 kB/s");
    EXPECT_EQ(ProgressText({.done = 18'900, .total = 2'100'000, .bytesPerSecond = 1'500}),
              "18.9 kB of 2.1 MB, 1.5 kB/s");
}

LogStatus Status(std::uint16_t totalSectors, std::uint32_t usedBytes, bool circular = false) {
    LogStatus s;
    s.totalSectors = totalSectors;
    s.writeAddress = kLogStartAddress + usedBytes;
    s.sectorsLeft = circular ? 0x8000 : 0;
    return s;
}

TEST(DownloadTexts, FullnessAndTheWarningFromNinetyPercent) {
    const std::string stop = "The logger is 92 % full: download and clear it soon, or it will ";
    const struct {
        LogStatus status;
        std::vector<std::string> lines;
    } rows[] = {
        {Status(512, 786'432), {"The logger is 37.5 % full (0.8 of 2.1 MB)."}},
        {Status(512, 1'885'000), {"The logger is 89.9 % full (1.9 of 2.1 MB)."}},
        {Status(512, 1'929'380),
         {"The logger is 92.0 % full (1.9 of 2.1 MB).", stop + "stop recording."}},
        {Status(512, 1'929'380, true),
         {"The logger is 92.0 % full (1.9 of 2.1 MB).", stop + "overwrite its oldest records."}},
        {Status(16, 32'768), {"The logger is 50.0 % full (32.8 of 65.5 kB)."}},
        {Status(0, 0), {}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FullnessLines(row.status), row.lines) << row.status.UsedLogBytes();
    }
}

}  // namespace
}  // namespace pelmora
