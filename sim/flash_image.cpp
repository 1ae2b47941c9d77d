#include "sim/flash_image.h"

#include <algorithm>

#include "decode/raw_record.h"

namespace pelmora::sim {

std::span<const std::uint8_t> ValidRecordsOfSector(std::span<const std::uint8_t> sector) {
    const std::size_t end = std::min(sector.size(), kSectorSize);
    std::size_t pos = 0;
    while (pos < end) {
        const std::size_t length = RawRecordLength(sector[pos]);
        if (length == 0 || pos + length > end) {
            break;
        }
        pos += length;
    }
    return sector.first(pos);
}

FlashImage::FlashImage(std::uint16_t totalSectors)
    : total_(totalSectors), bytes_(std::size_t{totalSectors} * kSectorSize, 0xFF) {}

FlashImage FlashImage::FromRecords(const std::vector<std::vector<std::uint8_t>>& records,
                                   std::uint16_t totalSectors) {
    FlashImage flash(totalSectors);
    for (const auto& record : records) {
        if (!flash.AppendRecord(record)) {
            break;
        }
    }
    return flash;
}

std::uint32_t FlashImage::WriteAddress() const {
    return kLogBaseAddress + static_cast<std::uint32_t>(writeOffset_);
}

std::uint16_t FlashImage::SectorsInUse() const {
    if (total_ == 0) {
        return 0;
    }
    const std::size_t inUse = writeOffset_ / kSectorSize + 1;
    return static_cast<std::uint16_t>(std::min<std::size_t>(inUse, total_));
}

std::uint16_t FlashImage::SectorsLeft() const {
    if (total_ == 0 || writeOffset_ >= bytes_.size()) {
        return 0;
    }
    return static_cast<std::uint16_t>(total_ - SectorsInUse() + 1);
}

std::size_t FlashImage::SectorsFilledToLastByte() const {
    std::size_t count = 0;
    for (std::uint16_t s = 0; s < total_; ++s) {
        if (ValidRecordsOfSector(Sector(s)).size() == kSectorSize) {
            ++count;
        }
    }
    return count;
}

bool FlashImage::AppendRecord(std::span<const std::uint8_t> record) {
    const std::size_t length = record.empty() ? 0 : RawRecordLength(record[0]);
    if (length == 0 || record.size() < length) {
        return false;
    }
    std::size_t at = writeOffset_;
    const std::size_t room = kSectorSize - at % kSectorSize;
    if (length > room) {
        at += room;  // the erased tail stays; the record opens the next sector
    }
    if (at + length > bytes_.size()) {
        return false;
    }
    std::copy_n(record.begin(), length, bytes_.begin() + static_cast<std::ptrdiff_t>(at));
    writeOffset_ = at + length;
    return true;
}

void FlashImage::WriteAt(std::size_t offset, std::span<const std::uint8_t> bytes) {
    if (offset >= bytes_.size()) {
        return;
    }
    const std::size_t count = std::min(bytes.size(), bytes_.size() - offset);
    std::copy_n(bytes.begin(), count, bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    writeOffset_ = std::max(writeOffset_, offset + count);
}

void FlashImage::SetWriteOffset(std::size_t offset) {
    writeOffset_ = std::min(offset, bytes_.size());
}

void FlashImage::Erase() {
    std::fill(bytes_.begin(), bytes_.end(), std::uint8_t{0xFF});
    writeOffset_ = 0;
}

std::span<const std::uint8_t> FlashImage::Sector(std::uint16_t index) const {
    if (index >= total_) {
        return {};
    }
    return std::span<const std::uint8_t>(bytes_).subspan(std::size_t{index} * kSectorSize,
                                                         kSectorSize);
}

std::vector<std::uint8_t> FlashImage::ExpectedDownload() const {
    std::vector<std::uint8_t> out;
    const std::uint16_t inUse = SectorsInUse();
    for (std::uint16_t s = 0; s < inUse; ++s) {
        const auto kept = ValidRecordsOfSector(Sector(s));
        out.insert(out.end(), kept.begin(), kept.end());
    }
    return out;
}

}  // namespace pelmora::sim
