// What a Read tells of its progress and of the logger's fullness.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/log_download.h"

namespace pelmora {
namespace {

DownloadProgress Progress(std::uint64_t done, std::uint64_t total, double rate, double left) {
    DownloadProgress p;
    p.done = done;
    p.total = total;
    p.bytesPerSecond = rate;
    p.secondsLeft = left;
    return p;
}

TEST(DownloadTexts, ProgressInKilobytesBelowATenthOfAMegabyte) {
    EXPECT_EQ(ProgressText(Progress(12'300, 40'900, 1'500, -1)), "12.3 of 40.9 kB, 1.5 kB/s");
    EXPECT_EQ(ProgressText(Progress(18'900, 2'100'000, 1'500, -1)), "18.9 kB of 2.1 MB, 1.5 kB/s");
    EXPECT_EQ(ProgressText(Progress(1'200'000, 4'000'000, 22'400, 125)),
              "1.2 of 4.0 MB, 22.4 kB/s, 2 min 05 s left");
}

LogStatus Status(std::uint16_t totalSectors, std::uint32_t usedBytes, bool circular = false) {
    LogStatus s;
    s.totalSectors = totalSectors;
    s.writeAddress = kLogStartAddress + usedBytes;
    s.sectorsLeft = circular ? 0x8000 : 0;
    return s;
}

TEST(DownloadTexts, FullnessAndTheWarningFromNinetyPercent) {
    const struct {
        const char* legend;
        LogStatus status;
        std::vector<std::string> lines;
    } rows[] = {
        {"a third full", Status(512, 786'432), {"The logger is 37.5 % full (0.8 of 2.1 MB)."}},
        {"just below the warning",
         Status(512, 1'885'000),
         {"The logger is 89.9 % full (1.9 of 2.1 MB)."}},
        {"one-way log at 92 %",
         Status(512, 1'929'380),
         {"The logger is 92.0 % full (1.9 of 2.1 MB).",
          "The logger is 92 % full: download and clear it soon, or it will stop recording."}},
        {"circular log at 95 %",
         Status(512, 1'992'295, true),
         {"The logger is 95.0 % full (2.0 of 2.1 MB).",
          "The logger is 95 % full: download and clear it soon, or it will overwrite its oldest "
          "records."}},
        {"a small flash in kB",
         Status(16, 32'768),
         {"The logger is 50.0 % full (32.8 of 65.5 kB)."}},
        {"no sectors", Status(0, 0), {}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FullnessLines(row.status), row.lines) << row.legend;
    }
}

}  // namespace
}  // namespace pelmora
