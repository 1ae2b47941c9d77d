#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "decode/raw_record.h"
#include "sim/flash_image.h"

namespace pelmora::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kFull(18, 0x40);
const Bytes kCompact = {0x90, 0, 0, 1, 0, 0, 0, 0};

TEST(ValidRecordsOfSector, KeepsWholeRecordsFromTheStartOnly) {
    Bytes sector(kSectorSize, 0xFF);
    std::copy(kFull.begin(), kFull.end(), sector.begin());
    std::copy(kFull.begin(), kFull.end(), sector.begin() + 18);
    std::copy(kFull.begin(), kFull.end(), sector.begin() + 36);
    sector[54] = 0x00;
    EXPECT_EQ(ValidRecordsOfSector(sector).size(), 54u);
    sector[0] = 0xFF;
    EXPECT_EQ(ValidRecordsOfSector(sector).size(), 0u);
    // A record that would run past the sector's end is not kept.
    Bytes tail(kSectorSize, 0x80);
    tail[kSectorSize - 8] = 0x40;
    EXPECT_EQ(ValidRecordsOfSector(tail).size(), kSectorSize - 8);
}

TEST(FlashImage, RecordsNeverStraddleASector) {
    FlashImage flash(4);
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(flash.AppendRecord(kFull));
    }
    // 227 full records fill 4086 bytes; the 228th opens sector 1, leaving a 10-byte erased tail.
    EXPECT_EQ(flash.Sector(0)[4085], 0x40);
    EXPECT_EQ(flash.Sector(0)[4086], 0xFF);
    EXPECT_EQ(flash.Sector(1)[0], 0x40);
    EXPECT_EQ(flash.WriteOffset(), kSectorSize + 73u * 18u);
    EXPECT_EQ(flash.SectorsInUse(), 2);
    EXPECT_EQ(flash.SectorsLeft(), 3);
    EXPECT_EQ(flash.ExpectedDownload().size(), 300u * 18u);
}

TEST(FlashImage, SectorFilledToItsLastByteIsKeptOnce) {
    FlashImage flash(3);
    for (int i = 0; i < 512 + 3; ++i) {
        ASSERT_TRUE(flash.AppendRecord(kCompact));
    }
    EXPECT_EQ(flash.SectorsFilledToLastByte(), 1u);
    EXPECT_EQ(flash.ExpectedDownload().size(), (512u + 3u) * 8u);
}

TEST(FlashImage, FullFlashReportsNoSectorLeft) {
    FlashImage flash(1);
    int stored = 0;
    while (flash.AppendRecord(kCompact)) {
        ++stored;
    }
    EXPECT_EQ(stored, 512);
    EXPECT_EQ(flash.SectorsLeft(), 0);
    EXPECT_EQ(flash.SectorsInUse(), 1);
    EXPECT_FALSE(flash.AppendRecord(Bytes{0xFF, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(FlashImage, NoSectorsIsTheBrokenLogger) {
    const FlashImage broken;
    EXPECT_EQ(broken.TotalSectors(), 0);
    EXPECT_EQ(broken.SectorsInUse(), 0);
    EXPECT_TRUE(broken.ExpectedDownload().empty());
    EXPECT_TRUE(broken.Sector(0).empty());
}

TEST(FlashImage, RawWritesStayInsideTheFlash) {
    FlashImage flash(1);
    flash.WriteAt(kSectorSize - 2, Bytes{0x80, 0x80, 0x80, 0x80});
    EXPECT_EQ(flash.WriteOffset(), kSectorSize);
    flash.WriteAt(kSectorSize + 10, Bytes{1, 2});
    EXPECT_EQ(flash.Bytes().size(), kSectorSize);
    flash.Erase();
    EXPECT_EQ(flash.WriteOffset(), 0u);
    EXPECT_EQ(flash.Bytes()[0], 0xFF);
}

TEST(BuiltInFlash, IsARealisticLog) {
    const FlashImage flash = BuiltInFlash();
    ASSERT_GT(flash.TotalSectors(), 0);
    EXPECT_GE(flash.SectorsInUse(), 2);
    EXPECT_GE(flash.SectorsFilledToLastByte(), 1u);
    std::size_t kept = 0;
    bool sawFull = false, sawCompact = false;
    for (std::uint16_t s = 0; s < flash.SectorsInUse(); ++s) {
        const auto sector = flash.Sector(s);
        const auto valid = ValidRecordsOfSector(sector);
        kept += valid.size();
        // Past the records, the sector is erased.
        for (std::size_t i = valid.size(); i < sector.size(); ++i) {
            ASSERT_EQ(sector[i], 0xFF) << "sector " << s << " byte " << i;
        }
        for (std::size_t i = 0; i < valid.size(); i += RawRecordLength(valid[i])) {
            (RawRecordLength(valid[i]) == 18 ? sawFull : sawCompact) = true;
        }
    }
    EXPECT_TRUE(sawFull);
    EXPECT_TRUE(sawCompact);
    EXPECT_EQ(flash.ExpectedDownload().size(), kept);
    // Everything up to the write offset in the last sector in use is records.
    const auto last = static_cast<std::uint16_t>(flash.SectorsInUse() - 1);
    EXPECT_EQ(ValidRecordsOfSector(flash.Sector(last)).size(),
              flash.WriteOffset() - std::size_t{last} * kSectorSize);
}

TEST(BuiltInFlash, InBandMarkersAreWholeRecordsOfTheLog) {
    const FlashImage flash = BuiltInFlashWithInBandMarkers(300);
    const Bytes expected = flash.ExpectedDownload();
    const Bytes marker = {'E', 'N', 'D', 0};
    std::size_t found = 0;
    for (auto it = expected.begin();
         (it = std::search(it, expected.end(), marker.begin(), marker.end())) != expected.end();
         ++it) {
        ++found;
    }
    EXPECT_GE(found, 3u);
    EXPECT_EQ(RawRecordLength(InBandMarkerRecord()[0]), 8u);
    EXPECT_GT(expected.size(), BuiltInFlash().ExpectedDownload().size());
}

}  // namespace
}  // namespace pelmora::sim
